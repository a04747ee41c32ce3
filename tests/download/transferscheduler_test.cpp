// labels: integration
// The scheduler driving the real transfer methods against a local server.
#include "download/filetype.h"
#include "support/qtprinters.h"
#include "transferharness.h"

#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;

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
        ASSERT_TRUE(RunQueue(h, scheduler));
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
    h.session.options.perHostLimit = 3; // every row on the one host
    DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
    h.server.route(
        QStringLiteral("/slow"),
        Script()
            .send(Script::head("HTTP/1.1 200 OK", {"Content-Length: 5000"}) + pdfBody(300))
            .stall());
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

// "检查并纠正磁盘文件类型" runs once method two's transfers have ended and refuses while one runs.
TEST(TransferScheduler, TypeCorrectionGuardOnTheRealMethods)
{
    TransferHarness h;
    h.session.method = 2;
    DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
    h.server.serveBody(QStringLiteral("/f"), pdfBody(300), "application/octet-stream");
    h.server.route(
        QStringLiteral("/stall"),
        Script()
            .send(Script::head("HTTP/1.1 200 OK", {"Content-Length: 900"}) + pdfBody(100))
            .stall());
    EXPECT_FALSE(scheduler.downloadsActive()) << "nothing loaded yet";
    const int p = h.addRow(QStringLiteral("/f"), QStringLiteral("a"), QStringLiteral("htm"));
    ASSERT_TRUE(h.runTwo(p));
    ASSERT_EQ(h.queue.row(p).State, QueueRow::Finished);
    EXPECT_FALSE(scheduler.downloadsActive());
    EXPECT_EQ(检查并纠正磁盘文件类型(h.queue, h.prompts, scheduler.downloadsActive()), 0)
        << "sniffing already renamed it after the download";
    EXPECT_EQ(h.prompts.last(), QStringLiteral("纠正文件类型：0个."));

    const int running = h.addRow(QStringLiteral("/stall"), QStringLiteral("b"));
    h.startTwo(running);
    EXPECT_TRUE(scheduler.downloadsActive());
    检查并纠正磁盘文件类型(h.queue, h.prompts, scheduler.downloadsActive());
    EXPECT_EQ(h.prompts.last(), QStringLiteral("停止下载以后，才能执行此操作！"));
}

// Each started row is announced once (menu自动定位到下载项), and every end runs the same end
// path in both methods: an xml answer counts as a web page (sound 101); it asks for the login
// automation after method one only, an html answer after both.
TEST(TransferScheduler, OneStartAndOneEndPathForBothMethods)
{
    const QByteArray feed = "<?xml version=\"1.0\"?><feed><entry/></feed>";
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        TransferHarness h;
        h.session.method = method;
        h.session.options.threadCount = 2;
        h.session.options.autoLocate = true;
        h.session.options.sound = true;
        h.session.options.autoLogin = true;
        DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
        h.server.serveBody(QStringLiteral("/feed"), feed, "application/xml");
        h.server.serveBody(QStringLiteral("/pdf"), pdfBody(300), "application/pdf");
        h.server.serveBody(QStringLiteral("/page"), "<html><body>sign in</body></html>",
                           "text/html");
        h.addRow(QStringLiteral("/feed"), QStringLiteral("feed"), QStringLiteral("xml"));
        h.addRow(QStringLiteral("/pdf"), QStringLiteral("paper"));
        h.addRow(QStringLiteral("/page"), QStringLiteral("page"));
        QSignalSpy started(&h.session, &DownloadSession::rowStarted);
        QSignalSpy sounds(&h.session, &DownloadSession::soundRequested);
        QList<int> logins;
        QObject::connect(&h.session, &DownloadSession::loginAutomationRequested,
                         [&](int p) { logins << p; });
        ASSERT_TRUE(RunQueue(h, scheduler));
        QList<int> positions;
        for (const QList<QVariant> &s : started)
            positions << s[0].toInt();
        EXPECT_EQ(positions, (QList<int>{1, 2, 3}));
        EXPECT_EQ(h.queue.row(1).Type, QStringLiteral("xml"));
        EXPECT_EQ(h.queue.row(3).Type, QStringLiteral("htm"));
        EXPECT_EQ(sounds.count(), 2);
        EXPECT_EQ(sounds.value(0).value(0).toInt(), 101);
        EXPECT_EQ(logins, method == 1 ? (QList<int>{1, 3}) : QList<int>{3});
    }
}

// "/slow" answers a PDF of 1000 bytes in ten pieces 30 ms apart, long enough for the queue to
// change under both methods' transfers; no time limit ends them first.
namespace {
void routeSlowPdf(TransferHarness &h)
{
    h.session.limits.noProgressMs = 20000;
    h.session.limits.downloaderStallMs = 20000;
    const QByteArray body = pdfBody(1000);
    Script slow;
    slow.send(
        Script::head("HTTP/1.1 200 OK", {"Content-Type: application/pdf", "Content-Length: 1000"}));
    for (int i = 0; i < 1000; i += 100)
        slow.delay(30).send(body.mid(i, 100));
    h.server.route(QStringLiteral("/slow"), slow);
}
} // namespace

// The queue is cleared while a transfer of each method runs, and new rows take the old
// positions: the transfers end without touching the new rows.
TEST(TransferScheduler, RowsClearedWhileTransfersRun)
{
    TransferHarness h;
    routeSlowPdf(h);
    const int p1 = h.addRow(h.server.url(QStringLiteral("/slow?1")), QStringLiteral("a"));
    const int p2 = h.addRow(h.server.url(QStringLiteral("/slow?2")), QStringLiteral("b"));
    h.startTwo(p1, 1);
    QTimer::singleShot(100, &h.queue, [&] {
        h.queue.clear();
        h.addRow(QStringLiteral("/new1"), QStringLiteral("n1"));
        h.addRow(QStringLiteral("/new2"), QStringLiteral("n2"));
    });
    h.one.Inet下载当前文件(p2);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return h.two.LoadedDownloaderCount() == 1 && !h.one.isRunning(); }, 10000));
    ASSERT_EQ(h.queue.count(), 2);
    for (int p = 1; p <= 2; ++p) {
        const QueueRow &row = h.queue.row(p);
        EXPECT_EQ(row.State, QueueRow::Waiting) << p;
        EXPECT_TRUE(row.Size.isEmpty() && row.Received.isEmpty() && row.Percent.isEmpty()) << p;
        EXPECT_EQ(row.Name, QStringLiteral("n%1").arg(p));
    }
}

// "批量替换网址" while both methods fetch: each transfer follows its row to the new key and ends
// it, instead of leaving it "downloading" for ever.
TEST(TransferScheduler, KeysReplacedWhileTransfersRun)
{
    TransferHarness h;
    routeSlowPdf(h);
    const int p1 = h.addRow(h.server.url(QStringLiteral("/slow?one")), QStringLiteral("a"));
    const int p2 = h.addRow(h.server.url(QStringLiteral("/slow?two")), QStringLiteral("b"));
    h.one.Inet下载当前文件(p2);
    h.startTwo(p1, 1);
    QTimer::singleShot(100, &h.queue, [&] {
        for (int p = 1; p <= 2; ++p)
            h.queue.setUrls(p, h.queue.row(p).Urls + QStringLiteral("&mirror"));
    });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return h.two.LoadedDownloaderCount() == 1 && !h.one.isRunning(); }, 10000));
    for (int p = 1; p <= 2; ++p) {
        const QueueRow &row = h.queue.row(p);
        EXPECT_TRUE(row.Urls.endsWith(QStringLiteral("&mirror"))) << p;
        EXPECT_EQ(row.State, QueueRow::Finished) << p;
        EXPECT_EQ(row.Received, QStringLiteral("1000")) << p;
    }
    EXPECT_EQ(h.files(), (QStringList{QStringLiteral("a.pdf"), QStringLiteral("b.pdf")}));
}

// A free slot is taken as soon as the interval allows, not at the next scheduler tick: here
// the tick is an hour, so every start below comes from an end.
TEST(TransferScheduler, FreeSlotsRefillWithoutWaitingForTheTick)
{
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        TransferHarness h;
        h.session.method = method;
        h.session.options.threadCount = 2;
        DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
        scheduler.Timer_Down().setInterval(3600 * 1000);
        h.server.serveBody(QStringLiteral("/f"), pdfBody(300), "application/pdf");
        for (int i = 1; i <= 5; ++i)
            h.addRow(h.server.url(QStringLiteral("/f?%1").arg(i)), QStringLiteral("f%1").arg(i));
        h.session.LastEndTime = h.session.now() - 10;
        scheduler.startDownloads();
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return h.queue.countInState(QueueRow::Finished) == 5; }, 10000))
            << h.queue.ShowQueueCounts().toStdString();
    }
}

// With an interval of one second, the next row starts more than a second after the last end.
TEST(TransferScheduler, RefillKeepsTheInterval)
{
    TransferHarness h;
    h.session.method = 1;
    h.session.options.intervalSeconds = 1;
    DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
    scheduler.Timer_Down().setInterval(3600 * 1000);
    h.server.serveBody(QStringLiteral("/f"), pdfBody(300), "application/pdf");
    h.addRow(h.server.url(QStringLiteral("/f?1")), QStringLiteral("a"));
    h.addRow(h.server.url(QStringLiteral("/f?2")), QStringLiteral("b"));
    double firstEnd = 0, secondStart = 0;
    QObject::connect(&h.queue, &DownloadQueue::rowChanged, [&](int p) {
        if (p == 1 && h.queue.row(1).State == QueueRow::Finished && firstEnd == 0)
            firstEnd = h.session.now();
        if (p == 2 && h.queue.row(2).State == QueueRow::Downloading && secondStart == 0)
            secondStart = h.session.now();
    });
    h.session.LastEndTime = h.session.now() - 10;
    scheduler.startDownloads();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return h.queue.countInState(QueueRow::Finished) == 2; }, 10000));
    EXPECT_GT(secondStart - firstEnd, 1.0);
}
