#include "transfer/httpstream.h"

#include "transfer/sharednetwork.h"

#include "foundation/replacingfile.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace papyrant {

// Bytes the reply may hold before it stops reading from the socket.
constexpr qint64 ReplyBufferBytes = 1024 * 1024;
// Body bytes gathered before one write to the file.
constexpr qsizetype PendingBytes = 256 * 1024;
// The most header fields and header bytes an answer may have.
constexpr qsizetype MaxHeaderFields = 256;
constexpr qint64 MaxHeaderBytes = 64 * 1024;

HttpStream::HttpStream(const QUrl &url, const Options &options, QObject *parent)
    : QObject(parent), m_options(options)
{
    m_reply = NetworkManagerFor(options.proxy)
                  .get(MakeTransferRequest(url, options.referer, options.followRedirects));
    m_reply->setReadBufferSize(ReplyBufferBytes);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &HttpStream::onMetaData);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpStream::drain);
    connect(m_reply, &QNetworkReply::finished, this, &HttpStream::onFinished);
}

HttpStream::~HttpStream()
{
    abort();
}

QByteArray HttpStream::header(const QByteArray &name) const
{
    return m_reply ? m_reply->rawHeader(name) : QByteArray();
}

bool HttpStream::deliveredWhole() const
{
    if (m_running || !m_headersReceived || m_writeFailed)
        return false;
    if (m_announced >= 0 && m_written != m_announced)
        return false;
    // HTTP error statuses (4xx, 5xx) come as content/server errors; the page is the answer.
    const bool statusError = (m_errorCode >= QNetworkReply::ContentAccessDenied
                              && m_errorCode <= QNetworkReply::UnknownContentError)
                             || (m_errorCode >= QNetworkReply::InternalServerError
                                 && m_errorCode <= QNetworkReply::UnknownServerError);
    return m_errorCode == QNetworkReply::NoError || statusError;
}

void HttpStream::onMetaData()
{
    if (!m_reply)
        return;
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return;
    // A header block no real server sends ends the transfer as an answer without headers,
    // before its body is read. Qt drops a block beyond its own parser's limits (a huge line,
    // thousands of lines) and keeps the status: an answer without a single header field.
    qint64 headerBytes = 0;
    const auto pairs = m_reply->rawHeaderPairs();
    for (const auto &[name, value] : pairs)
        headerBytes += name.size() + value.size() + 4;
    if (pairs.isEmpty() || pairs.size() > MaxHeaderFields || headerBytes > MaxHeaderBytes) {
        m_headersReceived = false;
        m_rawHeaders.clear();
        m_running = false;
        m_errorCode = QNetworkReply::ProtocolFailure;
        m_errorText = QStringLiteral("header block too large");
        m_reply->disconnect(this);
        m_reply->abort();
        emit finished();
        return;
    }
    // A followed redirect delivers new headers: the last answer counts.
    m_status = status.toInt();
    m_rawHeaders = RawHeaderText(m_reply);
    m_announced = ParseContentLength(m_reply->rawHeader("Content-Length"));
    if (m_headersReceived)
        return;
    m_headersReceived = true;
    emit headersReady();
}

bool HttpStream::writeTo(const QString &target)
{
    auto file = std::make_unique<ReplacingFile>(target);
    // Our own write buffer: one copy from the reply, one write per PendingBytes.
    if (!file->open())
        return false;
    m_pending.resize(PendingBytes);
    m_pendingSize = 0;
    m_file = std::move(file);
    m_written = 0;
    drain(); // what arrived before the target was given
    if (!m_running)
        QMetaObject::invokeMethod(this, &HttpStream::finished, Qt::QueuedConnection);
    return true;
}

void HttpStream::drain()
{
    if (!m_reply || !m_file || m_writeFailed)
        return;
    qint64 before = m_written;
    while (m_reply->bytesAvailable() > 0) {
        if (m_pendingSize + m_options.chunkSize > m_pending.size() && !flush())
            return;
        const qint64 n =
            m_reply->read(m_pending.data() + m_pendingSize,
                          qMin<qint64>(m_options.chunkSize, m_pending.size() - m_pendingSize));
        if (n <= 0)
            break;
        m_pendingSize += n;
        m_written += n;
    }
    if (!flush())
        return;
    if (m_written != before)
        emit bodyWritten(m_written);
}

bool HttpStream::flush()
{
    if (m_pendingSize > 0 && m_file->write(m_pending.constData(), m_pendingSize) != m_pendingSize) {
        m_writeFailed = true;
        m_reply->abort();
        return false;
    }
    m_pendingSize = 0;
    return true;
}

void HttpStream::onFinished()
{
    if (!m_reply || !m_running)
        return;
    onMetaData(); // an answer without body may finish without a separate meta-data report
    drain();
    m_running = false;
    m_errorCode = m_reply->error();
    m_errorText = m_reply->errorString();
    if (m_file || !m_headersReceived)
        emit finished();
    // Without a target yet, the owner learns of the end when it gives one (writeTo).
}

bool HttpStream::commit()
{
    if (!m_file)
        return false;
    const bool ok = !m_writeFailed && m_file->commit();
    m_file.reset();
    return ok;
}

void HttpStream::abort()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    m_running = false;
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
