// labels: integration
// The scheduler driving the real transfer methods against a local server.
#include "support/qtprinters.h"
#include "transferharness.h"

#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;

namespace {

// Runs scheduler ticks until every row has ended.
bool runQueue(TransferHarness &h, DownloadScheduler &scheduler)
{
    scheduler.startDownloads();
    return QTest::qWaitFor([&] {
        scheduler.tickDownload();
        return h.queue.检测是否下载列表完毕() && h.two.LoadedDownloaderCount() == 1;
    }, 10000);
}

} // namespace

TEST(TransferScheduler, SkipRuleTouchesNoNetworkAndTheRestDownloads)
{
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        TransferHarness h;
        h.session.method = method;
        h.session.options.sameName = SameNameRule::Skip;
        h.session.options.threadCount = 3;
        DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
        QFile existing(h.dir.filePath(QStringLiteral("a.pdf")));
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("%PDF-here");
        existing.close();
        for (const char *name : {"a", "b", "c", "d", "e"}) {
            const QString n = QString::fromLatin1(name);
            h.server.serveBody(u'/' + n, pdfBody(700), "application/pdf");
            h.addRow(u'/' + n, n);
        }
        ASSERT_TRUE(runQueue(h, scheduler));
        EXPECT_EQ(h.queue.row(1).Percent, QStringLiteral("已存在，跳过"));
        EXPECT_EQ(h.server.requestCount(QStringLiteral("/a")), 0);
        EXPECT_EQ(h.content(QStringLiteral("a.pdf")), QByteArray("%PDF-here"));
        for (int p = 2; p <= 5; ++p) {
            EXPECT_EQ(h.queue.row(p).State, QueueRow::Finished) << p;
            EXPECT_EQ(h.queue.row(p).Percent, QStringLiteral("100%")) << p;
        }
        EXPECT_EQ(h.files().size(), 5);
    }
}

TEST(TransferScheduler, StopCommandEndsMethodTwoTransfersAndLeavesNothing)
{
    TransferHarness h;
    h.session.method = 2;
    h.session.options.threadCount = 3;
    DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
    h.server.route(QStringLiteral("/slow"),
                   Script().send(Script::head("HTTP/1.1 200 OK", {"Content-Length: 5000"}) + pdfBody(300)).stall());
    for (int i = 0; i < 4; ++i)
        h.addRow(h.server.url(QStringLiteral("/slow?%1").arg(i)), QStringLiteral("f%1").arg(i));
    scheduler.startDownloads();
    QTest::qWait(20);
    scheduler.tickDownload();
    EXPECT_EQ(h.two.LoadedDownloaderCount(), 4);
    QTest::qWait(200);
    scheduler.stopDownloads();
    for (int p = 1; p <= 3; ++p)
        EXPECT_EQ(h.queue.row(p).State, QueueRow::Failed) << p;
    EXPECT_EQ(h.queue.row(4).State, QueueRow::Waiting);
    EXPECT_EQ(h.two.LoadedDownloaderCount(), 1);
    QTest::qWait(100);
    EXPECT_EQ(h.files(), QStringList());
}
