// labels: integration faults
// Names, folders and request headers of the two transfer methods.
#include "foundation/contenttype.h"
#include "foundation/filenames.h"
#include "support/qtprinters.h"
#include "transfer/sharednetwork.h"
#include "transferharness.h"

#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

TEST(ContentDisposition, ExtensionOfTheFileName)
{
    const struct
    {
        const char *header;
        const char *extension;
    } cases[] = {
        {"attachment; filename=\"paper.pdf\"", "pdf"},
        {"attachment; filename='paper.pdf'", "pdf"},
        {"attachment; filename=paper.pdf;", "pdf"},
        {"attachment; FILENAME=paper.PDF ; size=3", "PDF"},
        {"attachment; filename=a.tar.gz", "gz"},
        {"attachment; filename=x.p1df", "p"},
        {"attachment; filename=x.abcdef", ""},
        {"attachment; filename=noext", ""},
        {"inline", ""},
        {"attachment; filename*=UTF-8''%E8%AE%BA%E6%96%87.docx", "docx"},
        {"attachment; filename*=UTF-8''a.caj; filename=\"a.pdf\"", "caj"},
        {"attachment; filename=\"a.pdf\"; filename*=utf-8'zh'%E6%96%87.djvu", "djvu"},
        {"attachment; filename*=iso-8859-1'en'%A3rates.txt", "txt"},
        {"attachment; filename*=garbage; filename=b.pdf", "pdf"},
        {"attachment; filename=\"../../x.pdf\tx\"", "pdfx"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(从下载头信息ContentDisposition获取文件名(QString::fromUtf8(c.header)),
                  QString::fromUtf8(c.extension))
            << c.header;

    const QString raw = QStringLiteral("HTTP/1.1 200 OK\r\nContent-Type: x/y\r\n"
                                       "  content-DISPOSITION:  attachment; filename=a.pdf \r\n"
                                       "Content-Disposition: second\r\n");
    EXPECT_EQ(从网络文件Header获取ContentDisposition(raw),
              QStringLiteral("attachment; filename=a.pdf"));
    EXPECT_EQ(从网络文件Header获取ContentDisposition(QStringLiteral("HTTP/1.1 200 OK\r\n")),
              QString());
}

TEST(ConnectionSettings, ProtocolAndPort)
{
    const ProxySettings off;
    const ProxySettings on{true, QStringLiteral("proxy.local"), QStringLiteral("3128")};
    const struct
    {
        const char *url;
        bool https;
        int port;
    } cases[] = {
        {"http://h/a.pdf", false, 80},  {"http://h:8080/a.pdf", false, 8080},
        {"HTTPS://h/a.pdf", true, 443}, {"https://h:8443/a.pdf", true, 8443},
        {"http://h:81", false, 81},
    };
    for (const auto &c : cases) {
        for (const ProxySettings &proxy : {off, on}) {
            const RemoteEndpoint e = 连接设置(QString::fromUtf8(c.url), proxy);
            EXPECT_EQ(e.https, c.https) << c.url;
            EXPECT_EQ(e.port, c.port) << c.url;
            EXPECT_EQ(e.viaProxy, proxy.enabled);
        }
    }
    EXPECT_EQ(TransferStateText(3), QStringLiteral("3 正在与主机连接..."));
    EXPECT_EQ(TransferStateText(11, 404, QStringLiteral("Not Found")),
              QStringLiteral("11 与主机通讯时出现了错误:404:Not Found"));
    EXPECT_EQ(TransferStateText(42, 1, QStringLiteral("x")), QStringLiteral("1:x"));
}

// The extension comes from the content type, then Content-Disposition, then a charset.
TEST(TransferNaming, ExtensionFromTheAnswer)
{
    const QByteArray body = pdfBody(300);
    const struct
    {
        QList<QByteArray> headers;
        QString type;
    } cases[] = {
        {{"Content-Type: text/html; charset=gbk"},
         ExtensionForContentType(QStringLiteral("text/html"))},
        {{"Content-Type: application/octet-stream",
          "Content-Disposition: attachment; filename=\"paper.caj\""},
         QStringLiteral("caj")},
        {{"Content-Type: application/octet-stream",
          "Content-Disposition: attachment; filename*=UTF-8''%E8%AE%BA.djvu"},
         QStringLiteral("djvu")},
        {{"Content-Type: application/octet-stream",
          "Content-Disposition: attachment; filename=x.abcdef"},
         QStringLiteral("PDF")},
        {{"Content-Type: application/x-unknown-thing; charset=utf-8"}, QStringLiteral("htm")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.type.toStdString());
        TransferHarness h;
        h.server.route(QStringLiteral("/f"),
                       Script::raw(Script::head("HTTP/1.1 200 OK", c.headers) + body));
        const int p = h.addRow(QStringLiteral("/f"), QStringLiteral("a"), QStringLiteral("PDF"));
        h.runOne(p);
        EXPECT_EQ(h.queue.row(p).State, QueueRow::Finished);
        // Sniffing may correct the type afterwards; the file is the body under the row's name.
        EXPECT_EQ(h.files().size(), 1);
        EXPECT_EQ(h.content(h.files().value(0)), body);
    }
}

// Hostile names from titles and headers never leave the save folder and always give a name
// that can be created.
TEST(TransferNaming, HostileNamesStayInTheSaveFolder)
{
    const QString titles[] = {
        QStringLiteral("../../x"), QStringLiteral("a/b"),
        QStringLiteral("CON"),     QStringLiteral("a\u0001b\u001fc\u007f"),
        QString(300, u'名'),       QStringLiteral(".."),
    };
    for (int method : {1, 2}) {
        TransferHarness h;
        h.server.serveBody(QStringLiteral("/f"), pdfBody(200), "application/octet-stream",
                           {"Content-Disposition: attachment; filename=\"../../../etc/evil.pdf\""});
        // the save folder is two levels down, so an escape would show among the files
        const QString inner = h.folder() + QStringLiteral("s/t/");
        ASSERT_TRUE(QDir().mkpath(inner));
        int i = 0;
        for (const QString &title : titles) {
            SCOPED_TRACE(title.toStdString());
            const int p = h.addRow(h.server.url(QStringLiteral("/f?%1").arg(i++)), title);
            h.queue.setSaveFolder(p, inner);
            if (method == 1) {
                h.runOne(p);
            } else {
                h.queue.setName(p, CleanFileName(title)); // as the scheduler does before a start
                ASSERT_TRUE(h.runTwo(p));
            }
            EXPECT_EQ(h.queue.row(p).State, QueueRow::Finished);
        }
        EXPECT_EQ(h.files().size(), std::size(titles));
        for (const QString &f : h.files()) {
            EXPECT_TRUE(f.startsWith(u"s/t/"_s)) << f.toStdString();
            EXPECT_FALSE(f.mid(4).contains(u'/')) << f.toStdString();
        }
    }
}

TEST(TransferDisk, TargetThatCannotBeReplaced)
{
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        TransferHarness h;
        h.session.options.sameName = SameNameRule::Overwrite;
        h.server.serveBody(QStringLiteral("/f"), pdfBody(300), "application/pdf");
        // a folder holds the target's name; it cannot be replaced by a file
        ASSERT_TRUE(QDir(h.dir.path()).mkpath(QStringLiteral("a.pdf")));
        QFile inside(h.dir.filePath(QStringLiteral("a.pdf/keep.txt")));
        ASSERT_TRUE(inside.open(QIODevice::WriteOnly));
        inside.write("keep");
        inside.close();
        const int p = h.addRow(QStringLiteral("/f"));
        if (method == 1) {
            h.runOne(p);
            EXPECT_EQ(h.queue.row(p).Percent, QStringLiteral("无法替换"));
        } else {
            ASSERT_TRUE(h.runTwo(p));
        }
        EXPECT_EQ(h.queue.row(p).State, QueueRow::Failed);
        EXPECT_EQ(h.queue.row(p).Reason, QStringLiteral("同名文件夹已存在"));
        EXPECT_EQ(h.files(), QStringList{QStringLiteral("a.pdf/keep.txt")});
    }
}

TEST(TransferDisk, OverwriteReplacesAnExistingFileOnlyWithAWholeBody)
{
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        TransferHarness h;
        h.session.options.sameName = SameNameRule::Overwrite;
        const QByteArray body = pdfBody(400);
        h.server.serveBody(QStringLiteral("/good"), body, "application/pdf");
        h.server.route(
            QStringLiteral("/cut"),
            Script::raw(Script::head("HTTP/1.1 200 OK", {"Content-Length: 400"}) + body.left(50)));
        QFile old(h.dir.filePath(QStringLiteral("a.pdf")));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("%PDF-old article");
        old.close();
        const int cut = h.addRow(QStringLiteral("/cut"));
        if (method == 1)
            h.runOne(cut);
        else
            ASSERT_TRUE(h.runTwo(cut));
        EXPECT_EQ(h.queue.row(cut).State, QueueRow::Failed);
        EXPECT_EQ(h.content(QStringLiteral("a.pdf")), QByteArray("%PDF-old article"));
        const int good = h.addRow(QStringLiteral("/good"));
        if (method == 1)
            h.runOne(good);
        else
            ASSERT_TRUE(h.runTwo(good));
        EXPECT_EQ(h.queue.row(good).State, QueueRow::Finished);
        EXPECT_EQ(h.content(QStringLiteral("a.pdf")), body);
        EXPECT_EQ(h.files(), QStringList{QStringLiteral("a.pdf")});
    }
}

// A downloaded file gets the mode any download tool gives it (0666 less the umask); a file it
// replaces keeps its own mode.
TEST(TransferDisk, FileModeFollowsTheUmaskAndAReplacedFileKeepsItsMode)
{
    struct Case
    {
        mode_t umask;
        std::optional<QFile::Permissions> existing; // a file already there, replaced
        QFile::Permissions expected;
    };
    const auto rw = QFile::ReadOwner | QFile::WriteOwner;
    const Case cases[] = {
        {022, std::nullopt, rw | QFile::ReadGroup | QFile::ReadOther},
        {027, std::nullopt, rw | QFile::ReadGroup},
        {022, rw, rw},
        {077, rw | QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther,
         rw | QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther},
    };
    const mode_t saved = ::umask(022);
    for (int method : {1, 2}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message()
                         << "method " << method << " umask " << std::oct << c.umask);
            TransferHarness h;
            h.session.options.sameName = SameNameRule::Overwrite;
            h.server.serveBody(QStringLiteral("/f"), pdfBody(300), "application/pdf");
            const QString path = h.dir.filePath(QStringLiteral("a.pdf"));
            if (c.existing) {
                QFile old(path);
                ASSERT_TRUE(old.open(QIODevice::WriteOnly));
                old.write("%PDF-old");
                old.close();
                ASSERT_TRUE(QFile::setPermissions(path, *c.existing));
            }
            ::umask(c.umask);
            const int p = h.addRow(QStringLiteral("/f"));
            if (method == 1)
                h.runOne(p);
            else
                ASSERT_TRUE(h.runTwo(p));
            ::umask(022);
            ASSERT_EQ(h.queue.row(p).State, QueueRow::Finished);
            EXPECT_EQ(h.content(QStringLiteral("a.pdf")), pdfBody(300));
            const auto owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
            const auto group = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup;
            const auto other = QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
            EXPECT_EQ(QFile::permissions(path) & (owner | group | other), c.expected);
        }
    }
    ::umask(saved);
}

TEST(TransferDisk, FolderThatCannotBeCreated)
{
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        TransferHarness h;
        h.server.serveBody(QStringLiteral("/f"), pdfBody(300), "application/pdf");
        QFile blocker(h.dir.filePath(QStringLiteral("file")));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const int p = h.addRow(QStringLiteral("/f"));
        h.queue.setSaveFolder(p, h.folder() + QStringLiteral("file/sub/"));
        if (method == 1) {
            h.runOne(p);
            EXPECT_EQ(h.queue.row(p).Size, QStringLiteral("不能创建文件夹"));
        } else {
            ASSERT_TRUE(h.runTwo(p));
            EXPECT_TRUE(h.server.requests().isEmpty()); // nowhere to write: nothing fetched
        }
        EXPECT_EQ(h.queue.row(p).State, QueueRow::Failed);
        EXPECT_EQ(h.files(), QStringList{QStringLiteral("file")});
    }
}

// A disk that fills up during the body (the process's file-size limit stands in for it): the
// row fails with the cause in its words, and no byte of the body is left, under the final name
// or beside it.
TEST(TransferDisk, FullDiskFailsWithItsReasonAndLeavesNothing)
{
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    ASSERT_TRUE(saved.rlim_max == RLIM_INFINITY || saved.rlim_max > 64 * 1024);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN); // a failed write, not a killed process
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        TransferHarness h;
        h.session.options.maxFileSizeMB = 10;
        h.server.serveBody(QStringLiteral("/f"), pdfBody(400 * 1024), "application/pdf");
        const int p = h.addRow(QStringLiteral("/f"));
        rlimit small = saved;
        small.rlim_cur = 64 * 1024;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        if (method == 1)
            h.runOne(p);
        else
            EXPECT_TRUE(h.runTwo(p));
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
        EXPECT_EQ(h.queue.row(p).State, QueueRow::Failed);
        EXPECT_EQ(h.queue.row(p).Reason, QStringLiteral("磁盘已满"));
        EXPECT_EQ(h.files(), QStringList());
    }
    std::signal(SIGXFSZ, handler);
}

TEST(TransferDisk, RenameRuleFindsTheNextFreeNumber)
{
    TransferHarness h;
    for (const char *name : {"a.pdf", "a[001].pdf"}) {
        QFile f(h.dir.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("%PDF-earlier"); // an empty file would be a leftover, no article
    }
    h.server.serveBody(QStringLiteral("/f"), pdfBody(300), "application/pdf");
    const int p = h.addRow(QStringLiteral("/f"));
    h.runOne(p);
    EXPECT_EQ(h.queue.row(p).Name, QStringLiteral("a[002]"));
    EXPECT_EQ(h.content(QStringLiteral("a[002].pdf")), pdfBody(300));
}

TEST(TransferHeaders, RefererAndSharedCookiesReachTheServer)
{
    TransferHarness h;
    h.server.serveBody(QStringLiteral("/f"), pdfBody(300), "application/pdf");
    QNetworkCookie cookie("session", "s3cret");
    cookie.setDomain(QStringLiteral("127.0.0.1"));
    cookie.setPath(QStringLiteral("/"));
    SharedCookieJar().insertCookie(cookie);

    const int withReferer =
        h.addRow(h.server.url(QStringLiteral("/f?1")), QStringLiteral("a"), QStringLiteral("pdf"),
                 QStringLiteral("http://cinii.example/list?q=1"));
    const int withoutReferer = h.addRow(h.server.url(QStringLiteral("/f?2")), QStringLiteral("b"));
    const int viaTwo =
        h.addRow(h.server.url(QStringLiteral("/f?3&amp;x=1")), QStringLiteral("c"),
                 QStringLiteral("pdf"), QStringLiteral("http://cinii.example/list?q=2"));
    const int viaTwoWithout = h.addRow(h.server.url(QStringLiteral("/f?4")), QStringLiteral("d"));
    h.runOne(withReferer);
    h.runOne(withoutReferer);
    ASSERT_TRUE(h.runTwo(viaTwo));
    ASSERT_TRUE(h.runTwo(viaTwoWithout));

    const QList<RecordedRequest> requests = h.server.requests();
    ASSERT_EQ(requests.size(), 4);
    EXPECT_EQ(requests[0].header("Referer"), "http://cinii.example/list?q=1");
    EXPECT_EQ(requests[1].header("Referer"), h.server.baseUrl().toUtf8());
    EXPECT_EQ(requests[2].target, "/f?3&x=1");
    EXPECT_EQ(requests[2].header("Referer"), "http://cinii.example/list?q=2");
    EXPECT_EQ(requests[3].header("Referer"), h.server.baseUrl().toUtf8());
    for (const RecordedRequest &r : requests)
        EXPECT_TRUE(r.header("Cookie").contains("session=s3cret"));
    SharedCookieJar().deleteCookie(cookie);
}

// Cookies set on the way (by a redirect and by the answer) go into the shared jar, and the next
// hop of the same fetch already sends them.
TEST(TransferHeaders, CookiesSetByRedirectsAndAnswersReachTheJar)
{
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        TransferHarness h;
        h.server.route(
            QStringLiteral("/r"),
            Script::response(302, "", "", {"Location: /f", "Set-Cookie: hop=1; Path=/"}));
        h.server.route(QStringLiteral("/f"), Script::response(200, pdfBody(300), "application/pdf",
                                                              {"Set-Cookie: got=2; Path=/"}));
        const int p = h.addRow(QStringLiteral("/r"));
        if (method == 1)
            h.runOne(p);
        else
            ASSERT_TRUE(h.runTwo(p));
        EXPECT_EQ(h.queue.row(p).State, QueueRow::Finished);
        QByteArray sent;
        for (const RecordedRequest &r : h.server.requests())
            if (r.path == "/f")
                sent = r.header("Cookie");
        EXPECT_TRUE(sent.contains("hop=1")) << sent.constData();
        QStringList names;
        for (const QNetworkCookie &c : SharedCookieJar().cookiesForUrl(QUrl(h.server.baseUrl())))
            names << QString::fromLatin1(c.name());
        EXPECT_TRUE(names.contains(QStringLiteral("hop")) && names.contains(QStringLiteral("got")))
            << names.join(u',').toStdString();
        for (const QNetworkCookie &c : SharedCookieJar().cookiesForUrl(QUrl(h.server.baseUrl())))
            SharedCookieJar().deleteCookie(c);
    }
}

TEST(TransferMethods, StatusTextsAndTheBusyRule)
{
    TransferHarness h;
    QStringList panel2, panel3;
    QObject::connect(&h.session, &DownloadSession::statusText, [&](int panel, const QString &text) {
        (panel == 2 ? panel2 : panel3) << text;
    });
    h.server.serveBody(QStringLiteral("/f"), pdfBody(300), "application/pdf");
    const int p = h.addRow(QStringLiteral("/f"));
    h.runOne(p);
    EXPECT_EQ(panel2, (QStringList{QStringLiteral("正在下载:a"), QStringLiteral("完成下载:a")}));
    EXPECT_TRUE(panel3.contains(TransferStateText(5)));
    EXPECT_EQ(panel3.last(), TransferStateText(12));
    EXPECT_GT(h.session.LastEndTime, 0);

    // busy: the row goes back to waiting
    h.server.route(QStringLiteral("/stall"), Script().stall());
    const int first = h.addRow(h.server.url(QStringLiteral("/stall")), QStringLiteral("s"));
    const int second = h.addRow(h.server.url(QStringLiteral("/f?2")), QStringLiteral("b"));
    h.one.Inet下载当前文件(first);
    ASSERT_TRUE(h.one.isRunning());
    h.one.Inet下载当前文件(second);
    EXPECT_EQ(h.queue.row(second).State, QueueRow::Waiting);
    EXPECT_EQ(h.queue.row(second).Size, QStringLiteral("等待重新下载"));
    h.one.cancel();
    EXPECT_FALSE(h.one.isRunning());
    EXPECT_EQ(h.queue.row(first).State, QueueRow::Failed);

    const MethodSwitch toOne = 切换下载方式(2);
    EXPECT_EQ(toOne.method, 1);
    EXPECT_EQ(toOne.label, QStringLiteral("下载方式：1"));
    EXPECT_FALSE(toOne.threadEnabled);
    const MethodSwitch toTwo = 切换下载方式(1);
    EXPECT_EQ(toTwo.method, 2);
    EXPECT_EQ(toTwo.threadText, QStringLiteral("1"));
    EXPECT_TRUE(toTwo.threadEnabled);
}

TEST(TransferMethods, MethodTwoSlotsAndElementZero)
{
    TransferHarness h;
    h.server.route(QStringLiteral("/slow"),
                   Script().delay(300).send(Script::head("HTTP/1.1 200 OK", {"Content-Length: 300"})
                                            + pdfBody(300)));
    h.addRow(h.server.url(QStringLiteral("/slow?1")), QStringLiteral("a"));
    h.addRow(h.server.url(QStringLiteral("/slow?2")), QStringLiteral("b"));
    h.startTwo(1, 1);
    h.startTwo(2, 2);
    EXPECT_EQ(h.two.LoadedDownloaderCount(), 3);
    // nothing stands under the names before the bodies are whole; the names are held in memory
    EXPECT_EQ(h.files(), QStringList());
    EXPECT_TRUE(h.session.names.isReserved(h.dir.filePath(QStringLiteral("A.PDF"))));
    h.two.DownloadError(0, QStringLiteral("超时"), {});
    h.two.DownloadComplete(0, 1, 1, {});
    EXPECT_EQ(h.queue.row(1).State, QueueRow::Downloading);
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.two.LoadedDownloaderCount() == 1; }, 5000));
    EXPECT_EQ(h.queue.row(1).Percent, QStringLiteral("100%"));
    EXPECT_EQ(h.queue.row(2).State, QueueRow::Finished);

    // a completion short of its announced size ends in state 4
    h.server.route(QStringLiteral("/stall"), Script().stall());
    const int p = h.addRow(h.server.url(QStringLiteral("/stall")), QStringLiteral("c"));
    h.startTwo(p, 4);
    h.two.DownloadComplete(4, 50, 100, {});
    EXPECT_EQ(h.queue.row(p).State, QueueRow::Failed);
    EXPECT_EQ(h.queue.row(p).Percent, QStringLiteral("50%"));
}
