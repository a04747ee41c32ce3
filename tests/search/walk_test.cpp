// labels: unit
#include "support/fixturesite.h"
#include "support/searchrig.h"
#include "support/staticbrowser.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString base = u"http://site.test"_s;

void loadSite(StaticBrowser &browser)
{
    loadFixtureResultPages(browser, base);
}

QStringList links(const SearchList &list)
{
    QStringList out;
    for (const SearchRow &row : list.rows())
        out << row.Link.mid(base.size());
    return out;
}

const QStringList allSiteLinks = {u"/pdf/101.pdf"_s, u"/pdf/102.pdf?a=1&b=2"_s, u"/pdf/201.pdf"_s,
                                  u"/pdf/202.pdf"_s, u"/pdf/301.pdf"_s};

} // namespace

TEST(AddAllWalk, WalksEveryPageUntilTheLastAndRestoresTheButton)
{
    StaticBrowser browser;
    loadSite(browser);
    SearchRig rig(&browser);
    QSignalSpy states(rig.walk, &AddAllWalk::stateChanged);
    QSignalSpy counts(rig.session, &SearchSession::countChanged);
    rig.flags().setBlocked(true); // left from an earlier page; a new walk starts afresh

    rig.walk->Command4Click();

    EXPECT_EQ(links(rig.list()), allSiteLinks);
    EXPECT_EQ(rig.picker.shown, 1);
    EXPECT_EQ(rig.list().at(0).SaveFolder, u"/tmp/papers/"_s);
    EXPECT_EQ(rig.list().at(2).Page, base + u"/search2.html"_s);
    EXPECT_EQ(browser.URL(), base + u"/search3.html"_s);
    EXPECT_EQ(rig.walk->state(), RunButtonState::Idle);
    EXPECT_TRUE(rig.flags().AddAllStopped());
    EXPECT_FALSE(rig.flags().Blocked());
    ASSERT_EQ(states.size(), 2);
    EXPECT_EQ(states.at(0).at(0).value<RunButtonState>(), RunButtonState::Running);
    EXPECT_EQ(counts.last().at(0).toInt(), 5);
    EXPECT_EQ(AddAllWalk::caption(RunButtonState::Running), u"停止加入全部"_s);
    EXPECT_EQ(AddAllWalk::caption(RunButtonState::Idle), u"加入全部到列表"_s);
}

TEST(AddAllWalk, WaysTheWalkEnds)
{
    struct Case
    {
        const char *what;
        QString delay;
        QString blockedAt; // a page whose next link leads to the block page
        QStringList links;
        bool blocked;
    } cases[] = {
        // A delay that is no number ends the walk after the first click; that page still counts.
        {"delay not a number", u"abc"_s, {}, allSiteLinks.mid(0, 4), false},
        {"decimal delay rounds", u" 0.4 "_s, {}, allSiteLinks, false},
        {"block page", u"0"_s, u"/search2.html"_s, allSiteLinks.mid(0, 2), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        StaticBrowser browser;
        loadSite(browser);
        if (!c.blockedAt.isEmpty())
            browser.setPage(base + c.blockedAt, readFixture(u"site/blocked.html"_s));
        SearchRig rig(&browser);
        rig.values.PromptSavePathOnExtract = 0; // no picker, rows keep no folder
        rig.delay = c.delay;
        rig.walk->Command4Click();
        EXPECT_EQ(links(rig.list()), c.links);
        EXPECT_EQ(rig.flags().Blocked(), c.blocked);
        EXPECT_EQ(rig.picker.shown, 0);
        EXPECT_TRUE(rig.list().at(0).SaveFolder.isEmpty());
        EXPECT_EQ(rig.walk->state(), RunButtonState::Idle);
    }
}

TEST(AddAllWalk, StopDuringTheThrottleWaitEndsItAtOnce)
{
    StaticBrowser browser;
    loadSite(browser);
    SearchRig rig(&browser);
    rig.session->limits.msPerDelaySecond = 1000;
    rig.delay = u"120"_s;
    QSignalSpy states(rig.walk, &AddAllWalk::stateChanged);
    QTimer::singleShot(200, rig.walk, [&] {
        rig.walk->Command4Click(); // "停止加入全部"
        EXPECT_EQ(rig.walk->state(), RunButtonState::StopRequested);
    });
    QElapsedTimer clock;
    clock.start();
    rig.walk->Command4Click();
    EXPECT_LT(clock.elapsed(), 5000);
    // Stopped while waiting on page 2: that page is still extracted, page 3 is not reached.
    EXPECT_EQ(links(rig.list()), allSiteLinks.mid(0, 4));
    ASSERT_EQ(states.size(), 3);
    EXPECT_EQ(states.at(1).at(0).value<RunButtonState>(), RunButtonState::StopRequested);
    EXPECT_EQ(rig.walk->state(), RunButtonState::Idle);
}

TEST(AddAllWalk, NextPageLinkRule)
{
    struct Case
    {
        QString fixture;
        bool found;
    } cases[] = {
        {u"resultpages/next_lower.html"_s, true},
        {u"resultpages/next_capital.html"_s, true},
        {u"resultpages/next_japanese.html"_s, true},
        {u"resultpages/next_class_only.html"_s, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fixture.toStdString());
        StaticBrowser browser;
        browser.show(base + u"/search?page=2"_s, readFixture(c.fixture));
        SearchRig rig(&browser);
        rig.flags().setAddAllStopped(false);
        EXPECT_EQ(rig.walk->下一页(), c.found);
        EXPECT_EQ(browser.visited.size(), c.found ? 2 : 1); // the page shown, then the next one
        EXPECT_GE(rig.list().count(), 1);                   // the page on show was extracted first
    }
}

TEST(AddAllWalk, WalksTodaysServiceByPageNumbersUntilTheHitCountIsReached)
{
    const ServiceBase site(base);
    StaticBrowser browser;
    const QString first = loadResearchResultPages(browser, base);
    SearchRig rig(&browser, researchProfile());
    rig.values.PromptSavePathOnExtract = 0;

    rig.walk->Command4Click();

    EXPECT_EQ(links(rig.list()),
              QStringList({u"/pdf/501.pdf"_s, u"/landing/502.html?lang=ja&from=cir"_s,
                           u"/pdf/601.pdf"_s, u"/pdf/602.pdf"_s, u"/pdf/701.pdf"_s}));
    EXPECT_EQ(browser.visited, QStringList({first, first + u"&page=2"_s, first + u"&page=3"_s}));
    EXPECT_EQ(rig.list().at(0).Type, u"LINK"_s);
    EXPECT_EQ(rig.list().at(3).Page, first + u"&page=2"_s);
    EXPECT_TRUE(rig.session->note().isEmpty());
    EXPECT_FALSE(rig.flags().Blocked());
    EXPECT_EQ(rig.walk->state(), RunButtonState::Idle);
}

TEST(AddAllWalk, ARefusalOnTheWayEndsTheWalkAndSaysWhy)
{
    const ServiceBase site(base);
    StaticBrowser browser;
    const QString first = loadResearchResultPages(browser, base);
    browser.setStatus(first + u"&page=2"_s, 429);
    browser.setPage(first + u"&page=2"_s, readFixture(u"site/cir/toomany.html"_s));
    SearchRig rig(&browser, researchProfile());
    QSignalSpy notes(rig.session, &SearchSession::noteChanged);
    rig.walk->Command4Click();
    EXPECT_EQ(rig.list().count(), 2);
    EXPECT_TRUE(rig.flags().Blocked());
    EXPECT_FALSE(browser.visited.contains(first + u"&page=3"_s));
    EXPECT_EQ(rig.session->note(),
              u"检索服务拒绝了访问（HTTP 429），已停止。请稍后再试，或加大限速延时"_s);
    EXPECT_EQ(notes.size(), 1);
}
