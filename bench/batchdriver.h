#pragma once

// One batch of downloads through the real engine: the queue, the scheduler with both transfer
// methods, sniffing and the same-name rules, as the download window holds them. batch_bench
// runs it headless (HeadlessEngine); a window benchmark runs the same batch through the
// window's own queue and scheduler with AppendRows and RunBatch.

#include "download/downloadqueue.h"
#include "download/downloadsession.h"
#include "download/methodone.h"
#include "download/methodtwo.h"
#include "download/queuemodel.h"
#include "download/scheduler.h"
#include "silentprompts.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <optional>

namespace papyrant::bench {

struct BatchFile
{
    QString url;
    QString title; // the row's name, as the hand-off gives it
};

// The files of a URL list, one URL a line, with their titles: every tenth title repeats the one
// before, so that the rename rule numbers it. Empty when the list cannot be read.
inline QList<BatchFile> ReadBatchList(const QString &path)
{
    QFile list(path);
    QList<BatchFile> files;
    if (!list.open(QIODevice::ReadOnly | QIODevice::Text))
        return files;
    for (const QByteArray &line : list.readAll().split('\n')) {
        const QString url = QString::fromUtf8(line.trimmed());
        if (url.isEmpty())
            continue;
        const int n = int(files.size()) + 1;
        const int titleNumber = n % 10 == 0 ? n - 1 : n;
        files.append(
            {url, QStringLiteral("论文 %1 的全文").arg(titleNumber, 4, 10, QLatin1Char('0'))});
    }
    return files;
}

// Rows as the search side hands them over: the title as name, type "PDF", the save folder and
// the result page as referer.
inline void AppendRows(DownloadQueue &queue, const QList<BatchFile> &files, const QString &folder,
                       const QString &referer)
{
    queue.beginBatch();
    for (const BatchFile &file : files) {
        QueueRow row;
        row.Urls = file.url;
        row.Name = file.title;
        row.Type = QStringLiteral("PDF");
        row.SaveFolder = folder;
        row.Referer = referer;
        queue.append(std::move(row));
    }
    queue.endBatch();
}

// Starts the scheduler (the start command) and returns once every row has ended: the wall time
// in milliseconds, or -1 when timeoutMs passed first.
inline qint64 RunBatch(DownloadQueue &queue, DownloadScheduler &scheduler, int timeoutMs)
{
    QEventLoop loop;
    bool timedOut = false;
    QObject::connect(&queue, &DownloadQueue::rowChanged, &loop, [&] {
        if (queue.检测是否下载列表完毕())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    scheduler.startDownloads();
    if (!queue.检测是否下载列表完毕())
        loop.exec();
    return timedOut ? -1 : clock.elapsed();
}

// The rows that finished with a file byte-identical to the file their URL names under
// sourceFolder (the URL's last path segment).
inline int CountIdentical(const DownloadQueue &queue, const QString &sourceFolder)
{
    int identical = 0;
    for (int p = 1; p <= queue.count(); ++p) {
        const QueueRow &row = queue.row(p);
        if (row.State != QueueRow::Finished)
            continue;
        QFile saved(RowFilePath(row));
        QFile source(sourceFolder + u'/' + QUrl(选择url(row.Urls)).fileName());
        if (saved.open(QIODevice::ReadOnly) && source.open(QIODevice::ReadOnly)
            && saved.size() == source.size() && saved.readAll() == source.readAll())
            ++identical;
    }
    return identical;
}

// The arguments of both batch benchmarks, "<mode> <url list> <source folder> <save folder>"
// with the mode one of two words. Wrong arguments or an empty list print why and give nothing.
struct BatchArguments
{
    QString mode;
    QList<BatchFile> files;
    QString sourceFolder;
    QString saveFolder; // ends in "/"
};

inline std::optional<BatchArguments> ReadBatchArguments(const QStringList &args,
                                                        const char *program, const char *modeA,
                                                        const char *modeB)
{
    if (args.size() < 5 || (args[1] != QLatin1String(modeA) && args[1] != QLatin1String(modeB))) {
        std::fprintf(stderr, "usage: %s %s|%s urls.txt source-folder save-folder\n", program, modeA,
                     modeB);
        return std::nullopt;
    }
    BatchArguments batch{args[1], ReadBatchList(args[2]), args[3], args[4]};
    if (batch.files.isEmpty()) {
        std::fprintf(stderr, "no URLs in %s\n", qPrintable(args[2]));
        return std::nullopt;
    }
    if (!batch.saveFolder.endsWith(u'/'))
        batch.saveFolder += u'/';
    return batch;
}

// The lines bench/batch.sh reads: "ms", "rows", "finished" and "identical".
inline void PrintBatchResult(qint64 ms, const DownloadQueue &queue, const QString &sourceFolder)
{
    std::printf("ms: %lld\nrows: %d\nfinished: %d\nidentical: %d\n", ms, queue.count(),
                queue.countInState(QueueRow::Finished), CountIdentical(queue, sourceFolder));
}

// What the download window holds of the engine, without the window: the model over the queue
// stands for the list the window shows.
struct HeadlessEngine
{
    DownloadQueue queue;
    DownloadSession session{queue};
    SilentPrompts prompts;
    MethodOne one{session};
    MethodTwo two{session};
    DownloadScheduler scheduler{session, one, two, prompts};
    DownloadQueueModel model{queue};

    // Method 1 or 2, six threads for method two, interval "0", same-name rule "重命名", as
    // the window's controls would set them.
    explicit HeadlessEngine(int method)
    {
        one.proxy = {};
        session.method = method;
        session.options.threadCount = method == 2 ? 6 : 1;
        session.options.intervalSeconds = 0;
        session.options.sameName = SameNameRule::Rename;
        scheduler.startHousekeeping();
    }
};

} // namespace papyrant::bench
