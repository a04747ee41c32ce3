#pragma once

namespace papyrant {

class DownloadQueue;

// The owner of the download queue: the download window. The search side hands rows to it
// without knowing the window; the window implements this.
class DownloadQueueOwner
{
public:
    virtual ~DownloadQueueOwner() = default;
    // Loads the owner (the download window, hidden) when it is not loaded yet; never shows it.
    virtual void ensureLoaded() = 0;
    virtual bool isLoaded() const = 0;
    // The queue of the loaded owner; null while it is not loaded.
    virtual DownloadQueue *queue() = 0;
    // Redraws the queue list, shows the window if it is hidden and, with restore, brings it
    // back from minimised. Called only while loaded.
    virtual void redrawAndShow(bool restore) = 0;
};

} // namespace papyrant
