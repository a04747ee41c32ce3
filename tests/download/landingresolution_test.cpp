// labels: integration
// Landing pages turned into their full text by the real download engine (scheduler, both
// methods) against a local server that plays the pages of the fixtures.
#include "download/landingresolution.h"
#include "support/fixturesite.h"
#include "support/qtprinters.h"
#include "support/testfiles.h"
#include "transferharness.h"

#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// A landing page of the fixtures as if the local server were its site: its own host's
// addresses point at the server.
QByteArray landingFixture(const QString &file, const QString &host, const QString &base)
{
    QByteArray page = readFile(fixturePath(u"landing/"_s + file));
    return page.replace(host.toUtf8(), base.toUtf8());
}

QByteArray htmlPage(const QByteArray &title, const QByteArray &head = {})
{
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title + "</title>" + head
           + "</head><body><p>" + title + "</p></body></html>";
}

struct Served
{
    QString path;
    QByteArray body;
    QByteArray type;
};

struct LandingCase
{
    const char *label;
    QString landingPath; // the row's link
    std::function<QByteArray(const QString &base)> landing;
    std::function<QList<Served>(const QString &base)> more; // what the links lead to
    QString pdfPath; // the request that answers the PDF; empty when none does
    QString reason;  // the row's reason when no PDF comes
};

} // namespace

TEST(LandingResolution, EachKindOfPageEndsAsItsPdfOrItsReasonInBothMethods)
{
    const QByteArray pdf = pdfBody(3000);
    const QList<LandingCase> cases = {
        {"J-STAGE citation_pdf_url",
         u"/article/jjsp/19/1/19_1_1/_article/-char/ja/"_s,
         [](const QString &b) {
             return landingFixture(u"jstage_article.html"_s, u"https://www.jstage.jst.go.jp"_s, b);
         },
         {},
         u"/article/jjsp/19/1/19_1_1/_pdf/-char/ja"_s,
         {}},
        {"WEKO /files/",
         u"/records/2000123"_s,
         [](const QString &b) {
             return landingFixture(u"weko_record.html"_s, u"https://repository.example.ac.jp"_s, b);
         },
         {},
         u"/records/2000123/files/KJ00012345.pdf"_s,
         {}},
        {"DSpace /bitstream/",
         u"/dspace/handle/2261/12345"_s,
         [](const QString &b) {
             return landingFixture(u"dspace_item.html"_s, u"https://dspace.example.ac.jp"_s, b);
         },
         {},
         u"/dspace/bitstream/2261/12345/1/thesis.pdf"_s,
         {}},
        {"link rel=alternate only",
         u"/index.php/jx/article/view/77"_s,
         [](const QString &b) {
             return landingFixture(u"alternate_only.html"_s, u"https://journal.example.org"_s, b);
         },
         {},
         u"/index.php/jx/download/77/123"_s,
         {}},
        {"two citation_pdf_url, the first a page",
         u"/doi/10.1234/abc"_s,
         [](const QString &b) {
             return landingFixture(u"two_citations.html"_s, u"https://publisher.example.com"_s, b);
         },
         [](const QString &) {
             return QList<Served>{{u"/doi/pdf/10.1234/abc"_s, htmlPage("Reader"), "text/html"}};
         },
         u"/doi/pdfdirect/10.1234/abc"_s,
         {}},
        {"no full-text link",
         u"/doi/10.1234/none"_s,
         [](const QString &b) {
             return landingFixture(u"none.html"_s, u"https://publisher.example.com"_s, b);
         },
         {},
         {},
         PageReason::noPdfLink()},
        {"login page",
         u"/idp/profile/SAML2/Redirect/SSO"_s,
         [](const QString &b) {
             return landingFixture(u"login.html"_s, u"https://idp.example.ac.jp"_s, b);
         },
         {},
         {},
         PageReason::loginPage()},
        // Landing page -> page -> page: the second page is not read, so neither its link on
        // nor the way back to the landing page is taken.
        {"two hops at most",
         u"/l"_s,
         [](const QString &b) {
             return htmlPage("Landing",
                             "<meta name=\"citation_pdf_url\" content=\"" + b.toUtf8() + "/p1\">");
         },
         [](const QString &b) {
             const QByteArray base = b.toUtf8();
             return QList<Served>{
                 {u"/p1"_s,
                  htmlPage("Viewer",
                           "<link rel=\"alternate\" type=\"application/pdf\" href=\"/p2\">"
                           "<meta name=\"citation_pdf_url\" content=\""
                               + base + "/l\">"),
                  "text/html"},
                 {u"/p2"_s,
                  htmlPage("Frame", "<meta name=\"citation_pdf_url\" content=\"" + base + "/p3\">"),
                  "text/html"},
                 {u"/p3"_s, pdfBody(500), "application/pdf"}};
         },
         {},
         PageReason::noPdfLink()},
    };

    for (int method : {1, 2}) {
        for (const LandingCase &c : cases) {
            SCOPED_TRACE(std::string(c.label) + " method " + std::to_string(method));
            TransferHarness h;
            h.session.method = method;
            DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
            const QString base = h.server.baseUrl();
            h.server.serveBody(c.landingPath, c.landing(base), "text/html; charset=utf-8");
            if (c.more)
                for (const Served &s : c.more(base))
                    h.server.serveBody(s.path, s.body, s.type);
            if (!c.pdfPath.isEmpty())
                h.server.serveBody(c.pdfPath, pdf, "application/pdf");
            const QString landingUrl = h.server.url(c.landingPath);
            // A row of a search result whose link is a landing page, and one ordinary PDF row
            // beside it that shares the slots.
            h.addRow(c.landingPath, u"湿地の論文"_s, u"LINK"_s, h.server.url(u"/search"_s));
            h.server.serveBody(u"/plain.pdf"_s, pdfBody(900), "application/pdf");
            h.addRow(u"/plain.pdf"_s, u"other"_s);
            ASSERT_TRUE(RunQueue(h, scheduler));

            const QueueRow &row = h.queue.row(1);
            EXPECT_EQ(h.queue.row(2).State, QueueRow::Finished);
            EXPECT_EQ(h.server.requestCount(c.landingPath), 1);
            if (!c.pdfPath.isEmpty()) {
                EXPECT_EQ(row.State, QueueRow::Finished);
                EXPECT_EQ(row.Type, u"pdf"_s);
                EXPECT_EQ(row.Reason, QString());
                EXPECT_EQ(row.Referer, landingUrl);
                EXPECT_EQ(h.files(), (QStringList{u"other.pdf"_s, u"湿地の論文.pdf"_s}));
                EXPECT_EQ(h.content(u"湿地の論文.pdf"_s), pdf);
                EXPECT_EQ(h.server.requestCount(c.pdfPath), 1);
                for (const RecordedRequest &r : h.server.requests()) {
                    if (r.path == c.pdfPath.toUtf8()) {
                        EXPECT_EQ(r.header("Referer"), landingUrl.toUtf8());
                    }
                }
            } else {
                // The landing page stays as the row's page, with the reason.
                EXPECT_EQ(row.State, QueueRow::Finished);
                EXPECT_EQ(row.Type, u"htm"_s);
                EXPECT_EQ(row.Reason, c.reason);
                EXPECT_EQ(row.Urls, landingUrl);
                EXPECT_EQ(row.Referer, h.server.url(u"/search"_s));
                EXPECT_EQ(h.files(), (QStringList{u"other.pdf"_s, u"湿地の論文.htm"_s}));
                ASSERT_TRUE(row.Committed);
                EXPECT_EQ(row.Committed->path, h.folder() + u"湿地の論文.htm"_s);
                EXPECT_EQ(h.server.requestCount(u"/p3"_s), 0);
            }
            for (const RecordedRequest &r : h.server.requests())
                EXPECT_LE(h.server.requestCount(QString::fromUtf8(r.path)), 1)
                    << r.path.constData();
        }
    }
}

// A link that fails (404) is passed over for the next; when every link fails the row is its
// landing page again, failed with the last transfer's reason, so that a re-download fetches
// the page anew.
TEST(LandingResolution, FailingLinksFallBackToTheLandingPage)
{
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        TransferHarness h;
        h.session.method = method;
        DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
        const QByteArray base = h.server.baseUrl().toUtf8();
        h.server.serveBody(u"/rec"_s,
                           htmlPage("Record", "<meta name=\"citation_pdf_url\" content=\"" + base
                                                  + "/gone.pdf\">"),
                           "text/html");
        h.addRow(u"/rec"_s, u"rec"_s, u"LINK"_s);
        ASSERT_TRUE(RunQueue(h, scheduler));
        const QueueRow &row = h.queue.row(1);
        EXPECT_EQ(row.State, QueueRow::Failed);
        EXPECT_TRUE(row.Reason.startsWith(u"HTTP 404"_s)) << row.Reason.toStdString();
        EXPECT_EQ(row.Urls, h.server.url(u"/rec"_s));
        EXPECT_EQ(h.files(), QStringList{u"rec.htm"_s});
        EXPECT_EQ(h.server.requestCount(u"/gone.pdf"_s), 1);
    }
}

// Why a saved answer is not the article, and whether "自动重新下载" (both rules) fetches it
// again: a retry mends an error, a cut-off PDF and a CAPTCHA page, not a login page unless a
// login runs, nor a page that names no full text. (A 429 answer is no saved answer: the row
// waits for its host's rest, see the per-host tests.)
TEST(LandingResolution, SavedAnswersGiveTheirReasonAndTheRedownloadChoice)
{
    struct Answer
    {
        const char *name;
        Script script;
        QueueRow::StateValue state;
        QString reason;
        bool retried;
        bool retriedWithLogin;
    };
    const QByteArray cut = pdfBody(4000).left(3000); // no "%%EOF" at its end
    const auto page = [](const QByteArray &body) {
        return Script::response(200, body, "text/html; charset=utf-8");
    };
    const QList<Answer> answers = {
        {"login", page(readFile(fixturePath(u"landing/login.html"_s))), QueueRow::Finished,
         PageReason::loginPage(), false, true},
        {"captcha", page(readFile(fixturePath(u"landing/captcha.html"_s))), QueueRow::Failed,
         PageReason::challengePage(), true, true},
        {"errorpage", page(htmlPage("404 Not Found")), QueueRow::Failed, PageReason::errorPage(),
         true, true},
        {"truncated", Script::response(200, cut, "application/pdf"), QueueRow::Failed,
         PageReason::truncatedPdf(), true, true},
        {"whole", Script::response(200, pdfBody(4000), "application/pdf"), QueueRow::Finished,
         QString(), false, false},
        {"nolink", page(readFile(fixturePath(u"landing/none.html"_s))), QueueRow::Finished,
         PageReason::noPdfLink(), false, false},
    };
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        TransferHarness h;
        h.session.method = method;
        h.session.options.threadCount = 4;
        DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
        for (const Answer &a : answers) {
            const QString path = u'/' + QString::fromLatin1(a.name);
            h.server.route(path, a.script);
            h.addRow(path, QString::fromLatin1(a.name));
        }
        ASSERT_TRUE(RunQueue(h, scheduler));
        for (int i = 0; i < answers.size(); ++i) {
            const Answer &a = answers[i];
            SCOPED_TRACE(a.name);
            const QueueRow &row = h.queue.row(i + 1);
            EXPECT_EQ(row.State, a.state);
            EXPECT_EQ(row.Reason, a.reason);
            EXPECT_EQ(AutoRedownloadPicks(row, 2, false), a.retried);
            EXPECT_EQ(AutoRedownloadPicks(row, 2, true), a.retriedWithLogin);
        }
        // The cut-off PDF is kept aside, with no file under the article's name.
        EXPECT_EQ(h.files(), (QStringList{u"captcha.htm"_s, u"errorpage.htm"_s, u"login.htm"_s,
                                          u"nolink.htm"_s, u"truncated.part"_s, u"whole.pdf"_s}));
        // Put back, a row's own file goes with it: the .part and the pages saved as failures.
        EXPECT_EQ(自动重新下载(h.queue, 2, false), 3);
        EXPECT_EQ(h.files(), (QStringList{u"login.htm"_s, u"nolink.htm"_s, u"whole.pdf"_s}));
        EXPECT_EQ(h.queue.row(4).Type, u"pdf"_s);
    }
}
