// labels: unit
#include "download/landingpage.h"
#include "download/pagecharset.h"
#include "support/fixturesite.h"
#include "support/qtprinters.h"
#include "support/testfiles.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray fixtureBytes(const QString &name)
{
    return readFile(fixturePath(u"landing/"_s + name));
}

// A page of a few lines around what a case shows.
QByteArray page(const QString &head, const QString &body = {})
{
    return (u"<!DOCTYPE html><html><head><meta charset=\"utf-8\">"_s + head + u"</head><body>"_s
            + body + u"</body></html>"_s)
        .toUtf8();
}

const QString here = u"https://repo.example.ac.jp/records/7"_s;

} // namespace

TEST(LandingPage, FixturePagesGiveTheirFullTextLinksAndWhatTheyAre)
{
    struct Case
    {
        QString file;
        QString address;
        QStringList links;
        QString title;
        bool password = false;
        QString marker = {};
    };
    const QList<Case> cases = {
        {u"jstage_article.html"_s,
         u"https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_article/-char/ja/"_s,
         {u"https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_pdf/-char/ja"_s,
          u"https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_pdf"_s},
         u"湿地における窒素循環の季節変化"_s},
        {u"weko_record.html"_s,
         u"https://repository.example.ac.jp/records/2000123"_s,
         {u"https://repository.example.ac.jp/records/2000123/files/KJ00012345.pdf"_s,
          u"https://repository.example.ac.jp/?action=repository_uri&item_id=5&file_id=22&file_no=1"_s},
         u"干潟の底生生物相 | 澄川大学学術リポジトリ"_s},
        {u"dspace_item.html"_s,
         u"https://dspace.example.ac.jp/dspace/handle/2261/12345"_s,
         {u"https://dspace.example.ac.jp/dspace/bitstream/2261/12345/1/thesis.pdf?sequence=1&isAllowed=y"_s,
          u"https://dspace.example.ac.jp/dspace/handle/2261/12345/fulltext"_s},
         u"UTokyo Repository: Reed beds and their birds"_s},
        {u"alternate_only.html"_s,
         u"https://journal.example.org/index.php/jx/article/view/77"_s,
         {u"https://journal.example.org/index.php/jx/download/77/123"_s},
         u"Marsh hydrology revisited | Journal X"_s},
        // Both, in the page's order: the caller takes the first that answers a PDF.
        {u"two_citations.html"_s,
         u"https://publisher.example.com/doi/10.1234/abc"_s,
         {u"https://publisher.example.com/doi/pdf/10.1234/abc"_s,
          u"https://publisher.example.com/doi/pdfdirect/10.1234/abc?download=true"_s},
         u"Peat and carbon"_s},
        {u"none.html"_s,
         u"https://publisher.example.com/doi/10.1234/none"_s,
         {},
         u"Mangroves: a review"_s},
        {u"login.html"_s,
         u"https://idp.example.ac.jp/idp/profile/SAML2/Redirect/SSO"_s,
         {},
         u"学認 - ログイン"_s,
         true},
        {u"captcha.html"_s,
         u"https://repository.example.ac.jp/records/2000124"_s,
         {},
         u"アクセスが集中しています"_s,
         false,
         u"アクセスが集中"_s},
        {u"shift_jis.html"_s,
         u"https://old.example.ac.jp/kiyou/vol12/paper3.html"_s,
         {u"https://old.example.ac.jp/kiyou/vol12/paper3.pdf"_s},
         u"紀要論文の本文"_s},
        // The <base> counts for the addresses before it; javascript:, data:, mailto: and ftp:
        // lead nowhere; a fragment is no other address.
        {u"base_relative.html"_s,
         u"https://repo.example.org/item/9"_s,
         {u"https://cdn.example.org/repo/files/tidal.pdf"_s,
          u"https://mirror.example.org/tidal.pdf"_s},
         u"Tidal flats"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        const QByteArray bytes = fixtureBytes(c.file);
        ASSERT_FALSE(bytes.startsWith("<missing>"));
        const LandingPage p = ReadLandingPage(bytes, c.address);
        EXPECT_EQ(p.status, LandingPage::Status::Read);
        EXPECT_EQ(p.fullTextLinks, c.links);
        EXPECT_EQ(p.title, c.title);
        EXPECT_EQ(p.hasPasswordField, c.password);
        EXPECT_EQ(p.challengeMarker, c.marker);
        EXPECT_TRUE(p.refreshTarget.isEmpty());
        // The same page saved to disk reads the same.
        EXPECT_EQ(ReadLandingPageFile(fixturePath(u"landing/"_s + c.file), c.address).fullTextLinks,
                  c.links);
    }
    EXPECT_EQ(ReadLandingPage(fixtureBytes(u"shift_jis.html"_s), here).charset, "Shift_JIS");
}

TEST(LandingPage, LinkRules)
{
    struct Case
    {
        const char *what;
        QString head;
        QString body;
        QStringList links;
    };
    const QString pdf = u"https://repo.example.ac.jp/records/7/files/a.pdf"_s;
    const QList<Case> cases = {
        {"link texts, trimmed, any case, spaces collapsed",
         {},
         u"<a href=1>pdf</a><a href=2> FULL\n TEXT </a><a href=3><span>全</span>文</a>"
         "<a href=4>本文</a><a href=5>PDF (2 MB)</a><a href=6>Full-text</a><a href=7>本文PDF</a>"_s,
         {u"https://repo.example.ac.jp/records/1"_s, u"https://repo.example.ac.jp/records/2"_s,
          u"https://repo.example.ac.jp/records/3"_s, u"https://repo.example.ac.jp/records/4"_s}},
        {"a repository file: .pdf in /files/ or /bitstream/ of the page's host",
         {},
         u"<a href='/records/7/files/a.PDF'>x</a><a href='/bitstream/1/b.pdf?seq=1'>x</a>"
         "<a href='https://other.example.org/files/c.pdf'>x</a><a href='/files/d.pdf.html'>x</a>"
         "<a href='/records/7/e.pdf'>x</a><a href='HTTPS://REPO.EXAMPLE.AC.JP/files/f.pdf'>x</a>"_s,
         {u"https://repo.example.ac.jp/records/7/files/a.PDF"_s,
          u"https://repo.example.ac.jp/bitstream/1/b.pdf?seq=1"_s,
          u"https://repo.example.ac.jp/files/f.pdf"_s}},
        {"meta before link before anchors, whatever the page order",
         u"<link rel='alternate nofollow' type='application/pdf; q=1' href='/alt.pdf'>"_s,
         u"<a href='/records/7/files/a.pdf'>x</a>"
         "<meta name='citation_pdf_url' content='/meta.pdf'>"_s,
         {u"https://repo.example.ac.jp/meta.pdf"_s, u"https://repo.example.ac.jp/alt.pdf"_s, pdf}},
        {"each address once, the first place kept; fragments dropped",
         u"<meta name='citation_pdf_url' content='7/files/a.pdf#p1'>"_s,
         u"<a href='7/files/a.pdf#p2'>PDF</a><a href='/records/7/files/a.pdf'>x</a>"_s,
         {pdf}},
        {"links that are no http(s) address, or empty",
         u"<meta name='citation_pdf_url' content=''><meta name='citation_pdf_url'>"
         "<link rel=alternate type=application/pdf>"_s,
         u"<a>PDF</a><a href='javascript:void(0)'>PDF</a><a href='JavaScript:x()'>全文</a>"
         "<a href='data:application/pdf;base64,JVBERi0='>PDF</a><a "
         "href='ftp://h/files/x.pdf'>PDF</a>"
         "<a href='file:///etc/passwd'>PDF</a><a href='http://'>PDF</a>"_s,
         {}},
        {"other rel or type is no PDF alternate",
         u"<link rel='alternate' type='text/html' href='/x.pdf'><link rel='stylesheet' "
         "type='application/pdf' href='/y.pdf'>"_s,
         {},
         {}},
        {"no script, template or SVG link counts",
         {},
         u"<script>document.write('<a href=/s.pdf>PDF</a>')</script>"
         "<template><a href='/t.pdf'>PDF</a></template>"
         "<svg><a href='/u.pdf'><text>PDF</text></a></svg>"_s,
         {}},
        {"a link in noscript counts",
         {},
         u"<noscript><a href='/n.pdf'>PDF</a></noscript>"_s,
         {u"https://repo.example.ac.jp/n.pdf"_s}},
        {"a <base> without http(s) leaves the page's address",
         u"<base href='javascript:alert(1)'>"_s,
         u"<a href='7/files/a.pdf'>PDF</a>"_s,
         {pdf}},
        {"a base of another host makes /files/ links foreign, text links stay",
         u"<base href='https://cdn.example.net/'>"_s,
         u"<a href='/files/x.pdf'>x</a><a href='/files/y.pdf'>PDF</a>"_s,
         {u"https://cdn.example.net/files/y.pdf"_s}},
    };
    for (const Case &c : cases) {
        const LandingPage p = ReadLandingPage(page(c.head, c.body), here);
        EXPECT_EQ(p.fullTextLinks, c.links) << c.what;
    }

    // A page listing every file of a collection gives the first ones only.
    QString many;
    for (int i = 0; i < 40; ++i)
        many += u"<a href='/files/%1.pdf'>x</a>"_s.arg(i);
    const LandingPage p = ReadLandingPage(page({}, many), here);
    ASSERT_EQ(p.fullTextLinks.size(), MaxFullTextLinks);
    EXPECT_EQ(p.fullTextLinks.first(), u"https://repo.example.ac.jp/files/0.pdf"_s);
}

TEST(LandingPage, WhatAPageWithoutFullTextIs)
{
    struct Case
    {
        const char *what;
        QString head;
        QString body;
        QString marker;
        bool password = false;
    };
    const QList<Case> cases = {
        {"HTTP 429 text", u"<title>429 Too Many Requests</title>"_s, {}, u"too many requests"_s},
        {"a human check in the text",
         {},
         u"<p>Please <b>verify you are human</b>.</p>"_s,
         u"verify you are human"_s},
        {"a CAPTCHA widget by class", {}, u"<div class='x h-captcha'></div>"_s, u"h-captcha"_s},
        {"a CAPTCHA box by id", {}, u"<img id='captchaImage' src='/c.png'>"_s, u"captcha"_s},
        {"a challenge's title", u"<title>Just a moment...</title>"_s, {}, u"just a moment"_s},
        {"the first marker met", u"<title>Attention Required!</title>"_s,
         u"<p>too many requests</p>"_s, u"attention required"_s},
        {"a record page about CAPTCHAs is a record page",
         u"<title>CAPTCHA の安全性</title><meta name='citation_title' content='CAPTCHA'>"_s,
         u"<div class='g-recaptcha'></div>"_s,
         {}},
        {"Dublin Core metadata makes a record page too",
         u"<meta name='DC.title' content='x'><title>Captcha</title>"_s,
         {},
         {}},
        {"the word in a script or style is not on the page",
         u"<style>.captcha{}</style>"_s,
         u"<script>grecaptcha.ready()</script>"_s,
         {}},
        {"the title alone in the text is nothing", {}, u"<p>Just a moment, please.</p>"_s, {}},
        {"a password field", {}, u"<form><input name=p TYPE=PASSWORD></form>"_s, {}, true},
        {"a password word is no field", {}, u"<p>password</p><input type=text>"_s, {}},
    };
    for (const Case &c : cases) {
        const LandingPage p = ReadLandingPage(page(c.head, c.body), here);
        EXPECT_EQ(p.challengeMarker, c.marker) << c.what;
        EXPECT_EQ(p.hasPasswordField, c.password) << c.what;
    }
}

TEST(LandingPage, RefreshTarget)
{
    struct Case
    {
        QString meta;
        QString target;
    };
    const QList<Case> cases = {
        {u"<meta http-equiv='refresh' content='0; url=/records/8'>"_s,
         u"https://repo.example.ac.jp/records/8"_s},
        {u"<meta http-equiv='Refresh' content=\"5;URL='next.html?a=1'\">"_s,
         u"https://repo.example.ac.jp/records/next.html?a=1"_s},
        {u"<meta http-equiv='refresh' content='3,https://b.example.org/x'>"_s,
         u"https://b.example.org/x"_s},
        {u"<meta http-equiv='refresh' content='30'>"_s, {}},                   // reloads itself
        {u"<meta http-equiv='refresh' content='0;url=/records/7#top'>"_s, {}}, // the same page
        {u"<meta http-equiv='refresh' content='url=/x'>"_s, {}},               // no time: invalid
        {u"<meta http-equiv='refresh' content='0;url=javascript:go()'>"_s, {}},
        {u"<noscript><meta http-equiv='refresh' content='0;url=/nojs'></noscript>"_s, {}},
        {u"<meta http-equiv='refresh' content='1;url=/a'><meta http-equiv='refresh' "
         "content='1;url=/b'>"_s,
         u"https://repo.example.ac.jp/a"_s},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ReadLandingPage(page(c.meta), here).refreshTarget, c.target)
            << c.meta.toStdString();
}

TEST(LandingPage, CharsetsOfJapanesePages)
{
    const QString head = u"<title>論文の本文：アクセス</title>"_s;
    const QString body = u"<a href='/x.pdf'>本文</a>"_s;
    const auto encoded = [](const char *charset, const QString &text) {
        QStringEncoder encoder(charset);
        return QByteArray(encoder.encode(text));
    };
    const QString plain =
        u"<html><head>"_s + head + u"</head><body>"_s + body + u"</body></html>"_s;
    const QString declared = u"<html><head><meta http-equiv=\"Content-Type\" "
                             "content=\"text/html; charset=EUC-JP\">"_s
                             + head + u"</head><body>"_s + body + u"</body></html>"_s;
    struct Case
    {
        const char *what;
        QByteArray bytes;
        QByteArray charset;
    };
    const QList<Case> cases = {
        {"UTF-8 without declaration", plain.toUtf8(), "UTF-8"},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + plain.toUtf8(), "UTF-8"},
        {"UTF-16 with a byte-order mark", encoded("UTF-16LE", u"\uFEFF"_s + plain), "UTF-16LE"},
        {"EUC-JP declared", encoded("EUC-JP", declared), "EUC-JP"},
        {"Shift_JIS without declaration", encoded("Shift_JIS", plain), "Shift_JIS"},
        {"EUC-JP without declaration", encoded("EUC-JP", plain), "EUC-JP"},
        {"<meta charset> late in a long head",
         (u"<html><head><!-- "_s + QString(3000, u'-') + u" --><meta charset='shift_jis'>"_s + head
          + u"</head><body>"_s + body)
             .toUtf8()
             .replace(u"論文の本文：アクセス"_s.toUtf8(),
                      encoded("Shift_JIS", u"論文の本文：アクセス"_s))
             .replace(u"本文</a>"_s.toUtf8(), encoded("Shift_JIS", u"本文</a>"_s)),
         "shift_jis"},
    };
    for (const Case &c : cases) {
        const LandingPage p = ReadLandingPage(c.bytes, here);
        EXPECT_EQ(p.title, u"論文の本文：アクセス"_s) << c.what;
        EXPECT_EQ(p.fullTextLinks, QStringList{u"https://repo.example.ac.jp/x.pdf"_s}) << c.what;
        EXPECT_EQ(p.charset, c.charset) << c.what;
    }

    // What the prescan must not take for a declaration.
    EXPECT_EQ(DeclaredPageCharset("<!-- <meta charset=euc-jp> --><p>x"), QByteArray());
    EXPECT_EQ(DeclaredPageCharset("<p title='<meta charset=euc-jp>'>"), QByteArray());
    EXPECT_EQ(DeclaredPageCharset("<meta charset=klingon>"), QByteArray());
    EXPECT_EQ(DeclaredPageCharset("<meta content='text/html; charset=x-sjis' "
                                  "http-equiv=CONTENT-TYPE>"),
              "x-sjis");
    EXPECT_EQ(DeclaredPageCharset("<META CHARSET=\"UTF-16\">"), "UTF-8");
    // Bytes no Japanese decoder reads as Japanese are windows-1252, not an error.
    EXPECT_EQ(PageAsUtf8("<p>caf\xE9</p>").charset, "windows-1252");
    EXPECT_EQ(PageAsUtf8("<p>caf\xE9</p>").utf8, u"<p>café</p>"_s.toUtf8());
}

TEST(LandingPage, JStageArticleAddresses)
{
    const QString pdf = u"https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_pdf"_s;
    struct Case
    {
        QString page;
        QString pdf;
    };
    const QList<Case> cases = {
        {u"https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_article"_s, pdf},
        {u"https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_article/"_s, pdf},
        {u"https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_article/-char/ja/"_s, pdf},
        {u"https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_article/-char/en"_s, pdf},
        {u"https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_article?x=1#abs"_s, pdf},
        {u"HTTPS://WWW.JSTAGE.JST.GO.JP/article/jjsp/19/1/19_1_1/_article"_s, pdf},
        {u"http://jstage.jst.go.jp/article/jjsp/advpub/0/advpub_2024-01/_article"_s,
         u"http://jstage.jst.go.jp/article/jjsp/advpub/0/advpub_2024-01/_pdf"_s},
        {u"https://www.jstage.jst.go.jp/article/j%20s/19/1/%E8%AB%96/_article"_s,
         u"https://www.jstage.jst.go.jp/article/j%20s/19/1/%E8%AB%96/_pdf"_s},
        // Not an article page of J-STAGE:
        {u"https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_pdf"_s, {}},
        {u"https://www.jstage.jst.go.jp/article/jjsp/19/1/_article"_s, {}},
        {u"https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/extra/_article"_s, {}},
        {u"https://www.jstage.jst.go.jp/article/jjsp//1/19_1_1/_article"_s, {}},
        {u"https://www.jstage.jst.go.jp/article/jjsp/../1/19_1_1/_article"_s, {}},
        {u"https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_article/-char"_s, {}},
        {u"https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_article/-char/ja/more"_s, {}},
        {u"https://www.jstage.jst.go.jp/browse/jjsp/19/1/19_1_1/_article"_s, {}},
        {u"https://www.jstage.jst.go.jp.example.com/article/jjsp/19/1/19_1_1/_article"_s, {}},
        {u"https://example.com/article/jjsp/19/1/19_1_1/_article"_s, {}},
        {u"ftp://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_article"_s, {}},
        {{}, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(JStagePdfAddress(c.page), c.pdf) << c.page.toStdString();
}

TEST(LandingPage, PagesTooLargeOrTooCostlyAreNotRead)
{
    LandingPageLimits small;
    small.maxBytes = 1000;
    const QByteArray big = page({}, u"<a href='/files/a.pdf'>PDF</a>"_s + QString(1000, u'x'));
    EXPECT_EQ(ReadLandingPage(big, here, small).status, LandingPage::Status::TooLarge);
    EXPECT_TRUE(ReadLandingPage(big, here, small).fullTextLinks.isEmpty());
    EXPECT_EQ(ReadLandingPage(big, here).status, LandingPage::Status::Read);

    QTemporaryDir dir;
    const QString file = writeFile(dir.filePath(u"page.html"_s), big);
    EXPECT_EQ(ReadLandingPageFile(file, here, small).status, LandingPage::Status::TooLarge);
    EXPECT_EQ(ReadLandingPageFile(file, here).fullTextLinks.size(), 1);
    EXPECT_EQ(ReadLandingPageFile(dir.filePath(u"gone.html"_s), here).status,
              LandingPage::Status::Unreadable);

    // Unclosed <div>s make the parser's work grow with the square of their number: a megabyte
    // of them would take it an hour. The parse gives up at its limit.
    LandingPageLimits quick;
    quick.maxParseTime = std::chrono::milliseconds(100);
    const QByteArray nested = page(u"<meta name='citation_pdf_url' content='/a.pdf'>"_s,
                                   QString(u"<div>"_s).repeated(200000));
    EXPECT_EQ(ReadLandingPage(nested, here, quick).status, LandingPage::Status::TooComplex);
    // So does a parse that needs more memory than it may have.
    LandingPageLimits narrow;
    narrow.maxParserMemory = 4 * 1024;
    EXPECT_EQ(ReadLandingPage(fixtureBytes(u"dspace_item.html"_s), here, narrow).status,
              LandingPage::Status::TooComplex);

    // A deep tree the parser builds quickly (foreign elements need no look down the stack) is
    // walked and freed without recursion, which would run out of stack at this depth.
    LandingPageLimits patient;
    patient.maxParseTime = std::chrono::seconds(60);
    const QByteArray deep = page(u"<meta name='citation_pdf_url' content='/deep.pdf'>"_s,
                                 QString(u"<svg>"_s).repeated(200000));
    EXPECT_EQ(ReadLandingPage(deep, here, patient).fullTextLinks,
              QStringList{u"https://repo.example.ac.jp/deep.pdf"_s});
}
