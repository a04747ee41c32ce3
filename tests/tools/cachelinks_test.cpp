// labels: unit faults
// The cache folders of other accounts as an attacker sets them up: links planted on the way to
// a cache, a folder or a file swapped for a link between the listing and the deleting. Whatever
// the viewer and the clearing delete, every file outside the cache folders stays as it was.
#include "foundation/prompts.h"
#include "support/qtprinters.h"
#include "support/recordingprompts.h"
#include "support/simplecachefiles.h"
#include "support/testfiles.h"
#include "tools/cacheviewer.h"
#include "tools/guardedfolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

#if defined(Q_OS_UNIX)
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString Sub = u"/.cache/澄川文献管家/QtWebEngine/Papyrant"_s;

void link(const QString &target, const QString &at)
{
    QDir().mkpath(QFileInfo(at).absolutePath());
    ASSERT_TRUE(QFile::link(target, at)) << qPrintable(at);
}

// Puts a link to `target` where the folder `folder` was; the folder itself is kept aside.
void swapForLink(const QString &folder, const QString &target)
{
    ASSERT_TRUE(QDir().rename(folder, folder + u".aside"_s)) << qPrintable(folder);
    link(target, folder);
}

// Two accounts: alice runs the program, bob is the other one. Alice's documents are what an
// attacker aims at: every file under them is remembered and must be there, unchanged, at the end.
struct Accounts
{
    QTemporaryDir dir;
    QMap<QString, QByteArray> documents;

    QString home(const QString &user) const { return dir.path() + u"/home/"_s + user; }
    QString cache(const QString &user) const { return home(user) + Sub + u'/'; }
    QString docs() const { return home(u"alice"_s) + u"/Documents/"_s; }

    Accounts()
    {
        // Named as cache files are, so that a walk through a link would take them for some.
        for (const QString &name :
             {u"thesis.docx"_s, u"Cache/Cache_Data/thesis.docx"_s, u"Cache/Cache_Data/index"_s,
              u"stash/澄川文献管家/QtWebEngine/Papyrant/Cache/notes.docx"_s}) {
            const QByteArray content = "alice's " + name.toUtf8();
            documents.insert(writeFile(docs() + name, content), content);
        }
        writeFile(cache(u"alice"_s) + u"Cache/Cache_Data/0000000000000001_0"_s,
                  simpleCacheEntryBytes("1/0/http://h/a", "a", "HTTP/1.1 200 OK\n\n"));
        writeFile(cache(u"bob"_s) + u"Cache/Cache_Data/thesis.docx"_s, "bob's junk");
        writeFile(cache(u"bob"_s) + u"Cache/Cache_Data/index"_s, "bob's index");
    }

    CacheViewerPlaces places() const
    {
        CacheViewerPlaces p;
        p.cacheFolder = cache(u"alice"_s);
        p.homeFolder = home(u"alice"_s);
        p.systemDescription = u"Debian GNU/Linux 12 (bookworm)[64位]"_s;
        const QList<UserProfile> users = {{u"alice"_s, home(u"alice"_s)},
                                          {u"bob"_s, home(u"bob"_s)}};
        p.userProfiles = [users] { return users; };
        return p;
    }

    void expectDocumentsIntact() const
    {
        for (auto it = documents.cbegin(); it != documents.cend(); ++it)
            EXPECT_EQ(readFile(it.key()), it.value()) << qPrintable(it.key());
        int files = 0;
        for (QDirIterator it(docs(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();
             it.next())
            ++files;
        EXPECT_EQ(files, documents.size());
        EXPECT_FALSE(QFileInfo(docs()).isSymLink());
    }
};

QStringList users(const CacheViewer &viewer)
{
    QStringList out;
    for (const UserProfile &user : viewer.userCacheFolders())
        out << user.name;
    return out;
}

} // namespace

TEST(CacheLinks, NothingOutsideTheCacheFoldersIsDeletedThroughALink)
{
    const struct
    {
        const char *what;
        std::function<void(Accounts &)> plant;        // before the listing
        std::function<void(Accounts &)> betweenSteps; // after the listing, before deleting
        QStringList listed;                           // the accounts whose cache is listed
    } cases[] = {
        {"another account's cache folder is a link",
         [](Accounts &a) {
             QDir(a.cache(u"bob"_s)).removeRecursively();
             link(a.docs(), a.cache(u"bob"_s).chopped(1));
         },
         {},
         {u"alice"_s}},
        {"a folder above another account's cache is a link",
         [](Accounts &a) {
             QDir(a.home(u"bob"_s) + u"/.cache"_s).removeRecursively();
             link(a.docs() + u"stash"_s, a.home(u"bob"_s) + u"/.cache"_s);
         },
         {},
         {u"alice"_s}},
        {"a folder of the cache swapped for a link after the listing",
         {},
         [](Accounts &a) {
             swapForLink(a.cache(u"bob"_s) + u"Cache/Cache_Data"_s, a.docs().chopped(1));
         },
         {u"alice"_s, u"bob"_s}},
        {"the cache folder swapped for a link after the listing",
         {},
         [](Accounts &a) { swapForLink(a.cache(u"bob"_s).chopped(1), a.docs().chopped(1)); },
         {u"alice"_s, u"bob"_s}},
        {"a file swapped for a link after the listing",
         {},
         [](Accounts &a) {
             const QString file = a.cache(u"bob"_s) + u"Cache/Cache_Data/thesis.docx"_s;
             QFile::remove(file);
             link(a.docs() + u"thesis.docx"_s, file);
         },
         {u"alice"_s, u"bob"_s}},
        {"this user's own cache folder is a link",
         [](Accounts &a) {
             QDir(a.cache(u"alice"_s)).removeRecursively();
             link(a.docs(), a.cache(u"alice"_s).chopped(1));
         },
         {},
         {u"bob"_s}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Accounts accounts;
        if (c.plant)
            c.plant(accounts);
        CacheViewer viewer(accounts.places());
        viewer.查看所有用户缓存();
        EXPECT_EQ(users(viewer), c.listed);
        for (const CacheRow &row : viewer.list().rows())
            EXPECT_FALSE(row.filePath.startsWith(accounts.docs())) << qPrintable(row.filePath);
        if (c.betweenSteps)
            c.betweenSteps(accounts);
        viewer.全部删除();
        accounts.expectDocumentsIntact();

        // The clearing of the program's end and of the menus, over the same folders.
        RecordingPrompts prompts;
        ClearBrowserCache(false, prompts, accounts.places());
        accounts.expectDocumentsIntact();
        viewer.查看我的缓存();
        viewer.全部删除();
        accounts.expectDocumentsIntact();
    }
}

TEST(CacheLinks, ClearingTouchesOnlyThisUsersOwnCache)
{
    Accounts accounts;
    RecordingPrompts prompts;
    ClearBrowserCache(false, prompts, accounts.places());
    EXPECT_EQ(readFile(accounts.cache(u"bob"_s) + u"Cache/Cache_Data/thesis.docx"_s), "bob's junk");
    EXPECT_EQ(readFile(accounts.cache(u"bob"_s) + u"Cache/Cache_Data/index"_s), "bob's index");
    EXPECT_FALSE(
        QFileInfo::exists(accounts.cache(u"alice"_s) + u"Cache/Cache_Data/0000000000000001_0"_s));
    accounts.expectDocumentsIntact();
}

TEST(CacheLinks, AFolderSwappedForALinkWhileTheDeleteIsUnderWayIsNotFollowed)
{
    Accounts accounts;
    CacheViewer viewer(accounts.places());
    viewer.查看所有用户缓存();
    ASSERT_EQ(users(viewer), QStringList({u"alice"_s, u"bob"_s}));
    // The moment the first of bob's files is about to go, its folder becomes a link.
    bool swapped = false;
    setBeforeRemoveHookForTesting([&](const QString &path) {
        if (swapped || !path.startsWith(accounts.cache(u"bob"_s)))
            return;
        swapped = true;
        swapForLink(accounts.cache(u"bob"_s) + u"Cache/Cache_Data"_s, accounts.docs().chopped(1));
    });
    viewer.全部删除();
    setBeforeRemoveHookForTesting({});
    EXPECT_TRUE(swapped);
    accounts.expectDocumentsIntact();
}

TEST(CacheLinks, AnAccountThatDoesNotOwnTheFoldersToItsCacheIsPassedOver)
{
    // The profile's account id owns none of bob's folders, as with a home the account was given
    // by someone else.
    Accounts accounts;
    CacheViewerPlaces places = accounts.places();
    const QList<UserProfile> users = {{u"alice"_s, accounts.home(u"alice"_s), CurrentUserId()},
                                      {u"bob"_s, accounts.home(u"bob"_s), CurrentUserId() + 4242}};
    places.userProfiles = [users] { return users; };
    CacheViewer viewer(places);
    viewer.查看所有用户缓存();
    EXPECT_EQ(::users(viewer), QStringList{u"alice"_s});
    viewer.全部删除();
    EXPECT_EQ(readFile(accounts.cache(u"bob"_s) + u"Cache/Cache_Data/thesis.docx"_s), "bob's junk");
}

#if defined(Q_OS_UNIX)
TEST(CacheLinks, FoldersOfOtherOwnersAreNeitherEnteredNorChanged)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: bob's folders must belong to another account (chown)";
    const uid_t bobId = 4242;
    const auto chownTree = [](const QString &root, uid_t owner) {
        ASSERT_EQ(::lchown(QFile::encodeName(root).constData(), owner, owner), 0);
        for (QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
             it.hasNext();)
            ASSERT_EQ(::lchown(QFile::encodeName(it.next()).constData(), owner, owner), 0);
    };
    const auto modeOf = [](const QString &path) {
        struct stat status
        {};
        ::lstat(QFile::encodeName(path).constData(), &status);
        return status.st_mode & 07777;
    };

    // All of bob's folders are bob's: his cache is cleaned, but a folder of his that stays
    // (it holds a cookie file) keeps its mode.
    {
        Accounts accounts;
        const QString keep = accounts.cache(u"bob"_s) + u"Cache/keep"_s;
        writeFile(keep + u"/cookies.txt"_s, "cookie");
        chownTree(accounts.home(u"bob"_s), bobId);
        ASSERT_EQ(::chmod(QFile::encodeName(keep).constData(), 0555), 0);
        CacheViewer viewer(accounts.places());
        viewer.查看所有用户缓存();
        EXPECT_EQ(users(viewer), QStringList({u"alice"_s, u"bob"_s}));
        viewer.全部删除();
        EXPECT_FALSE(QFileInfo::exists(accounts.cache(u"bob"_s) + u"Cache/Cache_Data"_s));
        EXPECT_EQ(readFile(keep + u"/cookies.txt"_s), "cookie");
        EXPECT_EQ(modeOf(keep), 0555u);
    }
    // One folder on the way to bob's cache is root's: bob is passed over.
    {
        Accounts accounts;
        chownTree(accounts.home(u"bob"_s), bobId);
        ASSERT_EQ(
            ::lchown(QFile::encodeName(accounts.home(u"bob"_s) + u"/.cache"_s).constData(), 0, 0),
            0);
        CacheViewer viewer(accounts.places());
        viewer.查看所有用户缓存();
        EXPECT_EQ(users(viewer), QStringList{u"alice"_s});
        viewer.全部删除();
        EXPECT_EQ(readFile(accounts.cache(u"bob"_s) + u"Cache/Cache_Data/index"_s), "bob's index");
    }
}
#endif
