// Search-side figures: the hand-over of 10,000 search rows into the download queue, and the CPU
// the walk uses while it waits a 5-second throttle delay.
#include "browser/browser.h"
#include "browser/staticdocument.h"
#include "download/downloadqueue.h"
#include "foundation/prompts.h"
#include "search/addallwalk.h"
#include "search/analysis.h"
#include "search/downloadqueueowner.h"
#include "search/searchsession.h"
#include "silentprompts.h"
#include "support/htmldocument.h"
#include "support/profiles.h"
#include "tools/savepathvalues.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

class NoPicker : public SaveFolderPicker
{
public:
    void showModal(SavePathValues &) override {}
};

class QueueOwner : public DownloadQueueOwner
{
public:
    DownloadQueue queueStore;
    void ensureLoaded() override {}
    bool isLoaded() const override { return true; }
    DownloadQueue *queue() override { return &queueStore; }
    void redrawAndShow(bool) override {}
};

// One result page whose next-page link loads the same page again at once.
class LoopBrowser : public Browser
{
public:
    LoopBrowser()
    {
        m_page = test::parseHtml(
            u"<div class='listitem xfolkentry'><a href='/a'>A</a><a href='/a.pdf'>Fulltext PDF "
            "Open Access</a></div><a class='paging_next btn pagingbtn' title='next' "
            "href='/p'>next</a>"_s,
            u"http://bench.test/p"_s);
        m_page->setClickHandler([this](const ElementData &) {
            QTimer::singleShot(0, this, [this] { emit DocumentComplete(true, URL()); });
        });
    }
    void Navigate(const QString &) override {}
    void GoBack() override {}
    void GoForward() override {}
    void Refresh() override {}
    bool Busy() const override { return true; }
    bool Silent() const override { return true; }
    void setSilent(bool) override {}
    std::shared_ptr<papyrant::Document> Document() override { return m_page; }
    QString URL() const override { return m_page->URL(); }

private:
    std::shared_ptr<StaticDocument> m_page;
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    SilentPrompts prompts;
    NoPicker picker;
    SavePathValues values;
    values.CurrentSaveFolder = u"/tmp/bench/"_s;

    {
        QueueOwner owner;
        SearchSession session(nullptr, values, prompts, picker, owner);
        QList<SearchRow> rows;
        for (int i = 0; i < 10000; ++i)
            rows.append({u"http://bench.test/pdf/%1.pdf?id=%1"_s.arg(i),
                         u"Article number %1: a title\r\nwith a line break"_s.arg(i),
                         u"PDF"_s,
                         {},
                         {},
                         u"http://bench.test/search?p=%1"_s.arg(i / 20)});
        session.list().addRows(rows);
        AnalysisCommands analysis(session);
        QElapsedTimer clock;
        clock.start();
        analysis.run(AnalysisCommands::Command::All);
        const qint64 ms = clock.elapsed();
        if (owner.queueStore.count() != 10000)
            std::fprintf(stderr, "hand-over lost rows: %d\n", owner.queueStore.count());
        std::printf("handoff_ms_10000_rows: %lld\n", static_cast<long long>(ms));
    }

    {
        QueueOwner owner;
        LoopBrowser browser;
        SearchSession session(&browser, values, prompts, picker, owner);
        session.setProfile(test::legacyProfile());
        session.delayText = [] { return u"5"_s; };
        AddAllWalk walk(session);
        session.flags().setAddAllStopped(false);
        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = cpuSeconds();
        walk.下一页(); // one click, the page, then the 5-second throttle wait
        const double cpu = cpuSeconds() - cpuBefore;
        const double wall = clock.elapsed() / 1000.0;
        std::printf("cpu_percent_throttle_wait: %.2f\n", wall > 0 ? 100.0 * cpu / wall : 0.0);
        std::printf("throttle_wait_wall_s: %.2f\n", wall);
    }
    return 0;
}
