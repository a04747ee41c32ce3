#include "search/clearcommands.h"

#include "foundation/prompts.h"
#include "search/runflags.h"
#include "search/searchlist.h"

namespace papyrant {

namespace {

QString looseForm(const QString &text)
{
    QString s = text.normalized(QString::NormalizationForm_KC).toCaseFolded();
    for (QChar &c : s) {
        const char16_t u = c.unicode();
        if (u >= 0x30A1 && u <= 0x30F6) // katakana -> hiragana
            c = QChar(char16_t(u - 0x60));
    }
    return s;
}

bool refusedWhileAnalysing(const SearchRunFlags &flags, Prompts &prompts)
{
    if (flags.AnalysisStopped())
        return false;
    prompts.message(QStringLiteral("正在分析，不能清除！"), Prompts::Icon::Error);
    return true;
}

bool clearByTitle(SearchList &list, const SearchRunFlags &flags, Prompts &prompts, bool keepMatches)
{
    if (refusedWhileAnalysing(flags, prompts))
        return false;
    const std::optional<QString> answer = prompts.input(QStringLiteral("请输入指定字符："));
    if (!answer || answer->isEmpty())
        return false;
    const QString part = looseForm(*answer);
    list.removeIf(
        [&](const SearchRow &row) { return looseForm(row.Title).contains(part) != keepMatches; });
    return true;
}

} // namespace

bool containsLoosely(const QString &text, const QString &part)
{
    return looseForm(text).contains(looseForm(part));
}

namespace ClearCommands {

bool menu清除选中项(SearchList &list, const SearchRunFlags &flags, Prompts &prompts,
                    const QList<int> &selectedPositions)
{
    if (refusedWhileAnalysing(flags, prompts))
        return false;
    list.removePositions(selectedPositions);
    return true;
}

bool menu清除分析成功项(SearchList &list, const SearchRunFlags &flags, Prompts &prompts)
{
    if (refusedWhileAnalysing(flags, prompts))
        return false;
    list.removeIf([](const SearchRow &row) { return row.State == analysisSucceeded(); });
    return true;
}

bool menu清除标题含指定字符项(SearchList &list, const SearchRunFlags &flags, Prompts &prompts)
{
    return clearByTitle(list, flags, prompts, false);
}

bool menu清除标题不含指定字符项(SearchList &list, const SearchRunFlags &flags, Prompts &prompts)
{
    return clearByTitle(list, flags, prompts, true);
}

bool menu清空全部(SearchList &list, const SearchRunFlags &flags, Prompts &prompts)
{
    if (refusedWhileAnalysing(flags, prompts))
        return false;
    if (!prompts.askYesNo(QStringLiteral("您确定要清空辛辛苦苦搜索的列表数据吗？"),
                          Prompts::Icon::Question))
        return false;
    list.clear();
    return true;
}

} // namespace ClearCommands
} // namespace papyrant
