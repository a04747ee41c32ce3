// The download window shown while rows are handed over one at a time, as the search side hands
// them: the first 10,000 with a yield to the event loop after every row (as the analysis
// commands yield; gui_handoff_ms_10000_rows), then on to 100,000 with a yield after every 100;
// and the resident memory the 100,000 rows add (queue, model and view together). Prints
// "name: value" lines. Run it under a display (xvfb-run) to measure a window that is really
// drawn; offscreen works too.
#include "../samplerows.h"
#include "../silentprompts.h"
#include "app/ui/programwindows.h"
#include "download/downloadqueue.h"
#include "download/ui/ffiledownload.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTableView>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

using namespace papyrant;

namespace {

// Resident set size of this process in MB.
double residentMB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / 1048576.0 : 0;
}

// Lets the window lay out and draw what is pending.
void settle()
{
    for (int i = 0; i < 5; ++i) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void print(const char *name, double value)
{
    std::printf("%s: %.2f\n", name, value);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(appTitle());
    constexpr int rows = 100000;

    SilentPrompts prompts;
    ProgramWindows windows(&prompts);
    windows.showDownloadWindow();
    FFileDownload *window = windows.downloadWindow();
    settle();
    const double before = residentMB();

    QElapsedTimer t;
    t.start();
    double handoff10000Ms = 0;
    DownloadQueue *queue = windows.queue();
    for (int i = 0; i < rows; ++i) {
        queue->append(bench::SampleQueueRow(i));
        if (i < 10000 || i % 100 == 99)
            QCoreApplication::processEvents();
        if (i == 9999)
            handoff10000Ms = t.nsecsElapsed() / 1e6;
    }
    settle();
    // Scroll to the end and back, so that the view has drawn the far rows too.
    auto *list = window->findChild<QTableView *>(QStringLiteral("ListView3"));
    list->scrollToBottom();
    settle();
    list->scrollToTop();
    settle();
    const double after = residentMB();

    print("gui_handoff_ms_10000_rows", handoff10000Ms);
    print("gui_rss_growth_MB_0_to_100000_rows", after - before);
    std::fflush(stdout);
    return 0;
}
