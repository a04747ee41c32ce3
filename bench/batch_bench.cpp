// A batch of downloads through the engine, headless, for bench/batch.sh:
//   batch_bench method1|method2 <url list> <source folder> <save folder>
// prints "ms: <wall>", "rows: <n>", "finished: <rows in state 3>" and "identical: <finished
// rows whose file equals its source byte for byte>". The rows come as the hand-off makes them:
// a title (every tenth one the same as the one before, so that the rename rule numbers it),
// type "PDF", a referer; the scheduler runs with interval "0" and sniffs every saved file.
#include "batchdriver.h"

#include <QCoreApplication>
#include <cstdio>

using namespace papyrant;
using namespace papyrant::bench;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5 || (args[1] != u"method1" && args[1] != u"method2")) {
        std::fprintf(stderr,
                     "usage: batch_bench method1|method2 urls.txt source-folder save-folder\n");
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

    HeadlessEngine engine(args[1] == u"method1" ? 1 : 2);
    AppendRows(engine.queue, files, folder, QStringLiteral("http://127.0.0.1/list.html"));
    const qint64 ms = RunBatch(engine.queue, engine.scheduler, 600000);
    std::printf("ms: %lld\nrows: %d\nfinished: %d\nidentical: %d\n", ms, engine.queue.count(),
                engine.queue.countInState(QueueRow::Finished),
                CountIdentical(engine.queue, args[3]));
    return ms >= 0 ? 0 : 1;
}
