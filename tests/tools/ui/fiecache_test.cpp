// labels: gui browser
#include "browser/ui/webenginebrowser.h"
#include "foundation/programvalues.h"
#include "support/fixturesite.h"
#include "support/recordingprompts.h"
#include "support/scriptedhttpserver.h"
#include "support/simplecachefiles.h"
#include "support/tempsettings.h"
#include "support/testfiles.h"
#include "tools/simplecache.h"
#include "tools/ui/fiecache.h"
#include "tools/ui/formcopymove.h"

#include <QApplication>
#include <QComboBox>
#include <QDirIterator>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWebEngineProfile>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

int entryFileCount(const QString &folder)
{
    int n = 0;
    for (QDirIterator it(folder, {u"*_0"_s}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext(); it.next())
        ++n;
    return n;
}

// A small site with two pages (the second gzip-encoded) and a PDF, as a static server sends
// them.
struct Site
{
    ScriptedHttpServer server;
    QByteArray page2 = "<html><head><title>two</title></head><body>第二页 page two</body></html>";
    QByteArray pdf;

    Site()
    {
        pdf = "%PDF-1.4\n";
        QRandomGenerator random(7);
        for (int i = 0; i < 50000; ++i)
            pdf += char(random.bounded(256));
        pdf += "\n%%EOF\n";
        const QByteArray modified = "Last-Modified: Mon, 01 Jan 2024 00:00:00 GMT";
        server.serveBody(u"/site/index.html"_s,
                         "<html><head><title>one</title></head><body><a href='page2.html'>2</a>"
                         "<a href='paper.pdf'>pdf</a></body></html>",
                         "text/html", {modified});
        server.serveBody(u"/site/page2.html"_s, gzipBytes(page2), "text/html; charset=utf-8",
                         {modified, "Content-Encoding: gzip"});
        server.serveBody(u"/site/paper.pdf"_s, pdf, "application/pdf", {modified});
    }
};

template<typename T> T *child(QWidget &w, const QString &name)
{
    return w.findChild<T *>(name);
}

QStringList urls(QTreeView *list)
{
    QStringList out;
    for (int r = 0; r < list->model()->rowCount(); ++r)
        out << list->model()->index(r, 0).data().toString();
    return out;
}

int rowOf(QTreeView *list, const QString &url)
{
    return int(urls(list).indexOf(url));
}

void selectRow(QTreeView *list, int row)
{
    list->selectionModel()->select(list->model()->index(row, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QString cell(QTreeView *list, int row, int column)
{
    return list->model()->index(row, column).data().toString();
}

// Answers the copy tool once it shows (the bodies are decoded before it does): the folder
// typed, "开始", then "关闭" once its end message is there.
void copyWhenShown(RecordingPrompts &prompts, const QString &folder, QString *title,
                   int tries = 2000)
{
    QTimer::singleShot(5, [&prompts, folder, title, tries] {
        auto *copy = qobject_cast<FormCopyMove *>(QApplication::activeModalWidget());
        if (!copy) {
            if (tries > 0)
                copyWhenShown(prompts, folder, title, tries - 1);
            return;
        }
        *title = copy->windowTitle();
        const qsizetype before = prompts.shown.size();
        child<QComboBox>(*copy, u"Combo1"_s)->setEditText(folder);
        QTest::mouseClick(child<QPushButton>(*copy, u"Command1"_s), Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return prompts.shown.size() > before; }, 10000));
        QTest::mouseClick(child<QPushButton>(*copy, u"Command2"_s), Qt::LeftButton);
    });
}

} // namespace

// The program's browser fetches two pages and a PDF; the viewer lists them, copies the PDF out
// byte for byte and deletes the entries.
TEST(CacheViewerWindow, ListsCopiesAndDeletesWhatTheBrowserFetched)
{
    TempSettings settings;
    Site site;
    WebEngineBrowser browser;
    const QString cacheFolder = programBrowserProfile()->cachePath();
    const QString index = site.server.url(u"/site/index.html"_s);
    const QString page2 = site.server.url(u"/site/page2.html"_s);
    const QString pdf = site.server.url(u"/site/paper.pdf"_s);
    for (const QString &page : {index, page2}) {
        QSignalSpy done(&browser, &Browser::DocumentComplete);
        browser.Navigate(page);
        ASSERT_TRUE(done.wait(20000)) << qPrintable(page);
    }
    browser.Navigate(pdf); // a user opening the PDF link
    // The engine writes an entry when it closes it: wait until all three are whole.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QStringList found;
            for (const SimpleCacheEntry &e : ListSimpleCacheEntries(cacheFolder)) {
                if (e.url != pdf || e.bodySize == site.pdf.size())
                    found << e.url;
            }
            return found.contains(index) && found.contains(page2) && found.contains(pdf);
        },
        30000));

    CacheViewerPlaces places;
    places.cacheFolder = cacheFolder;
    places.homeFolder = QDir::homePath();
    places.systemDescription =
        u"Debian GNU/Linux 12 (bookworm) 版本:12 (内部版本:6.1.0-27)[64位]"_s;
    RecordingPrompts prompts;
    FIEcache window(places, prompts);
    window.show();
    EXPECT_EQ(window.windowTitle(), u"IE浏览器Cookie 缓存和历史列表-澄川文献管家"_s);
    EXPECT_EQ(child<QLabel>(window, u"Label1"_s)->text(), u"000"_s);
    auto *list = child<QTreeView>(window, u"ListView1"_s);
    QTest::mouseClick(child<QPushButton>(window, u"Command1"_s), Qt::LeftButton);

    const int pdfRow = rowOf(list, pdf);
    const int page2Row = rowOf(list, page2);
    ASSERT_GE(pdfRow, 0) << qPrintable(urls(list).join(u'\n'));
    ASSERT_GE(page2Row, 0);
    ASSERT_GE(rowOf(list, index), 0);
    EXPECT_EQ(child<QLabel>(window, u"Label1"_s)->text(),
              u"共有"_s + QString::number(list->model()->rowCount()) + u" 个文件"_s);
    EXPECT_EQ(cell(list, pdfRow, 1), u"pdf"_s);
    EXPECT_EQ(cell(list, pdfRow, 2), QString::number(site.pdf.size()));
    // The entry's own file: listing decodes nothing.
    const QString pdfEntry = QDir::fromNativeSeparators(cell(list, pdfRow, 3));
    EXPECT_TRUE(pdfEntry.startsWith(QDir(cacheFolder).path() + u'/')) << qPrintable(pdfEntry);
    EXPECT_TRUE(pdfEntry.endsWith(u"_0"_s));

    // "复制选中..." decodes the two bodies and hands them to the copy tool: the PDF unchanged,
    // the gzip page as the page itself.
    QTemporaryDir out;
    list->selectionModel()->select(list->model()->index(pdfRow, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list->selectionModel()->select(list->model()->index(page2Row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QString copyTitle;
    copyWhenShown(prompts, out.path(), &copyTitle);
    QTest::mouseClick(child<QPushButton>(window, u"Command6"_s), Qt::LeftButton);
    EXPECT_EQ(copyTitle, u"复制文件：2 个文件..."_s);
    EXPECT_EQ(prompts.messages(), QStringList{u"复制文件完成！"_s});
    EXPECT_EQ(readFile(out.filePath(u"paper.pdf"_s)), site.pdf);
    EXPECT_EQ(readFile(out.filePath(u"page2.html"_s)), site.page2);

    // Deleting the PDF's row removes its entry from the cache and its row from the list.
    const int entriesBefore = entryFileCount(cacheFolder);
    selectRow(list, rowOf(list, pdf));
    QTest::mouseClick(child<QPushButton>(window, u"Command2"_s), Qt::LeftButton);
    EXPECT_EQ(rowOf(list, pdf), -1);
    EXPECT_GE(rowOf(list, page2), 0);
    EXPECT_EQ(entryFileCount(cacheFolder), entriesBefore - 1);
    EXPECT_FALSE(QFileInfo::exists(pdfEntry));
    for (const SimpleCacheEntry &e : ListSimpleCacheEntries(cacheFolder))
        EXPECT_NE(e.url, pdf);

    QTest::mouseClick(child<QPushButton>(window, u"Command3"_s), Qt::LeftButton);
    EXPECT_EQ(list->model()->rowCount(), 0);
    EXPECT_EQ(child<QLabel>(window, u"Label1"_s)->text(), u"共有0 个文件"_s);
    EXPECT_EQ(entryFileCount(cacheFolder), 0);
    EXPECT_EQ(prompts.shown.size(), 1); // nothing had vanished
}

// A 3 KB entry that decodes to 4 GiB: listed at its stored size at once, refused on copy-out
// with a message once it passes the size limit of the options; the other file is copied.
TEST(CacheViewerWindow, ABodyOverTheSizeLimitIsRefusedWhenCopiedOut)
{
    TempSettings settings;
    QTemporaryDir home;
    const QString cache = home.filePath(u".cache/papyrant/"_s);
    writeFile(cache + u"Cache/Cache_Data/0000000000000001_0"_s,
              simpleCacheEntryBytes("1/0/http://h/bomb.html",
                                    readFile(fixturePath(u"cache/zeros-4gib.br"_s)),
                                    "HTTP/1.1 200 OK\nContent-Encoding: br\n\n"));
    writeFile(
        cache + u"Cache/Cache_Data/0000000000000002_0"_s,
        simpleCacheEntryBytes("1/0/http://h/paper.pdf", "%PDF-1.7 small", "HTTP/1.1 200 OK\n\n"));
    CacheViewerPlaces places;
    places.cacheFolder = cache;
    places.homeFolder = home.path();
    RecordingPrompts prompts;
    const double limitBefore = MaxFileSizeMB();
    setMaxFileSizeMB(2);
    FIEcache window(places, prompts);
    window.show();
    auto *list = child<QTreeView>(window, u"ListView1"_s);
    QTest::mouseClick(child<QPushButton>(window, u"Command1"_s), Qt::LeftButton);
    ASSERT_EQ(urls(list), QStringList({u"http://h/bomb.html"_s, u"http://h/paper.pdf"_s}));
    EXPECT_LT(cell(list, 0, 2).toInt(), 4000);

    // While the bomb is decoded the window keeps working: its label follows the files.
    QStringList labels;
    QObject::connect(&window.cacheExport(), &CacheExport::fileStarted, &window,
                     [&] { labels << child<QLabel>(window, u"Label1"_s)->text(); });
    list->selectAll();
    QTemporaryDir out;
    QString copyTitle;
    copyWhenShown(prompts, out.path(), &copyTitle);
    QTest::mouseClick(child<QPushButton>(window, u"Command6"_s), Qt::LeftButton);
    setMaxFileSizeMB(limitBefore);
    EXPECT_EQ(labels,
              QStringList({u"正在准备复制：1/2 bomb.html"_s, u"正在准备复制：2/2 paper.pdf"_s}));
    EXPECT_EQ(child<QLabel>(window, u"Label1"_s)->text(), u"共有2 个文件"_s);
    ASSERT_EQ(prompts.shown.size(), 2);
    EXPECT_EQ(prompts.shown[0].text, u"有 1 个文件解码后超过文件最大值 2 MB，未复制：bomb.html"_s);
    EXPECT_EQ(prompts.shown[0].icon, Prompts::Icon::Warning);
    EXPECT_EQ(prompts.shown[1].text, u"复制文件完成！"_s);
    EXPECT_EQ(copyTitle, u"复制文件：1 个文件..."_s);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"paper.pdf"_s});
    EXPECT_EQ(readFile(out.filePath(u"paper.pdf"_s)), "%PDF-1.7 small");
}
