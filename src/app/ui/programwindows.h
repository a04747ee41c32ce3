#pragma once

#include "search/downloadqueueowner.h"

#include <QObject>
#include <QPointer>
#include <memory>

namespace papyrant {

class FCover;
class FFileDownload;
class Prompts;

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

private:
    std::unique_ptr<FCover> m_cover;
    Prompts *m_prompts;
    QPointer<FFileDownload> m_download;
};

} // namespace papyrant
