// A profile file from outside (the user's, or a download): read over the built-in profiles, and
// its rules applied to a result page.
#include "fuzzing.h"
#include "search/resultpage.h"
#include "search/serviceprofile.h"
#include "support/htmldocument.h"

#include <QRegularExpression>

using namespace papyrant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const fuzz::Input in = fuzz::readInput(data, size);
    static const QByteArray builtIn = BuiltInServiceProfileFile();
    const ServiceProfiles read = ReadServiceProfiles(builtIn, in.bytes, u"/p.json"_qs);
    const QList<ServiceProfile> &base = BuiltInServiceProfiles();
    FUZZ_CHECK(read.profiles.size() >= base.size(), "never fewer than the built-ins");
    const ServiceProfiles known{read.profiles, {}};
    for (const ServiceProfile &b : base)
        FUZZ_CHECK(known.find(b.id), "every built-in id stays");
    if (!read.error.isEmpty()) {
        FUZZ_CHECK(read.profiles.size() == base.size(), "a faulty file adds nothing");
        static const QRegularExpression line(u"第 (\\d+) 行"_qs);
        const QRegularExpressionMatch m = line.match(read.error);
        FUZZ_CHECK(m.hasMatch(), "the fault names its line");
        FUZZ_CHECK(m.captured(1).toLongLong() <= in.bytes.count('\n') + 1, "a line of the file");
        return 0;
    }
    static const QRegularExpression typeWord(u"^[A-Za-z0-9]{1,10}$"_qs);
    static const auto page = test::parseHtml(
        u"<body class='result_list'>検索結果 3 件<div class='listitem xfolkentry'>"
        "<a class='taggedlink' href='/crid/1'>T</a><a class='availableLink' href='/f.pdf'>"
        "Fulltext PDF Open Access</a></div><a class='paging_next btn pagingbtn' title='next' "
        "rel='next' href='/p2'>next</a></body>"_qs,
        u"https://cir.nii.ac.jp/articles?q=x"_qs);
    for (const ServiceProfile &p : read.profiles) {
        FUZZ_CHECK(!p.id.isEmpty() && !p.name.isEmpty(), "named");
        FUZZ_CHECK(p.base.startsWith(u"http://") || p.base.startsWith(u"https://"), "a web base");
        FUZZ_CHECK(p.search.startsWith(u'/') && p.search.contains(u"{keyword}"), "a search");
        FUZZ_CHECK(typeWord.match(p.rowType).hasMatch(), "a row type fit to name a file");
        const ResultPage result = ParseResultPage(page.get(), p, {}, 200);
        for (const ResultEntry &e : result.entries)
            FUZZ_CHECK(!e.link.isEmpty() && e.type == p.rowType, "rows by the rules");
    }
    return 0;
}
