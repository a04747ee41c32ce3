// labels: integration
// Method one beside the search side's page walk: both wait on the one event loop, and neither
// holds the other up. A method-one transfer whose owner goes away ends without a trace.
#include "support/qtprinters.h"
#include "support/searchrig.h"
#include "support/staticbrowser.h"
#include "transferharness.h"

#include <QTimer>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString site = u"http://site.test"_s;

// An answer of 2,000 bytes whose body stops after 100 bytes and keeps the connection open.
Script stalledBody()
{
    return Script()
        .send(Script::head("HTTP/1.1 200 OK", {"Content-Length: 2000"}) + pdfBody(100))
        .stall();
}

bool ended(const QueueRow &row)
{
    return row.State == QueueRow::Finished || row.State == QueueRow::Failed;
}

// A method-one transfer and the search side's add-all walk over the fixture's three result
// pages, with a throttle delay of delaySeconds, each second lasting msPerSecond.
struct TransferBesideWalk
{
    TransferHarness h;
    StaticBrowser browser;
    SearchRig rig{&browser};

    TransferBesideWalk(const QString &delaySeconds, int msPerSecond)
    {
        h.session.limits.noProgressMs = 20000;
        loadFixtureResultPages(browser, site);
        rig.values.PromptSavePathOnExtract = 0;
        rig.session->limits.msPerDelaySecond = msPerSecond;
        rig.delay = delaySeconds;
    }
};

} // namespace

// The transfer starts first; the walk then waits out a long throttle delay. The row keeps
// growing during that wait and ends while the walk still waits.
TEST(MethodOneBesideTheWalk, TransferGoesOnDuringTheWalksWait)
{
    TransferBesideWalk t(u"60"_s, 1000);
    TransferHarness &h = t.h;
    // 2,000 bytes in 20 pieces, 40 ms apart.
    const QByteArray body = pdfBody(2000);
    Script slow;
    slow.send(
        Script::head("HTTP/1.1 200 OK", {"Content-Type: application/pdf", "Content-Length: 2000"}));
    for (int i = 0; i < 2000; i += 100)
        slow.delay(40).send(body.mid(i, 100));
    h.server.route(u"/slow"_s, slow);
    const int p = h.addRow(u"/slow"_s);

    QStringList receivedDuringWalk;
    bool endedDuringWalk = false;
    QObject::connect(&h.queue, &DownloadQueue::rowChanged, t.rig.walk, [&](int position) {
        if (position != p || t.rig.walk->state() != RunButtonState::Running)
            return;
        const QueueRow &row = h.queue.row(p);
        if (receivedDuringWalk.value(receivedDuringWalk.size() - 1) != row.Received)
            receivedDuringWalk << row.Received;
        if (ended(row) && !endedDuringWalk) {
            endedDuringWalk = true;
            t.rig.walk->Command4Click(); // "停止加入全部": the test need not wait a minute
        }
    });

    h.one.Inet下载当前文件(p);
    t.rig.walk->Command4Click(); // returns when the walk has ended

    ASSERT_TRUE(QTest::qWaitFor([&] { return ended(h.queue.row(p)); }, 10000));
    EXPECT_TRUE(endedDuringWalk);
    EXPECT_GE(receivedDuringWalk.size(), 5) << receivedDuringWalk.join(u' ').toStdString();
    EXPECT_EQ(h.queue.row(p).State, QueueRow::Finished);
    EXPECT_EQ(h.content(u"a.pdf"_s), body);
}

// The walk starts first; a transfer started during its throttle wait does not hold the walk up:
// the walk ends on its own time while the transfer (its body stalled) still runs.
TEST(MethodOneBesideTheWalk, WalkEndsOnTimeWhileATransferRuns)
{
    TransferBesideWalk t(u"3"_s, 100); // two waits of 300 ms
    TransferHarness &h = t.h;
    h.server.route(u"/stall"_s, stalledBody());
    const int p = h.addRow(u"/stall"_s);

    QTimer::singleShot(50, t.rig.walk, [&] { h.one.Inet下载当前文件(p); });
    t.rig.walk->Command4Click();

    EXPECT_EQ(t.browser.URL(), site + u"/search3.html"_s) << "the walk went through every page";
    EXPECT_EQ(h.queue.row(p).State, QueueRow::Downloading) << "the transfer outlives the walk";
    EXPECT_EQ(h.queue.row(p).Received, u"100"_s);
    h.one.cancel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended(h.queue.row(p)); }, 5000));
    EXPECT_EQ(h.queue.row(p).Size, u"下载取消"_s);
    EXPECT_EQ(h.files(), QStringList());
}

// The window that owns method one closes while its transfer runs: nothing is left on disk, the
// row is not touched afterwards and the program goes on.
TEST(MethodOneBesideTheWalk, OwnerDestroyedDuringATransfer)
{
    TransferHarness h;
    h.session.limits.noProgressMs = 20000;
    h.server.route(u"/stall"_s, stalledBody());
    const int p = h.addRow(u"/stall"_s);
    // As in the window: the session goes first when the owner is deleted, then method one.
    auto *owner = new QObject;
    auto *session = new DownloadSession(h.queue, owner);
    session->limits = h.session.limits;
    auto *one = new MethodOne(*session, owner);
    one->proxy = {};
    QPointer<QObject> alive(owner);
    // The owner is deleted by a timer once the first bytes have arrived.
    QObject::connect(&h.queue, &DownloadQueue::rowChanged, owner, [&] {
        if (h.queue.row(p).Received == u"100"_s)
            QTimer::singleShot(0, &h.queue, [&] { delete alive.data(); });
    });
    QTimer::singleShot(0, owner, [&] { one->Inet下载当前文件(p); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, 5000));
    const QueueRow before = h.queue.row(p);
    // A later request proves the event loop has run on past the destroyed transfer.
    h.server.serveBody(u"/later"_s, pdfBody(100));
    const int later = h.addRow(u"/later"_s, u"b"_s);
    h.runOne(later);
    EXPECT_EQ(h.queue.row(p).Received, before.Received);
    EXPECT_EQ(h.queue.row(p).State, before.State);
    EXPECT_EQ(h.files(), QStringList{u"b.pdf"_s});
}
