// One transfer through the engine, headless, for bench/transfer.sh:
//   transfer_bench method1|method2 <url> <folder>       -> "ms: <wall>" "peak_rss_kb: <VmHWM>"
//   transfer_bench stall1|stall2 <url> <folder> <ms>    -> "cpu_percent: <cpu over the window>"
// method1 runs Inet下载当前文件 on one queue row; method2 one Downloader. The stall modes start a
// transfer of a URL that stalls and measure the process's CPU time while it waits.
#include "download/downloadqueue.h"
#include "download/downloadsession.h"
#include "download/methodone.h"
#include "transfer/downloader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

using namespace papyrant;

namespace {

long peakRssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
           + usage.ru_stime.tv_usec / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr,
                     "usage: transfer_bench method1|method2|stall1|stall2 url folder [ms]\n");
        return 2;
    }
    const QString mode = args[1];
    const QString url = args[2];
    QString folder = args[3];
    if (!folder.endsWith(u'/'))
        folder += u'/';
    const int stallMs = args.value(4, QStringLiteral("5000")).toInt();

    DownloadQueue queue;
    DownloadSession session(queue);
    session.options.maxFileSizeMB = 1e6;
    session.options.sameName = SameNameRule::Overwrite;
    MethodOne one(session);
    one.proxy = {};
    Downloader downloader;

    QueueRow row;
    row.Urls = url;
    row.Name = QStringLiteral("bench");
    row.Type = QStringLiteral("bin");
    row.SaveFolder = folder;
    const int position = queue.append(row);

    if (mode == u"method1" || mode == u"method2") {
        QElapsedTimer clock;
        clock.start();
        bool ok = false;
        if (mode == u"method1") {
            QEventLoop loop;
            QObject::connect(&session, &DownloadSession::rowEnded, &loop, &QEventLoop::quit);
            one.Inet下载当前文件(position);
            if (one.isRunning())
                loop.exec();
            ok = queue.row(position).State == QueueRow::Finished;
        } else {
            QEventLoop loop;
            QObject::connect(&downloader, &Downloader::DownloadComplete, &loop, [&] {
                ok = true;
                loop.quit();
            });
            QObject::connect(&downloader, &Downloader::DownloadError, &loop, &QEventLoop::quit);
            downloader.BeginDownload(url, folder + QStringLiteral("bench.bin"), {});
            loop.exec();
        }
        std::printf("ms: %lld\npeak_rss_kb: %ld\nok: %d\n", clock.elapsed(), peakRssKb(),
                    ok ? 1 : 0);
        return ok ? 0 : 1;
    }

    if (mode == u"stall1" || mode == u"stall2") {
        session.limits.headerWaitMs = stallMs * 4;
        session.limits.noProgressMs = stallMs * 4;
        double before = 0;
        QElapsedTimer window;
        // Measure from one second in (connection set up, first bytes read) for stallMs.
        QTimer::singleShot(1000, [&] {
            before = cpuSeconds();
            window.start();
        });
        QTimer::singleShot(1000 + stallMs, [&] {
            const double cpu = cpuSeconds() - before;
            std::printf("cpu_percent: %.2f\n", cpu / (window.elapsed() / 1000.0) * 100.0);
            std::fflush(stdout);
            one.cancel();
            downloader.CancelAsyncRead();
            app.quit();
        });
        if (mode == u"stall1")
            one.Inet下载当前文件(position);
        else
            downloader.BeginDownload(url, folder + QStringLiteral("bench.bin"), {});
        app.exec();
        return 0;
    }
    std::fprintf(stderr, "unknown mode\n");
    return 2;
}
