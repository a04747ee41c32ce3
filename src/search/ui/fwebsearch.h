#pragma once

#include "search/addallwalk.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTreeView;
class QWebEngineProfile;

namespace papyrant {

class AnalysisCommands;
class BatchSearch;
class DownloadQueueOwner;
class Prompts;
class SaveFolderPicker;
class SearchList;
class SearchRunFlags;
class SearchSession;
class WebEngineBrowser;
struct SavePathValues;

// What the search window asks of the rest of the program. An empty call leaves its menu item
// disabled.
struct SearchWindowCalls
{
    std::function<void()> showDownloadWindow; // "打开下载窗口", not modal
    std::function<void()> showOptions;        // "设置", modal
    std::function<void()> showCacheViewer;    // "查看IE浏览器缓存", modal
    std::function<void()> clearBrowserCache;  // "清空IE浏览器缓存", with its message
    std::function<void()> showLatestVersion;  // "最新版本": the product page
    std::function<void()> showAbout;          // "关于(&A)", modal
    std::function<void()> showUsage;          // "使用说明", modal
    // Once the window has closed: the cover comes back unless the download window is loaded.
    std::function<void()> showCoverIfNoDownloadWindow;
};

// The search window fWebSearch: the embedded browser above the splitter, the search list and
// the commands below it. It works on the service of the profile chosen in the options, and its
// status bar names that service, or says why the last page read gave nothing. The commands
// themselves are SearchSession's and its command objects'; this window builds the controls and
// wires them. It is deleted when it closes.
class FWebSearch : public QMainWindow
{
    Q_OBJECT
public:
    // profile: the browser profile (the program's own when null).
    FWebSearch(SavePathValues &savePath, Prompts &prompts, SaveFolderPicker &picker,
               DownloadQueueOwner &queueOwner, SearchWindowCalls calls,
               QWebEngineProfile *profile = nullptr, QWidget *parent = nullptr);
    ~FWebSearch() override;

    SearchSession &session() { return *m_session; }
    AddAllWalk &walk() { return *m_walk; }
    AnalysisCommands &analysis() { return *m_analysis; }
    BatchSearch &batch() { return *m_batch; }
    // Where the last walk or batch stopped short; "继续上次的批量检索" is enabled while there is
    // one. The window keeps it current from the walk's positions.
    WalkPosition savedPosition() const { return m_savedPosition; }
    void setSavedPosition(const WalkPosition &position);
    WebEngineBrowser *browser() const { return m_browser; }
    // True once the window has been closed (it is deleted soon after).
    bool isClosed() const { return m_closed; }
    // Shows the window; the first time, says that the profile file was left out, if it was.
    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void wireCommands();
    void load();

    QList<int> selectedPositions() const;
    void showRunButton(QPushButton *button, const QString &caption, RunButtonState state);
    void runClearCommand(bool (*command)(SearchList &, const SearchRunFlags &, Prompts &));
    void splitterReleased();
    void centreProgressPanel();
    void saveSettings();
    void showServiceNote();

    Prompts &m_prompts;
    SearchWindowCalls m_calls;
    WebEngineBrowser *m_browser = nullptr;
    SearchSession *m_session = nullptr;
    AddAllWalk *m_walk = nullptr;
    AnalysisCommands *m_analysis = nullptr;
    BatchSearch *m_batch = nullptr;
    bool m_closed = false;
    QString m_profileFault; // the profile file's fault, until it has been said

    QSplitter *m_picBar = nullptr;
    QWidget *m_picPanWeb = nullptr;
    QWidget *m_picPanList = nullptr;
    QTreeView *m_listView1 = nullptr;
    QFrame *m_picPanPrograss = nullptr;
    QLabel *m_label11 = nullptr;
    QPushButton *m_command5 = nullptr;
    QPushButton *m_command9 = nullptr;
    QPushButton *m_command4 = nullptr;
    QComboBox *m_combo1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command7 = nullptr;
    QLabel *m_label1 = nullptr;
    QCheckBox *m_check5 = nullptr;
    QCheckBox *m_check7 = nullptr;
    QPlainTextEdit *m_text1 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_commandResume = nullptr;
    WalkPosition m_savedPosition;
    QLineEdit *m_text2 = nullptr;
    QLabel *m_statusText = nullptr;
    QLabel *m_serviceText = nullptr;
    QMenu *m_menu清除 = nullptr;
    QMenu *m_menu加入 = nullptr;
};

} // namespace papyrant
