// The landing-page reader over any bytes: whatever a page holds, what comes back is something
// the download engine may fetch.
#include "download/landingpage.h"
#include "fuzzing.h"

#include <QSet>
#include <QUrl>

using namespace papyrant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses where the page came from: a J-STAGE article, a repository, no
    // address, or text that is no address.
    static const QString addresses[] = {
        u"https://repo.example.ac.jp/records/1"_qs,
        u"https://www.jstage.jst.go.jp/article/j/1/2/3/_article"_qs,
        QString(),
        u"::not an address"_qs,
    };
    const QString address = addresses[data[0] % 4];
    const QByteArray bytes = fuzz::bytesOf(data + 1, size - 1);
    const LandingPage page = ReadLandingPage(bytes, address);

    FUZZ_CHECK(page.status == LandingPage::Status::Read
                   || page.status == LandingPage::Status::TooComplex,
               "an input this small is read or given up, never too large");
    if (page.status != LandingPage::Status::Read) {
        FUZZ_CHECK(page.fullTextLinks.isEmpty() && page.title.isEmpty(), "given up: nothing");
        return 0;
    }
    FUZZ_CHECK(page.fullTextLinks.size() <= MaxFullTextLinks, "a bounded number of links");
    QSet<QString> seen;
    for (const QString &link : page.fullTextLinks) {
        const QUrl url(link, QUrl::StrictMode);
        FUZZ_CHECK(url.isValid(), "a link is a valid address");
        FUZZ_CHECK(url.scheme() == u"http" || url.scheme() == u"https", "only http(s) links");
        FUZZ_CHECK(!url.host().isEmpty(), "a link names its host");
        FUZZ_CHECK(!url.hasFragment(), "no fragment");
        FUZZ_CHECK(!seen.contains(link), "each link once");
        seen.insert(link);
    }
    if (!page.refreshTarget.isEmpty()) {
        const QUrl url(page.refreshTarget, QUrl::StrictMode);
        FUZZ_CHECK(url.isValid() && (url.scheme() == u"http" || url.scheme() == u"https"),
                   "a refresh target is an http(s) address");
    }
    FUZZ_CHECK(page.title == page.title.simplified(), "the title is one line, spaces collapsed");
    FUZZ_CHECK(page.challengeMarker.size() <= 24
                   && page.challengeMarker == page.challengeMarker.toLower(),
               "a marker is one of the short lower-case markers");
    FUZZ_CHECK(!page.charset.isEmpty(), "the page was read as some character set");
    return 0;
}
