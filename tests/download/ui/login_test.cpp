// labels: browser integration
// The login panel with the real browser engine against a local members' site: the form filled
// and submitted as the page asks, the panel's browser events, and the downloads a login admits.
#include "browser/ui/webenginebrowser.h"
#include "download/downloadqueue.h"
#include "download/downloadsession.h"
#include "download/loginpanel.h"
#include "download/ui/ffiledownload.h"
#include "support/findchild.h"
#include "support/qtprinters.h"
#include "support/recordingprompts.h"
#include "support/scriptedhttpserver.h"
#include "support/tempsettings.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int pageLimitMs = 20000;
const QString account = u"alice-7Q"_s;
const QString password = u"pw-s3cret-9Z"_s;

QByteArray pdf(int size)
{
    QByteArray body("%PDF-1.4\n");
    while (body.size() < size)
        body += "0 0 612 792 re f\n";
    body.truncate(size);
    // A whole PDF ends with its end marker.
    return body.left(size - 7) + "\n%%EOF\n";
}

// A members' site. /login.html shows `form` inside a form that posts to /session; /session
// admits the account and password with the session cookie; /paper.pdf is the PDF for a session
// and the login page for anyone else.
struct MembersSite
{
    ScriptedHttpServer server;
    QByteArray form;
    QByteArray cookie = "member=ok";
    QByteArray paper = pdf(3000);

    MembersSite()
    {
        server.routeHandler(u"/login.html"_s, [this](const RecordedRequest &) {
            return Script::response(200, loginPage(), "text/html; charset=UTF-8");
        });
        server.routeHandler(u"/session"_s, [this](const RecordedRequest &r) {
            if (r.body.contains(QByteArray("=" + account.toUtf8()))
                && r.body.contains(QByteArray("=" + password.toUtf8())))
                return Script::response(200, "<html><head><title>Welcome</title></head></html>",
                                        "text/html", {"Set-Cookie: " + cookie + "; Path=/"});
            return Script::response(200, "<html><head><title>Refused</title></head></html>",
                                    "text/html");
        });
        server.routeHandler(u"/paper.pdf"_s, [this](const RecordedRequest &r) {
            if (r.header("Cookie").contains(cookie))
                return Script::response(200, paper, "application/pdf");
            return Script::response(200, loginPage(), "text/html; charset=UTF-8");
        });
    }
    QByteArray loginPage() const
    {
        return "<html><head><title>Members</title></head><body>"
               "<form id=f method=post action=/session>"
               + form + "</form></body></html>";
    }
    QString url(const QString &path) const { return server.url(path); }
    QList<QByteArray> posts() const
    {
        QList<QByteArray> bodies;
        for (const RecordedRequest &r : server.requests())
            if (r.method == "POST")
                bodies << r.body;
        return bodies;
    }
};

// The values of the page's inputs that have an id, as "id=value&...".
QString inputValues(WebEngineBrowser &browser)
{
    return browser
        .evaluate(u"Array.prototype.map.call(document.querySelectorAll('input[id]'),"
                  u" function(e) { return e.id + '=' + e.value; }).join('&')"_s)
        .toString();
}

} // namespace

// The form is filled and submitted as the page asks: account and password fields by their
// names (any letter case), the first submit button after two filled fields; "IP登录" only clicks
// the button with the id "submitip".
TEST(LoginForm, FilledAndSubmittedAsThePageAsks)
{
    struct Case
    {
        const char *what;
        QByteArray form;
        bool ipLogin;
        QByteArray posted;   // empty: nothing was submitted
        QString valuesAfter; // the inputs with an id, when nothing was submitted
    };
    const QByteArray userAndPass = "UserName=alice-7Q&PassWord=pw-s3cret-9Z";
    const Case cases[] = {
        {"UserName and PassWord, then submit",
         "<input name=UserName><input name=PassWord type=password><input type=submit value=Go>",
         false,
         userAndPass,
         {}},
        {"other names of the lists",
         "<input name=USERID><input name=passwd type=password><input type=submit>",
         false,
         "USERID=alice-7Q&passwd=pw-s3cret-9Z",
         {}},
        {"submit before the password field: filled, not submitted",
         "<input id=u name=UserName><input id=s type=submit value=Go>"
         "<input id=p name=PassWord type=password>",
         false,
         {},
         u"u=alice-7Q&s=Go&p=pw-s3cret-9Z"_s},
        {"an early submit is passed by, the one after the fields submits",
         "<input type=submit name=early value=e><input name=user><input name=pass type=password>"
         "<input type=submit name=late value=l>",
         false,
         "user=alice-7Q&pass=pw-s3cret-9Z&late=l",
         {}},
        {"two account fields and no password are two filled fields",
         "<input name=UserName><input name=useruid><input type=submit>",
         false,
         "UserName=alice-7Q&useruid=alice-7Q",
         {}},
        {"IP登录 clicks submitip and fills nothing",
         "<input name=UserName><input type=submit name=other value=o>"
         "<input id=submitip type=submit name=ip value=1>",
         true,
         "UserName=&ip=1",
         {}},
        {"IP登录 without submitip only waits",
         "<input id=u name=UserName><input id=s type=submit value=Go>",
         true,
         {},
         u"u=&s=Go"_s},
    };
    QWebEngineProfile profile; // off the record
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        MembersSite site;
        site.form = c.form;
        DownloadQueue queue;
        DownloadSession session(queue);
        RecordingPrompts prompts;
        LoginPanel login(session, prompts);
        login.limits.settleMs = 50;
        WebEngineBrowser *browser = nullptr;
        login.makeBrowser = [&] { return browser = new WebEngineBrowser(&profile, &login); };
        login.fields = {site.url(u"/login.html"_s), u" "_s + account + u" "_s, password + u"\t"_s,
                        c.ipLogin, false};
        QSignalSpy enabled(&login, &LoginPanel::testLoginEnabledChanged);

        login.FillAndSubmitLogin(true);

        EXPECT_TRUE(prompts.shown.isEmpty());
        ASSERT_EQ(enabled.size(), 2); // off for the attempt, on again after its pause
        EXPECT_TRUE(login.testLoginEnabled());
        ASSERT_TRUE(browser);
        if (c.posted.isEmpty()) {
            EXPECT_TRUE(site.posts().isEmpty());
            EXPECT_EQ(browser->URL(), site.url(u"/login.html"_s));
            EXPECT_EQ(inputValues(*browser), c.valuesAfter);
        } else {
            EXPECT_EQ(site.posts(), QList<QByteArray>{c.posted});
            EXPECT_EQ(browser->URL(), site.url(u"/session"_s)) << "the answer was waited for";
        }
    }
}

// A second login while one runs (an automatic one during the user's test) returns at once.
TEST(LoginForm, ASecondAttemptWhileOneRunsReturnsAtOnce)
{
    MembersSite site;
    site.form = "<input name=UserName><input name=PassWord type=password><input type=submit>";
    QWebEngineProfile profile;
    DownloadQueue queue;
    DownloadSession session(queue);
    RecordingPrompts prompts;
    LoginPanel login(session, prompts);
    login.limits.settleMs = 50;
    login.makeBrowser = [&] { return new WebEngineBrowser(&profile, &login); };
    login.fields = {site.url(u"/login.html"_s), account, password, false, false};
    bool secondReturned = false;
    bool firstStillRunning = false;
    QObject::connect(&site.server, &ScriptedHttpServer::requestReceived, &login,
                     [&](const RecordedRequest &r) {
                         if (r.path != "/login.html" || secondReturned)
                             return;
                         login.FillAndSubmitLogin(false);
                         secondReturned = true;
                         firstStillRunning = !login.testLoginEnabled();
                     });
    login.FillAndSubmitLogin(true);
    EXPECT_TRUE(secondReturned);
    EXPECT_TRUE(firstStillRunning);
    EXPECT_EQ(site.server.requestCount(u"/login.html"_s), 1);
    EXPECT_EQ(site.posts().size(), 1);
}

namespace {

// The download window as the program makes it, with scripted answers to its questions.
struct WindowRig
{
    TempSettings settings;
    QTemporaryDir dir;
    RecordingPrompts prompts;
    QPointer<FFileDownload> window = new FFileDownload({}, &prompts);

    WindowRig()
    {
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        window->loginPanel().limits.settleMs = 100;
    }
    ~WindowRig() { delete window.data(); }

    template<typename T> T *get(const QString &name) const { return child<T>(window, name); }
    void click(const QString &name) const
    {
        QTest::mouseClick(get<QAbstractButton>(name), Qt::LeftButton);
    }
    void type(const QString &box, const QString &text) const
    {
        get<QLineEdit>(box)->clear();
        QTest::keyClicks(get<QLineEdit>(box), text);
    }
    Browser *web1() const { return window->loginPanel().existingWeb1(); }
    bool web1At(const QString &url) const
    {
        return QTest::qWaitFor([&] { return web1() && web1()->URL() == url && !web1()->Busy(); },
                               pageLimitMs);
    }
    int addRow(const QString &urls, const QString &name)
    {
        QueueRow r;
        r.Urls = urls;
        r.Name = name;
        r.Type = u"PDF"_s;
        r.SaveFolder = dir.path() + u'/';
        r.Referer = urls;
        return window->queue().append(r);
    }
};

} // namespace

// The panel's browser: "浏览" opens the address, the title shows in status panel 3, a link to a
// new window opens in Web1 itself, the refresh reloads every interval and keeps the page when
// the panel closes; without it, closing empties the browser. "网页登录" opens the selected row.
TEST(LoginPanelWindow, BrowserEventsRefreshAndClose)
{
    WindowRig rig;
    ScriptedHttpServer server;
    server.serveBody(u"/links.html"_s,
                     "<html><head><title>Links page</title></head><body>"
                     "<a id=nw href=/other.html target=_blank>new window</a></body></html>",
                     "text/html");
    server.serveBody(u"/other.html"_s, "<html><head><title>Other page</title></head></html>",
                     "text/html");
    server.serveBody(u"/row.html"_s, "<html><head><title>Row page</title></head></html>",
                     "text/html");
    auto *panel = rig.get<QWidget>(u"PicWebBK"_s);

    // No address: "自动登录" is refused and stays clear.
    rig.click(u"Command1"_s);
    ASSERT_TRUE(panel->isVisible());
    rig.click(u"Check2"_s);
    EXPECT_EQ(rig.prompts.last(), u"必须先设置登录网址！"_s);
    EXPECT_FALSE(rig.get<QCheckBox>(u"Check2"_s)->isChecked());
    EXPECT_FALSE(rig.window->session().options.autoLogin);

    rig.type(u"Text1"_s, server.url(u"/links.html"_s));
    rig.click(u"Command2"_s);
    ASSERT_TRUE(rig.web1At(server.url(u"/links.html"_s)));
    EXPECT_TRUE(rig.get<QPushButton>(u"Command2"_s)->isEnabled());
    EXPECT_EQ(panel->findChildren<QWebEngineView *>().size(), 1);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return rig.window->statusPanelText(3) == u"Links page"; }, 5000));

    const auto windowsBefore = QApplication::topLevelWidgets().size();
    rig.web1()->Document()->getElementById(u"nw"_s).click();
    ASSERT_TRUE(rig.web1At(server.url(u"/other.html"_s)));
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore);
    EXPECT_EQ(panel->findChildren<QWebEngineView *>().size(), 1);

    // Refreshing: Timer2 reloads the page, and closing the panel keeps it.
    QTimer &timer2 = rig.window->loginPanel().Timer2();
    EXPECT_EQ(timer2.interval(), 60000);
    timer2.setInterval(100);
    rig.click(u"Check1"_s);
    EXPECT_TRUE(timer2.isActive());
    const int loads = server.requestCount(u"/other.html"_s);
    rig.click(u"Command3"_s);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return server.requestCount(u"/other.html"_s) >= loads + 2; }, 5000));
    EXPECT_EQ(rig.web1()->URL(), server.url(u"/other.html"_s));

    // With the refresh on, "网页登录" leaves the page as it is even with a row selected.
    const int row = rig.addRow(server.url(u"/row.html"_s) + u'|' + server.url(u"/x"_s), u"r"_s);
    auto *list = rig.get<QAbstractItemView>(u"ListView3"_s);
    list->selectionModel()->select(list->model()->index(row - 1, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    rig.click(u"Command1"_s);
    rig.click(u"Check1"_s);
    EXPECT_FALSE(timer2.isActive());
    ASSERT_TRUE(rig.web1At(server.url(u"/other.html"_s))) << "the last refresh, and no other page";

    // Without it, closing the panel empties the browser; the blank page's title is not shown.
    rig.click(u"Command3"_s);
    ASSERT_TRUE(rig.web1At(u"about:blank"_s));
    EXPECT_EQ(rig.window->statusPanelText(3), u"Other page"_s);
    rig.click(u"Command1"_s);
    EXPECT_TRUE(rig.web1At(server.url(u"/row.html"_s))) << "the row's first address";
}

namespace {

// Everything the process writes to its standard error while it lives (Qt's messages with every
// logging category on, and the browser engine's own log), in a file.
class StderrCapture
{
public:
    StderrCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
        QLoggingCategory::setFilterRules(u"*=true"_s);
    }
    ~StderrCapture() { release(); }
    QByteArray release()
    {
        if (m_saved >= 0) {
            QLoggingCategory::setFilterRules({});
            std::fflush(stderr);
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
            m_saved = -1;
        }
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};

// Files under a folder that hold any of the texts (in UTF-8 or UTF-16).
QStringList filesHolding(const QString &folder, const QStringList &texts)
{
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = f.readAll();
        for (const QString &t : texts) {
            const QByteArray utf16(reinterpret_cast<const char *>(t.utf16()), t.size() * 2);
            if (bytes.contains(t.toUtf8()) || bytes.contains(utf16))
                found << f.fileName();
        }
    }
    return found;
}

} // namespace

// The road of a members' paper in both methods: the first download gives the site's login page
// (a web-page row); with "自动登录" ticked the panel, hidden, logs in with the typed account and
// password; the automatic re-download of web-page rows then brings the PDF, which the session
// cookie of the login admits. Account and password show nowhere: not in the masked box, not in
// any log, not in any file the program writes.
TEST(LoginPanelWindow, AutomaticLoginAdmitsTheReDownloadInBothMethods)
{
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        StderrCapture output;
        MembersSite site;
        site.form = "<input name=UserName><input name=PassWord type=password><input type=submit>";
        site.cookie = "member" + QByteArray::number(method) + "=ok"; // the first run's stays
        auto rig = std::make_unique<WindowRig>();
        FFileDownload *w = rig->window;
        if (method == 1)
            rig->click(u"Command26"_s);
        ASSERT_EQ(w->session().method, method);
        QList<QPair<int, QString>> ends; // state and type of the row at each end
        QObject::connect(&w->session(), &DownloadSession::rowEnded, w, [&](int p) {
            ends.append({w->queue().row(p).State, w->queue().row(p).Type});
        });

        rig->click(u"Command1"_s);
        rig->type(u"Text1"_s, site.url(u"/login.html"_s));
        rig->type(u"Text2"_s, account);
        rig->type(u"Text3"_s, password);
        auto *text3 = rig->get<QLineEdit>(u"Text3"_s);
        EXPECT_EQ(text3->echoMode(), QLineEdit::Password);
        EXPECT_FALSE(text3->displayText().contains(password));
        rig->click(u"ShowPassword"_s);
        EXPECT_EQ(text3->displayText(), password);
        rig->click(u"ShowPassword"_s);
        EXPECT_EQ(text3->echoMode(), QLineEdit::Password);
        rig->click(u"Check2"_s);
        ASSERT_TRUE(rig->get<QCheckBox>(u"Check2"_s)->isChecked());
        EXPECT_TRUE(rig->prompts.shown.isEmpty());
        rig->click(u"Command3"_s);
        rig->click(u"Check3"_s);
        rig->get<QComboBox>(u"Combo4"_s)->setCurrentIndex(1); // 文件类型为HTM和HTML项

        const int row = rig->addRow(site.url(u"/paper.pdf"_s), u"paper"_s);
        rig->click(u"Command4"_s);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const QueueRow &r = w->queue().row(row);
                return r.State == QueueRow::Finished && r.Type == u"pdf";
            },
            30000));
        ASSERT_FALSE(ends.isEmpty());
        EXPECT_EQ(ends.first(), qMakePair(int(QueueRow::Finished), u"htm"_s))
            << "a web-page row first";
        EXPECT_EQ(site.posts(), QList<QByteArray>{"UserName=alice-7Q&PassWord=pw-s3cret-9Z"});
        QFile saved(rig->dir.filePath(u"paper.pdf"_s));
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
        EXPECT_EQ(saved.readAll(), site.paper);
        EXPECT_FALSE(QFile::exists(rig->dir.filePath(u"paper.htm"_s)));
        EXPECT_FALSE(rig->get<QWidget>(u"PicWebBK"_s)->isVisible()) << "it logged in hidden";

        rig->click(u"Command31"_s);
        w->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return rig->window.isNull(); }, 5000));
        const QString settingsRoot = rig->settings.dataFolder() + u"/.."_s;
        EXPECT_EQ(filesHolding(settingsRoot, {account, password}), QStringList());
        const QByteArray written = output.release();
        EXPECT_GT(written.size(), 0) << "the logging categories were on";
        EXPECT_FALSE(written.contains(account.toUtf8()));
        EXPECT_FALSE(written.contains(password.toUtf8()));
    }
}

// The window closes while a login waits for its page: the wait gives up with its owner, and
// nothing of the window is touched afterwards.
TEST(LoginPanelWindow, ClosingTheWindowEndsAWaitingLogin)
{
    WindowRig rig;
    ScriptedHttpServer server;
    server.route(u"/slow.html"_s, Script().stall());
    rig.window->loginPanel().limits.pageWaitMs = 20000;
    rig.click(u"Command1"_s);
    rig.type(u"Text1"_s, server.url(u"/slow.html"_s));
    rig.click(u"Option5"_s); // IP登录: no account needed
    QObject::connect(&server, &ScriptedHttpServer::requestReceived, rig.window,
                     [&] { QTimer::singleShot(0, rig.window, [&] { rig.window->close(); }); });
    QElapsedTimer clock;
    clock.start();
    rig.click(u"Command5"_s); // returns once the attempt has ended
    EXPECT_TRUE(rig.window.isNull());
    EXPECT_LT(clock.elapsed(), 15000) << "the page wait ended with the window, not at its limit";
}
