#include "search/searchfiles.h"

#include "browser/browser.h"
#include "foundation/prompts.h"
#include "foundation/textfile.h"
#include "search/searchlist.h"

namespace papyrant::SearchFiles {

namespace {

void writeAndReport(const QString &path, const QString &text, Prompts &prompts)
{
    const TextFileResult result = WritePlainTextFile(path, text);
    if (result.ok)
        prompts.message(SavedFileMessage(result.bytes), Prompts::Icon::Information);
    else
        prompts.message(FileNotSavedMessage(path, result.error), Prompts::Icon::Error);
}

} // namespace

QString ExportText(const SearchList &list)
{
    QString text;
    for (const SearchRow &row : list.rows())
        text += row.Title + QStringLiteral("-【") + row.Type + QStringLiteral("】") + row.State
                + QStringLiteral("\r\n");
    return text;
}

QString askTextFile(Prompts &prompts)
{
    return prompts.saveFile(QString(), QStringLiteral("*.txt (*.txt)"), QString(),
                            QStringLiteral("txt"));
}

void 导出数据(const SearchList &list, Prompts &prompts)
{
    if (list.isEmpty())
        return;
    const QString path = askTextFile(prompts);
    if (path.isEmpty())
        return;
    writeAndReport(path, ExportText(list), prompts);
}

void 网页源码保存到(Browser *browser, Prompts &prompts)
{
    const auto document = browser ? browser->Document() : nullptr;
    const QString markup = document ? document->outerHTML() : QString();
    if (markup.isEmpty())
        return;
    const QString path = askTextFile(prompts);
    if (path.isEmpty())
        return;
    writeAndReport(path, markup, prompts);
}

} // namespace papyrant::SearchFiles
