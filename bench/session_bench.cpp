// The session store at 100,000 queue rows: writing them once, and a restart opening them into
// the download queue (the restore rule applied to each row). Prints "name: value" lines.
#include "app/sessionstore.h"
#include "samplerows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

using namespace papyrant;

namespace {

// A line of /proc/self/status in kB.
long statusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    return -1;
}

void print(const char *name, double value)
{
    std::printf("%s: %.1f\n", name, value);
}

// A restart: a fresh process opens the rows into the download queue.
int openRows(const QString &folder, int rows)
{
    const long rssBefore = statusKb("VmRSS:");
    QElapsedTimer t;
    t.start();
    SessionStore store(folder);
    DownloadQueue queue;
    {
        SavedSession saved = store.load();
        queue.beginBatch();
        for (QueueRow &r : saved.queue)
            queue.append(std::move(r));
        queue.endBatch();
    }
    print("session_open_ms_100000_rows", t.nsecsElapsed() / 1e6);
    print("session_open_rss_growth_MB_100000_rows", (statusKb("VmRSS:") - rssBefore) / 1024.0);
    print("session_open_peak_growth_MB_100000_rows", (statusKb("VmHWM:") - rssBefore) / 1024.0);
    return queue.count() == rows ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    constexpr int rows = 100000;
    if (argc == 3 && qstrcmp(argv[1], "open") == 0)
        return openRows(QString::fromLocal8Bit(argv[2]), rows);

    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    {
        DownloadQueue queue;
        queue.beginBatch();
        for (int i = 0; i < rows; ++i) {
            QueueRow r = bench::SampleQueueRow(i);
            // A quarter finished (their files are not there: the rule looks and requeues them),
            // a few running, some failed with a reason.
            r.State = i % 4 == 0    ? QueueRow::Finished
                      : i % 50 == 1 ? QueueRow::Downloading
                      : i % 10 == 2 ? QueueRow::Failed
                                    : QueueRow::Waiting;
            if (r.State == QueueRow::Failed)
                r.Reason = QStringLiteral("HTTP 404");
            queue.append(std::move(r));
        }
        queue.endBatch();
        SessionStore store(folder);
        if (!store.isOpen())
            return 1;
        QElapsedTimer t;
        t.start();
        store.attachQueue(&queue);
        store.flush();
        print("session_write_ms_100000_rows", t.nsecsElapsed() / 1e6);
    }
    std::printf("database_MB: %.1f\n",
                (QFileInfo(folder + QStringLiteral("session.db")).size()
                 + QFileInfo(folder + QStringLiteral("session.db-wal")).size())
                    / 1048576.0);
    std::fflush(stdout);

    QProcess open;
    open.setProcessChannelMode(QProcess::ForwardedChannels);
    open.start(QCoreApplication::applicationFilePath(), {QStringLiteral("open"), folder});
    if (!open.waitForFinished(120000))
        return 1;
    return open.exitCode();
}
