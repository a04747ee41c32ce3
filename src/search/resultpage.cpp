#include "search/resultpage.h"

#include "browser/browser.h"

#include <QSet>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

bool IsBlockPage(const QString &markup)
{
    return markup.contains(u"/sorry/image?id="_s, Qt::CaseInsensitive);
}

bool IsResultEntryClass(const QString &className)
{
    return className.trimmed().toLower() == u"listitem xfolkentry";
}

bool IsOpenAccessLinkText(const QString &text)
{
    return (text.contains(u"Fulltext PDF"_s, Qt::CaseInsensitive)
            && text.contains(u"Open Access"_s, Qt::CaseInsensitive))
           || text.contains(u"オープンアクセス"_s, Qt::CaseInsensitive)
           || text.contains(u"機関リポジトリ"_s, Qt::CaseInsensitive);
}

QString CleanEntryTitle(const QString &text)
{
    QString title = text.trimmed();
    title.remove(u"..."_s, Qt::CaseInsensitive);
    return title;
}

QString CleanEntryLink(const QString &href)
{
    QString link = href.trimmed();
    link.replace(u"&amp;"_s, u"&"_s, Qt::CaseInsensitive);
    return link;
}

ResultPage ParseResultPage(const Document *document, const QString &saveFolder)
{
    ResultPage result;
    if (!document)
        return result;
    // Of a DIV only its class and what it holds; of an A its text and link.
    const auto page = document->snapshotOf({{u"DIV"_s, 0}, {u"A"_s, TextField | HrefField}}, true);
    if (!page)
        return result;
    if (IsBlockPage(page->outerHTML())) {
        result.blocked = true;
        return result;
    }
    const QString pageUrl = page->URL();
    QSet<QString> seen;
    for (const Element &div : page->getElementsByTagName(u"DIV"_s)) {
        if (!IsResultEntryClass(div.className()))
            continue;
        const ElementCollection links = div.getElementsByTagName(u"A"_s);
        if (links.length() == 0)
            continue;
        const QString title = CleanEntryTitle(links.item(0).innerText());
        QString link;
        for (const Element &a : links) {
            if (IsOpenAccessLinkText(a.innerText())) {
                link = CleanEntryLink(a.href());
                break;
            }
        }
        if (title.isEmpty() || link.isEmpty() || seen.contains(link))
            continue;
        seen.insert(link);
        result.entries.append({link, title, u"PDF"_s, pageUrl, saveFolder});
    }
    return result;
}

ResultPage ExtractPage(Browser &browser, const QString &saveFolder)
{
    const DocumentPtr document = browser.Document();
    return ParseResultPage(document.get(), saveFolder);
}

ResultPage 加入本页到列表(Browser &browser, int promptSavePathOnExtract,
                          const std::function<QString()> &showPicker)
{
    QString folder;
    if (promptSavePathOnExtract == 1 && showPicker)
        folder = showPicker();
    return ExtractPage(browser, folder);
}

} // namespace papyrant
