#pragma once

#include "foundation/fileentry.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace papyrant {

// One file of the download queue (one row of ListView3).
struct QueueRow
{
    enum StateValue { Waiting = 1, Downloading = 2, Finished = 3, Failed = 4 };

    QString Urls;       // key: alternative URLs joined by "|", the first is the current one
    QString Name;       // "名称": file name without folder and extension
    QString Type;       // "类型": extension without the dot, may be empty
    QString Size;       // "文件大小": bytes as text, or one of the size words
    QString Received;   // "已下载数"
    QString Percent;    // "百分比": "37%", "100%" or one of the percent words
    QString SaveFolder; // "保存路径": ends with "/" once the scheduler has looked at the row
    QString BaseFlag;   // "B": "Y" asks for the base link in saved web pages
    QString Referer;    // "来源页面": the page the link was found on; sent as "Referer: "
    QString Reason;     // "原因": why the last transfer of the row failed or was skipped
    StateValue State = Waiting;
    // The file this program committed for the row, as it wrote it: the only file a clean-up of
    // the row may remove, and only while it is still that file.
    std::optional<FileIdentity> Committed;
};

// The texts the program writes into a row's columns.
namespace QueueWords {
// "文件大小"
inline QString sizeUnknown()
{
    return QStringLiteral("未知");
}
inline QString sizeFailed()
{
    return QStringLiteral("下载失败");
}
inline QString sizeCancelled()
{
    return QStringLiteral("下载取消");
}
inline QString sizeRetry()
{
    return QStringLiteral("等待重新下载");
}
// "百分比"
inline QString percentComplete()
{
    return QStringLiteral("100%");
}
inline QString percentTooLarge()
{
    return QStringLiteral("大文件，跳过");
}
inline QString percentExists()
{
    return QStringLiteral("已存在，跳过");
}
inline QString percentCannotReplace()
{
    return QStringLiteral("无法替换");
}
// A row that waits for its host's rest after a 429 or 503, counting down.
inline QString percentHostResting(qint64 seconds)
{
    return QStringLiteral("等待重试(网站限流)，%1秒").arg(seconds);
}
inline QString percentMissing()
{
    return QStringLiteral("不存在");
}
// "类型" of a web-page row put back by the re-download commands
inline QString typePlaceholder()
{
    return QStringLiteral("xxx");
}
// Reasons of a failed row
inline QString reasonFolderName()
{
    return QStringLiteral("文件夹名称有误，不能创建文件夹");
}
inline QString reasonFolderNotMade()
{
    return QStringLiteral("不能创建文件夹");
}
} // namespace QueueWords

// The columns of ListView3, left to right. The last two, the page a link came from (a landing
// page once its full text replaced the link) and the reason of a transfer's end, are hidden
// until the user shows them.
enum class QueueColumn {
    Name,
    Type,
    Size,
    Received,
    Percent,
    SaveFolder,
    BaseFlag,
    Source,
    Reason
};
constexpr int QueueColumnCount = 9;
QString queueColumnHeader(int column);
bool queueColumnRightAligned(int column);
// What a column shows of a row.
QString queueColumnText(const QueueRow &row, int column);

// A web-page type ("htm", "html", and with withXml "xml"), in any letter case.
bool isWebPageType(const QString &type, bool withXml);
// A number in a column as the commands read it: "," separators dropped, spaces around allowed;
// nothing for text that is no finite number ("未知", "下载失败", "50%").
std::optional<double> queueNumber(QString text);

// The file of a row: SaveFolder + Name, and "." + Type when Type is not empty.
QString RowFilePath(const QueueRow &row);

class DownloadQueue;
// Ends a row as failed with the reason the user reads there, in "文件大小" and in "原因" (a
// transfer's own end keeps its reason through DownloadSession::endRow).
void FailRowWithReason(DownloadQueue &queue, int position, const QString &reason);

// The current URL of a key: the part before the first "|".
QString 选择url(const QString &key);
// Rotates two or three alternatives one place to the right; other keys come back unchanged.
QString 对调url(const QString &key);

// The Referer a transfer of url sends for a row: the row's own page, or when it has none the
// site root of the url.
QString RefererFor(const QString &rowReferer, const QString &url);

// The download queue: rows by 1-based position, keys unique through an index. Rows are changed
// only through the queue so that the key index, the per-state counts and the list view stay right.
// Positions out of range are ignored by every setter.
class DownloadQueue : public QObject
{
    Q_OBJECT
public:
    explicit DownloadQueue(QObject *parent = nullptr);

    int count() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    bool isValidPosition(int position) const { return position >= 1 && position <= count(); }
    // The row stays at the same address while it is in the queue, wherever it moves. A position
    // that holds no row (the row was cleared meanwhile) gives an empty row with an empty key.
    const QueueRow &row(int position) const
    {
        return isValidPosition(position) ? *m_rows[size_t(position - 1)] : noRow();
    }

    bool contains(const QString &key) const { return m_index.contains(key); }
    int positionOf(const QString &key) const { return m_index.value(key, 0); } // 0: absent

    // Appends at the end; a duplicate or empty key changes nothing. Returns the new position or 0.
    int append(const QueueRow &row) { return append(QueueRow(row)); }
    int append(QueueRow &&row); // a refused row is left as it was

    // Replaces the key; refused (false) when another row holds the new key or it is empty.
    bool setUrls(int position, const QString &key);
    void setName(int position, const QString &text);
    void setType(int position, const QString &text);
    void setSize(int position, const QString &text);
    void setReceived(int position, const QString &text);
    void setPercent(int position, const QString &text);
    void setSaveFolder(int position, const QString &text);
    void setBaseFlag(int position, const QString &text);
    void setReferer(int position, const QString &text);
    void setReason(int position, const QString &text);
    void setState(int position, QueueRow::StateValue state);
    // Sets "文件大小", "已下载数" and "百分比" at once (empty strings clear them).
    void setProgress(int position, const QString &size, const QString &received,
                     const QString &percent);
    // Any other change of several fields; the key is kept (use setUrls to change it).
    void update(int position, const std::function<void(QueueRow &)> &change);

    void removeAt(int position);
    // Removes every row the predicate picks, in one pass; returns how many went.
    int removeIf(const std::function<bool(const QueueRow &)> &pick);
    // Moves the row at from so that it ends up at position to.
    void move(int from, int to);
    void clear();
    // Reorders the rows (e.g. sorting by a column); the key index follows.
    void sort(const std::function<bool(const QueueRow &, const QueueRow &)> &less);

    // Bulk changes: while a batch is open the list view is not told row by row; closing the
    // outermost batch resets it once.
    void beginBatch();
    void endBatch();

    int countInState(QueueRow::StateValue state) const;
    int 统计未下载项数目() const { return m_unstarted; }
    bool 检测是否下载列表完毕() const;
    int CountFailedOrPageRows() const { return m_failedOrPage; }
    // The text of the fourth status-bar panel.
    QString ShowQueueCounts() const;

signals:
    void rowsAppended(int firstPosition, int lastPosition);
    void rowChanged(int position);
    // setUrls gave a row another key; a transfer that finds its row by key follows it.
    void keyChanged(const QString &from, const QString &to);
    void rowsReset();

private:
    static const QueueRow &noRow();
    void account(const QueueRow &row, int sign);
    void rebuildIndex(int fromPosition);
    void changed(int position);
    void structureChanged();

    std::vector<std::unique_ptr<QueueRow>> m_rows;
    QHash<QString, int> m_index; // key -> position
    int m_stateCounts[5] = {};
    int m_unstarted = 0;
    int m_failedOrPage = 0;
    int m_batchDepth = 0;
    bool m_batchDirty = false;
};

} // namespace papyrant
