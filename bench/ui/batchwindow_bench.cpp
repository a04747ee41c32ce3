// The batch of bench/batch.sh through the download window itself, shown or hidden:
//   batchwindow_bench shown|hidden <url list> <source folder> <save folder>
// prints "ms: <wall>", "rows: <n>", "finished: <rows in state 3>" and "identical: <finished
// rows whose file equals its source>". The window is made as the program makes it (its queue,
// scheduler, model and list), set by its own controls to method two, six threads, interval
// "0" and "重命名"; shown, it draws every progress change as a person would see it. Run it
// under a display (xvfb-run) for both, so that only the showing differs.
#include "../batchdriver.h"
#include "app/ui/programwindows.h"
#include "download/ui/ffiledownload.h"

#include <QApplication>
#include <QComboBox>
#include <QRadioButton>
#include <cstdio>

using namespace papyrant;
using namespace papyrant::bench;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(appTitle());
    const QStringList args = app.arguments();
    if (args.size() < 5 || (args[1] != u"shown" && args[1] != u"hidden")) {
        std::fprintf(stderr,
                     "usage: batchwindow_bench shown|hidden urls.txt source-folder save-folder\n");
        return 2;
    }
    const QList<BatchFile> files = ReadBatchList(args[2]);
    if (files.isEmpty()) {
        std::fprintf(stderr, "no URLs in %s\n", qPrintable(args[2]));
        return 2;
    }
    QString folder = args[4];
    if (!folder.endsWith(u'/'))
        folder += u'/';

    SilentPrompts prompts;
    ProgramWindows windows(&prompts);
    windows.ensureLoaded();
    FFileDownload *window = windows.downloadWindow();
    window->setDownloadMethod(2);
    window->setProxy({});
    window->findChild<QComboBox *>(QStringLiteral("Combo1"))->setCurrentIndex(5);
    window->findChild<QComboBox *>(QStringLiteral("Combo2"))->setCurrentIndex(0);
    window->findChild<QRadioButton *>(QStringLiteral("Option3"))->setChecked(true);
    if (args[1] == u"shown") {
        windows.showDownloadWindow();
        // The window is on screen before the clock starts.
        QEventLoop settle;
        QTimer::singleShot(300, &settle, &QEventLoop::quit);
        settle.exec();
    }
    AppendRows(window->queue(), files, folder, QStringLiteral("http://127.0.0.1/list.html"));
    const qint64 ms = RunBatch(window->queue(), window->scheduler(), 600000);
    std::printf("ms: %lld\nrows: %d\nfinished: %d\nidentical: %d\n", ms, window->queue().count(),
                window->queue().countInState(QueueRow::Finished),
                CountIdentical(window->queue(), args[3]));
    return ms >= 0 ? 0 : 1;
}
