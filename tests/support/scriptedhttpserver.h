#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTcpServer>
#include <QUrl>
#include <functional>

namespace papyrant::test {

// What the server plays on one connection for one request: raw bytes, pauses and endings, in
// order. A script that ends without close/reset/stall leaves the connection open for the
// client's next request (keep-alive).
class Script
{
public:
    struct Step
    {
        enum Kind { Send, Repeat, Delay, Stall, Close, Reset } kind = Send;
        QByteArray bytes; // Send: the bytes; Repeat: the piece repeated
        qint64 count = 0; // Repeat: total bytes (-1: without end); Delay: milliseconds
    };

    Script &send(const QByteArray &bytes);
    // Streams `piece` over and over, totalBytes in all (cut to fit), or without end when -1.
    // Written as the socket drains, so it holds no more than a few pieces in memory.
    Script &repeat(const QByteArray &piece, qint64 totalBytes);
    Script &delay(int ms);
    Script &stall(); // sends nothing more and keeps the connection open
    Script &close(); // graceful close after everything was written
    Script &reset(); // RST (SO_LINGER 0) after everything was written

    // Status line and headers, ending with the blank line. Each header is "Name: value".
    static QByteArray head(const QByteArray &statusLine, const QList<QByteArray> &headers = {});
    // A whole 200-style answer with Content-Length, kept alive.
    static Script response(int status, const QByteArray &body,
                           const QByteArray &contentType = "application/octet-stream",
                           const QList<QByteArray> &extraHeaders = {});
    // Bytes as given, then close.
    static Script raw(const QByteArray &bytes);

    const QList<Step> &steps() const { return m_steps; }

private:
    QList<Step> m_steps;
};

// One request as the server read it.
struct RecordedRequest
{
    QByteArray method;
    QByteArray target; // as on the request line: path and query
    QByteArray path;   // target without the query
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    // Value of the first header of that name (case ignored); null when absent.
    QByteArray header(const QByteArray &name) const;
};

// A local HTTP/1.1 server on 127.0.0.1 that answers each path with a script. Unknown paths get
// a 404. Requests are recorded in arrival order.
class ScriptedHttpServer : public QObject
{
    Q_OBJECT
public:
    explicit ScriptedHttpServer(QObject *parent = nullptr);
    // A server on another loopback address (127.0.0.2, 127.0.0.3...: all loopback on Linux), so
    // that a test has several hosts.
    explicit ScriptedHttpServer(const QString &address, QObject *parent = nullptr);
    ~ScriptedHttpServer() override;

    quint16 port() const { return m_server.serverPort(); }
    QString baseUrl() const; // "http://<address>:<port>"
    QString url(const QString &pathAndQuery) const;

    // A route matches the request target exactly, else its path without the query.
    void route(const QString &path, const Script &script);
    // The first request gets the first script, the next the second...; the last one repeats.
    void routeSequence(const QString &path, const QList<Script> &scripts);
    void serveBody(const QString &path, const QByteArray &body,
                   const QByteArray &contentType = "application/octet-stream",
                   const QList<QByteArray> &extraHeaders = {});
    // Serves the file's bytes read at request time; the type is guessed from the name if empty.
    void serveFile(const QString &path, const QString &filePath,
                   const QByteArray &contentType = {});
    // Every file under `folder` at urlPrefix + relative path ("/site/" + "a/b.html").
    void serveDirectory(const QString &urlPrefix, const QString &folder);
    // The script for a request to this path chosen when it arrives (a site with sessions).
    void routeHandler(const QString &path, std::function<Script(const RecordedRequest &)> handler);

    QList<RecordedRequest> requests() const { return m_requests; }
    int requestCount(const QString &path) const;
    int connectionCount() const { return m_connections; }
    // Requests whose answer is being played now (from the request to the end of its script or
    // of its connection), and the most there ever were at once.
    int activeRequests() const { return m_active; }
    int mostActiveRequests() const { return m_mostActive; }
    void clearRequests() { m_requests.clear(); }

    // A URL on 127.0.0.1 where nothing listens.
    static QString closedPortUrl(const QString &path = QStringLiteral("/"));

signals:
    void requestReceived(const papyrant::test::RecordedRequest &request);

private:
    friend class ScriptedConnection;
    Script scriptFor(const RecordedRequest &request) const;
    void record(const RecordedRequest &request);

    void playing(int change);

    QTcpServer m_server;
    QString m_address;
    QHash<QString, QList<Script>> m_routes;
    mutable QHash<QString, int> m_played;
    QHash<QString, QPair<QString, QByteArray>> m_files; // path -> (file, type)
    QList<QPair<QString, QString>> m_directories;       // prefix -> folder
    QHash<QString, std::function<Script(const RecordedRequest &)>> m_handlers;
    QList<RecordedRequest> m_requests;
    int m_connections = 0;
    int m_active = 0;
    int m_mostActive = 0;
};

} // namespace papyrant::test
