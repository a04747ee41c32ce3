// labels: unit
#include "foundation/codepage.h"
#include "foundation/contenttype.h"
#include "foundation/filenames.h"

#include "support/pincodepage.h"

#include <gtest/gtest.h>

using namespace papyrant;
using papyrant::test::PinCodePage;
using namespace Qt::Literals::StringLiterals;

namespace {

QString repeat(const QString &piece, int times)
{
    return piece.repeated(times);
}

// What every cleaned name must be, whatever went in: no forbidden or control character, no
// leading or trailing dot, short enough for "." + extension + "[0001]" on a 255-byte file system.
void expectCreatableName(const QString &name, const QString &input)
{
    for (const QChar c : name) {
        EXPECT_FALSE(QStringView(u"\\/:*?\"<>|").contains(c)) << qPrintable(input);
        EXPECT_FALSE(c.category() == QChar::Other_Control) << qPrintable(input);
    }
    EXPECT_FALSE(name.startsWith(u'.') || name.endsWith(u'.')) << qPrintable(input);
    EXPECT_LE((name + u"[0001].html"_s).toUtf8().size(), 255) << qPrintable(input);
    if (!name.isEmpty() && name.back().isHighSurrogate())
        ADD_FAILURE() << "half a character left: " << qPrintable(input);
    EXPECT_EQ(CleanFileName(name), name) << "cleaning twice changes " << qPrintable(input);
}

} // namespace

TEST(CleanFileName, RemovesForbiddenControlAndOuterDots)
{
    const std::pair<QString, QString> cases[] = {
        {u"..a:b?.."_s, u"ab"_s},
        {u"a\\b/c:d*e?f\"g<h>i|j"_s, u"abcdefghij"_s},
        {u"a\r\nb\tc\x01"
         "d\x7F"
         "e"_s
             + QChar(0) + u"f"_s,
         u"abcdef"_s},
        {u" spaced  name "_s, u" spaced  name "_s}, // not trimmed
        {u"a.b.c."_s, u"a.b.c"_s},
        {u"../../etc/passwd"_s, u"etcpasswd"_s},
        {u"..."_s, QString()},
        {u"\\/:*?\"<>|"_s, QString()},
        {u"论文：标题？"_s, u"论文：标题？"_s}, // full-width forms are fine in names
        {u"a\u0080b\u0085c\u009Fd\u00A0e"_s, u"abcd\u00A0e"_s}, // C1 controls go, NBSP stays
    };
    for (const auto &[input, expected] : cases)
        EXPECT_EQ(CleanFileName(input), expected) << qPrintable(input);
}

TEST(CleanFileName, FitsTheFileSystemWithRoomForExtensionAndCounter)
{
    struct Case
    {
        QByteArray codePage;
        QString input;
        QString expected;
    };
    const QString cjk300 = repeat(u"字"_s, 300); // 600 GBK bytes, 900 UTF-8 bytes
    const QString emoji = u"\U0001F600"_s;
    const Case cases[] = {
        // 223 UTF-8 bytes is the most a cleaned name takes, so the 400-byte GBK cut never binds
        {"GBK", cjk300, cjk300.left(74)},
        {"UTF-8", cjk300, cjk300.left(74)},
        {"UTF-8", u"a"_s + cjk300, u"a"_s + cjk300.left(74)},
        {"UTF-8", repeat(u"b"_s, 300), repeat(u"b"_s, 223)},
        {"UTF-8", repeat(emoji, 100), repeat(emoji, 55)}, // pairs stay whole
        {"UTF-8", repeat(u"字"_s, 74), repeat(u"字"_s, 74)},
        // the cut lands right after a dot: the name still never ends in one
        {"UTF-8", repeat(u"b"_s, 222) + u".pdf"_s, repeat(u"b"_s, 222)},
        {"UTF-8", repeat(u"b"_s, 220) + u"...pdf"_s, repeat(u"b"_s, 220)},
    };
    for (const Case &c : cases) {
        PinCodePage pin(c.codePage);
        const QString cleaned = CleanFileName(c.input);
        EXPECT_EQ(cleaned, c.expected) << c.codePage.constData() << " " << c.input.size();
        expectCreatableName(cleaned, c.input);
    }
}

TEST(CleanFileName, AnyInputGivesACreatableName)
{
    QString hugeLine = repeat(u"题目 Title "_s, 12500); // 125,000 characters
    hugeLine[70] = QChar(0);
    const QString inputs[] = {
        QString(),
        hugeLine,
        repeat(u"?"_s, 100000),
        u".."_s,
        u"."_s,
        u". ."_s,
        u"\0\0\0"_s,
        u"a"_s + QChar(0xD800), // a lone half of a pair
        repeat(u"...\\"_s, 1000),
        repeat(u"\u00e9"_s, 200),
    };
    for (const QByteArray &codePage : {QByteArray("GBK"), QByteArray("UTF-8")}) {
        PinCodePage pin(codePage);
        for (const QString &input : inputs)
            expectCreatableName(CleanFileName(input), input.left(40));
    }
}

TEST(FileNameFromUrl, TakesTheLastSegment)
{
    struct Case
    {
        QString url;
        bool strip;
        QString expected;
    };
    const Case cases[] = {
        {u"https://ci.example/a/paper.pdf"_s, true, u"paper"_s},
        {u"https://ci.example/a/paper.pdf"_s, false, u"paper.pdf"_s},
        {u"https://ci.example/a.php?id=3"_s, true, u"a"_s},
        {u"https://ci.example/x?id=1.5"_s, true, u"x?id=1"_s},
        {u"https://ci.example/a/ b.pdf "_s, true, u"b"_s},
        {u"C:\\papers\\c.v2.pdf"_s, true, u"c.v2"_s},
        {u"https://ci.example/dir/"_s, true, QString()},
        {u"https://ci.example/.."_s, false, QString()}, // never the parent folder
        {u"https://ci.example/..."_s, true, QString()},
        {u"plain"_s, true, u"plain"_s},
        {QString(), true, QString()},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FileNameFromUrl(c.url, c.strip), c.expected) << qPrintable(c.url);
    EXPECT_EQ(CleanFileName(FileNameFromUrl(u"https://ci.example/x?id=1.5"_s, true)), u"xid=1"_s);
}

TEST(UrlSiteRoot, KeepsSchemeAndHost)
{
    const std::pair<QString, QString> cases[] = {
        {u"https://ci.example/a/b"_s, u"https://ci.example"_s},
        {u"https://ci.example"_s, u"https://ci.example"_s},
        {u"http:///a"_s, u"http:///a"_s}, // no host before the slash
        {u"ci.example/a"_s, u"ci.example"_s},
        {u"abc/d"_s, u"abc"_s},
        {u"ab/c"_s, u"ab/c"_s}, // a slash in the first three characters
        {QString(), QString()},
    };
    for (const auto &[url, expected] : cases)
        EXPECT_EQ(UrlSiteRoot(url), expected) << qPrintable(url);
}

TEST(SplitNameAndExtension, SplitsAtTheLastDot)
{
    struct Case
    {
        QString path, name, extension;
    };
    const Case cases[] = {
        {u"C:\\x\\report.final"_s, u"report"_s, u"final"_s},
        {u"C:\\x\\report.finalversion"_s, u"report.finalversion"_s, QString()},
        {u"/x/a.b.123456"_s, u"a.b"_s, u"123456"_s},
        {u"/x/.pdf"_s, QString(), u"pdf"_s},
        {u"  /x/ a . pdf  "_s, u"a"_s, u"pdf"_s},
        {u"/x/noext"_s, u"noext"_s, QString()},
        {u"/x/dir/"_s, QString(), QString()},
        {QString(), QString(), QString()},
    };
    for (const Case &c : cases) {
        const NameAndExtension split = SplitNameAndExtension(c.path);
        EXPECT_EQ(split.name, c.name) << qPrintable(c.path);
        EXPECT_EQ(split.extension, c.extension) << qPrintable(c.path);
    }
}

TEST(SplitPath, SplitsFolderNameAndExtension)
{
    struct Case
    {
        QString path, folder, name, extension;
    };
    const Case cases[] = {
        {u"/x/y/a.pdf"_s, u"/x/y/"_s, u"a"_s, u"pdf"_s},
        {u"/x/.pdf"_s, u"/x/"_s, u".pdf"_s, QString()},
        {u"a.pdf"_s, QString(), u"a"_s, u"pdf"_s},
        {u"C:\\x\\b.verylongext"_s, u"C:\\x\\"_s, u"b.verylongext"_s, QString()},
        {u"/x/y/"_s, u"/x/y/"_s, QString(), QString()},
        {QString(), QString(), QString(), QString()},
    };
    for (const Case &c : cases) {
        const PathParts parts = SplitPath(c.path);
        EXPECT_EQ(parts.folder, c.folder) << qPrintable(c.path);
        EXPECT_EQ(parts.name, c.name) << qPrintable(c.path);
        EXPECT_EQ(parts.extension, c.extension) << qPrintable(c.path);
    }
}

TEST(SplitCounterSuffix, FindsAFinalNumericCounter)
{
    struct Case
    {
        QString name, counter, base;
    };
    const Case cases[] = {
        {u"x[004]"_s, u"004"_s, u"x"_s},
        {u"x [ 12 ]"_s, u"12"_s, u"x "_s},
        {u"a[1][2]"_s, u"2"_s, u"a[1]"_s},
        {u"[004]"_s, QString(), u"[004]"_s}, // the base would be empty
        {u"x[y]"_s, QString(), u"x[y]"_s},
        {u"x[1]y"_s, QString(), u"x[1]y"_s},
        {u"x[1.5]"_s, QString(), u"x[1.5]"_s},
        {u"x[-1]"_s, QString(), u"x[-1]"_s},
        {u"x[]"_s, QString(), u"x[]"_s},
        {u"x]"_s, QString(), u"x]"_s},
        {QString(), QString(), QString()},
    };
    for (const Case &c : cases) {
        const CounterSuffix split = SplitCounterSuffix(c.name);
        EXPECT_EQ(split.counter, c.counter) << qPrintable(c.name);
        EXPECT_EQ(split.base, c.base) << qPrintable(c.name);
    }
}

TEST(UrlFileExtension, TakesTheExtensionOfTheLastSegment)
{
    const std::pair<QString, QString> cases[] = {
        {u"https://ci.example/a/paper.pdf"_s, u"pdf"_s},
        {u"https://ci.example/a/paper.pdf?x=1.html"_s, u"pdf"_s},
        {u"https://ci.example/a/page.htm#top.x"_s, u"htm"_s},
        {u"https://ci.example/a.php=1"_s, u"php"_s},
        {u"https://ci.example/a/b.toolong"_s, QString()},
        {u"https://ci.example/a/noext"_s, QString()},
        {u"https://ci.example/"_s, QString()},
        {u"https://ci.org"_s, u"org"_s},              // a host is the last segment too
        {u"https://proxy/f.js://x/y.gif"_s, u"js"_s}, // only the text between two "://"
        {u"C:\\cache\\x\\img.JPG"_s, u"JPG"_s},
        {u"/cache/img. png "_s, u"png"_s},
        {u"a.b\tc.d"_s, u"b"_s},
        {QString(), QString()},
    };
    for (const auto &[url, expected] : cases)
        EXPECT_EQ(UrlFileExtension(url), expected) << qPrintable(url);
}

TEST(ExtensionForContentType, MapsTypesAndFiltersLetters)
{
    const std::pair<QString, QString> cases[] = {
        {u"application/pdf"_s, u"pdf"_s},
        {u"APPLICATION/PDF"_s, u"pdf"_s},
        {u" Application / P D F "_s, u"pdf"_s},
        {u"application/pdf; name=x"_s, u"pdf"_s},
        {u"text/html; charset=utf-8"_s, u"html"_s},
        {u"Text/Plain"_s, u"txt"_s},
        {u"application/octet-stream"_s, QString()},
        {u"application/x-download"_s, u"x"_s},
        {u"application/force-download"_s, u"force"_s},
        {u"application/postscript"_s, QString()},
        {u"application/caj"_s, u"caj"_s},
        {u"application/x-shockwave-flash"_s, u"swf"_s},
        {u"application/vnd.rn-realmedia"_s, u"rm"_s},
        {u"application/vnd.ms-works"_s, u"wps"_s},
        {u"application/msword"_s, u"doc"_s},
        {u"application/vnd.openxmlformats-officedocument.wordprocessingml.document"_s, u"docx"_s},
        {u"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"_s, u"xlsx"_s},
        {u"application/vnd.openxmlformats-officedocument.presentationml.presentation"_s, u"pptx"_s},
        {u"application/vnd.openxmlformats-officedocument.presentationml.slideshow"_s, u"ppsx"_s},
        {u"application/vnd.ms-excel"_s, u"xls"_s},
        {u"application/x-msdownload"_s, u"dll"_s},
        {u"application/x-compressed"_s, u"tgz"_s},
        {u"application/x-zip-compressed"_s, u"zip"_s},
        {u"application/x-compress"_s, u"z"_s},
        {u"image/tiff"_s, u"tif"_s},
        {u"image/jpeg"_s, u"jpeg"_s},
        {u"image/g3fax"_s, u"g"_s},
        {u"image/x-icon"_s, u"ico"_s},
        {u"video/mpeg4"_s, u"mp4"_s}, // the table's own extension is not cut to "mp"
        {u"video/quicktime"_s, u"mov"_s},
        {u"audio/midi"_s, u"mid"_s},
        {u"audio/x-pn-realaudio"_s, u"ram"_s},
        {u"audio/x-mpegurl"_s, u"mpeg"_s},
        {u"message/rfc822"_s, u"mht"_s},
        {u"*/*"_s, QString()},
        {u"image/*"_s, QString()},
        {u"image/"_s, QString()},
        {u"model/vrml"_s, u"vrml"_s},
        {u"a/b/c"_s, u"a"_s},
        {u"pdf"_s, u"pdf"_s},
        {QString(), QString()},
        {u"text/中文"_s, QString()},
    };
    for (const auto &[type, expected] : cases)
        EXPECT_EQ(ExtensionForContentType(type), expected) << qPrintable(type);
}
