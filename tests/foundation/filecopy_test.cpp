// labels: unit faults
#include "foundation/filecopy.h"
#include "support/qtprinters.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// Only the files a test made itself: no temporary file may be left beside them.
QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

TEST(FileCopy, CopiesInPiecesKeepingTimeAndPermissions)
{
    QTemporaryDir dir;
    const QByteArray body = QByteArray(3 * 1000 + 7, 'a') + "end";
    const QString source = writeFile(dir.filePath(u"src.pdf"_s), body);
    const QDateTime stamp = QDateTime::fromSecsSinceEpoch(1500000000);
    {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(stamp, QFileDevice::FileModificationTime));
        ASSERT_TRUE(f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                     | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    }
    const QString target = dir.filePath(u"copy.pdf"_s);
    FileCopy copy(source, target, FileCopy::Target::New);
    ASSERT_TRUE(copy.open());
    int pieces = 0;
    while (copy.copyPiece(1000)) {
        ++pieces;
        EXPECT_FALSE(QFileInfo::exists(target)) << "a half copy under the target's name";
    }
    EXPECT_EQ(pieces, 3);
    ASSERT_TRUE(copy.commit());
    EXPECT_EQ(readFile(target), body);
    EXPECT_EQ(QFileInfo(target).lastModified(), stamp);
    EXPECT_EQ(QFileInfo(target).permissions(), QFileInfo(source).permissions());
    EXPECT_EQ(entries(dir.path()), QStringList({u"copy.pdf"_s, u"src.pdf"_s}));
}

TEST(FileCopy, ReplaceSwapsInOneStepNewNeverReplaces)
{
    QTemporaryDir dir;
    const QString source = writeFile(dir.filePath(u"a"_s), "new body");
    const QString target = writeFile(dir.filePath(u"b"_s), "old");

    EXPECT_FALSE(CopyFileWhole(source, target, FileCopy::Target::New));
    EXPECT_EQ(readFile(target), "old");
    EXPECT_TRUE(CopyFileWhole(source, target, FileCopy::Target::Replace));
    EXPECT_EQ(readFile(target), "new body");

    // A copy dropped half way, a missing source and a missing folder leave everything as it was.
    writeFile(target, "old");
    FileCopy dropped(source, target, FileCopy::Target::Replace);
    ASSERT_TRUE(dropped.open());
    dropped.copyPiece(3);
    dropped.cancel();
    EXPECT_FALSE(CopyFileWhole(dir.filePath(u"gone"_s), target, FileCopy::Target::Replace));
    EXPECT_FALSE(CopyFileWhole(source, dir.filePath(u"no/such/folder/c"_s), FileCopy::Target::New));
    EXPECT_FALSE(CopyFileWhole(dir.path(), target, FileCopy::Target::Replace)); // a folder
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(entries(dir.path()), QStringList({u"a"_s, u"b"_s}));
}

TEST(FileCopy, ASourceThatChangesWhileCopiedIsNotPutInPlace)
{
    QTemporaryDir dir;
    const QString source = writeFile(dir.filePath(u"grows"_s), QByteArray(4000, 'x'));
    const QString target = dir.filePath(u"t"_s);
    FileCopy copy(source, target, FileCopy::Target::New);
    ASSERT_TRUE(copy.open());
    copy.copyPiece(1000);
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)); // shrinks to nothing
    f.close();
    while (copy.copyPiece(1000)) {}
    EXPECT_FALSE(copy.commit());
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(entries(dir.path()), QStringList({u"grows"_s}));
}

// A link planted at the target's name, dangling or not, is neither written through nor replaced:
// a new copy finds the name taken, a replacing one refuses to replace anything but a file.
TEST(FileCopy, ALinkAtTheTargetIsNeverWrittenThrough)
{
    struct Case
    {
        const char *what;
        bool outsideExists;
        FileCopy::Target mode;
    };
    const Case cases[] = {
        {"dangling link, new", false, FileCopy::Target::New},
        {"dangling link, replace", false, FileCopy::Target::Replace},
        {"link to a file, new", true, FileCopy::Target::New},
        {"link to a file, replace", true, FileCopy::Target::Replace},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir, outside;
        const QString victim = outside.filePath(u"victim.txt"_s);
        if (c.outsideExists)
            writeFile(victim, "the user's own");
        const QString source = writeFile(dir.filePath(u"src.pdf"_s), "copied bytes");
        const QString target = dir.filePath(u"copy.pdf"_s);
        ASSERT_TRUE(QFile::link(victim, target));

        EXPECT_FALSE(CopyFileWhole(source, target, c.mode));
        EXPECT_EQ(readFile(victim),
                  c.outsideExists ? QByteArray("the user's own") : QByteArray("<missing>"));
        EXPECT_EQ(QFileInfo(target).symLinkTarget(), victim) << "the link stays as it was";
        EXPECT_EQ(entries(outside.path()),
                  c.outsideExists ? QStringList{u"victim.txt"_s} : QStringList());
        EXPECT_EQ(entries(dir.path()), QStringList({u"copy.pdf"_s, u"src.pdf"_s}));
    }
}
