#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

namespace papyrant {

// Reads one HTTP/1.x answer to a GET from the bytes of its connection, as they come: status
// line, header fields, then the body by its framing (Content-Length, chunked, or up to the
// close of the connection). The framing is kept exactly, so that a body cut before its length
// or before its last chunk is told apart from a whole one. Interim answers (1xx) are skipped.
class HttpResponseParser
{
public:
    enum class Failure {
        None,
        Malformed,           // no HTTP answer, or a broken chunk frame
        HeadersTooLarge,     // more header fields or bytes than any real server sends
        UnsupportedEncoding, // a transfer coding other than chunked
        Incomplete,          // the connection ended before the answer did
    };
    static constexpr int MaxHeaderFields = 256;
    static constexpr qsizetype MaxHeaderBytes = 64 * 1024;

    // Takes the bytes; body bytes go to the end of *body. Bytes after a complete answer are
    // ignored. Nothing more is read after a failure.
    void feed(const char *data, qsizetype size, QByteArray *body);
    // The connection has ended: a body that runs to the close is complete now; any other
    // unfinished answer is incomplete.
    void finish();

    bool headersComplete() const { return m_state > State::Headers; }
    bool isComplete() const { return m_state == State::Done; }
    Failure failure() const { return m_failure; }
    bool hasEnded() const { return isComplete() || m_failure != Failure::None; }

    int status() const { return m_status; }
    QByteArray reasonPhrase() const { return m_reason; }
    const QList<QPair<QByteArray, QByteArray>> &headers() const { return m_headers; }
    // Every value of the field (name in any case) joined by ", "; null when absent.
    QByteArray header(const QByteArray &name) const;
    // The body length the framing gives: the Content-Length, or -1 (chunked, up to the close).
    qint64 bodyLength() const { return m_length; }

private:
    enum class State {
        StatusLine,
        Headers,
        LengthBody,
        ChunkSize,
        ChunkData,
        ChunkDataEnd,
        Trailers,
        UntilClose,
        Done,
    };

    bool takeLine(const char *&at, const char *end, QByteArray *line);
    void fail(Failure failure);
    void parseStatusLine(const QByteArray &line);
    void addHeaderLine(const QByteArray &line);
    void startBody();
    void parseChunkSize(const QByteArray &line);

    State m_state = State::StatusLine;
    Failure m_failure = Failure::None;
    QByteArray m_line; // a line not yet ended
    qsizetype m_headerBytes = 0;
    int m_status = 0;
    QByteArray m_reason;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    qint64 m_length = -1;
    qint64 m_left = 0; // body or chunk bytes still to come
};

} // namespace papyrant
