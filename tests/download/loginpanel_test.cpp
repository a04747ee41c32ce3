// labels: unit
// The login panel's checks before a login, without a browser engine.
#include "download/downloadqueue.h"
#include "download/downloadsession.h"
#include "download/loginpanel.h"
#include "foundation/eventwait.h"
#include "support/qtprinters.h"
#include "support/recordingprompts.h"
#include "support/staticbrowser.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString noUrl = u"必须先设置登录网址！"_s;
const QString noAccount = u"帐号登录,必须先设置登录帐号和登录密码！"_s;

struct Panel
{
    DownloadQueue queue;
    DownloadSession session{queue};
    RecordingPrompts prompts;
    LoginPanel login{session, prompts};
    StaticBrowser *browser = nullptr;

    Panel()
    {
        login.limits.settleMs = 0;
        login.makeBrowser = [this] { return browser = new StaticBrowser(&login); };
    }
};

} // namespace

// A login that cannot start says why when the user asked for it, and always clears "自动登录":
// a failed automatic login switches automatic login off.
TEST(LoginPanel, ALoginThatCannotStartClearsAutomaticLogin)
{
    struct Case
    {
        const char *what;
        QString url, account, password;
        bool ipLogin;
        QString message; // shown when interactive; empty: the attempt runs
    };
    const Case cases[] = {
        {"no address", u"  "_s, u"a"_s, u"p"_s, false, noUrl},
        {"no address, IP login", {}, {}, {}, true, noUrl},
        {"no password", u"http://h/login"_s, u"a"_s, u" "_s, false, noAccount},
        {"no account", u"http://h/login"_s, {}, u"p"_s, false, noAccount},
        {"IP login needs no account", u"http://h/login"_s, {}, {}, true, {}},
        {"everything there", u" http://h/login "_s, u"a"_s, u"p"_s, false, {}},
    };
    for (const Case &c : cases) {
        for (bool interactive : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (interactive ? " (测试登录)" : " (automatic)"));
            Panel p;
            p.login.fields = {c.url, c.account, c.password, c.ipLogin, false};
            p.session.options.autoLogin = true;
            QSignalSpy cleared(&p.login, &LoginPanel::autoLoginCleared);
            p.login.FillAndSubmitLogin(interactive);
            if (c.message.isEmpty()) {
                EXPECT_TRUE(p.prompts.shown.isEmpty());
                EXPECT_TRUE(p.session.options.autoLogin);
                ASSERT_TRUE(p.browser);
                EXPECT_EQ(p.browser->visited, QStringList{u"http://h/login"_s}); // trimmed
            } else {
                EXPECT_EQ(p.prompts.shown.size(), interactive ? 1 : 0);
                if (interactive) {
                    EXPECT_EQ(p.prompts.last(), c.message);
                    EXPECT_EQ(p.prompts.shown.last().icon, Prompts::Icon::Error);
                }
                EXPECT_FALSE(p.session.options.autoLogin);
                EXPECT_EQ(cleared.size(), 1);
                EXPECT_FALSE(p.browser) << "no browser was needed";
            }
            EXPECT_TRUE(p.login.testLoginEnabled());
        }
    }
}

// Ticking "自动登录" is refused with the same messages; unticking is always allowed.
TEST(LoginPanel, TickingAutomaticLoginChecksTheFields)
{
    Panel p;
    EXPECT_FALSE(p.login.自动登录(true));
    EXPECT_EQ(p.prompts.last(), noUrl);
    p.login.fields.url = u"http://h/login"_s;
    EXPECT_FALSE(p.login.自动登录(true));
    EXPECT_EQ(p.prompts.last(), noAccount);
    p.login.fields.ipLogin = true;
    EXPECT_TRUE(p.login.自动登录(true));
    p.login.fields = {};
    EXPECT_TRUE(p.login.自动登录(false));
    EXPECT_EQ(p.prompts.shown.size(), 2);
}

// The engine's request runs after the transfer's end path, and only while "自动登录" is ticked.
TEST(LoginPanel, TheEnginesRequestRunsLaterAndOnlyWhileTicked)
{
    Panel p;
    p.login.fields = {u"http://h/login"_s, u"a"_s, u"p"_s, false, false};
    p.session.options.autoLogin = true;
    emit p.session.loginAutomationRequested(1);
    EXPECT_FALSE(p.browser) << "not inside the emitting call";
    QSignalSpy attempts(&p.login, &LoginPanel::testLoginEnabledChanged);
    EXPECT_TRUE(QTest::qWaitFor([&] { return attempts.size() == 2; }, 2000)); // off, on again
    ASSERT_TRUE(p.browser);
    EXPECT_EQ(p.browser->visited, QStringList{u"http://h/login"_s});

    emit p.session.loginAutomationRequested(1);
    p.session.options.autoLogin = false; // unticked before the request came round
    QCoreApplication::processEvents();   // delivers the queued request
    EXPECT_EQ(attempts.size(), 2);
    EXPECT_EQ(p.browser->visited.size(), 1);
}

namespace {

const QString loginAddress = u"http://members.test/login.html"_s;
const QString loginForm = u"<html><body><form><input name=username><input name=password "
                          u"type=password><input id=submitip type=submit></form></body></html>"_s;

// The values of the page's inputs, "|"-joined.
QString inputValues(Browser &browser)
{
    QStringList values;
    const ElementCollection inputs = browser.Document()->getElementsByTagName(u"INPUT"_s);
    for (int i = 0; i < inputs.length(); ++i)
        if (inputs.item(i).type() != u"submit")
            values << inputs.item(i).value();
    return values.join(u'|');
}

// Counts the clicks on the page on show.
void countClicks(Browser &browser, int &clicks)
{
    auto page = std::dynamic_pointer_cast<StaticDocument>(browser.Document());
    ASSERT_TRUE(page);
    page->setClickHandler([&clicks](const ElementData &) { ++clicks; });
}

} // namespace

// The account and password go only into a page of the login address's site (its scheme, host
// and port): when "浏览" timed out, the page on show may be another site's with a form of its
// own. Nothing is filled or clicked there, and the status says why.
TEST(LoginPanel, FillsOnlyAPageOfTheLoginAddressesSite)
{
    struct Case
    {
        const char *what;
        QString login, shown;
        bool ipLogin;
        bool filled;
    };
    const QString other = u"http://publisher.test/article/42"_s;
    const Case cases[] = {
        {"the login page", loginAddress, loginAddress, false, true},
        {"another page of the site", loginAddress, u"http://members.test:80/portal?x=1"_s, false,
         true},
        {"the host in capitals", u"HTTP://Members.TEST/login.html"_s, loginAddress, false, true},
        {"IP登录 on the site", loginAddress, u"http://members.test/"_s, true, true},
        {"another site", loginAddress, other, false, false},
        {"IP登录 on another site", loginAddress, other, true, false},
        {"a sub-domain", loginAddress, u"http://evil.members.test/login.html"_s, false, false},
        {"another scheme", u"https://members.test/login.html"_s, loginAddress, false, false},
        {"another port", loginAddress, u"http://members.test:8080/login.html"_s, false, false},
        {"a blank page", loginAddress, u"about:blank"_s, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Panel p;
        p.login.limits.pageWaitMs = 50;
        p.login.fields = {c.login, u"alice"_s, u"secret"_s, c.ipLogin, false};
        auto *browser = static_cast<StaticBrowser *>(p.login.Web1());
        ASSERT_TRUE(browser);
        browser->show(c.shown, loginForm);
        browser->stalled << c.login.trimmed(); // "浏览" times out on the page on show
        int clicks = 0;
        countClicks(*browser, clicks);
        QSignalSpy status(&p.session, &DownloadSession::statusText);

        p.login.FillAndSubmitLogin(true);

        EXPECT_EQ(inputValues(*browser), c.filled && !c.ipLogin ? u"alice|secret"_s : u"|"_s);
        EXPECT_EQ(clicks, c.filled ? 1 : 0);
        const QString notFilled = u"当前网页不在登录网址的网站上，未登录"_s;
        EXPECT_EQ(!status.isEmpty() && status.last().at(1).toString() == notFilled, !c.filled);
        EXPECT_TRUE(p.login.testLoginEnabled());
        EXPECT_TRUE(p.prompts.shown.isEmpty());
    }
}

// A nested wait started while a login waits (a page walk of the search window) holds the login's
// wait beneath it until the walk ends. The login's guard still ends on the login's own time, so
// that a new login may run during the walk; the held one, when it finally returns, leaves the
// page alone.
TEST(LoginPanel, ALoginsGuardEndsOnItsOwnTimeNotWithAWalkStartedMeanwhile)
{
    Panel p;
    p.login.limits.pageWaitMs = 100;
    p.login.limits.settleMs = 50;
    p.login.fields = {loginAddress, u"alice"_s, u"secret"_s, false, false};
    auto *browser = static_cast<StaticBrowser *>(p.login.Web1());
    ASSERT_TRUE(browser);
    browser->setPage(loginAddress, loginForm);
    browser->stalled << loginAddress; // the first attempt's page does not come

    bool guardEnded = false;
    bool browseEnabled = false;
    QString filledBySecond;
    QTimer::singleShot(20, &p.login, [&] {
        // The walk: it waits longer than the whole login may take.
        EventWait walk([&] { return p.login.testLoginEnabled(); });
        walk.wakeOn(&p.login, &LoginPanel::testLoginEnabledChanged).run(5000);
        guardEnded = p.login.testLoginEnabled();
        browseEnabled = p.login.browseEnabled();
        // A login during the walk runs, and its page comes.
        browser->stalled.clear();
        p.login.FillAndSubmitLogin(false);
        filledBySecond = inputValues(*browser);
        browser->show(loginAddress, loginForm); // the page afresh, before the walk ends
    });
    p.login.FillAndSubmitLogin(true); // returns once the walk has ended

    EXPECT_TRUE(guardEnded);
    EXPECT_TRUE(browseEnabled);
    EXPECT_EQ(filledBySecond, u"alice|secret"_s);
    EXPECT_EQ(inputValues(*browser), u"|"_s) << "the held login left the page alone";
    EXPECT_TRUE(p.login.testLoginEnabled());
    EXPECT_TRUE(p.login.browseEnabled());
}
