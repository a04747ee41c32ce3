#pragma once

#include "download/downloadqueue.h"
#include "download/downloadsession.h"
#include "download/methodone.h"
#include "download/methodtwo.h"
#include "download/scheduler.h"
#include "support/recordingprompts.h"
#include "support/scriptedhttpserver.h"
#include "support/tempsettings.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>

namespace papyrant::test {

// A queue, a session with short time limits, both transfer methods and a scripted server,
// with a save folder of its own. Rows are started the way the scheduler starts them.
struct TransferHarness
{
    TempSettings settings;
    QTemporaryDir dir;
    DownloadQueue queue;
    DownloadSession session{queue};
    RecordingPrompts prompts;
    MethodOne one{session};
    MethodTwo two{session};
    ScriptedHttpServer server;

    TransferHarness()
    {
        session.limits.headerWaitMs = 600;
        session.limits.noProgressMs = 600;
        session.limits.downloaderStallMs = 600;
        session.limits.watchdogTickMs = 50;
        session.options.maxFileSizeMB = 0.05; // 52,428 bytes
        session.options.sameName = SameNameRule::Rename;
        one.proxy = {};
        // A prompt waits as a real dialog does, so that one on a transfer path would show as
        // the re-entry it causes.
        prompts.modalMs = 200;
    }

    QString folder() const { return dir.path() + u'/'; }

    int addRow(const QString &path, const QString &name = QStringLiteral("a"),
               const QString &type = QStringLiteral("pdf"), const QString &referer = {})
    {
        QueueRow row;
        row.Urls = path.startsWith(u'/') ? server.url(path) : path;
        row.Name = name;
        row.Type = type;
        row.SaveFolder = folder();
        row.Referer = referer;
        return queue.append(row);
    }

    // Method one as the scheduler starts it, until the transfer has ended.
    void runOne(int position)
    {
        one.Inet下载当前文件(position);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !one.isRunning(); }, 30000));
    }

    // Method two as the scheduler starts it, without waiting.
    void startTwo(int position, int slot = 1)
    {
        const QueueRow &row = queue.row(position);
        const SavePath free = 重命名保存路径(row.SaveFolder, row.Name, row.Type,
                                             session.options.sameName, session.names);
        queue.setName(position, free.name);
        two.多线程下载(slot, position, 选择url(row.Urls), free.path);
    }

    // Method two for one row, until its slot is free again.
    bool runTwo(int position, int timeoutMs = 5000)
    {
        startTwo(position);
        return QTest::qWaitFor([&] { return two.LoadedDownloaderCount() == 1; }, timeoutMs);
    }

    // Every file under the save folder, relative to it.
    QStringList files() const
    {
        QStringList out;
        QDirIterator it(dir.path(), QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            out << QDir(dir.path()).relativeFilePath(it.next());
        out.sort();
        return out;
    }

    std::optional<QByteArray> content(const QString &name) const
    {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            return std::nullopt;
        return f.readAll();
    }
};

// Runs scheduler ticks until every row has ended.
inline bool RunQueue(TransferHarness &h, DownloadScheduler &scheduler, int timeoutMs = 10000)
{
    scheduler.startDownloads();
    return QTest::qWaitFor(
        [&] {
            scheduler.tickDownload();
            return h.queue.检测是否下载列表完毕() && h.two.LoadedDownloaderCount() == 1;
        },
        timeoutMs);
}

inline QByteArray pdfBody(int size)
{
    QByteArray body("%PDF-1.4\n");
    while (body.size() < size)
        body += "0123456789abcdef\n";
    body.truncate(size);
    // A whole PDF ends with its end marker; one without it counts as cut off.
    static const QByteArray end("\n%%EOF\n");
    if (size >= 9 + end.size())
        body.replace(size - end.size(), end.size(), end);
    return body;
}

} // namespace papyrant::test
