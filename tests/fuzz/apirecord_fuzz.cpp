// The record reader over any bytes: a reason or values, never a crash; the full text chosen
// from a record is always an http(s) address.
#include "fuzzing.h"
#include "search/searchapi.h"

using namespace papyrant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const ApiRecord record = ReadApiRecord(bytes);
    FUZZ_CHECK(record.ok == record.error.isEmpty(), "a record is read or has its reason");
    const QString fullText = RecordFullTextAddress(record);
    FUZZ_CHECK(fullText.isEmpty() || fuzz::isHttpAddress(fullText),
               "a full text is an http(s) address");
    if (!record.ok)
        FUZZ_CHECK(fullText.isEmpty() && record.fullTextAddresses.isEmpty(),
                   "a failed record leads nowhere");
    const QString doi = DoiAddress(IdentifierValue(record.identifiers, u"DOI"));
    FUZZ_CHECK(doi.isEmpty()
                   || (fuzz::isHttpAddress(doi) && doi.startsWith(u"https://doi.org/10.")),
               "a DOI's address is on doi.org");
    const QString json = RecordJsonAddress(record.recordAddress);
    FUZZ_CHECK(json.isEmpty() || (fuzz::isHttpAddress(json) && json.endsWith(u".json")),
               "a record's JSON address is an http(s) .json address");
    return 0;
}
