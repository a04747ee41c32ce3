// labels: unit
#include "foundation/prompts.h"
#include "foundation/shell.h"
#include "support/openerlog.h"
#include "support/recordingprompts.h"
#include "support/tempsettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

using test::OpenerLog;

// Keeps the folder the browser was started in as well.
struct FolderPrompts : test::RecordingPrompts
{
    QStringList startFolders;
    QString browseFolder(const QString &title, const QString &start) override
    {
        startFolders << start;
        return RecordingPrompts::browseFolder(title, start);
    }
};

} // namespace

TEST(Shell, OpenDocumentReportsAMissingFileAndOpensNothing)
{
    OpenerLog log;
    test::RecordingPrompts prompts;
    OpenDocument(QDir::tempPath() + u"/no-such-file-here.pdf"_s, prompts);
    OpenDocument(QDir::tempPath(), prompts); // a folder is no document
    ASSERT_EQ(prompts.shown.size(), 2);
    EXPECT_EQ(prompts.shown[0].text, u"文件不存在！"_s);
    EXPECT_EQ(prompts.shown[0].icon, Prompts::Icon::Error);
    EXPECT_TRUE(log.desktop.isEmpty());
    EXPECT_TRUE(log.fallback.isEmpty());
}

TEST(Shell, OpenDocumentTriesTheSecondWayOnlyWhenTheFirstFails)
{
    QTemporaryDir dir;
    const QString path = dir.path() + u"/论文 1.pdf"_s;
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    OpenerLog log;
    test::RecordingPrompts prompts;
    OpenDocument(path, prompts);
    ASSERT_EQ(log.desktop.size(), 1);
    EXPECT_EQ(log.desktop[0].toLocalFile(), path);
    EXPECT_TRUE(log.fallback.isEmpty());

    log.desktopSucceeds = false;
    OpenDocument(path, prompts);
    EXPECT_EQ(log.fallback, QStringList{path});
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST(Shell, OpenWebPageFallsBackWithTheFullAddress)
{
    OpenerLog log;
    log.desktopSucceeds = false;
    OpenWebPage(u"ci.nii.ac.jp/search?q=知识"_s, true);
    ASSERT_EQ(log.desktop.size(), 1);
    EXPECT_EQ(log.desktop[0].scheme(), u"http"_s);
    ASSERT_EQ(log.fallback.size(), 1);
    EXPECT_TRUE(log.fallback[0].startsWith(u"http://ci.nii.ac.jp/search?q=%E7%9F%A5"_s));
}

TEST(Shell, BrowseForFolderPreselectsTheParentAndKeepsTheStartOnCancel)
{
    QTemporaryDir dir;
    const QString root = dir.path() + u'/';
    ASSERT_TRUE(QDir().mkpath(root + u"papers/sub"_s));
    struct Case
    {
        QString start;
        QString answer; // empty: cancelled
        QString preselected;
        QString result;
    };
    const Case cases[] = {
        {root + u"papers/"_s, {}, root, root + u"papers/"_s},
        {root + u"papers/sub"_s, {}, root + u"papers/"_s, root + u"papers/sub/"_s},
        {root + u"papers/"_s, root + u"papers/sub"_s, root, root + u"papers/sub/"_s},
        {root + u"gone/deeper/"_s, {}, QDir::rootPath(), root + u"gone/deeper/"_s},
        {u"   "_s, u"/tmp/"_s, QDir::rootPath(), u"/tmp/"_s},
        {u""_s, {}, QDir::rootPath(), u""_s},
        {u"relative"_s, {}, QDir::rootPath(), u"relative/"_s},
    };
    for (const Case &c : cases) {
        FolderPrompts prompts;
        prompts.folderAnswers.push_back(c.answer);
        EXPECT_EQ(BrowseForFolder(prompts, c.start, u"选择文件夹"_s), c.result)
            << c.start.toStdString();
        ASSERT_EQ(prompts.startFolders.size(), 1);
        EXPECT_EQ(prompts.startFolders[0], c.preselected) << c.start.toStdString();
        EXPECT_EQ(prompts.last(), u"选择文件夹"_s);
    }
}

TEST(Shell, MailSuggestionCarriesSubjectAndFormKeepingSpaces)
{
    const QDate date(2026, 12, 10);
    const QUrl url = MailSuggestionUrl(date);
    EXPECT_EQ(url.scheme(), u"mailto"_s);
    EXPECT_EQ(url.path(), MakerContactAddress.toString());
    const QUrlQuery query(url);
    EXPECT_EQ(query.queryItemValue(u"subject"_s, QUrl::FullyDecoded),
              u"我要对[澄川文献管家]提建议"_s);
    const QString body = query.queryItemValue(u"body"_s, QUrl::FullyDecoded);
    EXPECT_TRUE(
        body.startsWith(u"软件名称：澄川文献管家 姓名：           Email：            联系地址："_s))
        << body.toStdString();
    EXPECT_TRUE(
        body.endsWith(u" 日期："_s + QLocale::system().toString(date, QLocale::ShortFormat)));
    // Spaces are encoded as %20: a "+" would show up in the mail as a plus sign.
    EXPECT_FALSE(url.toEncoded().contains('+'));
}

TEST(Shell, SoundFileIsWrittenOnceFromTheResources)
{
    test::TempSettings temp;
    const QString path = NotificationSoundFile(101);
    ASSERT_EQ(path, temp.dataFolder() + u"101.wav"_s);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(12);
    EXPECT_TRUE(head.startsWith("RIFF") && head.endsWith("WAVE"));
    f.close();

    // A second call uses the file that is there.
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("mine");
    f.close();
    EXPECT_EQ(NotificationSoundFile(101), path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("mine"));

    EXPECT_FALSE(NotificationSoundFile(102).isEmpty());
    EXPECT_FALSE(NotificationSoundFile(103).isEmpty());
    EXPECT_TRUE(NotificationSoundFile(104).isEmpty()); // no such clip
    EXPECT_FALSE(QFile::exists(temp.dataFolder() + u"104.wav"_s));
}

TEST(Shell, ControlExistsWhileTheControlLives)
{
    QObject parent;
    auto *child = new QObject(&parent);
    child->setObjectName(u"Downloader1"_s);
    QPointer<QObject> ref(child);
    EXPECT_TRUE(ControlExists(ref));
    EXPECT_TRUE(ControlExists(&parent, u"Downloader1"_s));
    delete child;
    EXPECT_FALSE(ControlExists(ref));
    EXPECT_FALSE(ControlExists(&parent, u"Downloader1"_s));
    EXPECT_FALSE(ControlExists(nullptr, u"Downloader1"_s));
}
