#pragma once

// Shared by the fuzz targets: turning the fuzzer's bytes into the inputs of the parsers, and
// checks that stop the run with the input that broke them.

#include "foundation/codepage.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

namespace papyrant::fuzz {

// An invariant that must hold for every input; a failure aborts, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition, what)                                                                \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant broken: %s (%s) at %s:%d\n", what, #condition,         \
                         __FILE__, __LINE__);                                                      \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

inline QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// The first byte chooses how the rest is read: bit 0 pins the code page to GBK (else UTF-8),
// bit 1 reads the text as raw UTF-16 units (lone surrogates included), else as UTF-8. The seeds
// start with 0x00 and read as plain UTF-8 text.
struct Input
{
    QString text;
    QByteArray bytes; // the bytes after the mode byte
    bool gbk = false;
};

inline Input readInput(const uint8_t *data, size_t size)
{
    Input in;
    if (size == 0)
        return in;
    const uint8_t mode = data[0];
    in.bytes = bytesOf(data + 1, size - 1);
    in.gbk = mode & 1;
    if (mode & 2)
        in.text =
            QString(reinterpret_cast<const QChar *>(in.bytes.constData()), in.bytes.size() / 2);
    else
        in.text = QString::fromUtf8(in.bytes);
    return in;
}

// Pins the code page for one input and gives the platform's back afterwards.
struct CodePage
{
    explicit CodePage(bool gbk) { setSystemCodePageForTesting(gbk ? "GBK" : "UTF-8"); }
    ~CodePage() { setSystemCodePageForTesting({}); }
};

// Writes a file for a target that reads one, replacing what an earlier input left there.
inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the file can be written");
    FUZZ_CHECK(file.write(bytes) == bytes.size(), "the file is written whole");
}

// An absolute http(s) address with a host, as the engine may fetch it.
inline bool isHttpAddress(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    return url.isValid() && (url.scheme() == u"http" || url.scheme() == u"https")
           && !url.host().isEmpty();
}

inline bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control;
}

} // namespace papyrant::fuzz
