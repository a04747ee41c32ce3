#pragma once

#include <QString>

namespace papyrant {

// What the scheduler needs of the two transfer methods. The scheduler decides which row goes
// where; the methods start the row (DownloadSession::beginRow), fetch, fill in the row and end
// it through the session (DownloadSession::endRow, then rowEnded).

// One transfer at a time. Inet下载当前文件 starts the transfer of the row at the 1-based queue
// position and returns at once; the transfer runs on the event loop and ends the row later.
class MethodOneTransfer
{
public:
    virtual ~MethodOneTransfer() = default;
    virtual void Inet下载当前文件(int position) = 0;
    virtual void cancel() = 0;            // ends a running transfer at once ("下载取消")
    virtual bool isExecuting() const = 0; // its request is on the network
    // A transfer has been started and has not ended yet.
    virtual bool isRunning() const = 0;
};

// Up to six asynchronous transfers, one per slot 1..6.
class MethodTwoTransfers
{
public:
    virtual ~MethodTwoTransfers() = default;
    virtual void 多线程下载(int slot, int position, const QString &url, const QString &path) = 0;
    virtual bool isLoaded(int slot) const = 0;
    virtual void unload(int slot) = 0; // abandons the slot's transfer; it reports nothing more

    // The number of Downloader1 elements that exist, element 0 included (it always exists and
    // never transfers): 1 when no slot is busy. Counted here, so that every implementation
    // answers alike.
    int LoadedDownloaderCount() const
    {
        int count = 1;
        for (int slot = 1; slot <= 6; ++slot)
            count += isLoaded(slot) ? 1 : 0;
        return count;
    }
};

} // namespace papyrant
