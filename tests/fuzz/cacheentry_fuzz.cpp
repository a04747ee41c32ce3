// The browser-cache entry reader and its body decoding: the records of an entry file (key, body
// place and size, the answer's headers), then the body written out (identity, gzip, deflate,
// brotli) under a size limit, in one go and in small steps.
// The first byte chooses the input: bit 0 clear, the rest is an entry file as it lies on disk;
// bit 0 set, the rest is a body that the target wraps in a well-formed entry, its encoding
// chosen by bits 1-2 (none, gzip, deflate, br) and a wrong checksum by bit 3, so that the
// decoders are reached without the fuzzer having to find the records first.
#include "fuzzing.h"
#include "support/simplecachefiles.h"
#include "tools/simplecache.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <memory>

using namespace papyrant;

namespace {

constexpr qint64 Limit = 256 * 1024;

// Every entry under the scratch folder, links included, as paths below it.
QStringList everythingUnder(const QString &root)
{
    QStringList found;
    for (QDirIterator it(root,
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        found << QDir(root).relativeFilePath(it.next());
    found.sort();
    return found;
}

BodyExtraction::State extractInSteps(const SimpleCacheEntry &entry, const QString &target)
{
    auto file = std::make_unique<QFile>(entry.entryFile);
    if (!file->open(QIODevice::ReadOnly))
        return BodyExtraction::State::ReadFailed;
    BodyExtraction extraction(entry, std::move(file), target, Limit);
    qint64 before = 0;
    while (extraction.step(4096) == BodyExtraction::State::Running) {
        FUZZ_CHECK(extraction.written() - before <= 4096 + 64 * 1024,
                   "a step does about the work it was given");
        before = extraction.written();
    }
    FUZZ_CHECK(extraction.written() <= Limit + 1, "no more than the limit is decoded");
    return extraction.state();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir scratch;
    static const QString root = scratch.path();
    static const QString entryFile = root + u"/in/0000000000000001_0"_qs;
    static const QString outFolder = root + u"/out/"_qs;
    static const bool made = QDir().mkpath(root + u"/in"_qs) && QDir().mkpath(outFolder);
    FUZZ_CHECK(made, "the scratch folders exist");
    if (size == 0)
        return 0;

    const uint8_t mode = data[0];
    const QByteArray rest = fuzz::bytesOf(data + 1, size - 1);
    QByteArray file = rest;
    if (mode & 1) {
        static const QByteArray encodings[] = {"", "gzip", "deflate", "br"};
        const QByteArray encoding = encodings[(mode >> 1) & 3];
        const QByteArray headers =
            "HTTP/1.1 200 OK\nContent-Type: text/html\n"
            + (encoding.isEmpty() ? QByteArray() : "Content-Encoding: " + encoding + "\n") + "\n";
        file = test::simpleCacheEntryBytes("1/0/http://h/page", rest, headers, !(mode & 8));
    }
    fuzz::writeFile(entryFile, file);

    const std::optional<SimpleCacheEntry> entry = ReadSimpleCacheEntry(entryFile);
    if (mode & 1)
        FUZZ_CHECK(entry.has_value(), "a well-formed entry is read");
    if (entry) {
        FUZZ_CHECK(entry->bodyOffset >= 24 && entry->bodySize >= 0
                       && entry->bodyOffset + entry->bodySize <= file.size(),
                   "the body lies inside the entry file");
        const QString whole = outFolder + u"whole"_qs;
        const QString stepped = outFolder + u"stepped"_qs;
        const BodyExtraction::State a = ExtractSimpleCacheBody(*entry, whole, Limit);
        const BodyExtraction::State b = extractInSteps(*entry, stepped);
        FUZZ_CHECK(a == b, "the outcome does not depend on the size of the steps");
        FUZZ_CHECK(a != BodyExtraction::State::Running, "an extraction ends");
        QStringList expected = {u"in"_qs, u"in/0000000000000001_0"_qs, u"out"_qs};
        QByteArray body;
        if (a == BodyExtraction::State::Done) {
            QFile one(whole), two(stepped);
            FUZZ_CHECK(one.open(QIODevice::ReadOnly) && two.open(QIODevice::ReadOnly),
                       "a finished body can be read");
            FUZZ_CHECK(one.size() <= Limit, "a finished body is within the limit");
            body = one.readAll();
            FUZZ_CHECK(body == two.readAll(), "both ways write the same body");
            expected << u"out/stepped"_qs << u"out/whole"_qs;
        }
        if ((mode & 0x0f) == 1) { // a plain body with its right checksum
            FUZZ_CHECK(rest.size() <= Limit ? a == BodyExtraction::State::Done && body == rest
                                            : a == BodyExtraction::State::TooLarge,
                       "a plain body comes out as it is, or is refused past the limit");
        }
        if ((mode & 0x09) == 0x09)
            FUZZ_CHECK(a != BodyExtraction::State::Done, "a wrong checksum is never accepted");
        expected.sort();
        FUZZ_CHECK(everythingUnder(root) == expected,
                   "nothing is written but the finished body, and only in its folder");
        QFile::remove(whole);
        QFile::remove(stepped);
    }
    return 0;
}
