#include "transfer/httpstream.h"

#include "transfer/sharednetwork.h"
#include "transfer/transferend.h"

#include "foundation/replacingfile.h"

#include <QLocale>
#include <QNetworkCookie>
#include <QNetworkProxy>
#include <QTcpSocket>
#ifndef QT_NO_SSL
#include <QSslSocket>
#endif

namespace papyrant {

using namespace Qt::Literals::StringLiterals;

namespace {

// Bytes the socket may hold before it stops reading from the network.
constexpr qint64 SocketBufferBytes = 1024 * 1024;
// Body bytes gathered before one write to the file.
constexpr qsizetype PendingBytes = 256 * 1024;

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Path and query, or the whole URL for a proxy that fetches plain HTTP on our behalf.
QByteArray requestTarget(const QUrl &url, bool absolute)
{
    if (absolute)
        return url.toEncoded(QUrl::RemoveUserInfo | QUrl::RemoveFragment);
    QByteArray target =
        url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (!target.startsWith('/'))
        target.prepend('/');
    return target;
}

QByteArray hostField(const QUrl &url, int defaultPort)
{
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (url.port(defaultPort) != defaultPort)
        host += ':' + QByteArray::number(url.port());
    return host;
}

// The languages the shared network manager would announce.
QByteArray acceptLanguage()
{
    const QString locale = QLocale::system().name().replace(u'_', u'-');
    if (locale == u"C"_s)
        return "en,*";
    if (locale.startsWith(u"en-"_s))
        return locale.toLatin1() + ",*";
    return locale.toLatin1() + ",en,*";
}

QString socketErrorReason(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return TransferReason::connectionRefused();
    case QAbstractSocket::HostNotFoundError: return TransferReason::hostNotFound();
    case QAbstractSocket::SocketTimeoutError: return TransferReason::timedOut();
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError: return TransferReason::secureConnectionFailed();
    case QAbstractSocket::ProxyAuthenticationRequiredError:
    case QAbstractSocket::ProxyConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionClosedError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
    case QAbstractSocket::ProxyNotFoundError:
    case QAbstractSocket::ProxyProtocolError: return TransferReason::proxyFailed();
    default: return TransferReason::networkError();
    }
}

} // namespace

HttpStream::HttpStream(const QUrl &url, const Options &options, QObject *parent)
    : QObject(parent), m_options(options), m_url(url)
{
    // Started from the event loop, so that every report reaches the owner's connections and a
    // stream dropped at once sends nothing.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_running)
                connectTo(m_url);
        },
        Qt::QueuedConnection);
}

HttpStream::~HttpStream()
{
    abort();
}

QByteArray HttpStream::header(const QByteArray &name) const
{
    return m_headersReceived ? m_parser.header(name) : QByteArray();
}

void HttpStream::connectTo(const QUrl &url)
{
    dropSocket();
    m_parser = HttpResponseParser();
    m_url = url;
    const QString scheme = url.scheme().toLower();
    const bool https = scheme == u"https"_s;
    if ((scheme != u"http"_s && !https) || url.host().isEmpty())
        return end(TransferReason::badAddress());
#ifdef QT_NO_SSL
    if (https)
        return end(TransferReason::secureConnectionFailed());
    auto *socket = new QTcpSocket(this);
#else
    QAbstractSocket *socket = https ? new QSslSocket(this) : new QTcpSocket(this);
#endif
    m_socket = socket;
    socket->setReadBufferSize(SocketBufferBytes);
    connect(socket, &QAbstractSocket::readyRead, this, &HttpStream::readAnswer);
    connect(socket, &QAbstractSocket::disconnected, this, &HttpStream::onDisconnected);
    connect(socket, &QAbstractSocket::errorOccurred, this, &HttpStream::onSocketError);

    QNetworkProxy proxy = m_options.proxy.type() == QNetworkProxy::DefaultProxy
                              ? SystemProxyFor(url)
                              : m_options.proxy;
    const bool httpProxy =
        proxy.type() == QNetworkProxy::HttpProxy || proxy.type() == QNetworkProxy::HttpCachingProxy;
    m_viaHttpProxy = httpProxy && !https;
    m_proxyUser = m_viaHttpProxy ? proxy.user() : QString();
    m_proxyPassword = m_viaHttpProxy ? proxy.password() : QString();
    const quint16 port = quint16(url.port(https ? 443 : 80));
    if (m_viaHttpProxy) {
        // Plain HTTP through a web proxy: ask the proxy itself for the whole URL.
        socket->setProxy(QNetworkProxy::NoProxy);
        connect(socket, &QAbstractSocket::connected, this, &HttpStream::sendRequest);
        socket->connectToHost(proxy.hostName(), proxy.port());
        return;
    }
    // HTTPS through a web proxy is a tunnel (CONNECT), which the socket opens itself.
    if (httpProxy)
        proxy.setType(QNetworkProxy::HttpProxy);
    socket->setProxy(proxy);
#ifndef QT_NO_SSL
    if (https) {
        auto *ssl = static_cast<QSslSocket *>(socket);
        connect(ssl, &QSslSocket::encrypted, this, &HttpStream::sendRequest);
        ssl->connectToHostEncrypted(url.host(), port);
        return;
    }
#endif
    connect(socket, &QAbstractSocket::connected, this, &HttpStream::sendRequest);
    socket->connectToHost(url.host(), port);
}

void HttpStream::sendRequest()
{
    if (!m_socket || !m_running)
        return;
    const bool https = m_url.scheme().compare(u"https"_s, Qt::CaseInsensitive) == 0;
    QByteArray request = "GET " + requestTarget(m_url, m_viaHttpProxy) + " HTTP/1.1\r\n";
    request += "Host: " + hostField(m_url, https ? 443 : 80) + "\r\n";
    request += "User-Agent: Mozilla/5.0\r\n";
    request += "Accept: */*\r\n";
    // The body as it is, so that its size is the bytes written.
    request += "Accept-Encoding: identity\r\n";
    request += "Accept-Language: " + acceptLanguage() + "\r\n";
    if (!m_options.referer.isEmpty())
        request += "Referer: " + m_options.referer + "\r\n";
    QByteArray cookies;
    for (const QNetworkCookie &cookie : SharedCookieJar().cookiesForUrl(m_url)) {
        if (!cookies.isEmpty())
            cookies += "; ";
        cookies += cookie.toRawForm(QNetworkCookie::NameAndValueOnly);
    }
    if (!cookies.isEmpty())
        request += "Cookie: " + cookies + "\r\n";
    if (m_viaHttpProxy && !m_proxyUser.isEmpty())
        request += "Proxy-Authorization: Basic "
                   + (m_proxyUser + u':' + m_proxyPassword).toUtf8().toBase64() + "\r\n";
    // One answer per connection: its end is the end of the exchange.
    request += "Connection: close\r\n\r\n";
    m_socket->write(request);
}

void HttpStream::readAnswer()
{
    if (!m_socket || !m_running)
        return;
    const qint64 before = m_written;
    QByteArray buffer;
    while (m_socket && m_running && m_socket->bytesAvailable() > 0) {
        // The body waits in the socket until there is a file for it.
        if (m_headersReceived && !m_file)
            break;
        if (m_pending.size() >= PendingBytes && !flush())
            return end();
        buffer.resize(m_options.chunkSize);
        const qint64 n = m_socket->read(buffer.data(), buffer.size());
        if (n <= 0)
            break;
        const bool hadHeaders = m_parser.headersComplete();
        const qsizetype pendingBefore = m_pending.size();
        m_parser.feed(buffer.constData(), n, &m_pending);
        m_written += m_pending.size() - pendingBefore;
        if (!hadHeaders && m_parser.headersComplete()) {
            const QPointer<QAbstractSocket> socket = m_socket;
            onHeaders();
            if (m_socket != socket || !m_running)
                return; // redirected or ended
        }
        if (m_parser.hasEnded())
            break;
    }
    if (!m_running)
        return;
    if (!flush())
        return end();
    if (m_file && m_written != before) {
        const QPointer<HttpStream> alive(this);
        emit bodyWritten(m_written);
        if (!alive || !m_running)
            return; // the owner gave the transfer up
    }
    if (m_parser.hasEnded())
        return end();
    // The peer has closed: what it sent is all there is.
    if (m_peerClosed && m_socket && m_socket->bytesAvailable() == 0
        && (m_file || !m_headersReceived)) {
        m_parser.finish();
        end();
    }
}

void HttpStream::onHeaders()
{
    for (const auto &[name, value] : m_parser.headers())
        if (name.compare("Set-Cookie", Qt::CaseInsensitive) == 0)
            SharedCookieJar().setCookiesFromUrl(QNetworkCookie::parseCookies(value), m_url);

    const int status = m_parser.status();
    const QByteArray location = m_parser.header("Location").trimmed();
    if (m_options.followRedirects && isRedirect(status) && !location.isEmpty()) {
        const QUrl next = m_url.resolved(QUrl(QString::fromUtf8(location)));
        const QString scheme = next.scheme().toLower();
        if (!next.isValid() || (scheme != u"http"_s && scheme != u"https"_s))
            return end(TransferReason::badAddress());
        if (m_url.scheme().compare(u"https"_s, Qt::CaseInsensitive) == 0 && scheme == u"http"_s)
            return end(TransferReason::insecureRedirect());
        if (++m_redirects > m_options.maxRedirects)
            return end(TransferReason::tooManyRedirects());
        m_pending.clear();
        m_written = 0;
        m_peerClosed = false;
        connectTo(next);
        return;
    }

    // The answer that counts.
    m_status = status;
    m_announced = m_parser.bodyLength();
    QString text = u"HTTP/1.1 "_s + QString::number(status) + u' '
                   + HeaderBytesToText(m_parser.reasonPhrase()) + u"\r\n"_s;
    for (const auto &[name, value] : m_parser.headers())
        text += HeaderBytesToText(name) + u": "_s + HeaderBytesToText(value) + u"\r\n"_s;
    m_rawHeaders = text;
    m_headersReceived = true;
    emit headersReady();
}

void HttpStream::onSocketError(QAbstractSocket::SocketError error)
{
    if (!m_running)
        return;
    if (error == QAbstractSocket::RemoteHostClosedError) {
        onDisconnected();
        return;
    }
    m_socketError = int(error);
    qCInfo(lcTransfer) << "connection failed:" << m_url.toDisplayString()
                       << (m_socket ? m_socket->errorString() : QString());
    end(socketErrorReason(error));
}

void HttpStream::onDisconnected()
{
    if (!m_running || m_peerClosed)
        return;
    m_peerClosed = true;
    readAnswer();
}

bool HttpStream::writeTo(const QString &target)
{
    auto file = std::make_unique<ReplacingFile>(target);
    if (!file->open()) {
        m_fileError = file->errorNumber();
        return false;
    }
    m_file = std::move(file);
    if (!flush()) {
        end();
    } else if (m_written > 0) {
        // What came with the headers counts as progress now.
        const QPointer<HttpStream> alive(this);
        emit bodyWritten(m_written);
        if (!alive)
            return true;
    }
    if (!m_running)
        QMetaObject::invokeMethod(this, &HttpStream::finished, Qt::QueuedConnection);
    else
        QMetaObject::invokeMethod(this, &HttpStream::readAnswer, Qt::QueuedConnection);
    return true;
}

bool HttpStream::flush()
{
    if (!m_file || m_pending.isEmpty())
        return !m_writeFailed;
    if (m_file->write(m_pending.constData(), m_pending.size()) != m_pending.size()) {
        m_writeFailed = true;
        m_fileError = m_file->errorNumber();
        m_pending.clear();
        return false;
    }
    m_pending.clear();
    return true;
}

void HttpStream::end(const QString &reason)
{
    if (!m_running)
        return;
    m_running = false;
    if (!reason.isEmpty())
        m_reason = reason;
    if (m_file)
        flush();
    dropSocket();
    if (!deliveredWhole())
        qCInfo(lcTransfer) << "answer not delivered whole:" << m_url.toDisplayString()
                           << failureReason();
    // Without a target yet, the owner learns of the end when it gives one (writeTo).
    if (m_file || !m_headersReceived)
        emit finished();
}

bool HttpStream::deliveredWhole() const
{
    return !m_running && m_headersReceived && !m_writeFailed && m_reason.isEmpty()
           && m_parser.isComplete() && m_status >= 200 && m_status < 300;
}

QString HttpStream::failureReason() const
{
    if (m_running || deliveredWhole())
        return {};
    if (!m_reason.isEmpty())
        return m_reason;
    if (m_writeFailed)
        return TransferReason::fileError(m_fileError);
    if (m_headersReceived && m_status >= 300)
        return TransferReason::httpStatus(m_status, m_parser.reasonPhrase());
    switch (m_parser.failure()) {
    case HttpResponseParser::Failure::HeadersTooLarge: return TransferReason::badHeaders();
    case HttpResponseParser::Failure::UnsupportedEncoding:
        return TransferReason::unsupportedEncoding();
    case HttpResponseParser::Failure::Malformed:
        return m_headersReceived ? TransferReason::incomplete() : TransferReason::badHeaders();
    case HttpResponseParser::Failure::Incomplete:
        return m_headersReceived ? TransferReason::incomplete() : TransferReason::noAnswer();
    case HttpResponseParser::Failure::None: break;
    }
    return TransferReason::incomplete();
}

bool HttpStream::commit(ReplacingFile::Existing existing)
{
    if (!m_file)
        return false;
    // Bytes read with the last headers may not have reached the file yet.
    const bool ok = flush() && m_file->commit(existing);
    m_targetTaken = !ok && m_file->targetTaken();
    if (!ok && m_fileError == 0)
        m_fileError = m_file->errorNumber();
    m_file.reset();
    return ok;
}

void HttpStream::dropSocket()
{
    if (!m_socket)
        return;
    QAbstractSocket *socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void HttpStream::abort()
{
    m_running = false;
    dropSocket();
    if (m_file) {
        m_file->cancelWriting();
        m_file.reset();
    }
}

void HttpStreamDropper::operator()(HttpStream *stream) const
{
    stream->abort();
    stream->disconnect();
    stream->deleteLater();
}

} // namespace papyrant
