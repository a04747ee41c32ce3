// labels: integration
// The scheduler and the real transfer methods against three hosts, one of which asks for a rest.
#include "support/qtprinters.h"
#include "transferharness.h"

#include <QElapsedTimer>
#include <array>
#include <gtest/gtest.h>
#include <memory>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

// Three loopback addresses are three hosts (the courtesy rules count a host by its name, not
// its port). The second refuses its first two requests with 429 and "Retry-After: 3": its rows
// wait and then finish, the rows of the other two finish meanwhile, and no host ever serves more
// than two requests at once, whatever the thread count.
TEST(PoliteHosts, ARestingHostWaitsWhileTheOthersGoOnAndNoHostGetsMoreThanTwo)
{
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        TransferHarness h;
        h.session.method = method;
        h.session.options.threadCount = 6;
        h.session.options.perHostLimit = 2;
        h.session.options.maxFileSizeMB = 1;
        DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);

        // An answer that takes a while, so that transfers to one host overlap.
        const Script slow =
            Script()
                .send(Script::head("HTTP/1.1 200 OK",
                                   {"Content-Type: application/pdf", "Content-Length: 3000"}))
                .delay(150)
                .send(pdfBody(3000));
        std::array<std::unique_ptr<ScriptedHttpServer>, 3> hosts;
        for (int i = 0; i < 3; ++i) {
            hosts[size_t(i)] = std::make_unique<ScriptedHttpServer>(u"127.0.0.%1"_s.arg(i + 1));
            ASSERT_TRUE(hosts[size_t(i)]->port()) << "no listener on 127.0.0." << i + 1;
        }
        int refusals = 0;
        QElapsedTimer sinceRefusal;
        qint64 retriedAfterMs = -1;
        hosts[1]->routeHandler(u"/f"_s, [&](const RecordedRequest &) {
            if (refusals < 2) {
                ++refusals;
                sinceRefusal.start();
                return Script::response(429, "slow down", "text/plain", {"Retry-After: 3"});
            }
            if (retriedAfterMs < 0)
                retriedAfterMs = sinceRefusal.elapsed();
            return slow;
        });
        for (int i : {0, 2})
            hosts[size_t(i)]->route(u"/f"_s, slow);

        // Rows of the resting host first, so that the others must pass them.
        const int perHost = method == 1 ? 2 : 4;
        for (int i : {1, 0, 2})
            for (int n = 1; n <= perHost; ++n)
                h.addRow(hosts[size_t(i)]->url(u"/f?%1"_s.arg(n)), u"h%1-%2"_s.arg(i + 1).arg(n));

        QStringList waitingTexts, panel3;
        qint64 othersDoneMs = -1;
        QElapsedTimer clock;
        const auto othersDone = [&] {
            for (int p = 1; p <= h.queue.count(); ++p)
                if (!h.queue.row(p).Name.startsWith(u"h2")
                    && h.queue.row(p).State != QueueRow::Finished)
                    return false;
            return true;
        };
        QObject::connect(&h.queue, &DownloadQueue::rowChanged, [&](int p) {
            const QString percent = h.queue.row(p).Percent;
            if (percent.startsWith(u"等待重试"_s) && !waitingTexts.contains(percent))
                waitingTexts << percent;
            if (othersDoneMs < 0 && othersDone())
                othersDoneMs = clock.elapsed();
        });
        QObject::connect(&h.session, &DownloadSession::statusText,
                         [&](int panel, const QString &text) {
                             if (panel == 3 && !text.isEmpty() && !panel3.contains(text))
                                 panel3 << text;
                         });
        clock.start();
        scheduler.startHousekeeping();
        ASSERT_TRUE(RunQueue(h, scheduler, 20000)) << h.queue.ShowQueueCounts().toStdString();

        for (int p = 1; p <= h.queue.count(); ++p) {
            SCOPED_TRACE(h.queue.row(p).Name.toStdString());
            EXPECT_EQ(h.queue.row(p).State, QueueRow::Finished);
            EXPECT_EQ(h.content(h.queue.row(p).Name + u".pdf"_s), pdfBody(3000));
        }
        EXPECT_EQ(refusals, 2);
        EXPECT_GE(retriedAfterMs, 2900) << "Retry-After: 3 is honoured";
        EXPECT_GE(othersDoneMs, 0);
        EXPECT_LT(othersDoneMs, clock.elapsed() - 1000)
            << "the other hosts finished while the second rested";
        EXPECT_TRUE(waitingTexts.contains(u"等待重试(网站限流)，3秒"_s))
            << waitingTexts.join(u'|').toStdString();
        EXPECT_TRUE(panel3.contains(u"网站限流，暂停下载：127.0.0.2（3秒）"_s))
            << panel3.join(u'|').toStdString();
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(i + 1);
            EXPECT_LE(hosts[size_t(i)]->mostActiveRequests(), 2);
            if (method == 2) {
                EXPECT_EQ(hosts[size_t(i)]->mostActiveRequests(), 2) << "two at once, not fewer";
            }
        }
    }
}
