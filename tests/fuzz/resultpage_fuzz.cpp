// Result-page extraction over a page parsed by the tests' HTML parser.
#include "fuzzing.h"
#include "search/resultpage.h"
#include "support/htmldocument.h"

#include <QSet>

using namespace papyrant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const fuzz::Input in = fuzz::readInput(data, size);
    const QString url = u"https://ci.nii.ac.jp/search?q=x&type=1"_qs;
    const auto doc = test::parseHtml(in.text, url);
    const ResultPage page = ParseResultPage(doc.get(), u"/data/"_qs);
    if (page.blocked) {
        FUZZ_CHECK(page.entries.isEmpty(), "a block page gives nothing");
        FUZZ_CHECK(IsBlockPage(doc->outerHTML()), "blocked only by the marker");
        return 0;
    }
    QSet<QString> links;
    for (const ResultEntry &e : page.entries) {
        FUZZ_CHECK(!e.title.isEmpty(), "a title is never empty");
        FUZZ_CHECK(!e.title.contains(u"..."), "a title holds no \"...\"");
        FUZZ_CHECK(!e.link.isEmpty() && e.link == e.link.trimmed(), "a link is trimmed text");
        FUZZ_CHECK(!e.link.contains(u"&amp;", Qt::CaseInsensitive), "a link holds no \"&amp;\"");
        FUZZ_CHECK(!links.contains(e.link), "each link once");
        links.insert(e.link);
        FUZZ_CHECK(e.type == u"PDF" && e.page == url && e.saveFolder == u"/data/", "row values");
    }
    // The same page read again gives the same rows.
    const ResultPage again = ParseResultPage(doc.get(), u"/data/"_qs);
    FUZZ_CHECK(again.entries.size() == page.entries.size(), "extraction is repeatable");
    return 0;
}
