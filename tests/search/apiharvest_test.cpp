// labels: integration faults
#include "support/fixturesite.h"
#include "support/qtprinters.h"
#include "support/scriptedhttpserver.h"
#include "support/searchrig.h"
#include "support/staticbrowser.h"
#include "support/tempsettings.h"

#include "foundation/settings.h"
#include "search/apiharvest.h"
#include "search/searchfiles.h"
#include "search/serviceaddress.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <QSettings>
#include <QTimer>
#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString appid = u"SECRET-appid-7f3c"_s;

// Every message any logging category writes while it lives, the program's own categories
// switched on.
class LogCapture
{
public:
    LogCapture()
    {
        s_lines.clear();
        QLoggingCategory::setFilterRules(u"papyrant.*=true"_s);
        m_previous = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        QLoggingCategory::setFilterRules(QString());
    }
    QString text() const { return s_lines.join(u'\n'); }

private:
    static void handler(QtMsgType, const QMessageLogContext &context, const QString &message)
    {
        s_lines << QString::fromUtf8(context.category) + u": "_s + message;
    }
    static inline QStringList s_lines;
    QtMessageHandler m_previous = nullptr;
};

QString query(const RecordedRequest &r, const QString &name)
{
    return QUrlQuery(QUrl(QString::fromUtf8(r.target))).queryItemValue(name, QUrl::FullyDecoded);
}

Script json(const QByteArray &body, int status = 200, const QList<QByteArray> &headers = {})
{
    return Script::response(status, body, "application/json; charset=utf-8", headers);
}

// The service's API on a local server: the documented answers, per keyword and start.
class ApiHarvestTest : public ::testing::Test
{
protected:
    TempSettings settings;
    ScriptedHttpServer server;
    ServiceBase base{server.baseUrl()};
    StaticBrowser browser;
    SearchRig rig{&browser, researchProfile()};
    // keyword -> the scripts of its answers in order (the last one repeats), or by start
    QHash<QString, QList<Script>> answers;
    QHash<QString, QHash<QString, Script>> pages;
    QHash<QString, int> asked;
    QList<qint64> arrivals; // ms since the test began, of every request
    QStringList targets;
    QElapsedTimer clock;

    void SetUp() override
    {
        SaveSetting(setting::ApiAppId, appid);
        rig.session->limits.msPerDelaySecond = 20;
        clock.start();
        QObject::connect(&server, &ScriptedHttpServer::requestReceived,
                         [this](const RecordedRequest &r) {
                             arrivals << clock.elapsed();
                             targets << QString::fromUtf8(r.target);
                         });
        server.routeHandler(u"/opensearch/articles"_s, [this](const RecordedRequest &r) {
            const QString keyword = query(r, u"q"_s);
            if (pages.contains(keyword))
                return pages[keyword].value(query(r, u"start"_s),
                                            json(R"({"error": "no such page"})", 404));
            const QList<Script> list = answers.value(keyword);
            if (list.isEmpty())
                return json(fixture(u"empty.json"_s));
            const int n = asked[keyword]++;
            return list.at(qMin(n, int(list.size()) - 1));
        });
    }

    // An answer fixture with its addresses on this server.
    QByteArray fixture(const QString &name) const
    {
        return readFixture(u"searchapi/"_s + name)
            .replace(u"https://cir.nii.ac.jp"_s, server.baseUrl())
            .toUtf8();
    }
    void record(const QString &number, const QByteArray &body, int status = 200)
    {
        server.route(u"/crid/"_s + number + u".json"_s, json(body, status));
    }
    // The three pages of "wetland" (five hits, two to a page) and their five records.
    void servePagesOfWetland()
    {
        pages[u"wetland"_s] = {{u"1"_s, json(fixture(u"page1.json"_s))},
                               {u"3"_s, json(fixture(u"page2.json"_s))},
                               {u"5"_s, json(fixture(u"page3.json"_s))}};
        record(u"1390001205000000001"_s, fixture(u"record_url.json"_s));
        record(u"1050001337000000002"_s,
               R"({"dc:title": "干潟の底生生物相",
                   "url": [{"@id": "ftp://example.org/a.pdf"},
                           {"@id": "https://repository.example.ac.jp/records/2000123"}]})");
        // No title of its own: the hit's title serves.
        record(u"1050282810000000003"_s, R"({"url": "https://example.org/reed/landing"})");
        record(u"1390282680000000004"_s, fixture(u"record_doi.json"_s));
        record(u"1520009410000000005"_s, fixture(u"record_none.json"_s));
    }
    QString log() const { return rig.batch->progressLog(); }
    QString page(const QString &number) const { return server.url(u"/crid/"_s + number); }
};

} // namespace

TEST(ApiHarvestRules, RetryAfterSecondsAndBackoff)
{
    const QDateTime now = QDateTime::fromString(u"2015-10-21T07:27:58Z"_s, Qt::ISODate);
    const struct
    {
        const char *value;
        std::optional<qint64> seconds;
    } cases[] = {
        {"2", 2},
        {" 120 ", 120},
        {"0", 0},
        {"Wed, 21 Oct 2015 07:28:00 GMT", 2},
        {"Wednesday, 21-Oct-15 07:28:00 GMT", 2},
        {"Wed Oct 21 07:28:00 2015", 2},
        {"Wed, 21 Oct 2015 07:30:00 GMT", 122},
        {"Tue, 20 Oct 2015 07:28:00 GMT", 0},      // passed
        {"99999999999999999999999", 24 * 60 * 60}, // a day: as good as never
        {"-1", std::nullopt},
        {"1.5", std::nullopt},
        {"soon", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(RetryAfterSeconds(c.value, now), c.seconds);
    }

    // From the throttle (at least a second), doubling, never beyond the cap.
    EXPECT_EQ(RetryBackoffSeconds(0, 0, 300), 1);
    EXPECT_EQ(RetryBackoffSeconds(0, 3, 300), 8);
    EXPECT_EQ(RetryBackoffSeconds(5, 0, 300), 5);
    EXPECT_EQ(RetryBackoffSeconds(5, 5, 300), 160);
    EXPECT_EQ(RetryBackoffSeconds(5, 6, 300), 300);
    EXPECT_EQ(RetryBackoffSeconds(1, 1000, 300), 300);
    EXPECT_EQ(RetryBackoffSeconds(400, 0, 300), 300);
}

TEST(ApiHarvestRules, TheProfilesTemplateGivesTheQuery)
{
    ServiceBase base(u"http://127.0.0.1:9"_s);
    ServiceProfile profile = researchProfile();
    const struct
    {
        QString openSearch;
        int count;
        QString address;
    } cases[] = {
        {u"/opensearch/articles?q={keyword}&count={count}&start={start}&format=json"_s, 200,
         u"http://127.0.0.1:9/opensearch/articles?q=a%20b&count=200&start=1&format=json"_s},
        {u"/opensearch/all?count=20&q={keyword}&sortorder=4&hasLinkToFullText=true"_s, 20,
         u"http://127.0.0.1:9/opensearch/all?q=a%20b&count=20&start=1&sortorder=4&"
         "hasLinkToFullText=true&format=json"_s},
        {u"/opensearch/data?q={keyword}&count=500&appid=mine"_s, 200,
         u"http://127.0.0.1:9/opensearch/data?q=a%20b&count=200&start=1&format=json"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.openSearch.toStdString());
        profile.api->openSearch = c.openSearch;
        const ApiQuery query = ServiceApiQuery(profile, u"a b"_s);
        EXPECT_EQ(query.count, c.count);
        EXPECT_EQ(ApiPageAddress(query), c.address);
    }
    EXPECT_TRUE(ServiceApiQuery(legacyProfile(), u"a"_s).endpoint.isEmpty());

    // Whether "通过API" can run, and why not.
    EXPECT_EQ(BatchSearch::apiUnavailableReason(researchProfile(), u"x"_s), QString());
    EXPECT_TRUE(BatchSearch::apiUnavailableReason(researchProfile(), u" "_s).contains(u"appid"_s));
    EXPECT_TRUE(BatchSearch::apiUnavailableReason(legacyProfile(), u"x"_s).contains(u"没有API"_s));
    profile.api->appidRequired = false;
    EXPECT_EQ(BatchSearch::apiUnavailableReason(profile, QString()), QString());
}

TEST_F(ApiHarvestTest, PagesThroughEveryAnswerAndAddsARowPerRecordWithAFullText)
{
    servePagesOfWetland();
    rig.delay = u"2"_s; // 40 ms between requests here
    LogCapture logs;

    rig.batch->Command1Click(u"wetland"_s, true);

    EXPECT_EQ(log(), u"wetland(API) 命中5条，加入4条"_s);
    ASSERT_EQ(rig.list().count(), 4);
    const struct
    {
        QString title, link, page;
    } rows[] = {
        {u"湿地における窒素循環の季節変化"_s,
         u"https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_article/-char/ja/"_s,
         page(u"1390001205000000001"_s)},
        {u"干潟の底生生物相"_s, u"https://repository.example.ac.jp/records/2000123"_s,
         page(u"1050001337000000002"_s)},
        {u"Reed beds and their birds"_s, u"https://example.org/reed/landing"_s,
         page(u"1050282810000000003"_s)},
        {u"Peat and carbon"_s, u"https://doi.org/10.1234/abc%232"_s,
         page(u"1390282680000000004"_s)},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const SearchRow &row = rig.list().at(i);
        EXPECT_EQ(row.Title, rows[i].title);
        EXPECT_EQ(row.Link, rows[i].link);
        EXPECT_EQ(row.Page, rows[i].page);
        EXPECT_EQ(row.Type, u"LINK"_s);
        EXPECT_EQ(row.SaveFolder, u"/tmp/papers/"_s);
    }

    // Page by page, each page's records after it; the appid only on the search requests.
    const QString search =
        u"/opensearch/articles?q=wetland&count=200&start=%1&format=json&appid="_s + appid;
    EXPECT_EQ(targets,
              QStringList({search.arg(1), u"/crid/1390001205000000001.json"_s,
                           u"/crid/1050001337000000002.json"_s, search.arg(3),
                           u"/crid/1050282810000000003.json"_s, u"/crid/1390282680000000004.json"_s,
                           search.arg(5), u"/crid/1520009410000000005.json"_s}));
    // The throttle between any two requests.
    for (qsizetype i = 1; i < arrivals.size(); ++i)
        EXPECT_GE(arrivals[i] - arrivals[i - 1], 40) << "before request " << i;

    // The appid is in no log, no export, no setting but its own, and the browser went nowhere.
    EXPECT_TRUE(logs.text().contains(u"/opensearch/articles?q=wetland&count=200&start=3"_s))
        << logs.text().toStdString(); // the requests are logged, without it
    EXPECT_FALSE(logs.text().contains(appid)) << logs.text().toStdString();
    EXPECT_FALSE(log().contains(appid));
    EXPECT_FALSE(SearchFiles::ExportText(rig.list()).contains(appid));
    EXPECT_TRUE(browser.visited.isEmpty());
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, appTitle(), appTitle());
    store.sync();
    QFile file(store.fileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count(appid.toUtf8()), 1);
    EXPECT_EQ(store.allKeys().size(), 1);

    // A second run of the same keyword adds nothing twice.
    targets.clear();
    rig.batch->Command1Click(u"wetland"_s, true);
    EXPECT_EQ(log(), u"wetland(API) 命中5条，加入0条"_s);
    EXPECT_EQ(rig.list().count(), 4);
    EXPECT_EQ(targets.size(), 8);
}

TEST_F(ApiHarvestTest, RefusedRequestsWaitAsAskedOrBackOffThenGoOn)
{
    rig.delay = u"1"_s;
    const QByteArray one = R"({"opensearch:totalResults": 1, "items": [
        {"@id": "%1/crid/42", "title": "Forty-two"}]})";
    record(u"42"_s, R"({"url": "https://example.org/42"})");
    answers[u"slow"_s] = {json("{}", 429, {"Retry-After: 2"}),
                          json(QByteArray(one).replace("%1", server.baseUrl().toUtf8()))};
    answers[u"maintenance"_s] = {json("<html>busy</html>", 503), json("", 503),
                                 json(fixture(u"empty.json"_s))};

    rig.batch->Command1Click(u"slow\nmaintenance"_s, true);

    EXPECT_EQ(log(), u"slow(API) HTTP 429：按服务要求等待2秒后重试 命中1条，加入1条\n"
                     "maintenance(API) HTTP 503：等待1秒后重试 HTTP 503：等待2秒后重试 "
                     "命中0条，加入0条"_s);
    EXPECT_EQ(rig.list().count(), 1);
    EXPECT_FALSE(rig.flags().Blocked());
    // The waits: Retry-After's 2 s, then the throttle, then 1 s and 2 s (20 ms a second here).
    ASSERT_EQ(arrivals.size(), 6);
    EXPECT_GE(arrivals[1] - arrivals[0], 40);
    EXPECT_GE(arrivals[2] - arrivals[1], 20);
    EXPECT_GE(arrivals[4] - arrivals[3], 20);
    EXPECT_GE(arrivals[5] - arrivals[4], 40);
}

TEST_F(ApiHarvestTest, AnErrorAnswerEndsItsKeywordAndTheBatchGoesOn)
{
    answers[u"cut"_s] = {json(fixture(u"truncated.json"_s))};
    answers[u"broken"_s] = {Script::response(500, "<html>oops</html>", "text/html")};
    answers[u"denied"_s] = {
        json("{\"error\": {\"message\": \"appid " + appid.toUtf8() + " is not valid\"}}", 403)};
    answers[u"dropped"_s] = {Script().reset()};
    answers[u"badrecord"_s] = {json(
        R"({"opensearch:totalResults": 2, "items": [{"@id": "%1/crid/7"}, {"@id": "%1/crid/8"}]})"_ba
            .replace("%1", server.baseUrl().toUtf8()))};
    const QByteArray cutRecord = R"({"url": "https://example.org/7", "dc:title": "Se)";
    record(u"7"_s, cutRecord);
    record(u"8"_s, R"({"url": "https://example.org/8"})");
    answers[u"lostrecord"_s] = {
        json(R"({"opensearch:totalResults": 1, "items": [{"@id": "%1/crid/9"}]})"_ba.replace(
            "%1", server.baseUrl().toUtf8()))};
    record(u"9"_s, "Internal Server Error", 500);
    LogCapture logs;

    rig.batch->Command1Click(u"cut\nbroken\ndenied\ndropped\nbadrecord\nlostrecord\nnone"_s, true);

    const QString truncatedSize = QString::number(fixture(u"truncated.json"_s).size());
    EXPECT_EQ(log(),
              u"cut(API) 出错：API应答不完整（收到"_s + truncatedSize
                  + u"字节后中断），本关键词结束\n"
                    "broken(API) 出错：API应答 HTTP 500，本关键词结束\n"
                    "denied(API) 出错：API应答 HTTP 403：appid *** is not valid，本关键词结束\n"
                    "dropped(API) 出错：API请求失败（连接被服务器中断），本关键词结束\n"
                    "badrecord(API) 出错：记录JSON不完整（收到"_s
                  + QString::number(cutRecord.size())
                  + u"字节后中断），本关键词结束\n"
                    "lostrecord(API) 出错：记录JSON HTTP 500，本关键词结束\n"
                    "none(API) 命中0条，加入0条"_s);
    EXPECT_EQ(server.requestCount(u"/crid/8.json"_s), 0);
    EXPECT_EQ(rig.list().count(), 0);
    EXPECT_FALSE(rig.flags().Blocked());
    EXPECT_EQ(rig.batch->state(), RunButtonState::Idle);
    EXPECT_TRUE(rig.prompts.shown.isEmpty());
    EXPECT_FALSE(logs.text().contains(appid)) << logs.text().toStdString();
}

TEST_F(ApiHarvestTest, ARefusalThatOutlastsTheLongestWaitEndsTheBatch)
{
    rig.delay = u"1"_s;
    rig.session->limits.apiRetryCapSeconds = 4;
    answers[u"busy"_s] = {json("{}", 429)};
    answers[u"later"_s] = {json("{}", 503, {"Retry-After: Wed, 21 Oct 2099 07:28:00 GMT"})};

    rig.batch->Command1Click(u"busy\nnext"_s, true);

    const QString refused = u"检索服务拒绝了访问（HTTP 429），已停止。请稍后再试，或加大限速延时"_s;
    EXPECT_EQ(log(), u"busy(API) HTTP 429：等待1秒后重试 HTTP 429：等待2秒后重试 "
                     "HTTP 429：等待4秒后重试 "_s
                         + refused);
    EXPECT_EQ(rig.session->note(), refused);
    EXPECT_TRUE(rig.flags().Blocked());
    EXPECT_EQ(targets.size(), 4);
    EXPECT_EQ(rig.batch->state(), RunButtonState::Idle);
    EXPECT_TRUE(rig.prompts.shown.isEmpty());

    // A wait longer than the longest is not waited for at all.
    targets.clear();
    rig.batch->Command1Click(u"later\nnext"_s, true);
    EXPECT_TRUE(log().startsWith(u"later(API) 检索服务拒绝了访问（HTTP 503，要求"_s))
        << log().toStdString();
    EXPECT_TRUE(log().endsWith(u"秒后再试），已停止。请稍后再试，或加大限速延时"_s));
    EXPECT_EQ(targets.size(), 1);
}

TEST_F(ApiHarvestTest, AStopOrAClosedWindowEndsEveryWaitAtOnce)
{
    rig.session->limits.msPerDelaySecond = 1000;
    answers[u"retry"_s] = {json("{}", 429, {"Retry-After: 120"})};
    answers[u"stall"_s] = {Script().stall()};
    pages[u"throttle"_s] = {{u"1"_s, json(R"({"opensearch:totalResults": 1, "items":
                                              [{"@id": "http://127.0.0.1:9/crid/1"}]})")}};
    const struct
    {
        QString keyword;
        bool closeWindow;
    } cases[] = {
        {u"retry"_s, false}, {u"stall"_s, false}, {u"throttle"_s, false},
        {u"retry"_s, true},  {u"stall"_s, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(
            QString(c.keyword + (c.closeWindow ? u" closed"_s : u" stopped"_s)).toStdString());
        SearchRig local(&browser, researchProfile());
        local.session->limits.msPerDelaySecond = 1000;
        local.delay = u"120"_s;
        QPointer<BatchSearch> batch = local.batch;
        // Once the request that makes it wait has come.
        const QMetaObject::Connection stop =
            QObject::connect(&server, &ScriptedHttpServer::requestReceived, local.batch, [&] {
                QTimer::singleShot(200, local.session, [&] {
                    if (c.closeWindow) {
                        local.session->windowClosing();
                        delete local.session.data();
                    } else {
                        local.batch->Command1Click({});
                    }
                });
            });
        QElapsedTimer took;
        took.start();
        batch->Command1Click(c.keyword + u"\nnext"_s, true);
        EXPECT_LT(took.elapsed(), 30000);
        QObject::disconnect(stop);
        if (c.closeWindow) {
            EXPECT_TRUE(batch.isNull());
            continue;
        }
        EXPECT_EQ(batch->state(), RunButtonState::Idle);
        EXPECT_EQ(batch->progressLog().count(u"(API)"_s), 1) << batch->progressLog().toStdString();
    }
}

TEST_F(ApiHarvestTest, WithoutTheAppidItNeedsTheRunDoesNotStart)
{
    SaveSetting(setting::ApiAppId, u"  "_s);
    rig.batch->Command1Click(u"wetland"_s, true);
    ASSERT_EQ(rig.prompts.shown.size(), 1);
    EXPECT_EQ(rig.prompts.last(), u"通过API检索「CiNii Research」需要appid（向NII免费注册取得）。"
                                  "请在“工具 → 设置”的“API appid：”中填写。"_s);
    EXPECT_EQ(rig.batch->state(), RunButtonState::Idle);
    EXPECT_TRUE(rig.flags().BatchStopped());
    EXPECT_EQ(rig.picker.shown, 0);
    EXPECT_TRUE(targets.isEmpty());

    // A profile that does not ask for one runs without it, and sends none.
    ServiceProfile open = researchProfile();
    open.api->appidRequired = false;
    rig.session->setProfile(open);
    rig.batch->Command1Click(u"wetland"_s, true);
    EXPECT_EQ(rig.prompts.shown.size(), 1);
    ASSERT_EQ(targets.size(), 1);
    EXPECT_FALSE(targets.first().contains(u"appid"_s));
}
