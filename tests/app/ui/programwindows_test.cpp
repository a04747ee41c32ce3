// labels: gui browser
#include "app/ui/fcover.h"
#include "app/ui/frmabout.h"
#include "app/ui/programwindows.h"
#include "browser/ui/webenginebrowser.h"
#include "download/downloadqueue.h"
#include "download/ui/ffiledownload.h"
#include "foundation/makerpages.h"
#include "foundation/programvalues.h"
#include "foundation/settings.h"
#include "foundation/systeminfo.h"
#include "search/searchsession.h"
#include "search/serviceaddress.h"
#include "search/ui/fwebsearch.h"
#include "support/fixturesite.h"
#include "support/recordingprompts.h"
#include "support/tempsettings.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDirIterator>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QWebEngineProfile>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int pageLimitMs = 20000;

class Program : public ::testing::Test
{
protected:
    TempSettings settings;
    FixtureSite site;
    RecordingPrompts prompts;
    std::unique_ptr<ProgramWindows> windows = std::make_unique<ProgramWindows>(&prompts);

    void TearDown() override { windows.reset(); }

    FCover *cover() const { return windows->cover(); }
    void openSearchWindow()
    {
        QTest::mouseClick(cover()->findChild<QPushButton *>(u"Command1"_s), Qt::LeftButton);
        ASSERT_TRUE(windows->searchWindow());
    }
    // Closes the modal dialog that the action opens, and returns its object name.
    QString dialogOf(QAction *action)
    {
        QString name;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(QApplication::activeModalWidget());
            QWidget *dialog = QApplication::activeModalWidget();
            name = dialog->objectName();
            if (auto *text = dialog->findChild<QTextBrowser *>())
                name += u':' + text->toPlainText().left(200);
            dialog->close();
        });
        action->trigger();
        return name;
    }
};

qint64 bytesUnder(const QString &folder)
{
    qint64 total = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

} // namespace

TEST_F(Program, CoverLoadsThenAsksForTheUpdateCheckOnce)
{
    SaveSetting(setting::MaxFileSizeMB, u"25.5"_s);
    QSignalSpy due(cover(), &FCover::updateCheckDue);
    cover()->load();
    EXPECT_TRUE(cover()->isVisible());
    EXPECT_FALSE(cover()->findChild<QLabel *>(u"Label1"_s)->isVisible());
    EXPECT_EQ(MaxFileSizeMB(), 25.5);
    EXPECT_TRUE(SystemDescription().endsWith(u"位]"_s)) << SystemDescription().toStdString();
    ASSERT_TRUE(due.wait(2000));
    QTest::qWait(300);
    EXPECT_EQ(due.size(), 1);
    EXPECT_FALSE(cover()->Timer1().isActive());
}

TEST_F(Program, Command1HidesTheCoverAndClosingTheSearchWindowBringsItBack)
{
    cover()->load();
    openSearchWindow();
    QPointer<FWebSearch> search = windows->searchWindow();
    EXPECT_FALSE(cover()->isVisible());
    EXPECT_TRUE(search->isVisible());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return search->browser()->URL() == ServiceHomePage(search->session().profile())
                   && !search->browser()->Busy();
        },
        pageLimitMs));
    EXPECT_TRUE(search->windowIcon().cacheKey() != 0 && !search->windowIcon().isNull());

    cover()->move(0, 0); // where it came back before
    const QPoint middle = search->screen()->availableGeometry().center();
    search->close();
    EXPECT_TRUE(cover()->isVisible());
    EXPECT_LE((cover()->geometry().center() - middle).manhattanLength(), 8);
    EXPECT_FALSE(windows->searchWindow());
    EXPECT_TRUE(QTest::qWaitFor([&] { return search.isNull(); }, 5000));

    openSearchWindow(); // a new one
    EXPECT_NE(windows->searchWindow(), nullptr);
}

TEST_F(Program, ClosingTheSearchWindowWithTheDownloadWindowOpenKeepsTheCoverHidden)
{
    cover()->load();
    openSearchWindow();
    windows->searchWindow()->findChild<QAction *>(u"menu打开下载窗口"_s)->trigger();
    QPointer<FFileDownload> download = windows->downloadWindow();
    ASSERT_TRUE(download);
    EXPECT_TRUE(download->isVisible());

    windows->searchWindow()->close();
    EXPECT_FALSE(cover()->isVisible());
    download->close(); // an empty queue: no question
    EXPECT_TRUE(cover()->isVisible());
    EXPECT_TRUE(prompts.shown.isEmpty());

    // And the other way round: the download window's menu brings the search window back.
    cover()->hide();
    windows->showDownloadWindow();
    windows->downloadWindow()->findChild<QAction *>(u"menu资料检索分析窗口"_s)->trigger();
    ASSERT_TRUE(windows->searchWindow());
    EXPECT_TRUE(windows->searchWindow()->isVisible());
}

TEST_F(Program, HelpMenuShowsTheAboutBoxAndTheUsageNotes)
{
    cover()->load();
    openSearchWindow();
    FWebSearch *search = windows->searchWindow();
    EXPECT_EQ(dialogOf(search->findChild<QAction *>(u"menu关于"_s)), u"frmAbout"_s);
    const QString usage = dialogOf(search->findChild<QAction *>(u"menu使用说明"_s));
    EXPECT_TRUE(usage.startsWith(u"fUse:澄川文献管家 使用说明"_s)) << usage.toStdString();
    EXPECT_TRUE(search->findChild<QAction *>(u"menu清空IE浏览器缓存"_s)->isEnabled());
}

// The makers' links lead to the program's own page; without one they are not offered at all.
TEST_F(Program, MakersLinksLeadToTheProgramsPageOrAreHidden)
{
    cover()->load();
    openSearchWindow();
    windows->showDownloadWindow();
    const bool offered = !ProjectPage().isEmpty();
    FWebSearch *search = windows->searchWindow();
    EXPECT_EQ(search->findChild<QMenu *>(u"menu作者网站"_s)->menuAction()->isVisible(), offered);
    EXPECT_EQ(search->findChild<QAction *>(u"menu软件定制"_s)->isVisible(), offered);
    EXPECT_EQ(windows->downloadWindow()->findChild<QAction *>(u"menu软件主页"_s)->isVisible(),
              offered);
    for (const QString &page : {MakerSitePage(), PartnerSitePage(), CustomSoftwarePage()})
        EXPECT_EQ(page, ProjectPage());

    FrmAbout about(prompts);
    const auto *pages = about.findChild<QLabel *>(u"lblPages"_s);
    EXPECT_FALSE(pages->text().contains(u".example"_s)) << pages->text().toStdString();
    EXPECT_EQ(pages->text().contains(u"澄川软件"_s), offered);
}

TEST_F(Program, ClosingTheCoverClearsTheBrowserCacheAndEndsTheProgram)
{
    cover()->load();
    openSearchWindow();
    QPointer<FWebSearch> search = windows->searchWindow();
    // A page with a body worth caching.
    site.server().serveBody(u"/big.html"_s,
                            "<html><body>" + QByteArray(200000, 'x') + "</body></html>",
                            "text/html", {"Cache-Control: max-age=3600"});
    search->browser()->Navigate(site.url(u"/big.html"_s));
    const QString cache = programBrowserProfile()->cachePath();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bytesUnder(cache) > 200000; }, pageLimitMs))
        << cache.toStdString();

    // A row still waiting in the download window would make its close ask; the end does not.
    windows->showDownloadWindow();
    QPointer<FFileDownload> download = windows->downloadWindow();
    QueueRow waiting;
    waiting.Urls = site.url(u"/pdf/101.pdf"_s);
    waiting.Name = u"waiting"_s;
    waiting.SaveFolder = settings.dataFolder();
    ASSERT_GT(download->queue().append(waiting), 0);

    QSignalSpy unloading(cover(), &FCover::unloading);
    cover()->close(); // the title-bar button
    EXPECT_EQ(unloading.size(), 1);
    EXPECT_TRUE(windows->ending());
    EXPECT_FALSE(cover()->isVisible()); // not brought back by the search window's close
    EXPECT_TRUE(QTest::qWaitFor([&] { return search.isNull() && download.isNull(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return bytesUnder(cache) < 200000; }, pageLimitMs))
        << bytesUnder(cache);
    EXPECT_TRUE(prompts.shown.isEmpty()); // no message, no question

    windows->clearBrowserCache(true); // the menu's clear tells the user
    EXPECT_EQ(prompts.last(), u"IE缓存清空完毕！"_s);
}
