// The download's reader of HTTP answers over any bytes: the framing decides alone whether a body
// is whole, however the bytes are cut into pieces on their way.
//
// The first byte chooses the size of the pieces (0: all at once) and, with bit 7, that the
// connection ends after the bytes. The rest is the answer.
#include "fuzzing.h"
#include "transfer/httpresponseparser.h"

using namespace papyrant;

namespace {

struct Outcome
{
    bool headers = false;
    bool complete = false;
    HttpResponseParser::Failure failure = HttpResponseParser::Failure::None;
    int status = 0;
    qint64 length = -1;
    QByteArray body;
    qsizetype fields = 0;

    bool operator==(const Outcome &) const = default;
};

Outcome parse(const QByteArray &answer, qsizetype piece, bool closed)
{
    HttpResponseParser parser;
    Outcome out;
    for (qsizetype at = 0; at < answer.size(); at += piece)
        parser.feed(answer.constData() + at, qMin(piece, answer.size() - at), &out.body);
    if (closed)
        parser.finish();
    out.headers = parser.headersComplete();
    out.complete = parser.isComplete();
    out.failure = parser.failure();
    out.status = parser.status();
    out.length = parser.bodyLength();
    out.fields = parser.headers().size();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype piece = data[0] & 0x7f;
    const bool closed = data[0] & 0x80;
    const QByteArray answer = fuzz::bytesOf(data + 1, size - 1);
    const Outcome whole = parse(answer, qMax<qsizetype>(answer.size(), 1), closed);
    if (piece > 0)
        FUZZ_CHECK(parse(answer, piece, closed) == whole, "the pieces do not change the outcome");

    FUZZ_CHECK(!(whole.complete && whole.failure != HttpResponseParser::Failure::None),
               "an answer is complete or failed, never both");
    FUZZ_CHECK(whole.body.size() <= answer.size(), "the body comes from the answer's bytes");
    FUZZ_CHECK(whole.fields <= HttpResponseParser::MaxHeaderFields, "the field count is bounded");
    if (whole.body.size() > 0 || whole.complete)
        FUZZ_CHECK(whole.headers && whole.status >= 200 && whole.status <= 999,
                   "a body follows a final status line");
    if (whole.complete && whole.length >= 0)
        FUZZ_CHECK(whole.body.size() == whole.length, "a whole body has its announced length");
    if (closed)
        FUZZ_CHECK(whole.complete || whole.failure != HttpResponseParser::Failure::None,
                   "after the connection's end an answer is complete or failed");
    return 0;
}
