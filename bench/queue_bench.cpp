// The download queue at 100,000 rows: appends with duplicate attempts mixed in, the counts, the
// status-bar text and the file path of every row. Prints "name: value" lines.
#include "download/downloadqueue.h"
#include "samplerows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <ctime>

using namespace papyrant;

namespace {

double msSince(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

// CPU time of this thread: the figure that a busy machine disturbs least.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

void print(const char *name, double value)
{
    std::printf("%s: %.4f\n", name, value);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    constexpr int rows = 100000;

    // Keys and rows are made beforehand so that the figure is the queue's own work.
    std::vector<QueueRow> input;
    input.reserve(rows + rows / 4);
    for (int i = 0; i < rows; ++i) {
        input.push_back(bench::SampleQueueRow(i));
        if (i % 4 == 3)
            input.push_back(input[size_t(i / 2)]); // a duplicate attempt
    }

    DownloadQueue queue;
    QElapsedTimer t;
    t.start();
    const double cpuStart = cpuMs();
    int added = 0;
    for (QueueRow &r : input)
        added += queue.append(std::move(r)) != 0;
    print("append_ms_100000_rows", msSince(t));
    print("append_cpu_ms_100000_rows", cpuMs() - cpuStart);
    std::printf("duplicate_attempts: %d\n", int(input.size()) - added);
    if (added != rows)
        return 1;

    for (int p = 1; p <= rows; p += 3)
        queue.setState(p, QueueRow::StateValue(1 + p % 4));

    t.restart();
    volatile int sink = 0;
    for (int i = 0; i < 100; ++i)
        sink = sink + queue.统计未下载项数目() + queue.CountFailedOrPageRows()
               + queue.检测是否下载列表完毕();
    print("counts_ms_100000_rows", msSince(t) / 100);

    t.restart();
    QString text;
    for (int i = 0; i < 100; ++i)
        text = queue.ShowQueueCounts();
    print("show_queue_counts_ms_100000_rows", msSince(t) / 100);

    t.restart();
    qsizetype total = 0;
    for (int p = 1; p <= rows; ++p)
        total += RowFilePath(queue.row(p)).size();
    print("row_file_path_ms_100000_rows", msSince(t));

    t.restart();
    int found = 0;
    for (int p = 1; p <= rows; ++p)
        found += queue.contains(queue.row(p).Urls);
    print("key_lookup_ms_100000", msSince(t));
    return total > 0 && found > 0 ? 0 : 1;
}
