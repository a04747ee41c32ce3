// labels: unit
#include "browser/staticdocument.h"
#include "search/resultpage.h"
#include "support/fixturesite.h"
#include "support/htmldocument.h"
#include "support/profiles.h"
#include "support/qtprinters.h"
#include "support/resultpagecases.h"
#include "support/staticbrowser.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString pageUrl = u"https://ci.nii.ac.jp/search?q=x&type=1"_s;

ResultPage parseFixture(const QString &name, const QString &folder = {})
{
    const auto doc = parseHtml(readFixture(u"resultpages/"_s + name), pageUrl);
    return ParseResultPage(doc.get(), legacyProfile(), folder);
}

} // namespace

TEST(ResultPage, TakesEveryOpenAccessEntryOnceWithCleanTitleAndLink)
{
    ASSERT_FALSE(readFixture(u"resultpages/entries.html"_s).isEmpty());
    const ResultPage page = parseFixture(u"entries.html"_s, u"/data/papers/"_s);
    EXPECT_FALSE(page.blocked);
    struct Expected
    {
        QString title;
        QString link;
    };
    const QList<Expected> expected = {
        {u"Alpha: a study of wetlands"_s, u"https://ci.nii.ac.jp/lognavi?name=alpha&type=pdf"_s},
        {u"Beta results v1.2. and more"_s, u"https://repo.example.org/beta.pdf"_s},
        {u"イプシロン  研究"_s, u"https://ci.nii.ac.jp/epsilon.pdf"_s},
        {u"Zeta & Eta"_s, u"https://repo.example.ac.jp/dspace/bitstream?id=6&seq=1"_s},
        {u"Nu: 入门"_s, u"https://ci.nii.ac.jp/nu.pdf?a=1&b=2"_s},
    };
    ASSERT_EQ(page.entries.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const ResultEntry &e = page.entries.at(i);
        EXPECT_EQ(e.title, expected.at(i).title) << i;
        EXPECT_EQ(e.link, expected.at(i).link) << i;
        EXPECT_EQ(e.type, u"PDF"_s);
        EXPECT_EQ(e.page, pageUrl);
        EXPECT_EQ(e.saveFolder, u"/data/papers/"_s);
    }
}

TEST(ResultPage, BlockPageMarkerInAnyCaseTakesNothing)
{
    for (const QString &name : {u"blocked.html"_s, u"blocked_references.html"_s}) {
        const ResultPage page = parseFixture(name);
        EXPECT_TRUE(page.blocked) << name.toStdString();
        EXPECT_TRUE(page.entries.isEmpty()) << name.toStdString();
    }
    EXPECT_FALSE(parseFixture(u"entries.html"_s).blocked);
    EXPECT_FALSE(ParseResultPage(nullptr, legacyProfile(), {}).blocked);
    EXPECT_TRUE(ParseResultPage(nullptr, legacyProfile(), {}).entries.isEmpty());
}

TEST(ResultPage, OldRules)
{
    const ServiceProfile &old = legacyProfile();
    struct Text
    {
        QString text;
        bool qualifies;
    };
    for (const Text &t : QList<Text>{{u"Fulltext PDF Open Access"_s, true},
                                     {u"FULLTEXT pdf - open ACCESS"_s, true},
                                     {u"Open Access (Fulltext PDF)"_s, true},
                                     {u"Fulltext PDF"_s, false},
                                     {u"Open Access"_s, false},
                                     {u"Fulltext  PDF Open Access"_s, false},
                                     {u"オープンアクセス"_s, true},
                                     {u"機関リポジトリ (PDF)"_s, true},
                                     {u""_s, false}})
        EXPECT_EQ(old.fullText.textQualifies(t.text), t.qualifies) << t.text.toStdString();

    struct Class
    {
        QString className;
        bool entry;
    };
    for (const Class &c : QList<Class>{{u"listitem xfolkentry"_s, true},
                                       {u"  ListItem XFolkEntry \t"_s, true},
                                       {u"listitem  xfolkentry"_s, false},
                                       {u"listitem xfolkentry featured"_s, false},
                                       {u"xfolkentry listitem"_s, false},
                                       {u"listitem"_s, false}})
        EXPECT_EQ(old.entry.matches(parseHtml(u"<div class='%1'></div>"_s.arg(c.className), {})
                                        ->getElementsByTagName(u"DIV"_s)
                                        .item(0)),
                  c.entry)
            << c.className.toStdString();

    EXPECT_EQ(CleanEntryTitle(u"  Title...  "_s), u"Title"_s);
    EXPECT_EQ(CleanEntryTitle(u"a.b..c....d"_s), u"a.b..c.d"_s);
    EXPECT_EQ(CleanEntryLink(u" http://h/x?a=1&amp;b=2&AMP;c=3 "_s), u"http://h/x?a=1&b=2&c=3"_s);
    auto blocked = [&](const QString &markup) {
        return ParseResultPage(parseHtml(markup, pageUrl).get(), old, {}).blocked;
    };
    EXPECT_TRUE(blocked(u"<img src=\"https://x/Sorry/Image?Id=42\">"_s));
    EXPECT_FALSE(blocked(u"<p>/sorry/image?ref=1</p>"_s));
}

TEST(ResultPage, AddThisPageShowsThePickerOnlyWhenAskedTo)
{
    StaticBrowser browser;
    browser.show(pageUrl, readFixture(u"resultpages/entries.html"_s));
    int pickerShown = 0;
    const auto picker = [&] {
        ++pickerShown;
        return u"/home/u/12345/"_s;
    };
    ResultPage withPicker = 加入本页到列表(browser, legacyProfile(), 1, picker);
    EXPECT_EQ(pickerShown, 1);
    ASSERT_EQ(withPicker.entries.size(), 5);
    EXPECT_EQ(withPicker.entries.first().saveFolder, u"/home/u/12345/"_s);

    ResultPage without = 加入本页到列表(browser, legacyProfile(), 0, picker);
    EXPECT_EQ(pickerShown, 1);
    ASSERT_EQ(without.entries.size(), 5);
    EXPECT_EQ(without.entries.first().saveFolder, QString());
}

TEST(ResultPage, NothingLoadedGivesNothing)
{
    StaticBrowser browser;
    EXPECT_TRUE(ExtractPage(browser, legacyProfile(), u"/x/"_s).entries.isEmpty());
}

TEST(ResultPage, TableOfPagesAndProfilesOnTheStaticDocument)
{
    const QString base = u"http://site.test"_s;
    const ServiceBase site(base);
    auto onSite = [&](const QString &path) {
        return path.isEmpty() || path.startsWith(u"http"_s) ? path : base + path;
    };
    for (const ResultPageCase &c : resultPageCases()) {
        SCOPED_TRACE(c.what);
        const QString html = readFixture(c.fixture);
        ASSERT_FALSE(html.isEmpty()) << c.fixture.toStdString();
        StaticBrowser browser;
        browser.setStatus(base + c.address, c.status);
        browser.setPage(base + c.address, html);
        browser.Navigate(base + c.address);
        ASSERT_TRUE(QSignalSpy(&browser, &Browser::DocumentComplete).wait(5000));
        const ServiceProfile &profile = builtInProfile(c.profile);
        const ResultPage page = ExtractPage(browser, profile, {});
        QStringList titles, links;
        for (const ResultEntry &e : page.entries) {
            titles << e.title;
            links << e.link;
            EXPECT_EQ(e.type, c.type);
        }
        QStringList expectedLinks;
        for (const QString &l : c.links)
            expectedLinks << onSite(l);
        EXPECT_EQ(titles, c.titles);
        EXPECT_EQ(links, expectedLinks);
        EXPECT_EQ(page.nextAddress, onSite(c.next));
        EXPECT_EQ(page.blocked, c.blocked);
        EXPECT_EQ(ResultPageNote(page, profile), c.note);
    }
}

TEST(ResultPage, RulesOfOtherServices)
{
    // Rules the built-in profiles do not use, on small pages: a title by its class word, a next
    // page by rel="next" (in the head or on a link), and the page number raised in an address.
    ServiceProfile p = legacyProfile();
    p.title.classWord = u"Title"_s;
    p.fullText = {{}, {u"pdf"_s}};
    p.next.kind = ServiceProfile::NextRule::RelNext;
    const QString url = u"http://h/list?q=a"_s;
    auto parse = [&](const QString &html) {
        return ParseResultPage(parseHtml(html, url).get(), p, {});
    };
    const ResultPage page = parse(
        u"<head><link rel='Next' href='/list?q=a&p=2'></head><div class='listitem xfolkentry'>"
        "<a href='/au'>An author</a><a class='x title' href='/r'>The title</a>"
        "<a class='PDF' href='/f.pdf'>file</a></div>"_s);
    ASSERT_EQ(page.entries.size(), 1);
    EXPECT_EQ(page.entries.at(0).title, u"The title"_s);
    EXPECT_EQ(page.entries.at(0).link, u"http://h/f.pdf"_s);
    EXPECT_EQ(page.nextAddress, u"http://h/list?q=a&p=2"_s);
    EXPECT_TRUE(page.nextLink.isNull()); // a LINK of the head is opened, not clicked
    const ResultPage linked =
        parse(u"<a rel='nofollow next' href='/list?q=a&p=3'>more</a><a rel='prev' href='/0'>"_s);
    EXPECT_EQ(linked.nextAddress, u"http://h/list?q=a&p=3"_s);
    EXPECT_FALSE(linked.nextLink.isNull());

    struct Count
    {
        QString text;
        std::optional<qint64> hits;
    };
    const ServiceProfile::HitCountRule count{u"検索結果"_s, u"件"_s};
    for (const Count &c : QList<Count>{{u"検索結果 1,234 件"_s, 1234},
                                       {u"検索結果\n\t７ 件"_s, 7},
                                       {u"検索結果: 3 件"_s, std::nullopt},
                                       {u"検索結果 12 冊。検索結果 5件"_s, 5},
                                       {u"検索結果 99999999999999999999 件"_s, std::nullopt},
                                       {u"件"_s, std::nullopt}})
        EXPECT_EQ(count.find(c.text), c.hits) << c.text.toStdString();

    // The next page by its number: from the page's own number and size, while hits remain.
    struct Next
    {
        QString address;
        qint64 hits;
        int entries;
        QString next;
    };
    ServiceProfile r = researchProfile();
    for (const Next &n : QList<Next>{
             {u"http://h/all?q=a"_s, 41, 20, u"http://h/all?q=a&page=2"_s},
             {u"http://h/all?q=a&page=2&count=20"_s, 41, 20, u"http://h/all?q=a&page=3&count=20"_s},
             {u"http://h/all?q=a&page=3&count=20"_s, 41, 1, {}},
             {u"http://h/all?q=a&page=2&count=10"_s, 41, 10, u"http://h/all?q=a&page=3&count=10"_s},
             {u"http://h/all?q=%E6%B9%BF&page=x"_s, 41, 20, u"http://h/all?q=%E6%B9%BF&page=2"_s},
             {u"http://h/all?q=a"_s, 20, 20, {}},
             {u"http://h/all?q=a"_s, 41, 0, {}},
         }) {
        QString html = u"<body class='result_list'>検索結果 %1 件"_s.arg(n.hits);
        for (int i = 0; i < n.entries; ++i)
            html +=
                u"<div class='listitem'><a class='taggedlink' href='/crid/%1'>T%1</a></div>"_s.arg(
                    i);
        const ResultPage page = ParseResultPage(parseHtml(html, n.address).get(), r, {});
        EXPECT_EQ(page.nextAddress, n.next) << n.address.toStdString() << " " << n.entries;
    }
}
