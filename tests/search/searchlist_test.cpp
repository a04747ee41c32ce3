// labels: unit
#include "search/clearcommands.h"
#include "search/runflags.h"
#include "search/searchlist.h"
#include "support/recordingprompts.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace papyrant;
using papyrant::test::RecordingPrompts;
using namespace Qt::Literals::StringLiterals;

namespace {

QStringList titles(const SearchList &list)
{
    QStringList out;
    for (const SearchRow &row : list.rows())
        out << row.Title;
    return out;
}

void fill(SearchList &list, const QStringList &rowTitles)
{
    for (const QString &t : rowTitles)
        list.加入LV1(t, u"http://h/"_s + t, u"http://h/page"_s, u"PDF"_s, QString());
}

} // namespace

TEST(SearchList, DuplicateLinkKeepsFirstRowWhole)
{
    SearchList list;
    EXPECT_TRUE(
        list.加入LV1(u"甲"_s, u"http://a/1.pdf?x=1&y=2"_s, u"http://a/p1"_s, u"PDF"_s, u"/d/"_s));
    EXPECT_FALSE(
        list.加入LV1(u"乙"_s, u"http://a/1.pdf?x=1&y=2"_s, u"http://a/p2"_s, u"PDF"_s, u"/e/"_s));
    ASSERT_EQ(list.count(), 1);
    const SearchRow &row = list.at(0);
    EXPECT_EQ(row.Title, u"甲"_s);
    EXPECT_EQ(row.Page, u"http://a/p1"_s);
    EXPECT_EQ(row.SaveFolder, u"/d/"_s);
    EXPECT_EQ(row.State, QString());

    // A bulk add drops known links and duplicates inside the batch, with one notification.
    QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
    const int added = list.addRows({{u"http://a/1.pdf?x=1&y=2"_s, u"丙"_s, u"PDF"_s, {}, {}, {}},
                                    {u"http://a/2.pdf"_s, u"丁"_s, u"PDF"_s, {}, {}, {}},
                                    {u"http://a/2.pdf"_s, u"戊"_s, u"PDF"_s, {}, {}, {}}});
    EXPECT_EQ(added, 1);
    EXPECT_EQ(inserted.size(), 1);
    EXPECT_EQ(titles(list), QStringList({u"甲"_s, u"丁"_s}));
    EXPECT_EQ(list.positionOf(u"http://a/2.pdf"_s), 1);
}

TEST(SearchList, ModelShowsFourColumnsAndRefusesEditing)
{
    SearchList list;
    list.加入LV1(u"T"_s, u"http://a/x.pdf"_s, u"http://a/"_s, u"PDF"_s, u"/tmp/d/"_s);
    list.setState(0, analysisSucceeded());
    QStringList headers;
    QStringList cells;
    for (int c = 0; c < list.columnCount(); ++c) {
        headers << list.headerData(c, Qt::Horizontal).toString();
        cells << list.index(0, c).data().toString();
    }
    EXPECT_EQ(headers, QStringList({u"标题"_s, u"类型"_s, u"分析状态"_s, u"保存路径"_s}));
    EXPECT_EQ(cells, QStringList({u"T"_s, u"PDF"_s, u"成功"_s, u"/tmp/d/"_s}));
    EXPECT_FALSE(list.flags(list.index(0, 0)) & Qt::ItemIsEditable);
}

TEST(ClearCommands, TitleFiltersIgnoreCaseWidthAndKanaAndRemoveAdjacentRows)
{
    struct Case
    {
        bool keepMatches;
        QString answer;
        QStringList before, after;
    } cases[] = {
        {false, u"pdf"_s, {u"a PDF"_s, u"b pdf"_s, u"c"_s, u"ｄ ＰＤＦ"_s}, {u"c"_s}},
        {false, u"かな"_s, {u"カナ文"_s, u"漢字"_s}, {u"漢字"_s}},
        {true, u"pdf"_s, {u"a PDF"_s, u"x"_s, u"y"_s, u"b pdf"_s}, {u"a PDF"_s, u"b pdf"_s}},
        {false, QString(), {u"a"_s, u"b"_s}, {u"a"_s, u"b"_s}},
    };
    for (const Case &c : cases) {
        SearchList list;
        SearchRunFlags flags;
        RecordingPrompts prompts;
        fill(list, c.before);
        prompts.inputAnswers.push_back(c.answer);
        const bool ran = c.keepMatches
                             ? ClearCommands::menu清除标题不含指定字符项(list, flags, prompts)
                             : ClearCommands::menu清除标题含指定字符项(list, flags, prompts);
        EXPECT_EQ(ran, !c.answer.isEmpty());
        EXPECT_EQ(titles(list), c.after) << c.answer.toStdString();
        EXPECT_EQ(prompts.last(), u"请输入指定字符："_s);
    }
}

TEST(ClearCommands, GuardSelectionSucceededAndClearAll)
{
    SearchList list;
    SearchRunFlags flags;
    RecordingPrompts prompts;
    fill(list, {u"a"_s, u"b"_s, u"c"_s, u"d"_s});
    list.setState(1, analysisSucceeded());
    list.setState(2, analysisSucceeded());

    flags.setAnalysisStopped(false); // an analysis runs: every command refuses
    EXPECT_FALSE(ClearCommands::menu清除分析成功项(list, flags, prompts));
    EXPECT_FALSE(ClearCommands::menu清空全部(list, flags, prompts));
    EXPECT_FALSE(ClearCommands::menu清除标题含指定字符项(list, flags, prompts));
    EXPECT_EQ(prompts.shown.size(), 3);
    for (const auto &s : prompts.shown) {
        EXPECT_EQ(s.text, u"正在分析，不能清除！"_s);
        EXPECT_EQ(s.icon, Prompts::Icon::Error);
    }
    EXPECT_EQ(list.count(), 4);
    flags.setAnalysisStopped(true);

    EXPECT_TRUE(ClearCommands::menu清除分析成功项(list, flags, prompts));
    EXPECT_EQ(titles(list), QStringList({u"a"_s, u"d"_s}));
    EXPECT_TRUE(ClearCommands::menu清除选中项(list, flags, prompts, {1, 1, 7}));
    EXPECT_EQ(titles(list), QStringList({u"a"_s}));
    EXPECT_FALSE(list.contains(u"http://h/d"_s)); // the key index follows removals

    prompts.yesNoAnswers = {false, true};
    EXPECT_FALSE(ClearCommands::menu清空全部(list, flags, prompts));
    EXPECT_EQ(list.count(), 1);
    EXPECT_TRUE(ClearCommands::menu清空全部(list, flags, prompts));
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(prompts.last(), u"您确定要清空辛辛苦苦搜索的列表数据吗？"_s);
    EXPECT_EQ(prompts.shown.last().icon, Prompts::Icon::Question);
}
