// labels: browser
#include "browser/ui/webenginebrowser.h"
#include "foundation/settings.h"
#include "search/serviceaddress.h"
#include "support/fixturesite.h"
#include "support/qtprinters.h"
#include "support/searchrig.h"
#include "support/tempsettings.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWebEngineProfile>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int pageLimitMs = 20000;

// The search window's logic over the real engine and the local fixture site.
class SearchRoad : public ::testing::Test
{
protected:
    FixtureSite site;
    QWebEngineProfile profile; // off the record
    std::unique_ptr<WebEngineBrowser> browser = std::make_unique<WebEngineBrowser>(&profile);
    std::unique_ptr<SearchRig> rig = std::make_unique<SearchRig>(browser.get());

    void SetUp() override
    {
        rig->session->limits.pageWaitMs = pageLimitMs;
        rig->session->limits.searchPageWaitMs = pageLimitMs;
    }
    void TearDown() override
    {
        rig.reset();
        browser.reset();
    }

    bool open(const QString &address)
    {
        QSignalSpy done(browser.get(), &Browser::DocumentComplete);
        browser->Navigate(address);
        return done.wait(pageLimitMs);
    }
    QStringList links() const
    {
        QStringList out;
        for (const SearchRow &row : rig->list().rows())
            out << row.Link;
        return out;
    }
    QStringList siteLinks(const QStringList &paths) const
    {
        QStringList out;
        for (const QString &p : paths)
            out << site.url(p);
        return out;
    }
};

const QStringList allPdfs = {u"/pdf/101.pdf"_s, u"/pdf/102.pdf?a=1&b=2"_s, u"/pdf/201.pdf"_s,
                             u"/pdf/202.pdf"_s, u"/pdf/301.pdf"_s};

} // namespace

// Steps 1 to 3 of an article's road: the picker, the walk over every result page, and the
// hand-over into the download queue.
TEST_F(SearchRoad, WalkEveryPageThenHandEveryRowToTheQueue)
{
    ASSERT_TRUE(open(ServiceSearchPage(legacyProfile(), u"wetland"_s)));
    const QString firstPage = browser->URL();
    rig->picker.folder = u"/tmp/papers/"_s;

    rig->walk->Command4Click();

    EXPECT_EQ(links().join(u'\n'), siteLinks(allPdfs).join(u'\n'));
    EXPECT_EQ(browser->URL(), site.url(u"/search3.html"_s));
    EXPECT_EQ(rig->walk->state(), RunButtonState::Idle);
    EXPECT_EQ(rig->picker.shown, 1);

    rig->analysis->run(AnalysisCommands::Command::All);
    DownloadQueue &queue = rig->owner.queueStore;
    ASSERT_EQ(queue.count(), 5);
    for (int p = 1; p <= queue.count(); ++p) {
        const QueueRow &row = queue.row(p);
        SCOPED_TRACE(row.Urls.toStdString());
        EXPECT_EQ(row.Urls, site.url(allPdfs.at(p - 1)));
        EXPECT_EQ(row.Type, u"PDF"_s);
        EXPECT_EQ(row.SaveFolder, u"/tmp/papers/"_s);
        EXPECT_EQ(row.State, QueueRow::Waiting);
        EXPECT_EQ(rig->list().at(p - 1).State, u"成功"_s);
    }
    // The title, cleaned: "..." gone, then the forbidden ":" gone.
    EXPECT_EQ(queue.row(2).Name, u"Page one second article"_s);
    EXPECT_EQ(queue.row(1).Referer, firstPage);
    EXPECT_EQ(queue.row(3).Referer, site.url(u"/search2.html"_s));
    EXPECT_EQ(queue.row(5).Referer, site.url(u"/search3.html"_s));
}

TEST_F(SearchRoad, StopDuringTheThrottleWait)
{
    ASSERT_TRUE(open(ServiceSearchPage(legacyProfile(), u"wetland"_s)));
    rig->session->limits.msPerDelaySecond = 1000;
    rig->delay = u"120"_s;
    // Stop once page 2 is on show and the walk waits its delay.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (browser->URL() == site.url(u"/search2.html"_s) && !browser->Busy()) {
            poll.stop();
            QTimer::singleShot(300, [&] { rig->walk->Command4Click(); });
        }
    });
    poll.start(20);
    QElapsedTimer clock;
    clock.start();
    rig->walk->Command4Click();
    EXPECT_LT(clock.elapsed(), 60000);
    EXPECT_EQ(links().join(u'\n'), siteLinks(allPdfs.mid(0, 4)).join(u'\n'));
    EXPECT_EQ(rig->walk->state(), RunButtonState::Idle);
}

TEST_F(SearchRoad, BatchOfTwoKeywordsWithBlankLines)
{
    site.routeKeyword(u"beta"_s, u"search3.html"_s);
    rig->batch->Command1Click(u"alpha\r\n\r\n   \r\nbeta\r\n\r\n"_s);
    // beta's page holds rows of alpha's walk only: it adds none.
    EXPECT_EQ(rig->batch->progressLog(), u"alpha：3页，5条\nbeta：1页，0条"_s);
    EXPECT_EQ(links().join(u'\n'), siteLinks(allPdfs).join(u'\n'));
    EXPECT_EQ(rig->batch->state(), RunButtonState::Idle);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !browser->Busy(); }, pageLimitMs));
    EXPECT_EQ(browser->URL(), ServiceHomePage(legacyProfile()));
}

TEST_F(SearchRoad, BatchEndedByTheBlockPage)
{
    site.routeKeyword(u"blocked"_s, u"blocked.html"_s);
    site.routeKeyword(u"later"_s, u"search3.html"_s);
    rig->batch->Command1Click(u"blocked\r\nlater"_s);
    EXPECT_TRUE(rig->flags().Blocked());
    EXPECT_EQ(rig->batch->progressLog(), u"blocked：0页，0条；检索服务拒绝了访问，已停止"_s);
    EXPECT_EQ(rig->list().count(), 0);
    EXPECT_EQ(rig->batch->state(), RunButtonState::Idle);
}

// A keyword through the API in today's service: the records with a full text become LINK rows
// (a landing page, a PDF) with their record pages as Referer and reach the download queue; the
// browser is sent nowhere.
TEST_F(SearchRoad, AKeywordThroughTheApiReachesTheQueue)
{
    TempSettings settings;
    SaveSetting(setting::ApiAppId, u"road-appid"_s);
    rig->session->setProfile(researchProfile());
    rig->picker.folder = u"/tmp/papers/"_s;

    rig->batch->Command1Click(u"wetland"_s, true);
    EXPECT_EQ(rig->batch->progressLog(), u"wetland(API) 命中3条，加入2条"_s);
    EXPECT_EQ(links(), siteLinks({u"/landing/502.html"_s, u"/pdf/801.pdf"_s}));
    EXPECT_TRUE(browser->URL().isEmpty() || browser->URL() == u"about:blank"_s)
        << browser->URL().toStdString();

    rig->analysis->run(AnalysisCommands::Command::All);
    DownloadQueue &queue = rig->owner.queueStore;
    ASSERT_EQ(queue.count(), 2);
    EXPECT_EQ(queue.row(1).Urls, site.url(u"/landing/502.html"_s));
    EXPECT_EQ(queue.row(1).Name, u"Page one second article"_s);
    EXPECT_EQ(queue.row(1).Referer, site.url(u"/crid/3010000000000000001"_s));
    EXPECT_EQ(queue.row(2).Urls, site.url(u"/pdf/801.pdf"_s));
    EXPECT_EQ(queue.row(2).Name, u"湿原の植生図"_s);
    for (int p = 1; p <= queue.count(); ++p) {
        EXPECT_EQ(queue.row(p).Type, u"LINK"_s);
        EXPECT_EQ(queue.row(p).SaveFolder, u"/tmp/papers/"_s);
    }
    EXPECT_TRUE(rig->prompts.shown.isEmpty());
}
