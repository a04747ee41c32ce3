// labels: gui browser
#include "browser/ui/webenginebrowser.h"
#include "support/recordingprompts.h"
#include "support/scriptedhttpserver.h"
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
#include <zlib.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray gzip(const QByteArray &data)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&z, uLong(data.size()))) + 32, Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

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
        server.serveBody(u"/site/page2.html"_s, gzip(page2), "text/html; charset=utf-8",
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
    const QString pdfBody = QDir::fromNativeSeparators(cell(list, pdfRow, 3));
    EXPECT_EQ(QFileInfo(pdfBody).fileName(), u"paper.pdf"_s);
    EXPECT_EQ(readFile(pdfBody), site.pdf);
    // The gzip page comes out as the page itself.
    EXPECT_EQ(readFile(QDir::fromNativeSeparators(cell(list, page2Row, 3))), site.page2);

    // "复制选中..." hands the PDF to the copy tool, which copies it out unchanged.
    QTemporaryDir out;
    selectRow(list, pdfRow);
    QString copyTitle;
    QTimer::singleShot(0, [&] {
        auto *copy = qobject_cast<FormCopyMove *>(QApplication::activeModalWidget());
        ASSERT_TRUE(copy);
        copyTitle = copy->windowTitle();
        child<QComboBox>(*copy, u"Combo1"_s)->setEditText(out.path());
        QTest::mouseClick(child<QPushButton>(*copy, u"Command1"_s), Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !prompts.shown.isEmpty(); }, 10000));
        QTest::mouseClick(child<QPushButton>(*copy, u"Command2"_s), Qt::LeftButton);
    });
    QTest::mouseClick(child<QPushButton>(window, u"Command6"_s), Qt::LeftButton);
    EXPECT_EQ(copyTitle, u"复制文件：1 个文件..."_s);
    EXPECT_EQ(prompts.messages(), QStringList{u"复制文件完成！"_s});
    EXPECT_EQ(readFile(out.filePath(u"paper.pdf"_s)), site.pdf);

    // Deleting the PDF's row removes its entry from the cache and its row from the list.
    const int entriesBefore = entryFileCount(cacheFolder);
    selectRow(list, rowOf(list, pdf));
    QTest::mouseClick(child<QPushButton>(window, u"Command2"_s), Qt::LeftButton);
    EXPECT_EQ(rowOf(list, pdf), -1);
    EXPECT_GE(rowOf(list, page2), 0);
    EXPECT_EQ(entryFileCount(cacheFolder), entriesBefore - 1);
    EXPECT_FALSE(QFileInfo::exists(pdfBody));
    for (const SimpleCacheEntry &e : ListSimpleCacheEntries(cacheFolder))
        EXPECT_NE(e.url, pdf);

    QTest::mouseClick(child<QPushButton>(window, u"Command3"_s), Qt::LeftButton);
    EXPECT_EQ(list->model()->rowCount(), 0);
    EXPECT_EQ(child<QLabel>(window, u"Label1"_s)->text(), u"共有0 个文件"_s);
    EXPECT_EQ(entryFileCount(cacheFolder), 0);
    EXPECT_EQ(prompts.shown.size(), 1); // nothing had vanished
}
