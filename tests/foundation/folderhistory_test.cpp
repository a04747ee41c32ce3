// labels: unit faults
#include "foundation/codepage.h"
#include "foundation/folderhistory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

class FolderHistory : public ::testing::Test
{
protected:
    void TearDown() override { setSystemCodePageForTesting({}); }

    QString path() const { return dir.path() + u"/SaveList.dat"_s; }
    void writeBytes(const QByteArray &bytes) const
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readBytes() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(FolderHistory, MissingFileIsNotAnEmptyHistory)
{
    EXPECT_FALSE(ReadFolderHistory(path()).has_value());
    ASSERT_TRUE(QDir().mkdir(path())); // a folder in the file's place
    EXPECT_FALSE(ReadFolderHistory(path()).has_value());
}

TEST_F(FolderHistory, TrimsSkipsBlanksAndDropsDuplicatesIgnoringCase)
{
    writeBytes("  D:\\A\\  \r\n\r\n   \r\nd:\\a\\\r\nE:\\B\r\nlast-without-newline");
    EXPECT_EQ(ReadFolderHistory(path()).value(),
              (QStringList{u"D:\\A\\"_s, u"E:\\B"_s, u"last-without-newline"_s}));
}

TEST_F(FolderHistory, BareCrEndsALineAndNulsAreNoPartOfAFolder)
{
    static const char bytes[] = "\0\r\n/a\rb\r\n\0 \0\n/c\0d\r\r\n/e\n";
    writeBytes(QByteArray(bytes, sizeof bytes - 1));
    EXPECT_EQ(ReadFolderHistory(path()).value(), (QStringList{u"/a"_s, u"b"_s, u"/cd"_s, u"/e"_s}));
}

TEST_F(FolderHistory, ByteOrderMarksAreNoPartOfAFolderAndASaveReadsBackTheSame)
{
    // A mark before the first line (as Notepad writes it) or after other white space of a line
    // would vanish or stay depending on where the line starts: it is trimmed like a space.
    writeBytes("\xEF\xBB\xBF"
               "D:/a\r\n\x0B\xEF\xBB\xBF/e\r\n/f\xEF\xBB\xBF \r\n");
    const QStringList read = ReadFolderHistory(path()).value();
    EXPECT_EQ(read, (QStringList{u"D:/a"_s, u"/e"_s, u"/f"_s}));
    ASSERT_TRUE(WriteFolderHistory(path(), read));
    EXPECT_EQ(ReadFolderHistory(path()).value(), read);
}

TEST_F(FolderHistory, KeepsTheFirstHundredNonEmptyLinesDuplicatesCounted)
{
    QByteArray bytes;
    for (int i = 1; i <= 150; ++i)
        bytes += "/f/" + QByteArray::number(i) + "\r\n\r\n";
    writeBytes(bytes);
    const QStringList read = ReadFolderHistory(path()).value();
    ASSERT_EQ(read.size(), 100);
    EXPECT_EQ(read.first(), u"/f/1"_s);
    EXPECT_EQ(read.last(), u"/f/100"_s);

    // A duplicate takes one of the hundred places even though it is dropped.
    bytes = "/dup\r\n/DUP\r\n";
    for (int i = 1; i <= 99; ++i)
        bytes += "/g/" + QByteArray::number(i) + "\r\n";
    writeBytes(bytes);
    const QStringList withDup = ReadFolderHistory(path()).value();
    EXPECT_EQ(withDup.size(), 99);
    EXPECT_EQ(withDup.last(), u"/g/98"_s);
}

TEST_F(FolderHistory, SystemCodePageAndCrLfRoundTrip)
{
    setSystemCodePageForTesting("GBK");
    const QStringList folders{u"D:/论文/"_s, u"E:/资料 2024/"_s};
    ASSERT_TRUE(WriteFolderHistory(path(), folders));
    EXPECT_EQ(readBytes(), QByteArray("D:/\xC2\xDB\xCE\xC4/\r\nE:/\xD7\xCA\xC1\xCF 2024/\r\n"));
    EXPECT_EQ(ReadFolderHistory(path()).value(), folders);
}

TEST_F(FolderHistory, EmptyListWritesOneEmptyLineAndReadsBackEmpty)
{
    ASSERT_TRUE(WriteFolderHistory(path(), {}));
    EXPECT_EQ(readBytes(), QByteArray("\r\n"));
    EXPECT_EQ(ReadFolderHistory(path()).value(), QStringList());
}

TEST_F(FolderHistory, InvalidCodePageBytesSpoilOnlyTheirOwnLine)
{
    setSystemCodePageForTesting("GBK");
    // 0x81 is a GBK lead byte: a decoder fed the whole file could take the CR with it.
    writeBytes("D:/\xC2\xDB\xCE\xC4/\r\nbroken\x81\r\nE:/ok/\r\n\xFF\xFF\r\nF:/ok/\r\n");
    const QStringList read = ReadFolderHistory(path()).value();
    ASSERT_EQ(read.size(), 5);
    EXPECT_EQ(read[0], u"D:/论文/"_s);
    EXPECT_TRUE(read[1].startsWith(u"broken"_s));
    EXPECT_EQ(read[2], u"E:/ok/"_s);
    EXPECT_EQ(read[4], u"F:/ok/"_s);
}

TEST_F(FolderHistory, VeryLongLinesAreKeptWhole)
{
    const QByteArray longLine(100000, 'x');
    writeBytes("/a\r\n" + longLine + "\r\n/b\r\n");
    const QStringList read = ReadFolderHistory(path()).value();
    ASSERT_EQ(read.size(), 3);
    EXPECT_EQ(read[1].size(), 100000);
    EXPECT_EQ(read[2], u"/b"_s);
}

TEST_F(FolderHistory, FailedWriteLeavesThePreviousFileWhole)
{
    // A name just short of the file-system limit: the file itself can exist, but no
    // replacement can be prepared beside it, so the save fails before touching the file.
    const QString longPath = dir.path() + u'/' + QString(250, u'h');
    ASSERT_TRUE(WriteFolderHistory(longPath, {u"/keep/"_s}));
    EXPECT_FALSE(WriteFolderHistory(longPath, {u"/new/"_s}));
    QFile f(longPath);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("/keep/\r\n"));
}

TEST_F(FolderHistory, UnreadableFileGivesAnEmptyHistory)
{
    writeBytes("/a\r\n");
    QFile::setPermissions(path(), QFileDevice::Permissions());
    QFile probe(path());
    if (probe.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "running with rights that ignore file permissions";
    EXPECT_EQ(ReadFolderHistory(path()).value(), QStringList());
}
