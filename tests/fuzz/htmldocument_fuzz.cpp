// The HTML parser that stands in for the browser in the logic tests, over any markup.
#include "fuzzing.h"
#include "support/htmldocument.h"

using namespace papyrant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const fuzz::Input in = fuzz::readInput(data, size);
    const auto doc = test::parseHtml(in.text, u"http://fuzz.test/dir/page.html"_qs);
    const QList<ElementData> &elements = doc->store()->elements;
    FUZZ_CHECK(doc->getElementsByTagName(u"*"_qs).length() == elements.size(),
               "every element is found by \"*\"");
    for (int i = 0; i < elements.size(); ++i) {
        const ElementData &e = elements.at(i);
        // Nesting: an element's parent comes before it and its descendants follow it at once.
        FUZZ_CHECK(e.parent < i, "a parent comes first");
        FUZZ_CHECK(e.end > i && e.end <= elements.size(), "an element holds a range after it");
        if (e.parent >= 0)
            FUZZ_CHECK(elements.at(e.parent).end >= e.end, "a child lies inside its parent");
        FUZZ_CHECK(!e.tag.isEmpty(), "an element has a tag");
        for (const QChar c : e.tag)
            FUZZ_CHECK(!(c >= u'a' && c <= u'z'), "tags are upper-case");

        // Every element's text is worked out, for the sanitizers to watch.
        (void)Element(doc->store(), i).innerText();
        if (!e.href.isEmpty())
            FUZZ_CHECK(e.tag == u"A" || e.tag == u"AREA" || e.tag == u"LINK",
                       "only links have href");
    }
    // The tree written out (documentElement.outerHTML) parses to the same elements: the page's
    // HTML element and what it holds, or everything inside the HTML element the engine adds.
    const QString markup = doc->outerHTML();
    FUZZ_CHECK(markup.startsWith(u"<html") && markup.endsWith(u"</html>"), "one HTML element");
    qsizetype expected = elements.size() + 1;
    for (int i = 0; i < elements.size(); i = elements.at(i).end) {
        if (elements.at(i).tag == u"HTML") {
            expected = elements.at(i).end - i;
            break;
        }
    }
    const auto again = test::parseHtml(markup, u"http://fuzz.test/dir/page.html"_qs);
    FUZZ_CHECK(again->store()->elements.size() == expected, "the markup holds the same elements");
    return 0;
}
