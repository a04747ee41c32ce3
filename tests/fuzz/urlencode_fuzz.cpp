// The URL encoding of a keyword, the UTF-8 escapes, and the header and byte-cut helpers.
#include "foundation/encoding.h"
#include "fuzzing.h"

using namespace papyrant;

namespace {

int hexValue(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1; // escapes are upper-case
}

// Undoes the encoding: "%XX" is one byte, any other character its UTF-8 form.
QByteArray decoded(const QString &encoded)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == u'%') {
            FUZZ_CHECK(i + 2 < encoded.size(), "an escape has two digits");
            const int high = hexValue(encoded[i + 1]);
            const int low = hexValue(encoded[i + 2]);
            FUZZ_CHECK(high >= 0 && low >= 0, "an escape is two upper-case hexadecimal digits");
            bytes += char(high * 16 + low);
            i += 2;
        } else {
            const bool pair = encoded[i].isHighSurrogate() && i + 1 < encoded.size()
                              && encoded[i + 1].isLowSurrogate();
            bytes += QStringView(encoded).mid(i, pair ? 2 : 1).toUtf8();
            if (pair)
                ++i;
        }
    }
    return bytes;
}

bool hasLoneSurrogate(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const fuzz::Input in = fuzz::readInput(data, size);
    fuzz::CodePage codePage(in.gbk);

    const QString encoded = UrlEncode(in.text);
    for (const QChar c : {u'#', u'^', u'&', u'+'})
        FUZZ_CHECK(!encoded.contains(c), "query signs are escaped");
    // Nothing is lost or added: the escapes give back the keyword's own UTF-8.
    if (!hasLoneSurrogate(in.text))
        FUZZ_CHECK(decoded(encoded) == in.text.toUtf8(), "decoding gives the keyword back");

    // Each character's escape is its UTF-8 form (letters and digits stay themselves).
    for (qsizetype i = 0; i < in.text.size(); ++i) {
        char32_t c = in.text[i].unicode();
        if (in.text[i].isHighSurrogate() && i + 1 < in.text.size()
            && in.text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(in.text[i], in.text[i + 1]);
            ++i;
        } else if (in.text[i].isSurrogate()) {
            continue;
        }
        const QString escape = Utf8Escape(c);
        FUZZ_CHECK(!escape.isEmpty(), "every character has an escape");
        FUZZ_CHECK(decoded(escape) == QStringView(QChar::fromUcs4(c)).toUtf8(),
                   "an escape is the character's UTF-8");
    }

    const QString header = CleanHeaderValue(in.text);
    for (const QChar c : {u'\r', u'\n', u'\t', u'\0'})
        FUZZ_CHECK(!header.contains(c), "a header value has no breaks, tabs or NULs");
    FUZZ_CHECK(!header.startsWith(u' ') && !header.endsWith(u' '), "a header value is trimmed");
    FUZZ_CHECK(CleanHeaderValue(header) == header, "cleaning a clean value changes nothing");

    const QString noBreaks = RemoveLineBreaks(in.text);
    for (const QChar c : {u'\r', u'\n', u'\0'})
        FUZZ_CHECK(!noBreaks.contains(c), "no line breaks are left");

    const qsizetype n = in.bytes.isEmpty() ? 0 : uchar(in.bytes.front()) % 64;
    const QString cut = LeftAnsiBytes(in.text, n);
    FUZZ_CHECK(in.text.startsWith(cut), "a cut keeps the start of the text");
    FUZZ_CHECK(toCodePage(cut).size() <= 2 * n, "a cut takes at most 2n code-page bytes");
    if (!cut.isEmpty() && cut.size() < in.text.size())
        FUZZ_CHECK(!(cut.back().isHighSurrogate() && in.text[cut.size()].isLowSurrogate()),
                   "a cut never splits a surrogate pair");
    return 0;
}
