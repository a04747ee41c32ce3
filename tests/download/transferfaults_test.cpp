// labels: integration faults
// Every case is played by a real local server and run through both transfer methods; the row's
// final state, its columns and what is on disk are checked.
#include "download/landingresolution.h"
#include "support/qtprinters.h"
#include "transferharness.h"

#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;

namespace {

struct Outcome
{
    QueueRow::StateValue state;
    QString size, received, percent;
    std::optional<QByteArray> file; // content of a.pdf; nullopt: no file at all
    QString reason;                 // what the row says of its end
};

struct Case
{
    const char *name;
    QList<Script> scripts; // played for "/f" in turn
    Outcome one;
    std::optional<Outcome> two; // nullopt: the same as method one
};

QByteArray head(const QByteArray &status, const QList<QByteArray> &headers = {})
{
    return Script::head(status, headers);
}

const QByteArray ok = "HTTP/1.1 200 OK";

QList<Case> cases()
{
    const QByteArray body = pdfBody(1000);
    const QByteArray pdf = "Content-Type: application/pdf";
    const QString n1000 = QStringLiteral("1000");
    const QString full = QStringLiteral("100%");
    const QString big = QStringLiteral("大文件，跳过");
    const QString failed = QStringLiteral("下载失败");
    const QString any = QStringLiteral("*"); // not checked
    const QString cut = QStringLiteral("响应不完整");
    const QString timedOut = QStringLiteral("超时");
    const QString tooLarge = QStringLiteral("文件过大");
    const QString badHeaders = QStringLiteral("响应头无效");
    const auto st3 = QueueRow::Finished;
    const auto st4 = QueueRow::Failed;
    QList<QByteArray> manyHeaders;
    for (int i = 0; i < 5000; ++i)
        manyHeaders << "X-Line-" + QByteArray::number(i) + ": v";
    QByteArray chunked;
    for (int i = 0; i < 1000; i += 250)
        chunked += "fa\r\n" + body.mid(i, 250) + "\r\n";
    chunked += "0\r\n\r\n";

    return {
        // lengths
        {"length given",
         {Script::response(200, body, "application/pdf")},
         {st3, n1000, n1000, full, body, {}},
         {}},
        {"no length until close",
         {Script::raw(head(ok, {pdf}) + body)},
         {st3, n1000, n1000, full, body, {}},
         {}},
        {"chunked",
         {Script().send(head(ok, {pdf, "Transfer-Encoding: chunked"}) + chunked)},
         {st3, n1000, n1000, full, body, {}},
         {}},
        {"chunked cut short",
         {Script().send(head(ok, {pdf, "Transfer-Encoding: chunked"}) + chunked.left(400)).close()},
         {st4, failed, any, any, std::nullopt, cut},
         Outcome{st4, {}, {}, {}, std::nullopt, cut}},
        {"chunked without the blank line after the last chunk",
         {Script()
              .send(head(ok, {pdf, "Transfer-Encoding: chunked"}) + chunked.chopped(2))
              .close()},
         {st4, failed, any, any, std::nullopt, cut},
         Outcome{st4, {}, {}, {}, std::nullopt, cut}},
        {"length above the limit",
         {Script().send(head(ok, {pdf, "Content-Length: 100000"})).repeat("x", 100000)},
         {st3, {}, {}, big, std::nullopt, tooLarge},
         Outcome{st3, QStringLiteral("100000"), any, big, std::nullopt, tooLarge}},
        {"huge length",
         {Script().send(head(ok, {pdf, "Content-Length: 9223372036854775807"}) + "abc").stall()},
         {st3, {}, {}, big, std::nullopt, tooLarge},
         Outcome{st3, QStringLiteral("9223372036854775807"), QStringLiteral("3"), big, std::nullopt,
                 tooLarge}},
        {"negative length",
         {Script::raw(head(ok, {pdf, "Content-Length: -1"}) + body)},
         {st3, n1000, n1000, full, body, {}},
         {}},
        {"length abc",
         {Script::raw(head(ok, {pdf, "Content-Length: abc"}) + body)},
         {st3, n1000, n1000, full, body, {}},
         {}},
        // a length that is not a whole number of bytes is no length
        {"length 1e-300",
         {Script::raw(head(ok, {pdf, "Content-Length: 1e-300"}) + body)},
         {st3, n1000, n1000, full, body, {}},
         {}},
        {"length 1.5",
         {Script::raw(head(ok, {pdf, "Content-Length: 1.5"}) + body)},
         {st3, n1000, n1000, full, body, {}},
         {}},
        {"length 0x10",
         {Script::raw(head(ok, {pdf, "Content-Length: 0x10"}) + body)},
         {st3, n1000, n1000, full, body, {}},
         {}},
        {"no length, body passes the limit",
         {Script().send(head(ok, {pdf})).repeat("%PDF-xxxxxxxxxxx", -1)},
         {st3, QStringLiteral("未知"), any, big, std::nullopt, tooLarge},
         Outcome{st3, {}, {}, big, std::nullopt, tooLarge}},
        // ends
        {"accepted but silent", {Script().stall()}, {st4, {}, {}, {}, std::nullopt, timedOut}, {}},
        {"empty reply",
         {Script::raw("")},
         {st4, {}, {}, {}, std::nullopt, QStringLiteral("服务器没有响应")},
         {}},
        {"headers then close",
         {Script::raw(head(ok, {pdf, "Content-Length: 1000"}))},
         {st4, failed, QStringLiteral("0"), {}, std::nullopt, cut},
         Outcome{st4, {}, {}, {}, std::nullopt, cut}},
        {"stall mid-body",
         {Script().send(head(ok, {pdf, "Content-Length: 1000"}) + body.left(100)).stall()},
         {st4, failed, QStringLiteral("100"), QStringLiteral("10%"), std::nullopt, timedOut},
         Outcome{st4, n1000, QStringLiteral("100"), QStringLiteral("10%"), std::nullopt, timedOut}},
        {"closed before the announced length",
         {Script::raw(head(ok, {pdf, "Content-Length: 1000"}) + body.left(100))},
         {st4, failed, any, any, std::nullopt, cut},
         Outcome{st4, n1000, QStringLiteral("100"), QStringLiteral("10%"), std::nullopt, cut}},
        {"reset mid-body",
         {Script().send(head(ok, {pdf, "Content-Length: 1000"}) + body.left(100)).reset()},
         {st4, failed, any, any, std::nullopt, cut},
         Outcome{st4, n1000, QStringLiteral("100"), QStringLiteral("10%"), std::nullopt, cut}},
        // statuses: an error answer is no file, whatever page comes with it
        {"500 without body",
         {Script::response(500, "", "text/html")},
         {st4, failed, {}, {}, std::nullopt, QStringLiteral("HTTP 500 Internal Server Error")},
         Outcome{st4, {}, {}, {}, std::nullopt, QStringLiteral("HTTP 500 Internal Server Error")}},
        {"404 with its page",
         {Script::response(404, "<h1>Not Found</h1>", "text/html")},
         {st4, failed, {}, {}, std::nullopt, QStringLiteral("HTTP 404 Not Found")},
         Outcome{st4, {}, {}, {}, std::nullopt, QStringLiteral("HTTP 404 Not Found")}},
        {"403 with a PDF type and no length",
         {Script::raw(head("HTTP/1.1 403 Forbidden", {pdf}) + body)},
         {st4, failed, {}, {}, std::nullopt, QStringLiteral("HTTP 403 Forbidden")},
         Outcome{st4, {}, {}, {}, std::nullopt, QStringLiteral("HTTP 403 Forbidden")}},
        // a redirect that leads nowhere is no file either, with or without a body
        {"302 without Location",
         {Script::response(302, "moved", "text/html")},
         {st4, failed, {}, {}, std::nullopt, QStringLiteral("HTTP 302 Found")},
         Outcome{st4, {}, {}, {}, std::nullopt, QStringLiteral("HTTP 302 Found")}},
        // headers
        {"100 KB header line",
         {Script::raw(head(ok, {"X-Big: " + QByteArray(100 * 1024, 'a')}) + body)},
         {st4, {}, {}, {}, std::nullopt, badHeaders},
         {}},
        {"5,000 header lines",
         {Script::raw(head(ok, manyHeaders) + body)},
         {st4, {}, {}, {}, std::nullopt, badHeaders},
         {}},
    };
}

void expectOutcome(const TransferHarness &h, int position, const Outcome &want)
{
    const QueueRow &row = h.queue.row(position);
    EXPECT_EQ(row.State, want.state);
    for (const auto &[have, expected] :
         {std::pair{row.Size, want.size}, std::pair{row.Received, want.received},
          std::pair{row.Percent, want.percent}, std::pair{row.Reason, want.reason}})
        if (expected != u"*") {
            EXPECT_EQ(have, expected);
        }
    if (want.file) {
        EXPECT_EQ(h.files(), QStringList{QStringLiteral("a.pdf")});
        EXPECT_EQ(h.content(QStringLiteral("a.pdf")), want.file);
    } else {
        EXPECT_EQ(h.files(), QStringList());
    }
}

} // namespace

TEST(TransferFaults, EveryCaseThroughMethodOne)
{
    for (const Case &c : cases()) {
        SCOPED_TRACE(c.name);
        TransferHarness h;
        h.server.routeSequence(QStringLiteral("/f"), c.scripts);
        const int p = h.addRow(QStringLiteral("/f"));
        h.runOne(p);
        expectOutcome(h, p, c.one);
        EXPECT_FALSE(h.one.isRunning());
        EXPECT_FALSE(h.one.isExecuting());
    }
}

TEST(TransferFaults, EveryCaseThroughMethodTwo)
{
    for (const Case &c : cases()) {
        SCOPED_TRACE(c.name);
        TransferHarness h;
        h.server.routeSequence(QStringLiteral("/f"), c.scripts);
        const int p = h.addRow(QStringLiteral("/f"));
        ASSERT_TRUE(h.runTwo(p));
        expectOutcome(h, p, c.two.value_or(c.one));
    }
}

TEST(TransferFaults, ClosedPortEndsFailedInBothMethods)
{
    TransferHarness h;
    const int p1 = h.addRow(ScriptedHttpServer::closedPortUrl(QStringLiteral("/a.pdf")));
    h.runOne(p1);
    EXPECT_EQ(h.queue.row(p1).State, QueueRow::Failed);
    EXPECT_EQ(h.queue.row(p1).Reason, QStringLiteral("连接被拒绝"));
    const int p2 =
        h.addRow(ScriptedHttpServer::closedPortUrl(QStringLiteral("/b.pdf")), QStringLiteral("b"));
    ASSERT_TRUE(h.runTwo(p2));
    EXPECT_EQ(h.queue.row(p2).State, QueueRow::Failed);
    EXPECT_EQ(h.queue.row(p2).Reason, QStringLiteral("连接被拒绝"));
    EXPECT_EQ(h.files(), QStringList());
}

// A 302 without length goes to the fallback fetch in method one, which follows it; a redirect
// loop ends in both methods after a bounded number of requests.
TEST(TransferFaults, RedirectsFollowedByTheFallbackAndLoopsBounded)
{
    const QByteArray body = pdfBody(500);
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        TransferHarness h;
        // Time enough for every hop: the loop is to end by its count, not by a time limit.
        h.session.limits.headerWaitMs = h.session.limits.downloaderStallMs = 10000;
        h.server.route(QStringLiteral("/r"),
                       Script::raw(head("HTTP/1.1 302 Found", {"Location: /target"})));
        h.server.serveBody(QStringLiteral("/target"), body, "application/pdf");
        h.server.route(QStringLiteral("/loop"), Script::response(302, "", "", {"Location: /loop"}));
        const int p = h.addRow(QStringLiteral("/r"));
        const int loop = h.addRow(QStringLiteral("/loop"), QStringLiteral("b"));
        if (method == 1) {
            h.runOne(p);
            h.runOne(loop);
        } else {
            ASSERT_TRUE(h.runTwo(p));
            ASSERT_TRUE(h.runTwo(loop));
        }
        EXPECT_EQ(h.queue.row(p).State, QueueRow::Finished);
        EXPECT_EQ(h.queue.row(p).Percent, QStringLiteral("100%"));
        EXPECT_EQ(h.content(QStringLiteral("a.pdf")), body);
        EXPECT_EQ(h.queue.row(loop).State, QueueRow::Failed);
        EXPECT_EQ(h.queue.row(loop).Reason, QStringLiteral("跳转次数过多"));
        EXPECT_EQ(h.files(), QStringList{QStringLiteral("a.pdf")});
        EXPECT_LE(h.server.requestCount(QStringLiteral("/loop")), 30);
    }
}

// A login form that answers 200 instead of the article (delivered as "pdf") is saved, sniffed
// as htm and renamed; the same form sent with an error status is no file at all, and its row
// says why. A row tried again after such an end starts without the old reason.
TEST(TransferFaults, PagesAnsweredOkAreSavedErrorPagesAreNot)
{
    const QByteArray page =
        "<html><head><title>login</title></head><body><form></form></body></html>";
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        TransferHarness h;
        h.server.routeSequence(QStringLiteral("/401"),
                               {Script::response(401, page, "application/pdf"),
                                Script::response(200, pdfBody(300), "application/pdf")});
        h.server.serveBody(QStringLiteral("/login"), page, "application/pdf");
        const int p401 = h.addRow(QStringLiteral("/401"), QStringLiteral("a"));
        const int login = h.addRow(QStringLiteral("/login"), QStringLiteral("b"));
        const auto run = [&](int p) {
            if (method == 1)
                h.runOne(p);
            else
                ASSERT_TRUE(h.runTwo(p));
        };
        run(p401);
        run(login);
        EXPECT_EQ(h.queue.row(p401).State, QueueRow::Failed);
        EXPECT_EQ(h.queue.row(p401).Reason, QStringLiteral("HTTP 401 Status"));
        EXPECT_EQ(h.queue.row(login).State, QueueRow::Finished);
        EXPECT_EQ(h.queue.row(login).Type.toLower(), QStringLiteral("htm"));
        // A page that names no full text says so.
        EXPECT_EQ(h.queue.row(login).Reason, PageReason::noPdfLink());
        EXPECT_EQ(h.files(), QStringList{QStringLiteral("b.htm")});

        h.queue.setState(p401, QueueRow::Waiting);
        run(p401);
        EXPECT_EQ(h.queue.row(p401).State, QueueRow::Finished);
        EXPECT_EQ(h.queue.row(p401).Reason, QString());
        EXPECT_EQ(h.files(), (QStringList{QStringLiteral("a.pdf"), QStringLiteral("b.htm")}));
    }
}

// A chunked body that ends before its terminating chunk is no file, wherever the cut falls
// (inside a chunk, right after a whole chunk, inside the last chunk's size line) and however
// often it is tried.
TEST(TransferFaults, ChunkedBodyCutBeforeItsLastChunkNeverPasses)
{
    const QByteArray body = pdfBody(1000);
    QByteArray chunked;
    for (int i = 0; i < 1000; i += 250)
        chunked += "fa\r\n" + body.mid(i, 250) + "\r\n";
    const QByteArray answer =
        head(ok, {"Content-Type: application/pdf", "Transfer-Encoding: chunked"});
    const QList<QByteArray> cuts = {chunked.left(400), chunked.left(2 * 256), chunked + "0"};
    for (int method : {1, 2}) {
        int passed = 0;
        for (int i = 0; i < 25; ++i) {
            SCOPED_TRACE(testing::Message() << "method " << method << ", run " << i);
            TransferHarness h;
            h.server.route(QStringLiteral("/f"), Script().send(answer + cuts[i % 3]).close());
            const int p = h.addRow(QStringLiteral("/f"));
            if (method == 1)
                h.runOne(p);
            else
                ASSERT_TRUE(h.runTwo(p));
            const bool failed = h.queue.row(p).State == QueueRow::Failed && h.files().isEmpty()
                                && h.queue.row(p).Reason == QStringLiteral("响应不完整");
            passed += failed ? 0 : 1;
            EXPECT_TRUE(failed) << "cut " << i % 3;
        }
        EXPECT_EQ(passed, 0) << "method " << method;
    }
}

// The stop command while three method-two transfers and one method-one transfer run: every row
// ends in state 4, method one's as "下载取消", and no file of ours is left.
TEST(TransferFaults, StopEndsEveryRunningTransfer)
{
    TransferHarness h;
    h.server.route(QStringLiteral("/slow"),
                   Script().send(head(ok, {"Content-Length: 5000"}) + pdfBody(300)).stall());
    for (int i = 0; i < 4; ++i)
        h.addRow(h.server.url(QStringLiteral("/slow?%1").arg(i)), QStringLiteral("f%1").arg(i));
    for (int slot = 1; slot <= 3; ++slot)
        h.startTwo(slot, slot);
    h.session.limits.noProgressMs = 60000;
    QTimer::singleShot(300, [&] {
        // the stop command, as the scheduler runs it
        h.one.cancel();
        for (int slot = 1; slot <= 6; ++slot)
            h.two.unload(slot);
        for (int p = 1; p <= h.queue.count(); ++p)
            if (h.queue.row(p).State == QueueRow::Downloading)
                h.queue.setState(p, QueueRow::Failed);
    });
    h.runOne(4);
    EXPECT_EQ(h.queue.row(4).Size, QStringLiteral("下载取消"));
    EXPECT_EQ(h.queue.row(4).Reason, QStringLiteral("下载取消"));
    for (int p = 1; p <= 4; ++p)
        EXPECT_EQ(h.queue.row(p).State, QueueRow::Failed) << p;
    EXPECT_EQ(h.two.LoadedDownloaderCount(), 1);
    QTest::qWait(100);
    EXPECT_EQ(h.files(), QStringList());
}

TEST(TransferFaults, OneStalledTransferAmongThreeFailsAlone)
{
    TransferHarness h;
    const QByteArray body = pdfBody(2000);
    h.server.serveBody(QStringLiteral("/good"), body, "application/pdf");
    h.server.route(QStringLiteral("/stall"),
                   Script().send(head(ok, {"Content-Length: 2000"}) + body.left(10)).stall());
    h.addRow(h.server.url(QStringLiteral("/good?1")), QStringLiteral("a"));
    h.addRow(h.server.url(QStringLiteral("/stall")), QStringLiteral("b"));
    h.addRow(h.server.url(QStringLiteral("/good?3")), QStringLiteral("c"));
    for (int slot = 1; slot <= 3; ++slot)
        h.startTwo(slot, slot);
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.two.LoadedDownloaderCount() == 1; }, 5000));
    EXPECT_EQ(h.queue.row(1).State, QueueRow::Finished);
    EXPECT_EQ(h.queue.row(2).State, QueueRow::Failed);
    EXPECT_EQ(h.queue.row(3).State, QueueRow::Finished);
    EXPECT_EQ(h.files(), (QStringList{QStringLiteral("a.pdf"), QStringLiteral("c.pdf")}));
}

// An endless body of unknown length ends as soon as it passes the size limit, not when a time
// limit runs out.
TEST(TransferFaults, EndlessBodyEndsAtTheLimitNotAtATimeLimit)
{
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        TransferHarness h;
        h.session.limits.headerWaitMs = h.session.limits.noProgressMs = 60000;
        h.session.limits.downloaderStallMs = 60000;
        h.server.route(QStringLiteral("/f"), Script()
                                                 .send(head(ok, {"Content-Type: application/pdf"}))
                                                 .repeat("%PDF-0123456789", -1));
        const int p = h.addRow(QStringLiteral("/f"));
        // The time limits are a minute: ending within the waits below, with the size text,
        // is ending at the limit.
        if (method == 1)
            h.runOne(p);
        else
            ASSERT_TRUE(h.runTwo(p, 30000));
        EXPECT_EQ(h.queue.row(p).Percent, QStringLiteral("大文件，跳过"));
        EXPECT_EQ(h.files(), QStringList());
    }
}

// A save folder that cannot be made ("." as a level) ends the row failed with the reason, and no
// box opens on the way: a box there is a nested loop, under which the transfer's own watch
// would run the same step again and then dismissing the box would go on with a transfer that
// has already ended.
TEST(TransferFaults, AFolderThatCannotBeMadeFailsTheRowWithoutABox)
{
    TransferHarness h;
    h.prompts.modalMs = 400; // longer than a tick of the transfer's watch
    h.server.serveBody(QStringLiteral("/f"), pdfBody(1000), "application/pdf");
    const int p = h.addRow(QStringLiteral("/f"));
    h.queue.setSaveFolder(p, h.folder() + QStringLiteral("h/./"));
    QSignalSpy ends(&h.session, &DownloadSession::rowEnded);
    h.runOne(p);
    // A later transfer proves the event loop ran on past the end.
    h.server.serveBody(QStringLiteral("/later"), pdfBody(100), "application/pdf");
    const int later = h.addRow(QStringLiteral("/later"), QStringLiteral("b"));
    h.runOne(later);

    EXPECT_EQ(h.prompts.kinds(), QStringList());
    EXPECT_EQ(h.queue.row(p).State, QueueRow::Failed);
    EXPECT_EQ(h.queue.row(p).Size, QStringLiteral("文件夹名称有误，不能创建文件夹"));
    EXPECT_EQ(ends.size(), 2) << "one end per row";
    EXPECT_EQ(h.queue.row(later).State, QueueRow::Finished);
    EXPECT_EQ(h.files(), QStringList{QStringLiteral("b.pdf")});
}
