// Result-page extraction over a page parsed by the tests' HTML parser, by every built-in profile.
#include "fuzzing.h"
#include "search/resultpage.h"
#include "search/serviceprofile.h"
#include "support/htmldocument.h"

#include <QSet>

using namespace papyrant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const fuzz::Input in = fuzz::readInput(data, size);
    const QString url = u"https://ci.nii.ac.jp/search?q=x&type=1"_qs;
    const auto doc = test::parseHtml(in.text, url);
    for (const ServiceProfile &profile : BuiltInServiceProfiles()) {
        const ResultPage page = ParseResultPage(doc.get(), profile, u"/data/"_qs, 200);
        if (page.blocked) {
            FUZZ_CHECK(page.entries.isEmpty() && !page.hasNext(), "a block page gives nothing");
            // Off the profile's search paths and with a 200, only a marker blocks.
            FUZZ_CHECK(!profile.blocked.markers.isEmpty(), "blocked only by a marker");
            FUZZ_CHECK(!ResultPageNote(page, profile).isEmpty() || !profile.reportEmptyPages,
                       "a refusal is said");
            continue;
        }
        QSet<QString> links;
        for (const ResultEntry &e : page.entries) {
            FUZZ_CHECK(!e.title.isEmpty(), "a title is never empty");
            FUZZ_CHECK(!e.title.contains(u"..."), "a title holds no \"...\"");
            FUZZ_CHECK(!e.link.isEmpty() && e.link == e.link.trimmed(), "a link is trimmed text");
            FUZZ_CHECK(!e.link.contains(u"&amp;", Qt::CaseInsensitive),
                       "a link holds no \"&amp;\"");
            FUZZ_CHECK(!links.contains(e.link), "each link once");
            links.insert(e.link);
            FUZZ_CHECK(e.type == profile.rowType && e.page == url && e.saveFolder == u"/data/",
                       "row values");
        }
        FUZZ_CHECK(page.entryCount >= page.entries.size(), "entries are counted");
        FUZZ_CHECK(page.entries.isEmpty() || page.verdict == ResultPage::Verdict::Entries,
                   "a page with rows says so");
        // The same page read again gives the same rows.
        const ResultPage again = ParseResultPage(doc.get(), profile, u"/data/"_qs, 200);
        FUZZ_CHECK(again.entries.size() == page.entries.size(), "extraction is repeatable");
        FUZZ_CHECK(again.nextAddress == page.nextAddress, "the next page is repeatable");
    }
    return 0;
}
