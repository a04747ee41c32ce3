#include "support/scriptedhttpserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace papyrant::test {

Script &Script::send(const QByteArray &bytes)
{
    m_steps.append({Step::Send, bytes, 0});
    return *this;
}

Script &Script::repeat(const QByteArray &piece, qint64 totalBytes)
{
    Q_ASSERT(!piece.isEmpty());
    m_steps.append({Step::Repeat, piece, totalBytes});
    return *this;
}

Script &Script::delay(int ms)
{
    m_steps.append({Step::Delay, {}, ms});
    return *this;
}

Script &Script::stall()
{
    m_steps.append({Step::Stall, {}, 0});
    return *this;
}

Script &Script::close()
{
    m_steps.append({Step::Close, {}, 0});
    return *this;
}

Script &Script::reset()
{
    m_steps.append({Step::Reset, {}, 0});
    return *this;
}

QByteArray Script::head(const QByteArray &statusLine, const QList<QByteArray> &headers)
{
    QByteArray out = statusLine + "\r\n";
    for (const QByteArray &h : headers)
        out += h + "\r\n";
    return out + "\r\n";
}

Script Script::response(int status, const QByteArray &body, const QByteArray &contentType,
                        const QList<QByteArray> &extraHeaders)
{
    static const QHash<int, QByteArray> reasons = {
        {200, "OK"}, {302, "Found"}, {404, "Not Found"}, {500, "Internal Server Error"}};
    QList<QByteArray> headers;
    if (!contentType.isEmpty())
        headers << "Content-Type: " + contentType;
    headers << "Content-Length: " + QByteArray::number(body.size());
    headers += extraHeaders;
    const QByteArray status_line =
        "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasons.value(status, "Status");
    return Script().send(head(status_line, headers) + body);
}

Script Script::raw(const QByteArray &bytes)
{
    return Script().send(bytes).close();
}

QByteArray RecordedRequest::header(const QByteArray &name) const
{
    for (const auto &h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

// One client connection: reads requests, plays each one's script, then reads the next.
class ScriptedConnection : public QObject
{
public:
    ScriptedConnection(ScriptedHttpServer *server, QTcpSocket *socket)
        : QObject(server), m_server(server), m_socket(socket)
    {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, &ScriptedConnection::readRequests);
        connect(socket, &QTcpSocket::bytesWritten, this, &ScriptedConnection::drained);
        connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    }
    ~ScriptedConnection() override { setPlaying(false); }

private:
    void readRequests()
    {
        m_buffer += m_socket->readAll();
        while (!m_playing) {
            const qsizetype end = m_buffer.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            RecordedRequest request;
            const QList<QByteArray> lines = m_buffer.left(end).split('\n');
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            request.method = first.value(0);
            request.target = first.value(1);
            request.path =
                request.target.left(request.target.indexOf('?') < 0 ? request.target.size()
                                                                    : request.target.indexOf('?'));
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const QByteArray line = lines[i].trimmed();
                const qsizetype colon = line.indexOf(':');
                if (colon > 0)
                    request.headers.append(
                        {line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
            }
            const qint64 length = request.header("Content-Length").toLongLong();
            if (m_buffer.size() < end + 4 + length)
                return;
            request.body = m_buffer.mid(end + 4, length);
            m_buffer.remove(0, end + 4 + length);
            m_server->record(request);
            m_script = m_server->scriptFor(request);
            m_step = -1;
            setPlaying(true);
            next();
        }
    }

    void next()
    {
        ++m_step;
        if (m_step >= m_script.steps().size()) {
            setPlaying(false);
            QTimer::singleShot(0, this, &ScriptedConnection::readRequests);
            return;
        }
        const Script::Step &step = m_script.steps()[m_step];
        switch (step.kind) {
        case Script::Step::Send:
            m_socket->write(step.bytes);
            m_waitingForDrain = true;
            if (m_socket->bytesToWrite() == 0) // nothing to wait for
                QTimer::singleShot(0, this, &ScriptedConnection::drained);
            break;
        case Script::Step::Repeat:
            m_repeatSent = 0;
            m_waitingForDrain = true;
            feedRepeat();
            break;
        case Script::Step::Delay:
            QTimer::singleShot(int(step.count), this, &ScriptedConnection::next);
            break;
        case Script::Step::Stall: break;
        case Script::Step::Close: m_socket->disconnectFromHost(); break;
        case Script::Step::Reset:
            if (m_socket->bytesToWrite() > 0)
                m_socket->waitForBytesWritten(2000);
            {
                const linger hard{1, 0};
                ::setsockopt(int(m_socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard,
                             sizeof hard);
            }
            m_socket->abort();
            break;
        }
    }

    void setPlaying(bool playing)
    {
        if (playing != m_playing)
            m_server->playing(playing ? 1 : -1);
        m_playing = playing;
    }

    void feedRepeat()
    {
        const Script::Step &step = m_script.steps()[m_step];
        while (m_socket->bytesToWrite() < 256 * 1024) {
            qint64 piece = step.bytes.size();
            if (step.count >= 0) {
                piece = qMin(piece, step.count - m_repeatSent);
                if (piece <= 0)
                    return;
            }
            m_socket->write(step.bytes.constData(), piece);
            m_repeatSent += piece;
        }
    }

    void drained()
    {
        if (!m_playing || !m_waitingForDrain)
            return;
        const Script::Step &step = m_script.steps()[m_step];
        if (step.kind == Script::Step::Repeat)
            feedRepeat();
        if (m_socket->bytesToWrite() > 0)
            return;
        m_waitingForDrain = false;
        next();
    }

    ScriptedHttpServer *m_server;
    QTcpSocket *m_socket;
    QByteArray m_buffer;
    Script m_script;
    qsizetype m_step = -1;
    qint64 m_repeatSent = 0;
    bool m_playing = false;
    bool m_waitingForDrain = false;
};

ScriptedHttpServer::ScriptedHttpServer(QObject *parent)
    : ScriptedHttpServer(QStringLiteral("127.0.0.1"), parent)
{}

ScriptedHttpServer::ScriptedHttpServer(const QString &address, QObject *parent)
    : QObject(parent), m_address(address)
{
    m_server.listen(QHostAddress(address), 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++m_connections;
            new ScriptedConnection(this, socket);
        }
    });
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    m_server.close();
    // The connections report their end to this server: they go while it is whole.
    const QObjectList children = this->children();
    for (QObject *child : children)
        delete dynamic_cast<ScriptedConnection *>(child);
}

QString ScriptedHttpServer::baseUrl() const
{
    return QStringLiteral("http://%1:%2").arg(m_address).arg(port());
}

void ScriptedHttpServer::playing(int change)
{
    m_active += change;
    m_mostActive = qMax(m_mostActive, m_active);
}

QString ScriptedHttpServer::url(const QString &pathAndQuery) const
{
    return baseUrl() + pathAndQuery;
}

void ScriptedHttpServer::route(const QString &path, const Script &script)
{
    routeSequence(path, {script});
}

void ScriptedHttpServer::routeSequence(const QString &path, const QList<Script> &scripts)
{
    m_routes.insert(path, scripts);
    m_played.remove(path);
}

void ScriptedHttpServer::serveBody(const QString &path, const QByteArray &body,
                                   const QByteArray &contentType,
                                   const QList<QByteArray> &extraHeaders)
{
    route(path, Script::response(200, body, contentType, extraHeaders));
}

void ScriptedHttpServer::serveFile(const QString &path, const QString &filePath,
                                   const QByteArray &contentType)
{
    m_files.insert(path, {filePath, contentType});
}

void ScriptedHttpServer::serveDirectory(const QString &urlPrefix, const QString &folder)
{
    m_directories.append({urlPrefix, folder});
}

void ScriptedHttpServer::routeHandler(const QString &path,
                                      std::function<Script(const RecordedRequest &)> handler)
{
    m_handlers.insert(path, std::move(handler));
}

int ScriptedHttpServer::requestCount(const QString &path) const
{
    int n = 0;
    for (const RecordedRequest &r : m_requests)
        if (QString::fromUtf8(r.path) == path || QString::fromUtf8(r.target) == path)
            ++n;
    return n;
}

QString ScriptedHttpServer::closedPortUrl(const QString &path)
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path);
}

static Script fileResponse(const QString &filePath, QByteArray type)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return Script::response(404, "not found", "text/plain");
    if (type.isEmpty())
        type = QMimeDatabase()
                   .mimeTypeForFile(filePath, QMimeDatabase::MatchExtension)
                   .name()
                   .toUtf8();
    return Script::response(200, file.readAll(), type);
}

Script ScriptedHttpServer::scriptFor(const RecordedRequest &request) const
{
    const QString target = QString::fromUtf8(request.target);
    const QString path = QString::fromUtf8(request.path);
    for (const QString &key : {target, path}) {
        if (m_handlers.contains(key))
            return m_handlers.value(key)(request);
        if (m_routes.contains(key)) {
            const QList<Script> &scripts = m_routes[key];
            const int n = m_played[key]++;
            return scripts.value(qMin(n, int(scripts.size()) - 1));
        }
        if (m_files.contains(key))
            return fileResponse(m_files.value(key).first, m_files.value(key).second);
    }
    for (const auto &[prefix, folder] : m_directories) {
        if (!path.startsWith(prefix))
            continue;
        const QString relative = QUrl::fromPercentEncoding(path.mid(prefix.size()).toUtf8());
        const QString file = QDir::cleanPath(folder + u'/' + relative);
        if (file.startsWith(QDir::cleanPath(folder) + u'/') && QFileInfo(file).isFile())
            return fileResponse(file, {});
    }
    return Script::response(404, "<html><body>not found</body></html>", "text/html");
}

void ScriptedHttpServer::record(const RecordedRequest &request)
{
    m_requests.append(request);
    emit requestReceived(request);
}

} // namespace papyrant::test
