// labels: unit
#include "search/searchapi.h"
#include "support/fixturesite.h"
#include "support/qtprinters.h"
#include "support/testfiles.h"

#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray answer(const QString &name)
{
    return readFile(fixturePath(u"searchapi/"_s + name));
}

} // namespace

TEST(SearchApi, ThreePagesOfAKeyword)
{
    struct Expected
    {
        QString record;
        QString title;
        QStringList creators;
        QString journal;
        QString date;
        QString doi;
    };
    const QList<QList<Expected>> pages = {
        {{u"https://cir.nii.ac.jp/crid/1390001205000000001"_s,
          u"湿地における窒素循環の季節変化"_s,
          {u"山田 花子"_s, u"鈴木 太郎"_s},
          u"日本湿地学会誌"_s,
          u"2019-03-31"_s,
          u"10.9999/jjsp.19.1"_s},
         {u"https://cir.nii.ac.jp/crid/1050001337000000002"_s,
          u"干潟の底生生物相"_s,
          {u"佐藤 一郎"_s},
          u"澄川大学紀要"_s,
          u"2021"_s,
          {}}},
        // Values as objects, arrays of one, numbers and strings of digits; the record address
        // from "link" when there is no "@id".
        {{u"https://cir.nii.ac.jp/crid/1050282810000000003"_s,
          u"Reed beds and their birds"_s,
          {u"Tanaka, Jiro"_s},
          u"Bulletin of Wetland Birds"_s,
          u"2008"_s,
          {}},
         {u"https://cir.nii.ac.jp/crid/1390282680000000004"_s,
          u"Peat and carbon"_s,
          {},
          {},
          {},
          u"10.1234/abc"_s}},
        {{u"https://cir.nii.ac.jp/crid/1520009410000000005"_s,
          u"Mangroves: a review"_s,
          {},
          {},
          u"2015-06"_s,
          {}}},
    };
    qint64 start = 1;
    for (int i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(i + 1);
        const ApiPage page = ReadApiPage(answer(u"page%1.json"_s.arg(i + 1)));
        ASSERT_TRUE(page.ok) << page.error.toStdString();
        EXPECT_EQ(page.totalResults, 5);
        EXPECT_EQ(page.startIndex, start);
        EXPECT_EQ(page.itemsPerPage, 2);
        ASSERT_EQ(page.items.size(), pages.at(i).size());
        for (int j = 0; j < page.items.size(); ++j) {
            const ApiItem &item = page.items.at(j);
            const Expected &e = pages.at(i).at(j);
            EXPECT_EQ(item.recordAddress, e.record);
            EXPECT_EQ(item.title, e.title);
            EXPECT_EQ(item.creators, e.creators);
            EXPECT_EQ(item.publicationName, e.journal);
            EXPECT_EQ(item.publicationDate, e.date);
            EXPECT_EQ(IdentifierValue(item.identifiers, u"DOI"), e.doi);
        }
        start = NextApiStart(page, start);
    }
    EXPECT_EQ(start, 0) << "the third page is the last";

    const ApiPage first = ReadApiPage(answer(u"page1.json"_s));
    EXPECT_EQ(IdentifierValue(first.items.at(0).identifiers, u"naid"), u"130007000001"_s);
    EXPECT_EQ(IdentifierValue(first.items.at(1).identifiers, u"URI"),
              u"https://repository.example.ac.jp/records/2000123"_s);
    EXPECT_EQ(IdentifierValue(ReadApiPage(answer(u"page2.json"_s)).items.at(0).identifiers, u"HDL"),
              u"2261/12345"_s);

    const ApiPage empty = ReadApiPage(answer(u"empty.json"_s));
    EXPECT_TRUE(empty.ok);
    EXPECT_EQ(empty.totalResults, 0);
    EXPECT_TRUE(empty.items.isEmpty());
    EXPECT_EQ(NextApiStart(empty, 1), 0);
}

TEST(SearchApi, Paging)
{
    const auto pageOf = [](qint64 total, qint64 startIndex, int items) {
        ApiPage p;
        p.ok = true;
        p.totalResults = total;
        p.startIndex = startIndex;
        p.items.resize(items);
        return p;
    };
    struct Case
    {
        const char *what;
        ApiPage page;
        qint64 asked;
        qint64 next;
    };
    const QList<Case> cases = {
        {"a full page with more to come", pageOf(450, 1, 200), 1, 201},
        {"the page that reaches the total", pageOf(400, 201, 200), 201, 0},
        {"fewer items than asked: none skipped", pageOf(450, 201, 100), 201, 301},
        {"no startIndex: the start asked counts", pageOf(450, -1, 200), 201, 401},
        {"an empty page ends, whatever the total says", pageOf(450, 201, 0), 201, 0},
        {"no total: only an empty page ends", pageOf(-1, 1, 200), 1, 201},
        {"a failed answer ends", ApiPage{}, 1, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(NextApiStart(c.page, c.asked), c.next) << c.what;
}

TEST(SearchApi, BrokenAnswersSayWhy)
{
    struct Case
    {
        const char *what;
        QByteArray json;
        QString error;
    };
    const QByteArray truncated = answer(u"truncated.json"_s);
    const QList<Case> cases = {
        {"cut off inside a character", truncated,
         u"API应答不完整（收到%1字节后中断）"_s.arg(truncated.size())},
        {"cut off between values", "{\"items\": [{\"title\": \"x\"}, ",
         u"API应答不完整（收到27字节后中断）"_s},
        {"an error answer", answer(u"error.json"_s),
         u"服务返回错误：The application ID is not valid."_s},
        {"an error as text", "{\"error\": \"rate\\nlimited\"}", u"服务返回错误：rate limited"_s},
        {"an error list", "{\"errors\": [{\"code\": 500}]}", u"服务返回错误：500"_s},
        {"a web page", "\n<!DOCTYPE html><html><title>503</title></html>",
         u"API应答不是JSON，而是网页或XML"_s},
        {"not JSON", "{\"items\": [}]}", u"API应答不是有效的JSON（第12字节处有误）"_s},
        {"nothing", " \r\n", u"API应答为空"_s},
        {"an array", "[{\"title\": \"x\"}]", u"API应答格式不符：顶层不是对象"_s},
        {"neither total nor items", "{\"title\": \"x\"}",
         u"API应答中没有检索结果（缺少opensearch:totalResults和items）"_s},
    };
    for (const Case &c : cases) {
        const ApiPage page = ReadApiPage(c.json);
        EXPECT_FALSE(page.ok) << c.what;
        EXPECT_EQ(page.error, c.error) << c.what;
        EXPECT_TRUE(page.items.isEmpty()) << c.what;
    }
    // A long error text stays one line of the log.
    const QByteArray longText = "{\"error\": \"" + QByteArray(5000, 'e') + "\"}";
    const ApiPage longError = ReadApiPage(longText);
    EXPECT_LT(longError.error.size(), 300);

    EXPECT_EQ(ReadApiRecord(truncated).error,
              u"记录JSON不完整（收到%1字节后中断）"_s.arg(truncated.size()));
    EXPECT_EQ(ReadApiRecord("[42]").error, u"记录JSON格式不符：顶层不是对象"_s);
    EXPECT_EQ(ReadApiPage(QByteArray(MaxApiAnswerBytes + 1, ' ')).error,
              u"API应答过大（超过16MB），未读取"_s);
}

TEST(SearchApi, RecordsAndTheirFullText)
{
    const ApiRecord withUrl = ReadApiRecord(answer(u"record_url.json"_s));
    ASSERT_TRUE(withUrl.ok) << withUrl.error.toStdString();
    EXPECT_EQ(withUrl.recordAddress, u"https://cir.nii.ac.jp/crid/1390001205000000001"_s);
    EXPECT_EQ(withUrl.title, u"湿地における窒素循環の季節変化"_s);
    EXPECT_EQ(
        withUrl.fullTextAddresses,
        QStringList({u"https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_article/-char/ja/"_s,
                     u"https://repository.example.ac.jp/records/2000123"_s}));
    EXPECT_EQ(IdentifierValue(withUrl.identifiers, u"DOI"), u"10.9999/jjsp.19.1"_s);
    EXPECT_EQ(IdentifierValue(withUrl.identifiers, u"NAID"), u"130007000001"_s);
    ASSERT_EQ(withUrl.dataSources.size(), 2);
    EXPECT_EQ(withUrl.dataSources.at(1).type, u"CIA"_s);
    EXPECT_EQ(withUrl.resourceType, u"journal article"_s);
    EXPECT_EQ(RecordFullTextAddress(withUrl),
              u"https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_article/-char/ja/"_s);

    // Without url, the DOI's address; the flat forms of a list of one.
    const ApiRecord doiOnly = ReadApiRecord(answer(u"record_doi.json"_s));
    ASSERT_TRUE(doiOnly.ok);
    EXPECT_TRUE(doiOnly.fullTextAddresses.isEmpty());
    EXPECT_EQ(doiOnly.title, u"Peat and carbon"_s);
    EXPECT_EQ(doiOnly.resourceType, u"journal article"_s);
    EXPECT_EQ(doiOnly.dataSources.size(), 1);
    EXPECT_EQ(RecordFullTextAddress(doiOnly), u"https://doi.org/10.1234/abc%232"_s);

    const ApiRecord none = ReadApiRecord(answer(u"record_none.json"_s));
    ASSERT_TRUE(none.ok);
    EXPECT_EQ(none.title, u"Mangroves: a review"_s);
    EXPECT_EQ(RecordFullTextAddress(none), QString());

    // The first url that is an http(s) address; the others are passed over.
    ApiRecord mixed;
    mixed.fullTextAddresses = {u"ftp://files.example.org/a.pdf"_s, u"/crid/1"_s,
                               u"https://repo.example.org/a b"_s};
    mixed.identifiers = {{u"DOI"_s, u"10.1/x"_s}};
    EXPECT_EQ(RecordFullTextAddress(mixed), u"https://repo.example.org/a%20b"_s);
    mixed.fullTextAddresses.removeLast();
    EXPECT_EQ(RecordFullTextAddress(mixed), u"https://doi.org/10.1/x"_s);

    struct Doi
    {
        QString doi;
        QString address;
    };
    for (const Doi &d : QList<Doi>{
             {u"10.1234/ABC.1"_s, u"https://doi.org/10.1234/ABC.1"_s},
             {u" doi:10.1002/(SICI)1097-4571 "_s, u"https://doi.org/10.1002/(SICI)1097-4571"_s},
             {u"info:doi/10.1/a?b%c d"_s, u"https://doi.org/10.1/a%3Fb%25c%20d"_s},
             {u"http://dx.doi.org/10.5555/論文"_s, u"https://doi.org/10.5555/%E8%AB%96%E6%96%87"_s},
             {u"10.1234"_s, {}},
             {u"11.1234/x"_s, {}},
             {{}, {}},
         })
        EXPECT_EQ(DoiAddress(d.doi), d.address) << d.doi.toStdString();
}

TEST(SearchApi, AddressesKeepTheAppIdToTheRequest)
{
    ApiQuery query;
    query.endpoint = u"https://cir.nii.ac.jp/opensearch/articles"_s;
    query.keyword = u"C++ 湿地&marsh"_s;
    query.start = 201;
    query.count = 200;
    query.parameters = {{u"sortorder"_s, u"4"_s},
                        {u"appid"_s, u"leak"_s},
                        {u"format"_s, u"rss"_s},
                        {u"hasLinkToFullText"_s, u"true"_s}};
    const QString shown =
        u"https://cir.nii.ac.jp/opensearch/articles?q=C%2B%2B%20%E6%B9%BF%E5%9C%B0"
        "%26marsh&count=200&start=201&sortorder=4&hasLinkToFullText=true"
        "&format=json"_s;
    EXPECT_EQ(ApiPageAddress(query), shown);
    EXPECT_EQ(ApiRequestAddress(query, u" my id&x "_s), shown + u"&appid=my%20id%26x"_s);
    EXPECT_EQ(ApiRequestAddress(query, {}), shown);
    EXPECT_EQ(WithoutAppId(ApiRequestAddress(query, u"secret"_s)), shown);

    // Counts and starts out of range; an endpoint with parameters of its own, one of them an
    // appid put there by hand.
    query.endpoint = u"http://127.0.0.1:8080/opensearch/all?lang=ja&appid=handmade&count=5"_s;
    query.keyword.clear();
    query.start = 0;
    query.count = 500;
    query.parameters = {};
    EXPECT_EQ(ApiPageAddress(query),
              u"http://127.0.0.1:8080/opensearch/all?q=&count=200&start=1&lang=ja&format=json"_s);
    query.count = 0;
    EXPECT_TRUE(ApiPageAddress(query).contains(u"&count=1&"_s));

    struct Strip
    {
        QString in;
        QString out;
    };
    for (const Strip &s : QList<Strip>{
             {u"https://h/p?q=a%20b&appid=s&x=1#f"_s, u"https://h/p?q=a%20b&x=1#f"_s},
             {u"https://h/p?APPID=s&%61ppid=t"_s, u"https://h/p"_s},
             {u"https://h/p?appidx=1&myappid=2"_s, u"https://h/p?appidx=1&myappid=2"_s},
             {u"https://h/p"_s, u"https://h/p"_s},
         })
        EXPECT_EQ(WithoutAppId(s.in), s.out) << s.in.toStdString();
}

TEST(SearchApi, RecordJsonAddress)
{
    struct Case
    {
        QString page;
        QString json;
    };
    for (const Case &c : QList<Case>{
             {u"https://cir.nii.ac.jp/crid/1390001205000000001"_s,
              u"https://cir.nii.ac.jp/crid/1390001205000000001.json"_s},
             {u"https://cir.nii.ac.jp/crid/1390001205000000001/?lang=en#x"_s,
              u"https://cir.nii.ac.jp/crid/1390001205000000001.json"_s},
             {u"https://cir.nii.ac.jp/crid/1390001205000000001.json?lang=en"_s,
              u"https://cir.nii.ac.jp/crid/1390001205000000001.json"_s},
             {u"http://127.0.0.1:8080/site/crid/42"_s,
              u"http://127.0.0.1:8080/site/crid/42.json"_s},
             {u"https://cir.nii.ac.jp/crid/"_s, {}},
             {u"https://cir.nii.ac.jp/crid/12a"_s, {}},
             {u"https://cir.nii.ac.jp/crid/12/more"_s, {}},
             {u"https://cir.nii.ac.jp/all?q=crid/12"_s, {}},
             {u"javascript:'/crid/12'"_s, {}},
             {u"/crid/12"_s, {}},
         })
        EXPECT_EQ(RecordJsonAddress(c.page), c.json) << c.page.toStdString();
}
