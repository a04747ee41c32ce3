#pragma once

#include "browser/document.h"

#include <QList>
#include <QString>
#include <functional>

namespace papyrant {

class Browser;

// One open-access full-text entry of a result page, ready for the search list (加入LV1).
struct ResultEntry
{
    QString link;       // the PDF link, "&amp;" already turned into "&"
    QString title;      // cleaned: trimmed, "..." removed
    QString type;       // always "PDF"
    QString page;       // the result page's URL (row tag)
    QString saveFolder; // as given to the extraction
};

struct ResultPage
{
    bool blocked = false;       // the service's block page: nothing was taken from it
    QList<ResultEntry> entries; // in page order, each link once (the first entry wins)
};

// The block page's marker "/sorry/image?id=" anywhere in the markup (any case).
bool IsBlockPage(const QString &markup);
// "DIV" class "listitem xfolkentry" (trimmed, any case, no other class word).
bool IsResultEntryClass(const QString &className);
// (Fulltext PDF AND Open Access) OR オープンアクセス OR 機関リポジトリ, any case.
bool IsOpenAccessLinkText(const QString &text);
// First link text of an entry: trimmed, every "..." deleted.
QString CleanEntryTitle(const QString &text);
// An entry's href: trimmed, every "&amp;" (any case) turned into "&".
QString CleanEntryLink(const QString &href);

// Reads the entries of a result page. A null document gives nothing. The page is read from one
// snapshot, so a live page is asked once.
ResultPage ParseResultPage(const Document *document, const QString &saveFolder);
// ParseResultPage on the browser's current document. The caller adds the entries to the search
// list (加入LV1, duplicates ignored), raises Blocked when the page is blocked, and refreshes the
// row count.
ResultPage ExtractPage(Browser &browser, const QString &saveFolder);

// "加入本页到列表": with PromptSavePathOnExtract 1 the save-folder picker is shown first
// (showPicker, which returns the current save folder whether confirmed or cancelled) and every
// entry keeps that folder; otherwise the folder is left empty and no picker shows.
ResultPage 加入本页到列表(Browser &browser, int promptSavePathOnExtract,
                          const std::function<QString()> &showPicker);

} // namespace papyrant
