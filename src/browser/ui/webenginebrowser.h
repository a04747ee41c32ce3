#pragma once

#include "browser/browser.h"
#include "transfer/sharednetwork.h"

#include <QNetworkCookie>
#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

class QWebEngineProfile;

namespace papyrant {

// The program's one browser profile: every embedded browser shares its cookies and cache. Tests
// (QStandardPaths test mode) get a profile of their own in a temporary folder, so that test
// programs running side by side do not share browser storage.
QWebEngineProfile *programBrowserProfile();

// The page of the embedded browser: script dialogs obey Silent, new windows are caught and turned
// into navigations of this page, and every top-level navigation is announced.
class BrowserPage : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit BrowserPage(QWebEngineProfile *profile, QObject *parent = nullptr);

    bool silent = true;

signals:
    void navigationRequested(const QUrl &url);
    void newWindowRequested(const QUrl &url);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage *createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg,
                          const QString &defaultValue, QString *result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int lineNumber, const QString &sourceID) override;
};

// The embedded browser on Qt WebEngine. view() is the widget a window places; the browser
// object itself may live without ever showing it (tests, benchmarks).
class WebEngineBrowser : public Browser
{
    Q_OBJECT

public:
    explicit WebEngineBrowser(QWebEngineProfile *profile = nullptr, QObject *parent = nullptr);
    ~WebEngineBrowser() override;

    QWebEngineView *view() const { return m_view; }
    BrowserPage *page() const { return m_page; }

    void Navigate(const QString &address) override;
    void GoBack() override;
    void GoForward() override;
    void Refresh() override;
    bool Busy() const override { return m_busy; }
    bool Silent() const override { return m_page && m_page->silent; }
    void setSilent(bool silent) override;
    std::shared_ptr<papyrant::Document> Document() override;
    QString URL() const override;
    int HttpStatus() const override { return m_httpStatus; }

    // Runs a script in the page, in a world of its own that page scripts cannot reach, and
    // waits for its value (nested event loop, no spinning). Invalid after the time limit, or
    // when the page goes away meanwhile.
    QVariant evaluate(const QString &script);
    void setScriptTimeout(int ms) { m_scriptTimeoutMs = ms; }
    // How long a navigation request (or a click that should navigate) keeps Busy up while no
    // load has begun.
    void setClickNavigationGrace(int ms) { m_clickGrace.setInterval(ms); }

    // Called by the live document after a click that will most likely load a page, so that
    // Busy holds from the click on and a page wait does not end before the load has begun.
    void expectNavigation();

private:
    void onLoadStarted();
    void onLoadFinished();
    void onLoadingChanged(const QWebEngineLoadingInfo &info);

    QPointer<QWebEngineView> m_view;
    QPointer<BrowserPage> m_page;
    bool m_busy = false;
    bool m_loading = false; // between the engine's load start and load end
    bool m_everLoaded = false;
    QUrl m_loadedUrl;
    int m_httpStatus = 0;
    int m_scriptTimeoutMs = 15000;
    QTimer m_clickGrace;
};

// Keeps the shared cookie jar of the transfers in step with the browser profile's cookie store,
// both ways: a cookie the browser receives (a login, a session) reaches the downloads, and a
// cookie a server sets on a download (the transfers' jar tells) reaches every browser of the
// profile.
class CookieBridge : public QObject
{
    Q_OBJECT

public:
    CookieBridge(QWebEngineProfile *profile, TransferCookieJar *jar, QObject *parent = nullptr);

    // Puts cookies into the browser. origin: the address they came from; a cookie whose domain
    // is a bare host (no domain attribute was sent) stays a cookie of that host alone.
    void pushToBrowser(const QList<QNetworkCookie> &cookies, const QUrl &origin = {});

private:
    QPointer<QWebEngineProfile> m_profile;
    QPointer<TransferCookieJar> m_jar;
};

} // namespace papyrant
