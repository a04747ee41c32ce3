// labels: gui browser
// The whole road in the real program objects, as main() makes them, once for each service: from
// the cover, a keyword searched on the local stand-in for the service, every result page
// collected, the rows handed to the download window, downloaded and named, a login for the full
// text behind one, a batch of two keywords, and the way out.
#include "app/ui/fcover.h"
#include "app/ui/programwindows.h"
#include "browser/ui/webenginebrowser.h"
#include "download/downloadqueue.h"
#include "download/loginpanel.h"
#include "download/scheduler.h"
#include "download/ui/ffiledownload.h"
#include "foundation/settings.h"
#include "search/searchsession.h"
#include "search/serviceaddress.h"
#include "search/ui/fwebsearch.h"
#include "support/findchild.h"
#include "support/fixturesite.h"
#include "support/profiles.h"
#include "support/qtprinters.h"
#include "support/recordingprompts.h"
#include "support/tempsettings.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int pageLimitMs = 20000;

// Answers the save-folder picker as a user does once it shows: the folder typed, "确定".
void confirmPickerWhenShown(const QString &folder, int *shown)
{
    QTimer::singleShot(10, [folder, shown] {
        QWidget *picker = QApplication::activeModalWidget();
        if (!picker || picker->objectName() != u"fSeleFileSavePath"_s) {
            confirmPickerWhenShown(folder, shown);
            return;
        }
        ++*shown;
        child<QComboBox>(picker, u"Combo1"_s)->setEditText(folder);
        QTest::mouseClick(child<QPushButton>(picker, u"Command2"_s), Qt::LeftButton);
    });
}

QByteArray head(const QString &path, int bytes)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(bytes) : QByteArray();
}

// What differs between the services on the same road.
struct Service
{
    const char *name;
    QString profile;
    QString box, button;  // the home page's search form
    QStringList files;    // the save folder after the first download
    QString behindLogin;  // the full text that answers a login page
    QString loginWebPage; // its file before the login, then as a PDF
    QString loginPdf;
    QString marshPage; // the batch's second keyword
    QString marshLink;
};

class Road : public ::testing::TestWithParam<Service>
{};

const Service services[] = {
    {"CiNiiArticles",
     u"cinii-articles"_s,
     u"q"_s,
     u"go"_s,
     {u"Page one second article.PDF"_s, u"Page one, first article.PDF"_s,
      u"Page three, only article.PDF"_s, u"Page two  second article.htm"_s,
      u"Page two, first article.PDF"_s},
     u"/pdf/202.pdf"_s,
     u"Page two  second article.htm"_s,
     u"Page two  second article.pdf"_s,
     u"other1.html"_s,
     u"/pdf/401.pdf"_s},
    // Today's rows are typed LINK: each file takes its true type from its first bytes, and a
    // landing page becomes the PDF its head names (the login page names none and stays a page).
    {"CiNiiResearch",
     u"cinii-research"_s,
     u"cq"_s,
     u"cgo"_s,
     {u"Page one second article.pdf"_s, u"Page one, first article.pdf"_s,
      u"Page three, only article.pdf"_s, u"Page two  second article.htm"_s,
      u"Page two, first article.pdf"_s},
     u"/pdf/602.pdf"_s,
     u"Page two  second article.htm"_s,
     u"Page two  second article.pdf"_s,
     u"cir/other1.html"_s,
     u"/pdf/801.pdf"_s},
};

} // namespace

INSTANTIATE_TEST_SUITE_P(EachService, Road, ::testing::ValuesIn(services),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_P(Road, FromAKeywordToFilesOnDiskAndBackToTheCover)
{
    const Service &service = GetParam();
    TempSettings settings;
    SaveSetting(setting::ServiceProfileId, service.profile);
    FixtureSite site;
    const ServiceProfile &profile = builtInProfile(service.profile);
    site.routeKeyword(u"marsh"_s, service.marshPage, profile);
    site.answerLoginPage(service.behindLogin); // a full text behind a login
    QTemporaryDir downloads;
    const QString folder = downloads.path() + u"/papers/"_s;
    RecordingPrompts prompts;
    ProgramWindows windows(&prompts);

    // 1. The cover; "文献检索下载" opens the search window on the service's home page.
    windows.cover()->load();
    ASSERT_TRUE(windows.cover()->isVisible());
    QTest::mouseClick(child<QPushButton>(windows.cover(), u"Command1"_s), Qt::LeftButton);
    QPointer<FWebSearch> search = windows.searchWindow();
    ASSERT_TRUE(search);
    EXPECT_FALSE(windows.cover()->isVisible());
    WebEngineBrowser *browser = search->browser();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return browser->URL() == ServiceHomePage(profile) && !browser->Busy(); },
        pageLimitMs));
    EXPECT_EQ(search->session().profile().id, service.profile);

    // 2. A keyword typed into the service's form; "加入全部到列表" walks every page.
    browser->Document()->getElementById(service.box).setValue(u"wetland"_s);
    browser->Document()->getElementById(service.button).click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return browser->URL().contains(u"q=wetland"_s) && !browser->Busy(); }, pageLimitMs));
    child<QComboBox>(search, u"Combo1"_s)->setCurrentText(u"0"_s);
    int pickers = 0;
    confirmPickerWhenShown(QDir::toNativeSeparators(folder), &pickers);
    QTest::mouseClick(child<QPushButton>(search, u"Command4"_s), Qt::LeftButton);
    EXPECT_EQ(pickers, 1);
    const SearchList &list = search->session().list();
    ASSERT_EQ(list.count(), 5);
    EXPECT_EQ(child<QLabel>(search, u"Label1"_s)->text(), u"5"_s);
    EXPECT_EQ(child<QTreeView>(search, u"ListView1"_s)->model()->rowCount(), 5);
    EXPECT_EQ(list.at(0).SaveFolder, folder);

    // 3. "分析下载" with nothing selected hands every row over; the download window is loaded.
    QTest::mouseClick(child<QPushButton>(search, u"Command2"_s), Qt::LeftButton);
    QPointer<FFileDownload> download = windows.downloadWindow();
    ASSERT_TRUE(download);
    EXPECT_EQ(download->queue().count(), 5);
    child<QAction>(search, u"menu打开下载窗口"_s)->trigger();
    EXPECT_TRUE(download->isVisible());

    // 4. "开始下载": every row ends finished, named from its title, typed by its first bytes.
    QTest::mouseClick(child<QPushButton>(download, u"Command4"_s), Qt::LeftButton);
    const DownloadQueue &queue = download->queue();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (int p = 1; p <= queue.count(); ++p)
                if (queue.row(p).State != QueueRow::Finished)
                    return false;
            return true;
        },
        30000))
        << queue.ShowQueueCounts().toStdString();
    QStringList files = QDir(folder).entryList(QDir::Files);
    files.sort();
    EXPECT_EQ(files, service.files) << files.join(u" | "_s).toStdString();
    for (const QString &file : files)
        EXPECT_EQ(head(folder + file, 5),
                  file.endsWith(u".htm"_s) ? QByteArray("<!DOC") : QByteArray("%PDF-"))
            << file.toStdString();

    // 5. The web page where a full text was expected: "网页登录", the site's login page and
    //    "测试登录" in the login panel; the re-download of web-page rows then brings the PDF,
    //    which the session of that login admits.
    QTest::mouseClick(child<QPushButton>(download, u"Command1"_s), Qt::LeftButton);
    child<QLineEdit>(download, u"Text1"_s)->setText(site.url(u"/login.html"_s));
    child<QLineEdit>(download, u"Text2"_s)->setText(u"demo"_s);
    child<QLineEdit>(download, u"Text3"_s)->setText(u"demo"_s);
    download->loginPanel().limits.settleMs = 100;
    QTest::mouseClick(child<QPushButton>(download, u"Command5"_s), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(download, u"Command3"_s), Qt::LeftButton);
    child<QAction>(download, u"menu重新下载文件类型为HTM和HTML项"_s)->trigger();
    QTest::mouseClick(child<QPushButton>(download, u"Command4"_s), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return queue.统计未下载项数目() == 0 && !download->scheduler().isOn(); }, 30000));
    EXPECT_EQ(head(folder + service.loginPdf, 5), QByteArray("%PDF-"));
    EXPECT_FALSE(QFile::exists(folder + service.loginWebPage));

    // 6. A batch of two keywords from Text1: the second one's rows join the list.
    child<QPlainTextEdit>(search, u"Text1"_s)->setPlainText(u"wetland\n\nmarsh\n"_s);
    confirmPickerWhenShown(QDir::toNativeSeparators(folder), &pickers);
    QTest::mouseClick(child<QPushButton>(search, u"Command1"_s), Qt::LeftButton);
    EXPECT_EQ(pickers, 2);
    // A line per keyword: wetland's rows were in the list already.
    EXPECT_EQ(child<QPlainTextEdit>(search, u"Text2"_s)->toPlainText(),
              u"wetland：3页，0条\nmarsh：1页，2条"_s);
    EXPECT_EQ(list.count(), 7);
    EXPECT_EQ(list.at(5).Link, site.url(service.marshLink));
    EXPECT_EQ(list.at(6).Title, u"Marsh soils, second study"_s);
    EXPECT_EQ(child<QLabel>(search, u"Label1"_s)->text(), u"7"_s);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return browser->URL() == ServiceHomePage(profile) && !browser->Busy(); },
        pageLimitMs));
    // The search window's browser knows the login made in the download window's.
    const QList<RecordedRequest> requests = site.server().requests();
    const auto marsh = std::find_if(requests.begin(), requests.end(), [](const RecordedRequest &r) {
        return r.target.contains("marsh");
    });
    ASSERT_NE(marsh, requests.end());
    EXPECT_TRUE(marsh->header("Cookie").contains("session=fixture"))
        << marsh->header("Cookie").constData();

    // 7. Both main windows closed: the cover is back; closing it ends the program.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !download->scheduler().isOn(); }, 5000));
    search->close();
    EXPECT_FALSE(windows.cover()->isVisible()) << "the download window is still open";
    download->close(); // every row done: no question
    EXPECT_TRUE(windows.cover()->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return search.isNull() && download.isNull(); }, 5000));
    windows.cover()->close();
    EXPECT_TRUE(windows.ending());
    EXPECT_FALSE(windows.cover()->isVisible());
    EXPECT_TRUE(prompts.shown.isEmpty()) << prompts.messages().join(u" | "_s).toStdString();
}

// The same road through the service's API: "通过API" and the options' appid; the records with a
// full text become rows that the download window fetches into files. A landing page stays a web
// page here; the appid travels only in the API's search requests.
TEST(ApiRoad, AKeywordThroughTheApiEndsWithFilesOnDisk)
{
    TempSettings settings;
    SaveSetting(setting::ServiceProfileId, u"cinii-research"_s);
    SaveSetting(setting::ApiAppId, u"road-appid"_s);
    FixtureSite site;
    QTemporaryDir downloads;
    const QString folder = downloads.path() + u"/papers/"_s;
    RecordingPrompts prompts;
    ProgramWindows windows(&prompts);

    windows.cover()->load();
    QTest::mouseClick(child<QPushButton>(windows.cover(), u"Command1"_s), Qt::LeftButton);
    QPointer<FWebSearch> search = windows.searchWindow();
    ASSERT_TRUE(search);
    child<QComboBox>(search, u"Combo1"_s)->setCurrentText(u"0"_s);
    child<QPlainTextEdit>(search, u"Text1"_s)->setPlainText(u"wetland"_s);
    child<QCheckBox>(search, u"CheckApi"_s)->click();
    int pickers = 0;
    confirmPickerWhenShown(QDir::toNativeSeparators(folder), &pickers);
    QTest::mouseClick(child<QPushButton>(search, u"Command1"_s), Qt::LeftButton);
    EXPECT_EQ(pickers, 1);
    EXPECT_EQ(child<QPlainTextEdit>(search, u"Text2"_s)->toPlainText(),
              u"wetland(API) 命中3条，加入2条"_s);
    ASSERT_EQ(search->session().list().count(), 2);

    QTest::mouseClick(child<QPushButton>(search, u"Command2"_s), Qt::LeftButton);
    QPointer<FFileDownload> download = windows.downloadWindow();
    ASSERT_TRUE(download);
    const DownloadQueue &queue = download->queue();
    ASSERT_EQ(queue.count(), 2);
    EXPECT_EQ(queue.row(1).Referer, site.url(u"/crid/3010000000000000001"_s));
    QTest::mouseClick(child<QPushButton>(download, u"Command4"_s), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return queue.统计未下载项数目() == 0 && !download->scheduler().isOn(); }, 30000))
        << queue.ShowQueueCounts().toStdString();
    QStringList files = QDir(folder).entryList(QDir::Files);
    files.sort();
    // The record whose full text is a landing page ends as the PDF that page names.
    EXPECT_EQ(files, QStringList({u"Page one second article.pdf"_s, u"湿原の植生図.pdf"_s}))
        << files.join(u" | "_s).toStdString();
    for (const QString &file : files)
        EXPECT_EQ(head(folder + file, 5), QByteArray("%PDF-")) << file.toStdString();

    for (const RecordedRequest &r : site.server().requests()) {
        EXPECT_TRUE(!r.target.contains("road-appid")
                    || r.target.startsWith("/opensearch/articles?"))
            << r.target.constData();
    }
    EXPECT_GT(site.server().requestCount(u"/opensearch/articles"_s), 0);
    EXPECT_TRUE(prompts.shown.isEmpty()) << prompts.messages().join(u" | "_s).toStdString();
    search->close();
    download->close();
}
