// labels: integration faults
#include "support/qtprinters.h"
#include "support/scriptedhttpserver.h"
#include "transfer/downloader.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace papyrant;
using namespace papyrant::test;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList files(const QTemporaryDir &dir, QDir::Filters filters)
{
    return QDir(dir.path()).entryList(filters | QDir::NoDotAndDotDot);
}

struct DownloaderRun
{
    QTemporaryDir dir;
    Downloader downloader;
    QSignalSpy progress{&downloader, &Downloader::DownloadProgress};
    QSignalSpy complete{&downloader, &Downloader::DownloadComplete};
    QSignalSpy error{&downloader, &Downloader::DownloadError};

    DownloaderRun()
    {
        downloader.setStallLimitMs(400);
        downloader.setWatchdogTickMs(50);
    }
    QString path(const QString &name = QStringLiteral("a.pdf")) const { return dir.filePath(name); }
    bool waitEnd()
    {
        return QTest::qWaitFor([&] { return complete.size() + error.size() > 0; }, 10000);
    }
};

} // namespace

TEST(Downloader, NothingUnderTheNameUntilTheBodyIsWhole)
{
    ScriptedHttpServer server;
    server.route(
        QStringLiteral("/f?a=1&b=2"),
        Script().delay(100).send(Script::head("HTTP/1.1 200 OK", {"Content-Length: 5"}) + "%PDF-"));
    DownloaderRun run;
    run.downloader.BeginDownload(server.url(QStringLiteral("/f?a=1&amp;b=2 ")), run.path(), {});
    EXPECT_FALSE(QFileInfo::exists(run.path()));
    ASSERT_TRUE(run.waitEnd());
    ASSERT_EQ(run.complete.size(), 1);
    EXPECT_EQ(run.complete[0][0].toLongLong(), 5);
    EXPECT_EQ(run.complete[0][1].toLongLong(), 5);
    EXPECT_EQ(readAll(run.path()), "%PDF-");
    EXPECT_FALSE(run.progress.isEmpty());
    EXPECT_EQ(files(run.dir, QDir::Files | QDir::Hidden).size(), 1); // no temporary left
}

TEST(Downloader, UnknownLengthCompletesOnceWithItsLengthTwice)
{
    ScriptedHttpServer server;
    server.route(QStringLiteral("/f"),
                 Script::raw(Script::head("HTTP/1.1 200 OK", {"Content-Type: application/pdf"})
                             + "0123456789"));
    DownloaderRun run;
    run.downloader.BeginDownload(server.url(QStringLiteral("/f")), run.path(), {});
    ASSERT_TRUE(run.waitEnd());
    ASSERT_EQ(run.complete.size(), 1);
    EXPECT_EQ(run.complete[0][0].toLongLong(), 10);
    EXPECT_EQ(run.complete[0][1].toLongLong(), 10);
    EXPECT_TRUE(run.progress.isEmpty());
    EXPECT_EQ(server.requestCount(QStringLiteral("/f")), 1); // no second fetch
}

// Each case fails, and then no file of ours is left and an existing file is untouched.
TEST(Downloader, FailuresLeaveNothingOfOursAndExistingFilesIntact)
{
    struct Case
    {
        const char *name;
        QList<Script> scripts;
        QString missCode;
        QString reason; // what end() says
    };
    const QByteArray ok200 = Script::head("HTTP/1.1 200 OK", {"Content-Length: 100"});
    const QList<Case> cases = {
        {"stall",
         {Script().send(ok200 + "abc").stall()},
         QStringLiteral("超时"),
         QStringLiteral("超时")},
        {"short then close",
         {Script::raw(ok200 + "abc")},
         QStringLiteral("无法下载"),
         QStringLiteral("响应不完整")},
        {"reset",
         {Script().send(ok200 + "abc").reset()},
         QStringLiteral("无法下载"),
         QStringLiteral("响应不完整")},
        {"empty reply",
         {Script::raw("")},
         QStringLiteral("无法下载"),
         QStringLiteral("服务器没有响应")},
        // an error answer is given up at once, without a second fetch
        {"404",
         {Script::response(404, "<h1>Not Found</h1>", "text/html")},
         QStringLiteral("无法下载"),
         QStringLiteral("HTTP 404 Not Found")},
        // the fallback counts a one-byte body as nothing
        {"fallback one byte",
         {Script::response(200, "", "application/pdf"),
          Script::raw(Script::head("HTTP/1.1 200 OK", {"Content-Type: application/pdf"}) + "x")},
         QStringLiteral("无法下载"),
         QStringLiteral("内容为空")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (bool existing : {false, true}) {
            ScriptedHttpServer server;
            server.routeSequence(QStringLiteral("/f"), c.scripts);
            DownloaderRun run;
            if (existing) {
                QFile old(run.path());
                ASSERT_TRUE(old.open(QIODevice::WriteOnly));
                old.write("old article");
            }
            run.downloader.BeginDownload(server.url(QStringLiteral("/f")), run.path(), {});
            ASSERT_TRUE(run.waitEnd());
            ASSERT_EQ(run.error.size(), 1);
            EXPECT_EQ(run.error[0][0].toString(), c.missCode);
            EXPECT_EQ(run.downloader.end().state, TransferEnd::State::Failed);
            EXPECT_EQ(run.downloader.end().reason, c.reason);
            // A stall and an error answer are not fetched again.
            const bool once = c.reason.startsWith(u"HTTP") || c.reason == u"超时";
            EXPECT_EQ(server.requestCount(QStringLiteral("/f")), once ? 1 : 2);
            EXPECT_TRUE(run.complete.isEmpty());
            if (existing) {
                EXPECT_EQ(readAll(run.path()), "old article");
            }
            EXPECT_EQ(files(run.dir, QDir::Files | QDir::Hidden).size(), existing ? 1 : 0);
        }
    }
}

TEST(Downloader, FallbackFollowsRedirectsAndMissingFolderFailsWithoutNetwork)
{
    ScriptedHttpServer server;
    server.route(QStringLiteral("/loop"), Script::response(302, "", "", {"Location: /loop"}));
    DownloaderRun run;
    run.downloader.BeginDownload(server.url(QStringLiteral("/loop")), run.path(), {});
    ASSERT_TRUE(run.waitEnd());
    EXPECT_EQ(run.error.size(), 1);
    EXPECT_LE(server.requestCount(QStringLiteral("/loop")), 30); // bounded

    ScriptedHttpServer untouched;
    untouched.serveBody(QStringLiteral("/f"), "%PDF-1.4", "application/pdf");
    DownloaderRun nowhere;
    nowhere.downloader.BeginDownload(untouched.url(QStringLiteral("/f")),
                                     nowhere.path(QStringLiteral("no/such/a.pdf")), {});
    ASSERT_TRUE(nowhere.waitEnd());
    EXPECT_EQ(nowhere.error.size(), 1);
    EXPECT_TRUE(untouched.requests().isEmpty());
}

TEST(Downloader, CancelReportsNothingAndLeavesNothing)
{
    ScriptedHttpServer server;
    server.route(
        QStringLiteral("/f"),
        Script().send(Script::head("HTTP/1.1 200 OK", {"Content-Length: 100"}) + "abc").stall());
    DownloaderRun run;
    run.downloader.BeginDownload(server.url(QStringLiteral("/f")), run.path(), {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !run.progress.isEmpty(); }, 3000));
    run.downloader.CancelAsyncRead();
    QTest::qWait(600);
    EXPECT_TRUE(run.complete.isEmpty());
    EXPECT_TRUE(run.error.isEmpty());
    EXPECT_TRUE(files(run.dir, QDir::Files | QDir::Hidden).isEmpty());
}

// A link planted at the save name, dangling or to a file elsewhere, is never written through:
// the finished body does not go where it points, and the link stays as it was.
TEST(Downloader, ALinkAtTheSaveNameIsNeverWrittenThrough)
{
    for (bool dangling : {true, false}) {
        SCOPED_TRACE(dangling ? "dangling" : "to a file");
        ScriptedHttpServer server;
        server.serveBody(QStringLiteral("/f"), "%PDF-1.4 body", "application/pdf");
        QTemporaryDir outside;
        const QString victim = outside.filePath(QStringLiteral("victim.pdf"));
        if (!dangling) {
            QFile f(victim);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("the user's own");
        }
        DownloaderRun run;
        ASSERT_TRUE(QFile::link(victim, run.path()));
        run.downloader.BeginDownload(server.url(QStringLiteral("/f")), run.path(), {});
        ASSERT_TRUE(run.waitEnd());
        EXPECT_EQ(run.error.size(), 1);
        EXPECT_EQ(readAll(victim), dangling ? QByteArray() : QByteArray("the user's own"));
        EXPECT_EQ(files(outside, QDir::Files | QDir::Hidden).size(), dangling ? 0 : 1);
        EXPECT_EQ(QFileInfo(run.path()).symLinkTarget(), victim);
        EXPECT_EQ(files(run.dir, QDir::Files | QDir::Hidden | QDir::System),
                  QStringList{QStringLiteral("a.pdf")});
    }
}

// A disk that takes no byte more (the file-size limit at 0): the download fails and leaves no
// file of any size under the save name, to be taken for the article by the next run.
TEST(Downloader, AFullDiskLeavesNoFileUnderTheName)
{
    ScriptedHttpServer server;
    server.serveBody(QStringLiteral("/f"), "%PDF-1.4 body", "application/pdf");
    DownloaderRun run;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit none = saved;
    none.rlim_cur = 0;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &none), 0);
    run.downloader.BeginDownload(server.url(QStringLiteral("/f")), run.path(), {});
    const bool ended = run.waitEnd();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    ASSERT_TRUE(ended);
    EXPECT_EQ(run.error.size(), 1);
    EXPECT_TRUE(files(run.dir, QDir::Files | QDir::Hidden | QDir::System).isEmpty());
}

// What stands at the save name when the body is whole: a file is replaced only when asked
// ("覆盖"); a leftover of an interrupted run (empty, or the two bytes 01 00) is no article and
// gives way.
TEST(Downloader, TheFinishedBodyReplacesOnlyWhatItMay)
{
    struct Case
    {
        const char *what;
        QByteArray existing;
        bool replace;
        bool completes;
    };
    const Case cases[] = {
        {"a file, kept", "old article", false, false},
        {"a file, replaced", "old article", true, true},
        {"an empty leftover", "", false, true},
        {"a placeholder leftover", QByteArray("\x01\x00", 2), false, true},
        {"two other bytes", "ab", false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedHttpServer server;
        server.serveBody(QStringLiteral("/f"), "%PDF-1.4 body", "application/pdf");
        DownloaderRun run;
        QFile old(run.path());
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(c.existing);
        old.close();
        run.downloader.setReplaceExisting(c.replace);
        run.downloader.BeginDownload(server.url(QStringLiteral("/f")), run.path(), {});
        ASSERT_TRUE(run.waitEnd());
        EXPECT_EQ(run.complete.size(), c.completes ? 1 : 0);
        EXPECT_EQ(readAll(run.path()), c.completes ? QByteArray("%PDF-1.4 body") : c.existing);
        EXPECT_EQ(files(run.dir, QDir::Files | QDir::Hidden).size(), 1);
    }
}
