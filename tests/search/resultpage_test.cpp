// labels: unit
#include "browser/staticdocument.h"
#include "search/resultpage.h"
#include "support/fixturesite.h"
#include "support/htmldocument.h"
#include "support/qtprinters.h"
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
    return ParseResultPage(doc.get(), folder);
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
    EXPECT_FALSE(ParseResultPage(nullptr, {}).blocked);
    EXPECT_TRUE(ParseResultPage(nullptr, {}).entries.isEmpty());
}

TEST(ResultPage, Rules)
{
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
        EXPECT_EQ(IsOpenAccessLinkText(t.text), t.qualifies) << t.text.toStdString();

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
        EXPECT_EQ(IsResultEntryClass(c.className), c.entry) << c.className.toStdString();

    EXPECT_EQ(CleanEntryTitle(u"  Title...  "_s), u"Title"_s);
    EXPECT_EQ(CleanEntryTitle(u"a.b..c....d"_s), u"a.b..c.d"_s);
    EXPECT_EQ(CleanEntryLink(u" http://h/x?a=1&amp;b=2&AMP;c=3 "_s), u"http://h/x?a=1&b=2&c=3"_s);
    EXPECT_TRUE(IsBlockPage(u"<img src=\"https://x/Sorry/Image?Id=42\">"_s));
    EXPECT_FALSE(IsBlockPage(u"/sorry/image?ref=1"_s));
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
    ResultPage withPicker = 加入本页到列表(browser, 1, picker);
    EXPECT_EQ(pickerShown, 1);
    ASSERT_EQ(withPicker.entries.size(), 5);
    EXPECT_EQ(withPicker.entries.first().saveFolder, u"/home/u/12345/"_s);

    ResultPage without = 加入本页到列表(browser, 0, picker);
    EXPECT_EQ(pickerShown, 1);
    ASSERT_EQ(without.entries.size(), 5);
    EXPECT_EQ(without.entries.first().saveFolder, QString());
}

TEST(ResultPage, NothingLoadedGivesNothing)
{
    StaticBrowser browser;
    EXPECT_TRUE(ExtractPage(browser, u"/x/"_s).entries.isEmpty());
}
