// labels: unit faults
#include "foundation/prompts.h"
#include "support/fixturesite.h"
#include "support/qtprinters.h"
#include "support/recordingprompts.h"
#include "support/simplecachefiles.h"
#include "support/testfiles.h"
#include "tools/cacheviewer.h"
#include "tools/simplecache.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

QStringList column(CacheList &list, int c)
{
    QStringList out;
    for (int r = 0; r < list.rowCount(); ++r)
        out << list.index(r, c).data().toString();
    return out;
}

const QString Linux = u"Debian GNU/Linux 12 (bookworm) 版本:12 (内部版本:6.1.0-27)[64位]"_s;
const QString Sub = u"/.cache/澄川文献管家/QtWebEngine/Papyrant"_s;

// Three homes: alice (this user) and bob have a cache, carol has none.
struct Homes
{
    QTemporaryDir dir;
    QString home(const QString &user) const { return dir.path() + u"/home/"_s + user; }
    QString cache(const QString &user) const { return home(user) + Sub + u'/'; }
    CacheViewerPlaces places() const
    {
        CacheViewerPlaces p;
        p.cacheFolder = cache(u"alice"_s);
        p.homeFolder = home(u"alice"_s);
        p.systemDescription = Linux;
        const QList<UserProfile> users = {{u"alice"_s, home(u"alice"_s)},
                                          {u"bob"_s, home(u"bob"_s)},
                                          {u"carol"_s, home(u"carol"_s)}};
        p.userProfiles = [users] { return users; };
        return p;
    }
};

} // namespace

TEST(CacheEntries, BodiesComeOutDecodedWholeAndWithinTheLimitOrNotAtAll)
{
    using State = BodyExtraction::State;
    QTemporaryDir dir;
    const QByteArray page = "<html><body>brotli page</body></html>";
    const QByteArray brotli(
        "\x1b\x24\x00\xf8\x8d\x94\x6e\xde\x2a\x8f\xb1\x7d\xe4\x0d\x8b\x22\x49"
        "\x27\x07\x92\xb2\xd0\x22\x4c\x1a\x91\x09\x30\x81\xad\x9c\xd5\xd7\x64\x12",
        35);
    const QByteArray zlibStream = qCompress(page).mid(4); // the "deflate" of HTTP
    // Bombs: 3 KB of brotli that expand to 4 GiB of zeros, 16 KB of gzip to 16 MiB.
    const QByteArray brotliBomb = readFile(fixturePath(u"cache/zeros-4gib.br"_s));
    ASSERT_LT(brotliBomb.size(), 4000);
    const QByteArray gzipBomb = gzipBytes(QByteArray(16 << 20, '\0'));
    const qint64 MiB = 1 << 20;
    const QByteArray ok = "HTTP/1.1 200 OK\n\n";
    const struct
    {
        const char *what;
        QByteArray key;
        QByteArray body;
        QByteArray headers;
        bool rightCrc;
        qint64 limit;
        State state;
        QByteArray expected; // what comes out when it is done
    } cases[] = {
        {"brotli", "1/0/https://ci.example/a", brotli, "HTTP/1.1 200 OK\nContent-Encoding: br\n\n",
         true, MiB, State::Done, page},
        {"deflate", "1/0/http://h/b", zlibStream, "HTTP/1.1 200 OK\ncontent-encoding: deflate\n\n",
         true, MiB, State::Done, page},
        {"split cache key", "1/0/_dk_http://h http://h http://h/c.pdf", "%PDF-1.4", ok, true, 8,
         State::Done, "%PDF-1.4"},
        {"one byte over the limit",
         "1/0/http://h/c2.pdf",
         "%PDF-1.4",
         ok,
         true,
         7,
         State::TooLarge,
         {}},
        {"checksum wrong", "1/0/http://h/d", "body", ok, false, MiB, State::Damaged, {}},
        {"unknown encoding",
         "1/0/http://h/e",
         "body",
         "HTTP/1.1 200 OK\nContent-Encoding: zstd\n\n",
         true,
         MiB,
         State::Undecodable,
         {}},
        {"brotli cut short",
         "1/0/http://h/f",
         brotli.left(20),
         "HTTP/1.1 200 OK\nContent-Encoding: br\n\n",
         true,
         MiB,
         State::Damaged,
         {}},
        {"gzip garbage",
         "1/0/http://h/g",
         "not gzip at all",
         "HTTP/1.1 200 OK\nContent-Encoding: gzip\n\n",
         true,
         MiB,
         State::Damaged,
         {}},
        {"brotli bomb",
         "1/0/http://h/bomb.html",
         brotliBomb,
         "HTTP/1.1 200 OK\nContent-Encoding: br\n\n",
         true,
         MiB,
         State::TooLarge,
         {}},
        {"gzip bomb",
         "1/0/http://h/bomb2.html",
         gzipBomb,
         "HTTP/1.1 200 OK\nContent-Encoding: gzip\n\n",
         true,
         MiB,
         State::TooLarge,
         {}},
    };
    const QString c = dir.path() + u"/Cache/Cache_Data/"_s;
    int n = 0;
    for (const auto &t : cases)
        writeFile(c + u"%1_0"_s.arg(++n, 16, 10, QChar(u'0')),
                  simpleCacheEntryBytes(t.key, t.body, t.headers, t.rightCrc));
    // Not entries: another file, a truncated entry, an entry being written (no end record).
    writeFile(c + u"index"_s, "index");
    const QByteArray first = simpleCacheEntryBytes(cases[0].key, cases[0].body, cases[0].headers);
    writeFile(c + u"1000000000000001_0"_s, first.left(first.size() - 10));
    writeFile(c + u"1000000000000002_0"_s, first.left(40));

    const QList<SimpleCacheEntry> entries = ListSimpleCacheEntries(dir.path());
    ASSERT_EQ(entries.size(), std::size(cases));
    EXPECT_EQ(entries[0].url, u"https://ci.example/a"_s);
    EXPECT_EQ(entries[2].url, u"http://h/c.pdf"_s);
    EXPECT_EQ(entries[0].header("content-encoding"), "br");
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_EQ(entries[i].bodySize, cases[i].body.size());
        // Each in a folder of its own: nothing but the finished file may be left in it.
        const QString out = dir.filePath(u"out%1/"_s.arg(i));
        QDir().mkpath(out);
        const BodyExtraction::State state =
            ExtractSimpleCacheBody(entries[i], out + u"body"_s, cases[i].limit);
        EXPECT_EQ(int(state), int(cases[i].state));
        const QStringList left = QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                     | QDir::NoDotAndDotDot);
        if (cases[i].state == State::Done) {
            EXPECT_EQ(left, QStringList{u"body"_s});
            EXPECT_EQ(readFile(out + u"body"_s), cases[i].expected);
        } else {
            EXPECT_EQ(left, QStringList());
        }
    }
}

TEST(CacheEntries, ABombDecodesInBoundedStepsAndStopsAtTheLimit)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"0000000000000001_0"_s);
    writeFile(file, simpleCacheEntryBytes("1/0/http://h/bomb.html",
                                          readFile(fixturePath(u"cache/zeros-4gib.br"_s)),
                                          "HTTP/1.1 200 OK\nContent-Encoding: br\n\n"));
    const std::optional<SimpleCacheEntry> entry = ReadSimpleCacheEntry(file);
    ASSERT_TRUE(entry);
    auto source = std::make_unique<QFile>(file);
    ASSERT_TRUE(source->open(QIODevice::ReadOnly));
    const qint64 limit = 3 << 20;
    BodyExtraction extraction(*entry, std::move(source), dir.filePath(u"bomb.html"_s), limit);
    // Each step does about the work it was given, so the window gets its turn in between.
    int steps = 0;
    qint64 before = 0;
    while (extraction.step(256 * 1024) == BodyExtraction::State::Running) {
        EXPECT_LE(extraction.written() - before, 256 * 1024 + 64 * 1024);
        before = extraction.written();
        ++steps;
    }
    EXPECT_EQ(int(extraction.state()), int(BodyExtraction::State::TooLarge));
    EXPECT_GE(steps, 10);
    EXPECT_LE(extraction.written(), limit + 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{u"0000000000000001_0"_s});
}

TEST(CacheViewer, AllUsersViewListsEveryUsersCacheAndDeletesAllButCookies)
{
    Homes homes;
    const QString alice = homes.cache(u"alice"_s), bob = homes.cache(u"bob"_s);
    writeFile(alice + u"Cache/Cache_Data/0000000000000001_0"_s,
              simpleCacheEntryBytes("1/0/http://h/a.html", "a", "HTTP/1.1 200 OK\n\n"));
    writeFile(alice + u"Cache/Cache_Data/index-dir/the-real-index"_s, "i");
    writeFile(bob + u"Cache/Cache_Data/0000000000000002_0"_s, "b");
    writeFile(bob + u"Cache/Cache_Data/cookies.txt"_s, "cookie");
    QDir().mkpath(homes.home(u"carol"_s));
    // A link out of the cache is neither walked nor followed when deleting.
    const QString outside = writeFile(homes.dir.filePath(u"outside/keep.bin"_s), "keep");
    QFile::link(homes.dir.filePath(u"outside"_s), bob + u"linked"_s);
    QFile::link(outside, bob + u"keep-link.bin"_s);

    CacheViewer viewer(homes.places());
    viewer.查看所有用户缓存();
    ASSERT_EQ(viewer.userCacheFolders().size(), 2);
    EXPECT_EQ(viewer.userCacheFolders()[0].name, u"alice"_s);
    EXPECT_EQ(viewer.userCacheFolders()[1].folder, homes.home(u"bob"_s) + Sub);
    EXPECT_EQ(viewer.UserFolders().size(), 3);
    EXPECT_EQ(viewer.CacheFolders(), QStringList({alice + u"Cache"_s, alice + u"Cache/Cache_Data"_s,
                                                  alice + u"Cache/Cache_Data/index-dir"_s,
                                                  bob + u"Cache"_s, bob + u"Cache/Cache_Data"_s}));
    CacheList &list = viewer.list();
    EXPECT_EQ(list.tag, u"所有缓存"_s);
    EXPECT_EQ(viewer.label1(), u"共有4 个文件"_s);
    EXPECT_EQ(column(list, CacheList::Url),
              QStringList({u"用户:alice"_s, u"用户:alice"_s, u"用户:bob"_s, u"用户:bob"_s}));
    EXPECT_EQ(column(list, CacheList::Type), QStringList({u""_s, u""_s, u""_s, u"txt"_s}));
    EXPECT_EQ(column(list, CacheList::Size)[3], u"6"_s);

    EXPECT_EQ(viewer.全部删除(), 0);
    // Only the cookie file is left, and the folders that hold it; the rest went empty and went.
    EXPECT_EQ(column(list, CacheList::FilePath),
              QStringList{QDir::toNativeSeparators(bob + u"Cache/Cache_Data/cookies.txt"_s)});
    EXPECT_FALSE(QFileInfo::exists(alice + u"Cache"_s));
    EXPECT_TRUE(QFileInfo::exists(alice));
    EXPECT_EQ(readFile(outside), "keep");
    EXPECT_TRUE(QFileInfo(bob + u"linked"_s).isSymLink());
}

TEST(CacheViewer, MyCacheRowsComeFromTheRecordsAndDeleteTheirEntryNeverCookies)
{
    Homes homes;
    const QString data = homes.cache(u"alice"_s) + u"Cache/Cache_Data/"_s;
    writeFile(data + u"0000000000000001_0"_s,
              simpleCacheEntryBytes("1/0/http://h/paper.pdf", "%PDF-1", "HTTP/1.1 200 OK\n\n"));
    writeFile(data + u"0000000000000001_s"_s, "sparse");
    writeFile(data + u"0000000000000002_0"_s,
              simpleCacheEntryBytes("1/0/http://h/", "<html>",
                                    "HTTP/1.1 200 OK\nContent-Type: text/html\n\n"));
    writeFile(data + u"0000000000000003_0"_s,
              simpleCacheEntryBytes("1/0/http://h/Cookie?id=1", "c", "HTTP/1.1 200 OK\n\n"));
    writeFile(data + u"0000000000000004_0"_s,
              simpleCacheEntryBytes("1/0/http://h/x", "bad", "HTTP/1.1 200 OK\n\n", false));

    CacheViewer viewer(homes.places());
    viewer.查看我的缓存();
    CacheList &list = viewer.list();
    EXPECT_EQ(list.tag, u"我的缓存"_s);
    EXPECT_EQ(viewer.label1(), u"共有4 个文件"_s);
    EXPECT_EQ(column(list, CacheList::Url),
              QStringList({u"http://h/paper.pdf"_s, u"http://h/"_s, u"http://h/Cookie?id=1"_s,
                           u"http://h/x"_s}));
    EXPECT_EQ(column(list, CacheList::Type), QStringList({u"pdf"_s, u""_s, u""_s, u""_s}));
    // The sizes as stored, the entry's own file: no body is read to list it.
    EXPECT_EQ(column(list, CacheList::Size), QStringList({u"6"_s, u"6"_s, u"1"_s, u"3"_s}));
    EXPECT_EQ(list.rows()[0].filePath, data + u"0000000000000001_0"_s);
    QStringList selected;
    for (const CacheRow &row : viewer.selectedFiles({3, 1, 0}))
        selected << row.url;
    EXPECT_EQ(selected, QStringList({u"http://h/paper.pdf"_s, u"http://h/"_s, u"http://h/x"_s}));

    // The second entry vanishes behind the viewer's back before its row is deleted.
    QFile::remove(data + u"0000000000000002_0"_s);
    EXPECT_EQ(viewer.删除所选文件({0, 1}), 1);
    EXPECT_FALSE(QFileInfo::exists(data + u"0000000000000001_0"_s));
    EXPECT_FALSE(QFileInfo::exists(data + u"0000000000000001_s"_s));
    EXPECT_EQ(column(list, CacheList::Url),
              QStringList({u"http://h/Cookie?id=1"_s, u"http://h/x"_s}));

    EXPECT_EQ(viewer.全部删除(), 0);
    EXPECT_EQ(column(list, CacheList::Url), QStringList{u"http://h/Cookie?id=1"_s});
    EXPECT_EQ(viewer.label1(), u"共有1 个文件"_s);
}

TEST(CacheViewer, SortByClickFlipsTheOrderAndSizesSortByValue)
{
    CacheList list;
    list.setRows({{u"b"_s, u"pdf"_s, u"10000"_s, {}, -1, {}},
                  {u"A"_s, u"htm"_s, u"900"_s, {}, -1, {}},
                  {u"c"_s, u""_s, u""_s, {}, -1, {}}});
    list.sortByClick(CacheList::Size); // the first click sorts descending
    EXPECT_EQ(column(list, CacheList::Size), QStringList({u"10000"_s, u"900"_s, u""_s}));
    list.sortByClick(CacheList::Size);
    EXPECT_EQ(column(list, CacheList::Size), QStringList({u""_s, u"900"_s, u"10000"_s}));
    list.sortByClick(CacheList::Url);
    EXPECT_EQ(column(list, CacheList::Url), QStringList({u"c"_s, u"b"_s, u"A"_s}));
    EXPECT_EQ(list.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), u"SIZE(Byte)"_s);
}

TEST(CacheViewer, UsersRootFollowsTheSystemDescription)
{
    const struct
    {
        QString description;
        QString cache;
        QString root;
    } cases[] = {
        {u"Windows 10 Pro 版本:2009 (内部版本:19045.3693)[64位]"_s,
         u"C:\\Users\\bob\\AppData\\Local\\澄川文献管家\\QtWebEngine\\Papyrant\\"_s,
         u"C:/Users/"_s},
        {u"windows 7 Ultimate [32位]"_s, u"D:/Users/x/c/"_s, u"D:/Users/"_s},
        {u"Windows XP Professional Service Pack 3 [Version: 5.1.2600][32位]"_s,
         u"C:/Documents and Settings/bob/Local Settings/c/"_s, u"C:/Documents and Settings/"_s},
        {u"Windows XP Professional [32位]"_s, u"C:/Profiles/bob/c/"_s, QString()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(WindowsUsersRoot(c.description, c.cache), c.root) << qPrintable(c.description);
}

TEST(CacheViewer, ClearBrowserCacheTellsOnlyWhenAsked)
{
    Homes homes;
    const QString data = homes.cache(u"alice"_s) + u"Cache/Cache_Data/"_s;
    writeFile(data + u"0000000000000001_0"_s,
              simpleCacheEntryBytes("1/0/http://h/a", "a", "HTTP/1.1 200 OK\n\n"));
    writeFile(data + u"index"_s, "i");
    RecordingPrompts silent;
    ClearBrowserCache(false, silent, homes.places());
    EXPECT_TRUE(silent.shown.isEmpty());
    EXPECT_TRUE(QDir(homes.cache(u"alice"_s))
                    .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    RecordingPrompts told;
    ClearBrowserCache(true, told, homes.places());
    EXPECT_EQ(told.messages(), QStringList{u"IE缓存清空完毕！"_s});
    EXPECT_EQ(told.shown[0].icon, Prompts::Icon::Information);
}
