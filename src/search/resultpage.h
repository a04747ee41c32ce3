#pragma once

#include "browser/document.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace papyrant {

class Browser;
struct ServiceProfile;

// One full-text entry of a result page, ready for the search list (加入LV1).
struct ResultEntry
{
    QString link;       // the full-text link, "&amp;" already turned into "&"
    QString title;      // cleaned: trimmed, "..." removed
    QString type;       // the profile's row type: "PDF", or "LINK" for a landing page
    QString page;       // the result page's URL (row tag)
    QString saveFolder; // as given to the extraction
};

struct ResultPage
{
    // What the page gave, and when nothing, which rule found nothing.
    enum class Verdict {
        Nothing,    // no page at all
        Entries,    // entries with a title and a full-text link
        NoEntries,  // the entry rule found no entry
        NoFullText, // entries, but the full-text rule found no link in any
        NoTitle,    // entries with links, but the title rule found no title in any
        NoResults,  // the service found nothing for the search
        LoadFailed, // the page did not load (an HTTP error, no connection)
        Blocked,    // the service refused: nothing was taken from it
    };

    Verdict verdict = Verdict::Nothing;
    bool blocked = false;
    QString reason;             // Blocked, LoadFailed: what showed it ("HTTP 429"...)
    QList<ResultEntry> entries; // in page order, each link once (the first entry wins)
    int entryCount = 0;         // elements the entry rule took, with or without a link
    std::optional<qint64> hitCount;
    // The next result page: the link to click when the rule found one, and its address (for a
    // LINK element, or the page-parameter rule, only the address).
    Element nextLink;
    QString nextAddress;
    bool hasNext() const { return !nextAddress.isEmpty() || !nextLink.isNull(); }
};

// First link text of an entry: trimmed, every "..." deleted.
QString CleanEntryTitle(const QString &text);
// An entry's href: trimmed, every "&amp;" (any case) turned into "&".
QString CleanEntryLink(const QString &href);

// Reads a result page by the profile's rules. A null document gives nothing. The page is read
// from one snapshot, so a live page is asked once. httpStatus: as Browser::HttpStatus says.
ResultPage ParseResultPage(const Document *document, const ServiceProfile &profile,
                           const QString &saveFolder, int httpStatus = 0);
// ParseResultPage on the browser's current document. The caller adds the entries to the search
// list (加入LV1, duplicates ignored), raises Blocked when the page is blocked, and refreshes the
// row count.
ResultPage ExtractPage(Browser &browser, const ServiceProfile &profile, const QString &saveFolder);

// "加入本页到列表": with PromptSavePathOnExtract 1 the save-folder picker is shown first
// (showPicker, which returns the current save folder whether confirmed or cancelled) and every
// entry keeps that folder; otherwise the folder is left empty and no picker shows.
ResultPage 加入本页到列表(Browser &browser, const ServiceProfile &profile,
                          int promptSavePathOnExtract, const std::function<QString()> &showPicker);

// What the status bar says about a page that gave nothing ("" when it gave entries, or when the
// profile keeps quiet about empty pages).
QString ResultPageNote(const ResultPage &page, const ServiceProfile &profile);

} // namespace papyrant
