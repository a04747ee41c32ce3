#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QTimer>

namespace papyrant {

class DownloadQueue;

// The four 16x16 state icons of IL_LV3, in state order (1 waiting .. 4 failed).
QIcon queueStateIcon(int state);

// The rows of the download queue as ListView3 shows them: seven columns, the state icon on the
// first. Bulk changes of the queue arrive as one reset. Changes of single rows (progress
// above all: six transfers report many times a second) are gathered and reported together
// at most every RepaintIntervalMs, so that painting cannot slow the transfers; data() always
// answers with the current values.
class DownloadQueueModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int RepaintIntervalMs = 100;

    explicit DownloadQueueModel(DownloadQueue &queue, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // 1-based queue position of a model row, and back.
    static int positionOf(const QModelIndex &index)
    {
        return index.isValid() ? index.row() + 1 : 0;
    }
    QModelIndex indexOf(int position, int column = 0) const { return index(position - 1, column); }

private:
    void reportChanges();

    DownloadQueue &m_queue;
    // The rows the views know of: the queue has grown already when it reports an append.
    int m_rowCount = 0;
    // Rows changed and not yet reported (0-based, first > last when none).
    int m_changedFirst = 1;
    int m_changedLast = 0;
    QTimer m_changeTimer;
};

} // namespace papyrant
