// The menu tree of the download window and the commands behind it.
#include "download/ui/ffiledownload.h"

#include "download/downloadqueue.h"
#include "download/filetype.h"
#include "download/queuecommands.h"
#include "download/requeue.h"
#include "download/scheduler.h"
#include "download/ui/urlreplace.h"
#include "foundation/makerpages.h"
#include "foundation/prompts.h"
#include "foundation/shell.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

QAction *FFileDownload::command(QMenu *menu, const QString &name, const QString &caption,
                                const std::function<void()> &run)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    if (run)
        connect(action, &QAction::triggered, this, [run] { run(); });
    else
        action->setEnabled(false);
    return action;
}

namespace {

QMenu *submenu(QMenu *parent, const QString &name, const QString &caption)
{
    QMenu *menu = parent->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
}

QMenu *topMenu(QMenuBar *bar, const QString &name, const QString &caption)
{
    QMenu *menu = bar->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
}

} // namespace

void FFileDownload::buildMenus()
{
    QMenuBar *bar = menuBar();
    DownloadQueue &queue = *m_queue;
    QueueCommands &commands = *m_commands;
    Prompts &prompts = *m_prompts;

    // 列表操作: also the pop-up menu of the list.
    QMenu *list = m_menu下载 = topMenu(bar, u"menu下载"_s, u"列表操作(&D)"_s);
    m_menu全选 =
        command(list, u"menu全选专利列表"_s, u"全选"_s, [this] { m_listView3->selectAll(); });
    command(list, u"menu全不选"_s, u"全不选"_s, [this] { m_listView3->clearSelection(); });
    command(list, u"menu随机排序列表"_s, u"随机排序列表(打乱)"_s,
            [&commands] { commands.随机排序列表(); });
    command(list, u"menu自动列宽"_s, u"自动调整列宽"_s, [this] { autoFitColumns(); });
    list->addSeparator();

    QMenu *again = submenu(list, u"menu重新下载"_s, u"重新下载"_s);
    command(again, u"menu重新下载选中项"_s, u"选中项"_s,
            [this, &queue] { 重新下载选中项(queue, selectedPositions()); });
    command(again, u"menu重新下载出错项"_s, u"出错项"_s, [&queue] { 重新下载出错项(queue); });
    command(again, u"menu重新下载文件类型为HTM和HTML项"_s, u"网页类型文件(HTM/HTML/xml)项"_s,
            [&queue] { 重新下载文件类型为HTM和HTML项(queue); });
    command(again, u"menu重新下载出错项和网页项"_s, u"重新下载出错项和网页类型文件项"_s,
            [&queue] { 重新下载出错项和网页项(queue); });
    command(again, u"menu重新下载文件大小小于指定数字的项"_s, u"文件大小小于指定数字的项"_s,
            [&queue, &prompts] { 重新下载文件大小小于指定数字的项(queue, prompts); });
    list->addSeparator();

    m_menu清除 = submenu(list, u"menu清除"_s, u"清除"_s);
    command(m_menu清除, u"menu清除选中项"_s, u"选中项"_s,
            [this, &commands] { commands.清除选中项(selectedPositions()); });
    command(m_menu清除, u"menu清除全部出错项"_s, u"全部出错项"_s,
            [&commands] { commands.清除全部出错项(); });
    command(m_menu清除, u"menu清除完成项"_s, u"完成项"_s, [&commands] { commands.清除完成项(); });
    m_menu清空 = command(list, u"menu清空"_s, u"清空"_s, [&commands] { commands.清空(); });
    QMenu *remove = submenu(list, u"menu删除"_s, u"删除文件"_s);
    command(remove, u"menu删除网页类型文件项"_s, u"网页类型文件(HTM/HTML/xml)项"_s,
            [&commands] { commands.删除网页类型文件项(); });
    command(remove, u"menu删除出错项"_s, u"出错项"_s, [&commands] { commands.删除出错项(); });
    list->addSeparator();

    DownloadScheduler *scheduler = m_scheduler.get();
    m_menu下载全部 = command(list, u"menu下载全部"_s, u"开始下载"_s,
                             [scheduler] { scheduler->startDownloads(); });
    m_menu停止下载 = command(list, u"menu停止下载"_s, u"停止下载"_s,
                             [scheduler] { scheduler->stopDownloads(); });
    command(list, u"menu取消下载选中项"_s, u"取消下载选中项"_s,
            [this, &commands] { commands.取消下载选中项(selectedPositions()); });
    list->addSeparator();

    command(list, u"menu打开下载文件"_s, u"打开下载文件"_s,
            [this, &commands] { commands.打开下载文件(selectedPosition()); });
    command(list, u"menu打开文件所在文件夹"_s, u"打开所在文件夹"_s,
            [this, &commands] { commands.打开文件所在文件夹(selectedPosition()); });
    command(list, u"menu用记事本打开文件"_s, u"用记事本打开文件"_s,
            [this, &commands] { commands.用记事本打开文件(selectedPosition()); });
    list->addSeparator();

    command(list, u"menu复制名称"_s, u"复制名称"_s, [this] { copyName(); });
    command(list, u"menu批量替换网址"_s, u"批量替换网址"_s, [this] { replaceUrls(); });
    QMenu *names = submenu(list, u"menu导出名称"_s, u"导出名称"_s);
    command(names, u"menu导出全部名称"_s, u"全部"_s, [&commands] { commands.导出名称(false); });
    command(names, u"menu导出未完成项名称"_s, u"未完成项"_s,
            [&commands] { commands.导出名称(true); });
    list->addSeparator();
    command(list, u"menu退出本下载窗口"_s, u"关闭本下载窗口"_s, [this] { close(); });

    QMenu *windows = topMenu(bar, u"menu窗口"_s, u"窗口(&W)"_s);
    command(windows, u"menu资料检索分析窗口"_s, u"资料检索分析窗口"_s, m_hooks.showSearchWindow);

    QMenu *tools = topMenu(bar, u"menu工具"_s, u"工具(&T)"_s);
    command(tools, u"设置"_s, u"设置"_s, m_hooks.showOptions);
    m_menu自动定位到下载项 = command(tools, u"menu自动定位到下载项"_s, u"自动定位到下载项"_s, {});
    m_menu自动定位到下载项->setEnabled(true);
    m_menu自动定位到下载项->setCheckable(true);
    tools->addSeparator();
    command(tools, u"menu检查文件是否存在"_s, u"检查文件是否存在"_s,
            [&queue] { 检查文件是否存在(queue); });
    command(tools, u"menu检查并纠正磁盘文件类型"_s, u"检查并纠正磁盘文件类型"_s,
            [this, &queue, &prompts, scheduler] {
                检查并纠正磁盘文件类型(queue, prompts, scheduler->downloadsActive(),
                                       m_session->options.sameName, &m_session->names);
            });
    tools->addSeparator();
    std::function<void()> clearCache;
    if (m_hooks.clearBrowserCache) {
        clearCache = [this, &prompts] {
            m_hooks.clearBrowserCache();
            prompts.message(u"IE缓存清空完毕！"_s, Prompts::Icon::Information);
        };
    }
    command(tools, u"menu清空IE浏览器缓存"_s, u"清空IE浏览器缓存"_s, clearCache);
    command(tools, u"menu打开文件判断类型"_s, u"打开文件判断类型"_s,
            [&prompts] { 打开文件判断类型(prompts); });

    QMenu *help = topMenu(bar, u"menu帮助"_s, u"帮助(&H)"_s);
    command(help, u"关于"_s, u"关于"_s, m_hooks.showAbout);
    help->addSeparator();
    command(help, u"menu最新版本"_s, u"最新版本"_s, m_hooks.showLatestVersion);
    command(help, u"menu软件主页"_s, u"软件主页"_s, [] {
        OpenWebPage(ProjectPage(), false);
    })->setVisible(!ProjectPage().isEmpty());
    command(help, u"menu给软件作者建议"_s, u"给软件作者建议"_s, [] { MailSuggestion(); });
}

void FFileDownload::replaceUrls()
{
    QueueCommands &commands = *m_commands;
    UrlReplace dialog(
        [&commands](const QString &find, const QString &replacement,
                    const std::function<void()> &closeDialog) {
            return commands.批量替换网址(find, replacement, closeDialog);
        },
        this);
    dialog.exec();
}

} // namespace papyrant
