// labels: integration
// The proxy of the options is chosen for each request, right before it goes out: method one goes
// through it while it is on; method two and the request component (the update check) never do,
// and switching it off takes effect at method one's next request.
#include "support/qtprinters.h"
#include "transfer/uxmlhttp.h"
#include "transferharness.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

TEST(TransferProxy, ChosenForEachRequestAndInheritedByNone)
{
    TransferHarness h;        // h.server: the sites, reached directly
    ScriptedHttpServer proxy; // a stand-in for a proxy: it answers what it is asked for
    // Names that only the proxy knows.
    const QString first = u"http://papers.invalid/a.pdf"_s;
    const QString second = u"http://papers.invalid/d.pdf"_s;
    proxy.serveBody(first, pdfBody(600), "application/pdf");
    proxy.serveBody(second, pdfBody(800), "application/pdf");
    h.server.serveBody(u"/b.pdf"_s, pdfBody(700), "application/pdf");
    h.server.serveBody(u"/c.pdf"_s, pdfBody(900), "application/pdf");
    h.server.serveBody(u"/newver.txt"_s, "1.6.0", "text/plain");
    const ProxySettings on{true, u"127.0.0.1"_s, QString::number(proxy.port())};
    const auto proxied = [&] {
        QStringList targets;
        for (const RecordedRequest &r : proxy.requests())
            targets << QString::fromUtf8(r.target);
        return targets;
    };

    h.one.proxy = on;
    const int a = h.addRow(first, u"a"_s);
    h.runOne(a);
    EXPECT_EQ(h.queue.row(a).State, QueueRow::Finished);
    EXPECT_EQ(proxied(), QStringList{first});

    const int b = h.addRow(u"/b.pdf"_s, u"b"_s);
    ASSERT_TRUE(h.runTwo(b));
    EXPECT_EQ(h.queue.row(b).State, QueueRow::Finished);
    EXPECT_EQ(h.server.requestCount(u"/b.pdf"_s), 1) << "method two goes directly";

    uXMLHTTP check;
    check.setTimeoutMs(10000);
    QSignalSpy arrived(&check, &uXMLHTTP::OnDateArrived);
    QSignalSpy failed(&check, &uXMLHTTP::OnDateErr);
    ASSERT_TRUE(check.Open_(u"GET"_s, h.server.url(u"/newver.txt"_s)));
    check.Send_();
    ASSERT_TRUE(QTest::qWaitFor([&] { return arrived.size() + failed.size() > 0; }, 10000));
    EXPECT_EQ(arrived.size(), 1);
    EXPECT_EQ(h.server.requestCount(u"/newver.txt"_s), 1) << "the update check goes directly";

    h.one.proxy = {}; // switched off in the options
    const int c = h.addRow(u"/c.pdf"_s, u"c"_s);
    h.runOne(c);
    EXPECT_EQ(h.queue.row(c).State, QueueRow::Finished);
    EXPECT_EQ(h.server.requestCount(u"/c.pdf"_s), 1);

    h.one.proxy = on; // and on again
    const int d = h.addRow(second, u"d"_s);
    h.runOne(d);
    EXPECT_EQ(h.queue.row(d).State, QueueRow::Finished);
    EXPECT_EQ(proxied(), (QStringList{first, second}));
    EXPECT_EQ(h.files(), (QStringList{u"a.pdf"_s, u"b.pdf"_s, u"c.pdf"_s, u"d.pdf"_s}));
}
