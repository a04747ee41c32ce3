// labels: unit
#include "foundation/codepage.h"
#include "foundation/encoding.h"

#include "support/pincodepage.h"

#include <gtest/gtest.h>

using namespace papyrant;
using papyrant::test::PinCodePage;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString thai = u"\u0E01"_s;      // not in GBK
const QString emoji = u"\U0001F600"_s; // a surrogate pair
const QString middleDot = u"\u00B7"_s; // code below 256, two bytes in GBK and UTF-8

struct EncodeCase
{
    QByteArray codePage;
    QString input;
    QString expected;
};

} // namespace

TEST(UrlEncode, EscapesPercentMultiByteAndQuerySigns)
{
    const EncodeCase cases[] = {
        {"GBK", u"100%"_s, u"100%25"_s},
        {"GBK", u"a+b#c^d"_s, u"a%2Bb%23c%5Ed"_s},
        {"GBK", u"a/b?c=d e"_s, u"a/b?c=d e"_s},
        {"GBK", u"C&A 中"_s, u"C%26A %E4%B8%AD"_s},
        {"UTF-8", u"C&A 中"_s, u"C%26A %E4%B8%AD"_s},
        // an escape already in the keyword is text, not an escape
        {"GBK", u"%E4"_s, u"%25E4"_s},
        // below 256 the escape is still UTF-8, as the service reads it
        {"GBK", middleDot, u"%C2%B7"_s},
        {"UTF-8", u"é"_s, u"%C3%A9"_s},
        // what GBK cannot write stays; UTF-8 writes everything
        {"GBK", thai, thai},
        {"UTF-8", thai, u"%E0%B8%81"_s},
        {"UTF-8", emoji, u"%F0%9F%98%80"_s},
        {"UTF-8", u"x"_s + QChar(0xD800) + u"y"_s,
         u"x"_s + QChar(0xD800) + u"y"_s}, // lone surrogate
        {"GBK", QString(), QString()},
        // a byte-order mark inside a keyword is a character like any other
        {"UTF-8", u"a\uFEFFb"_s, u"a%EF%BB%BFb"_s},
        {"UTF-8", u"\uFEFF\uFEFF"_s, u"%EF%BB%BF%EF%BB%BF"_s},
    };
    for (const EncodeCase &c : cases) {
        PinCodePage pin(c.codePage);
        EXPECT_EQ(UrlEncode(c.input), c.expected)
            << c.codePage.constData() << " " << qPrintable(c.input);
    }
}

TEST(Utf8Escape, WritesUtf8BytesOfOneCharacter)
{
    const std::pair<char32_t, QString> cases[] = {
        {U'a', u"a"_s},
        {U'7', u"7"_s},
        {U' ', u"%20"_s},
        {U'\u00B7', u"%C2%B7"_s},
        {U'\u07FF', u"%DF%BF"_s},
        {U'中', u"%E4%B8%AD"_s},
        {U'\U0001F600', u"%F0%9F%98%80"_s},
        {U'\uFEFF', u"%EF%BB%BF"_s},
    };
    for (const auto &[c, expected] : cases)
        EXPECT_EQ(Utf8Escape(c), expected) << uint(c);
}

TEST(CleanHeaderValue, DropsBreaksNulsTabsAndOuterSpaces)
{
    const std::pair<QString, QString> cases[] = {
        {u" a\tb\r\n "_s, u"ab"_s},
        {u"a b"_s, u"a b"_s},
        {QString(u"\0x\0"_s), u"x"_s},
        {u"\r\n\r\n"_s, QString()},
        {u"   "_s, QString()},
        {u" \u3000x\u3000 "_s, u"\u3000x\u3000"_s}, // only spaces are trimmed
    };
    for (const auto &[input, expected] : cases)
        EXPECT_EQ(CleanHeaderValue(input), expected) << qPrintable(input);
}

TEST(RemoveLineBreaks, DropsCrLfAndNulOnly)
{
    EXPECT_EQ(RemoveLineBreaks(u"a\r\nb\0c\td "_s), u"abc\td "_s);
    EXPECT_EQ(RemoveLineBreaks(QString()), QString());
}

TEST(LeftAnsiBytes, CutsAtCodePageBytesNeverInsideACharacter)
{
    struct Case
    {
        QByteArray codePage;
        QString input;
        qsizetype n;
        QString expected;
    };
    const Case cases[] = {
        {"GBK", u"abcdef"_s, 2, u"abcd"_s},
        {"GBK", u"中文字"_s, 2, u"中文"_s},
        {"GBK", u"a中文"_s, 2, u"a中"_s},   // 文 would take bytes 4 and 5: dropped whole
        {"UTF-8", u"中文字"_s, 2, u"中"_s}, // three bytes each
        {"UTF-8", u"a"_s + emoji + u"b"_s, 2, u"a"_s}, // never half a surrogate pair
        {"UTF-8", emoji + emoji, 2, emoji},
        {"GBK", thai + thai, 1, thai + thai}, // kept as they are, not turned into "?"
        {"GBK", u"abc"_s, 0, QString()},
        {"GBK", u"abc"_s, -5, QString()},
        {"GBK", u"abc"_s, std::numeric_limits<qsizetype>::max(), u"abc"_s},
        {"GBK", QString(), 10, QString()},
        {"GBK", u"a\0bc"_s, 1, u"a\0"_s},
    };
    for (const Case &c : cases) {
        PinCodePage pin(c.codePage);
        EXPECT_EQ(LeftAnsiBytes(c.input, c.n), c.expected)
            << c.codePage.constData() << " " << qPrintable(c.input) << " " << c.n;
    }
}

TEST(EncodingHelpers, AnswerForHugeAndOddTexts)
{
    PinCodePage pin("GBK");
    QString line;
    for (int i = 0; i < 100000; ++i)
        line += QChar(0x4E00 + i % 20000); // 100,000 CJK characters, 20,000 of them distinct
    line[500] = QChar(0);
    line[501] = u'\r';

    const QString cut = LeftAnsiBytes(line, 200);
    EXPECT_EQ(cut.size(), 200);
    EXPECT_TRUE(line.startsWith(cut));
    EXPECT_EQ(RemoveLineBreaks(line).size(), line.size() - 2);
    EXPECT_EQ(CleanHeaderValue(line).size(), line.size() - 2);
    const QString encoded = UrlEncode(line);
    EXPECT_EQ(encoded.count(u'%'), (line.size() - 2) * 3); // NUL and CR are ASCII
}
