#pragma once

#include "transfer/sharednetwork.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QTableView;
class QTimer;
class QVBoxLayout;

namespace papyrant {

class DownloadQueue;
class DownloadQueueModel;
class DownloadScheduler;
class DownloadSession;
class LoginPanel;
class MethodOne;
class MethodTwo;
class Prompts;
class QueueCommands;
enum class SameNameRule;

// What the download window reaches outside its module, handed to it by the program's window
// owner. An empty call leaves its menu item disabled.
struct FFileDownloadHooks
{
    std::function<void()> showSearchWindow; // "资料检索分析窗口"
    std::function<void()> showOptions;      // "设置" (modal)
    std::function<void()> showAbout;        // "关于" (modal)
    std::function<void()> clearBrowserCache; // "清空IE浏览器缓存": the embedded browser's cache
    std::function<void()> showLatestVersion; // "最新版本": the product page
    std::function<void()> showCover;         // the window unloaded and no search window is loaded
};

// The download window fFileDownload: settings and buttons on top, the queue ListView3, the
// login panel PicWebBK over the list, the status bar and the menus. Its logic lives in the
// queue, the scheduler, the transfer methods, QueueCommands and LoginPanel; this class builds
// the controls and wires them. It loads (reads its settings, empty queue, housekeeping tick on)
// when made, hidden; it unloads when its close is accepted and then deletes itself.
class FFileDownload : public QMainWindow
{
    Q_OBJECT
public:
    // prompts: the dialogs to use (null: the real ones, modal to this window).
    explicit FFileDownload(FFileDownloadHooks hooks = {}, Prompts *prompts = nullptr,
                           QWidget *parent = nullptr);
    ~FFileDownload() override;

    DownloadQueue &queue() const { return *m_queue; }
    DownloadSession &session() const { return *m_session; }
    DownloadScheduler &scheduler() const { return *m_scheduler; }
    QueueCommands &commands() const { return *m_commands; }
    MethodOne &methodOne() const { return *m_one; }
    MethodTwo &methodTwo() const { return *m_two; }
    LoginPanel &loginPanel() const { return *m_login; }

    // 显示下载窗口: redraws the list, shows the window when hidden and, with restore, brings it
    // back from minimised.
    void redrawAndShow(bool restore);
    // True once the close was accepted: the window is on its way out.
    bool isUnloaded() const { return m_unloaded; }
    // The program is ending: the window unloads without its close question.
    void closeWithoutQuestion();

    // The options dialog changes the open window at once.
    void setDownloadMethod(int method);
    void setProxy(const ProxySettings &proxy);
    void setMaxFileSizeMB(double megabytes);
    // "每个网站同时下载数" from the options dialog.
    void setPerHostLimit(int limit);

    // The text of status-bar panel 1..4.
    QString statusPanelText(int panel) const;
    // The selected rows as 1-based queue positions, in list order; and the one row a single-row
    // command works on (the current row when it is selected), 0 when none.
    QList<int> selectedPositions() const;
    int selectedPosition() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildTopPanel();
    void buildListArea();
    QWidget *buildLoginPanel();
    void buildStatusBar();
    void buildMenus();
    void connectEngine();
    void loadSettings();
    void showMethod(int method, bool resetThreads);
    SameNameRule chosenSameNameRule() const;
    void syncOptions();
    void updateCount();
    void autoFitColumns();
    void showLoginPanel();
    void listClick(const QPoint &pos);
    void listRightClick(const QPoint &pos);
    void columnClick(int column);
    void headerRightClick(const QPoint &pos);
    void showReasonColumn(bool shown);
    void statusPanelClick(int panel);
    void copyName();
    void replaceUrls();
    QAction *command(QMenu *menu, const QString &name, const QString &caption,
                     const std::function<void()> &run);

    FFileDownloadHooks m_hooks;
    std::unique_ptr<Prompts> m_ownPrompts;
    Prompts *m_prompts;
    std::unique_ptr<DownloadQueue> m_queue;
    std::unique_ptr<DownloadSession> m_session;
    std::unique_ptr<MethodOne> m_one;
    std::unique_ptr<MethodTwo> m_two;
    std::unique_ptr<DownloadScheduler> m_scheduler;
    std::unique_ptr<QueueCommands> m_commands;
    std::unique_ptr<LoginPanel> m_login;
    DownloadQueueModel *m_model = nullptr;
    bool m_unloaded = false;
    bool m_noCloseQuestion = false;
    int m_sortedColumn = -1;

    // Top panel
    QLabel *m_label7 = nullptr;
    QPushButton *m_command26 = nullptr;
    QComboBox *m_combo1 = nullptr;
    QRadioButton *m_option1 = nullptr; // 跳过
    QRadioButton *m_option2 = nullptr; // 覆盖
    QRadioButton *m_option3 = nullptr; // 重命名
    QComboBox *m_combo2 = nullptr;
    QPushButton *m_command4 = nullptr;
    QPushButton *m_command31 = nullptr;
    QCheckBox *m_check3 = nullptr;
    QCheckBox *m_check4 = nullptr;
    QCheckBox *m_check5 = nullptr;
    QCheckBox *m_check6 = nullptr;
    QComboBox *m_combo4 = nullptr;
    QPushButton *m_command1 = nullptr;
    QLabel *m_label1 = nullptr;
    QFrame *m_shape1 = nullptr;
    // The list, the login panel and the status bar
    QTableView *m_listView3 = nullptr;
    QWidget *m_picWebBK = nullptr;
    QCheckBox *m_check2 = nullptr;     // 自动登录
    QVBoxLayout *m_web1Area = nullptr; // where Web1 goes once it is made
    QLabel *m_panels[4] = {};
    // Transfer messages for the panels, shown together at most every StatusIntervalMs: six
    // transfers may end hundreds of times a second, and a redraw for each would slow them.
    static constexpr int StatusIntervalMs = 100;
    QString m_pendingPanels[4];
    bool m_panelPending[4] = {};
    QTimer *m_statusTimer = nullptr;
    void showPendingStatus();
    // Rows handed over one by one (the analysis yields after each) redraw the list and the
    // count at most every StatusIntervalMs instead of once for every row.
    QTimer *m_listPaintTimer = nullptr;
    QElapsedTimer m_lastRowsInserted;
    void rowsInserted();
    // Menu items whose state changes
    QMenu *m_menu下载 = nullptr;
    QMenu *m_menu清除 = nullptr;
    QAction *m_menu清空 = nullptr;
    QAction *m_menu全选 = nullptr;
    QAction *m_menu下载全部 = nullptr;
    QAction *m_menu停止下载 = nullptr;
    QAction *m_menu自动定位到下载项 = nullptr;
    QAction *m_menu显示原因列 = nullptr; // the list header's own menu
};

} // namespace papyrant
