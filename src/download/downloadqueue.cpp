#include "download/downloadqueue.h"

#include "foundation/filenames.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace papyrant {

QString queueColumnHeader(int column)
{
    switch (column) {
    case 0: return QStringLiteral("名称");
    case 1: return QStringLiteral("类型");
    case 2: return QStringLiteral("文件大小");
    case 3: return QStringLiteral("已下载数");
    case 4: return QStringLiteral("百分比");
    case 5: return QStringLiteral("保存路径");
    case 6: return QStringLiteral("B");
    case 7: return QStringLiteral("来源页面");
    case 8: return QStringLiteral("原因");
    default: return {};
    }
}

bool queueColumnRightAligned(int column)
{
    return column == int(QueueColumn::Size) || column == int(QueueColumn::Received)
           || column == int(QueueColumn::Percent);
}

QString queueColumnText(const QueueRow &row, int column)
{
    switch (QueueColumn(column)) {
    case QueueColumn::Name: return row.Name;
    case QueueColumn::Type: return row.Type;
    case QueueColumn::Size: return row.Size;
    case QueueColumn::Received: return row.Received;
    case QueueColumn::Percent: return row.Percent;
    case QueueColumn::SaveFolder: return row.SaveFolder;
    case QueueColumn::BaseFlag: return row.BaseFlag;
    case QueueColumn::Source: return row.Referer;
    case QueueColumn::Reason: return row.Reason;
    }
    return {};
}

bool isWebPageType(const QString &type, bool withXml)
{
    return type.compare(u"htm", Qt::CaseInsensitive) == 0
           || type.compare(u"html", Qt::CaseInsensitive) == 0
           || (withXml && type.compare(u"xml", Qt::CaseInsensitive) == 0);
}

std::optional<double> queueNumber(QString text)
{
    text.remove(u',');
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString RowFilePath(const QueueRow &row)
{
    if (row.Type.isEmpty())
        return row.SaveFolder + row.Name;
    return row.SaveFolder + row.Name + u'.' + row.Type;
}

void FailRowWithReason(DownloadQueue &queue, int position, const QString &reason)
{
    queue.update(position, [&](QueueRow &r) {
        r.State = QueueRow::Failed;
        r.Size = reason;
        r.Reason = reason;
    });
}

QString 选择url(const QString &key)
{
    const qsizetype bar = key.indexOf(u'|');
    return bar < 0 ? key : key.left(bar);
}

QString 对调url(const QString &key)
{
    const QStringList parts = key.split(u'|');
    if (parts.size() == 2)
        return parts[1] + u'|' + parts[0];
    if (parts.size() == 3)
        return parts[2] + u'|' + parts[0] + u'|' + parts[1];
    return key;
}

QString RefererFor(const QString &rowReferer, const QString &url)
{
    return rowReferer.isEmpty() ? UrlSiteRoot(url) : rowReferer;
}

namespace {

bool isUnstarted(const QueueRow &row)
{
    return row.Size.isEmpty() && row.Received.isEmpty() && row.Percent.isEmpty();
}

bool isFailedOrPage(const QueueRow &row)
{
    return row.State == QueueRow::Failed || isWebPageType(row.Type, false);
}

QueueRow::StateValue validState(int state)
{
    return state >= QueueRow::Waiting && state <= QueueRow::Failed ? QueueRow::StateValue(state)
                                                                   : QueueRow::Waiting;
}

} // namespace

DownloadQueue::DownloadQueue(QObject *parent) : QObject(parent) {}

const QueueRow &DownloadQueue::noRow()
{
    static const QueueRow empty;
    return empty;
}

void DownloadQueue::account(const QueueRow &row, int sign)
{
    m_stateCounts[validState(row.State)] += sign;
    if (isUnstarted(row))
        m_unstarted += sign;
    if (isFailedOrPage(row))
        m_failedOrPage += sign;
}

int DownloadQueue::append(QueueRow &&row)
{
    if (row.Urls.isEmpty())
        return 0;
    const int position = count() + 1;
    // One lookup: a new key comes in with position 0 and is set below.
    const qsizetype before = m_index.size();
    int &slot = m_index[row.Urls];
    if (m_index.size() == before)
        return 0;
    slot = position;
    m_rows.push_back(std::make_unique<QueueRow>(std::move(row)));
    m_rows.back()->State = validState(m_rows.back()->State);
    account(*m_rows.back(), +1);
    if (m_batchDepth > 0)
        m_batchDirty = true;
    else
        emit rowsAppended(position, position);
    return position;
}

void DownloadQueue::changed(int position)
{
    if (m_batchDepth > 0)
        m_batchDirty = true;
    else
        emit rowChanged(position);
}

void DownloadQueue::structureChanged()
{
    if (m_batchDepth > 0)
        m_batchDirty = true;
    else
        emit rowsReset();
}

void DownloadQueue::update(int position, const std::function<void(QueueRow &)> &change)
{
    if (!isValidPosition(position))
        return;
    QueueRow &r = *m_rows[size_t(position - 1)];
    const QString key = r.Urls;
    account(r, -1);
    change(r);
    r.Urls = key;
    r.State = validState(r.State);
    account(r, +1);
    changed(position);
}

bool DownloadQueue::setUrls(int position, const QString &key)
{
    if (!isValidPosition(position) || key.isEmpty())
        return false;
    QueueRow &r = *m_rows[size_t(position - 1)];
    if (r.Urls == key)
        return true;
    if (m_index.contains(key))
        return false;
    const QString from = r.Urls;
    m_index.remove(from);
    m_index.insert(key, position);
    r.Urls = key;
    changed(position);
    emit keyChanged(from, key);
    return true;
}

void DownloadQueue::setName(int position, const QString &text)
{
    update(position, [&](QueueRow &r) { r.Name = text; });
}
void DownloadQueue::setType(int position, const QString &text)
{
    update(position, [&](QueueRow &r) { r.Type = text; });
}
void DownloadQueue::setSize(int position, const QString &text)
{
    update(position, [&](QueueRow &r) { r.Size = text; });
}
void DownloadQueue::setReceived(int position, const QString &text)
{
    update(position, [&](QueueRow &r) { r.Received = text; });
}
void DownloadQueue::setPercent(int position, const QString &text)
{
    update(position, [&](QueueRow &r) { r.Percent = text; });
}
void DownloadQueue::setSaveFolder(int position, const QString &text)
{
    update(position, [&](QueueRow &r) { r.SaveFolder = text; });
}
void DownloadQueue::setBaseFlag(int position, const QString &text)
{
    update(position, [&](QueueRow &r) { r.BaseFlag = text; });
}
void DownloadQueue::setReferer(int position, const QString &text)
{
    update(position, [&](QueueRow &r) { r.Referer = text; });
}
void DownloadQueue::setReason(int position, const QString &text)
{
    update(position, [&](QueueRow &r) { r.Reason = text; });
}
void DownloadQueue::setState(int position, QueueRow::StateValue state)
{
    update(position, [&](QueueRow &r) { r.State = state; });
}
void DownloadQueue::setProgress(int position, const QString &size, const QString &received,
                                const QString &percent)
{
    update(position, [&](QueueRow &r) {
        r.Size = size;
        r.Received = received;
        r.Percent = percent;
    });
}

void DownloadQueue::rebuildIndex(int fromPosition)
{
    for (int p = std::max(fromPosition, 1); p <= count(); ++p)
        m_index[m_rows[size_t(p - 1)]->Urls] = p;
}

void DownloadQueue::removeAt(int position)
{
    if (!isValidPosition(position))
        return;
    const QueueRow &r = *m_rows[size_t(position - 1)];
    account(r, -1);
    m_index.remove(r.Urls);
    m_rows.erase(m_rows.begin() + (position - 1));
    rebuildIndex(position);
    structureChanged();
}

int DownloadQueue::removeIf(const std::function<bool(const QueueRow &)> &pick)
{
    int removed = 0;
    int firstGone = 0;
    auto out = m_rows.begin();
    for (auto in = m_rows.begin(); in != m_rows.end(); ++in) {
        if (pick(**in)) {
            if (removed++ == 0)
                firstGone = int(in - m_rows.begin()) + 1;
            account(**in, -1);
            m_index.remove((*in)->Urls);
            in->reset();
            continue;
        }
        if (out != in)
            *out = std::move(*in);
        ++out;
    }
    if (removed == 0)
        return 0;
    m_rows.erase(out, m_rows.end());
    rebuildIndex(firstGone);
    structureChanged();
    return removed;
}

void DownloadQueue::move(int from, int to)
{
    if (!isValidPosition(from) || !isValidPosition(to) || from == to)
        return;
    auto first = m_rows.begin();
    if (from < to)
        std::rotate(first + (from - 1), first + from, first + to);
    else
        std::rotate(first + (to - 1), first + (from - 1), first + from);
    rebuildIndex(std::min(from, to));
    structureChanged();
}

void DownloadQueue::clear()
{
    m_rows.clear();
    m_index.clear();
    std::fill(std::begin(m_stateCounts), std::end(m_stateCounts), 0);
    m_unstarted = 0;
    m_failedOrPage = 0;
    structureChanged();
}

void DownloadQueue::sort(const std::function<bool(const QueueRow &, const QueueRow &)> &less)
{
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [&](const auto &a, const auto &b) { return less(*a, *b); });
    rebuildIndex(1);
    structureChanged();
}

void DownloadQueue::beginBatch()
{
    ++m_batchDepth;
}

void DownloadQueue::endBatch()
{
    if (m_batchDepth == 0 || --m_batchDepth > 0)
        return;
    if (m_batchDirty) {
        m_batchDirty = false;
        emit rowsReset();
    }
}

int DownloadQueue::countInState(QueueRow::StateValue state) const
{
    return state >= QueueRow::Waiting && state <= QueueRow::Failed ? m_stateCounts[state] : 0;
}

bool DownloadQueue::检测是否下载列表完毕() const
{
    return m_stateCounts[QueueRow::Waiting] == 0 && m_stateCounts[QueueRow::Downloading] == 0;
}

QString DownloadQueue::ShowQueueCounts() const
{
    return QStringLiteral("总数:") + QString::number(count()) + QStringLiteral(" 正在下载:")
           + QString::number(m_stateCounts[QueueRow::Downloading]) + QStringLiteral(" 等待:")
           + QString::number(m_stateCounts[QueueRow::Waiting]) + QStringLiteral(" 已完成:")
           + QString::number(m_stateCounts[QueueRow::Finished]) + QStringLiteral(" 失败:")
           + QString::number(m_stateCounts[QueueRow::Failed]);
}

} // namespace papyrant
