#include "download/queuecommands.h"

#include "download/downloadqueue.h"
#include "download/downloadsession.h"
#include "download/requeue.h"
#include "download/scheduler.h"
#include "download/transfermethods.h"
#include "foundation/fileutil.h"
#include "foundation/prompts.h"
#include "foundation/shell.h"
#include "foundation/textfile.h"

#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <cmath>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

QString queueCountText(int rows)
{
    return QString::number(rows) + u"条"_s;
}

namespace {

// Which of the rows not moved yet is the k-th: a Fenwick tree over "still unmoved" flags, so
// that 10,000 draws over 100,000 rows cost no more than a sort.
class UnmovedRows
{
public:
    explicit UnmovedRows(int n) : m_tree(size_t(n) + 1, 0), m_n(n)
    {
        for (int i = 1; i <= n; ++i) {
            m_tree[size_t(i)] += 1;
            const int up = i + (i & -i);
            if (up <= n)
                m_tree[size_t(up)] += m_tree[size_t(i)];
        }
    }
    // The index (1-based) of the k-th unmoved row; it counts as moved afterwards.
    int take(int k)
    {
        int at = 0;
        int step = 1;
        while (step * 2 <= m_n)
            step *= 2;
        for (; step > 0; step /= 2) {
            const int next = at + step;
            if (next <= m_n && m_tree[size_t(next)] < k) {
                at = next;
                k -= m_tree[size_t(next)];
            }
        }
        const int found = at + 1;
        for (int i = found; i <= m_n; i += i & -i)
            m_tree[size_t(i)] -= 1;
        return found;
    }

private:
    std::vector<int> m_tree;
    int m_n;
};

// Numbers as fixed-width digits compare as text in numeric order.
QString paddedNumber(double value)
{
    const qint64 whole = std::llround(value);
    const QString digits = QString::number(whole < 0 ? -whole : whole).rightJustified(20, u'0');
    return whole < 0 ? u'-' + digits : digits;
}

bool ended(const QueueRow &row)
{
    return row.State == QueueRow::Finished || row.State == QueueRow::Failed;
}

} // namespace

void ShuffleQueue(DownloadQueue &queue, const std::function<int(int)> &draw)
{
    const int n = queue.count();
    const int draws = std::min(n, 10000);
    if (draws < 1)
        return;
    UnmovedRows unmoved(n);
    std::vector<bool> moved(size_t(n) + 1, false);
    std::vector<int> order; // the moved rows, in the order they went to the end
    order.reserve(size_t(draws));
    for (int i = 0; i < draws; ++i) {
        const int m = n - i;
        const int r = std::clamp(draw(m), 1, m);
        const int index = unmoved.take(r);
        moved[size_t(index)] = true;
        order.push_back(index);
    }
    // Rows never drawn keep their order at the top; the drawn ones follow in draw order.
    QHash<const QueueRow *, int> rank;
    rank.reserve(n);
    int next = 0;
    for (int p = 1; p <= n; ++p)
        if (!moved[size_t(p)])
            rank.insert(&queue.row(p), next++);
    for (int index : order)
        rank.insert(&queue.row(index), next++);
    queue.sort(
        [&](const QueueRow &a, const QueueRow &b) { return rank.value(&a) < rank.value(&b); });
}

void SortQueueByColumn(DownloadQueue &queue, int column, bool descending)
{
    if (column < 0 || column >= QueueColumnCount)
        return;
    const bool counts = column == int(QueueColumn::Size) || column == int(QueueColumn::Received);
    const bool percent = column == int(QueueColumn::Percent);
    QHash<const QueueRow *, QString> keys;
    keys.reserve(queue.count());
    for (int p = 1; p <= queue.count(); ++p) {
        const QueueRow &row = queue.row(p);
        QString key = queueColumnText(row, column);
        if (counts || percent) {
            QString number = key;
            if (percent)
                number.remove(u'%');
            if (const std::optional<double> value = queueNumber(number))
                key = paddedNumber(*value);
        }
        keys.insert(&row, key);
    }
    queue.beginBatch();
    queue.sort([&](const QueueRow &a, const QueueRow &b) {
        const int c = keys.value(&a).compare(keys.value(&b), Qt::CaseInsensitive);
        return descending ? c > 0 : c < 0;
    });
    if (counts || percent) {
        for (int p = 1; p <= queue.count(); ++p) {
            QString text = queueColumnText(queue.row(p), column);
            if (percent)
                text.remove(u'%');
            const std::optional<double> value = queueNumber(text);
            if (!value)
                continue;
            const QString plain = QString::number(std::llround(*value));
            queue.update(p, [&](QueueRow &r) {
                if (column == int(QueueColumn::Size))
                    r.Size = plain;
                else if (column == int(QueueColumn::Received))
                    r.Received = plain;
                else
                    r.Percent = plain + u'%';
            });
        }
    }
    queue.endBatch();
}

QString itemClickText(const QueueRow &row)
{
    const QString path = RowFilePath(row);
    return FileExists(path) ? path : QString();
}

QueueCommands::QueueCommands(DownloadSession &session, DownloadScheduler &scheduler,
                             MethodOneTransfer &methodOne, MethodTwoTransfers &methodTwo,
                             Prompts &prompts)
    : m_session(session), m_scheduler(scheduler), m_one(methodOne), m_two(methodTwo),
      m_prompts(prompts)
{
    draw = [](int m) { return int(QRandomGenerator::global()->bounded(m)) + 1; };
}

bool QueueCommands::stoppedGuard()
{
    if (m_scheduler.DownloadsStopped())
        return true;
    m_prompts.message(u"停止下载以后，才能执行此操作！"_s, Prompts::Icon::Information);
    return false;
}

void QueueCommands::随机排序列表()
{
    if (!stoppedGuard())
        return;
    ShuffleQueue(m_session.queue(), draw);
    m_prompts.message(u"随机排序完成！"_s, Prompts::Icon::Information);
}

int QueueCommands::removeWhere(const std::function<bool(const QueueRow &)> &pick)
{
    if (!stoppedGuard())
        return 0;
    return m_session.queue().removeIf(pick);
}

int QueueCommands::清除选中项(const QList<int> &selected)
{
    DownloadQueue &queue = m_session.queue();
    QSet<const QueueRow *> rows;
    for (int p : selected)
        if (queue.isValidPosition(p))
            rows.insert(&queue.row(p));
    return removeWhere([&](const QueueRow &r) { return rows.contains(&r); });
}

int QueueCommands::清除全部出错项()
{
    return removeWhere([](const QueueRow &r) { return r.State == QueueRow::Failed; });
}

int QueueCommands::清除完成项()
{
    return removeWhere([](const QueueRow &r) { return r.State == QueueRow::Finished; });
}

bool QueueCommands::清空()
{
    if (!stoppedGuard())
        return false;
    if (!m_prompts.askYesNo(u"您确定要清空列表的所有信息吗？"_s, Prompts::Icon::None))
        return false;
    m_session.queue().clear();
    return true;
}

int QueueCommands::deleteFilesWhere(const std::function<bool(const QueueRow &)> &pick)
{
    DownloadQueue &queue = m_session.queue();
    int count = 0;
    queue.beginBatch();
    const int rows = queue.count();
    for (int p = 1; p <= rows; ++p) {
        if (!pick(queue.row(p)))
            continue;
        queue.setProgress(p, {}, {}, {});
        DeleteRowFile(queue, p);
        ++count;
    }
    queue.endBatch();
    return count;
}

int QueueCommands::删除网页类型文件项()
{
    return deleteFilesWhere(
        [](const QueueRow &r) { return ended(r) && isWebPageType(r.Type, true); });
}

int QueueCommands::删除出错项()
{
    return deleteFilesWhere([](const QueueRow &r) { return r.State == QueueRow::Failed; });
}

int QueueCommands::取消下载选中项(const QList<int> &selected)
{
    if (m_scheduler.Transferring()) {
        m_prompts.message(u"停止下载后方可设置！"_s, Prompts::Icon::Error);
        return 0;
    }
    DownloadQueue &queue = m_session.queue();
    int count = 0;
    queue.beginBatch();
    for (int p : selected) {
        if (queue.isValidPosition(p) && queue.row(p).State == QueueRow::Waiting) {
            queue.setState(p, QueueRow::Failed);
            queue.setReason(p, TransferReason::cancelled());
            ++count;
        }
    }
    queue.endBatch();
    return count;
}

QString QueueCommands::existingRowFile(int position)
{
    DownloadQueue &queue = m_session.queue();
    if (!queue.isValidPosition(position))
        return {};
    const QString path = RowFilePath(queue.row(position));
    if (!FileExists(path)) {
        m_prompts.message(u"该文件不存在！"_s, Prompts::Icon::Error);
        return {};
    }
    return path;
}

void QueueCommands::打开下载文件(int position)
{
    const QString path = existingRowFile(position);
    if (!path.isEmpty())
        OpenDocument(path, m_prompts);
}

void QueueCommands::打开文件所在文件夹(int position)
{
    DownloadQueue &queue = m_session.queue();
    if (!queue.isValidPosition(position))
        return;
    const QueueRow &row = queue.row(position);
    if (!FolderExists(row.SaveFolder)) {
        m_prompts.message(u"文件夹不存在！"_s, Prompts::Icon::Error);
        return;
    }
    const QString path = RowFilePath(row);
    if (FileExists(path)) {
        if (!showInFolder || !showInFolder(path))
            m_prompts.message(u"打开失败！"_s, Prompts::Icon::Error);
        return;
    }
    OpenFolder(row.SaveFolder);
}

void QueueCommands::用记事本打开文件(int position)
{
    const QString path = existingRowFile(position);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).size() / 1024.0 > 2048) {
        m_prompts.message(u"该文件太大，超过了2M，不便于用记事本打开！"_s, Prompts::Icon::Error);
        return;
    }
    OpenInTextEditor(path);
}

bool QueueCommands::批量替换网址(const QString &find, const QString &replacement,
                                 const std::function<void()> &closeDialog)
{
    if (find.trimmed().isEmpty()) {
        m_prompts.message(u"请输入字符串！"_s, Prompts::Icon::Error);
        return false;
    }
    if (closeDialog)
        closeDialog();
    DownloadQueue &queue = m_session.queue();
    queue.beginBatch();
    for (int p = 1; p <= queue.count(); ++p) {
        QString key = queue.row(p).Urls;
        key.replace(find, replacement, Qt::CaseInsensitive);
        // Keys stay unique: a row whose new key another row holds keeps its own.
        queue.setUrls(p, key);
        QString referer = queue.row(p).Referer;
        referer.replace(find, replacement, Qt::CaseInsensitive);
        queue.setReferer(p, referer);
    }
    queue.endBatch();
    m_prompts.message(u"全部网址替换完成！"_s, Prompts::Icon::Information);
    return true;
}

bool QueueCommands::导出名称(bool unfinishedOnly)
{
    DownloadQueue &queue = m_session.queue();
    if (queue.isEmpty())
        return false;
    // ".txt" for a name without extension, added by the dialog before its question about a
    // file of that name.
    const QString path = m_prompts.saveFile({}, u"*.txt (*.txt)"_s, {}, u"txt"_s);
    if (path.trimmed().isEmpty())
        return false;
    QString text;
    for (int p = 1; p <= queue.count(); ++p) {
        const QueueRow &row = queue.row(p);
        if (unfinishedOnly && row.State == QueueRow::Finished)
            continue;
        text += row.Name + u"\r\n"_s;
    }
    // Names the code page cannot hold (a Korean title on a Chinese system) are kept, not
    // turned into "?": see WritePlainTextFile.
    const TextFileResult result = WritePlainTextFile(path, text);
    if (!result.ok) {
        m_prompts.message(FileNotSavedMessage(path, result.error), Prompts::Icon::Error);
        return false;
    }
    return true;
}

std::optional<bool> QueueCommands::排序(int column)
{
    if (m_scheduler.isOn() || m_scheduler.Transferring()) {
        m_prompts.message(u"停止下载后方可排序！"_s, Prompts::Icon::Information);
        return std::nullopt;
    }
    m_descending = !m_descending;
    SortQueueByColumn(m_session.queue(), column, m_descending);
    return m_descending;
}

void QueueCommands::双击(int position)
{
    DownloadQueue &queue = m_session.queue();
    if (!queue.isValidPosition(position))
        return;
    const QueueRow &row = queue.row(position);
    if (row.State == QueueRow::Finished) {
        OpenDocument(RowFilePath(row), m_prompts); // "文件不存在！" when it is gone
    } else if (row.State == QueueRow::Failed) {
        DeleteRowFile(queue, position);
        queue.update(position, [](QueueRow &r) {
            r.State = QueueRow::Waiting;
            r.Size.clear();
            r.Received.clear();
            r.Percent.clear();
        });
    }
}

ListMenuState QueueCommands::listMenuState() const
{
    const bool busy = m_scheduler.Transferring() || m_scheduler.isOn();
    return {!busy, !busy, busy, !busy};
}

bool QueueCommands::closeNeedsQuestion() const
{
    return m_scheduler.isOn() || m_two.LoadedDownloaderCount() > 1 || m_one.isExecuting()
           || !m_session.queue().检测是否下载列表完毕();
}

} // namespace papyrant
