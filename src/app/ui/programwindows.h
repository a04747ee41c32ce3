#pragma once

#include "search/downloadqueueowner.h"
#include "tools/cacheviewer.h"
#include "tools/savepathvalues.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QWidget;

namespace papyrant {

class FCover;
class FFileDownload;
class FWebSearch;
class Prompts;
class SaveFolderPicker;
class SessionStore;
class UpdateCheck;
class uXMLHTTP;
struct OptionValues;

// The program's windows and the ways between them. The cover lives for the whole run; the
// search window and the download window are made on first use. The windows of the lower
// modules know neither each other nor the dialogs of this module: each gets the few calls it
// needs from here when it is made, so that no library depends on one above it.
//
// It is the search side's owner of the download queue: the hand-off loads the download window
// hidden and shows it through here.
class ProgramWindows : public QObject, public DownloadQueueOwner
{
    Q_OBJECT
public:
    // prompts: the dialogs every window uses (the real ones when null; tests give a recorder).
    explicit ProgramWindows(Prompts *prompts = nullptr, QObject *parent = nullptr);
    ~ProgramWindows() override;

    FCover *cover() const { return m_cover.get(); }
    Prompts &prompts() { return *m_prompts; }
    // The program-wide save folder and naming choice of the save-folder picker.
    SavePathValues &savePath() { return m_savePath; }

    // The search window while it is loaded (null before its first use and once it has closed).
    FWebSearch *searchWindow() const;
    // Makes the search window when it is not loaded, and shows it.
    void showSearchWindow();

    // The loaded download window, or null.
    FFileDownload *downloadWindow() const;
    // Loads the download window when needed and shows it.
    void showDownloadWindow();

    // DownloadQueueOwner
    void ensureLoaded() override;
    bool isLoaded() const override;
    DownloadQueue *queue() override;
    void redrawAndShow(bool restore) override;

    // After a main window has closed: the cover comes back when neither main window is left.
    // closing: the window that is closing (it is not counted).
    void showCoverIfNoMainWindow(const QWidget *closing = nullptr);

    // "设置": the options dialog, modal over `parent`. What it saves takes effect at once in
    // the open windows.
    void showOptions(QWidget *parent = nullptr);
    // "查看IE浏览器缓存": the cache viewer, modal over `parent`.
    void showCacheViewer(QWidget *parent = nullptr);
    // "清空IE浏览器缓存" (with the message "IE缓存清空完毕！") and the cover's unload (without):
    // the cache viewer's clear-all, over this program's own browser cache only.
    void clearBrowserCache(bool withMessage);
    // "最新版本" and a click on the cover's announcement: the product page.
    void openLatestVersionPage();

    // Keeps the download queue, the search list, the batch box and the walk position in the
    // session store in folder, and when the last run left rows unfinished asks whether to take
    // them back (Yes shows the windows that have rows). Each window fills its list from the
    // store when it is made, so a window closed and opened again finds its rows.
    void startSession(const QString &folder);
    SessionStore *sessionStore() const { return m_store.get(); }
    // The per-user application-data folder, ending in "/".
    static QString defaultSessionFolder();

    UpdateCheck *updateCheck() const { return m_updateCheck; }
    // Where the cache viewer and the clearing look; by default the program's own cache and the
    // machine's users. Tests point it elsewhere.
    std::function<CacheViewerPlaces()> cachePlaces;

    // The cover's unload: the cache is cleared and the program ends, every other window closed
    // without its own questions.
    void endProgram();
    // True once the program is ending.
    bool ending() const { return m_ending; }

private:
    void applyOptions(const OptionValues &values);
    void attachSearchWindow();
    void attachDownloadWindow();

    std::unique_ptr<Prompts> m_ownPrompts;
    Prompts *m_prompts;
    SavePathValues m_savePath;
    std::unique_ptr<SessionStore> m_store;
    std::unique_ptr<SaveFolderPicker> m_picker;
    std::unique_ptr<FCover> m_cover;
    QPointer<FWebSearch> m_search;
    QPointer<FFileDownload> m_download;
    QPointer<uXMLHTTP> m_uXMLHTTP2;
    UpdateCheck *m_updateCheck = nullptr;
    bool m_ending = false;
};

} // namespace papyrant
