#pragma once

#include "search/downloadqueueowner.h"
#include "tools/cacheviewer.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QWidget;

namespace papyrant {

class FCover;
class FFileDownload;
class Prompts;
class QtPrompts;
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
    // prompts: the dialogs the windows made here use (null: the real ones).
    explicit ProgramWindows(Prompts *prompts = nullptr, QObject *parent = nullptr);
    ~ProgramWindows() override;

    FCover *cover() const { return m_cover.get(); }
    Prompts &prompts() const;

    // After a main window has closed: the cover comes back when neither main window is left.
    void showCoverIfNoMainWindow();

    // DownloadQueueOwner
    void ensureLoaded() override;
    bool isLoaded() const override;
    DownloadQueue *queue() override;
    void redrawAndShow(bool restore) override;

    // Loads the download window when needed and shows it.
    void showDownloadWindow();
    // The loaded download window, or null.
    FFileDownload *downloadWindow() const;

    // "设置": the options dialog, modal over `parent`. What it saves takes effect at once in
    // the open windows.
    void showOptions(QWidget *parent = nullptr);
    // "查看IE浏览器缓存": the cache viewer, modal over `parent`.
    void showCacheViewer(QWidget *parent = nullptr);
    // "清空IE浏览器缓存" (with its message) and the cover's close (without).
    void clearBrowserCache(bool withMessage);
    // "最新版本" and a click on the cover's announcement: the product page.
    void openLatestVersionPage();

    UpdateCheck *updateCheck() const { return m_updateCheck; }
    // Where the cache viewer and the clearing look; by default the program's own cache and the
    // machine's users. Tests point it elsewhere.
    std::function<CacheViewerPlaces()> cachePlaces;

private:
    void applyOptions(const OptionValues &values);

    std::unique_ptr<FCover> m_cover;
    Prompts *m_prompts;
    std::unique_ptr<QtPrompts> m_qtPrompts;
    QPointer<FFileDownload> m_download;
    QPointer<uXMLHTTP> m_uXMLHTTP2;
    UpdateCheck *m_updateCheck = nullptr;
};

} // namespace papyrant
