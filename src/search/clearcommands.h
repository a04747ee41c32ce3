#pragma once

#include <QList>
#include <QString>

namespace papyrant {

class Prompts;
class SearchList;
class SearchRunFlags;

// The clear commands of the menu "清除(&C)". Each returns true when it ran to the end (the
// caller then sets the count label to the number of rows); false when it was refused or given
// up. None of them runs while an analysis command runs.
namespace ClearCommands {

bool menu清除选中项(SearchList &list, const SearchRunFlags &flags, Prompts &prompts,
                    const QList<int> &selectedPositions);
bool menu清除分析成功项(SearchList &list, const SearchRunFlags &flags, Prompts &prompts);
bool menu清除标题含指定字符项(SearchList &list, const SearchRunFlags &flags, Prompts &prompts);
bool menu清除标题不含指定字符项(SearchList &list, const SearchRunFlags &flags, Prompts &prompts);
bool menu清空全部(SearchList &list, const SearchRunFlags &flags, Prompts &prompts);

} // namespace ClearCommands

// Whether text contains part, compared as the desktop's text compare does: ignoring letter
// case, character width (full-width Ａ = A) and kana type (カ = か).
bool containsLoosely(const QString &text, const QString &part);

} // namespace papyrant
