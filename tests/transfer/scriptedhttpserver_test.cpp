// labels: integration
#include "support/scriptedhttpserver.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <gtest/gtest.h>

using namespace papyrant::test;

namespace {

struct Fetched
{
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QByteArray body;
};

Fetched fetch(QNetworkAccessManager &nam, const QString &url, const QByteArray &referer = {})
{
    QNetworkRequest request{QUrl(url)};
    if (!referer.isEmpty())
        request.setRawHeader("Referer", referer);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    QNetworkReply *reply = nam.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    Fetched out{reply->error(), reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                reply->readAll()};
    reply->deleteLater();
    return out;
}

} // namespace

TEST(ScriptedHttpServer, PlaysRoutesKeepsAliveAndRecordsHeaders)
{
    ScriptedHttpServer server;
    QNetworkAccessManager nam;
    server.serveBody(QStringLiteral("/a"), "hello", "text/plain");
    server.route(QStringLiteral("/slow"),
                 Script()
                     .send(Script::head("HTTP/1.1 200 OK", {"Content-Length: 6"}))
                     .send("abc")
                     .delay(50)
                     .send("def"));

    EXPECT_EQ(fetch(nam, server.url(QStringLiteral("/a?x=1")), "http://ref/").body, "hello");
    EXPECT_EQ(fetch(nam, server.url(QStringLiteral("/slow"))).body, "abcdef");
    const Fetched missing = fetch(nam, server.url(QStringLiteral("/nothing")));
    EXPECT_EQ(missing.status, 404);

    ASSERT_EQ(server.requests().size(), 3);
    EXPECT_EQ(server.requests()[0].target, "/a?x=1");
    EXPECT_EQ(server.requests()[0].header("referer"), "http://ref/");
    EXPECT_EQ(server.requestCount(QStringLiteral("/a")), 1);
    EXPECT_EQ(server.connectionCount(), 1); // keep-alive: one connection for all three
}

TEST(ScriptedHttpServer, EndsConnectionsByCloseAndReset)
{
    ScriptedHttpServer server;
    QNetworkAccessManager nam;
    server.route(QStringLiteral("/close"),
                 Script::raw(Script::head("HTTP/1.1 200 OK") + "until close"));
    server.route(
        QStringLiteral("/reset"),
        Script().send(Script::head("HTTP/1.1 200 OK", {"Content-Length: 100"}) + "part").reset());
    server.route(
        QStringLiteral("/repeat"),
        Script().send(Script::head("HTTP/1.1 200 OK")).repeat("0123456789", 100005).close());

    const Fetched closed = fetch(nam, server.url(QStringLiteral("/close")));
    EXPECT_EQ(closed.error, QNetworkReply::NoError);
    EXPECT_EQ(closed.body, "until close");
    const Fetched reset = fetch(nam, server.url(QStringLiteral("/reset")));
    EXPECT_NE(reset.error, QNetworkReply::NoError);
    EXPECT_EQ(fetch(nam, server.url(QStringLiteral("/repeat"))).body.size(), 100005);
    EXPECT_EQ(fetch(nam, ScriptedHttpServer::closedPortUrl()).error,
              QNetworkReply::ConnectionRefusedError);
}
