// labels: integration faults
#include "support/qtprinters.h"
#include "support/scriptedhttpserver.h"
#include "support/testfiles.h"
#include "transfer/uxmlhttp.h"

#include <QFile>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// One request and what it told, in order: "state N" per ready-state event, then "arrived" or
// "err:<text>".
struct Request
{
    uXMLHTTP http;
    QStringList events;

    Request()
    {
        http.setTimeoutMs(300);
        QObject::connect(&http, &uXMLHTTP::OnReadyStateChange, &http,
                         [this] { events << u"state "_s + QString::number(http.ReadyState()); });
        QObject::connect(&http, &uXMLHTTP::OnDateArrived, &http,
                         [this] { events << u"arrived"_s; });
        QObject::connect(&http, &uXMLHTTP::OnDateErr, &http,
                         [this](const QString &text) { events << u"err:"_s + text; });
    }
    bool ended() const
    {
        return !events.isEmpty()
               && (events.last() == u"arrived"_s || events.last().startsWith(u"err:"_s));
    }
    // Runs a GET to the end; false when no completion event came in time.
    bool get(const QString &url, const QString &savePath = {})
    {
        if (!http.Open_(u"get"_s, url, savePath))
            return false;
        EXPECT_FALSE(http.DownOK());
        http.Send_();
        return QTest::qWaitFor([this] { return ended(); }, 10000);
    }
    QString outcome() const { return events.isEmpty() ? QString() : events.last(); }
};

} // namespace

TEST(XmlHttp, AnswerArrivesWithHeadersTextAndEventsInOrder)
{
    ScriptedHttpServer server;
    server.serveBody(u"/newver.txt"_s, "1.6.0", "text/plain", {"X-Extra: yes"});
    Request r;
    ASSERT_TRUE(r.get(server.url(u"/newver.txt"_s)));
    EXPECT_EQ(r.events.first(), u"state 1"_s);
    EXPECT_EQ(r.events.mid(r.events.size() - 2), QStringList({u"state 4"_s, u"arrived"_s}));
    EXPECT_EQ(r.events.count(u"arrived"_s), 1);
    EXPECT_TRUE(r.http.DownOK());
    EXPECT_EQ(r.http.Status(), 200);
    EXPECT_EQ(r.http.StatusText(), u"OK"_s);
    EXPECT_EQ(r.http.ResponseText(), u"1.6.0"_s);
    EXPECT_EQ(r.http.ResponseBody(), "1.6.0");
    EXPECT_EQ(r.http.GetResponseHeader(u"x-extra"_s), u"yes"_s);
    EXPECT_TRUE(r.http.GetAllResponseHeaders().contains(u"Content-Length: 5\r\n"_s));
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0].method, "GET");
}

TEST(XmlHttp, SavesTheBodyOverAnExistingFileOnlyWhenAskedAndOnlyWhole)
{
    ScriptedHttpServer server;
    server.serveBody(u"/f"_s, "new body");
    QTemporaryDir dir;
    const QString path = dir.filePath(u"saved.txt"_s);
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    Request plain;
    ASSERT_TRUE(plain.get(server.url(u"/f"_s)));
    EXPECT_EQ(plain.outcome(), u"arrived"_s);
    EXPECT_EQ(readFile(path), "old");

    Request saving;
    ASSERT_TRUE(saving.get(server.url(u"/f"_s), path));
    EXPECT_EQ(saving.outcome(), u"arrived"_s);
    EXPECT_EQ(readFile(path), "new body");

    // A save that cannot be made is not a success.
    Request failing;
    ASSERT_TRUE(failing.get(server.url(u"/f"_s), dir.filePath(u"no/such/folder/x"_s)));
    EXPECT_EQ(failing.outcome(), u"err:"_s + uXMLHTTP::saveFailedText());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"saved.txt"_s});
}

// Every answer that is not a whole 200 ends in exactly one OnDateErr with the status's text.
TEST(XmlHttp, FailuresEndInOneErrorWithTheStatusText)
{
    ScriptedHttpServer server;
    server.route(u"/404"_s, Script::response(404, "<html>gone</html>", "text/html"));
    server.route(u"/418"_s, Script::response(418, "teapot"));
    server.route(u"/500"_s, Script::response(500, "oops"));
    server.route(u"/stall"_s, Script().stall());
    server.route(
        u"/stall-body"_s,
        Script().send(Script::head("HTTP/1.1 200 OK", {"Content-Length: 100"}) + "1.6").stall());
    server.route(
        u"/reset"_s,
        Script().send(Script::head("HTTP/1.1 200 OK", {"Content-Length: 100"}) + "1.6").reset());
    server.route(u"/endless"_s, Script().send(Script::head("HTTP/1.1 200 OK")).repeat("x", -1));
    // A body the transport cannot decode is no answer, whatever the status line says.
    server.route(u"/bad-gzip"_s, Script::response(200, "this is not gzip", "text/plain",
                                                  {"Content-Encoding: gzip"}));
    const struct
    {
        QString url;
        QString text;
        int status;
    } cases[] = {
        {server.url(u"/404"_s), u"没有发现文件?查询或URl"_s, 404},
        {server.url(u"/418"_s), QString(), 418},
        {server.url(u"/500"_s), u"服务器产生内部错误"_s, 500},
        {server.url(u"/stall"_s), QString(), 0},
        {server.url(u"/stall-body"_s), QString(), 0},
        {server.url(u"/reset"_s), QString(), 0},
        {server.url(u"/endless"_s), QString(), 0},
        {server.url(u"/bad-gzip"_s), QString(), 0},
        {ScriptedHttpServer::closedPortUrl(u"/x"_s), QString(), 0},
    };
    for (const auto &c : cases) {
        Request r;
        r.http.setMaxBodyBytes(64 * 1024);
        ASSERT_TRUE(r.get(c.url)) << qPrintable(c.url);
        EXPECT_EQ(r.outcome(), u"err:"_s + c.text) << qPrintable(c.url);
        EXPECT_EQ(r.events.filter(u"err:"_s).size(), 1) << qPrintable(c.url);
        EXPECT_EQ(r.events.value(r.events.size() - 2), u"state 4"_s) << qPrintable(c.url);
        EXPECT_EQ(r.http.Status(), c.status) << qPrintable(c.url);
        EXPECT_TRUE(r.http.DownOK());
        if (c.status == 0) {
            EXPECT_TRUE(r.http.ResponseBody().isEmpty())
                << "half an answer kept: " << qPrintable(c.url);
        }
    }
    EXPECT_EQ(uXMLHTTP::StatusDescription(0), QString());
    EXPECT_EQ(uXMLHTTP::StatusDescription(601), QString());
}

TEST(XmlHttp, TextIsDecodedByTheAnswersCharsetElseByItsMarkElseAsUtf8)
{
    const QString text = u"最新版本 1.6.0"_s;
    QStringEncoder gbk("GBK");
    ASSERT_TRUE(gbk.isValid());
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    ScriptedHttpServer server;
    server.serveBody(u"/gbk"_s, gbk.encode(text), "text/plain; charset=\"GBK\"");
    server.serveBody(u"/utf8"_s, text.toUtf8(), "text/plain");
    server.serveBody(u"/bom"_s, utf16.encode(text), "text/plain");
    server.serveBody(u"/unknown"_s, text.toUtf8(), "text/plain; charset=no-such-set");
    for (const QString &path : {u"/gbk"_s, u"/utf8"_s, u"/bom"_s, u"/unknown"_s}) {
        Request r;
        ASSERT_TRUE(r.get(server.url(path)));
        EXPECT_EQ(r.http.ResponseText(), text) << qPrintable(path);
    }
}

TEST(XmlHttp, OpenRefusesBadUrlsAndAbortOrANewOpenSilencesTheOldRequest)
{
    Request r;
    QString error;
    EXPECT_FALSE(r.http.Open_(u"GET"_s, u"not a url"_s, {}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(r.http.Open_(u"GET"_s, u"ftp://127.0.0.1/x"_s));

    ScriptedHttpServer server;
    const QByteArray answer = Script::head("HTTP/1.1 200 OK", {"Content-Length: 1"});
    server.route(u"/slow"_s, Script().delay(100).send(answer + "a"));
    // Answers after the slow ones would have come, so their events would show before its own.
    server.route(u"/later"_s, Script().delay(600).send(answer + "b"));
    r.http.setTimeoutMs(5000);
    ASSERT_TRUE(r.http.Open_(u"GET"_s, server.url(u"/slow"_s)));
    r.http.Send_();
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(u"/slow"_s), 1, 5000);
    r.http.Abort_();
    ASSERT_TRUE(r.http.Open_(u"GET"_s, server.url(u"/slow"_s)));
    r.http.Send_();
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(u"/slow"_s), 2, 5000);
    ASSERT_TRUE(r.get(server.url(u"/later"_s)));
    EXPECT_EQ(r.events.filter(u"arrived"_s).size(), 1);
    EXPECT_TRUE(r.events.filter(u"err:"_s).isEmpty());
    EXPECT_EQ(r.http.ResponseText(), u"b"_s);
}
