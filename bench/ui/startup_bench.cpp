// One start of the program as main() starts it, timed from the moment the process was started
// (STARTUP_T0_US, microseconds since the epoch, set by bench/startup.sh just before it starts
// this program): the cover painted, then "文献检索下载" pressed at once and the service's home
// page loaded in the search window; then, with the search window idle, the resident memory of
// this process and of every process it started. Prints name: value lines for one run; the
// script takes the medians.
#include "app/ui/fcover.h"
#include "app/ui/programwindows.h"
#include "app/ui/startup.h"
#include "browser/ui/webenginebrowser.h"
#include "search/searchsession.h"
#include "search/serviceaddress.h"
#include "search/ui/fwebsearch.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <unistd.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

double msSinceStart()
{
    const qint64 t0 = qgetenv("STARTUP_T0_US").toLongLong();
    const qint64 now = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    return double(now - t0) / 1000.0;
}

// This process and all its descendants, from /proc.
QList<int> processTree()
{
    QHash<int, QList<int>> children;
    for (const QString &entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        bool ok = false;
        const int pid = entry.toInt(&ok);
        if (!ok)
            continue;
        QFile stat(u"/proc/"_s + entry + u"/stat"_s);
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children[fields.at(1).toInt()].append(pid);
    }
    QList<int> tree{int(::getpid())};
    for (qsizetype i = 0; i < tree.size(); ++i)
        tree.append(children.value(tree.at(i)));
    return tree;
}

// The sum of one field (in kB) of /proc/<pid>/<file> over the tree, in MB.
double treeMegabytes(const QList<int> &tree, const QString &file, const QByteArray &field)
{
    qint64 kb = 0;
    for (int pid : tree) {
        QFile status(u"/proc/"_s + QString::number(pid) + u'/' + file);
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith(field))
                kb += line.mid(field.size()).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return double(kb) / 1024.0;
}

} // namespace

int main(int argc, char **argv)
{
    const double atMain = msSinceStart();
    prepareProcess();
    QApplication app(argc, argv);
    prepareApplication();
    const double atApplication = msSinceStart();
    ProgramWindows windows;
    FCover *cover = windows.cover();

    // The cover counts as shown once its first paint has gone to the screen.
    double coverShown = -1;
    struct FirstPaint : QObject
    {
        double *when;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint && *when < 0)
                QTimer::singleShot(0, [this] { *when = msSinceStart(); });
            return false;
        }
    } firstPaint;
    firstPaint.when = &coverShown;
    cover->installEventFilter(&firstPaint);
    cover->load();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (coverShown >= 0)
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    poll.stop();

    // "文献检索下载" at once: the search window until the home page has loaded in it.
    double searchReady = -1;
    cover->findChild<QPushButton *>(u"Command1"_s)->click();
    FWebSearch *search = windows.searchWindow();
    QObject::connect(search->browser(), &Browser::DocumentComplete, &loop,
                     [&](bool topLevel, const QString &address) {
                         if (topLevel && address == ServiceHomePage(search->session().profile())
                             && searchReady < 0) {
                             searchReady = msSinceStart();
                             loop.quit();
                         }
                     });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (search->browser()->URL() != ServiceHomePage(search->session().profile())
        || search->browser()->Busy())
        loop.exec();

    // Idle for a while, then the memory of every process of the program.
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    loop.exec();
    const QList<int> tree = processTree();
    std::printf("cover_shown_ms: %.1f\n", coverShown);
    std::printf("search_ready_ms: %.1f\n", searchReady);
    std::printf("rss_MB_search_window_idle: %.1f\n", treeMegabytes(tree, u"status"_s, "VmRSS:"));
    std::printf("pss_MB_search_window_idle: %.1f\n",
                treeMegabytes(tree, u"smaps_rollup"_s, "Pss:"));
    std::printf("processes: %d\n", int(tree.size()));
    std::printf("main_entered_ms: %.1f\n", atMain);
    std::printf("application_ms: %.1f\n", atApplication);
    if (qEnvironmentVariableIsSet("STARTUP_SHOW_PROCESSES")) {
        for (int pid : tree) {
            QFile cmd(u"/proc/"_s + QString::number(pid) + u"/cmdline"_s);
            cmd.open(QIODevice::ReadOnly);
            std::printf("  %d %.1f %.1f %s\n", pid, treeMegabytes({pid}, u"status"_s, "VmRSS:"),
                        treeMegabytes({pid}, u"smaps_rollup"_s, "Pss:"),
                        cmd.readAll().replace('\0', ' ').left(150).constData());
        }
    }
    std::fflush(stdout);
    return 0;
}
