// The search API's answer reader over any bytes: a reason or values, never a crash; the walk
// over its pages ends; an error answer's words are one line; and the same bytes as a query keep
// the appid to the request.
#include "fuzzing.h"
#include "search/searchapi.h"

using namespace papyrant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);

    const ApiPage page = ReadApiPage(bytes);
    if (!page.ok) {
        FUZZ_CHECK(!page.error.isEmpty() && !page.error.contains(u'\n'), "a one-line reason");
        FUZZ_CHECK(page.items.isEmpty() && page.totalResults == -1, "a failed page holds nothing");
    } else {
        FUZZ_CHECK(page.error.isEmpty(), "no reason when read");
        FUZZ_CHECK(page.totalResults >= -1 && page.startIndex >= -1 && page.itemsPerPage >= -1,
                   "counts are counts or unknown");
        FUZZ_CHECK(page.items.size() <= bytes.size() / 2, "no more items than objects");
        for (const ApiItem &item : page.items) {
            FUZZ_CHECK(item.title == item.title.trimmed(), "values are trimmed");
            const QString json = RecordJsonAddress(item.recordAddress);
            FUZZ_CHECK(json.isEmpty() || (fuzz::isHttpAddress(json) && json.endsWith(u".json")),
                       "a record's JSON address is an http(s) .json address");
        }
        for (const qint64 start : {qint64(-5), qint64(1), qint64(1) << 40}) {
            const qint64 next = NextApiStart(page, start);
            FUZZ_CHECK(next == 0
                           || (next > 0 && (page.totalResults < 0 || next <= page.totalResults)),
                       "the next start is within the total or the walk ends");
            FUZZ_CHECK(next == 0 || !page.items.isEmpty(), "an empty page ends the walk");
        }
    }

    // The same bytes as the body of an HTTP error: at most the service's words, on one line.
    const QString said = ApiErrorText(bytes);
    FUZZ_CHECK(!said.contains(u'\n') && (said.isEmpty() || !page.ok),
               "an error text is one line, and only of an answer that is no page");

    // The same bytes as the parts of a query: the appid reaches the request only.
    const QList<QByteArray> parts = bytes.split('\n');
    ApiQuery query;
    query.endpoint = QString::fromUtf8(parts.value(0));
    query.keyword = QString::fromUtf8(parts.value(1));
    query.parameters = {{QString::fromUtf8(parts.value(2)), QString::fromUtf8(parts.value(3))}};
    query.count = int(size % 300) - 50;
    const QString appid = QString::fromUtf8(parts.value(4));
    const QString shown = ApiPageAddress(query);
    FUZZ_CHECK(WithoutAppId(ApiRequestAddress(query, appid)) == shown,
               "the request is the shown address and its appid");
    FUZZ_CHECK(WithoutAppId(shown) == shown, "the shown address has no appid");
    return 0;
}
