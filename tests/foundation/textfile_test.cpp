// labels: unit faults
#include "foundation/textfile.h"
#include "support/pincodepage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QByteArray bom("\xEF\xBB\xBF");

} // namespace

// Text the code page holds is written in it; anything else goes out whole, as UTF-8 behind a
// byte-order mark, never as "?".
TEST(PlainText, CodePageWhereEverythingFitsElseUtf8WithMark)
{
    const struct
    {
        const char *codePage;
        QString text;
        QByteArray expected;
    } cases[] = {
        {"GBK", u"中文-【PDF】成功\r\n"_s,
         QByteArray("\xD6\xD0\xCE\xC4-\xA1\xBEPDF\xA1\xBF\xB3\xC9\xB9\xA6\r\n")},
        {"GBK", u"ｶﾀｶﾅの題名"_s, bom + u"ｶﾀｶﾅの題名"_s.toUtf8()},
        {"GBK", u"?"_s, "?"},
        {"UTF-8", u"ｶﾀｶﾅの題名"_s, u"ｶﾀｶﾅの題名"_s.toUtf8()},
        {"UTF-8", QString(), QByteArray()},
    };
    for (const auto &c : cases) {
        test::PinCodePage pin(c.codePage);
        EXPECT_EQ(EncodePlainText(c.text), c.expected) << c.codePage << " " << c.text.toStdString();
    }
}

TEST(PlainText, ReplacesTheFileAndReportsItsSize)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"list.txt"_s);
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'x'));
    old.close();

    test::PinCodePage pin("UTF-8");
    const TextFileResult result = WritePlainTextFile(path, u"a\r\nb\r\n"_s);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.bytes, 6);
    EXPECT_EQ(readAll(path), QByteArray("a\r\nb\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"list.txt"_s});
}

// Places where no file can be: each failure says why, and nothing is left behind.
TEST(PlainText, FailuresAreReportedNotSilent)
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(u"plain-file"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString paths[] = {
        dir.filePath(u"no-such-folder/list.txt"_s),
        dir.filePath(u"plain-file/list.txt"_s), // its folder is a file
        dir.path(),                             // a folder, not a file
    };
    for (const QString &path : paths) {
        const TextFileResult result = WritePlainTextFile(path, u"text"_s);
        EXPECT_FALSE(result.ok) << path.toStdString();
        EXPECT_FALSE(result.error.isEmpty()) << path.toStdString();
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{u"plain-file"_s});
    const QString message = FileNotSavedMessage(paths[0], u"无法创建文件"_s);
    EXPECT_TRUE(message.contains(QDir::toNativeSeparators(paths[0])));
    EXPECT_TRUE(message.contains(u"无法创建文件"_s));
}

TEST(PlainText, SizeMessageInKilobytesWithOneDecimalAndThousands)
{
    const struct
    {
        qint64 bytes;
        QString text;
    } cases[] = {
        {0, u"保存文件完毕：0.0KB"_s},
        {100, u"保存文件完毕：0.1KB"_s},
        {1264128, u"保存文件完毕：1,234.5KB"_s},
        {1024LL * 1024 * 1024, u"保存文件完毕：1,048,576.0KB"_s},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SavedFileMessage(c.bytes), c.text) << c.bytes;
}
