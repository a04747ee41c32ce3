// Extraction of a result page of 1,000 entries once it has loaded in the engine.
#include "browser/ui/webenginebrowser.h"
#include "search/resultpage.h"
#include "support/profiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWebEngineProfile>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

QString generatedPage(int entries)
{
    QString html = u"<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>bench</title></head>"
                   "<body><div id=\"itemlistbox\">"_s;
    for (int i = 0; i < entries; ++i) {
        const QString n = QString::number(i);
        html += u"<div class=\"listitem xfolkentry\"><dl><dt><a href=\"/naid/"_s + n
                + u"\" class=\"taggedlink\">湿地の研究 第"_s + n
                + u"報：生態系と水文...</a></dt>"
                  "<dd><p class=\"item_authordata\"><a href=\"/author/"_s
                + n + u"\">著者 "_s + n
                + u"</a></p><p class=\"item_journaldata\">紀要 12(3), 2020</p>"
                  "<p class=\"item_links\"><a href=\"/naid/"_s
                + n
                + u"/detail\">CiNii 論文</a> "
                  "<a href=\"/lognavi?name=nels&amp;lang=ja&amp;id="_s
                + n + u"\">Fulltext PDF <span>Open Access</span></a></p></dd></dl></div>\n"_s;
    }
    html += u"</div><div class=\"paging\"><a class=\"paging_next btn pagingbtn\" title=\"next\" "
            "href=\"/search?page=2\">次へ</a></div></body></html>"_s;
    return html;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    constexpr int entries = 1000;
    QWebEngineProfile profile; // off the record
    auto browser = std::make_unique<WebEngineBrowser>(&profile);
    QEventLoop loaded;
    QObject::connect(browser.get(), &Browser::DocumentComplete, &loaded, &QEventLoop::quit);
    QTimer::singleShot(60000, &loaded, &QEventLoop::quit);
    browser->page()->setHtml(generatedPage(entries), QUrl(u"https://ci.nii.ac.jp/search?q=x"_s));
    loaded.exec();

    std::vector<double> times;
    qsizetype found = 0;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer clock;
        clock.start();
        const ResultPage page = ExtractPage(*browser, test::legacyProfile(), u"/tmp/"_s);
        times.push_back(clock.nsecsElapsed() / 1e6);
        found = page.entries.size();
    }
    std::sort(times.begin(), times.end());
    if (found != entries)
        std::fprintf(stderr, "expected %d entries, extracted %lld\n", entries, qlonglong(found));
    std::printf("extract_ms_1000_entries: %.1f\n", times.at(times.size() / 2));
    browser.reset();
    return found == entries ? 0 : 1;
}
