// The two Content-Disposition helpers: the header line out of a raw header block, and the
// extension of the file name in its value (filename= and filename*=).
#include "download/methodone.h"
#include "fuzzing.h"

using namespace papyrant;

namespace {

void checkExtension(const QString &extension)
{
    FUZZ_CHECK(extension.size() <= 5, "an extension has at most five letters");
    for (const QChar c : extension)
        FUZZ_CHECK((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'),
                   "an extension is letters a-z, either case");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const fuzz::Input in = fuzz::readInput(data, size);

    // The input as a whole header block...
    const QString value = 从网络文件Header获取ContentDisposition(in.text);
    FUZZ_CHECK(!value.contains(u"\r\n"), "the value is one header line");
    FUZZ_CHECK(value == value.trimmed(), "the value is trimmed");
    if (!value.isEmpty())
        FUZZ_CHECK(in.text.contains(value), "the value comes from the headers");
    checkExtension(从下载头信息ContentDisposition获取文件名(value));

    // ...and as a value of its own, also behind a header name in a block.
    checkExtension(从下载头信息ContentDisposition获取文件名(in.text));
    const QString block = QStringLiteral("HTTP/1.1 200 OK\r\nContent-Disposition: ") + in.text
                          + QStringLiteral("\r\n\r\n");
    const QString again = 从网络文件Header获取ContentDisposition(block);
    if (!in.text.contains(u"\r\n"))
        FUZZ_CHECK(again == in.text.trimmed(), "a one-line value comes back trimmed");
    checkExtension(从下载头信息ContentDisposition获取文件名(again));
    return 0;
}
