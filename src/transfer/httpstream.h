#pragma once

#include <QNetworkProxy>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <memory>

class QNetworkReply;

namespace papyrant {

class ReplacingFile;

// One GET whose body is streamed into a file as it arrives. The body is written under a
// temporary name beside the target and renamed over it in one step by commit(), so that an
// existing file is never touched by a transfer that does not finish, and nothing of ours stays
// behind when it is abandoned.
//
// Until a target is given the body waits in the reply's bounded buffer; reading stops while it
// is full, so memory stays small whatever the body's size.
class HttpStream : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QByteArray referer;
        bool followRedirects = false;
        int chunkSize = 64 * 1024; // bytes moved to the file per read
        // The proxy of this request; by default the system's configuration.
        QNetworkProxy proxy = QNetworkProxy(QNetworkProxy::DefaultProxy);
    };

    HttpStream(const QUrl &url, const Options &options, QObject *parent = nullptr);
    ~HttpStream() override; // aborts and removes the temporary file

    bool headersReceived() const { return m_headersReceived; }
    QString rawHeaderText() const { return m_rawHeaders; }
    QByteArray header(const QByteArray &name) const;
    int statusCode() const { return m_status; }
    // The Content-Length the answer announced as a whole number, -1 when none or unusable.
    qint64 announcedLength() const { return m_announced; }

    bool isRunning() const { return m_running; }
    // The transfer ran to the end of the body without a network error (an HTTP error status
    // with its page is a delivered answer).
    bool deliveredWhole() const;
    int errorCode() const { return m_errorCode; }
    QString errorText() const { return m_errorText; }

    // Starts writing the body to a temporary file beside `target`; false when it cannot be
    // created (folder missing or not writable).
    bool writeTo(const QString &target);
    qint64 written() const { return m_written; }
    bool writeFailed() const { return m_writeFailed; }
    // Renames the finished body over the target. False (and nothing renamed) on failure.
    bool commit();
    // Stops the transfer at once and drops what was written; no signal follows.
    void abort();

signals:
    void headersReady();
    void bodyWritten(qint64 written);
    void finished();

private:
    void onMetaData();
    void drain();
    void onFinished();
    bool flush();

    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<ReplacingFile> m_file;
    QByteArray m_pending; // body bytes read and not yet written
    qsizetype m_pendingSize = 0;
    Options m_options;
    QString m_rawHeaders;
    int m_status = 0;
    qint64 m_announced = -1;
    qint64 m_written = 0;
    bool m_headersReceived = false;
    bool m_running = true;
    bool m_writeFailed = false;
    int m_errorCode = 0;
    QString m_errorText;
};

// Owns a stream; dropping it stops the transfer at once and deletes the object later, so a
// stream may be dropped from inside one of its own signals.
struct HttpStreamDropper
{
    void operator()(HttpStream *stream) const;
};
using HttpStreamPtr = std::unique_ptr<HttpStream, HttpStreamDropper>;

} // namespace papyrant
