// labels: gui integration
#include "app/ui/fcover.h"
#include "app/ui/programwindows.h"
#include "app/updatecheck.h"
#include "app/version.h"
#include "foundation/makerpages.h"
#include "foundation/settings.h"
#include "foundation/shell.h"
#include "support/recordingprompts.h"
#include "support/scriptedhttpserver.h"
#include "support/tempsettings.h"
#include "transfer/uxmlhttp.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// Pages the program asked the desktop to open.
struct OpenedPages
{
    QStringList urls;
    OpenedPages()
    {
        setShellOpenersForTesting({[this](const QUrl &url) {
                                       urls << url.toString();
                                       return true;
                                   },
                                   [](const QString &) { return true; }});
    }
    ~OpenedPages() { setShellOpenersForTesting({}); }
};

struct Program
{
    RecordingPrompts prompts;
    ProgramWindows windows{&prompts};
    QLabel *label3() { return windows.cover()->findChild<QLabel *>(u"Label3"_s); }
    uXMLHTTP *request() { return windows.cover()->findChild<uXMLHTTP *>(u"uXMLHTTP2"_s); }
    // Loads the cover as the start-up does, and waits until the update check its Timer1
    // starts has had its answer handled.
    bool startedAndChecked()
    {
        windows.cover()->load();
        return QTest::qWaitFor([this] { return request()->DownOK(); }, 10000);
    }
};

} // namespace

TEST(UpdateCheck, AnswersOfTheSite)
{
    ASSERT_LT(*VersionValue(versionText()), *VersionValue(u"1.6.0"_s))
        << "the cases assume an older own version";
    const QString product = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    const QString versionFile = u"/"_s + product + u"/newver.txt"_s;
    const struct
    {
        const char *what;
        Script answer;
        QString announcement; // empty: nothing shown
        QStringList messages;
    } cases[] = {
        {"newer",
         Script::response(200, "1.6.0", "text/plain"),
         u"有最新版本：V1.6.0可以下载升级"_s,
         {}},
        {"our own", Script::response(200, versionText().toLatin1(), "text/plain"), {}, {}},
        {"two parts", Script::response(200, "1.5", "text/plain"), {}, {}},
        {"spaces and a line break",
         Script::response(200, " 2.0.0 \r\n", "text/plain"),
         u"有最新版本：V2.0.0可以下载升级"_s,
         {}},
        {"a web page",
         Script::response(200, "<html><body>1.6.0</body></html>", "text/html"),
         {},
         {}},
        {"not found",
         Script::response(404, "<html>not found</html>", "text/html"),
         {},
         {u"请保持网络畅通！"_s}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TempSettings settings;
        OpenedPages opened;
        ScriptedHttpServer site;
        site.route(versionFile, c.answer);
        SaveSetting(setting::UpdateSiteRoot, site.baseUrl()); // without its final "/"
        Program program;
        EXPECT_FALSE(program.label3()->isVisibleTo(program.windows.cover()));
        EXPECT_EQ(program.label3()->text(), u"最新版本："_s);
        ASSERT_TRUE(program.startedAndChecked());
        EXPECT_EQ(site.requestCount(versionFile), 1);
        EXPECT_EQ(program.prompts.messages(), c.messages);
        const QString productPage = site.baseUrl() + u'/' + product + u'/';
        EXPECT_EQ(LatestVersionPage(), productPage);
        if (c.announcement.isEmpty()) {
            EXPECT_FALSE(program.label3()->isVisibleTo(program.windows.cover()));
            EXPECT_TRUE(opened.urls.isEmpty());
        } else {
            EXPECT_TRUE(program.label3()->isVisibleTo(program.windows.cover()));
            EXPECT_EQ(program.label3()->text(), c.announcement);
            EXPECT_EQ(opened.urls, QStringList{productPage});
            // A click on the announcement opens the page again.
            QTest::mouseClick(program.label3(), Qt::LeftButton);
            EXPECT_EQ(opened.urls, QStringList({productPage, productPage}));
        }
        if (!c.messages.isEmpty()) {
            EXPECT_EQ(program.prompts.shown[0].icon, Prompts::Icon::Error);
        }
    }
}

// A site that drips its answer a byte at a time never lets the request time out on silence;
// the check's own deadline ends it as a failed check, told once.
TEST(UpdateCheck, ASiteThatDripsItsAnswerMeetsTheDeadline)
{
    const QString product = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    TempSettings settings;
    OpenedPages opened;
    ScriptedHttpServer site;
    Script drip;
    drip.send(Script::head("HTTP/1.1 200 OK", {"Content-Length: 1000"}));
    for (int i = 0; i < 200; ++i)
        drip.delay(50).send("1");
    site.route(u"/"_s + product + u"/newver.txt"_s, drip);
    SaveSetting(setting::UpdateSiteRoot, site.baseUrl());
    Program program;
    program.windows.updateCheck()->setDeadlineMs(400);
    program.windows.cover()->load();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !program.prompts.shown.isEmpty(); }, 5000));
    EXPECT_EQ(program.prompts.messages(), QStringList{u"请保持网络畅通！"_s});
    // Aborted: the rest of the drip reaches nobody, and no second message follows.
    EXPECT_NE(program.request()->ReadyState(), 4);
    EXPECT_FALSE(program.label3()->isVisibleTo(program.windows.cover()));
    EXPECT_TRUE(opened.urls.isEmpty());
}

TEST(UpdateCheck, NoSiteSetAsksNothingAndSaysNothing)
{
    TempSettings settings;
    OpenedPages opened;
    Program program;
    program.windows.updateCheck()->CheckForUpdate();
    EXPECT_EQ(program.request()->ReadyState(), 0); // never opened
    EXPECT_TRUE(program.prompts.shown.isEmpty());
    // "最新版本" has no page to open then, and says why.
    program.windows.openLatestVersionPage();
    EXPECT_TRUE(opened.urls.isEmpty());
    ASSERT_EQ(program.prompts.shown.size(), 1);
    EXPECT_EQ(program.prompts.shown[0].icon, Prompts::Icon::Information);
}

TEST(UpdateCheck, VersionTexts)
{
    const struct
    {
        QString text;
        std::optional<qint64> value;
    } cases[] = {
        {u"1.5.119"_s, 10050119},
        {u"1.6.0"_s, 10060000},
        {u" 2 . 0 . 0 "_s, 20000000},
        {u"1.5"_s, std::nullopt},
        {u"1.5.119.1"_s, std::nullopt},
        {u"1.a.0"_s, std::nullopt},
        {u"1..0"_s, std::nullopt},
        {u"-1.0.0"_s, std::nullopt},
        {u"99999999999.0.0"_s, std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(VersionValue(c.text), c.value) << qPrintable(c.text);
}
