#include "download/landingresolution.h"

#include "download/downloadqueue.h"
#include "download/landingpage.h"
#include "download/requeue.h"
#include "download/savenames.h"

#include <QFile>
#include <QRegularExpression>

namespace papyrant {

using namespace Qt::Literals::StringLiterals;

bool PdfLooksWhole(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    if (size > 1024 && !file.seek(size - 1024))
        return false;
    return file.read(1024).contains("%%EOF");
}

namespace {

// A title that says the server failed or found nothing: a status code of 4xx/5xx leading the
// title, or the usual words of such pages. Only asked of pages without a full-text link, so
// that an article about errors keeps its links.
bool looksLikeErrorTitle(const QString &title)
{
    static const QRegularExpression code(u"^\\s*(?:error\\s*)?[45]\\d\\d\\b"_s,
                                         QRegularExpression::CaseInsensitiveOption);
    if (code.match(title).hasMatch())
        return true;
    static const char16_t *const words[] = {
        u"not found",
        u"internal server error",
        u"service unavailable",
        u"bad gateway",
        u"access denied",
        u"forbidden",
        u"server error",
        u"エラーが発生",
        u"ページが見つかりません",
        u"システムエラー",
        u"页面不存在",
        u"找不到页面",
        u"服务器错误",
        u"出错了",
    };
    const QString lower = title.toLower();
    for (const char16_t *w : words)
        if (lower.contains(QStringView(w)))
            return true;
    return false;
}

// The weight of a reason met on the way to the full text: the one the user can act on first
// (log in, wait) wins over a plain "nothing found".
int weight(const QString &reason)
{
    if (reason == PageReason::loginPage())
        return 5;
    if (reason == PageReason::challengePage())
        return 4;
    if (reason == PageReason::errorPage())
        return 2;
    if (reason == PageReason::noPdfLink())
        return 1;
    return reason.isEmpty() ? 0 : 3; // a transfer's own failure
}

bool endsAsFailure(const QString &reason)
{
    return reason == PageReason::challengePage() || reason == PageReason::errorPage();
}

QString pageAddress(const QueueRow &row, const TransferEnd &end)
{
    return end.finalUrl.isEmpty() ? 选择url(row.Urls) : end.finalUrl.toString();
}

} // namespace

QString PageWithoutFullText(const LandingPage &page)
{
    if (page.status != LandingPage::Status::Read || !page.fullTextLinks.isEmpty())
        return {};
    if (page.hasPasswordField)
        return PageReason::loginPage();
    if (!page.challengeMarker.isEmpty())
        return PageReason::challengePage();
    if (looksLikeErrorTitle(page.title))
        return PageReason::errorPage();
    return PageReason::noPdfLink();
}

bool AutoRedownloadPicks(const QueueRow &row, int rule, bool loginAvailable)
{
    if (row.State != QueueRow::Finished && row.State != QueueRow::Failed)
        return false;
    // Fetching them again gives the same page: the rule would go round for ever.
    if (row.Reason == PageReason::noPdfLink())
        return false;
    if (row.Reason == PageReason::loginPage() && !loginAvailable)
        return false;
    const bool errors = rule == 0 || rule == 2;
    const bool pages = rule == 1 || rule == 2;
    return (errors && row.State == QueueRow::Failed) || (pages && isWebPageType(row.Type, true));
}

int 自动重新下载(DownloadQueue &queue, int rule, bool loginAvailable)
{
    int count = 0;
    queue.beginBatch();
    for (int p = 1; p <= queue.count(); ++p) {
        if (AutoRedownloadPicks(queue.row(p), rule, loginAvailable)) {
            RequeueRow(queue, p, rule != 0);
            ++count;
        }
    }
    queue.endBatch();
    return count;
}

void LandingResolver::note(Trail &trail, const QString &reason, bool failed)
{
    if (weight(reason) > weight(trail.strongest)) {
        trail.strongest = reason;
        trail.strongestFailed = failed;
    }
}

LandingResolver::Step LandingResolver::afterEnd(DownloadQueue &queue, SaveNames &names,
                                                int position, bool delivered,
                                                const TransferEnd &end)
{
    if (!queue.isValidPosition(position))
        return {};
    const QueueRow &row = queue.row(position);
    const bool page = delivered && isWebPageType(row.Type, true);
    const auto found = m_trails.constFind(row.Urls);

    if (found == m_trails.constEnd()) {
        if (!page)
            return {};
        // A page that stands for the full text.
        const QString address = pageAddress(row, end);
        const LandingPage landing = ReadLandingPageFile(RowFilePath(row), address);
        const QString why = PageWithoutFullText(landing);
        if (landing.status != LandingPage::Status::Read || !why.isEmpty())
            return {false, why, endsAsFailure(why)};
        Trail trail;
        trail.key = row.Urls;
        trail.name = row.Name;
        trail.type = row.Type;
        trail.size = row.Size;
        trail.received = row.Received;
        trail.percent = row.Percent;
        trail.referer = row.Referer;
        trail.landingUrl = address;
        trail.landingFile = row.Committed;
        trail.seen << address << 选择url(row.Urls);
        for (const QString &link : landing.fullTextLinks) {
            if (!trail.seen.contains(link)) {
                trail.pending.append({link, 1});
                trail.seen << link;
            }
        }
        return tryNext(queue, position, std::move(trail));
    }

    Trail trail = *found;
    m_trails.erase(found);
    if (end.reason == TransferReason::cancelled()) {
        trail.strongest = end.reason;
        trail.strongestFailed = true;
        return giveUp(queue, position, trail);
    }
    if (page) {
        // A page again (a viewer, a gate, a second record page): not the full text. Once it may
        // lead on; after that its links are not followed, so nothing goes round.
        const QString path = RowFilePath(row);
        const QString address = pageAddress(row, end);
        const LandingPage next = ReadLandingPageFile(path, address);
        QList<Candidate> more;
        if (trail.hop < 2) {
            for (const QString &link : next.fullTextLinks) {
                if (!trail.seen.contains(link)) {
                    more.append({link, trail.hop + 1});
                    trail.seen << link;
                }
            }
        }
        const QString why = PageWithoutFullText(next);
        note(trail, why.isEmpty() ? PageReason::noPdfLink() : why, endsAsFailure(why));
        trail.pending = more + trail.pending;
        if (row.Committed && RemoveIfStillSame(*row.Committed))
            names.removed(row.Committed->path);
        queue.update(position, [](QueueRow &r) { r.Committed.reset(); });
        return tryNext(queue, position, std::move(trail));
    }
    if (delivered || row.State == QueueRow::Finished) {
        // The full text (or a file that is no page), or a file of the name already there.
        if (delivered && row.Type.compare(u"pdf", Qt::CaseInsensitive) == 0 && trail.landingFile
            && RemoveIfStillSame(*trail.landingFile))
            names.removed(trail.landingFile->path);
        return {};
    }
    note(trail, end.reason, true);
    return tryNext(queue, position, std::move(trail));
}

LandingResolver::Step LandingResolver::tryNext(DownloadQueue &queue, int position, Trail trail)
{
    while (!trail.pending.isEmpty()) {
        const Candidate next = trail.pending.takeFirst();
        // Another row fetches that address already.
        if (!queue.setUrls(position, next.url))
            continue;
        trail.hop = next.hop;
        const QString name = trail.name;
        const QString referer = trail.landingUrl;
        queue.update(position, [&](QueueRow &r) {
            r.Name = name;
            r.Type = u"pdf"_s;
            r.Referer = referer;
            r.Size.clear();
            r.Received.clear();
            r.Percent.clear();
            r.Committed.reset();
            r.State = QueueRow::Downloading;
        });
        m_trails.insert(next.url, std::move(trail));
        return {true, {}, false};
    }
    return giveUp(queue, position, trail);
}

// No link answered with the full text: the row is its landing page again.
LandingResolver::Step LandingResolver::giveUp(DownloadQueue &queue, int position,
                                              const Trail &trail)
{
    queue.setUrls(position, trail.key);
    const QString reason = trail.strongest.isEmpty() ? PageReason::noPdfLink() : trail.strongest;
    const bool failed = trail.strongestFailed;
    std::optional<FileIdentity> landing = trail.landingFile;
    if (landing && IdentifyFile(landing->path) != landing)
        landing.reset();
    queue.update(position, [&](QueueRow &r) {
        r.Name = trail.name;
        r.Type = trail.type;
        r.Size = trail.size;
        r.Received = trail.received;
        r.Percent = trail.percent;
        r.Referer = trail.referer;
        r.Committed = landing;
        r.State = failed ? QueueRow::Failed : QueueRow::Finished;
    });
    return {false, reason, failed};
}

void LandingResolver::forgetGone(const DownloadQueue &queue)
{
    for (auto it = m_trails.begin(); it != m_trails.end();)
        it = queue.contains(it.key()) ? std::next(it) : m_trails.erase(it);
}

} // namespace papyrant
