#pragma once

#include <QAbstractTableModel>
#include <QIcon>

namespace papyrant {

class DownloadQueue;

// The four 16x16 state icons of IL_LV3, in state order (1 waiting .. 4 failed).
QIcon queueStateIcon(int state);

// The rows of the download queue as ListView3 shows them: seven columns, the state icon on the
// first. Bulk changes of the queue arrive as one reset.
class DownloadQueueModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DownloadQueueModel(DownloadQueue &queue, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // 1-based queue position of a model row, and back.
    static int positionOf(const QModelIndex &index) { return index.isValid() ? index.row() + 1 : 0; }
    QModelIndex indexOf(int position, int column = 0) const { return index(position - 1, column); }

private:
    DownloadQueue &m_queue;
    // The rows the views know of: the queue has grown already when it reports an append.
    int m_rowCount = 0;
};

} // namespace papyrant
