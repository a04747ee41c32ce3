// labels: unit
// The login panel's checks before a login, without a browser engine.
#include "download/downloadqueue.h"
#include "download/downloadsession.h"
#include "download/loginpanel.h"
#include "support/qtprinters.h"
#include "support/recordingprompts.h"
#include "support/staticbrowser.h"

#include <QSignalSpy>
#include <QTest>
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
