#include "transfer/httpresponseparser.h"

#include "transfer/sharednetwork.h"

#include <cstring>

namespace papyrant {

namespace {

// A chunk-size line with its extensions; longer ones are no chunk frame.
constexpr qsizetype MaxChunkLine = 4096;
// A chunk larger than this is a broken frame, not a body.
constexpr qint64 MaxChunkSize = qint64(1) << 56;

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

QByteArray HttpResponseParser::header(const QByteArray &name) const
{
    QByteArray joined;
    bool found = false;
    for (const auto &[field, value] : m_headers) {
        if (field.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (found)
            joined += ", ";
        joined += value;
        found = true;
    }
    return found ? joined : QByteArray();
}

void HttpResponseParser::fail(Failure failure)
{
    if (m_failure == Failure::None)
        m_failure = failure;
}

// One line from the input, without its line end (CR LF or a bare LF). False when the input
// ended first; the part read waits in m_line.
bool HttpResponseParser::takeLine(const char *&at, const char *end, QByteArray *line)
{
    const bool inHead =
        m_state == State::StatusLine || m_state == State::Headers || m_state == State::Trailers;
    const qsizetype limit = inHead ? MaxHeaderBytes - m_headerBytes : MaxChunkLine;
    const char *newline = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)));
    const qsizetype take = (newline ? newline : end) - at;
    if (m_line.size() + take > limit) {
        fail(inHead ? Failure::HeadersTooLarge : Failure::Malformed);
        return false;
    }
    m_line.append(at, take);
    if (!newline) {
        at = end;
        return false;
    }
    at = newline + 1;
    if (inHead)
        m_headerBytes += m_line.size() + 1;
    if (m_line.endsWith('\r'))
        m_line.chop(1);
    *line = std::exchange(m_line, QByteArray());
    return true;
}

void HttpResponseParser::feed(const char *data, qsizetype size, QByteArray *body)
{
    const char *at = data;
    const char *const end = data + size;
    QByteArray line;
    while (m_failure == Failure::None && m_state != State::Done) {
        switch (m_state) {
        case State::StatusLine:
            if (!takeLine(at, end, &line))
                return;
            // Blank lines before an answer are tolerated, as every client does.
            if (!line.isEmpty())
                parseStatusLine(line);
            break;
        case State::Headers:
            if (!takeLine(at, end, &line))
                return;
            if (line.isEmpty())
                startBody();
            else
                addHeaderLine(line);
            break;
        case State::LengthBody:
        case State::ChunkData: {
            const qint64 n = qMin<qint64>(m_left, end - at);
            if (n == 0)
                return;
            body->append(at, n);
            at += n;
            m_left -= n;
            if (m_left == 0)
                m_state = m_state == State::LengthBody ? State::Done : State::ChunkDataEnd;
            break;
        }
        case State::ChunkSize:
            if (!takeLine(at, end, &line))
                return;
            parseChunkSize(line);
            break;
        case State::ChunkDataEnd:
            if (!takeLine(at, end, &line))
                return;
            if (!line.isEmpty())
                fail(Failure::Malformed);
            else
                m_state = State::ChunkSize;
            break;
        case State::Trailers:
            // Trailer fields are read and dropped; the answer ends with the blank line.
            if (!takeLine(at, end, &line))
                return;
            if (line.isEmpty())
                m_state = State::Done;
            break;
        case State::UntilClose: body->append(at, end - at); return;
        case State::Done: return;
        }
    }
}

void HttpResponseParser::finish()
{
    if (m_state == State::UntilClose)
        m_state = State::Done;
    else if (m_state != State::Done)
        fail(Failure::Incomplete);
}

void HttpResponseParser::parseStatusLine(const QByteArray &line)
{
    // "HTTP/1.1 200 OK"; the reason phrase may be missing.
    if (!line.startsWith("HTTP/1.")) {
        fail(Failure::Malformed);
        return;
    }
    const qsizetype space = line.indexOf(' ');
    const QByteArray rest = space < 0 ? QByteArray() : line.mid(space + 1).trimmed();
    const QByteArray code = rest.left(3);
    if (code.size() != 3 || (rest.size() > 3 && !isSpace(rest[3]))) {
        fail(Failure::Malformed);
        return;
    }
    int status = 0;
    for (char c : code) {
        if (c < '0' || c > '9') {
            fail(Failure::Malformed);
            return;
        }
        status = status * 10 + (c - '0');
    }
    if (status < 100) {
        fail(Failure::Malformed);
        return;
    }
    m_status = status;
    m_reason = rest.mid(3).trimmed();
    m_headers.clear();
    m_state = State::Headers;
}

void HttpResponseParser::addHeaderLine(const QByteArray &line)
{
    if (isSpace(line[0])) {
        // An obsolete folded line continues the field before it.
        if (!m_headers.isEmpty())
            m_headers.last().second += ' ' + line.trimmed();
        return;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return; // no field; servers that send such lines are read as browsers read them
    if (m_headers.size() >= MaxHeaderFields) {
        fail(Failure::HeadersTooLarge);
        return;
    }
    m_headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
}

void HttpResponseParser::startBody()
{
    if (m_status < 200) {
        // An interim answer (100 Continue, 103 Early Hints): the real one follows.
        if (m_status == 101) {
            fail(Failure::Malformed); // a protocol switch nobody asked for
            return;
        }
        m_state = State::StatusLine;
        return;
    }
    if (m_status == 204 || m_status == 304) {
        m_length = 0;
        m_state = State::Done;
        return;
    }
    const QByteArray coding = header("Transfer-Encoding").trimmed().toLower();
    if (!coding.isNull()) {
        // The body was asked for as it is: chunked framing is the only coding read here.
        if (coding != "chunked") {
            fail(Failure::UnsupportedEncoding);
            return;
        }
        m_state = State::ChunkSize;
        return;
    }
    // Several Content-Length fields must agree; a value that is no number is no length, and
    // the body then runs to the close.
    qint64 length = -1;
    bool first = true;
    for (const auto &[field, value] : std::as_const(m_headers)) {
        if (field.compare("Content-Length", Qt::CaseInsensitive) != 0)
            continue;
        const qint64 n = ParseContentLength(value);
        if (!first && n != length) {
            fail(Failure::Malformed);
            return;
        }
        length = n;
        first = false;
    }
    m_length = length;
    if (length < 0) {
        m_state = State::UntilClose;
    } else {
        m_left = length;
        m_state = length == 0 ? State::Done : State::LengthBody;
    }
}

void HttpResponseParser::parseChunkSize(const QByteArray &line)
{
    qint64 size = 0;
    qsizetype i = 0;
    for (; i < line.size(); ++i) {
        const int digit = hexValue(line[i]);
        if (digit < 0)
            break;
        size = size * 16 + digit;
        if (size > MaxChunkSize) {
            fail(Failure::Malformed);
            return;
        }
    }
    // At least one digit, then nothing or extensions (";name=value"), spaces allowed.
    while (i < line.size() && isSpace(line[i]))
        ++i;
    if (i == 0 || (i < line.size() && line[i] != ';')) {
        fail(Failure::Malformed);
        return;
    }
    if (size == 0) {
        m_state = State::Trailers;
        m_headerBytes = 0; // the trailers have a header block's limits of their own
        return;
    }
    m_left = size;
    m_state = State::ChunkData;
}

} // namespace papyrant
