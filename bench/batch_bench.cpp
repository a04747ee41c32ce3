// A batch of downloads through the engine, headless, for bench/batch.sh:
//   batch_bench method1|method2 <url list> <source folder> <save folder>
// prints "ms: <wall>", "rows: <n>", "finished: <rows in state 3>", "identical: <finished
// rows whose file equals its source byte for byte>" and "cpu_ms: <processor time of the batch,
// user and system>". The rows come as the hand-off makes them:
// a title (every tenth one the same as the one before, so that the rename rule numbers it),
// type "PDF", a referer; the scheduler runs with interval "0" and sniffs every saved file.
#include "batchdriver.h"

#include <QCoreApplication>
#include <cstdio>
#include <ctime>

using namespace papyrant;
using namespace papyrant::bench;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::optional<BatchArguments> batch =
        ReadBatchArguments(app.arguments(), "batch_bench", "method1", "method2");
    if (!batch)
        return 2;

    HeadlessEngine engine(batch->mode == u"method1" ? 1 : 2);
    AppendRows(engine.queue, batch->files, batch->saveFolder,
               QStringLiteral("http://127.0.0.1/list.html"));
    const std::clock_t cpuStart = std::clock();
    const qint64 ms = RunBatch(engine.queue, engine.scheduler, 600000);
    const qint64 cpuMs = qint64(std::clock() - cpuStart) * 1000 / CLOCKS_PER_SEC;
    PrintBatchResult(ms, engine.queue, batch->sourceFolder);
    std::printf("cpu_ms: %lld\n", cpuMs);
    return ms >= 0 ? 0 : 1;
}
