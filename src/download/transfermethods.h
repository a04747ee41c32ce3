#pragma once

#include <QString>

namespace papyrant {

// What the scheduler needs of the two transfer methods. The scheduler decides which row goes
// where; the methods fetch, fill in the row and report through the session.

// One transfer at a time. Inet下载当前文件 runs the whole transfer of the row at the 1-based
// queue position, yielding to the event loop, and returns when it has ended.
class MethodOneTransfer
{
public:
    virtual ~MethodOneTransfer() = default;
    virtual void Inet下载当前文件(int position) = 0;
    virtual void cancel() = 0;
    virtual bool isExecuting() const = 0;
};

// Up to six asynchronous transfers, one per slot 1..6.
class MethodTwoTransfers
{
public:
    virtual ~MethodTwoTransfers() = default;
    virtual void 多线程下载(int slot, int position, const QString &url, const QString &path) = 0;
    virtual bool isLoaded(int slot) const = 0;
    virtual void unload(int slot) = 0; // abandons the slot's transfer; it reports nothing more
    virtual int LoadedDownloaderCount() const = 0;
};

} // namespace papyrant
