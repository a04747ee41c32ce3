#pragma once

#include "browser/browser.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>

namespace papyrant {

class DownloadSession;
class Prompts;

// What the login panel's controls hold, kept current by the window. The address, account and
// password live only here and in their boxes: they are never saved, logged or shown elsewhere.
struct LoginFields
{
    QString url;              // Text1
    QString account;          // Text2
    QString password;         // Text3
    bool ipLogin = false;     // Option5 "IP登录" chosen; Option4 "帐号登录：" otherwise
    bool autoRefresh = false; // Check1 "自动刷新(每分钟)"
};

// Time limits of the login, in milliseconds. Tests shorten them.
struct LoginLimits
{
    int pageWaitMs = 10000; // a page opened by "浏览" or by a submit button, to load
    int settleMs = 5000;    // the pause after an attempt, before the next one may start
    int busyPollMs = 50;    // the browser's Busy state has no signal of its own
};

// The login panel PicWebBK of the download window without its widgets: the browser Web1, the
// login by its form (FillAndSubmitLogin), the page refresh Timer2 and the automatic login the
// download engine asks for when a download gave a web page instead of the file. The browser
// shares its cookies with the transfers, so that a login here admits the downloads.
class LoginPanel : public QObject
{
    Q_OBJECT
public:
    LoginPanel(DownloadSession &session, Prompts &prompts, QObject *parent = nullptr);

    LoginFields fields;
    LoginLimits limits;

    // Makes Web1 when it is first needed: a browser engine costs memory and start-up time that a
    // download window may never use. The window places it in the panel.
    std::function<Browser *()> makeBrowser;
    // Web1, made (silent, on an empty page) when first asked for; null when none can be made.
    Browser *Web1();
    // Web1 if it has been made.
    Browser *existingWeb1() const { return m_web; }

    // The page refresh, every minute while "自动刷新(每分钟)" is ticked.
    QTimer &Timer2() { return m_timer2; }

    bool LoginPageLoading() const { return m_loginPageLoading; }
    // The enabled state of "浏览" (off until its page has loaded, pageWaitMs at most) and of
    // "测试登录" (off while a login attempt runs: the guard against a second one).
    bool browseEnabled() const { return m_browseEnabled; }
    bool testLoginEnabled() const { return m_attempt == 0; }

    // "网页登录" (Command1), once the window shows the panel: without automatic login and
    // refresh, the browser opens the first address of the selected row (0: none selected).
    void 网页登录(int selectedPosition);
    // "浏览" (Command2): opens the login page and returns; the button stays off until the page
    // has loaded, pageWaitMs at most.
    void 浏览();
    // "关闭(隐藏)" (Command3), once the window hides the panel: the page goes unless it is being
    // refreshed.
    void 关闭隐藏();
    // "自动刷新(每分钟)" (Check1) clicked.
    void 自动刷新(bool ticked);
    // "自动登录" (Check2) clicked: false when the tick is refused (its message shown); the box is
    // then to be cleared.
    bool 自动登录(bool ticked);
    // "测试登录" (Command5) with interactive true; the automatic login with false. Returns when the
    // attempt, its pauses included, is over. The account and password go only into a page of the
    // login address's site (scheme, host and port): on any other page nothing is filled or
    // clicked, and status panel 3 says so.
    //
    // An attempt lasts its own time at most: its two page waits, one more for the scripts that
    // read and fill the page, and its pause. A nested wait started during it (a page walk of the
    // search window) holds its wait beneath it until that ends; the attempt is over at its time
    // all the same ("测试登录" comes back, another attempt may run), and when its wait finally
    // returns it leaves the page alone.
    void FillAndSubmitLogin(bool interactive);
    // The window unloads: no more refreshes, and the typed values are dropped.
    void unload();

signals:
    void browseEnabledChanged(bool enabled);
    void testLoginEnabledChanged(bool enabled);
    // "自动登录" is to be cleared: a login could not even start.
    void autoLoginCleared();

private:
    void attachBrowser(Browser *browser);
    // Navigates Web1 to the login address; false when there is none or no browser.
    bool openLoginPage();
    void setBrowseEnabled(bool enabled);
    // Keeps yielding while the browser is busy or LoginPageLoading holds, pageWaitMs at most.
    // False when this panel went meanwhile.
    bool waitForPage();
    bool fieldsMissing() const;
    void clearAutoLogin();
    void endAttempt();
    // Fills and submits the login form of the page; `over` tells when the attempt has ended
    // (each reading or writing of the page may yield).
    void fillAndSubmit(Document &document, const std::function<bool()> &over);
    bool onLoginSite(const Document &document) const;
    bool submitAndWait(Element &button);

    DownloadSession &m_session;
    Prompts &m_prompts;
    QPointer<Browser> m_web;
    QTimer m_timer2;
    QTimer m_browseLimit; // "浏览" comes back at the latest when it fires
    QTimer m_attemptEnd;  // ends the running attempt: its time limit, then its pause
    bool m_loginPageLoading = false;
    bool m_browseEnabled = true;
    quint64 m_attempt = 0;  // the running attempt; 0: none
    quint64 m_attempts = 0; // attempts begun
};

} // namespace papyrant
