#include "tools/simplecache.h"

#include "foundation/replacingfile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <brotli/decode.h>
#include <memory>
#include <zlib.h>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

// The entry file's layout: a 24-byte header (magic, version, key length, key hash), the key,
// the body, a 24-byte end record for the body (magic, flags, CRC-32, size), the answer's
// headers as the engine serialises them, optionally the key's SHA-256, and an end record for
// the headers.
constexpr quint64 InitialMagic = 0xfcfb6d1ba7725c30ULL;
constexpr quint64 FinalMagic = 0xf4fa6f45970d41d8ULL;
constexpr qint64 RecordSize = 24;
constexpr quint32 FlagHasCrc = 1;
constexpr quint32 FlagHasKeySha256 = 2;
constexpr quint32 OldestLayout = 5; // the layout with both streams in one file
constexpr qint64 KeySha256Size = 32;
constexpr quint32 MaxKeyLength = 64 * 1024;
constexpr qint64 MaxHeaderStream = 1024 * 1024;

struct EndRecord
{
    quint32 flags = 0;
    quint32 crc = 0;
    quint32 size = 0;
};

std::optional<EndRecord> readEndRecord(QFile &file, qint64 at)
{
    if (at < 0 || !file.seek(at))
        return std::nullopt;
    const QByteArray bytes = file.read(RecordSize);
    if (bytes.size() != RecordSize || qFromLittleEndian<quint64>(bytes.constData()) != FinalMagic)
        return std::nullopt;
    return EndRecord{qFromLittleEndian<quint32>(bytes.constData() + 8),
                     qFromLittleEndian<quint32>(bytes.constData() + 12),
                     qFromLittleEndian<quint32>(bytes.constData() + 16)};
}

// The URL of a cache key: the key may carry a partition before it ("1/0/", or the sites of a
// split cache separated by spaces).
QString urlOfKey(const QString &key)
{
    const QString last = key.mid(key.lastIndexOf(u' ') + 1);
    const qsizetype colon = last.indexOf(u"://");
    if (colon <= 0)
        return last;
    qsizetype start = colon;
    while (start > 0
           && (last[start - 1].isLetterOrNumber() || last[start - 1] == u'+'
               || last[start - 1] == u'-' || last[start - 1] == u'.'))
        --start;
    return last.mid(start);
}

// The header block of the serialised answer: a NUL-separated run that begins with the status
// line and ends with an empty line.
QByteArray headerBlock(const QByteArray &stream)
{
    qsizetype at = -1;
    for (const char *start : {"HTTP/1.", "HTTP/2", "HTTP/3", "HTTP/0.9"}) {
        const qsizetype found = stream.indexOf(start);
        if (found >= 0 && (at < 0 || found < at))
            at = found;
    }
    if (at < 0)
        return {};
    qsizetype end = stream.indexOf(QByteArray("\0\0", 2), at);
    if (end < 0)
        end = stream.size();
    QByteArray block = stream.mid(at, end - at);
    block.replace('\0', '\n');
    return block;
}

// Streams the body through a decoder into the output; the decoders share one shape.
class BodyDecoder
{
public:
    virtual ~BodyDecoder() = default;
    // False when the data is not what the encoding says.
    virtual bool feed(const char *data, qsizetype size, ReplacingFile &out) = 0;
    virtual bool finish(ReplacingFile &out) = 0;
};

class Identity : public BodyDecoder
{
public:
    bool feed(const char *data, qsizetype size, ReplacingFile &out) override
    {
        return out.write(data, size) == size;
    }
    bool finish(ReplacingFile &) override { return true; }
};

class Inflate : public BodyDecoder
{
public:
    explicit Inflate(bool gzip) : m_gzip(gzip)
    {
        // gzip, or zlib with its header; a bare deflate stream is tried when that fails.
        m_ok = inflateInit2(&m_z, gzip ? 15 + 16 : 15) == Z_OK;
    }
    ~Inflate() override { inflateEnd(&m_z); }

    bool feed(const char *data, qsizetype size, ReplacingFile &out) override
    {
        if (!m_ok)
            return false;
        if (!m_gzip && !m_sawFirst && size > 0) {
            m_sawFirst = true;
            // A zlib header is 0x78 with a checksum; anything else is a bare deflate stream.
            const auto first = quint8(data[0]);
            if ((first & 0x0f) != 8 || size < 2 || ((first << 8) | quint8(data[1])) % 31 != 0) {
                inflateEnd(&m_z);
                m_z = {};
                m_ok = inflateInit2(&m_z, -15) == Z_OK;
            }
        }
        m_z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
        m_z.avail_in = uInt(size);
        char buffer[64 * 1024];
        while (m_z.avail_in > 0 && !m_ended) {
            m_z.next_out = reinterpret_cast<Bytef *>(buffer);
            m_z.avail_out = sizeof buffer;
            const int rc = inflate(&m_z, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
                return false;
            const qsizetype produced = qsizetype(sizeof buffer - m_z.avail_out);
            if (produced > 0 && out.write(buffer, produced) != produced)
                return false;
            if (rc == Z_STREAM_END)
                m_ended = true;
            else if (rc == Z_BUF_ERROR && produced == 0)
                break;
        }
        return true;
    }
    bool finish(ReplacingFile &) override { return m_ok && m_ended; }

private:
    z_stream m_z{};
    bool m_gzip;
    bool m_ok = false;
    bool m_sawFirst = false;
    bool m_ended = false;
};

class Brotli : public BodyDecoder
{
public:
    Brotli() : m_state(BrotliDecoderCreateInstance(nullptr, nullptr, nullptr)) {}
    ~Brotli() override { BrotliDecoderDestroyInstance(m_state); }

    bool feed(const char *data, qsizetype size, ReplacingFile &out) override
    {
        if (!m_state)
            return false;
        size_t availableIn = size_t(size);
        auto *nextIn = reinterpret_cast<const uint8_t *>(data);
        uint8_t buffer[64 * 1024];
        for (;;) {
            size_t availableOut = sizeof buffer;
            uint8_t *nextOut = buffer;
            m_result = BrotliDecoderDecompressStream(m_state, &availableIn, &nextIn, &availableOut,
                                                     &nextOut, nullptr);
            const qsizetype produced = qsizetype(sizeof buffer - availableOut);
            if (produced > 0
                && out.write(reinterpret_cast<const char *>(buffer), produced) != produced)
                return false;
            if (m_result == BROTLI_DECODER_RESULT_ERROR)
                return false;
            if (m_result != BROTLI_DECODER_RESULT_NEEDS_MORE_OUTPUT)
                return true;
        }
    }
    bool finish(ReplacingFile &) override { return m_result == BROTLI_DECODER_RESULT_SUCCESS; }

private:
    BrotliDecoderState *m_state;
    BrotliDecoderResult m_result = BROTLI_DECODER_RESULT_NEEDS_MORE_INPUT;
};

std::unique_ptr<BodyDecoder> decoderFor(const QByteArray &contentEncoding)
{
    const QByteArray encoding = contentEncoding.trimmed().toLower();
    if (encoding.isEmpty() || encoding == "identity")
        return std::make_unique<Identity>();
    if (encoding == "gzip" || encoding == "x-gzip")
        return std::make_unique<Inflate>(true);
    if (encoding == "deflate")
        return std::make_unique<Inflate>(false);
    if (encoding == "br")
        return std::make_unique<Brotli>();
    return nullptr;
}

} // namespace

QByteArray SimpleCacheEntry::header(const QByteArray &name) const
{
    const QByteArray wanted = name.toLower() + ':';
    const QList<QByteArray> lines = headers.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) { // the first line is the status line
        if (lines[i].toLower().startsWith(wanted))
            return lines[i].mid(wanted.size()).trimmed();
    }
    return {};
}

QStringList SimpleCacheEntry::files() const
{
    QStringList out;
    const QString stem = entryFile.chopped(1); // "<hash>_"
    for (const QString &suffix : {u"0"_s, u"1"_s, u"s"_s}) {
        if (QFileInfo(stem + suffix).isFile())
            out << stem + suffix;
    }
    return out;
}

std::optional<SimpleCacheEntry> ReadSimpleCacheEntry(const QString &entryFile)
{
    if (!entryFile.endsWith(u"_0"_s))
        return std::nullopt;
    QFile file(entryFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 fileSize = file.size();
    const QByteArray head = file.read(RecordSize);
    if (head.size() != RecordSize || qFromLittleEndian<quint64>(head.constData()) != InitialMagic)
        return std::nullopt;
    const quint32 version = qFromLittleEndian<quint32>(head.constData() + 8);
    const quint32 keyLength = qFromLittleEndian<quint32>(head.constData() + 12);
    if (version < OldestLayout || keyLength == 0 || keyLength > MaxKeyLength
        || RecordSize + keyLength + 2 * RecordSize > fileSize)
        return std::nullopt;

    const std::optional<EndRecord> headersEnd = readEndRecord(file, fileSize - RecordSize);
    if (!headersEnd)
        return std::nullopt;
    const qint64 sha = (headersEnd->flags & FlagHasKeySha256) ? KeySha256Size : 0;
    const qint64 headersAt = fileSize - RecordSize - sha - headersEnd->size;
    const std::optional<EndRecord> bodyEnd = readEndRecord(file, headersAt - RecordSize);
    const qint64 bodyAt = RecordSize + keyLength;
    if (!bodyEnd || bodyAt + qint64(bodyEnd->size) != headersAt - RecordSize)
        return std::nullopt;

    SimpleCacheEntry entry;
    entry.entryFile = entryFile;
    file.seek(RecordSize);
    entry.key = QString::fromUtf8(file.read(keyLength));
    entry.url = urlOfKey(entry.key);
    entry.bodyOffset = bodyAt;
    entry.bodySize = bodyEnd->size;
    entry.bodyCrc = bodyEnd->crc;
    entry.hasBodyCrc = bodyEnd->flags & FlagHasCrc;
    if (headersEnd->size <= MaxHeaderStream && file.seek(headersAt))
        entry.headers = headerBlock(file.read(headersEnd->size));
    return entry;
}

QList<SimpleCacheEntry> ListSimpleCacheEntries(const QString &cacheFolder)
{
    QStringList files;
    QDirIterator it(cacheFolder, {u"*_0"_s}, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    std::sort(files.begin(), files.end());
    QList<SimpleCacheEntry> entries;
    for (const QString &path : std::as_const(files)) {
        if (auto entry = ReadSimpleCacheEntry(path))
            entries << *entry;
    }
    return entries;
}

bool ExtractSimpleCacheBody(const SimpleCacheEntry &entry, const QString &target)
{
    const std::unique_ptr<BodyDecoder> decoder = decoderFor(entry.header("Content-Encoding"));
    QFile file(entry.entryFile);
    if (!decoder || !file.open(QIODevice::ReadOnly) || !file.seek(entry.bodyOffset))
        return false;
    ReplacingFile out(target);
    if (!out.open())
        return false;
    uLong crc = crc32(0, nullptr, 0);
    QByteArray buffer(256 * 1024, Qt::Uninitialized);
    qint64 left = entry.bodySize;
    while (left > 0) {
        const qint64 n = file.read(buffer.data(), qMin<qint64>(left, buffer.size()));
        if (n <= 0)
            return false;
        crc = crc32(crc, reinterpret_cast<const Bytef *>(buffer.constData()), uInt(n));
        if (!decoder->feed(buffer.constData(), n, out))
            return false;
        left -= n;
    }
    if (entry.hasBodyCrc && crc != entry.bodyCrc)
        return false;
    return decoder->finish(out) && out.commit();
}

} // namespace papyrant
