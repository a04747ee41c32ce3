// Reading a landing page of one megabyte (ReadLandingPage): a repository record page grown to
// that size with the usual markup of such pages, once in UTF-8 and once in Shift_JIS, against
// the HTML parser alone (gumbo, its own allocator, parse and free) on the same bytes. Prints
// "name: value" lines; each figure is the median of 9 paired runs.
#include "download/landingpage.h"

#include <gumbo.h>

#include <QElapsedTimer>
#include <QStringEncoder>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

QString pageOfAbout(qsizetype bytes, const QString &meta)
{
    QString page = u"<!DOCTYPE html><html lang=\"ja\"><head>"_s + meta
                   + u"<title>干潟の底生生物相 | 学術リポジトリ</title>"
                     "<meta name=\"citation_title\" content=\"干潟の底生生物相\">"
                     "<link rel=\"stylesheet\" href=\"/static/css/app.css\">"
                     "<script>window.dataLayer = window.dataLayer || [];</script></head><body>"_s;
    for (qsizetype i = 0, utf8 = page.toUtf8().size(); utf8 < bytes; ++i) {
        const QString block =
            u"<div class=\"panel panel-default\"><div class=\"panel-heading\"><h3>"
            "関連アイテム %1</h3></div><div class=\"panel-body\"><table class=\"table\"><tr>"
            "<th>著者</th><td><a href=\"/search?creator=%1\">佐藤 一郎</a></td></tr><tr>"
            "<th>ファイル</th><td><a href=\"/records/%1/files/paper%1.csv\">paper%1.csv</a>"
            "</td></tr></table><p>干潟の底生生物相について調査した結果を報告する。 "
            "Results of a survey of tidal flats.</p></div></div>\n"_s.arg(i);
        page += block;
        utf8 += block.toUtf8().size();
    }
    return page + u"<a href=\"/records/1/files/paper.pdf\">本文</a></body></html>"_s;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double readMs(const QByteArray &bytes)
{
    QElapsedTimer timer;
    timer.start();
    const LandingPage page = ReadLandingPage(bytes, u"https://repo.example.ac.jp/records/1"_s);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (page.fullTextLinks.size() != 1) {
        std::fprintf(stderr, "the page's link was not found\n");
        std::exit(1);
    }
    return ms;
}

double parserMs(const QByteArray &utf8)
{
    QElapsedTimer timer;
    timer.start();
    GumboOutput *output =
        gumbo_parse_with_options(&kGumboDefaultOptions, utf8.constData(), std::size_t(utf8.size()));
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main()
{
    const QByteArray utf8 = pageOfAbout(1 << 20, u"<meta charset=\"utf-8\">"_s).toUtf8();
    QStringEncoder sjis("Shift_JIS");
    const QByteArray shiftJis = sjis.encode(pageOfAbout(
        1 << 20, u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"_s));
    std::printf("landing_page_bytes: %lld\n", static_cast<long long>(utf8.size()));
    std::printf("landing_sjis_page_bytes: %lld\n", static_cast<long long>(shiftJis.size()));
    std::vector<double> landing, sjisLanding, parser, ratio;
    for (int run = 0; run < 9; ++run) {
        parser.push_back(parserMs(utf8));
        landing.push_back(readMs(utf8));
        sjisLanding.push_back(readMs(shiftJis));
        ratio.push_back(landing.back() / parser.back());
    }
    std::printf("landing_ms_1MB: %.1f\n", median(landing));
    std::printf("landing_sjis_ms_1MB: %.1f\n", median(sjisLanding));
    std::printf("gumbo_ms_1MB: %.1f\n", median(parser));
    std::printf("landing_vs_gumbo_1MB: %.2f\n", median(ratio));
    return 0;
}
