#pragma once

#include <QString>

namespace papyrant {

class Browser;
class Prompts;
class SearchList;

// The two file commands of the search window. Both write plain text (see WritePlainTextFile),
// replace an existing file, report the size when done and, unlike a silent failure, tell the user
// which file could not be written and why.
namespace SearchFiles {

// One line per row in list order: title, "-【", type, "】", state, CR LF (the last line too).
QString ExportText(const SearchList &list);

// "导出数据..." (Command7): nothing for an empty list or a cancelled dialog.
void 导出数据(const SearchList &list, Prompts &prompts);

// "网页源码保存到...": the markup of the page on show; nothing when there is none.
void 网页源码保存到(Browser *browser, Prompts &prompts);

// The save dialog's choice, "txt" added by the dialog to a name without extension (before its
// question about an existing file); empty when cancelled.
QString askTextFile(Prompts &prompts);

} // namespace SearchFiles
} // namespace papyrant
