#include "search/resultpage.h"

#include "browser/browser.h"
#include "search/serviceaddress.h"
#include "search/serviceprofile.h"

#include <QMap>
#include <QSet>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

// What the markers test, read once per page.
struct PageFacts
{
    const Document *page = nullptr;
    QString markup;
    QString text;
    std::optional<qint64> hitCount;

    bool holds(const ServiceProfile::Marker &m) const
    {
        if (m.isEmpty())
            return false;
        if (!m.markup.isEmpty() && !markup.contains(m.markup, Qt::CaseInsensitive))
            return false;
        if (!m.text.isEmpty() && !text.contains(m.text, Qt::CaseInsensitive))
            return false;
        if (m.hitCount && (!hitCount || (*m.hitCount >= 0 && *hitCount != *m.hitCount)))
            return false;
        if (!m.tag.isEmpty()) {
            const ElementCollection elements = page->getElementsByTagName(m.tag);
            return std::any_of(elements.begin(), elements.end(), [&](const Element &e) {
                return m.classWord.isEmpty() || ClassHasWord(e.className(), m.classWord);
            });
        }
        return true;
    }
    bool holdsAny(const QList<ServiceProfile::Marker> &markers) const
    {
        return std::any_of(markers.begin(), markers.end(),
                           [this](const ServiceProfile::Marker &m) { return holds(m); });
    }
};

bool markersUse(const QList<ServiceProfile::Marker> &markers, QString ServiceProfile::Marker::*part)
{
    return std::any_of(markers.begin(), markers.end(),
                       [part](const ServiceProfile::Marker &m) { return !(m.*part).isEmpty(); });
}

// The same address with the page parameter raised by one, while the hit count says that more
// entries follow the ones up to this page. The rest of the address stays as it was written.
QString nextPageAddress(const QString &address, const ServiceProfile::NextRule &rule,
                        int entryCount, std::optional<qint64> hitCount)
{
    if (entryCount <= 0 || !hitCount)
        return {};
    QUrl url(address);
    if (!url.isValid())
        return {};
    QStringList items = url.query(QUrl::FullyEncoded).split(u'&', Qt::SkipEmptyParts);
    qint64 page = 1;
    qint64 pageSize = rule.pageSize;
    qsizetype pageItem = -1;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString key = items.at(i).section(u'=', 0, 0);
        bool ok = false;
        const qint64 value = items.at(i).section(u'=', 1).toLongLong(&ok);
        if (key == rule.parameter) {
            pageItem = i;
            page = ok && value >= 1 && value < (qint64(1) << 31) ? value : 1;
        } else if (key == rule.countParameter && ok && value >= 1 && value < (qint64(1) << 31)) {
            pageSize = value;
        }
    }
    if (*hitCount <= (page - 1) * pageSize + entryCount)
        return {};
    const QString item = rule.parameter + u'=' + QString::number(page + 1);
    if (pageItem >= 0)
        items[pageItem] = item;
    else
        items << item;
    url.setQuery(items.join(u'&'));
    return url.toString(QUrl::FullyEncoded);
}

void findNext(const ServiceProfile &profile, const Document &page, ResultPage &result)
{
    const ServiceProfile::NextRule &rule = profile.next;
    if (rule.kind == ServiceProfile::NextRule::PageParameter) {
        result.nextAddress = nextPageAddress(page.URL(), rule, result.entryCount, result.hitCount);
        return;
    }
    QStringList tags{u"A"_s};
    if (rule.kind == ServiceProfile::NextRule::RelNext)
        tags << u"LINK"_s;
    for (const QString &tag : tags) {
        for (const Element &e : page.getElementsByTagName(tag)) {
            if (!rule.isLink(e))
                continue;
            result.nextAddress = e.href();
            if (tag == u"A")
                result.nextLink = e;
            return;
        }
    }
}

} // namespace

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

ResultPage ParseResultPage(const Document *document, const ServiceProfile &profile,
                           const QString &saveFolder, int httpStatus)
{
    ResultPage result;
    if (!document)
        return result;
    // What the rules read, and only that: on a big live page every property left out counts.
    QMap<QString, int> fields;
    fields[profile.entry.tag] |= 0;
    fields[u"A"_s] |= TextField | HrefField | FormFields;
    const bool needText = !profile.hitCount.isEmpty()
                          || markersUse(profile.resultList, &ServiceProfile::Marker::text)
                          || markersUse(profile.noResults, &ServiceProfile::Marker::text)
                          || markersUse(profile.blocked.markers, &ServiceProfile::Marker::text);
    fields[u"BODY"_s] |= needText ? TextField : 0;
    if (profile.next.kind == ServiceProfile::NextRule::RelNext)
        fields[u"LINK"_s] |= HrefField | FormFields;
    for (const QList<ServiceProfile::Marker> *list :
         {&profile.resultList, &profile.noResults, &profile.blocked.markers}) {
        for (const ServiceProfile::Marker &m : *list) {
            if (!m.tag.isEmpty())
                fields[m.tag] |= 0;
        }
    }
    QList<SnapshotTag> tags;
    for (auto it = fields.begin(); it != fields.end(); ++it)
        tags.append({it.key(), it.value()});
    const bool needMarkup = markersUse(profile.resultList, &ServiceProfile::Marker::markup)
                            || markersUse(profile.noResults, &ServiceProfile::Marker::markup)
                            || markersUse(profile.blocked.markers, &ServiceProfile::Marker::markup);
    const auto page = document->snapshotOf(tags, needMarkup);
    if (!page)
        return result;

    PageFacts facts;
    facts.page = page.get();
    if (needMarkup)
        facts.markup = page->outerHTML();
    if (needText) {
        const ElementCollection bodies = page->getElementsByTagName(u"BODY"_s);
        facts.text = bodies.length() ? bodies.item(0).innerText() : QString();
    }
    facts.hitCount = profile.hitCount.find(facts.text);
    result.hitCount = facts.hitCount;

    auto blocked = [&](const QString &reason) {
        result.verdict = ResultPage::Verdict::Blocked;
        result.blocked = true;
        result.reason = reason;
        return result;
    };
    const QString pageUrl = page->URL();
    // The refusal statuses count on the service's search pages (on any page when the profile
    // names none): a publisher's 403 says nothing about the service.
    const bool searchPage = IsServiceSearchAddress(profile, pageUrl);
    if (profile.blocked.statuses.contains(httpStatus)
        && (searchPage || profile.blocked.searchPaths.isEmpty()))
        return blocked(u"HTTP %1"_s.arg(httpStatus));
    if (facts.holdsAny(profile.blocked.markers))
        return blocked(u"页面含拦截标记"_s);
    // A search address that answers something other than a result list: the refusal pages of
    // such services come with a plain 200. (A failed load is no refusal.)
    if (httpStatus >= 0 && httpStatus < 400 && searchPage && !facts.holdsAny(profile.resultList)
        && !facts.holdsAny(profile.noResults))
        return blocked(u"页面不是检索结果"_s);

    QSet<QString> seen;
    int withTitle = 0, withLink = 0;
    for (const Element &candidate : page->getElementsByTagName(profile.entry.tag)) {
        if (!profile.entry.matches(candidate))
            continue;
        ++result.entryCount;
        const ElementCollection links = candidate.getElementsByTagName(u"A"_s);
        if (links.length() == 0)
            continue;
        // The title and the full-text link, each from the first A its rule takes.
        QString title;
        bool titleTaken = false;
        QString link;
        for (const Element &a : links) {
            if (!titleTaken
                && (profile.title.classWord.isEmpty()
                    || ClassHasWord(a.className(), profile.title.classWord))) {
                title = CleanEntryTitle(a.innerText());
                titleTaken = true;
            }
            if (link.isEmpty() && profile.fullText.qualifies(a))
                link = CleanEntryLink(a.href());
            if (titleTaken && !link.isEmpty())
                break;
        }
        withTitle += title.isEmpty() ? 0 : 1;
        withLink += link.isEmpty() ? 0 : 1;
        if (title.isEmpty() || link.isEmpty() || seen.contains(link))
            continue;
        seen.insert(link);
        result.entries.append({link, title, profile.rowType, pageUrl, saveFolder});
    }

    if (result.entryCount > 0) {
        result.verdict = withLink == 0    ? ResultPage::Verdict::NoFullText
                         : withTitle == 0 ? ResultPage::Verdict::NoTitle
                                          : ResultPage::Verdict::Entries;
    } else if (httpStatus < 0 || httpStatus >= 400) {
        result.verdict = ResultPage::Verdict::LoadFailed;
        result.reason = httpStatus < 0 ? u"网络错误"_s : u"HTTP %1"_s.arg(httpStatus);
    } else if (facts.hitCount.value_or(0) > 0) {
        result.verdict = ResultPage::Verdict::NoEntries; // the service counts hits we cannot see
    } else if (facts.holdsAny(profile.noResults)) {
        result.verdict = ResultPage::Verdict::NoResults;
    } else {
        result.verdict = ResultPage::Verdict::NoEntries;
    }
    findNext(profile, *page, result);
    return result;
}

ResultPage ExtractPage(Browser &browser, const ServiceProfile &profile, const QString &saveFolder)
{
    const DocumentPtr document = browser.Document();
    return ParseResultPage(document.get(), profile, saveFolder, browser.HttpStatus());
}

ResultPage 加入本页到列表(Browser &browser, const ServiceProfile &profile,
                          int promptSavePathOnExtract, const std::function<QString()> &showPicker)
{
    QString folder;
    if (promptSavePathOnExtract == 1 && showPicker)
        folder = showPicker();
    return ExtractPage(browser, profile, folder);
}

QString ResultPageNote(const ResultPage &page, const ServiceProfile &profile)
{
    if (!profile.reportEmptyPages)
        return {};
    using V = ResultPage::Verdict;
    switch (page.verdict) {
    case V::Nothing:
    case V::Entries: return {};
    case V::NoEntries: return u"本页未找到条目：页面结构与「%1」配置不符"_s.arg(profile.name);
    case V::NoFullText:
        return u"本页未找到全文链接：%1个条目的链接与「%2」配置不符"_s.arg(page.entryCount)
            .arg(profile.name);
    case V::NoTitle: return u"本页未找到标题：条目的标题与「%1」配置不符"_s.arg(profile.name);
    case V::NoResults: return u"本页没有检索结果"_s;
    case V::LoadFailed: return u"本页未能打开（%1）"_s.arg(page.reason);
    case V::Blocked:
        return u"检索服务拒绝了访问（%1），已停止。请稍后再试，或加大限速延时"_s.arg(page.reason);
    }
    return {};
}

} // namespace papyrant
