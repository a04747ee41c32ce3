#include "download/queuemodel.h"

#include "download/downloadqueue.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace papyrant {

namespace {

// Waiting: a grey clock; downloading: a blue arrow; finished: a green tick; failed: a red cross.
QImage drawStateImage(int state)
{
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (state) {
    case QueueRow::Waiting:
        p.setPen(QPen(QColor(110, 110, 110), 1.5));
        p.setBrush(QColor(235, 235, 235));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.drawLine(QPointF(8, 8), QPointF(8, 4));
        p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
        break;
    case QueueRow::Downloading: {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 110, 220));
        p.drawRect(QRectF(6, 1, 4, 7));
        QPainterPath head;
        head.moveTo(2, 7);
        head.lineTo(14, 7);
        head.lineTo(8, 14);
        head.closeSubpath();
        p.drawPath(head);
        break;
    }
    case QueueRow::Finished:
        p.setPen(QPen(QColor(20, 150, 60), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QList<QPointF>{{2.5, 8.5}, {6.5, 12.5}, {13.5, 3.5}});
        break;
    case QueueRow::Failed:
        p.setPen(QPen(QColor(210, 30, 30), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3, 3), QPointF(13, 13));
        p.drawLine(QPointF(13, 3), QPointF(3, 13));
        break;
    default: break;
    }
    return image;
}

} // namespace

QIcon queueStateIcon(int state)
{
    static QIcon icons[5];
    if (state < QueueRow::Waiting || state > QueueRow::Failed)
        return {};
    if (icons[state].isNull())
        icons[state] = QIcon(QPixmap::fromImage(drawStateImage(state)));
    return icons[state];
}

DownloadQueueModel::DownloadQueueModel(DownloadQueue &queue, QObject *parent)
    : QAbstractTableModel(parent), m_queue(queue), m_rowCount(queue.count())
{
    m_changeTimer.setSingleShot(true);
    m_changeTimer.setInterval(RepaintIntervalMs);
    connect(&m_changeTimer, &QTimer::timeout, this, &DownloadQueueModel::reportChanges);
    connect(&queue, &DownloadQueue::rowsAppended, this, [this](int, int last) {
        if (last <= m_rowCount)
            return;
        reportChanges(); // before the rows they concern may move on
        beginInsertRows({}, m_rowCount, last - 1);
        m_rowCount = last;
        endInsertRows();
    });
    connect(&queue, &DownloadQueue::rowChanged, this, [this](int position) {
        if (position < 1 || position > m_rowCount)
            return;
        m_changedFirst =
            m_changedFirst > m_changedLast ? position - 1 : std::min(m_changedFirst, position - 1);
        m_changedLast = std::max(m_changedLast, position - 1);
        if (!m_changeTimer.isActive())
            m_changeTimer.start();
    });
    connect(&queue, &DownloadQueue::rowsReset, this, [this] {
        // The views read every row again: pending changes need no report.
        m_changeTimer.stop();
        m_changedFirst = 1;
        m_changedLast = 0;
        beginResetModel();
        m_rowCount = m_queue.count();
        endResetModel();
    });
}

void DownloadQueueModel::reportChanges()
{
    m_changeTimer.stop();
    if (m_changedFirst > m_changedLast)
        return;
    const int first = m_changedFirst;
    const int last = std::min(m_changedLast, m_rowCount - 1);
    m_changedFirst = 1;
    m_changedLast = 0;
    if (first <= last)
        emit dataChanged(index(first, 0), index(last, QueueColumnCount - 1));
}

int DownloadQueueModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int DownloadQueueModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : QueueColumnCount;
}

QVariant DownloadQueueModel::data(const QModelIndex &index, int role) const
{
    const int position = index.row() + 1;
    if (!index.isValid() || position > m_rowCount || !m_queue.isValidPosition(position))
        return {};
    const QueueRow &row = m_queue.row(position);
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole: return queueColumnText(row, column);
    case Qt::ToolTipRole: {
        // The cell's text, and why the row's last transfer failed or was skipped.
        const QString text = queueColumnText(row, column);
        if (row.Reason.isEmpty() || column == int(QueueColumn::Reason))
            return text;
        const QString reason = QStringLiteral("原因：") + row.Reason;
        return text.isEmpty() ? reason : text + u'\n' + reason;
    }
    case Qt::DecorationRole: return column == 0 ? QVariant(queueStateIcon(row.State)) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(
            (queueColumnRightAligned(column) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    default: return {};
    }
}

QVariant DownloadQueueModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return queueColumnHeader(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(
            Qt::Alignment((queueColumnRightAligned(section) ? Qt::AlignRight : Qt::AlignLeft)
                          | Qt::AlignVCenter));
    return {};
}

} // namespace papyrant
