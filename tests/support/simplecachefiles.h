#pragma once

#include <QByteArray>
#include <QtEndian>
#include <zlib.h>

namespace papyrant::test {

namespace detail {
inline void putLittleEndian(QByteArray &out, auto value)
{
    char bytes[sizeof value];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof value);
}
} // namespace detail

// An entry file of the browser's disk cache as the engine writes it: header, key, body, end
// record, the answer's headers (inside the engine's own serialisation, lines separated by
// "\n" here), end record. The programs that link this need zlib (the body's CRC-32).
inline QByteArray simpleCacheEntryBytes(const QByteArray &key, const QByteArray &body,
                                        const QByteArray &headers, bool rightCrc = true)
{
    using detail::putLittleEndian;
    QByteArray out;
    putLittleEndian(out, quint64(0xfcfb6d1ba7725c30ULL));
    putLittleEndian(out, quint32(5));
    putLittleEndian(out, quint32(key.size()));
    putLittleEndian(out, quint32(0));
    putLittleEndian(out, quint32(0));
    out += key + body;
    const auto crc =
        quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size())));
    putLittleEndian(out, quint64(0xf4fa6f45970d41d8ULL));
    putLittleEndian(out, quint32(1));
    putLittleEndian(out, rightCrc ? crc : crc + 1);
    putLittleEndian(out, quint32(body.size()));
    putLittleEndian(out, quint32(0));
    QByteArray stream = QByteArray("\xe8\0\0\0\x03\0\x04\0", 8) + headers;
    stream.replace('\n', '\0');
    // Two literals: written as one, "\0127" would be the octal escape "\012" and a "7", and the
    // 16 bytes read would run past the end of the literal.
    stream += QByteArray("\0\0\x09\0\0\0"
                         "127.0.0.1",
                         16);
    out += stream;
    putLittleEndian(out, quint64(0xf4fa6f45970d41d8ULL));
    putLittleEndian(out, quint32(0));
    putLittleEndian(out, quint32(0));
    putLittleEndian(out, quint32(stream.size()));
    putLittleEndian(out, quint32(0));
    return out;
}

// A gzip stream of the data, as a server sends a body with "Content-Encoding: gzip".
inline QByteArray gzipBytes(const QByteArray &data)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&z, uLong(data.size()))) + 32, Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

} // namespace papyrant::test
