#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace papyrant {

class DownloadQueue;
class DownloadScheduler;
class DownloadSession;
class MethodOneTransfer;
class MethodTwoTransfers;
class Prompts;
struct QueueRow;

// Label1 of the download window: the number of rows followed by "条".
QString queueCountText(int rows);

// ShuffleQueue: up to 10,000 draws, each moving a row chosen uniformly among those not moved yet
// to the end. draw(m) answers a whole number from 1 to m.
void ShuffleQueue(DownloadQueue &queue, const std::function<int(int)> &draw);

// The sort of a column click: sizes, counts and percents in numeric order (text that is no
// number keeps its place among the texts), everything else by its text, ignoring case. The
// numbers of the sorted column are written back plainly ("1,000" becomes "1000").
void SortQueueByColumn(DownloadQueue &queue, int column, bool descending);

// Status panel 2 after a click on a row: its file when there is one, else nothing.
QString itemClickText(const QueueRow &row);

// The enabled states the right-click sets before it shows the list menu.
struct ListMenuState
{
    bool clear = true;     // the "清除" submenu
    bool clearAll = true;  // "清空"
    bool stop = false;     // "停止下载"
    bool selectAll = true; // "全选"
};

// The commands of the download window on its queue, with their guards and messages. The window
// passes the selected rows as 1-based positions; a command that needs one row gets the selected
// row, or 0 when none is selected (it then does nothing).
class QueueCommands
{
public:
    QueueCommands(DownloadSession &session, DownloadScheduler &scheduler,
                  MethodOneTransfer &methodOne, MethodTwoTransfers &methodTwo, Prompts &prompts);

    // Shows a file selected in its folder; the window sets it (the file manager is asked over
    // the desktop bus, which the logic does not link).
    std::function<bool(const QString &)> showInFolder;
    // A whole number from 1 to m for the shuffle; clock-seeded unless a test sets it.
    std::function<int(int)> draw;

    // menu随机排序列表
    void 随机排序列表();
    // menu清除选中项, menu清除全部出错项, menu清除完成项: the number of rows removed.
    int 清除选中项(const QList<int> &selected);
    int 清除全部出错项();
    int 清除完成项();
    // menu清空: true when the rows went.
    bool 清空();
    // menu删除网页类型文件项, menu删除出错项: the number of rows looked at.
    int 删除网页类型文件项();
    int 删除出错项();
    // menu取消下载选中项: the number of rows cancelled.
    int 取消下载选中项(const QList<int> &selected);
    // menu打开下载文件, menu打开文件所在文件夹, menu用记事本打开文件
    void 打开下载文件(int position);
    void 打开文件所在文件夹(int position);
    void 用记事本打开文件(int position);
    // The "替换" button of UrlReplace: false (and the dialog stays) when there is nothing to find;
    // otherwise closeDialog runs, every key and referer is rewritten and the end is reported.
    bool 批量替换网址(const QString &find, const QString &replacement,
                      const std::function<void()> &closeDialog);
    // menu导出全部名称 and menu导出未完成项名称: true when a file was written.
    bool 导出名称(bool unfinishedOnly);
    // A click on a column header: the order it sorted in, or nothing when downloads run.
    std::optional<bool> 排序(int column);
    bool descending() const { return m_descending; }
    // A double-click on the selected row.
    void 双击(int position);
    // The right-click's menu states.
    ListMenuState listMenuState() const;
    // The window may close without asking: nothing runs and every row has ended.
    bool closeNeedsQuestion() const;

private:
    bool stoppedGuard();
    // The row's file; empty (and "该文件不存在！" shown when the row is there) otherwise.
    QString existingRowFile(int position);
    int removeWhere(const std::function<bool(const QueueRow &)> &pick);
    int deleteFilesWhere(const std::function<bool(const QueueRow &)> &pick);

    DownloadSession &m_session;
    DownloadScheduler &m_scheduler;
    MethodOneTransfer &m_one;
    MethodTwoTransfers &m_two;
    Prompts &m_prompts;
    // The list control starts ascending, so that the first click sorts descending.
    bool m_descending = false;
};

} // namespace papyrant
