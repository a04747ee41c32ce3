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

using namespace papyrant;
using namespace papyrant::bench;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(appTitle());
    const std::optional<BatchArguments> batch =
        ReadBatchArguments(app.arguments(), "batchwindow_bench", "shown", "hidden");
    if (!batch)
        return 2;

    SilentPrompts prompts;
    ProgramWindows windows(&prompts);
    windows.ensureLoaded();
    FFileDownload *window = windows.downloadWindow();
    window->setDownloadMethod(2);
    window->setProxy({});
    window->findChild<QComboBox *>(QStringLiteral("Combo1"))->setCurrentIndex(5);
    window->findChild<QComboBox *>(QStringLiteral("Combo2"))->setCurrentIndex(0);
    window->findChild<QRadioButton *>(QStringLiteral("Option3"))->setChecked(true);
    if (batch->mode == u"shown") {
        windows.showDownloadWindow();
        // The window is on screen before the clock starts.
        QEventLoop settle;
        QTimer::singleShot(300, &settle, &QEventLoop::quit);
        settle.exec();
    }
    AppendRows(window->queue(), batch->files, batch->saveFolder,
               QStringLiteral("http://127.0.0.1/list.html"));
    const qint64 ms = RunBatch(window->queue(), window->scheduler(), 600000);
    PrintBatchResult(ms, window->queue(), batch->sourceFolder);
    return ms >= 0 ? 0 : 1;
}
