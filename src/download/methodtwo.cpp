#include "download/methodtwo.h"

#include "download/downloadqueue.h"
#include "download/downloadsession.h"
#include "transfer/downloader.h"

#include <cmath>

namespace papyrant {

using namespace Qt::Literals::StringLiterals;

MethodSwitch 切换下载方式(int currentMethod)
{
    MethodSwitch next;
    next.method = currentMethod == 2 ? 1 : 2;
    next.label = u"下载方式："_s + QString::number(next.method);
    next.threadText = u"1"_s;
    next.threadEnabled = next.method == 2;
    return next;
}

MethodTwo::MethodTwo(DownloadSession &session, QObject *parent)
    : QObject(parent), m_session(session)
{
    // "批量替换网址" may rewrite the key of a row being fetched.
    connect(&session.queue(), &DownloadQueue::keyChanged, this,
            [this](const QString &from, const QString &to) {
                for (QString &key : m_keys)
                    if (key == from)
                        key = to;
            });
}

MethodTwo::~MethodTwo()
{
    for (int slot = 1; slot <= MaxSlots; ++slot)
        unload(slot);
}

Downloader *MethodTwo::downloader(int slot) const
{
    return slot >= 1 && slot <= MaxSlots ? m_slots[size_t(slot)] : nullptr;
}

bool MethodTwo::isLoaded(int slot) const
{
    return downloader(slot) != nullptr;
}

void MethodTwo::unload(int slot)
{
    Downloader *d = downloader(slot);
    if (!d)
        return;
    m_slots[size_t(slot)] = nullptr;
    m_keys[size_t(slot)].clear();
    m_names[size_t(slot)].release();
    d->disconnect(this);
    d->CancelAsyncRead(); // removes what it wrote of an unfinished body
    d->deleteLater();     // the handler that unloads it may be running inside its signal
}

void MethodTwo::多线程下载(int slot, int position, const QString &url, const QString &path)
{
    if (slot < 1 || slot > MaxSlots || !m_session.queue().isValidPosition(position))
        return;
    unload(slot);
    auto *d = new Downloader(this);
    d->setStallLimitMs(m_session.limits.downloaderStallMs);
    d->setWatchdogTickMs(m_session.limits.watchdogTickMs);
    d->setReplaceExisting(m_session.options.sameName == SameNameRule::Overwrite);
    m_slots[size_t(slot)] = d;
    // Nothing stands under the name until the body is whole: the name is held here meanwhile.
    m_names[size_t(slot)] = m_session.names.reserve(path);
    connect(
        d, &Downloader::DownloadProgress, this,
        [this, slot](qint64 c, qint64 m, const QString &f) { DownloadProgress(slot, c, m, f); });
    connect(
        d, &Downloader::DownloadComplete, this,
        [this, slot](qint64 c, qint64 m, const QString &f) { DownloadComplete(slot, c, m, f); });
    connect(d, &Downloader::DownloadError, this,
            [this, slot](const QString &code, const QString &f) { DownloadError(slot, code, f); });
    connect(d, &Downloader::BodyWritten, this,
            [this, slot](qint64 bytes, const QString &f) { BodyWritten(slot, bytes, f); });

    const QueueRow &row = m_session.queue().row(position);
    m_keys[size_t(slot)] = row.Urls;
    m_session.beginRow(slot, position);
    d->BeginDownload(url, path, RefererFor(row.Referer, url));
}

int MethodTwo::rowOf(int index)
{
    if (index < 1 || index > MaxSlots || m_keys[size_t(index)].isEmpty())
        return 0;
    const DownloadQueue &queue = m_session.queue();
    const QString &key = m_keys[size_t(index)];
    int position = m_session.SlotRows[size_t(index)];
    if (queue.row(position).Urls == key)
        return position;
    position = queue.positionOf(key);
    if (position)
        m_session.SlotRows[size_t(index)] = position;
    return position;
}

static void showCounts(DownloadQueue &queue, int position, qint64 cur, qint64 max)
{
    queue.setProgress(position, QString::number(max), QString::number(cur),
                      QString::number(qint64(std::floor(double(cur) / double(max) * 100))) + u'%');
}

// How the slot's transfer ended, with the reason of a failure or a skip.
TransferEnd MethodTwo::endOf(int index, TransferEnd::State state, const QString &reason) const
{
    const Downloader *d = downloader(index);
    TransferEnd end = d ? d->end() : TransferEnd();
    end.state = state;
    if (!reason.isEmpty() || state == TransferEnd::State::Finished)
        end.reason = reason;
    return end;
}

void MethodTwo::skipTooLarge(int index, int position)
{
    DownloadQueue &queue = m_session.queue();
    const QString key = queue.row(position).Urls;
    queue.setState(position, QueueRow::Finished);
    queue.setPercent(position, QueueWords::percentTooLarge());
    TransferEnd end = endOf(index, TransferEnd::State::Skipped, TransferReason::tooLarge());
    end.bytes = queue.row(position).Received.toLongLong();
    unload(index); // takes its partial body with it
    m_session.endRow(key, false, 2, end);
}

void MethodTwo::DownloadProgress(int index, qint64 CurBytes, qint64 MaxBytes, const QString &)
{
    const int position = rowOf(index);
    if (!position || !(MaxBytes > 0 && MaxBytes >= CurBytes))
        return;
    showCounts(m_session.queue(), position, CurBytes, MaxBytes);
    if (MaxBytes / 1024.0 / 1024.0 > m_session.options.maxFileSizeMB)
        skipTooLarge(index, position);
}

void MethodTwo::BodyWritten(int index, qint64 bytes, const QString &)
{
    // A body of unknown length gets no progress reports; the limit still holds for it.
    const int position = rowOf(index);
    if (position && bytes / 1024.0 / 1024.0 > m_session.options.maxFileSizeMB)
        skipTooLarge(index, position);
}

void MethodTwo::DownloadComplete(int index, qint64 CurBytes, qint64 MaxBytes,
                                 const QString &SaveFile)
{
    if (index < 1 || index > MaxSlots)
        return;
    DownloadQueue &queue = m_session.queue();
    const int position = rowOf(index);
    const QString key = queue.row(position).Urls;
    m_session.fileCommitted(position, SaveFile);
    bool whole = true;
    if (position) {
        if (MaxBytes > 0 && MaxBytes >= CurBytes)
            showCounts(queue, position, CurBytes, MaxBytes);
        whole = queue.row(position).Percent == QueueWords::percentComplete();
        queue.setState(position, whole ? QueueRow::Finished : QueueRow::Failed);
    }
    const TransferEnd end =
        whole ? endOf(index, TransferEnd::State::Finished)
              : endOf(index, TransferEnd::State::Failed, TransferReason::incomplete());
    unload(index);
    m_session.endRow(key, true, 2, end);
}

void MethodTwo::DownloadError(int index, const QString &, const QString &)
{
    if (index < 1 || index > MaxSlots)
        return;
    const int position = rowOf(index);
    const QString key = m_session.queue().row(position).Urls;
    m_session.queue().setState(position, QueueRow::Failed);
    // The row shows no MissCode; its reason says what went wrong.
    const TransferEnd end = endOf(index, TransferEnd::State::Failed);
    unload(index);
    m_session.endRow(key, false, 2, end);
}

} // namespace papyrant
