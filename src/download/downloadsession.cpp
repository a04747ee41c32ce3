#include "download/downloadsession.h"

#include "download/downloadqueue.h"
#include "download/filetype.h"
#include "download/scheduler.h"
#include "foundation/fileentry.h"

#include <QPointer>
#include <chrono>

namespace papyrant {

Q_LOGGING_CATEGORY(lcDownload, "papyrant.download", QtCriticalMsg)

DownloadSession::DownloadSession(DownloadQueue &queue, QObject *parent)
    : QObject(parent), m_queue(queue)
{
    // A way to a full text ends with its row.
    connect(&queue, &DownloadQueue::rowsReset, this, [this] { m_landing.forgetGone(m_queue); });
    // "批量替换网址" may rewrite the key of a resting row.
    connect(&queue, &DownloadQueue::keyChanged, this,
            [this](const QString &from, const QString &to) {
                if (const auto it = m_restingRows.constFind(from); it != m_restingRows.constEnd()) {
                    const QString host = *it;
                    m_restingRows.erase(it);
                    m_restingRows.insert(to, host);
                }
            });
}

double DownloadSession::now() const
{
    if (clock)
        return clock();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void DownloadSession::beginRow(int slot, int position)
{
    if (!m_queue.isValidPosition(position))
        return;
    if (slot >= 1 && size_t(slot) < SlotRows.size())
        SlotRows[size_t(slot)] = position;
    m_queue.update(position, [](QueueRow &r) {
        r.State = QueueRow::Downloading;
        r.Size.clear();
        r.Received.clear();
        r.Percent.clear();
        r.Reason.clear();
    });
    if (options.autoLocate)
        emit rowStarted(position);
}

void DownloadSession::fileCommitted(int position, const QString &path)
{
    names.added(path);
    if (m_queue.isValidPosition(position))
        m_queue.update(position, [&](QueueRow &r) { r.Committed = IdentifyFile(path); });
}

int DownloadSession::slotOf(int method, int position) const
{
    if (method == 1)
        return 1;
    for (int slot = 1; slot <= 6; ++slot)
        if (SlotRows[size_t(slot)] == position)
            return slot;
    return 0;
}

// A PDF cut short is no article: it stays for a look as "<name>.part", and no file stands under
// the article's name.
void DownloadSession::keepAsPart(int position)
{
    const QueueRow &row = m_queue.row(position);
    const QString path = RowFilePath(row);
    std::optional<FileIdentity> kept;
    if (row.Committed && row.Committed->path == path) {
        const SavePath part = 重命名保存路径(row.SaveFolder, row.Name, QStringLiteral("part"),
                                             SameNameRule::Rename, names);
        if (RenameNoReplace(path, part.path) == RenameResult::Done) {
            names.removed(path);
            names.added(part.path);
            kept = IdentifyFile(part.path);
        } else if (RemoveIfStillSame(*row.Committed)) {
            names.removed(path);
        }
    }
    m_queue.update(position, [&](QueueRow &r) {
        r.Committed = kept;
        r.Percent.clear();
        r.State = QueueRow::Failed;
        r.Reason = PageReason::truncatedPdf();
    });
}

void DownloadSession::endRow(const QString &key, bool delivered, int method, const TransferEnd &end)
{
    int position = key.isEmpty() ? 0 : m_queue.positionOf(key);
    TransferEnd outcome = end;
    if (position)
        m_queue.setReason(position, end.reason);
    const bool rests =
        position && end.state == TransferEnd::State::Failed && IsThrottleStatus(end.httpStatus);
    if (rests)
        restRow(position, key, end);
    if (delivered && position)
        courtesy.served(HostKey(选择url(key)));
    if (delivered && position) {
        CorrectRowFileType(m_queue, position, options.sameName, &names);
        position = m_queue.positionOf(key);
        const QueueRow &row = m_queue.row(position);
        const QString page = row.SaveFolder + row.Name + u'.' + row.Type.toLower();
        const bool ours = row.Committed && row.Committed->path == page;
        // A page written anew is still the row's own file.
        if (AddBaseLink(row) && ours)
            m_queue.update(position, [&](QueueRow &r) { r.Committed = IdentifyFile(page); });
    }
    // A row that waits for its host's rest is neither a page nor a PDF yet.
    if (position && !rests) {
        const QueueRow &row = m_queue.row(position);
        if (delivered && row.State == QueueRow::Finished
            && row.Type.compare(u"pdf", Qt::CaseInsensitive) == 0 && row.Committed
            && row.Committed->path == RowFilePath(row) && !PdfLooksWhole(RowFilePath(row))) {
            keepAsPart(position);
            delivered = false;
            outcome.state = TransferEnd::State::Failed;
            outcome.reason = PageReason::truncatedPdf();
        } else {
            const LandingResolver::Step step =
                m_landing.afterEnd(m_queue, names, position, delivered, outcome);
            if (step.fetchAgain) {
                const QueueRow &next = m_queue.row(position);
                qCInfo(lcDownload).nospace().noquote()
                    << "method " << method << ", row " << key << ": a page, the full text at "
                    << next.Urls;
                const int slot = slotOf(method, position);
                if (fetchAgain && slot && fetchAgain(method, slot, position))
                    return;
                // No slot for it now: it waits its turn with the new link.
                m_queue.setState(position, QueueRow::Waiting);
                markTransferEnded();
                emit rowEnded(position);
                return;
            }
            if (!step.reason.isEmpty()) {
                outcome.reason = step.reason;
                m_queue.setReason(position, step.reason);
            }
            if (step.failed)
                m_queue.setState(position, QueueRow::Failed);
            if (m_queue.row(position).State == QueueRow::Failed
                && outcome.state == TransferEnd::State::Finished)
                outcome.state = TransferEnd::State::Failed;
        }
    }
    const QString endKey = position ? m_queue.row(position).Urls : key;
    qCInfo(lcDownload).nospace().noquote()
        << "method " << method << ", row " << endKey << ": " << transferStateName(outcome.state)
        << ", " << outcome.bytes << " bytes"
        << (outcome.reason.isEmpty() ? QString() : QStringLiteral(", ") + outcome.reason)
        << (outcome.finalUrl.isEmpty() ? QString()
                                       : QStringLiteral(", from ") + outcome.finalUrl.toString());
    markTransferEnded();
    // A slot below may close the window: nothing of this object is used after it is gone.
    QPointer<DownloadSession> alive(this);
    if (position) {
        const QueueRow &row = m_queue.row(position);
        const QString name = row.Name;
        const QString type = row.Type.toLower();
        const bool page = type == u"htm" || type == u"html" || type == u"xml";
        const bool failed = row.State == QueueRow::Failed;
        if (!rests)
            emit statusText(2, QStringLiteral("完成下载:") + name);
        if (alive && page)
            notify(101);
        if (alive && failed)
            notify(103);
        if (alive && page && options.autoLogin && (method == 1 || type != u"xml"))
            emit loginAutomationRequested(position);
    }
    if (alive)
        emit rowEnded(position);
}

void DownloadSession::restRow(int position, const QString &key, const TransferEnd &end)
{
    // The host named by the address asked for, whatever a redirect led to: that is the one
    // the next start would ask again.
    const QString host = HostKey(选择url(key));
    const qint64 seconds =
        courtesy.refused(host, end.retryAfter, now(), QDateTime::currentDateTimeUtc());
    m_queue.update(position, [&](QueueRow &r) {
        r.State = QueueRow::Waiting;
        r.Size.clear();
        r.Received.clear();
        r.Percent = QueueWords::percentHostResting(seconds);
    });
    m_restingRows.insert(key, host);
    showRests();
}

void DownloadSession::showRests()
{
    const double t = now();
    for (auto it = m_restingRows.begin(); it != m_restingRows.end();) {
        const int position = m_queue.positionOf(it.key());
        // Started again, ended by a command, or gone: no longer ours to count down.
        if (!position || m_queue.row(position).State != QueueRow::Waiting) {
            it = m_restingRows.erase(it);
            continue;
        }
        const qint64 left = courtesy.secondsLeft(it.value(), t);
        if (left <= 0) {
            m_queue.setPercent(position, QString());
            it = m_restingRows.erase(it);
            continue;
        }
        m_queue.setPercent(position, QueueWords::percentHostResting(left));
        ++it;
    }
    QStringList shown;
    for (const QString &host : courtesy.restingHosts(t))
        shown << host + u'（' + QString::number(courtesy.secondsLeft(host, t)) + u"秒）";
    if (shown.isEmpty() && !m_restShown)
        return;
    m_restShown = !shown.isEmpty();
    emit statusText(3, shown.isEmpty()
                           ? QString()
                           : QStringLiteral("网站限流，暂停下载：") + shown.join(u'、'));
}

} // namespace papyrant
