// labels: unit
#include "foundation/filenames.h"
#include "foundation/fileutil.h"
#include "support/recordingprompts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString nameError = u"文件夹名称有误！不能创建文件夹！"_s;

class FileRules : public ::testing::Test
{
protected:
    QTemporaryDir tmp;
    QString root; // ends in "/"

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        root = tmp.path() + u'/';
    }

    QString touch(const QString &relative, const QByteArray &content = "x")
    {
        const QString path = root + relative;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << qPrintable(path);
        f.write(content);
        return path;
    }
    QString mkdir(const QString &relative)
    {
        EXPECT_TRUE(QDir().mkpath(root + relative));
        return root + relative;
    }
    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

// Runs in a scratch folder, so that relative and drive paths land there.
struct ChangeDir
{
    QString before = QDir::currentPath();
    explicit ChangeDir(const QString &to) { QDir::setCurrent(to); }
    ~ChangeDir() { QDir::setCurrent(before); }
};

} // namespace

TEST_F(FileRules, FileExistsAndFolderExistsTellFilesFromFolders)
{
    const QString file = touch(u"a.pdf"_s);
    const QString hidden = touch(u".hidden"_s);
    const QString readOnly = touch(u"ro.pdf"_s);
    QFile::setPermissions(readOnly, QFile::ReadOwner);
    const QString folder = mkdir(u"dir"_s);
    QFile::link(root + u"missing"_s, root + u"dangling"_s);
    QFile::link(folder, root + u"dirlink"_s);

    struct Case
    {
        QString path;
        bool file, folder;
    };
    const Case cases[] = {
        {file, true, false},
        {hidden, true, false},
        {readOnly, true, false},
        {folder, false, true},
        {folder + u'/', false, true},
        {root + u"dirlink"_s, false, true},
        {root + u"dangling"_s, false, false},
        {root + u"missing"_s, false, false},
        {file + u'/', false, false},
        {QString(), false, false},
        {file + QChar(0) + u"x"_s, false, false},
        {root + QString(300, u'n'), false, false}, // too long a name is an error, not a crash
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FileExists(c.path), c.file) << qPrintable(c.path);
        EXPECT_EQ(FolderExists(c.path), c.folder) << qPrintable(c.path);
    }
}

TEST_F(FileRules, UniqueFilePathNumbersTakenNames)
{
    touch(u"a.pdf"_s);
    touch(u"a[0001].pdf"_s);
    touch(u"b[0003].pdf"_s);
    touch(u"[0001].pdf"_s);
    touch(u"[0002]"_s);
    touch(u"noext"_s);
    mkdir(u"folder.pdf"_s);
    touch(u"c.pdf"_s);
    mkdir(u"c[0001].pdf"_s); // a folder takes a numbered name as surely as a file
    touch(u"..."_s);         // its base is "..": never the parent folder
    const QString long120 = QString(120, u'L');
    touch(long120 + u".txt"_s);

    const std::pair<QString, QString> cases[] = {
        {u"a.pdf"_s, u"a[0002].pdf"_s},
        {u"b[0003].pdf"_s, u"b.pdf"_s},   // the counter goes, the bare name is free
        {u"[0001].pdf"_s, u".pdf"_s},     // a name of its extension alone
        {u"[0002]"_s, u"[0002][0001]"_s}, // never the folder itself
        {u"noext"_s, u"noext[0001]"_s},
        {u"free.pdf"_s, u"free.pdf"_s},
        {u"folder.pdf"_s, u"folder[0001].pdf"_s}, // a folder's path is no free file path
        {u"c.pdf"_s, u"c[0002].pdf"_s},
        {u"..."_s, u"..[0001]"_s},
        {long120 + u".txt"_s, long120.left(100) + u".txt"_s},
    };
    for (const auto &[given, expected] : cases)
        EXPECT_EQ(UniqueFilePath(root + given), root + expected) << qPrintable(given);
    EXPECT_EQ(UniqueFilePath(QString()), QString());
}

TEST_F(FileRules, UniqueFilePathStaysCreatableForLongNames)
{
    const QString base = QString(83, u'字'); // 249 bytes: with ".pdf" just under the limit
    touch(base + u".pdf"_s);
    const QString unique = UniqueFilePath(root + base + u".pdf"_s);
    EXPECT_EQ(unique, root + base.left(81) + u"[0001].pdf"_s); // 243 + 10 bytes
    QFile f(unique);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << qPrintable(unique);
}

TEST_F(FileRules, CreateFolderPathCreatesLevelByLevel)
{
    mkdir(u".hidden"_s);
    touch(u"afile"_s);
    const QString longLevel = QString(300, u'长');

    struct Case
    {
        QString given, expected; // relative to root; expected empty: refused
        bool message;
    };
    const Case cases[] = {
        {u"a?b/c/"_s, u"a?b"_s.remove(u'?') + u"/c"_s, false},
        {u"d\\e\\"_s, u"d/e"_s, false},
        {u"f//g"_s, u"f"_s, false},              // an empty level ends the walk
        {u".hidden/x"_s, u".hidden/x"_s, false}, // an existing level stays as it is
        {u".new/x"_s, u"new/x"_s, false},        // a new one is cleaned
        {u"../escape"_s, QString(), true},
        {u"h/./i"_s, QString(), true},
        {u"***/j"_s, QString(), true},
        {u"afile/k"_s, QString(), false}, // a file stands in the way
        {longLevel, CleanFileName(longLevel), false},
    };
    for (const Case &c : cases) {
        test::RecordingPrompts prompts;
        const QString made = CreateFolderPath(root + c.given, prompts);
        if (c.expected.isEmpty()) {
            EXPECT_EQ(made, QString()) << qPrintable(c.given);
        } else {
            EXPECT_EQ(made, root + c.expected) << qPrintable(c.given);
            EXPECT_TRUE(FolderExists(made)) << qPrintable(c.given);
        }
        EXPECT_EQ(prompts.messages(), c.message ? QStringList{nameError} : QStringList())
            << qPrintable(c.given);
        if (!prompts.shown.isEmpty()) {
            EXPECT_EQ(prompts.shown.first().icon, Prompts::Icon::Error);
        }
    }
    EXPECT_FALSE(QFileInfo::exists(root + u"../escape"_s));
    EXPECT_FALSE(QFileInfo::exists(root + u"h/i"_s));
}

TEST_F(FileRules, CreateFolderPathHandlesRootDriveNetworkAndRelativePaths)
{
    ChangeDir cd(root);
    mkdir(u"C:"_s);
    test::RecordingPrompts prompts;

    EXPECT_EQ(CreateFolderPath(u"C:\\a?b\\c\\"_s, prompts), u"C:/ab/c"_s);
    EXPECT_TRUE(FolderExists(root + u"C:/ab/c"_s));

    // "//tmp/..." is a network path to the server "tmp"; on Linux it reaches the same folder.
    const QString network = u'/' + root + u"net/x"_s;
    EXPECT_EQ(CreateFolderPath(network, prompts), network);
    EXPECT_TRUE(FolderExists(root + u"net/x"_s));

    EXPECT_EQ(CreateFolderPath(u"/"_s, prompts), u"/"_s);
    EXPECT_EQ(CreateFolderPath(u"rel/x"_s, prompts), QString());
    EXPECT_FALSE(QFileInfo::exists(root + u"rel"_s));
    EXPECT_EQ(CreateFolderPath(QString(), prompts), QString());
    EXPECT_TRUE(prompts.shown.isEmpty());

    EXPECT_EQ(CreateFolderPath(u"\\\\\\share"_s, prompts), QString()); // no server name
    EXPECT_EQ(CreateFolderPath(u"//../share"_s, prompts), QString());
    EXPECT_EQ(prompts.messages(), (QStringList{nameError, nameError}));
}

TEST_F(FileRules, CopyWithAutomaticRenameNeverOverwrites)
{
    const QString src = mkdir(u"src"_s) + u'/';
    const QString dst = mkdir(u"dst"_s) + u'/';
    touch(u"src/x[004].pdf"_s, "new");
    touch(u"dst/x.pdf"_s, "old0");
    touch(u"dst/x[001].pdf"_s, "old1");

    EXPECT_TRUE(复制相同文件自动重命名(src + u"x[004].pdf"_s, dst));
    EXPECT_EQ(read(dst + u"x[002].pdf"_s), "new");
    EXPECT_EQ(read(dst + u"x.pdf"_s), "old0");
    EXPECT_EQ(read(dst + u"x[001].pdf"_s), "old1");

    // into a free name, and a folder without its final "/"
    EXPECT_TRUE(复制相同文件自动重命名(src + u"x[004].pdf"_s, root + u"src"_s));
    EXPECT_EQ(read(src + u"x.pdf"_s), "new");

    // without extension: no trailing dot; a folder in the way is taken too
    touch(u"src/notes"_s, "n");
    mkdir(u"dst/notes"_s);
    EXPECT_TRUE(复制相同文件自动重命名(src + u"notes"_s, dst));
    EXPECT_EQ(read(dst + u"notes[001]"_s), "n");

    touch(u"src/.hidden.pdf"_s);
    const std::pair<QString, QString> refused[] = {
        {src + u"missing.pdf"_s, dst}, {root + u"src"_s, dst},
        {src + u".hidden.pdf"_s, dst}, {src + u"x.pdf"_s, root + u"nowhere/"_s},
        {src + u"x.pdf"_s, QString()}, {QString(), dst},
    };
    for (const auto &[source, folder] : refused)
        EXPECT_FALSE(复制相同文件自动重命名(source, folder)) << qPrintable(source);
}

TEST_F(FileRules, CopyWithAutomaticRenameKeepsLongNamesCreatable)
{
    const QString name = QString(83, u'字') + u".pdf"_s; // 253 bytes
    touch(name, "a");
    mkdir(u"dst"_s);
    touch(u"dst/"_s + name, "b");
    EXPECT_TRUE(复制相同文件自动重命名(root + name, root + u"dst/"_s));
    const QStringList copies = QDir(root + u"dst"_s).entryList(QDir::Files);
    ASSERT_EQ(copies.size(), 2);
    EXPECT_TRUE(copies.contains(QString(82, u'字') + u"[001].pdf"_s))
        << qPrintable(copies.join(u' '));
}

TEST_F(FileRules, OddPathsAreAnsweredNotCrashedOn)
{
    const QString odd[] = {
        QString(100000, u'x'),
        QString(100000, u'?'),
        u"\\/:*?\"<>|"_s,
        QString(3, QChar(0)),
        u"...."_s,
    };
    for (const QString &part : odd) {
        test::RecordingPrompts prompts;
        const QString made = CreateFolderPath(root + part, prompts);
        if (!made.isEmpty()) {
            EXPECT_TRUE(FolderExists(made));
            EXPECT_TRUE(made.startsWith(tmp.path()));
        } else {
            EXPECT_EQ(prompts.messages(), QStringList{nameError});
        }
        EXPECT_EQ(UniqueFilePath(root + part), root + part);
        EXPECT_FALSE(复制相同文件自动重命名(root + part, root));
    }
    EXPECT_EQ(QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1); // the x... one
}
