#include "download/pagecharset.h"

#include <QStringDecoder>
#include <QStringView>

namespace papyrant {

namespace {

// Browsers look at the first 1,024 bytes; pages that put long scripts or comments before
// their <meta> are common enough in Japan that a little more is read.
constexpr qsizetype prescanBytes = 8192;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool startsWithNoCase(QByteArrayView text, qsizetype at, QByteArrayView word)
{
    if (at + word.size() > text.size())
        return false;
    for (qsizetype i = 0; i < word.size(); ++i)
        if (lower(text[at + i]) != word[i])
            return false;
    return true;
}

QByteArray lowered(QByteArrayView text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = lower(text[i]);
    return out;
}

// One attribute of a tag, read as a browser's prescan reads it; false at the tag's end.
bool nextAttribute(QByteArrayView text, qsizetype &at, QByteArray &name, QByteArray &value)
{
    while (at < text.size() && (isSpace(text[at]) || text[at] == '/'))
        ++at;
    if (at >= text.size() || text[at] == '>')
        return false;
    const qsizetype nameStart = at;
    while (at < text.size() && !isSpace(text[at]) && text[at] != '=' && text[at] != '>'
           && !(text[at] == '/' && at > nameStart))
        ++at;
    name = lowered(text.sliced(nameStart, at - nameStart));
    value.clear();
    while (at < text.size() && isSpace(text[at]))
        ++at;
    if (at >= text.size() || text[at] != '=')
        return true;
    ++at;
    while (at < text.size() && isSpace(text[at]))
        ++at;
    if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
        const char quote = text[at++];
        const qsizetype end = text.indexOf(quote, at);
        const qsizetype stop = end < 0 ? text.size() : end;
        value = text.sliced(at, stop - at).toByteArray();
        at = end < 0 ? text.size() : end + 1;
        return true;
    }
    const qsizetype valueStart = at;
    while (at < text.size() && !isSpace(text[at]) && text[at] != '>')
        ++at;
    value = text.sliced(valueStart, at - valueStart).toByteArray();
    return true;
}

// The charset parameter of a Content-Type value ("text/html; charset=Shift_JIS").
QByteArray charsetParameter(QByteArrayView content)
{
    const QByteArray low = lowered(content);
    qsizetype at = 0;
    while ((at = low.indexOf("charset", at)) >= 0) {
        at += 7;
        while (at < low.size() && isSpace(low[at]))
            ++at;
        if (at >= low.size() || low[at] != '=')
            continue;
        ++at;
        while (at < low.size() && isSpace(low[at]))
            ++at;
        if (at < low.size() && (low[at] == '"' || low[at] == '\'')) {
            const qsizetype end = low.indexOf(low[at], at + 1);
            if (end < 0)
                return {};
            return content.sliced(at + 1, end - at - 1).toByteArray();
        }
        const qsizetype start = at;
        while (at < low.size() && !isSpace(low[at]) && low[at] != ';')
            ++at;
        return content.sliced(start, at - start).toByteArray();
    }
    return {};
}

// A declared label as the decoders know it, or empty when none knows it.
QByteArray usableLabel(QByteArray label)
{
    label = label.trimmed();
    const QByteArray low = lowered(label);
    if (low.startsWith("utf-16") || low == "unicode" || low == "ucs-2")
        return "UTF-8";
    if (low == "x-user-defined")
        return "windows-1252";
    if (label.isEmpty() || !QStringDecoder(label.constData()).isValid())
        return {};
    return label;
}

// The <meta> that declares the page's charset, by the browsers' prescan.
QByteArray prescanMeta(QByteArrayView text)
{
    qsizetype at = 0;
    QByteArray name, value;
    while (at < text.size()) {
        const qsizetype open = text.indexOf('<', at);
        if (open < 0)
            break;
        at = open + 1;
        if (startsWithNoCase(text, open, "<!--")) {
            const qsizetype close = text.indexOf("-->", open + 4);
            at = close < 0 ? text.size() : close + 3;
        } else if (startsWithNoCase(text, open, "<meta") && open + 5 < text.size()
                   && (isSpace(text[open + 5]) || text[open + 5] == '/')) {
            at = open + 5;
            QByteArray charset, httpEquiv, content;
            while (nextAttribute(text, at, name, value)) {
                if (name == "charset" && charset.isNull())
                    charset = value.isNull() ? QByteArray("") : value;
                else if (name == "http-equiv" && httpEquiv.isNull())
                    httpEquiv = lowered(value.trimmed());
                else if (name == "content" && content.isNull())
                    content = value;
            }
            QByteArray label = charset;
            if (label.isNull() && httpEquiv == "content-type")
                label = charsetParameter(content);
            if (const QByteArray usable = usableLabel(label); !usable.isEmpty())
                return usable;
        } else if (open + 1 < text.size()
                   && (isLetter(text[open + 1])
                       || (text[open + 1] == '/' && open + 2 < text.size()
                           && isLetter(text[open + 2])))) {
            // Any other tag: its attributes are skipped whole, so a ">" or "<meta" inside a
            // quoted value is not taken for markup.
            at = open + 2;
            while (at < text.size() && !isSpace(text[at]) && text[at] != '>')
                ++at;
            while (nextAttribute(text, at, name, value)) {}
        } else if (open + 1 < text.size() && (text[open + 1] == '!' || text[open + 1] == '?')) {
            const qsizetype close = text.indexOf('>', open + 1);
            at = close < 0 ? text.size() : close + 1;
        }
    }
    return {};
}

bool isValidUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

// How much a text looks like Japanese: kana and ideographs count for it; replacement
// characters, C1 controls, half-width kana and private-use characters (what a wrong
// Japanese decoder makes of the other one's bytes) count against it.
qsizetype japaneseScore(QStringView text)
{
    qsizetype score = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3040 && u <= 0x30FF) || (u >= 0x4E00 && u <= 0x9FFF) || u == 0x3001
            || u == 0x3002)
            score += 2;
        else if (u == 0xFFFD || u == 0x001A || (u >= 0x80 && u <= 0x9F)
                 || (u >= 0xFF61 && u <= 0xFF9F) || (u >= 0xE000 && u <= 0xF8FF))
            score -= 4;
    }
    return score;
}

QString decodeAs(const char *label, QByteArrayView bytes)
{
    QStringDecoder decoder(label);
    return decoder.decode(bytes);
}

} // namespace

QByteArray DeclaredPageCharset(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return "UTF-8";
    if (bytes.startsWith("\xFE\xFF"))
        return "UTF-16BE";
    if (bytes.startsWith("\xFF\xFE"))
        return "UTF-16LE";
    return prescanMeta(bytes.first(qMin(bytes.size(), prescanBytes)));
}

PageUtf8 PageAsUtf8(QByteArrayView bytes)
{
    QByteArray charset = DeclaredPageCharset(bytes);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    else if (bytes.startsWith("\xFE\xFF") || bytes.startsWith("\xFF\xFE"))
        bytes = bytes.sliced(2);

    if (charset.isEmpty()) {
        if (isValidUtf8(bytes)) {
            charset = "UTF-8";
        } else {
            // Only the text decides, and little of it is needed.
            const QByteArrayView sample = bytes.first(qMin(bytes.size(), qsizetype(65536)));
            const qsizetype euc = japaneseScore(decodeAs("EUC-JP", sample));
            const qsizetype sjis = japaneseScore(decodeAs("Shift_JIS", sample));
            if (euc > 0 && euc >= sjis)
                charset = "EUC-JP";
            else if (sjis > 0)
                charset = "Shift_JIS";
            else
                charset = "windows-1252";
        }
    }
    if (lowered(charset) == "utf-8" || lowered(charset) == "utf8")
        return {bytes.toByteArray(), charset};
    return {decodeAs(charset.constData(), bytes).toUtf8(), charset};
}

} // namespace papyrant
