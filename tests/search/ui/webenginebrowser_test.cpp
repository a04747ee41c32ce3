// labels: browser
#include "browser/staticdocument.h"
#include "browser/ui/webenginebrowser.h"
#include "search/resultpage.h"
#include "search/serviceaddress.h"
#include "support/fixturesite.h"
#include "support/htmldocument.h"
#include "support/profiles.h"
#include "support/qtprinters.h"
#include "support/resultpagecases.h"
#include "transfer/sharednetwork.h"

#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int pageLimitMs = 20000;

QByteArray cookieValue(const QNetworkCookieJar &jar, const QString &url, const QByteArray &name)
{
    for (const QNetworkCookie &c : jar.cookiesForUrl(QUrl(url)))
        if (c.name() == name)
            return c.value();
    return {};
}

class BrowserTest : public ::testing::Test
{
protected:
    FixtureSite site;
    QWebEngineProfile profile; // off the record: nothing shared with other test programs
    std::unique_ptr<WebEngineBrowser> browser = std::make_unique<WebEngineBrowser>(&profile);

    void TearDown() override { browser.reset(); }

    // Starts a navigation (or a click) and waits for its top-level document.
    template<typename Start> bool loads(Start start)
    {
        QSignalSpy done(browser.get(), &Browser::DocumentComplete);
        start();
        return done.wait(pageLimitMs);
    }
    bool open(const QString &address)
    {
        return loads([&] { browser->Navigate(address); });
    }
    // Waits until the page at that address has loaded.
    bool settlesAt(const QString &address)
    {
        return QTest::qWaitFor([&] { return browser->URL() == address && !browser->Busy(); },
                               pageLimitMs);
    }
    Element byId(const QString &id) { return browser->Document()->getElementById(id); }
};

QStringList links(const ResultPage &page)
{
    QStringList out;
    for (const ResultEntry &e : page.entries)
        out << e.link;
    return out;
}

} // namespace

TEST_F(BrowserTest, WalksTheFixtureSiteByItsNextLinks)
{
    EXPECT_FALSE(browser->Document()); // nothing loaded yet
    ASSERT_TRUE(open(ServiceSearchPage(legacyProfile(), u"wetland"_s)));
    EXPECT_TRUE(browser->URL().startsWith(site.url(u"/search?q=wetland"_s)));
    EXPECT_TRUE(browser->URL().endsWith(u"&as_filetype=pdf"_s));

    ResultPage first = ExtractPage(*browser, legacyProfile(), u"/tmp/papers/"_s);
    EXPECT_FALSE(first.blocked);
    EXPECT_EQ(links(first),
              QStringList({site.url(u"/pdf/101.pdf"_s), site.url(u"/pdf/102.pdf?a=1&b=2"_s)}));
    ASSERT_EQ(first.entries.size(), 2);
    EXPECT_EQ(first.entries.at(1).title, u"Page one: second article"_s);
    EXPECT_EQ(first.entries.at(1).page, browser->URL());
    EXPECT_EQ(first.entries.at(1).saveFolder, u"/tmp/papers/"_s);

    // Find the next link as the walk does, from one snapshot, and click it on the live page.
    auto findNext = [&] {
        const auto page = browser->Document()->snapshot({u"A"_s}, false);
        for (const Element &a : page->getElementsByTagName(u"A"_s)) {
            const QString title = a.title().trimmed().toLower();
            if (a.className().trimmed().toLower() == u"paging_next btn pagingbtn"
                && (title == u"next" || title == u"次へ"))
                return a;
        }
        return Element();
    };
    for (const QString &expected : {u"/search2.html"_s, u"/search3.html"_s}) {
        Element next = findNext();
        ASSERT_FALSE(next.isNull()) << expected.toStdString();
        ASSERT_TRUE(loads([&] {
            next.click();
            EXPECT_TRUE(browser->Busy()); // from the click on, before the load has begun
        }));
        EXPECT_FALSE(browser->Busy());
        EXPECT_EQ(browser->URL(), site.url(expected));
    }
    EXPECT_TRUE(findNext().isNull()); // the last page's link has the wrong class
    EXPECT_EQ(links(ExtractPage(*browser, legacyProfile(), {})),
              QStringList({site.url(u"/pdf/301.pdf"_s)}));

    ASSERT_TRUE(open(site.url(u"/blocked.html"_s)));
    const ResultPage blocked = ExtractPage(*browser, legacyProfile(), {});
    EXPECT_TRUE(blocked.blocked);
    EXPECT_TRUE(blocked.entries.isEmpty());
}

TEST_F(BrowserTest, ExtractsTheEdgeCasePageAsTheStaticParserDoes)
{
    site.server().serveFile(u"/entries.html"_s, fixturePath(u"resultpages/entries.html"_s),
                            "text/html; charset=utf-8");
    ASSERT_TRUE(open(site.url(u"/entries.html"_s)));
    const ResultPage live = ExtractPage(*browser, legacyProfile(), {});
    const auto parsed =
        test::parseHtml(readFixture(u"resultpages/entries.html"_s), site.url(u"/entries.html"_s));
    const ResultPage fromText = ParseResultPage(parsed.get(), legacyProfile(), {});
    ASSERT_EQ(live.entries.size(), 5);
    ASSERT_EQ(live.entries.size(), fromText.entries.size());
    for (int i = 0; i < live.entries.size(); ++i) {
        EXPECT_EQ(live.entries.at(i).title, fromText.entries.at(i).title) << i;
        EXPECT_EQ(live.entries.at(i).link, fromText.entries.at(i).link) << i;
    }

    // A block-page marker written with character references is a marker to both.
    site.server().serveFile(u"/blocked_references.html"_s,
                            fixturePath(u"resultpages/blocked_references.html"_s),
                            "text/html; charset=utf-8");
    ASSERT_TRUE(open(site.url(u"/blocked_references.html"_s)));
    EXPECT_TRUE(ExtractPage(*browser, legacyProfile(), {}).blocked);
    const auto blocked = test::parseHtml(readFixture(u"resultpages/blocked_references.html"_s),
                                         site.url(u"/blocked_references.html"_s));
    EXPECT_TRUE(ParseResultPage(blocked.get(), legacyProfile(), {}).blocked);
}

TEST_F(BrowserTest, ReadsTheTableOfPagesAndProfilesAsTheStaticDocumentDoes)
{
    for (const ResultPageCase &c : resultPageCases()) {
        SCOPED_TRACE(c.what);
        // Several cases share an address: each answer is the server's, never the cache's.
        site.server().route(c.address, Script::response(c.status, readFixture(c.fixture).toUtf8(),
                                                        "text/html; charset=utf-8",
                                                        {"Cache-Control: no-store"}));
        ASSERT_TRUE(open(u"about:blank"_s));
        ASSERT_TRUE(open(site.url(c.address)));
        EXPECT_EQ(browser->HttpStatus(), c.status);
        const ServiceProfile &profile = builtInProfile(c.profile);
        const ResultPage page = ExtractPage(*browser, profile, {});
        QStringList titles, expectedLinks;
        for (const ResultEntry &e : page.entries) {
            titles << e.title;
            EXPECT_EQ(e.type, c.type);
        }
        for (const QString &l : c.links)
            expectedLinks << (l.startsWith(u"http"_s) ? l : site.url(l));
        EXPECT_EQ(titles, c.titles);
        EXPECT_EQ(links(page), expectedLinks);
        EXPECT_EQ(page.nextAddress, c.next.isEmpty() ? QString() : site.url(c.next));
        EXPECT_EQ(page.blocked, c.blocked);
        EXPECT_EQ(ResultPageNote(page, profile), c.note);
    }
}

TEST_F(BrowserTest, ReportsTheHttpStatusOfThePageOnShowWhenItsLoadEnds)
{
    EXPECT_EQ(browser->HttpStatus(), 0); // nothing loaded
    auto &server = site.server();
    server.route(u"/status/429"_s,
                 Script::response(429, "<html><body>slow down</body></html>", "text/html"));
    server.route(u"/status/503"_s, Script::response(503, {}, "text/html")); // the engine's page
    server.route(u"/status/moved"_s,
                 Script::response(302, {}, "text/html", {"Location: /status/429"}));
    server.route(u"/status/gone"_s,
                 Script::response(404, "<html><body>gone</body></html>", "text/html"));
    struct Case
    {
        QString address;
        int status;
    } cases[] = {
        {site.url(u"/search3.html"_s), 200},
        {site.url(u"/status/429"_s), 429},
        {site.url(u"/status/503"_s), 503},
        {site.url(u"/status/moved"_s), 429}, // the answer of the page shown, after a redirect
        {site.url(u"/status/gone"_s), 404},
        {ScriptedHttpServer::closedPortUrl(u"/x"_s), -1}, // no answer at all
        {u"about:blank"_s, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        // Known when the page wait ends: at the page's DocumentComplete.
        int atComplete = -2;
        const QMetaObject::Connection seen = QObject::connect(
            browser.get(), &Browser::DocumentComplete, [&] { atComplete = browser->HttpStatus(); });
        ASSERT_TRUE(open(c.address));
        QObject::disconnect(seen);
        EXPECT_EQ(atComplete, c.status);
    }
}

TEST_F(BrowserTest, ReportsNavigationTitleAndOnlyTopLevelCompletion)
{
    QSignalSpy before(browser.get(), &Browser::BeforeNavigate2);
    QSignalSpy titles(browser.get(), &Browser::TitleChange);
    QSignalSpy complete(browser.get(), &Browser::DocumentComplete);
    const QString address = site.url(u"/events.html"_s);
    browser->Navigate(address);
    EXPECT_TRUE(browser->Busy());
    ASSERT_TRUE(complete.wait(pageLimitMs));
    QTest::qWait(300); // the frame has time to load too
    EXPECT_FALSE(browser->Busy());
    ASSERT_EQ(before.size(), 1); // the frame's navigation is not the page's
    EXPECT_EQ(before.at(0).at(0).toString(), address);
    ASSERT_EQ(complete.size(), 1);
    EXPECT_TRUE(complete.at(0).at(0).toBool());
    EXPECT_EQ(complete.at(0).at(1).toString(), address);
    ASSERT_FALSE(titles.isEmpty());
    EXPECT_EQ(titles.last().at(0).toString(), u"Events page"_s);

    byId(u"retitle"_s).click();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return titles.last().at(0).toString() == u"新しい題名"_s; }, 5000));

    ASSERT_TRUE(open(u"about:blank"_s));
    const auto blank = browser->Document();
    ASSERT_TRUE(blank);
    EXPECT_EQ(blank->URL(), u"about:blank"_s);
    EXPECT_EQ(blank->getElementsByTagName(u"DIV"_s).length(), 0);
    EXPECT_TRUE(ExtractPage(*browser, legacyProfile(), {}).entries.isEmpty());
}

TEST_F(BrowserTest, NewWindowsOpenInTheSameBrowserAndCloseRequestsAreRefused)
{
    browser->setSilent(true);
    ASSERT_TRUE(open(site.url(u"/events.html"_s)));
    QSignalSpy newWindows(browser.get(), &Browser::NewWindow);
    byId(u"newwindow"_s).click();
    EXPECT_TRUE(settlesAt(site.url(u"/search2.html"_s)));
    ASSERT_EQ(newWindows.size(), 1);
    EXPECT_EQ(newWindows.at(0).at(0).toString(), site.url(u"/search2.html"_s));
    EXPECT_EQ(browser->URL(), site.url(u"/search2.html"_s));

    ASSERT_TRUE(open(site.url(u"/events.html"_s)));
    byId(u"scriptwindow"_s).click();
    EXPECT_TRUE(settlesAt(site.url(u"/search3.html"_s)));

    ASSERT_TRUE(open(site.url(u"/events.html"_s)));
    QSignalSpy closing(browser.get(), &Browser::WindowClosing);
    byId(u"closer"_s)
        .click(); // the engine itself ignores this one (the page was not opened by script)
    QTest::qWait(300);
    emit browser->page()->windowCloseRequested(); // as for a window a script may close
    EXPECT_EQ(closing.size(), 1);
    QTest::qWait(100);
    ASSERT_TRUE(browser->page());
    EXPECT_EQ(byId(u"closer"_s).tagName(), u"BUTTON"_s); // still there, still answering
    EXPECT_TRUE(open(site.url(u"/search3.html"_s)));
}

TEST_F(BrowserTest, SilentSwallowsScriptDialogs)
{
    browser->setSilent(true);
    EXPECT_TRUE(browser->Silent());
    ASSERT_TRUE(open(site.url(u"/events.html"_s)));
    QSignalSpy titles(browser.get(), &Browser::TitleChange);
    byId(u"alerter"_s).click(); // an alert that showed would hold the script up
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !titles.isEmpty() && titles.last().at(0).toString() == u"alerted"_s; }, 5000));
    browser->setSilent(false);
    EXPECT_FALSE(browser->Silent());
}

TEST_F(BrowserTest, FormValuesAreSettableAndClickSubmits)
{
    ASSERT_TRUE(open(site.url(u"/events.html"_s)));
    Element field = byId(u"kw"_s);
    EXPECT_EQ(field.value(), u"start"_s);
    EXPECT_EQ(field.name(), u"q"_s);
    EXPECT_EQ(field.type(), u"text"_s);
    // Inside an element looked up alone, the lookup goes to the page.
    const ElementCollection inputs = byId(u"form"_s).getElementsByTagName(u"input"_s);
    ASSERT_EQ(inputs.length(), 2);
    EXPECT_EQ(inputs.item(1).id(), u"go"_s);
    field.setValue(u"湿地 & 論文"_s);
    EXPECT_EQ(byId(u"kw"_s).value(), u"湿地 & 論文"_s); // read again from the page
    ASSERT_TRUE(loads([&] { byId(u"go"_s).click(); }));
    EXPECT_EQ(browser->URL(),
              site.url(u"/search2.html?q=%E6%B9%BF%E5%9C%B0+%26+%E8%AB%96%E6%96%87"_s));
    // An element of the page before is gone: clicking it does nothing.
    QSignalSpy before(browser.get(), &Browser::BeforeNavigate2);
    field.click();
    field.setValue(u"x"_s);
    QTest::qWait(200);
    EXPECT_TRUE(before.isEmpty());
    EXPECT_FALSE(browser->Busy());
}

TEST_F(BrowserTest, HistoryMovesAndIsIgnoredWhenEmpty)
{
    browser->GoBack(); // nothing loaded: ignored
    browser->GoForward();
    browser->Refresh();
    EXPECT_FALSE(browser->Busy());
    ASSERT_TRUE(open(site.url(u"/search2.html"_s)));
    browser->GoForward(); // no forward history: ignored
    ASSERT_TRUE(open(site.url(u"/search3.html"_s)));
    ASSERT_TRUE(loads([&] { browser->GoBack(); }));
    EXPECT_EQ(browser->URL(), site.url(u"/search2.html"_s));
    ASSERT_TRUE(loads([&] { browser->GoForward(); }));
    EXPECT_EQ(browser->URL(), site.url(u"/search3.html"_s));
    const int before = site.server().requestCount(u"/search3.html"_s);
    ASSERT_TRUE(loads([&] { browser->Refresh(); }));
    EXPECT_GT(site.server().requestCount(u"/search3.html"_s), before);
}

TEST_F(BrowserTest, EveryNavigationEndsBusy)
{
    // A refused connection still completes, with the engine's error page on show.
    ASSERT_TRUE(open(ScriptedHttpServer::closedPortUrl(u"/nothing"_s)));
    EXPECT_FALSE(browser->Busy());
    EXPECT_TRUE(ExtractPage(*browser, legacyProfile(), {}).entries.isEmpty());

    // A move to a fragment of the page on show loads nothing and completes at once.
    ASSERT_TRUE(open(site.url(u"/events.html"_s)));
    ASSERT_TRUE(open(site.url(u"/events.html#form"_s)));
    EXPECT_FALSE(browser->Busy());
    EXPECT_EQ(browser->URL(), site.url(u"/events.html#form"_s));

    // A link whose click is cancelled by the page never loads: Busy lets go after the grace.
    browser->setClickNavigationGrace(300);
    ASSERT_TRUE(open(site.url(u"/events.html"_s)));
    browser->evaluate(
        u"document.getElementById('newwindow').addEventListener('click', function(e) { e.preventDefault(); });"_s);
    byId(u"newwindow"_s).click();
    EXPECT_FALSE(browser->Busy()); // the click saw the cancel: no navigation expected

    // A navigation that turns into a download leaves the page as it was and ends Busy.
    site.server().serveBody(u"/paper.bin"_s, QByteArray(1000, 'x'), "application/octet-stream",
                            {"Content-Disposition: attachment; filename=paper.bin"});
    browser->Navigate(site.url(u"/paper.bin"_s));
    EXPECT_TRUE(browser->Busy());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !browser->Busy(); }, 5000));
}

// A cookie the browser receives reaches the transfers' jar; a cookie a server sets on a transfer
// reaches the browser with its host and path, and so does its deletion.
TEST_F(BrowserTest, CookiesGoBothWaysBetweenTheBrowserAndTheTransfers)
{
    QNetworkAccessManager transfers;
    auto *jar = new TransferCookieJar; // the manager takes it
    transfers.setCookieJar(jar);
    CookieBridge bridge(&profile, jar);
    site.server().route(u"/login"_s,
                        Script::response(200, "<html><body>ok</body></html>", "text/html",
                                         {"Set-Cookie: sid=abc123; Path=/"}));
    ASSERT_TRUE(open(site.url(u"/login"_s)));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return cookieValue(*jar, site.url(u"/pdf/101.pdf"_s), "sid") == "abc123"; }, 5000));

    // No domain and no path: a cookie of this host under /pdf only.
    site.server().routeSequence(
        u"/pdf/ticket.pdf"_s,
        {Script::response(200, "%PDF-1.4", "application/pdf", {"Set-Cookie: ticket=t-42"}),
         Script::response(200, "%PDF-1.4", "application/pdf",
                          {"Set-Cookie: ticket=gone; Max-Age=0"})});
    site.server().serveBody(u"/pdf/view.html"_s, "<html><body>view</body></html>", "text/html");
    const auto transfer = [&](auto storeSignal) {
        QSignalSpy told(profile.cookieStore(), storeSignal);
        std::unique_ptr<QNetworkReply> reply(
            transfers.get(QNetworkRequest(QUrl(site.url(u"/pdf/ticket.pdf"_s)))));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        EXPECT_TRUE(finished.wait(5000));
        return QTest::qWaitFor(
            [&] {
                for (const QList<QVariant> &args : told)
                    if (args.at(0).value<QNetworkCookie>().name() == "ticket")
                        return true;
                return false;
            },
            5000);
    };
    const auto cookiesSentTo = [&](const QString &path) {
        site.server().clearRequests();
        EXPECT_TRUE(open(site.url(path)));
        // Not the first request: a late favicon request of the page before may come first.
        for (const RecordedRequest &r : site.server().requests())
            if (QString::fromUtf8(r.path) == path)
                return r.header("Cookie");
        return QByteArray("none");
    };
    ASSERT_TRUE(transfer(&QWebEngineCookieStore::cookieAdded));
    const QByteArray underPdf = cookiesSentTo(u"/pdf/view.html"_s);
    EXPECT_TRUE(underPdf.contains("sid=abc123")) << underPdf.constData();
    EXPECT_TRUE(underPdf.contains("ticket=t-42")) << underPdf.constData();
    EXPECT_FALSE(cookiesSentTo(u"/search2.html"_s).contains("ticket")) << "its path is /pdf";

    ASSERT_TRUE(transfer(&QWebEngineCookieStore::cookieRemoved));
    const QByteArray afterDeletion = cookiesSentTo(u"/pdf/view.html"_s);
    EXPECT_TRUE(afterDeletion.contains("sid=abc123")) << afterDeletion.constData();
    EXPECT_FALSE(afterDeletion.contains("ticket")) << afterDeletion.constData();
}

// The program's profile and the transfers' shared jar are bridged from the start, both ways.
TEST(ProgramBrowser, SharesItsCookiesWithTheTransfers)
{
    FixtureSite site;
    site.server().route(u"/session"_s,
                        Script::response(200, "<html><body>ok</body></html>", "text/html",
                                         {"Set-Cookie: session=s-77; Path=/"}));
    site.server().route(u"/pdf/given.pdf"_s, Script::response(200, "%PDF-1.4", "application/pdf",
                                                              {"Set-Cookie: given=g-5; Path=/"}));
    auto browser = std::make_unique<WebEngineBrowser>(); // the program's own profile
    QSignalSpy done(browser.get(), &Browser::DocumentComplete);
    browser->Navigate(site.url(u"/session"_s));
    ASSERT_TRUE(done.wait(pageLimitMs));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return cookieValue(SharedCookieJar(), site.url(u"/pdf/101.pdf"_s), "session") == "s-77";
        },
        5000));
    EXPECT_EQ(programBrowserProfile(), programBrowserProfile());

    QSignalSpy added(programBrowserProfile()->cookieStore(), &QWebEngineCookieStore::cookieAdded);
    std::unique_ptr<QNetworkReply> reply(SharedNetworkManager().get(
        MakeTransferRequest(QUrl(site.url(u"/pdf/given.pdf"_s)), {}, false)));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            for (const QList<QVariant> &args : added)
                if (args.at(0).value<QNetworkCookie>().name() == "given")
                    return true;
            return false;
        },
        5000));
    site.server().clearRequests();
    browser->Navigate(site.url(u"/search2.html"_s));
    ASSERT_TRUE(done.wait(pageLimitMs));
    QByteArray sent;
    for (const RecordedRequest &r : site.server().requests())
        if (r.path == "/search2.html")
            sent = r.header("Cookie");
    EXPECT_TRUE(sent.contains("given=g-5")) << sent.constData();
}
