// labels: unit
#include "support/qtprinters.h"
#include "transfer/httpresponseparser.h"

#include <gtest/gtest.h>

using namespace papyrant;
using Failure = HttpResponseParser::Failure;

namespace {

struct Parsed
{
    bool complete = false;
    Failure failure = Failure::None;
    int status = 0;
    QByteArray body;
};

// Feeds the answer in pieces of `step` bytes (0: at once), then the connection's end when
// `closed`.
Parsed parse(const QByteArray &answer, qsizetype step, bool closed)
{
    HttpResponseParser parser;
    Parsed out;
    if (step == 0)
        parser.feed(answer.constData(), answer.size(), &out.body);
    for (qsizetype at = 0; step > 0 && at < answer.size(); at += step)
        parser.feed(answer.constData() + at, qMin(step, answer.size() - at), &out.body);
    if (closed)
        parser.finish();
    out.complete = parser.isComplete();
    out.failure = parser.failure();
    out.status = parser.status();
    return out;
}

} // namespace

// Every framing, whole and cut: the outcome is the same however the bytes arrive.
TEST(HttpResponseParser, FramingDecidesWhetherTheBodyIsWhole)
{
    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    const QByteArray chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
    const struct
    {
        const char *name;
        QByteArray answer;
        bool closed; // the connection ended after the bytes
        bool complete;
        Failure failure;
        QByteArray body;
    } cases[] = {
        {"length", ok + "Content-Length: 5\r\n\r\nhello", false, true, Failure::None, "hello"},
        {"length, more bytes than it says", ok + "Content-Length: 2\r\n\r\nhello", false, true,
         Failure::None, "he"},
        {"length cut", ok + "Content-Length: 9\r\n\r\nhello", true, false, Failure::Incomplete,
         "hello"},
        {"length zero", ok + "Content-Length: 0\r\n\r\n", false, true, Failure::None, ""},
        {"agreeing lengths", ok + "Content-Length: 2\r\nContent-Length: 2\r\n\r\nab", false, true,
         Failure::None, "ab"},
        {"disagreeing lengths", ok + "Content-Length: 2\r\nContent-Length: 3\r\n\r\nab", false,
         false, Failure::Malformed, ""},
        {"no number is no length", ok + "Content-Length: 1.5\r\n\r\nhello", true, true,
         Failure::None, "hello"},
        {"until close", ok + "\r\nhello", true, true, Failure::None, "hello"},
        {"until close, still open", ok + "\r\nhello", false, false, Failure::None, "hello"},
        {"chunked", chunked + "5\r\nhello\r\n3;ext=1\r\n ab\r\n0\r\n\r\n", false, true,
         Failure::None, "hello ab"},
        {"chunked, upper-case size and bare LF", chunked + "A\n0123456789\n0\n\n", false, true,
         Failure::None, "0123456789"},
        {"chunked with trailers", chunked + "2\r\nab\r\n0\r\nX-Sum: 1\r\n\r\n", false, true,
         Failure::None, "ab"},
        {"chunked wins over a length",
         ok
             + "Content-Length: 1\r\nTransfer-Encoding: chunked\r\n\r\n"
               "2\r\nab\r\n0\r\n\r\n",
         false, true, Failure::None, "ab"},
        {"chunked cut inside a chunk", chunked + "5\r\nhel", true, false, Failure::Incomplete,
         "hel"},
        {"chunked cut after a whole chunk", chunked + "5\r\nhello\r\n", true, false,
         Failure::Incomplete, "hello"},
        {"chunked cut in the last chunk's line", chunked + "5\r\nhello\r\n0", true, false,
         Failure::Incomplete, "hello"},
        {"chunked cut before the final blank line", chunked + "5\r\nhello\r\n0\r\n", true, false,
         Failure::Incomplete, "hello"},
        {"chunk without its line end", chunked + "2\r\nabX\r\n0\r\n\r\n", false, false,
         Failure::Malformed, "ab"},
        {"chunk size no number", chunked + "zz\r\n", false, false, Failure::Malformed, ""},
        {"chunk size beyond any file", chunked + "ffffffffffffffffff\r\n", false, false,
         Failure::Malformed, ""},
        {"other transfer coding", ok + "Transfer-Encoding: gzip, chunked\r\n\r\n", false, false,
         Failure::UnsupportedEncoding, ""},
        {"interim answer first",
         "HTTP/1.1 100 Continue\r\n\r\n" + ok + "Content-Length: 1\r\n\r\nx", false, true,
         Failure::None, "x"},
        {"no content", "HTTP/1.1 204 No Content\r\n\r\n", false, true, Failure::None, ""},
        {"not HTTP", "SSH-2.0-OpenSSH\r\n", false, false, Failure::Malformed, ""},
        {"nothing at all", "", true, false, Failure::Incomplete, ""},
        {"headers cut", ok + "Content-Type: a", true, false, Failure::Incomplete, ""},
    };
    for (const auto &c : cases) {
        for (qsizetype step : {qsizetype(0), qsizetype(1), qsizetype(3)}) {
            SCOPED_TRACE(testing::Message() << c.name << ", pieces of " << step);
            const Parsed p = parse(c.answer, step, c.closed);
            EXPECT_EQ(p.complete, c.complete);
            EXPECT_EQ(p.failure, c.failure);
            EXPECT_EQ(p.body, c.body);
        }
    }
}

TEST(HttpResponseParser, StatusHeadersAndTheirLimits)
{
    HttpResponseParser parser;
    QByteArray body;
    const QByteArray answer = "HTTP/1.0 404 Not Found\r\nX-A: 1\r\nx-a: 2\r\nX-Fold: one\r\n"
                              " two\r\nno colon here\r\nContent-Length: 3\r\n\r\nabc";
    parser.feed(answer.constData(), answer.size(), &body);
    EXPECT_TRUE(parser.isComplete());
    EXPECT_EQ(parser.status(), 404);
    EXPECT_EQ(parser.reasonPhrase(), "Not Found");
    EXPECT_EQ(parser.header("x-A"), "1, 2");
    EXPECT_EQ(parser.header("X-Fold"), "one two");
    EXPECT_TRUE(parser.header("X-None").isNull());
    EXPECT_EQ(parser.bodyLength(), 3);

    QByteArray many = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i <= HttpResponseParser::MaxHeaderFields; ++i)
        many += "X-" + QByteArray::number(i) + ": v\r\n";
    const QByteArray longLine =
        "HTTP/1.1 200 OK\r\nX-Big: " + QByteArray(HttpResponseParser::MaxHeaderBytes, 'a');
    for (const QByteArray &tooMuch : {many, longLine}) {
        HttpResponseParser limited;
        limited.feed(tooMuch.constData(), tooMuch.size(), &body);
        EXPECT_EQ(limited.failure(), Failure::HeadersTooLarge);
        EXPECT_FALSE(limited.headersComplete());
    }
}
