// labels: unit integration
#include "download/downloadqueue.h"
#include "download/filetype.h"
#include "foundation/codepage.h"
#include "support/recordingprompts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Bytes that match no signature, so that a case shows only what it puts in front or behind.
QByteArray filler(int size)
{
    return QByteArray(size, 'x');
}

// A zip local file header naming one member, as the first bytes of an Office package show it.
QByteArray zipMember(const QByteArray &name, bool officeFlags)
{
    QByteArray h = officeFlags ? hex("504b0304140006000800") : hex("504b0304140000000800");
    h += QByteArray(16, '\0');
    h += char(name.size() & 0xff);
    h += char(name.size() >> 8);
    h += QByteArray(2, '\0');
    return h + name + QByteArray(40, 'z');
}

QByteArray compound(int size, int at512, const QByteArray &second = {})
{
    QByteArray b = hex("d0cf11e0a1b11ae1") + QByteArray(size - 8, '\0');
    if (at512 >= 0 && size >= 516)
        b.replace(512, second.size(), second);
    return b;
}

class FileTypeTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString folder() const { return dir.path() + u'/'; }
    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile f(folder() + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
    QByteArray read(const QString &name)
    {
        QFile f(folder() + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void TearDown() override { setSystemCodePageForTesting({}); }
};

} // namespace

TEST_F(FileTypeTest, SignatureTable)
{
    struct Case
    {
        const char *label;
        QByteArray bytes;
        const char *type;
    };
    const QByteArray html =
        "<html lang=\"zh\"><head><title>登录</title></head><body>x</body></html>";
    const Case cases[] = {
        {"pdf", "%PDF-1.4\n" + filler(40), "pdf"},
        {"caj", hex("c8000000") + filler(40), "caj"},
        {"CAJ and zero is kdh", "CAJ" + hex("00") + filler(40), "kdh"},
        {"kdh", "KDH " + filler(40), "kdh"},
        {"nh", "HN" + hex("0000") + filler(40), "nh"},
        {"tif", hex("49492a00") + filler(40), "tif"},
        {"rtf", "{\\rtf1\\ansi" + filler(40), "rtf"},
        {"exe", "MZ" + filler(40), "exe"},
        {"rar", "Rar!" + hex("1a0700") + filler(40), "rar"},
        {"zip", zipMember("a.txt", false), "zip"},
        {"office package, unknown parts", zipMember("[Content_Types].xml", true), "docx"},
        {"word package",
         zipMember("[Content_Types].xml", true) + zipMember("word/document.xml", true), "docx"},
        {"spreadsheet package",
         zipMember("[Content_Types].xml", true) + zipMember("xl/workbook.xml", true), "xlsx"},
        {"presentation package",
         zipMember("_rels/.rels", true) + zipMember("ppt/slides/slide1.xml", true), "pptx"},
        {"swf", "CWS" + hex("06") + filler(40), "swf"},
        {"rm", ".RMF" + filler(40), "rm"},
        {"wma", hex("3026b2758e66cf11") + filler(40), "wma"},
        {"mp3 with ID3", "ID3" + hex("03") + filler(40), "mp3"},
        {"png", hex("89504e470d0a1a0a") + filler(40), "png"},
        {"gif", "GIF89a" + hex("04") + filler(40), "gif"},
        {"jpg exif", hex("ffd8ffe1") + "xxExifxx" + hex("4d4d002a") + filler(40), "jpg"},
        {"jpg jfif", hex("ffd8ffe000104a464946") + filler(40), "jpg"},
        {"doc", compound(1024, 512, hex("eca5c100")), "doc"},
        {"xls", compound(1024, 512, hex("09081000")), "xls"},
        {"ppt", compound(1024, 512, hex("000000f0")), "ppt"},
        {"compound of another kind", compound(1024, -1), ""},
        {"compound shorter than 515 bytes", compound(514, -1), ""},
        {"2-byte file", "MZ", ""},
        {"short file ends the decision before the content tests", "<html><title>", ""},
        {"web page", html, "htm"},
        {"web page in capitals", "<HTML><HEAD><TITLE>X</TITLE></HEAD></HTML>", "htm"},
        {"html without head, title or body", "<html lang=en><p>text</p></html>", ""},
        {"head without html", "<head><title>x</title></head>" + filler(20), ""},
        {"empty file", "", ""},
    };
    for (const Case &c : cases) {
        const QString path = write(u"f.bin"_s, c.bytes);
        EXPECT_EQ(打开文件判断文件类型(path), QString::fromLatin1(c.type)) << c.label;
    }
    EXPECT_EQ(打开文件判断文件类型(folder() + u"missing.pdf"), QString());
    EXPECT_EQ(打开文件判断文件类型(dir.path()), QString()) << "a folder is no file";
    EXPECT_EQ(打开文件判断文件类型(QString()), QString());
}

TEST_F(FileTypeTest, TrailingTagAndSizeLimitsOfTheTextTests)
{
    // No ID3 header, but a 128-byte TAG block at the end.
    const QByteArray tag = "TAG" + QByteArray(125, ' ');
    EXPECT_EQ(打开文件判断文件类型(write(u"a"_s, filler(5000) + tag)), u"mp3"_s);
    EXPECT_EQ(打开文件判断文件类型(write(u"a"_s, filler(5000) + tag + "x")), QString());

    // A page is only looked for in files under 200 KB.
    const QByteArray page = "<html><head><title>t</title></head>";
    EXPECT_EQ(打开文件判断文件类型(write(u"p"_s, page + filler(204799 - page.size()))), u"htm"_s);
    EXPECT_EQ(打开文件判断文件类型(write(u"p"_s, page + filler(204800 - page.size()))), QString());

    // The caa test reads whole files under 3 KB and needs every key.
    QByteArray caa =
        "[TARGET]\r\nDOCTYPE=1\r\nA1=1\r\nA2=2\r\nB1=3\r\nB2=4\r\nC1=5\r\nC2=6\r\nD1=7\r\n";
    EXPECT_EQ(打开文件判断文件类型(write(u"c"_s, caa)), QString());
    caa += "d2=8\r\n";
    EXPECT_EQ(打开文件判断文件类型(write(u"c"_s, caa)), u"caa"_s);
    EXPECT_EQ(打开文件判断文件类型(write(u"c"_s, caa + filler(3072 - caa.size()))), QString());
}

TEST_F(FileTypeTest, PageTextIsReadInTheSystemCodePage)
{
    // In GBK the byte 81 takes the following "h" as its second byte, so "html>" is not there;
    // read as UTF-8 the 81 is a stray byte and "html>" is.
    const QByteArray bytes = "<title>t</title>" + hex("81") + "html>" + filler(20);
    const QString path = write(u"g"_s, bytes);
    setSystemCodePageForTesting("GBK");
    EXPECT_EQ(打开文件判断文件类型(path), QString());
    setSystemCodePageForTesting("UTF-8");
    EXPECT_EQ(打开文件判断文件类型(path), u"htm"_s);
}

TEST_F(FileTypeTest, CorrectRowFileTypeRenamesFileAndRow)
{
    DownloadQueue q;
    QueueRow r;
    r.SaveFolder = folder();

    r.Urls = u"u1"_s;
    r.Name = u"a"_s;
    r.Type = u"htm"_s;
    q.append(r);
    write(u"a.htm"_s, "%PDF-1.7\n" + filler(100));
    r.Urls = u"u2"_s;
    r.Name = u"b"_s;
    r.Type = u"htm"_s; // a.pdf-like clash below
    q.append(r);
    write(u"b.htm"_s, "%PDF-1.7\n" + filler(100));
    write(u"b.pdf"_s, "older");
    r.Urls = u"u3"_s;
    r.Name = u"login"_s;
    r.Type = u"pdf"_s;
    q.append(r);
    write(u"login.pdf"_s, "<html ><head><title>登录</title></head><body></body></html>");
    r.Urls = u"u4"_s;
    r.Name = u"same"_s;
    r.Type = u"PDF"_s;
    q.append(r);
    write(u"same.PDF"_s, "%PDF-1.7\n" + filler(100));
    r.Urls = u"u5"_s;
    r.Name = u"gone"_s;
    r.Type = u"pdf"_s;
    q.append(r);
    r.Urls = u"u6"_s;
    r.Name = u"unknown"_s;
    r.Type = u"pdf"_s;
    q.append(r);
    write(u"unknown.pdf"_s, filler(100));

    EXPECT_TRUE(CorrectRowFileType(q, 1));
    EXPECT_EQ(q.row(1).Type, u"pdf"_s);
    EXPECT_EQ(q.row(1).Name, u"a"_s);
    EXPECT_TRUE(QFile::exists(folder() + u"a.pdf"));
    EXPECT_FALSE(QFile::exists(folder() + u"a.htm"));

    // The name is taken: the file gets a numbered name and the row follows it.
    EXPECT_TRUE(CorrectRowFileType(q, 2));
    EXPECT_EQ(q.row(2).Type, u"pdf"_s);
    EXPECT_NE(q.row(2).Name, u"b"_s);
    EXPECT_TRUE(q.row(2).Name.startsWith(u"b["));
    EXPECT_EQ(read(q.row(2).Name + u".pdf"), "%PDF-1.7\n" + filler(100));
    EXPECT_EQ(read(u"b.pdf"_s), "older");

    EXPECT_TRUE(CorrectRowFileType(q, 3));
    EXPECT_EQ(RowFilePath(q.row(3)), folder() + u"login.htm");

    for (int p : {4, 5, 6})
        EXPECT_FALSE(CorrectRowFileType(q, p)) << p;
    EXPECT_EQ(q.row(4).Type, u"PDF"_s);
    EXPECT_TRUE(QFile::exists(folder() + u"unknown.pdf"));
}

TEST_F(FileTypeTest, AddBaseLinkRewritesOnlyPagesThatAskForIt)
{
    QueueRow r;
    r.Urls = u"http://site.example/a/b.html|http://mirror.example/b.html"_s;
    r.SaveFolder = folder();
    r.Name = u"page"_s;
    r.Type = u"HTML"_s;
    r.BaseFlag = u"Y"_s;
    write(u"page.html"_s, "<html><head><title>t</title></head><body>页</body></html>");
    EXPECT_TRUE(AddBaseLink(r));
    EXPECT_EQ(QString::fromUtf8(read(u"page.html"_s)),
              u"<html><head><title>t</title><Base href='http://site.example/a/b.html'></head>"
              "<body>页</body></html>"_s);

    // A page in GBK on a UTF-8 system keeps its bytes; only the tag goes in.
    setSystemCodePageForTesting("UTF-8");
    const QByteArray gbk = hex("b5c7c2bc"); // 登录 in GBK, invalid as UTF-8
    write(u"page.html"_s,
          "<HTML><HEAD><TITLE>" + gbk + "</TITLE></HEAD><BODY>" + gbk + "</BODY></HTML>");
    r.Urls = u"http://site.example/it's.html"_s;
    EXPECT_TRUE(AddBaseLink(r));
    EXPECT_EQ(read(u"page.html"_s), "<HTML><HEAD><TITLE>" + gbk
                                        + "</TITLE><Base href='http://site.example/it%27s.html'>"
                                          "</HEAD><BODY>"
                                        + gbk + "</BODY></HTML>");

    write(u"nohead.html"_s, "<p>no head</p>");
    r.Name = u"nohead"_s;
    EXPECT_FALSE(AddBaseLink(r));
    EXPECT_EQ(read(u"nohead.html"_s), "<p>no head</p>");

    // A link at the page's name (the page swapped for it) is not written through.
    QTemporaryDir outside;
    const QString victim = outside.filePath(u"victim.html"_s);
    const QByteArray theirs = "<html><head><title>theirs</title></head></html>";
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(theirs);
    }
    ASSERT_TRUE(QFile::link(victim, folder() + u"linked.html"_s));
    r.Name = u"linked"_s;
    EXPECT_FALSE(AddBaseLink(r));
    QFile v(victim);
    ASSERT_TRUE(v.open(QIODevice::ReadOnly));
    EXPECT_EQ(v.readAll(), theirs);
    EXPECT_EQ(QFileInfo(folder() + u"linked.html"_s).symLinkTarget(), victim);

    r.Name = u"page"_s;
    r.BaseFlag.clear();
    EXPECT_FALSE(AddBaseLink(r));
    r.BaseFlag = u"Y"_s;
    r.Type = u"pdf"_s;
    EXPECT_FALSE(AddBaseLink(r));
}

TEST_F(FileTypeTest, ToolsCommands)
{
    test::RecordingPrompts prompts;
    prompts.fileAnswers = {write(u"x.bin"_s, "%PDF-1.5" + filler(20)),
                           write(u"y.bin"_s, filler(40)), QString()};
    打开文件判断类型(prompts);
    打开文件判断类型(prompts);
    打开文件判断类型(prompts); // cancelled
    EXPECT_EQ(prompts.messages(),
              (QStringList{u"打开文件判断类型"_s, u"文件类型为：pdf"_s, u"打开文件判断类型"_s,
                           u"目前还无法判断。"_s, u"打开文件判断类型"_s}));
    EXPECT_EQ(prompts.shown[1].icon, Prompts::Icon::Information);

    DownloadQueue q;
    prompts.shown.clear();
    EXPECT_EQ(检查并纠正磁盘文件类型(q, prompts, false), 0);
    EXPECT_TRUE(prompts.shown.isEmpty()) << "an empty queue shows nothing";

    QueueRow r;
    r.SaveFolder = folder();
    r.Type = u"pdf"_s;
    for (const char16_t *name : {u"p1", u"p2", u"ok", u"missing"}) {
        r.Urls = r.Name = QString::fromUtf16(name);
        q.append(r);
    }
    write(u"p1.pdf"_s, "<html><head></head></html>" + filler(20));
    write(u"p2.pdf"_s, "<html><body></body></html>" + filler(20));
    write(u"ok.pdf"_s, "%PDF-1.5" + filler(20));
    q.setState(1, QueueRow::Failed);

    EXPECT_EQ(检查并纠正磁盘文件类型(q, prompts, true), 0);
    EXPECT_EQ(prompts.last(), u"停止下载以后，才能执行此操作！"_s);
    EXPECT_TRUE(QFile::exists(folder() + u"p1.pdf"));

    EXPECT_EQ(检查并纠正磁盘文件类型(q, prompts, false), 2);
    EXPECT_EQ(prompts.last(), u"纠正文件类型：2个."_s);
    EXPECT_EQ(q.row(2).Type, u"htm"_s);

    QFile::remove(folder() + u"ok.pdf");
    检查文件是否存在(q);
    EXPECT_EQ(q.row(3).Percent, u"不存在"_s);
    EXPECT_EQ(q.row(4).Percent, u"不存在"_s);
    EXPECT_EQ(q.row(1).Percent, QString());
    EXPECT_EQ(q.row(1).State, QueueRow::Failed);
    EXPECT_EQ(q.row(3).State, QueueRow::Waiting);
}
