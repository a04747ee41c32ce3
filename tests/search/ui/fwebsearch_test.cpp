// labels: gui browser
#include "browser/ui/webenginebrowser.h"
#include "foundation/settings.h"
#include "search/serviceaddress.h"
#include "search/serviceprofile.h"
#include "search/ui/fwebsearch.h"
#include "support/fixturesite.h"
#include "support/searchrig.h"
#include "support/tempsettings.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
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
    QString service = legacyProfile().id; // the options' choice the window loads

    void TearDown() override { delete window.data(); }

    FWebSearch *open(SearchWindowCalls calls = {})
    {
        calls.showCoverIfNoDownloadWindow = [this] { ++coverCalls; };
        SaveSetting(setting::ServiceProfileId, service);
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

    EXPECT_TRUE(settlesAt(ServiceHomePage(legacyProfile())));
    window->resize(100, 100); // below 9000 x 5000 twips, and below what the batch frame needs
    EXPECT_EQ(window->width(), 600);
    EXPECT_GE(window->height(), 333);
    EXPECT_EQ(window->size(), window->minimumSize());
}

TEST_F(SearchWindow, ButtonsDriveTheWalkTheHandOverAndTheExport)
{
    open();
    window->session().limits.msPerDelaySecond = 10;
    find<QComboBox>(u"Combo1"_s)->setCurrentText(u"1"_s);
    window->browser()->Navigate(ServiceSearchPage(legacyProfile(), u"wetland"_s));
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
    window->browser()->Navigate(ServiceSearchPage(legacyProfile(), u"wetland"_s));
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

// The user stops the walk with the keyboard: the button neither moves its row as its caption
// changes nor leaves the focus in the delay box, where the next key would overwrite the delay.
TEST_F(SearchWindow, StoppingAWalkKeepsTheButtonsWidthAndGivesTheFocusToTheList)
{
    open();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    window->session().limits.msPerDelaySecond = 1000;
    find<QComboBox>(u"Combo1"_s)->setCurrentText(u"120"_s);
    window->browser()->Navigate(ServiceSearchPage(legacyProfile(), u"wetland"_s));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return window->browser()->URL().contains(u"wetland"_s) && !window->browser()->Busy();
        },
        pageLimitMs));
    auto *command4 = find<QPushButton>(u"Command4"_s);
    const QRect idle = command4->geometry();
    QRect running;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window->browser()->URL() == site.url(u"/search2.html"_s)
            && !window->browser()->Busy()) {
            poll.stop();
            running = command4->geometry();
            QTest::keyClick(command4, Qt::Key_Space); // "停止加入全部"
        }
    });
    poll.start(20);
    command4->setFocus();
    QTest::keyClick(command4, Qt::Key_Space); // "加入全部到列表"
    EXPECT_EQ(command4->text(), u"加入全部到列表"_s);
    EXPECT_EQ(running, idle);
    EXPECT_EQ(command4->geometry(), idle);
    EXPECT_EQ(QApplication::focusWidget(), find<QTreeView>(u"ListView1"_s));
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
    // 4/5, as far as the list's panel keeps the height its batch frame needs.
    const int back = qMin(room * 4 / 5, room - find<QWidget>(u"PicPanList"_s)->minimumHeight());
    EXPECT_NEAR(sizes.at(0), back, 2);

    // A drop higher up stays where it was dropped.
    QTest::mousePress(bar, Qt::LeftButton, {}, grip);
    QTest::mouseMove(bar, grip - QPoint(0, 100));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, grip - QPoint(0, 100));
    EXPECT_NEAR(splitter->sizes().at(0), back - 100, 2);
}

TEST_F(SearchWindow, WalksTodaysServiceByPageNumbersAndSaysWhyAPageGaveNothing)
{
    service = researchProfile().id;
    open();
    window->session().limits.msPerDelaySecond = 10;
    find<QComboBox>(u"Combo1"_s)->setCurrentText(u"1"_s);
    auto *note = find<QLabel>(u"StatusBar1Panel3"_s);
    EXPECT_EQ(note->text(), u"检索服务：CiNii Research"_s);
    EXPECT_EQ(window->windowTitle(), u"CINII页面数据检索分析-澄川文献管家"_s);
    ASSERT_TRUE(settlesAt(ServiceHomePage(researchProfile())));

    // The search typed into the service's own form, then "加入全部到列表".
    window->browser()->Document()->getElementById(u"cq"_s).setValue(u"wetland"_s);
    window->browser()->Document()->getElementById(u"cgo"_s).click();
    const QString first = site.url(u"/articles?q=wetland&hasLinkToFullText=true&count=20"_s);
    ASSERT_TRUE(settlesAt(first));
    click(u"Command4"_s);
    EXPECT_EQ(find<QLabel>(u"Label1"_s)->text(), u"5"_s);
    EXPECT_EQ(window->browser()->URL(), first + u"&page=3"_s);
    EXPECT_EQ(window->session().list().at(4).Link, site.url(u"/pdf/701.pdf"_s));
    EXPECT_EQ(window->session().list().at(4).Type, u"LINK"_s);
    QStringList asked;
    for (const RecordedRequest &r : site.server().requests()) {
        if (r.path == "/articles")
            asked << QString::fromUtf8(r.target);
    }
    EXPECT_EQ(asked.size(), 3);
    EXPECT_TRUE(asked.last().endsWith(u"&page=3"_s));
    EXPECT_EQ(note->text(), u"检索服务：CiNii Research"_s);

    // A search address that answers without the hit count: the service refuses.
    site.routeKeyword(u"busy"_s, u"cir/interstitial.html"_s, researchProfile());
    window->browser()->Navigate(ServiceSearchPage(researchProfile(), u"busy"_s));
    ASSERT_TRUE(settlesAt(ServiceSearchPage(researchProfile(), u"busy"_s)));
    click(u"Command9"_s);
    EXPECT_EQ(note->text(),
              u"检索服务拒绝了访问（页面不是检索结果），已停止。请稍后再试，或加大限速延时"_s);
    EXPECT_TRUE(window->session().flags().Blocked());

    // A page the entry rule finds nothing on.
    window->browser()->Navigate(site.url(u"/login.html"_s));
    ASSERT_TRUE(settlesAt(site.url(u"/login.html"_s)));
    click(u"Command9"_s);
    EXPECT_EQ(note->text(), u"本页未找到条目：页面结构与「CiNii Research」配置不符"_s);
    EXPECT_EQ(find<QLabel>(u"Label1"_s)->text(), u"5"_s);
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(SearchWindow, AProfileFileInTheSettingsFolderChangesTheRulesWithoutARebuild)
{
    service = researchProfile().id;
    ASSERT_TRUE(QDir().mkpath(settingsFolder()));
    QFile file(QDir(settingsFolder()).filePath(ServiceProfileFileName()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        R"({"profiles": [{"id": "cinii-research", "entry": {"classWords": ["resultitem"]}}]})");
    file.close();
    // The site has renamed the class of its entries.
    const QString address = ServiceSearchPage(researchProfile(), u"renamed"_s);
    site.server().route(
        address.mid(site.baseUrl().size()),
        Script::response(200,
                         readFixture(u"site/cir/list1.html"_s)
                             .replace(u"\"listitem xfolkentry\""_s, u"\"resultitem\""_s)
                             .toUtf8(),
                         "text/html; charset=utf-8"));
    open();
    window->browser()->Navigate(address);
    ASSERT_TRUE(settlesAt(address));
    click(u"Command9"_s);
    ASSERT_EQ(window->session().list().count(), 2);
    EXPECT_EQ(window->session().list().at(0).Title, u"Page one, first article"_s);
    EXPECT_TRUE(prompts.shown.isEmpty()) << prompts.messages().join(u" | "_s).toStdString();
}

TEST_F(SearchWindow, ABrokenProfileFileIsSaidOnceAtLoadAndTheBuiltInsServe)
{
    service = researchProfile().id;
    ASSERT_TRUE(QDir().mkpath(settingsFolder()));
    const QString path = QDir(settingsFolder()).filePath(ServiceProfileFileName());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\"profiles\": [\n  {\"id\": \"cinii-research\",\n   \"entry\": {\"classWords\": "
               "\"resultitem\"}}]}");
    file.close();
    open();
    ASSERT_EQ(prompts.shown.size(), 1);
    const QString message = prompts.shown.first().text;
    EXPECT_EQ(prompts.shown.first().icon, Prompts::Icon::Warning);
    EXPECT_TRUE(message.contains(QDir::toNativeSeparators(path))) << message.toStdString();
    EXPECT_TRUE(message.contains(u"第 3 行"_s)) << message.toStdString();
    EXPECT_EQ(find<QLabel>(u"StatusBar1Panel3"_s)->toolTip(), message);

    // The built-in rules read today's list.
    const QString address = ServiceSearchPage(researchProfile(), u"wetland"_s);
    window->browser()->Navigate(address);
    ASSERT_TRUE(settlesAt(address));
    click(u"Command9"_s);
    EXPECT_EQ(window->session().list().count(), 2);
    EXPECT_EQ(prompts.shown.size(), 1); // said once, at load, and never on the way
}

TEST_F(SearchWindow, TheApiBoxRunsTheBatchThroughTheApiWhenTheServiceHasOne)
{
    open();
    auto *viaApi = find<QCheckBox>(u"CheckApi"_s);
    ASSERT_TRUE(viaApi);
    EXPECT_EQ(viaApi->text(), u"通过API"_s);
    EXPECT_FALSE(viaApi->isEnabled()); // the old pages' service has no API
    ASSERT_TRUE(settlesAt(ServiceHomePage(legacyProfile())));

    window->session().setProfile(researchProfile());
    window->session().limits.msPerDelaySecond = 10; // the throttle of 5 s, shortened
    EXPECT_TRUE(viaApi->isEnabled());
    SaveSetting(setting::ApiAppId, u"window-appid"_s);
    find<QPlainTextEdit>(u"Text1"_s)->setPlainText(u"wetland"_s);
    viaApi->click();
    click(u"Command1"_s); // returns when the batch has ended

    EXPECT_EQ(find<QPlainTextEdit>(u"Text2"_s)->toPlainText(), u"wetland(API) 命中3条，加入2条"_s);
    EXPECT_EQ(find<QLabel>(u"Label1"_s)->text(), u"2"_s);
    EXPECT_EQ(window->session().list().at(1).Link, site.url(u"/pdf/801.pdf"_s));
    EXPECT_TRUE(viaApi->isEnabled());
    EXPECT_EQ(find<QPushButton>(u"Command1"_s)->text(), u"开始批量搜索提取"_s);
    // The browser stayed where it was.
    EXPECT_EQ(window->browser()->URL(), ServiceHomePage(legacyProfile()));
    EXPECT_EQ(site.server().requestCount(u"/articles"_s), 0);
    EXPECT_TRUE(prompts.shown.isEmpty()) << prompts.messages().join(u" | "_s).toStdString();
}
