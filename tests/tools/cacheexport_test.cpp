// labels: unit faults
// "复制选中..." makes plain files of the chosen rows for the copy tool: bodies decoded only then
// and only up to the limit, other users' files copied as they are, nothing read through a link.
#include "support/fixturesite.h"
#include "support/qtprinters.h"
#include "support/simplecachefiles.h"
#include "support/testfiles.h"
#include "tools/cacheexport.h"
#include "tools/cacheviewer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString Sub = u"/.cache/澄川文献管家/QtWebEngine/Papyrant"_s;
constexpr qint64 MiB = 1 << 20;

// Every file under the folder with its size (links as links).
QMap<QString, qint64> filesUnder(const QString &folder)
{
    QMap<QString, qint64> files;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QFileInfo info(it.next());
        files.insert(info.filePath(), info.isSymLink() ? -1 : info.size());
    }
    return files;
}

struct Homes
{
    QTemporaryDir dir;
    QString home(const QString &user) const { return dir.path() + u"/home/"_s + user; }
    QString cache(const QString &user) const { return home(user) + Sub + u'/'; }
    QString outside() const { return dir.path() + u"/outside/"_s; }
    CacheViewerPlaces places() const
    {
        CacheViewerPlaces p;
        p.cacheFolder = cache(u"alice"_s);
        p.homeFolder = home(u"alice"_s);
        const QList<UserProfile> users = {{u"alice"_s, home(u"alice"_s)},
                                          {u"bob"_s, home(u"bob"_s)}};
        p.userProfiles = [users] { return users; };
        return p;
    }
};

CacheExport::Summary exportRows(const CacheViewer &viewer, const QList<CacheRow> &rows,
                                const QString &stage, qint64 limit)
{
    CacheExport job;
    job.setPieceBytes(64 * 1024);
    QSignalSpy done(&job, &CacheExport::finished);
    job.start(viewer, rows, stage, limit);
    EXPECT_TRUE(done.wait(30000));
    return job.summary();
}

} // namespace

TEST(CacheExport, BodiesAreDecodedOnlyWhenCopiedOutAndWithinTheLimit)
{
    Homes homes;
    const QString data = homes.cache(u"alice"_s) + u"Cache/Cache_Data/"_s;
    const QByteArray page = "<html><body>" + QByteArray(5000, 'p') + "</body></html>";
    writeFile(data + u"0000000000000001_0"_s,
              simpleCacheEntryBytes("1/0/http://h/paper.pdf", "%PDF-1", "HTTP/1.1 200 OK\n\n"));
    writeFile(data + u"0000000000000002_0"_s,
              simpleCacheEntryBytes("1/0/http://h/", gzipBytes(page),
                                    "HTTP/1.1 200 OK\nContent-Type: text/html\n"
                                    "Content-Encoding: gzip\n\n"));
    writeFile(data + u"0000000000000003_0"_s,
              simpleCacheEntryBytes("1/0/http://h/bomb.html",
                                    readFile(fixturePath(u"cache/zeros-4gib.br"_s)),
                                    "HTTP/1.1 200 OK\nContent-Encoding: br\n\n"));
    writeFile(data + u"0000000000000004_0"_s,
              simpleCacheEntryBytes("1/0/http://h/x", "bad", "HTTP/1.1 200 OK\n\n", false));

    // Listing reads records only: nothing is written, the bomb shows its stored size.
    const QMap<QString, qint64> before = filesUnder(homes.dir.path());
    CacheViewer viewer(homes.places());
    viewer.查看我的缓存();
    EXPECT_EQ(filesUnder(homes.dir.path()), before);
    ASSERT_EQ(viewer.list().rowCount(), 4);
    EXPECT_LT(viewer.list().rows()[2].size.toLongLong(), 4000);

    QTemporaryDir stage;
    const CacheExport::Summary summary =
        exportRows(viewer, viewer.selectedFiles({0, 1, 2, 3}), stage.path(), MiB);
    const QString pdf = stage.filePath(u"1/paper.pdf"_s);
    const QString html = stage.filePath(u"2/index.html"_s);
    EXPECT_EQ(summary.files, QStringList({pdf, html}));
    EXPECT_EQ(readFile(pdf), "%PDF-1");
    EXPECT_EQ(readFile(html), page);
    EXPECT_EQ(summary.tooLarge, QStringList{u"bomb.html"_s});
    EXPECT_EQ(summary.unreadable, 1); // the damaged one
    EXPECT_EQ(summary.links, 0);
    // Nothing of the refused bodies is left half-written.
    EXPECT_EQ(filesUnder(stage.path()).keys(), QStringList({pdf, html}));
    // The copy keeps the time of the entry it came from.
    EXPECT_EQ(QFileInfo(pdf).lastModified(),
              QFileInfo(data + u"0000000000000001_0"_s).lastModified());
}

TEST(CacheExport, AFileThatIsOrHasBecomeALinkIsNotCopied)
{
    Homes homes;
    const QString bob = homes.cache(u"bob"_s) + u"Cache/"_s;
    writeFile(bob + u"f.bin"_s, "bob's file");
    writeFile(bob + u"swap.bin"_s, "bob's other file");
    writeFile(bob + u"sub/g.bin"_s, "bob's g");
    writeFile(homes.outside() + u"secret"_s, "secret");
    writeFile(homes.outside() + u"sub/g.bin"_s, "outside g");
    QDir().mkpath(homes.cache(u"alice"_s));
    ASSERT_TRUE(QFile::link(homes.outside() + u"secret"_s, bob + u"planted.bin"_s));

    CacheViewer viewer(homes.places());
    viewer.查看所有用户缓存();
    QList<int> rows;
    for (int i = 0; i < viewer.list().rowCount(); ++i)
        rows << i;
    const QList<CacheRow> chosen = viewer.selectedFiles(rows);
    ASSERT_EQ(chosen.size(), 3); // a planted link is not even listed

    // Between the listing and the copy: a file and a folder swapped for links.
    QFile::remove(bob + u"swap.bin"_s);
    ASSERT_TRUE(QFile::link(homes.outside() + u"secret"_s, bob + u"swap.bin"_s));
    ASSERT_TRUE(QDir().rename(bob + u"sub"_s, bob + u"sub.aside"_s));
    ASSERT_TRUE(QFile::link(homes.outside() + u"sub"_s, bob + u"sub"_s));

    QTemporaryDir stage;
    const CacheExport::Summary summary = exportRows(viewer, chosen, stage.path(), MiB);
    EXPECT_EQ(summary.links, 2);
    ASSERT_EQ(summary.files.size(), 1);
    EXPECT_EQ(readFile(summary.files[0]), "bob's file");
    EXPECT_EQ(filesUnder(stage.path()).keys(), summary.files);
    EXPECT_EQ(readFile(homes.outside() + u"secret"_s), "secret");
    EXPECT_EQ(readFile(homes.outside() + u"sub/g.bin"_s), "outside g");
}
