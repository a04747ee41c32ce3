// labels: unit faults
#include "support/fixturesite.h"
#include "support/searchrig.h"
#include "support/staticbrowser.h"

#include "search/serviceaddress.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// The service's search page of a keyword shows the given fixture page (once per keyword).
void route(StaticBrowser &browser, const QString &keyword, const QString &fixture)
{
    browser.setPage(ServiceSearchPage(legacyProfile(), keyword), readFixture(fixture));
}

} // namespace

TEST(BatchSearch, KeywordLines)
{
    EXPECT_EQ(BatchSearch::keywordLines(u"alpha\r\n\r\n   \r\n  beta gamma  \r\n\n delta"_s),
              QStringList({u"alpha"_s, u"beta gamma"_s, u"delta"_s}));
    EXPECT_TRUE(BatchSearch::keywordLines(u"\r\n  \r\n"_s).isEmpty());
}

TEST(BatchSearch, RunsEveryKeywordThenTheHomePage)
{
    StaticBrowser browser;
    route(browser, u"alpha"_s, u"site/search3.html"_s);
    route(browser, u"beta"_s, u"resultpages/next_class_only.html"_s);
    SearchRig rig(&browser);
    rig.flags().setBlocked(true);
    QSignalSpy states(rig.batch, &BatchSearch::stateChanged);

    rig.batch->Command1Click(u"alpha\r\n\r\n   \r\nbeta\r\n"_s);

    EXPECT_EQ(rig.batch->progressLog(), u"alpha(pdf) beta(pdf) "_s);
    EXPECT_EQ(browser.visited.join(u'\n'),
              QStringList({ServiceSearchPage(legacyProfile(), u"alpha"_s), u"about:blank"_s,
                           ServiceSearchPage(legacyProfile(), u"beta"_s), u"about:blank"_s,
                           ServiceHomePage(legacyProfile())})
                  .join(u'\n'));
    EXPECT_TRUE(ServiceSearchPage(legacyProfile(), u"alpha"_s).endsWith(u"&as_filetype=pdf"_s));
    EXPECT_GE(rig.list().count(), 2);
    EXPECT_EQ(rig.picker.shown, 1); // once for the run, never per keyword
    EXPECT_EQ(rig.batch->state(), RunButtonState::Idle);
    EXPECT_TRUE(rig.flags().BatchStopped());
    EXPECT_FALSE(rig.flags().BatchRunning());
    EXPECT_FALSE(rig.flags().Blocked());
    ASSERT_EQ(states.size(), 2);
    EXPECT_EQ(BatchSearch::caption(RunButtonState::Running), u"停止批量搜索"_s);
    EXPECT_EQ(BatchSearch::caption(RunButtonState::Idle), u"开始批量搜索提取"_s);

    // An empty list only opens the home page.
    browser.visited.clear();
    rig.batch->Command1Click(u" \r\n"_s);
    EXPECT_EQ(browser.visited.join(u'\n'), ServiceHomePage(legacyProfile()));
    EXPECT_TRUE(rig.batch->progressLog().isEmpty());
}

TEST(BatchSearch, BlockPageEndsTheRunAndStaysBlocked)
{
    StaticBrowser browser;
    route(browser, u"one"_s, u"site/blocked.html"_s);
    route(browser, u"two"_s, u"site/search3.html"_s);
    SearchRig rig(&browser);
    rig.batch->Command1Click(u"one\r\ntwo"_s);
    EXPECT_TRUE(rig.flags().Blocked());
    EXPECT_EQ(rig.batch->progressLog(), u"one(pdf) "_s);
    EXPECT_FALSE(browser.visited.contains(ServiceSearchPage(legacyProfile(), u"two"_s)));
    EXPECT_EQ(rig.list().count(), 0);
    EXPECT_TRUE(rig.prompts.shown.isEmpty()); // no message, whatever the reason
}

TEST(BatchSearch, StopsAndRefusals)
{
    StaticBrowser browser;
    route(browser, u"one"_s, u"site/search1.html"_s);
    route(browser, u"two"_s, u"site/search3.html"_s);
    SearchRig rig(&browser);
    rig.session->limits.msPerDelaySecond = 1000;
    rig.delay = u"60"_s;

    // "停止加入全部" during a batch ends the current keyword's walk only.
    QTimer::singleShot(300, rig.walk, [&] { rig.walk->Command4Click(); });
    rig.batch->Command1Click(u"one\r\ntwo"_s);
    EXPECT_EQ(rig.batch->progressLog(), u"one(pdf) two(pdf) "_s);

    // "停止批量搜索" during the walk of the first keyword ends the whole run.
    browser.visited.clear();
    QTimer::singleShot(300, rig.batch, [&] {
        rig.batch->Command1Click({});
        EXPECT_EQ(rig.batch->state(), RunButtonState::StopRequested);
    });
    rig.batch->Command1Click(u"one\r\ntwo"_s);
    EXPECT_EQ(rig.batch->progressLog(), u"one(pdf) "_s);
    EXPECT_FALSE(browser.visited.contains(ServiceSearchPage(legacyProfile(), u"two"_s)));
    EXPECT_EQ(rig.batch->state(), RunButtonState::Idle);

    // No batch while an add-all walk runs.
    rig.flags().setAddAllStopped(false);
    rig.batch->Command1Click(u"one"_s);
    EXPECT_EQ(rig.prompts.last(), u"正在提取网页信息，请停止以后使用该功能！"_s);
    EXPECT_EQ(rig.prompts.shown.last().icon, Prompts::Icon::Error);
    EXPECT_EQ(rig.batch->state(), RunButtonState::Idle);
}

TEST(BatchSearch, ClosingTheWindowDuringARunEndsItWithoutTouchingTheWindow)
{
    // Closed in order (the flags first), or destroyed outright while the run waits inside it.
    for (const bool closedFirst : {true, false}) {
        SCOPED_TRACE(closedFirst ? "closed, then destroyed" : "destroyed");
        StaticBrowser browser;
        route(browser, u"one"_s, u"site/search1.html"_s);
        route(browser, u"two"_s, u"site/search3.html"_s);
        SearchRig rig(&browser);
        rig.session->limits.msPerDelaySecond = 1000;
        rig.delay = u"60"_s;
        QPointer<BatchSearch> batch = rig.batch;
        QTimer::singleShot(300, &browser, [&] {
            if (closedFirst)
                rig.session->windowClosing();
            delete rig.session.data();
        });
        QElapsedTimer clock;
        clock.start();
        batch->Command1Click(u"one\r\ntwo"_s);
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_TRUE(batch.isNull());
        EXPECT_FALSE(browser.visited.contains(ServiceSearchPage(legacyProfile(), u"two"_s)));
    }
}

TEST(BatchSearch, TodaysServiceGoesOnAfterNoResultsAndStopsAtARefusal)
{
    StaticBrowser browser;
    const ServiceProfile &profile = researchProfile();
    auto routeResearch = [&](const QString &keyword, const QString &fixture, int status = 200) {
        browser.setPage(ServiceSearchPage(profile, keyword), readFixture(fixture));
        browser.setStatus(ServiceSearchPage(profile, keyword), status);
    };
    routeResearch(u"none"_s, u"site/cir/noresults.html"_s);
    routeResearch(u"two"_s, u"site/cir/other1.html"_s);
    routeResearch(u"three"_s, u"site/cir/toomany.html"_s, 429);
    SearchRig rig(&browser, profile);

    rig.batch->Command1Click(u"none\r\ntwo\r\nthree\r\nfour"_s);

    const QString refused = u"检索服务拒绝了访问（HTTP 429），已停止。请稍后再试，或加大限速延时"_s;
    EXPECT_EQ(rig.batch->progressLog(), u"none(pdf) two(pdf) three(pdf) "_s + refused + u' ');
    EXPECT_EQ(rig.session->note(), refused);
    EXPECT_TRUE(rig.flags().Blocked());
    EXPECT_FALSE(browser.visited.contains(ServiceSearchPage(profile, u"four"_s)));
    EXPECT_EQ(browser.visited.last(), ServiceHomePage(profile));
    EXPECT_TRUE(ServiceSearchPage(profile, u"C%26A"_s)
                    .startsWith(u"https://cir.nii.ac.jp/articles?q=C%26A&"_s));
    ASSERT_EQ(rig.list().count(), 2);
    EXPECT_EQ(rig.list().at(1).Link, u"https://cir.nii.ac.jp/pdf/802.pdf"_s);
    EXPECT_TRUE(rig.prompts.shown.isEmpty());
}

// "继续上次的批量检索": the saved page is opened again and the walk goes on from it with the
// saved keyword and page number; the keywords before it are not searched again, those after it
// are, and the log of the former run is kept. A run that reaches its end leaves no position.
TEST(BatchSearch, ResumeGoesOnFromTheSavedPageAndKeyword)
{
    StaticBrowser browser;
    const QString saved = u"http://service.test/list?q=beta&page=3"_s;
    browser.setPage(saved, readFixture(u"resultpages/next_class_only.html"_s));
    route(browser, u"gamma"_s, u"site/search3.html"_s);
    SearchRig rig(&browser);
    rig.batch->restoreLog(u"alpha(pdf) beta(pdf) "_s);
    QList<WalkPosition> positions;
    QObject::connect(rig.walk, &AddAllWalk::positionChanged,
                     [&](const WalkPosition &p) { positions << p; });

    rig.batch->resume(u"alpha\r\nbeta\r\ngamma"_s, {u"beta"_s, saved, 3});

    EXPECT_EQ(browser.visited.join(u'\n'),
              QStringList({saved, u"about:blank"_s, ServiceSearchPage(legacyProfile(), u"gamma"_s),
                           u"about:blank"_s, ServiceHomePage(legacyProfile())})
                  .join(u'\n'));
    EXPECT_EQ(rig.batch->progressLog(), u"alpha(pdf) beta(pdf) gamma(pdf) "_s);
    ASSERT_GE(positions.size(), 3);
    EXPECT_EQ(positions.first(), (WalkPosition{u"beta"_s, saved, 3}));
    const auto gamma = std::find_if(positions.begin(), positions.end(),
                                    [](const WalkPosition &p) { return p.keyword == u"gamma"_s; });
    ASSERT_NE(gamma, positions.end());
    EXPECT_EQ(gamma->pageNumber, 1);
    EXPECT_TRUE(positions.last().isEmpty());
}
