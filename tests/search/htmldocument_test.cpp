// labels: unit
#include "search/resultpage.h"
#include "support/htmldocument.h"
#include "support/profiles.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace papyrant;
using papyrant::test::parseHtml;
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

TEST(HtmlDocument, ElementsComeInDocumentOrderAndNestingIsKept)
{
    const auto doc = parseHtml(
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

TEST(HtmlDocument, ImpliedEndsAndStrayTagsBuildTheTreeBrowsersBuild)
{
    const auto doc = parseHtml(uR"(<p id="p1">one<p id="p2">two<div id="d">three</div>
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

TEST(HtmlDocument, InnerTextIsTheRenderedText)
{
    struct Case
    {
        QString html;
        QString text;
    };
    const QList<Case> cases = {
        {u"<a id=x>  Alpha:\n  a   study  </a>"_s, u"Alpha: a study"_s},
        {u"<a id=x>Fulltext PDF<br><span>Open Access</span></a>"_s, u"Fulltext PDF\nOpen Access"_s},
        {u"<div id=x><div>one</div> <div>two</div>three</div>"_s, u"one\ntwo\nthree"_s},
        {u"<div id=x>a<script>hidden()</script><style>p{}</style>b</div>"_s, u"ab"_s},
        {u"<a id=x>Zeta &amp; Eta &lt;3&gt; &#x4E2D;&#25991; &unknown; a&b</a>"_s,
         u"Zeta & Eta <3> 中文 &unknown; a&b"_s},
        {u"<a id=x><img src=t.png></a>"_s, u""_s},
        {u"<a id=x>オープン<b>アクセス</b></a>"_s, u"オープンアクセス"_s},
        {u"<div id=x>a\u0001b\u0002<div>c</div></div>"_s,
         u"a\u0001b\u0002\nc"_s}, // no marks of ours
        {u"<div id=x><p>one</p><p>two</p></div>"_s, u"one\n\ntwo"_s},
        {u"<table id=x><tr><td>a<td>b<tr><td>c</table>"_s, u"a\tb\nc"_s},
        // what display:none hides is no part of the rendered text
        {u"<a id=x>Fulltext PDF <span style='display:none'>Open Access</span></a>"_s,
         u"Fulltext PDF"_s},
        {u"<a id=x>a<b hidden>b</b>c</a>"_s, u"ac"_s},
        {u"<style>.h, p#q { display: none }</style><div id=x>a<span class='x h'>b</span><p id=q>c</p>d</div>"_s,
         u"ad"_s}, // a hidden block makes no line break either
        {u"<style>span{display:none}</style><div id=x>a<span style='display:inline'>b</span></div>"_s,
         u"ab"_s},
        {u"<div id=x>a<div style='display:none'>b<div style='display:block'>c</div></div>d</div>"_s,
         u"ad"_s},
        // an element that is not rendered itself answers with its text content
        {u"<div id=x style='display:none'>a <b>b</b></div>"_s, u"a b"_s},
        {u"<div style='display:none'><a id=x href=/>inside  hidden</a></div>"_s,
         u"inside  hidden"_s},
    };
    for (const Case &c : cases) {
        const auto doc = parseHtml(c.html, u"http://h/"_s);
        EXPECT_EQ(doc->getElementById(u"x"_s).innerText(), c.text) << c.html.toStdString();
    }
}

TEST(HtmlDocument, HrefIsAbsoluteAndAttributesAreDecoded)
{
    struct Case
    {
        QString base;
        QString html;
        QString href;
    };
    const QList<Case> cases = {
        {u"http://h/dir/page.html"_s, u"<a id=x href='b.pdf'>"_s, u"http://h/dir/b.pdf"_s},
        {u"http://h/dir/page.html"_s, u"<a id=x href=\"/b.pdf?a=1&amp;b=2\">"_s,
         u"http://h/b.pdf?a=1&b=2"_s},
        {u"http://h/dir/page.html"_s, u"<a id=x href=\"/b?id=6&amp;amp;seq=1\">"_s,
         u"http://h/b?id=6&amp;seq=1"_s},
        {u"http://h/dir/page.html"_s, u"<a id=x href=' https://o.org/x.pdf '>"_s,
         u"https://o.org/x.pdf"_s},
        {u"http://h/dir/page.html"_s, u"<a id=x href=/p?q=中>"_s, u"http://h/p?q=%E4%B8%AD"_s},
        {u"http://h/dir/page.html"_s, u"<base href='http://o/base/'><a id=x href=c>"_s,
         u"http://o/base/c"_s},
        {u"http://h/dir/page.html"_s, u"<a id=x name=anchor>"_s, u""_s},
        {u"http://h/dir/page.html"_s, u"<div id=x href=/no>"_s, u""_s},
    };
    for (const Case &c : cases) {
        const auto doc = parseHtml(c.html, c.base);
        EXPECT_EQ(doc->getElementById(u"x"_s).href(), c.href) << c.html.toStdString();
    }
}

TEST(HtmlDocument, FormFieldsHaveTheirPropertiesAndValueIsSettable)
{
    const auto doc = parseHtml(
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

TEST(HtmlDocument, CharacterReferencesAreDecodedAsTheEngineDecodesThem)
{
    struct Case
    {
        QString html;
        QString text;
    };
    const QList<Case> cases = {
        {u"<a id=x>a&#65279;b&#xFEFF;</a>"_s, u"a\uFEFFb\uFEFF"_s}, // never dropped as a BOM
        {u"<a id=x>&#x4E2D&#25991 &amp &lt;</a>"_s, u"中文 & <"_s}, // ";" left out
        {u"<a id=x>&#150;&#0;&#xD800;&#x110000;</a>"_s, u"\u2013\uFFFD\uFFFD\uFFFD"_s},
        {u"<a id=x>&#; &#x; &ampx; &bogus;</a>"_s, u"&#; &#x; &x; &bogus;"_s},
    };
    for (const Case &c : cases) {
        const auto doc = parseHtml(c.html, u"http://h/"_s);
        EXPECT_EQ(doc->getElementById(u"x"_s).innerText(), c.text) << c.html.toStdString();
    }
    // In an attribute a legacy name before a letter or "=" stays as written.
    const auto doc = parseHtml(u"<a id=x href='/p?a=1&copy=2&amp;b=3&lt'>x</a>"_s, u"http://h/"_s);
    EXPECT_EQ(doc->getElementById(u"x"_s).href(), u"http://h/p?a=1&copy=2&b=3%3C"_s);
}

TEST(HtmlDocument, OuterHtmlIsTheTreeWrittenOutAgain)
{
    // What searches the markup sees references decoded, as in documentElement.outerHTML.
    const auto doc = parseHtml(
        uR"(<!DOCTYPE html><HTML><Body><img SRC="&#47;sorry&#47;image&#63;id&#61;1&amp;x" alt=a"b>)"
        uR"(<p>1 &lt; 2&nbsp;<!-- note --><script>if (a < b) x = "&amp;";</script><br/></body></html>)"_s,
        u"http://h/"_s);
    EXPECT_EQ(doc->outerHTML(),
              uR"(<html><body><img src="/sorry/image?id=1&amp;x" alt="a&quot;b"><p>1 &lt; 2&nbsp;)"
              uR"(<!-- note --><script>if (a < b) x = "&amp;";</script><br></p></body></html>)"_s);
    EXPECT_TRUE(ParseResultPage(doc.get(), test::legacyProfile(), {}).blocked);
    // A page without an HTML element still has one, as the engine makes it.
    EXPECT_EQ(parseHtml(u"<b>x</b>"_s, u"http://h/"_s)->outerHTML(), u"<html><b>x</b></html>"_s);
}

TEST(HtmlDocument, DeepNestingNeitherRecursesNorRepeatsTheText)
{
    // Each level once: the text of every level is worked out only when read.
    const int depth = 200000;
    const QString html = u"<b>x"_s.repeated(depth) + u"</b>"_s.repeated(depth);
    const auto doc = parseHtml(html, u"http://h/"_s);
    const ElementCollection all = doc->getElementsByTagName(u"B"_s);
    ASSERT_EQ(all.length(), depth);
    EXPECT_EQ(all.item(0).innerText(), QString(depth, u'x'));
    EXPECT_EQ(all.item(depth - 1).innerText(), u"x"_s);
    EXPECT_EQ(all.item(depth - 1).getElementsByTagName(u"*"_s).length(), 0);
    EXPECT_EQ(doc->outerHTML().size(), u"<html></html>"_s.size() + html.size());
}

TEST(HtmlDocument, BrokenMarkupNeverFails)
{
    for (const QString &html :
         {u""_s, u"<"_s, u"<a"_s, u"<a href='x"_s, u"</div></div>"_s, u"<!-- never closed"_s,
          u"<script>no end"_s, u"<<>>&&#;&#xZZ;&#99999999;"_s, u"<a =x ==y>"_s, u"\0<\0a\0>"_s,
          QString(100000, u'<')}) {
        const auto doc = parseHtml(html, u"http://h/"_s);
        EXPECT_TRUE(doc->outerHTML().startsWith(u"<html>"_s)) << html.left(40).toStdString();
        for (const Element &e : doc->getElementsByTagName(u"*"_s))
            e.innerText();
    }
}
