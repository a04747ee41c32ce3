// labels: gui browser
#include "browser/ui/webenginebrowser.h"
#include "foundation/settings.h"
#include "search/serviceaddress.h"
#include "search/ui/fwebsearch.h"
#include "support/fixturesite.h"
#include "support/searchrig.h"
#include "support/tempsettings.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWebEngineProfile>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int pageLimitMs = 20000;

// The window over the fixture site, with the rest of the program stood in for: scripted
// answers, a picker that confirms a folder, a download queue without a window.
class SearchWindow : public ::testing::Test
{
protected:
    TempSettings settings;
    FixtureSite site;
    QWebEngineProfile profile; // off the record
    RecordingPrompts prompts;
    SavePathValues values;
    ScriptedPicker picker;
    FakeQueueOwner owner;
    int coverCalls = 0;
    QPointer<FWebSearch> window;

    void TearDown() override { delete window.data(); }

    FWebSearch *open(SearchWindowCalls calls = {})
    {
        calls.showCoverIfNoDownloadWindow = [this] { ++coverCalls; };
        window = new FWebSearch(values, prompts, picker, owner, std::move(calls), &profile);
        window->show();
        return window;
    }
    template<typename T> T *find(const QString &name) const { return window->findChild<T *>(name); }
    QAction *action(const QString &name) const { return window->findChild<QAction *>(name); }
    bool settlesAt(const QString &address) const
    {
        return QTest::qWaitFor(
            [&] { return window->browser()->URL() == address && !window->browser()->Busy(); },
            pageLimitMs);
    }
    void click(const QString &buttonName)
    {
        QTest::mouseClick(find<QPushButton>(buttonName), Qt::LeftButton);
    }
};

} // namespace

TEST_F(SearchWindow, LoadsItsControlsSettingsAndTheServiceHomePage)
{
    SaveSetting(setting::BatchKeywords, u"alpha\r\nbeta"_s);
    SaveSetting(setting::PageDelay, u"7"_s);
    SearchWindowCalls calls;
    calls.showDownloadWindow = [] {};
    open(std::move(calls));

    EXPECT_EQ(window->windowTitle(), u"CINII页面数据检索分析-澄川文献管家"_s);
    EXPECT_EQ(find<QPlainTextEdit>(u"Text1"_s)->toPlainText(), u"alpha\nbeta"_s);
    auto *combo = find<QComboBox>(u"Combo1"_s);
    EXPECT_EQ(combo->count(), 121);
    EXPECT_EQ(combo->itemText(120), u"120"_s);
    EXPECT_EQ(combo->currentText(), u"7"_s);
    EXPECT_TRUE(find<QCheckBox>(u"Check5"_s)->isChecked());
    EXPECT_TRUE(window->browser()->Silent());
    EXPECT_FALSE(find<QCheckBox>(u"Check7"_s)->isChecked());
    EXPECT_EQ(find<QLabel>(u"Label1"_s)->text(), u"0"_s);
    EXPECT_EQ(find<QLabel>(u"Label7"_s)->text(), u"限速延时：       秒"_s);
    EXPECT_EQ(find<QLabel>(u"StatusBar1Panel1"_s)->text(), u"澄川软件"_s);
    EXPECT_FALSE(find<QWidget>(u"PicPanPrograss"_s)->isVisible());

    // "加入" is only a pop-up; calls the program did not give leave their items disabled.
    QStringList bar;
    for (QAction *menu : window->menuBar()->actions())
        bar << menu->text();
    EXPECT_EQ(bar, QStringList({u"浏览(&B)"_s, u"清除(&C)"_s, u"工具(&T)"_s, u"帮助(&H)"_s}));
    EXPECT_TRUE(action(u"menu打开下载窗口"_s)->isEnabled());
    EXPECT_FALSE(action(u"menu设置"_s)->isEnabled());
    EXPECT_FALSE(action(u"menu查看IE浏览器缓存"_s)->isEnabled());
    ASSERT_TRUE(action(u"menu全部加入"_s));

    EXPECT_TRUE(settlesAt(ServiceHomePage()));
    window->resize(100, 100); // below 9000 x 5000 twips
    EXPECT_EQ(window->size(), QSize(600, 333));
}

TEST_F(SearchWindow, ButtonsDriveTheWalkTheHandOverAndTheExport)
{
    open();
    window->session().limits.msPerDelaySecond = 10;
    find<QComboBox>(u"Combo1"_s)->setCurrentText(u"1"_s);
    window->browser()->Navigate(ServiceSearchPage(u"wetland"_s));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return window->browser()->URL().contains(u"/search?q=wetland"_s)
                   && !window->browser()->Busy();
        },
        pageLimitMs));

    click(u"Command9"_s); // this page only
    EXPECT_EQ(find<QLabel>(u"Label1"_s)->text(), u"2"_s);

    // While the walk runs its button is the red stop button.
    QString captionDuringWalk, styleDuringWalk;
    QTimer::singleShot(50, window, [&] {
        captionDuringWalk = find<QPushButton>(u"Command4"_s)->text();
        styleDuringWalk = find<QPushButton>(u"Command4"_s)->styleSheet();
    });
    click(u"Command4"_s);
    EXPECT_EQ(captionDuringWalk, u"停止加入全部"_s);
    EXPECT_TRUE(styleDuringWalk.contains(u"rgb(255, 0, 0)"_s));
    EXPECT_EQ(find<QPushButton>(u"Command4"_s)->text(), u"加入全部到列表"_s);
    EXPECT_EQ(find<QLabel>(u"Label1"_s)->text(), u"5"_s);
    EXPECT_EQ(find<QTreeView>(u"ListView1"_s)->model()->rowCount(), 5);

    click(u"Command2"_s); // nothing selected: every row
    EXPECT_EQ(owner.queueStore.count(), 5);
    EXPECT_EQ(window->session().list().at(4).State, u"成功"_s);
    EXPECT_GE(owner.redraws, 1);

    QTemporaryDir dir;
    prompts.fileAnswers.push_back(dir.filePath(u"rows.txt"_s));
    click(u"Command7"_s);
    QFile exported(dir.filePath(u"rows.txt"_s));
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_EQ(exported.readAll().count("】成功\r\n"), 5);

    action(u"menu清除分析成功项"_s)->trigger();
    EXPECT_EQ(find<QLabel>(u"Label1"_s)->text(), u"0"_s);
}

TEST_F(SearchWindow, CloseSavesTheBoxesStopsTheTimerAndAsksForTheCover)
{
    values.PromptSavePathOnExtract = 1; // the picker was confirmed at extraction
    open();
    find<QPlainTextEdit>(u"Text1"_s)->setPlainText(u"one\ntwo"_s);
    find<QComboBox>(u"Combo1"_s)->setCurrentText(u"3"_s);
    QTest::mouseClick(find<QCheckBox>(u"Check7"_s), Qt::LeftButton);
    EXPECT_TRUE(window->analysis().Timer1().isActive());

    action(u"menu关闭本窗口"_s)->trigger();
    EXPECT_EQ(coverCalls, 1);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->analysis().Timer1().isActive());
    EXPECT_TRUE(window->session().flags().AddAllStopped());
    EXPECT_EQ(GetSetting(setting::BatchKeywords), u"one\r\ntwo"_s);
    EXPECT_EQ(GetSetting(setting::PageDelay), u"3"_s);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 5000)); // unloaded
}

TEST_F(SearchWindow, ClosingDuringAnAddAllWalkEndsTheWalk)
{
    open();
    window->session().limits.msPerDelaySecond = 1000;
    find<QComboBox>(u"Combo1"_s)->setCurrentText(u"120"_s);
    window->browser()->Navigate(ServiceSearchPage(u"wetland"_s));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return window->browser()->URL().contains(u"wetland"_s) && !window->browser()->Busy();
        },
        pageLimitMs));
    // Page 2 on show, the walk in its two-minute delay: the user closes the window.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window && window->browser()->URL() == site.url(u"/search2.html"_s)
            && !window->browser()->Busy()) {
            poll.stop();
            window->close();
        }
    });
    poll.start(20);
    QElapsedTimer clock;
    clock.start();
    QPointer<QPushButton> command4 = find<QPushButton>(u"Command4"_s);
    QTest::mouseClick(command4, Qt::LeftButton);
    EXPECT_LT(clock.elapsed(), 60000);
    EXPECT_EQ(coverCalls, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 5000));
}

TEST_F(SearchWindow, MakersPagesHideTheStatusBar)
{
    open();
    QStatusBar *bar = window->statusBar();
    emit window->browser()->BeforeNavigate2(u"https://www.HeYuSoft.example/papyrant/"_s);
    EXPECT_FALSE(bar->isVisible());
    emit window->browser()->BeforeNavigate2(site.url(u"/search2.html"_s));
    EXPECT_TRUE(bar->isVisible());
    emit window->browser()->StatusTextChange(u"http://x/y.pdf"_s);
    EXPECT_EQ(find<QLabel>(u"StatusBar1Panel2"_s)->text(), u"http://x/y.pdf"_s);
}

TEST_F(SearchWindow, ABarDroppedIntoTheBottomStripGoesBackToFourFifths)
{
    open();
    window->resize(900, 700);
    auto *splitter = find<QSplitter>(u"PicBar"_s);
    QTRY_VERIFY(splitter->height() > 400);
    QSplitterHandle *bar = splitter->handle(1);
    const QPoint grip = bar->rect().center();
    QTest::mousePress(bar, Qt::LeftButton, {}, grip);
    QTest::mouseMove(bar, grip + QPoint(0, splitter->height()));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, grip + QPoint(0, splitter->height()));
    const QList<int> sizes = splitter->sizes();
    ASSERT_EQ(sizes.size(), 2);
    const int room = sizes.at(0) + sizes.at(1);
    EXPECT_NEAR(sizes.at(0), room * 4 / 5, 2);

    // A drop higher up stays where it was dropped.
    QTest::mousePress(bar, Qt::LeftButton, {}, grip);
    QTest::mouseMove(bar, grip - QPoint(0, 100));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, grip - QPoint(0, 100));
    EXPECT_NEAR(splitter->sizes().at(0), room * 4 / 5 - 100, 2);
}
