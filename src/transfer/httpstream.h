#pragma once

#include "foundation/replacingfile.h"
#include "transfer/httpresponseparser.h"

#include <QAbstractSocket>
#include <QNetworkProxy>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <memory>

namespace papyrant {

// One GET whose body is streamed into a file as it arrives. The body is written under a
// temporary name beside the target and renamed over it in one step by commit(), so that an
// existing file is never touched by a transfer that does not finish, and nothing of ours stays
// behind when it is abandoned.
//
// It speaks HTTP/1.1 over its own connection (through the proxy chosen for it, with the shared
// cookie jar) and reads the answer's framing itself: Qt's HTTP layer may report
// a chunked body cut by the connection's end as complete, and a download must never take a cut
// body for a file.
//
// Until a target is given the body waits in the socket's bounded buffer; reading stops while
// it is full, so memory stays small whatever the body's size.
class HttpStream : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QByteArray referer;
        bool followRedirects = false;
        int maxRedirects = 10;
        int chunkSize = 64 * 1024; // bytes moved to the file per read
        // The proxy of this request; by default the system's configuration.
        QNetworkProxy proxy = QNetworkProxy(QNetworkProxy::DefaultProxy);
    };

    HttpStream(const QUrl &url, const Options &options, QObject *parent = nullptr);
    ~HttpStream() override; // aborts and removes the temporary file

    bool headersReceived() const { return m_headersReceived; }
    // The status line ("HTTP/1.1 200 OK") and one "Name: value" per line, CR LF between them.
    QString rawHeaderText() const { return m_rawHeaders; }
    QByteArray header(const QByteArray &name) const;
    int statusCode() const { return m_status; }
    QByteArray reasonPhrase() const
    {
        return m_headersReceived ? m_parser.reasonPhrase() : QByteArray();
    }
    // The Content-Length the answer announced as a whole number, -1 when none or unusable.
    qint64 announcedLength() const { return m_announced; }
    QUrl finalUrl() const { return m_url; }

    bool isRunning() const { return m_running; }
    // The transfer ran to the end of a 2xx answer's body, every byte in the file.
    bool deliveredWhole() const;
    // Why it did not: the HTTP status (400 and up), the connection's or the file's failure,
    // or a body cut short. Empty while running and for a whole delivery.
    QString failureReason() const;
    // The socket error behind a failure (QAbstractSocket::SocketError), -1 when none.
    int errorCode() const { return m_socketError; }
    QString errorText() const { return failureReason(); }

    // Starts writing the body to a temporary file beside `target`; false when it cannot be
    // created (folder missing or not writable).
    bool writeTo(const QString &target);
    qint64 written() const { return m_written; }
    bool writeFailed() const { return m_writeFailed; }
    // Renames the finished body to the target, by the rule for an entry that stands there
    // already. False (and nothing renamed) on failure; targetTaken() then tells whether the name
    // was in the way.
    bool commit(ReplacingFile::Existing existing = ReplacingFile::Existing::ReplaceFile);
    bool targetTaken() const { return m_targetTaken; }
    // Stops the transfer at once and drops what was written; no signal follows.
    void abort();
    // The errno of the file's failure (writeTo, writing, commit), 0 when none.
    int fileErrorNumber() const { return m_fileError; }

signals:
    void headersReady();
    void bodyWritten(qint64 written);
    void finished();

private:
    void connectTo(const QUrl &url);
    void sendRequest();
    void readAnswer();
    void onHeaders();
    void onSocketError(QAbstractSocket::SocketError error);
    void onDisconnected();
    void end(const QString &reason = {});
    bool flush();
    void dropSocket();

    QPointer<QAbstractSocket> m_socket;
    HttpResponseParser m_parser;
    std::unique_ptr<ReplacingFile> m_file;
    QByteArray m_pending; // body bytes read and not yet written
    Options m_options;
    QUrl m_url;
    bool m_viaHttpProxy = false; // plain HTTP through a proxy: the request names the whole URL
    QString m_proxyUser;
    QString m_proxyPassword;
    int m_redirects = 0;
    QString m_rawHeaders;
    int m_status = 0;
    qint64 m_announced = -1;
    qint64 m_written = 0;
    bool m_headersReceived = false;
    bool m_running = true;
    bool m_peerClosed = false;
    bool m_writeFailed = false;
    bool m_targetTaken = false;
    int m_fileError = 0;
    int m_socketError = -1;
    QString m_reason;
};

// Owns a stream; dropping it stops the transfer at once and deletes the object later, so a
// stream may be dropped from inside one of its own signals.
struct HttpStreamDropper
{
    void operator()(HttpStream *stream) const;
};
using HttpStreamPtr = std::unique_ptr<HttpStream, HttpStreamDropper>;

} // namespace papyrant
