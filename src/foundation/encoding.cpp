#include "foundation/encoding.h"

#include "foundation/codepage.h"
#include "foundation/textcut.h"

#include <QHash>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

void appendByteEscape(QString &out, uchar byte)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    out += u'%';
    out += QLatin1Char(hex[byte >> 4]);
    out += QLatin1Char(hex[byte & 0xF]);
}

// Bytes one character (a code point, given as its one or two UTF-16 units) takes in the code
// page; 0 when the code page cannot write it.
int codePageBytesOf(QStringView character)
{
    if (character.size() == 1)
        return codePageBytes(character.front());
    const QByteArray bytes = toCodePage(character);
    return bytes == "?" ? 0 : int(bytes.size());
}

} // namespace

QString Utf8Escape(char32_t c)
{
    if (c < 0x80 && QChar::isLetterOrNumber(c))
        return QString(QChar(char16_t(c)));
    // Through a view: QString::fromUcs4 would drop a U+FEFF as a byte-order mark.
    if (c > 0x10FFFF)
        c = QChar::ReplacementCharacter;
    const QByteArray utf8 = QStringView(QChar::fromUcs4(c)).toUtf8();
    QString out;
    out.reserve(utf8.size() * 3);
    for (const char byte : utf8)
        appendByteEscape(out, uchar(byte));
    return out;
}

QString UrlEncode(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 2);
    // The code page is asked once per distinct character: a keyword list can be long.
    QHash<char32_t, bool> multiByte;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'%') {
            out += u"%25";
            continue;
        }
        if (c.unicode() < 0x80) { // ASCII is one byte in every code page
            out += c;
            continue;
        }
        const bool pair =
            c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const QStringView character = QStringView(text).mid(i, pair ? 2 : 1);
        const char32_t code = pair ? QChar::surrogateToUcs4(c, text[i + 1]) : c.unicode();
        // Half a surrogate pair is no character and stays as it is.
        const bool whole = pair || !c.isSurrogate();
        auto known = multiByte.constFind(code);
        if (known == multiByte.cend())
            known = multiByte.insert(code, whole && codePageBytesOf(character) >= 2);
        if (*known)
            out += Utf8Escape(code);
        else
            out += character;
        if (pair)
            ++i;
    }
    // The escapes above hold only "%" and hexadecimal digits, so these never touch them.
    out.replace(u'#', u"%23"_s);
    out.replace(u'^', u"%5E"_s);
    out.replace(u'&', u"%26"_s);
    out.replace(u'+', u"%2B"_s);
    return out;
}

QString CleanHeaderValue(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c != u'\r' && c != u'\n' && c != QChar(0) && c != u'\t')
            out += c;
    }
    qsizetype start = 0;
    qsizetype end = out.size();
    while (start < end && out[start] == u' ')
        ++start;
    while (end > start && out[end - 1] == u' ')
        --end;
    return out.mid(start, end - start);
}

QString LeftAnsiBytes(const QString &text, qsizetype n)
{
    if (n <= 0)
        return {};
    const qint64 limit = n > std::numeric_limits<qint64>::max() / 2
                             ? std::numeric_limits<qint64>::max()
                             : qint64(n) * 2;
    // toCodePage writes "?" for what the code page lacks, so such a character counts one byte
    // here, while the text kept is the original one (a "?" in a file name would be no name).
    const qsizetype kept = detail::longestPrefix(QStringView(text), limit, [](QStringView prefix) {
        return qint64(toCodePage(prefix).size());
    });
    return text.left(kept);
}

QString RemoveLineBreaks(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c != u'\r' && c != u'\n' && c != QChar(0))
            out += c;
    }
    return out;
}

} // namespace papyrant
