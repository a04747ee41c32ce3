#include "tools/simplecache.h"

#include "foundation/replacingfile.h"
#include "tools/guardedfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <brotli/decode.h>
#include <cstring>
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

std::optional<EndRecord> readEndRecord(QIODevice &file, qint64 at)
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

// Undoes a body's encoding a piece at a time. The extraction gives it input only once it has
// used the last piece up, and takes output in bounded pieces, so that a small body that expands
// to gigabytes is never expanded further than asked.
class BodyDecoder
{
public:
    virtual ~BodyDecoder() = default;
    // The next piece of input; it must stay valid until needsInput().
    virtual void give(const char *data, qsizetype size) = 0;
    virtual bool needsInput() const = 0;
    // Up to `room` bytes of output; -1 when the data is not what the encoding says.
    virtual qsizetype take(char *out, qsizetype room) = 0;
    // The encoded stream is complete (what follows it is not part of the body).
    virtual bool ended() const = 0;
    // Whether the end of the input may come before ended().
    virtual bool endsWithInput() const { return false; }
};

class Identity : public BodyDecoder
{
public:
    void give(const char *data, qsizetype size) override
    {
        m_data = data;
        m_left = size;
    }
    bool needsInput() const override { return m_left == 0; }
    qsizetype take(char *out, qsizetype room) override
    {
        const qsizetype n = qMin(room, m_left);
        std::memcpy(out, m_data, size_t(n));
        m_data += n;
        m_left -= n;
        return n;
    }
    bool ended() const override { return false; }
    bool endsWithInput() const override { return true; }

private:
    const char *m_data = nullptr;
    qsizetype m_left = 0;
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

    void give(const char *data, qsizetype size) override
    {
        if (m_ok && !m_gzip && !m_sawFirst && size > 0) {
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
    }
    bool needsInput() const override { return !m_ended && m_z.avail_in == 0 && !m_moreOutput; }
    qsizetype take(char *out, qsizetype room) override
    {
        if (!m_ok)
            return -1;
        if (m_ended)
            return 0;
        m_z.next_out = reinterpret_cast<Bytef *>(out);
        m_z.avail_out = uInt(room);
        const int rc = inflate(&m_z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
            return -1;
        const qsizetype produced = room - qsizetype(m_z.avail_out);
        m_ended = rc == Z_STREAM_END;
        // A full output may leave more in the decoder's window, even with no input left.
        m_moreOutput = !m_ended && produced == room;
        return produced;
    }
    bool ended() const override { return m_ended; }

private:
    z_stream m_z{};
    bool m_gzip;
    bool m_ok = false;
    bool m_sawFirst = false;
    bool m_ended = false;
    bool m_moreOutput = false;
};

class Brotli : public BodyDecoder
{
public:
    Brotli() : m_state(BrotliDecoderCreateInstance(nullptr, nullptr, nullptr)) {}
    ~Brotli() override { BrotliDecoderDestroyInstance(m_state); }

    void give(const char *data, qsizetype size) override
    {
        m_next = reinterpret_cast<const uint8_t *>(data);
        m_available = size_t(size);
    }
    bool needsInput() const override
    {
        return m_result == BROTLI_DECODER_RESULT_NEEDS_MORE_INPUT && m_available == 0;
    }
    qsizetype take(char *out, qsizetype room) override
    {
        if (!m_state || m_result == BROTLI_DECODER_RESULT_ERROR)
            return -1;
        if (m_result == BROTLI_DECODER_RESULT_SUCCESS)
            return 0;
        size_t availableOut = size_t(room);
        auto *nextOut = reinterpret_cast<uint8_t *>(out);
        m_result = BrotliDecoderDecompressStream(m_state, &m_available, &m_next, &availableOut,
                                                 &nextOut, nullptr);
        if (m_result == BROTLI_DECODER_RESULT_ERROR)
            return -1;
        return room - qsizetype(availableOut);
    }
    bool ended() const override { return m_result == BROTLI_DECODER_RESULT_SUCCESS; }

private:
    BrotliDecoderState *m_state;
    BrotliDecoderResult m_result = BROTLI_DECODER_RESULT_NEEDS_MORE_INPUT;
    const uint8_t *m_next = nullptr;
    size_t m_available = 0;
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

constexpr qsizetype PieceSize = 64 * 1024;

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

std::optional<SimpleCacheEntry> ReadSimpleCacheEntry(QIODevice &file, const QString &entryFile)
{
    if (!entryFile.endsWith(u"_0"_s) || !file.isReadable() || file.isSequential())
        return std::nullopt;
    const qint64 fileSize = file.size();
    if (!file.seek(0))
        return std::nullopt;
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
    if (!file.seek(RecordSize))
        return std::nullopt;
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

std::optional<SimpleCacheEntry> ReadSimpleCacheEntry(const QString &entryFile)
{
    QFile file;
    const QFileInfo info(entryFile);
    if (OpenFileBelow({info.absolutePath(), {}, -1}, info.fileName(), file).result
        != GuardedResult::Done)
        return std::nullopt;
    return ReadSimpleCacheEntry(file, entryFile);
}

QList<SimpleCacheEntry> ListSimpleCacheEntries(const QString &cacheFolder)
{
    const GuardedFolder folder{cacheFolder, {}, -1};
    QStringList files;
    for (const GuardedEntry &entry : WalkGuardedFolder(folder)) {
        if (!entry.folder && entry.relative.endsWith(u"_0"_s))
            files << entry.relative;
    }
    std::sort(files.begin(), files.end());
    QList<SimpleCacheEntry> entries;
    for (const QString &relative : std::as_const(files)) {
        QFile file;
        if (OpenFileBelow(folder, relative, file).result != GuardedResult::Done)
            continue;
        if (auto entry = ReadSimpleCacheEntry(file, folder.path() + relative))
            entries << *entry;
    }
    return entries;
}

// ---- extraction ----------------------------------------------------------------------------

struct BodyExtraction::Private
{
    std::unique_ptr<QIODevice> source;
    std::unique_ptr<BodyDecoder> decoder; // null: an encoding not known
    ReplacingFile out;
    qint64 offset = 0;
    qint64 left = 0; // input bytes not read yet
    qint64 limit = -1;
    std::optional<quint32> expectedCrc;
    uLong crc = crc32(0, nullptr, 0);
    bool opened = false;
    int idle = 0; // pieces taken in a row that gave nothing
    QByteArray input = QByteArray(PieceSize, Qt::Uninitialized);
    QByteArray output = QByteArray(PieceSize, Qt::Uninitialized);

    Private(std::unique_ptr<QIODevice> file, const QString &target)
        : source(std::move(file)), out(target)
    {}
};

BodyExtraction::BodyExtraction(const SimpleCacheEntry &entry, std::unique_ptr<QIODevice> source,
                               const QString &target, qint64 limit)
    : d(std::make_unique<Private>(std::move(source), target))
{
    d->decoder = decoderFor(entry.header("Content-Encoding"));
    d->offset = entry.bodyOffset;
    d->left = entry.bodySize;
    d->limit = limit;
    if (entry.hasBodyCrc)
        d->expectedCrc = entry.bodyCrc;
}

BodyExtraction::BodyExtraction(std::unique_ptr<QIODevice> source, const QString &target,
                               qint64 limit)
    : d(std::make_unique<Private>(std::move(source), target))
{
    d->decoder = std::make_unique<Identity>();
    d->left = d->source ? d->source->size() : 0;
    d->limit = limit;
}

BodyExtraction::~BodyExtraction() = default; // an unfinished file is removed with `out`

void BodyExtraction::keepModificationTime(const QDateTime &time)
{
    d->out.keepModificationTime(time);
}

BodyExtraction::State BodyExtraction::step(qint64 budget)
{
    if (m_state != State::Running)
        return m_state;
    const auto end = [this](State state) {
        if (state != State::Done)
            d->out.cancelWriting();
        d->source.reset();
        m_state = state;
        return state;
    };
    if (!d->decoder)
        return end(State::Undecodable);
    if (!d->opened) {
        d->opened = true;
        if (!d->source || !d->source->isReadable() || !d->source->seek(d->offset))
            return end(State::ReadFailed);
        if (!d->out.open())
            return end(State::WriteFailed);
    }
    qint64 work = 0;
    while (work < budget) {
        BodyDecoder &decoder = *d->decoder;
        if (decoder.ended() || decoder.needsInput()) {
            if (d->left == 0) {
                if (!decoder.ended() && !decoder.endsWithInput())
                    return end(State::Damaged); // the encoded stream was cut short
                if (d->expectedCrc && d->crc != *d->expectedCrc)
                    return end(State::Damaged);
                return end(d->out.commitAsNew() ? State::Done : State::WriteFailed);
            }
            const qint64 n =
                d->source->read(d->input.data(), qMin<qint64>(d->left, d->input.size()));
            if (n <= 0)
                return end(n < 0 ? State::ReadFailed : State::Damaged);
            d->crc = crc32(d->crc, reinterpret_cast<const Bytef *>(d->input.constData()), uInt(n));
            d->left -= n;
            work += n;
            if (!decoder.ended()) {
                decoder.give(d->input.constData(), qsizetype(n));
                d->idle = 0;
            }
            continue;
        }
        // One byte past the limit is enough to know that the body is too large.
        qsizetype room = d->output.size();
        if (d->limit >= 0)
            room = qsizetype(qMin<qint64>(room, d->limit - m_written + 1));
        const qsizetype n = decoder.take(d->output.data(), room);
        if (n < 0)
            return end(State::Damaged);
        if (n == 0 && ++d->idle > 2)
            return end(State::Damaged); // a decoder that neither wants input nor gives output
        if (n > 0) {
            d->idle = 0;
            m_written += n;
            work += n;
            if (d->limit >= 0 && m_written > d->limit)
                return end(State::TooLarge);
            if (d->out.write(d->output.constData(), n) != n)
                return end(State::WriteFailed);
        }
    }
    return m_state;
}

BodyExtraction::State ExtractSimpleCacheBody(const SimpleCacheEntry &entry, const QString &target,
                                             qint64 limit)
{
    auto file = std::make_unique<QFile>();
    const QFileInfo info(entry.entryFile);
    if (OpenFileBelow({info.absolutePath(), {}, -1}, info.fileName(), *file).result
        != GuardedResult::Done)
        return BodyExtraction::State::ReadFailed;
    BodyExtraction extraction(entry, std::move(file), target, limit);
    BodyExtraction::State state;
    while ((state = extraction.step()) == BodyExtraction::State::Running) {}
    return state;
}

} // namespace papyrant
