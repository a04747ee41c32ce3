// labels: gui
// The download window driven by its controls' names, as the program makes and reaches it.
#include "app/ui/fcover.h"
#include "app/ui/programwindows.h"
#include "download/downloadqueue.h"
#include "download/downloadsession.h"
#include "download/methodone.h"
#include "download/methodtwo.h"
#include "download/queuecommands.h"
#include "download/queuemodel.h"
#include "download/scheduler.h"
#include "download/ui/ffiledownload.h"
#include "foundation/makerpages.h"
#include "foundation/settings.h"
#include "support/findchild.h"
#include "support/openerlog.h"
#include "support/qtprinters.h"
#include "support/scriptedhttpserver.h"
#include "support/searchrig.h"
#include "support/tempsettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

QAction *action(const QWidget *window, const QString &name)
{
    return child<QAction>(window, name);
}

QByteArray pdf(int size)
{
    QByteArray body("%PDF-1.4\n");
    while (body.size() < size)
        body += "0 0 612 792 re f\n";
    body.truncate(size);
    // A whole PDF ends with its end marker.
    return body.left(size - 7) + "\n%%EOF\n";
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One window made on its own, with scripted answers and a save folder.
struct WindowRig
{
    TempSettings settings;
    QTemporaryDir dir;
    RecordingPrompts prompts;
    FFileDownloadHooks hooks;
    QPointer<FFileDownload> window;

    void make()
    {
        window = new FFileDownload(hooks, &prompts);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    ~WindowRig() { delete window.data(); }

    QString folder() const { return dir.path() + u'/'; }
    int add(const QString &name, QueueRow::StateValue state, const QString &type = u"pdf"_s)
    {
        QueueRow r;
        r.Urls = u"http://h/"_s + name;
        r.Name = name;
        r.Type = type;
        r.SaveFolder = folder();
        r.State = state;
        return window->queue().append(r);
    }
    // A waiting row fetched from the address.
    int addUrl(const QString &url, const QString &name)
    {
        const int position = add(name, QueueRow::Waiting);
        window->queue().setUrls(position, url);
        return position;
    }
    QTableView *list() const { return child<QTableView>(window, u"ListView3"_s); }
    QPoint rowCenter(int position) const
    {
        return list()->visualRect(list()->model()->index(position - 1, 0)).center();
    }
    void clickRow(int position, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, modifiers, rowCenter(position));
    }
};

} // namespace

// Rows handed over by the search side load the window hidden; shown, "开始下载" fetches them
// from a local server; the close question guards the waiting rows.
TEST(DownloadWindow, HandOffDownloadAndTheCloseQuestion)
{
    TempSettings settings;
    QTemporaryDir dir;
    const QString folder = dir.path() + u"/papers/"_s; // made by the download
    RecordingPrompts prompts;
    ScriptedHttpServer server;
    const QByteArray article = pdf(30000);
    const QByteArray png =
        QByteArray::fromHex("89504e470d0a1a0a0000000d49484452") + QByteArray(700, 'p');
    const QByteArray login =
        "<html><head><title>Login</title></head><body>please log in</body></html>";
    server.serveBody(u"/a"_s, article, "application/octet-stream");
    server.serveBody(u"/b"_s, png, "application/pdf");
    server.serveBody(u"/c"_s, login, "text/html; charset=UTF-8");

    ProgramWindows windows(&prompts);
    SavePathValues values;
    ScriptedPicker picker;
    SearchSession search(nullptr, values, prompts, picker, windows);
    const QString page = server.url(u"/search?q=x"_s);
    EXPECT_FALSE(windows.isLoaded());
    ASSERT_TRUE(search.加入下载列表(server.url(u"/a"_s), u"论文 甲\r\n"_s, u"PDF"_s, folder, page));
    ASSERT_TRUE(search.加入下载列表(server.url(u"/b"_s), u"图"_s, u"PDF"_s, folder, page));
    ASSERT_TRUE(search.加入下载列表(server.url(u"/c"_s), u"网页"_s, u"PDF"_s, folder, page));
    EXPECT_FALSE(search.加入下载列表(server.url(u"/a"_s), u"again"_s, u"PDF"_s, folder, page));

    QPointer<FFileDownload> window = windows.downloadWindow();
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->isVisible()) << "the hand-off loads the window hidden";
    search.显示下载窗口(false);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), u"文件下载-澄川文献管家"_s);
    auto *list = child<QTableView>(window, u"ListView3"_s);
    ASSERT_EQ(list->model()->rowCount(), 3);
    // Rows handed over in a burst are drawn, and counted, together a moment later.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return child<QLabel>(window, u"Label1"_s)->text() == u"3条"_s && list->updatesEnabled();
        },
        2000))
        << child<QLabel>(window, u"Label1"_s)->text().toStdString();

    QTest::mouseClick(child<QPushButton>(window, u"Command4"_s), Qt::LeftButton);
    QAbstractItemModel *model = list->model();
    const auto shown = [&](int row, QueueColumn column) {
        return model->index(row, int(column)).data().toString();
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (int r = 0; r < 3; ++r)
                if (shown(r, QueueColumn::Percent) != u"100%"_s
                    || window->queue().row(r + 1).State != QueueRow::Finished)
                    return false;
            return true;
        },
        20000))
        << window->queue().ShowQueueCounts().toStdString();
    EXPECT_EQ(shown(0, QueueColumn::Size), QString::number(article.size()));
    EXPECT_EQ(shown(1, QueueColumn::Type), u"png"_s);
    EXPECT_EQ(shown(2, QueueColumn::Type), u"htm"_s);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name),
              (QStringList{u"图.png"_s, u"网页.htm"_s, u"论文 甲.PDF"_s}));
    EXPECT_EQ(fileBytes(folder + u"论文 甲.PDF"_s), article);
    EXPECT_EQ(fileBytes(folder + u"图.png"_s), png);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->scheduler().isOn(); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window->statusPanelText(4) == u"总数:3 正在下载:0 等待:0 已完成:3 失败:0"_s; },
        3000))
        << window->statusPanelText(4).toStdString();
    EXPECT_TRUE(window->statusPanelText(2).startsWith(u"完成下载:"_s));

    // A waiting row: the close asks, and No keeps window and rows.
    child<QRadioButton>(window, u"Option2"_s)->setChecked(true);
    child<QComboBox>(window, u"Combo1"_s)->setCurrentIndex(4);
    server.serveBody(u"/d"_s, pdf(100), "application/pdf");
    ASSERT_TRUE(search.加入下载列表(server.url(u"/d"_s), u"later"_s, u"PDF"_s, folder, page));
    prompts.yesNoAnswers = {false};
    window->close();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].text, u"正在下载文件或者下载没有完成，要强制关闭窗口吗？"_s);
    EXPECT_EQ(prompts.shown[0].icon, Prompts::Icon::Question);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(windows.downloadWindow(), window.data());
    EXPECT_EQ(list->model()->rowCount(), 4);
    EXPECT_EQ(GetSetting(setting::DuplicateNamePolicy), u"覆盖"_s) << "saved before the question";
    EXPECT_EQ(GetSetting(setting::DownloadMethod), u"2"_s);
    EXPECT_EQ(GetSetting(setting::ThreadIndex), u"2"_s) << "saved only once the close is confirmed";

    // Yes: the window goes, its queue with it, and the cover comes back.
    prompts.yesNoAnswers = {true};
    window->close();
    EXPECT_FALSE(windows.isLoaded());
    EXPECT_EQ(windows.queue(), nullptr);
    EXPECT_TRUE(windows.cover()->isVisible());
    EXPECT_EQ(GetSetting(setting::ThreadIndex), u"4"_s);
    EXPECT_EQ(GetSetting(setting::PlacementResolution), u"0*0"_s) << "it came up maximised";
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 2000));
    EXPECT_EQ(server.requestCount(u"/d"_s), 0);

    // The next hand-off loads a new, empty window with the saved choices.
    ASSERT_TRUE(search.加入下载列表(server.url(u"/d"_s), u"later"_s, u"PDF"_s, folder, page));
    FFileDownload *again = windows.downloadWindow();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->queue().count(), 1);
    EXPECT_TRUE(child<QRadioButton>(again, u"Option2"_s)->isChecked());
    EXPECT_EQ(child<QComboBox>(again, u"Combo1"_s)->currentText(), u"5"_s);
}

TEST(DownloadWindow, LoadReadsTheStoredChoices)
{
    struct Case
    {
        QString method, thread, rule; // empty: not stored
        QString label, threads;
        bool threadsEnabled;
        const char16_t *checked;
    };
    const Case cases[] = {
        {{}, {}, {}, u"下载方式：2"_s, u"3"_s, true, u"Option3"},
        {u"1"_s, u"4"_s, u"跳过"_s, u"下载方式：1"_s, u"1"_s, false, u"Option1"},
        {u"2"_s, u"5"_s, u" 覆盖 "_s, u"下载方式：2"_s, u"6"_s, true, u"Option2"},
        {u"2"_s, u"9"_s, u"skip"_s, u"下载方式：2"_s, u"1"_s, true, u"Option3"},
        {u"7"_s, u"0"_s, u"重命名"_s, u"下载方式：2"_s, u"1"_s, true, u"Option3"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.method.toStdString() + "/" + c.thread.toStdString() + "/"
                     + c.rule.toStdString());
        WindowRig rig;
        if (!c.method.isEmpty())
            SaveSetting(setting::DownloadMethod, c.method);
        if (!c.thread.isEmpty())
            SaveSetting(setting::ThreadIndex, c.thread);
        if (!c.rule.isEmpty())
            SaveSetting(setting::DuplicateNamePolicy, c.rule);
        SaveSetting(setting::ProxyEnabled, u"1"_s);
        SaveSetting(setting::ProxyAddress, u"proxy.example"_s);
        SaveSetting(setting::ProxyPort, u"3128"_s);
        SaveSetting(setting::MaxFileSizeMB, u"2.5"_s);
        rig.make();
        FFileDownload *w = rig.window;
        EXPECT_EQ(child<QLabel>(w, u"Label7"_s)->text(), c.label);
        EXPECT_EQ(child<QComboBox>(w, u"Combo1"_s)->currentText(), c.threads);
        EXPECT_EQ(child<QComboBox>(w, u"Combo1"_s)->isEnabled(), c.threadsEnabled);
        EXPECT_TRUE(child<QRadioButton>(w, QString::fromUtf16(c.checked))->isChecked());
        EXPECT_EQ(child<QComboBox>(w, u"Combo2"_s)->currentText(), u"0"_s);
        EXPECT_EQ(child<QComboBox>(w, u"Combo2"_s)->count(), 601);
        EXPECT_EQ(child<QComboBox>(w, u"Combo4"_s)->currentText(), u"出错项"_s);
        EXPECT_EQ(child<QLabel>(w, u"Label5"_s)->text(), u"两个文件下载间隔：        秒"_s);
        EXPECT_TRUE(w->isMaximized()) << "first run";
        EXPECT_FALSE(child<QFrame>(w, u"Shape1"_s)->isVisible());
        EXPECT_TRUE(w->scheduler().Timer1().isActive());
        EXPECT_FALSE(w->scheduler().Timer_Down().isActive());
        EXPECT_EQ(w->session().method, c.label.endsWith(u'1') ? 1 : 2);
        EXPECT_EQ(w->session().options.threadCount, c.threads.toInt());
        EXPECT_TRUE(w->methodOne().proxy.enabled);
        EXPECT_EQ(w->methodOne().proxy.host, u"proxy.example"_s);
        EXPECT_EQ(w->methodOne().proxy.port, u"3128"_s);
        EXPECT_EQ(w->session().options.maxFileSizeMB, 2.5);
        for (const char16_t *name : {u"Check3", u"Check4", u"Check5", u"Check6"})
            EXPECT_FALSE(child<QCheckBox>(w, QString::fromUtf16(name))->isChecked());
    }
}

TEST(DownloadWindow, MethodSwitchAndTheOptionsDialogCalls)
{
    WindowRig rig;
    rig.make();
    FFileDownload *w = rig.window;
    auto *label7 = child<QLabel>(w, u"Label7"_s);
    auto *combo1 = child<QComboBox>(w, u"Combo1"_s);
    auto *command26 = child<QPushButton>(w, u"Command26"_s);
    EXPECT_EQ(command26->text(), u"切换"_s);
    EXPECT_EQ(command26->toolTip(), u"更改下载方式"_s);

    QTest::mouseClick(command26, Qt::LeftButton);
    EXPECT_EQ(label7->text(), u"下载方式：1"_s);
    EXPECT_EQ(w->session().method, 1);
    EXPECT_FALSE(combo1->isEnabled());
    QTest::mouseClick(command26, Qt::LeftButton);
    EXPECT_EQ(label7->text(), u"下载方式：2"_s);
    EXPECT_TRUE(combo1->isEnabled());
    EXPECT_EQ(combo1->currentText(), u"1"_s);
    EXPECT_EQ(w->session().options.threadCount, 1);

    combo1->setCurrentIndex(3);
    w->setDownloadMethod(1); // the options dialog: the thread box keeps its text
    EXPECT_EQ(label7->text(), u"下载方式：1"_s);
    EXPECT_FALSE(combo1->isEnabled());
    EXPECT_EQ(combo1->currentText(), u"4"_s);
    w->setDownloadMethod(2);
    EXPECT_EQ(label7->text(), u"下载方式：2"_s);
    EXPECT_TRUE(combo1->isEnabled());
    EXPECT_EQ(combo1->currentText(), u"1"_s);
    EXPECT_EQ(w->session().method, 2);

    w->setProxy({true, u"p.example"_s, u"80a"_s});
    EXPECT_EQ(w->methodOne().proxy.port, u"80a"_s);
    w->setMaxFileSizeMB(0.5);
    EXPECT_EQ(w->session().options.maxFileSizeMB, 0.5);

    // The method in force is what the close saves.
    w->setDownloadMethod(1);
    w->close();
    EXPECT_EQ(GetSetting(setting::DownloadMethod), u"1"_s);
}

TEST(DownloadWindow, ControlsReachTheScheduler)
{
    WindowRig rig;
    rig.make();
    FFileDownload *w = rig.window;
    const DownloadOptions &o = w->session().options;
    child<QComboBox>(w, u"Combo2"_s)->setCurrentText(u"45"_s);
    child<QComboBox>(w, u"Combo1"_s)->setCurrentIndex(5);
    child<QRadioButton>(w, u"Option1"_s)->setChecked(true);
    child<QComboBox>(w, u"Combo4"_s)->setCurrentIndex(2);
    for (const char16_t *name : {u"Check3", u"Check4", u"Check5", u"Check6"})
        child<QCheckBox>(w, QString::fromUtf16(name))->setChecked(true);
    action(w, u"menu自动定位到下载项"_s)->trigger();
    EXPECT_EQ(o.intervalSeconds, 45);
    EXPECT_EQ(o.threadCount, 6);
    EXPECT_EQ(o.sameName, SameNameRule::Skip);
    EXPECT_EQ(o.redownloadRule, 2);
    EXPECT_TRUE(o.autoRedownload && o.autoStart && o.stopAfterFive && o.sound && o.autoLocate);
    EXPECT_TRUE(action(w, u"menu自动定位到下载项"_s)->isChecked());

    // A started row is scrolled into view.
    for (int i = 1; i <= 300; ++i)
        rig.add(QString::number(i), QueueRow::Finished);
    QApplication::processEvents(); // the list takes in its new rows
    emit w->session().rowStarted(280);
    EXPECT_TRUE(rig.list()->viewport()->rect().contains(rig.rowCenter(280)));

    // Start: the marker shows and "开始下载" goes grey at the next housekeeping tick; stop
    // clears the two automatic boxes.
    rig.add(u"w"_s, QueueRow::Waiting);
    child<QCheckBox>(w, u"Check3"_s)->setChecked(false);
    action(w, u"menu下载全部"_s)->trigger();
    w->scheduler().tickHousekeeping();
    EXPECT_TRUE(child<QFrame>(w, u"Shape1"_s)->isVisible());
    EXPECT_FALSE(action(w, u"menu下载全部"_s)->isEnabled());
    QTest::mouseClick(child<QPushButton>(w, u"Command31"_s), Qt::LeftButton);
    EXPECT_FALSE(w->scheduler().isOn());
    EXPECT_FALSE(child<QCheckBox>(w, u"Check4"_s)->isChecked());
    EXPECT_FALSE(o.autoStart);
    w->scheduler().tickHousekeeping();
    EXPECT_FALSE(child<QFrame>(w, u"Shape1"_s)->isVisible());
    EXPECT_TRUE(action(w, u"menu下载全部"_s)->isEnabled());
}

TEST(DownloadWindow, MenuTreeAndTheCallsFromAbove)
{
    WindowRig rig;
    int cacheCleared = 0;
    QStringList order;
    rig.hooks.clearBrowserCache = [&] {
        ++cacheCleared;
        order << u"cleared"_s;
    };
    rig.hooks.showOptions = [&] { order << u"options"_s; };
    rig.make();
    FFileDownload *w = rig.window;

    // Menu, item name, caption.
    const QList<std::tuple<const char16_t *, const char16_t *, const char16_t *>> tree = {
        {u"menu下载", u"menu全选专利列表", u"全选"},
        {u"menu下载", u"menu全不选", u"全不选"},
        {u"menu下载", u"menu随机排序列表", u"随机排序列表(打乱)"},
        {u"menu下载", u"menu自动列宽", u"自动调整列宽"},
        {u"menu下载", u"menu重新下载", u"重新下载"},
        {u"menu重新下载", u"menu重新下载选中项", u"选中项"},
        {u"menu重新下载", u"menu重新下载出错项", u"出错项"},
        {u"menu重新下载", u"menu重新下载文件类型为HTM和HTML项", u"网页类型文件(HTM/HTML/xml)项"},
        {u"menu重新下载", u"menu重新下载出错项和网页项", u"重新下载出错项和网页类型文件项"},
        {u"menu重新下载", u"menu重新下载文件大小小于指定数字的项", u"文件大小小于指定数字的项"},
        {u"menu下载", u"menu清除", u"清除"},
        {u"menu清除", u"menu清除选中项", u"选中项"},
        {u"menu清除", u"menu清除全部出错项", u"全部出错项"},
        {u"menu清除", u"menu清除完成项", u"完成项"},
        {u"menu下载", u"menu清空", u"清空"},
        {u"menu下载", u"menu删除", u"删除文件"},
        {u"menu删除", u"menu删除网页类型文件项", u"网页类型文件(HTM/HTML/xml)项"},
        {u"menu删除", u"menu删除出错项", u"出错项"},
        {u"menu下载", u"menu下载全部", u"开始下载"},
        {u"menu下载", u"menu停止下载", u"停止下载"},
        {u"menu下载", u"menu取消下载选中项", u"取消下载选中项"},
        {u"menu下载", u"menu打开下载文件", u"打开下载文件"},
        {u"menu下载", u"menu打开文件所在文件夹", u"打开所在文件夹"},
        {u"menu下载", u"menu用记事本打开文件", u"用记事本打开文件"},
        {u"menu下载", u"menu复制名称", u"复制名称"},
        {u"menu下载", u"menu批量替换网址", u"批量替换网址"},
        {u"menu下载", u"menu导出名称", u"导出名称"},
        {u"menu导出名称", u"menu导出全部名称", u"全部"},
        {u"menu导出名称", u"menu导出未完成项名称", u"未完成项"},
        {u"menu下载", u"menu退出本下载窗口", u"关闭本下载窗口"},
        {u"menu窗口", u"menu资料检索分析窗口", u"资料检索分析窗口"},
        {u"menu工具", u"设置", u"设置"},
        {u"menu工具", u"menu自动定位到下载项", u"自动定位到下载项"},
        {u"menu工具", u"menu检查文件是否存在", u"检查文件是否存在"},
        {u"menu工具", u"menu检查并纠正磁盘文件类型", u"检查并纠正磁盘文件类型"},
        {u"menu工具", u"menu清空IE浏览器缓存", u"清空IE浏览器缓存"},
        {u"menu工具", u"menu打开文件判断类型", u"打开文件判断类型"},
        {u"menu帮助", u"关于", u"关于"},
        {u"menu帮助", u"menu最新版本", u"最新版本"},
        {u"menu帮助", u"menu给软件作者建议", u"给软件作者建议"},
    };
    for (const auto &[menu, item, caption] : tree) {
        auto *parent = child<QMenu>(w, QString::fromUtf16(menu));
        ASSERT_TRUE(parent);
        QAction *found = nullptr;
        for (QAction *a : parent->actions())
            if (a->objectName() == QString::fromUtf16(item))
                found = a;
        ASSERT_TRUE(found) << QString::fromUtf16(item).toStdString();
        EXPECT_EQ(found->text(), QString::fromUtf16(caption));
    }
    QStringList bar;
    for (QAction *a : w->menuBar()->actions())
        bar << a->text();
    EXPECT_EQ(bar, (QStringList{u"列表操作(&D)"_s, u"窗口(&W)"_s, u"工具(&T)"_s, u"帮助(&H)"_s}));

    // An empty call leaves its item grey.
    EXPECT_FALSE(action(w, u"menu资料检索分析窗口"_s)->isEnabled());
    EXPECT_FALSE(action(w, u"关于"_s)->isEnabled());
    EXPECT_TRUE(action(w, u"设置"_s)->isEnabled());
    action(w, u"设置"_s)->trigger();
    action(w, u"menu清空IE浏览器缓存"_s)->trigger();
    EXPECT_EQ(cacheCleared, 1);
    EXPECT_EQ(order, (QStringList{u"options"_s, u"cleared"_s}));
    EXPECT_EQ(rig.prompts.last(), u"IE缓存清空完毕！"_s);
    EXPECT_EQ(rig.prompts.shown.last().icon, Prompts::Icon::Information);

    // The program's owner fills the calls it has.
    RecordingPrompts prompts;
    ProgramWindows windows(&prompts);
    windows.showDownloadWindow();
    ASSERT_TRUE(windows.downloadWindow());
    EXPECT_TRUE(windows.downloadWindow()->isVisible());
    EXPECT_TRUE(action(windows.downloadWindow(), u"menu清空IE浏览器缓存"_s)->isEnabled());
}

TEST(DownloadWindow, RightClickSetsFourItemsAndShowsTheListMenu)
{
    WindowRig rig;
    rig.make();
    FFileDownload *w = rig.window;
    rig.add(u"a"_s, QueueRow::Waiting);
    auto *list = rig.list();
    auto *listMenu = child<QMenu>(w, u"menu下载"_s);
    const auto rightClick = [&] {
        const QPoint at = rig.rowCenter(1);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &event);
        EXPECT_TRUE(listMenu->isVisible());
        listMenu->hide();
        return QList<bool>{child<QMenu>(w, u"menu清除"_s)->menuAction()->isEnabled(),
                           action(w, u"menu清空"_s)->isEnabled(),
                           action(w, u"menu停止下载"_s)->isEnabled(),
                           action(w, u"menu全选专利列表"_s)->isEnabled()};
    };
    w->scheduler().startDownloads();
    EXPECT_EQ(rightClick(), (QList<bool>{false, false, true, false}));
    w->scheduler().Timer_Down().stop();
    EXPECT_EQ(rightClick(), (QList<bool>{true, true, false, true}));
    // A transfer still runs with the scheduler off.
    ScriptedHttpServer server;
    server.route(u"/stall"_s, Script().stall());
    w->methodTwo().多线程下载(1, 1, server.url(u"/stall"_s), rig.folder() + u"a.pdf"_s);
    EXPECT_EQ(rightClick(), (QList<bool>{false, false, true, false}));
    w->methodTwo().unload(1);
    EXPECT_EQ(rightClick(), (QList<bool>{true, true, false, true}));
}

TEST(DownloadWindow, ListClicksDoubleClicksColumnClicksAndStatusPanels)
{
    WindowRig rig;
    OpenerLog log;
    rig.make();
    FFileDownload *w = rig.window;
    const int done = rig.add(u"done"_s, QueueRow::Finished);
    const int failed = rig.add(u"failed"_s, QueueRow::Failed);
    w->queue().setUrls(failed, u"http://h/f1|http://h/f2"_s);
    w->queue().setProgress(failed, u"10"_s, u"5"_s, u"50%"_s);
    QFile file(rig.folder() + u"done.pdf"_s);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QClipboard *clipboard = QGuiApplication::clipboard();

    // A row without a file: its key goes to the clipboard; panel 2 shows no file.
    rig.clickRow(failed);
    EXPECT_EQ(clipboard->text(), u"http://h/f1|http://h/f2"_s);
    EXPECT_EQ(w->statusPanelText(2), QString());
    // A row whose file is there: panel 2 shows the file.
    rig.clickRow(done);
    EXPECT_EQ(clipboard->text(), u"http://h/done"_s);
    EXPECT_EQ(w->statusPanelText(2), rig.folder() + u"done.pdf"_s);
    action(w, u"menu复制名称"_s)->trigger();
    EXPECT_EQ(clipboard->text(), u"done"_s);

    // Panel 2 opens its text; panel 1 the program's page, when it has one.
    QTest::mouseClick(child<QLabel>(w, u"StatusBar1Panel2"_s), Qt::LeftButton);
    ASSERT_EQ(log.desktop.size(), 1);
    EXPECT_EQ(log.desktop[0].toLocalFile(), rig.folder() + u"done.pdf"_s);
    QTest::mouseClick(child<QLabel>(w, u"StatusBar1Panel1"_s), Qt::LeftButton);
    const qsizetype opened = log.desktop.size();
    if (ProjectPage().isEmpty()) {
        EXPECT_EQ(log.desktop.size(), 1);
    } else {
        ASSERT_EQ(log.desktop.size(), 2);
        EXPECT_EQ(log.desktop[1].toString(), ProjectPage());
    }
    EXPECT_EQ(w->statusPanelText(1), u"澄川软件与网络技术同步"_s);

    // Double-click: a failed row goes back to waiting with its key; a finished one opens.
    rig.clickRow(failed);
    QTest::mouseDClick(rig.list()->viewport(), Qt::LeftButton, {}, rig.rowCenter(failed));
    EXPECT_EQ(w->queue().row(failed).State, QueueRow::Waiting);
    EXPECT_EQ(w->queue().row(failed).Urls, u"http://h/f1|http://h/f2"_s);
    EXPECT_TRUE(w->queue().row(failed).Percent.isEmpty());
    rig.clickRow(done);
    QTest::mouseDClick(rig.list()->viewport(), Qt::LeftButton, {}, rig.rowCenter(done));
    EXPECT_EQ(log.desktop.size(), opened + 1);

    // Panel 2 empty: a click opens nothing.
    rig.clickRow(failed);
    QTest::mouseClick(child<QLabel>(w, u"StatusBar1Panel2"_s), Qt::LeftButton);
    EXPECT_EQ(log.desktop.size(), opened + 1);

    // A click on the header "名称" sorts; the first click descending.
    QHeaderView *header = rig.list()->horizontalHeader();
    const auto clickHeader = [&](int column) {
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(column) + 10, header->height() / 2));
    };
    clickHeader(0);
    EXPECT_EQ(w->queue().row(1).Name, u"failed"_s);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    clickHeader(0);
    EXPECT_EQ(w->queue().row(1).Name, u"done"_s);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    w->scheduler().startDownloads();
    clickHeader(0);
    EXPECT_EQ(rig.prompts.last(), u"停止下载后方可排序！"_s);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder) << "the arrow shows the real order";
    w->scheduler().Timer_Down().stop();

    // Select all / none and the selected-rows commands.
    action(w, u"menu全选专利列表"_s)->trigger();
    EXPECT_EQ(w->selectedPositions(), (QList<int>{1, 2}));
    action(w, u"menu取消下载选中项"_s)->trigger();
    EXPECT_EQ(w->queue().countInState(QueueRow::Failed), 1);
    action(w, u"menu全不选"_s)->trigger();
    EXPECT_TRUE(w->selectedPositions().isEmpty());
    rig.clickRow(2);
    rig.prompts.yesNoAnswers = {true};
    action(w, u"menu清除选中项"_s)->trigger();
    EXPECT_EQ(w->queue().count(), 1);
    EXPECT_EQ(child<QLabel>(w, u"Label1"_s)->text(), u"1条"_s);
}

// Panel 2 shows whatever a row, a click or a transfer put there; its click hands the desktop
// only a web link or a file that is there, never a text that the desktop would take for a
// program, a share or a script.
TEST(DownloadWindow, StatusPanelTwoOpensOnlyWebLinksAndExistingFiles)
{
    WindowRig rig;
    OpenerLog log;
    rig.make();
    FFileDownload *w = rig.window;
    QFile file(rig.folder() + u"论文.pdf"_s);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    struct Case
    {
        QString text;
        QUrl opened; // what the desktop gets; empty: nothing
    };
    const Case cases[] = {
        {u"http://h/a.pdf"_s, QUrl(u"http://h/a.pdf"_s)},
        {u"https://h/论文.pdf?x=1|http://m/b.pdf"_s, QUrl(u"https://h/论文.pdf?x=1"_s)},
        {rig.folder() + u"论文.pdf"_s, QUrl::fromLocalFile(rig.folder() + u"论文.pdf"_s)},
        {u"正在下载:论文"_s, {}},
        {u"完成下载:a.b"_s, {}},
        {u"file://"_s + rig.folder() + u"论文.pdf"_s, {}},
        {u"javascript:alert(1)"_s, {}},
        {u"smb://server/share/x.exe"_s, {}},
        {u"ftp://h/a.pdf"_s, {}},
        {u"www.example.org/a.pdf"_s, {}},
        {rig.folder() + u"missing.pdf"_s, {}},
        {rig.dir.path(), {}},
        {u"论文.pdf"_s, {}},
    };
    auto *panel = child<QLabel>(w, u"StatusBar1Panel2"_s);
    for (const Case &c : cases) {
        emit w->session().statusText(2, c.text);
        ASSERT_TRUE(QTest::qWaitFor([&] { return panel->text() == c.text; }, 5000));
        log.desktop.clear();
        log.fallback.clear();
        QTest::mouseClick(panel, Qt::LeftButton);
        EXPECT_EQ(log.desktop.size(), c.opened.isEmpty() ? 0 : 1) << qPrintable(c.text);
        if (!log.desktop.isEmpty()) {
            EXPECT_EQ(log.desktop[0], c.opened) << qPrintable(log.desktop[0].toString());
        }
        EXPECT_TRUE(log.fallback.isEmpty());
    }
}

TEST(DownloadWindow, LoginPanelCoversTheListThroughResizes)
{
    WindowRig rig;
    rig.make();
    FFileDownload *w = rig.window;
    w->showNormal();
    w->resize(900, 600);
    auto *panel = child<QWidget>(w, u"PicWebBK"_s);
    auto *list = rig.list();
    EXPECT_FALSE(panel->isVisible());
    QTest::mouseClick(child<QPushButton>(w, u"Command1"_s), Qt::LeftButton);
    EXPECT_TRUE(panel->isVisible());
    for (const QSize size : {QSize(900, 600), QSize(1200, 700), QSize(200, 150)}) {
        w->resize(size);
        QApplication::processEvents();
        QTest::qWait(0);
        EXPECT_EQ(panel->geometry(), list->geometry()) << size.width();
        EXPECT_GT(list->height(), 0) << size.width();
    }
    QTest::mouseClick(child<QPushButton>(panel, u"Command3"_s), Qt::LeftButton);
    EXPECT_FALSE(panel->isVisible());
}

TEST(DownloadWindow, UrlReplaceDialogFromTheMenu)
{
    WindowRig rig;
    rig.make();
    FFileDownload *w = rig.window;
    rig.add(u"a"_s, QueueRow::Waiting);
    w->queue().setUrls(1, u"http://OLD.example/a"_s);
    w->queue().setReferer(1, u"http://old.example/page"_s);
    QStringList dialogCaptions;
    int emptyTries = 0;
    // Fill and press "替换" once the modal dialog is up: first with nothing to find.
    std::function<void()> answer = [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(10, answer);
            return;
        }
        dialogCaptions << dialog->windowTitle();
        EXPECT_EQ(child<QLabel>(dialog, u"Label1"_s)->text(), u"所有网址中的字符串："_s);
        EXPECT_EQ(child<QLabel>(dialog, u"Label2"_s)->text(), u"将被全部替换为字符串："_s);
        EXPECT_EQ(child<QPushButton>(dialog, u"Command2"_s)->text(), u"取消"_s);
        auto *replace = child<QPushButton>(dialog, u"Command1"_s);
        EXPECT_EQ(replace->text(), u"替换"_s);
        replace->click();
        ++emptyTries;
        EXPECT_TRUE(dialog->isVisible()) << "nothing to find: the dialog stays";
        child<QLineEdit>(dialog, u"Text1"_s)->setText(u"old"_s);
        child<QLineEdit>(dialog, u"Text2"_s)->setText(u"new"_s);
        replace->click();
    };
    QTimer::singleShot(0, answer);
    action(w, u"menu批量替换网址"_s)->trigger();
    EXPECT_EQ(dialogCaptions, QStringList{u"网址批量替换-澄川文献管家"_s});
    EXPECT_EQ(emptyTries, 1);
    EXPECT_EQ(rig.prompts.messages(), (QStringList{u"请输入字符串！"_s, u"全部网址替换完成！"_s}));
    EXPECT_EQ(w->queue().row(1).Urls, u"http://new.example/a"_s);
    EXPECT_EQ(w->queue().row(1).Referer, u"http://new.example/page"_s);
}

TEST(DownloadWindow, SoundsForAFailedRowAndTheEndOfTheList)
{
    WindowRig rig;
    rig.make();
    FFileDownload *w = rig.window;
    child<QCheckBox>(w, u"Check6"_s)->setChecked(true);
    QueueRow row;
    row.Urls = ScriptedHttpServer::closedPortUrl(u"/x.pdf"_s);
    row.Name = u"x"_s;
    row.Type = u"pdf"_s;
    row.SaveFolder = rig.folder();
    w->queue().append(row);
    const QString clips = rig.settings.dataFolder();
    EXPECT_FALSE(QFile::exists(clips + u"103.wav"_s));
    QTest::mouseClick(child<QPushButton>(w, u"Command4"_s), Qt::LeftButton);
    // 103 when the row fails, 102 when the housekeeping tick finds the list finished.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(clips + u"102.wav"_s); }, 10000));
    EXPECT_TRUE(QFile::exists(clips + u"103.wav"_s));
    EXPECT_EQ(w->queue().row(1).State, QueueRow::Failed);
    EXPECT_FALSE(QFile::exists(clips + u"101.wav"_s));
}

// A failed row tells why: in the tooltip of its cells, and in the column "原因" that the list
// header's menu shows; the window remembers whether it is shown.
TEST(DownloadWindow, TheReasonOfAFailureShowsInTooltipAndColumn)
{
    WindowRig rig;
    ScriptedHttpServer server;
    server.route(u"/gone.pdf"_s, Script::response(404, "<h1>Not Found</h1>", "text/html"));
    rig.make();
    FFileDownload *w = rig.window;
    rig.addUrl(server.url(u"/gone.pdf"_s), u"gone"_s);
    QTest::mouseClick(child<QPushButton>(w, u"Command4"_s), Qt::LeftButton);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return w->queue().row(1).State == QueueRow::Failed; }, 10000));
    EXPECT_TRUE(QDir(rig.folder()).isEmpty());
    QTableView *list = rig.list();
    const int reason = int(QueueColumn::Reason);
    EXPECT_EQ(list->model()->index(0, 0).data(Qt::ToolTipRole).toString(),
              u"gone\n原因：HTTP 404 Not Found"_s);
    EXPECT_TRUE(list->isColumnHidden(reason));

    // The header's own menu shows the column, and the choice is kept at once.
    QHeaderView *header = list->horizontalHeader();
    const QPoint at = header->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, header->viewport()->mapToGlobal(at));
    QApplication::sendEvent(header->viewport(), &event);
    QAction *toggle = action(w, u"menu显示原因列"_s);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (QMenu *menu : w->findChildren<QMenu *>())
                if (menu->isVisible() && menu->actions().contains(toggle))
                    return true;
            return false;
        },
        2000));
    toggle->trigger();
    EXPECT_FALSE(list->isColumnHidden(reason));
    EXPECT_EQ(list->model()->index(0, reason).data().toString(), u"HTTP 404 Not Found"_s);
    EXPECT_EQ(GetSetting(setting::ReasonColumnShown), u"1"_s);

    w->closeWithoutQuestion();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.window.isNull(); }, 5000));
    rig.make();
    EXPECT_FALSE(rig.list()->isColumnHidden(reason));
    EXPECT_TRUE(action(rig.window, u"menu显示原因列"_s)->isChecked());
    action(rig.window, u"menu显示原因列"_s)->trigger();
    EXPECT_TRUE(rig.list()->isColumnHidden(reason));
    EXPECT_EQ(GetSetting(setting::ReasonColumnShown), u"0"_s);
}

TEST(DownloadWindow, ClosingAnIdleWindowAsksNothing)
{
    WindowRig rig;
    rig.make();
    rig.add(u"done"_s, QueueRow::Finished);
    rig.add(u"failed"_s, QueueRow::Failed);
    rig.window->close();
    EXPECT_TRUE(rig.prompts.shown.isEmpty());
    EXPECT_TRUE(rig.window->isUnloaded());
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.window.isNull(); }, 2000));
}

// Every command of the list and tools menus, reached through its menu item.
TEST(DownloadWindow, EveryMenuItemReachesItsCommand)
{
    struct Case
    {
        const char16_t *item;
        std::function<void(WindowRig &)> setup;
        std::function<void(WindowRig &)> check;
    };
    const auto file = [](WindowRig &rig, const QString &name, const QByteArray &bytes = "x") {
        QFile f(rig.folder() + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    const auto select = [](WindowRig &rig, int position) { rig.clickRow(position); };
    const auto state = [](WindowRig &rig, int position) {
        return rig.window->queue().row(position).State;
    };
    const QString longName(80, u'长');
    const QByteArray png = QByteArray::fromHex("89504e470d0a1a0a") + QByteArray(64, 'p');
    OpenerLog log;

    const Case cases[] = {
        {u"menu随机排序列表", [](WindowRig &r) { r.add(u"a"_s, QueueRow::Waiting); },
         [](WindowRig &r) { EXPECT_EQ(r.prompts.last(), u"随机排序完成！"_s); }},
        {u"menu自动列宽", [&](WindowRig &r) { r.add(longName, QueueRow::Waiting); },
         [&](WindowRig &r) {
             EXPECT_GE(r.list()->columnWidth(0),
                       r.list()->fontMetrics().horizontalAdvance(longName));
         }},
        {u"menu重新下载选中项",
         [&](WindowRig &r) {
             r.add(u"a"_s, QueueRow::Failed);
             select(r, 1);
         },
         [&](WindowRig &r) { EXPECT_EQ(state(r, 1), QueueRow::Waiting); }},
        {u"menu重新下载出错项", [](WindowRig &r) { r.add(u"a"_s, QueueRow::Failed); },
         [&](WindowRig &r) { EXPECT_EQ(state(r, 1), QueueRow::Waiting); }},
        {u"menu重新下载文件类型为HTM和HTML项",
         [](WindowRig &r) { r.add(u"a"_s, QueueRow::Finished, u"xml"_s); },
         [&](WindowRig &r) { EXPECT_EQ(r.window->queue().row(1).Type, u"xxx"_s); }},
        {u"menu重新下载出错项和网页项",
         [](WindowRig &r) { r.add(u"a"_s, QueueRow::Finished, u"html"_s); },
         [&](WindowRig &r) { EXPECT_EQ(state(r, 1), QueueRow::Waiting); }},
        {u"menu重新下载文件大小小于指定数字的项",
         [](WindowRig &r) {
             r.add(u"a"_s, QueueRow::Finished);
             r.window->queue().setProgress(1, u"10"_s, u"10"_s, u"100%"_s);
             r.prompts.inputAnswers = {u"5000"_s};
         },
         [&](WindowRig &r) {
             EXPECT_EQ(r.prompts.last(), u"请输入数字："_s);
             EXPECT_EQ(state(r, 1), QueueRow::Waiting);
         }},
        {u"menu清除全部出错项", [](WindowRig &r) { r.add(u"a"_s, QueueRow::Failed); },
         [](WindowRig &r) { EXPECT_EQ(r.window->queue().count(), 0); }},
        {u"menu清除完成项", [](WindowRig &r) { r.add(u"a"_s, QueueRow::Finished); },
         [](WindowRig &r) { EXPECT_EQ(r.window->queue().count(), 0); }},
        {u"menu清空",
         [](WindowRig &r) {
             r.add(u"a"_s, QueueRow::Waiting);
             r.prompts.yesNoAnswers = {true};
         },
         [](WindowRig &r) { EXPECT_EQ(child<QLabel>(r.window, u"Label1"_s)->text(), u"0条"_s); }},
        {u"menu删除网页类型文件项",
         [&](WindowRig &r) {
             r.add(u"a"_s, QueueRow::Finished, u"htm"_s);
             file(r, u"a.htm"_s);
             r.window->session().fileCommitted(1, r.folder() + u"a.htm"_s);
         },
         [](WindowRig &r) { EXPECT_FALSE(QFile::exists(r.folder() + u"a.htm"_s)); }},
        {u"menu删除出错项",
         [&](WindowRig &r) {
             r.add(u"a"_s, QueueRow::Failed);
             file(r, u"a.pdf"_s);
             r.window->session().fileCommitted(1, r.folder() + u"a.pdf"_s);
         },
         [](WindowRig &r) { EXPECT_FALSE(QFile::exists(r.folder() + u"a.pdf"_s)); }},
        {u"menu打开下载文件",
         [&](WindowRig &r) {
             r.add(u"a"_s, QueueRow::Finished);
             file(r, u"a.pdf"_s);
             select(r, 1);
         },
         [&](WindowRig &r) {
             EXPECT_EQ(log.desktop.last().toLocalFile(), r.folder() + u"a.pdf"_s);
         }},
        {u"menu打开文件所在文件夹",
         [&](WindowRig &r) {
             r.add(u"a"_s, QueueRow::Finished);
             file(r, u"a.pdf"_s);
             select(r, 1);
             r.window->commands().showInFolder = [&r](const QString &path) {
                 r.prompts.message(u"shown "_s + path, Prompts::Icon::None);
                 return true;
             };
         },
         [](WindowRig &r) { EXPECT_EQ(r.prompts.last(), u"shown "_s + r.folder() + u"a.pdf"_s); }},
        {u"menu用记事本打开文件",
         [&](WindowRig &r) {
             r.add(u"a"_s, QueueRow::Finished, u"htm"_s);
             file(r, u"a.htm"_s);
             select(r, 1);
         },
         [&](WindowRig &r) { EXPECT_EQ(log.textEditor.last(), r.folder() + u"a.htm"_s); }},
        {u"menu导出全部名称",
         [](WindowRig &r) {
             r.add(u"a"_s, QueueRow::Finished);
             r.add(u"b"_s, QueueRow::Failed);
             r.prompts.fileAnswers = {r.folder() + u"names.txt"_s};
         },
         [](WindowRig &r) {
             EXPECT_EQ(fileBytes(r.folder() + u"names.txt"_s), QByteArray("a\r\nb\r\n"));
         }},
        {u"menu导出未完成项名称",
         [](WindowRig &r) {
             r.add(u"a"_s, QueueRow::Finished);
             r.add(u"b"_s, QueueRow::Failed);
             r.prompts.fileAnswers = {r.folder() + u"names.txt"_s};
         },
         [](WindowRig &r) {
             EXPECT_EQ(fileBytes(r.folder() + u"names.txt"_s), QByteArray("b\r\n"));
         }},
        {u"menu检查文件是否存在", [](WindowRig &r) { r.add(u"a"_s, QueueRow::Finished); },
         [](WindowRig &r) { EXPECT_EQ(r.window->queue().row(1).Percent, u"不存在"_s); }},
        {u"menu检查并纠正磁盘文件类型",
         [&](WindowRig &r) {
             r.add(u"pic"_s, QueueRow::Finished);
             file(r, u"pic.pdf"_s, png);
         },
         [](WindowRig &r) {
             EXPECT_EQ(r.prompts.last(), u"纠正文件类型：1个."_s);
             EXPECT_TRUE(QFile::exists(r.folder() + u"pic.png"_s));
         }},
        {u"menu打开文件判断类型",
         [&](WindowRig &r) {
             file(r, u"picture.dat"_s, png);
             r.prompts.fileAnswers = {r.folder() + u"picture.dat"_s};
         },
         [](WindowRig &r) { EXPECT_EQ(r.prompts.last(), u"文件类型为：png"_s); }},
        {u"menu下载全部", [](WindowRig &) {},
         [](WindowRig &r) { EXPECT_TRUE(r.window->scheduler().isOn()); }},
        {u"menu停止下载", [](WindowRig &r) { r.window->scheduler().startDownloads(); },
         [](WindowRig &r) { EXPECT_FALSE(r.window->scheduler().isOn()); }},
        {u"menu退出本下载窗口", [](WindowRig &) {},
         [](WindowRig &r) { EXPECT_TRUE(r.window->isUnloaded()); }},
    };
    for (const Case &c : cases) {
        const QString name = QString::fromUtf16(c.item);
        SCOPED_TRACE(name.toStdString());
        WindowRig rig;
        rig.make();
        c.setup(rig);
        QAction *item = action(rig.window, name);
        ASSERT_TRUE(item);
        EXPECT_TRUE(item->isEnabled());
        item->trigger();
        c.check(rig);
    }
}

// Closing while a method-one transfer runs: the close stops it and the window goes at once.
TEST(DownloadWindow, ClosingDuringAMethodOneTransfer)
{
    WindowRig rig;
    ScriptedHttpServer server;
    server.route(u"/slow"_s,
                 Script()
                     .send(Script::head("HTTP/1.1 200 OK", {"Content-Length: 90000"}) + pdf(3000))
                     .stall());
    SaveSetting(setting::DownloadMethod, u"1"_s);
    rig.make();
    QPointer<FFileDownload> w = rig.window;
    QueueRow row;
    row.Urls = server.url(u"/slow"_s);
    row.Name = u"slow"_s;
    row.Type = u"pdf"_s;
    row.SaveFolder = rig.folder();
    w->queue().append(row);
    QTest::mouseClick(child<QPushButton>(w, u"Command4"_s), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->queue().row(1).Received == u"3000"_s; }, 10000));
    EXPECT_EQ(rig.prompts.shown.size(), 0);

    rig.prompts.yesNoAnswers = {true};
    w->close();
    EXPECT_EQ(rig.prompts.last(), u"正在下载文件或者下载没有完成，要强制关闭窗口吗？"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.isNull(); }, 3000));
    EXPECT_EQ(QDir(rig.folder()).entryList(QDir::Files | QDir::Hidden), QStringList())
        << "no partial file is left";
}
