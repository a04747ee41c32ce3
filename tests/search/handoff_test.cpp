// labels: unit
#include "support/searchrig.h"
#include "support/tempsettings.h"

#include "foundation/settings.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

void addRows(SearchList &list, int n, const QString &folder = {})
{
    for (int i = 1; i <= n; ++i)
        list.加入LV1(u"Title %1"_s.arg(i), u"http://h/%1.pdf"_s.arg(i), u"http://h/page"_s,
                     u"PDF"_s, folder);
}

QStringList states(const SearchList &list)
{
    QStringList out;
    for (const SearchRow &row : list.rows())
        out << row.State;
    return out;
}

} // namespace

TEST(Handoff, QueueRowFromSearchRow)
{
    TempSettings settings;
    struct Case
    {
        const char *what;
        bool nameFromLink;
        QString currentFolder, title, link, rowFolder;
        QString name, folder;
    } cases[] = {
        {"line breaks go, not replaced by spaces", false, u"/cur/"_s, u"  A\r\nB\n\0C  "_s,
         u"http://h/x.pdf"_s, u"/row/"_s, u"ABC"_s, u"/row/"_s},
        {"forbidden characters cleaned", false, u"/cur/"_s, u"a:b?c"_s, u"http://h/y.pdf"_s,
         u"/row/"_s, u"abc"_s, u"/row/"_s},
        {"empty row folder takes the current one", false, u"/cur/"_s, u"T"_s, u"http://h/z.pdf"_s,
         QString(), u"T"_s, u"/cur/"_s},
        {"name from the link, extension removed", true, u"/cur/"_s, u"T"_s,
         u"http://h/dir/paper.v2.pdf"_s, u"/row/"_s, u"paper.v2"_s, u"/row/"_s},
        {"no folder chosen in this run: the stored one", false, QString(), u"T"_s,
         u"http://h/w.pdf"_s, QString(), u"T"_s, u"/stored/"_s},
    };
    SaveSetting(setting::SaveFolder, u"/stored"_s);
    {
        SearchRig rig(nullptr);
        rig.session->loadPromptSetting();
        EXPECT_EQ(rig.values.PromptSavePathOnExtract, 1); // the default
        SaveSetting(setting::PromptSavePathOnExtract, u"0"_s);
        rig.session->loadPromptSetting();
        EXPECT_EQ(rig.values.PromptSavePathOnExtract, 0);
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SearchRig rig(nullptr);
        rig.values.NameFromLink = c.nameFromLink;
        rig.values.CurrentSaveFolder = c.currentFolder;
        EXPECT_FALSE(rig.owner.loaded);
        EXPECT_TRUE(
            rig.session->加入下载列表(c.link, c.title, u"PDF"_s, c.rowFolder, u"http://h/p"_s));
        ASSERT_TRUE(rig.owner.loaded); // the download window was loaded (hidden) for the row
        ASSERT_EQ(rig.owner.queueStore.count(), 1);
        const QueueRow &row = rig.owner.queueStore.row(1);
        EXPECT_EQ(row.Urls, c.link);
        EXPECT_EQ(row.Name, c.name);
        EXPECT_EQ(row.Type, u"PDF"_s);
        EXPECT_EQ(row.SaveFolder, c.folder);
        EXPECT_EQ(row.Referer, u"http://h/p"_s);
        EXPECT_EQ(row.State, QueueRow::Waiting);
        EXPECT_TRUE(row.Size.isEmpty() && row.Received.isEmpty() && row.Percent.isEmpty()
                    && row.BaseFlag.isEmpty());
        // The same link again adds nothing and changes nothing.
        EXPECT_FALSE(rig.session->加入下载列表(c.link, u"other"_s, u"X"_s, u"/o/"_s, u"p"_s));
        EXPECT_EQ(rig.owner.queueStore.count(), 1);
        EXPECT_EQ(rig.owner.queueStore.row(1).Name, c.name);
    }
}

TEST(Analysis, Command2RuleAndAnalyseAllTwice)
{
    SearchRig rig(nullptr);
    QSignalSpy menu(rig.analysis, &AnalysisCommands::menuRequested);
    QSignalSpy enabled(rig.analysis, &AnalysisCommands::command2EnabledChanged);

    rig.analysis->Command2Click({});
    EXPECT_EQ(rig.prompts.last(), u"列表没有数据哦！"_s);
    EXPECT_EQ(rig.prompts.shown.last().icon, Prompts::Icon::Information);

    addRows(rig.list(), 3, u"/f/"_s);
    rig.analysis->Command2Click({1});
    EXPECT_EQ(menu.size(), 1);
    EXPECT_EQ(rig.owner.queueStore.count(), 0);

    // No selection: everything at once, without the menu.
    rig.analysis->Command2Click({});
    EXPECT_EQ(menu.size(), 1);
    EXPECT_EQ(rig.owner.queueStore.count(), 3);
    EXPECT_EQ(states(rig.list()), QStringList(3, u"成功"_s));
    EXPECT_EQ(rig.owner.redraws, 1);
    EXPECT_FALSE(rig.owner.lastRestore);
    ASSERT_GE(enabled.size(), 2);
    EXPECT_FALSE(enabled.first().first().toBool());
    EXPECT_TRUE(enabled.last().first().toBool());

    rig.analysis->run(AnalysisCommands::Command::All);
    EXPECT_EQ(rig.owner.queueStore.count(), 3); // one queue row per link
    EXPECT_EQ(states(rig.list()), QStringList(3, u"成功"_s));
    EXPECT_TRUE(rig.flags().AnalysisStopped());
    EXPECT_EQ(rig.picker.shown, 0); // prompt setting 1: never shown by analysis
}

TEST(Analysis, UnanalysedSelectedAndStop)
{
    SearchRig rig(nullptr);
    addRows(rig.list(), 5, u"/f/"_s);
    rig.list().setState(0, analysisSucceeded());
    rig.list().setState(3, analysisSucceeded());

    rig.analysis->run(AnalysisCommands::Command::Unanalysed);
    EXPECT_EQ(rig.owner.queueStore.count(), 3);
    EXPECT_EQ(rig.owner.queueStore.row(1).Urls, u"http://h/2.pdf"_s);

    // Nothing left to do: nothing handed over, and it ends at once.
    rig.analysis->run(AnalysisCommands::Command::Unanalysed);
    EXPECT_EQ(rig.owner.queueStore.count(), 3);

    SearchRig other(nullptr);
    addRows(other.list(), 5, u"/f/"_s);
    other.analysis->run(AnalysisCommands::Command::Selected, {4, 1});
    EXPECT_EQ(states(other.list()), QStringList({{}, u"成功"_s, {}, {}, u"成功"_s}));

    // "停止" pressed while the second row is handed over: that row completes, no more.
    SearchRig stopped(nullptr);
    addRows(stopped.list(), 5, u"/f/"_s);
    QSignalSpy panel(stopped.analysis, &AnalysisCommands::progressPanelChanged);
    bool clearRefused = false;
    QObject::connect(&stopped.owner.queueStore, &DownloadQueue::rowsAppended, [&] {
        // While it runs, the clear commands refuse.
        clearRefused = !stopped.flags().AnalysisStopped();
        if (stopped.owner.queueStore.count() == 2)
            QTimer::singleShot(0, stopped.analysis, [&] { stopped.analysis->Command5Click(); });
    });
    stopped.analysis->run(AnalysisCommands::Command::All);
    EXPECT_TRUE(clearRefused);
    EXPECT_EQ(stopped.owner.queueStore.count(), 2);
    EXPECT_EQ(states(stopped.list()), QStringList({u"成功"_s, u"成功"_s, {}, {}, {}}));
    ASSERT_EQ(panel.size(), 2);
    EXPECT_TRUE(panel.at(0).at(0).toBool());
    EXPECT_EQ(panel.at(0).at(1).toString(), u"正在分析,请稍候..."_s);
    EXPECT_FALSE(panel.at(1).at(0).toBool());
}

TEST(Analysis, PickerRuleAndAutomaticAnalysis)
{
    SearchRig rig(nullptr);
    rig.values.PromptSavePathOnExtract = 0;
    addRows(rig.list(), 2);

    rig.picker.cancel = true;
    rig.analysis->run(AnalysisCommands::Command::All);
    EXPECT_EQ(rig.picker.shown, 1);
    EXPECT_EQ(rig.owner.queueStore.count(), 0);

    // Switching automatic analysis on shows the picker; cancelled, the box and timer stay off.
    EXPECT_FALSE(rig.analysis->Check7Click(true));
    EXPECT_FALSE(rig.analysis->Timer1().isActive());

    rig.picker.cancel = false;
    rig.picker.folder = u"/chosen/"_s;
    EXPECT_TRUE(rig.analysis->Check7Click(true));
    EXPECT_TRUE(rig.analysis->Timer1().isActive());
    EXPECT_EQ(rig.picker.shown, 3);

    // Rows that arrive later are handed over by a tick, with no picker (it was confirmed).
    rig.analysis->Timer1().setInterval(5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.owner.queueStore.count() == 2; }, 2000));
    addRows(rig.list(), 4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.owner.queueStore.count() == 4; }, 2000));
    EXPECT_EQ(rig.picker.shown, 3);
    EXPECT_EQ(rig.owner.queueStore.row(4).SaveFolder, u"/chosen/"_s);

    EXPECT_FALSE(rig.analysis->Check7Click(false));
    EXPECT_FALSE(rig.analysis->Timer1().isActive());
}
