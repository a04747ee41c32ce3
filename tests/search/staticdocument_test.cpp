// labels: unit
#include "browser/staticdocument.h"

#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

QStringList ids(const ElementCollection &c)
{
    QStringList out;
    for (const Element &e : c)
        out << e.id();
    return out;
}

} // namespace

TEST(StaticDocument, ElementsComeInDocumentOrderAndNestingIsKept)
{
    const auto doc = StaticDocument::fromHtml(
        uR"(<div id="a"><a id="a1">x</a><DIV id="b"><A id="b1" HREF="/p">y</A></DIV><a id="a2">z</a></div>
            <div id="c"></div><a id="top">t</a>)"_s,
        u"http://h/dir/page"_s);
    EXPECT_EQ(ids(doc->getElementsByTagName(u"div"_s)), QStringList({u"a"_s, u"b"_s, u"c"_s}));
    const ElementCollection all = doc->getElementsByTagName(u"A"_s);
    EXPECT_EQ(ids(all), QStringList({u"a1"_s, u"b1"_s, u"a2"_s, u"top"_s}));
    const Element outer = doc->getElementsByTagName(u"DIV"_s).item(0);
    EXPECT_EQ(ids(outer.getElementsByTagName(u"a"_s)), QStringList({u"a1"_s, u"b1"_s, u"a2"_s}));
    EXPECT_EQ(doc->getElementsByTagName(u"DIV"_s).item(2).getElementsByTagName(u"A"_s).length(), 0);
    EXPECT_TRUE(all.item(4).isNull());
    EXPECT_TRUE(all.item(-1).isNull());
    EXPECT_EQ(doc->getElementById(u"b1"_s).tagName(), u"A"_s);
    EXPECT_TRUE(doc->getElementById(u"nope"_s).isNull());
}

TEST(StaticDocument, ImpliedEndsAndStrayTagsBuildTheTreeBrowsersBuild)
{
    const auto doc = StaticDocument::fromHtml(
        uR"(<p id="p1">one<p id="p2">two<div id="d">three</div>
            <ul><li id="l1">a<li id="l2">b</ul></span>
            <table><tr><td id="t1">c<td id="t2">d</table>
            <script>var s = "<div id='fake'>";</script><br/><img src=x><a id="after">e)"_s,
        u"http://h/"_s);
    EXPECT_EQ(ids(doc->getElementsByTagName(u"P"_s)), QStringList({u"p1"_s, u"p2"_s}));
    EXPECT_EQ(doc->getElementById(u"p1"_s).innerText(), u"one"_s);
    EXPECT_EQ(ids(doc->getElementsByTagName(u"DIV"_s)), QStringList({u"d"_s}));
    EXPECT_EQ(doc->getElementById(u"l1"_s).innerText(), u"a"_s);
    EXPECT_EQ(doc->getElementById(u"t1"_s).innerText(), u"c"_s);
    EXPECT_EQ(doc->getElementById(u"after"_s).innerText(), u"e"_s);
    EXPECT_EQ(doc->getElementsByTagName(u"IMG"_s).item(0).getElementsByTagName(u"*"_s).length(), 0);
}

TEST(StaticDocument, InnerTextIsTheRenderedText)
{
    struct Case { QString html; QString text; };
    const QList<Case> cases = {
        {u"<a id=x>  Alpha:\n  a   study  </a>"_s, u"Alpha: a study"_s},
        {u"<a id=x>Fulltext PDF<br><span>Open Access</span></a>"_s, u"Fulltext PDF\nOpen Access"_s},
        {u"<div id=x><div>one</div> <div>two</div>three</div>"_s, u"one\ntwo\nthree"_s},
        {u"<div id=x>a<script>hidden()</script><style>p{}</style>b</div>"_s, u"ab"_s},
        {u"<a id=x>Zeta &amp; Eta &lt;3&gt; &#x4E2D;&#25991; &unknown; a&b</a>"_s,
         u"Zeta & Eta <3> 中文 &unknown; a&b"_s},
        {u"<a id=x><img src=t.png></a>"_s, u""_s},
        {u"<a id=x>オープン<b>アクセス</b></a>"_s, u"オープンアクセス"_s},
    };
    for (const Case &c : cases) {
        const auto doc = StaticDocument::fromHtml(c.html, u"http://h/"_s);
        EXPECT_EQ(doc->getElementById(u"x"_s).innerText(), c.text) << c.html.toStdString();
    }
}

TEST(StaticDocument, HrefIsAbsoluteAndAttributesAreDecoded)
{
    struct Case { QString base; QString html; QString href; };
    const QList<Case> cases = {
        {u"http://h/dir/page.html"_s, u"<a id=x href='b.pdf'>"_s, u"http://h/dir/b.pdf"_s},
        {u"http://h/dir/page.html"_s, u"<a id=x href=\"/b.pdf?a=1&amp;b=2\">"_s, u"http://h/b.pdf?a=1&b=2"_s},
        {u"http://h/dir/page.html"_s, u"<a id=x href=\"/b?id=6&amp;amp;seq=1\">"_s, u"http://h/b?id=6&amp;seq=1"_s},
        {u"http://h/dir/page.html"_s, u"<a id=x href=' https://o.org/x.pdf '>"_s, u"https://o.org/x.pdf"_s},
        {u"http://h/dir/page.html"_s, u"<a id=x href=/p?q=中>"_s, u"http://h/p?q=%E4%B8%AD"_s},
        {u"http://h/dir/page.html"_s, u"<base href='http://o/base/'><a id=x href=c>"_s, u"http://o/base/c"_s},
        {u"http://h/dir/page.html"_s, u"<a id=x name=anchor>"_s, u""_s},
        {u"http://h/dir/page.html"_s, u"<div id=x href=/no>"_s, u""_s},
    };
    for (const Case &c : cases) {
        const auto doc = StaticDocument::fromHtml(c.html, c.base);
        EXPECT_EQ(doc->getElementById(u"x"_s).href(), c.href) << c.html.toStdString();
    }
}

TEST(StaticDocument, FormFieldsHaveTheirPropertiesAndValueIsSettable)
{
    const auto doc = StaticDocument::fromHtml(
        uR"(<form><input id=u name=user class=" f " title='User'><input id=p type=PASSWORD value="a&amp;b">
            <button id=b>go</button><textarea id=t>x &lt; y</textarea></form>)"_s,
        u"http://h/"_s);
    Element user = doc->getElementById(u"u"_s);
    EXPECT_EQ(user.type(), u"text"_s);
    EXPECT_EQ(user.name(), u"user"_s);
    EXPECT_EQ(user.className(), u" f "_s);
    EXPECT_EQ(user.title(), u"User"_s);
    EXPECT_EQ(doc->getElementById(u"p"_s).type(), u"password"_s);
    EXPECT_EQ(doc->getElementById(u"p"_s).value(), u"a&b"_s);
    EXPECT_EQ(doc->getElementById(u"b"_s).type(), u"submit"_s);
    EXPECT_EQ(doc->getElementById(u"t"_s).value(), u"x < y"_s);
    user.setValue(u"张三"_s);
    EXPECT_EQ(doc->getElementById(u"u"_s).value(), u"张三"_s);
}

TEST(StaticDocument, BrokenMarkupNeverFails)
{
    for (const QString &html : {u""_s, u"<"_s, u"<a"_s, u"<a href='x"_s, u"</div></div>"_s,
                                u"<!-- never closed"_s, u"<script>no end"_s, u"<<>>&&#;&#xZZ;&#99999999;"_s,
                                QString(100000, u'<')}) {
        const auto doc = StaticDocument::fromHtml(html, u"http://h/"_s);
        EXPECT_EQ(doc->outerHTML(), html);
        doc->getElementsByTagName(u"*"_s);
    }
}
