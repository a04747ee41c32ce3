#include "download/scheduler.h"

#include "download/downloadqueue.h"
#include "download/landingresolution.h"
#include "download/requeue.h"
#include "download/transfermethods.h"
#include "foundation/fileentry.h"
#include "foundation/filenames.h"
#include "foundation/prompts.h"
#include "transfer/transferend.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cmath>

namespace papyrant {

using namespace Qt::Literals::StringLiterals;

namespace {

QString withSlash(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

QString numbered(const QString &name, qint64 n)
{
    return name + u'[' + QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0')) + u']';
}

} // namespace

SavePath 重命名保存路径(QString folder, QString name, const QString &type, SameNameRule rule)
{
    SaveNames names;
    return 重命名保存路径(std::move(folder), std::move(name), type, rule, names);
}

SavePath 重命名保存路径(QString folder, QString name, const QString &type, SameNameRule rule,
                        SaveNames &names)
{
    folder = withSlash(folder);
    // No dot for an empty type, so that the path is the one RowFilePath looks for.
    const auto pathOf = [&](const QString &n) -> QString {
        if (type.isEmpty())
            return folder + n;
        return folder + n + u'.' + type;
    };
    const auto taken = [&](const QString &n) { return names.isTaken(pathOf(n)); };
    if (rule == SameNameRule::Overwrite || !taken(name))
        return {name, pathOf(name)};

    qint64 n = 0;
    const qsizetype open = name.lastIndexOf(u'[');
    const qsizetype close = name.lastIndexOf(u']');
    if (open >= 0 && close > open) {
        bool ok = false;
        // Counters beyond what a name can carry are no counters.
        const qint64 value = name.mid(open + 1, close - open - 1).trimmed().toLongLong(&ok);
        if (ok && value >= 0 && value < 1000000000) {
            n = value;
            name.truncate(open);
        }
    }
    name.replace(u'[', u'『');
    name.replace(u']', u'』');
    QString candidate = n == 0 ? name : numbered(name, n);
    while (taken(candidate))
        candidate = numbered(name, ++n);
    return {candidate, pathOf(candidate)};
}

DownloadScheduler::DownloadScheduler(DownloadSession &session, MethodOneTransfer &methodOne,
                                     MethodTwoTransfers &methodTwo, Prompts &prompts,
                                     QObject *parent)
    : QObject(parent), m_session(session), m_one(methodOne), m_two(methodTwo), m_prompts(prompts)
{
    m_timerDown.setObjectName(QStringLiteral("Timer_Down"));
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timerDown.setInterval(1000);
    m_timer1.setInterval(1000);
    connect(&m_timerDown, &QTimer::timeout, this, &DownloadScheduler::tickDownload);
    connect(&m_timer1, &QTimer::timeout, this, &DownloadScheduler::tickHousekeeping);
    m_refill.setSingleShot(true);
    m_refill.setTimerType(Qt::PreciseTimer);
    connect(&m_refill, &QTimer::timeout, this, &DownloadScheduler::refill);
    connect(&session, &DownloadSession::rowEnded, this, &DownloadScheduler::scheduleRefill);
    // A row that becomes waiting ahead of the mark moves it back.
    DownloadQueue &queue = session.queue();
    // The hosts of the waiting rows, once a walk has seen them all, grow with every row that
    // becomes waiting, so that a queue whose every host is busy or resting is not walked row by
    // row for each free slot.
    connect(&queue, &DownloadQueue::rowChanged, this, [this, &queue](int position) {
        if (queue.row(position).State != QueueRow::Waiting)
            return;
        m_firstWaiting = std::min(m_firstWaiting, position);
        if (m_waitingHostsKnown)
            m_waitingHosts.insert(HostKey(选择url(queue.row(position).Urls)));
    });
    connect(&queue, &DownloadQueue::rowsAppended, this, [this, &queue](int first, int last) {
        m_firstWaiting = std::min(m_firstWaiting, first);
        for (int p = first; m_waitingHostsKnown && p <= last; ++p)
            m_waitingHosts.insert(HostKey(选择url(queue.row(p).Urls)));
    });
    connect(&queue, &DownloadQueue::keyChanged, this, [this](const QString &, const QString &to) {
        if (m_waitingHostsKnown)
            m_waitingHosts.insert(HostKey(选择url(to)));
    });
    connect(&queue, &DownloadQueue::rowsReset, this, [this] {
        m_firstWaiting = 1;
        m_waitingHostsKnown = false;
    });
    session.fetchAgain = [this](int method, int slot, int position) {
        return fetchAgain(method, slot, position);
    };
}

DownloadScheduler::~DownloadScheduler()
{
    m_session.fetchAgain = nullptr;
}

// Seconds since the last end, as the interval rule measures them.
double DownloadScheduler::sinceLastEnd() const
{
    return std::fabs(m_session.LastEndTime - m_session.now());
}

// A free slot is taken as soon as the interval rule allows, not only at the next tick: the
// rule wants strictly more than the interval since the last end, so the earliest moment is a
// millisecond past it.
void DownloadScheduler::scheduleRefill()
{
    if (!isOn())
        return;
    const double wait = m_session.options.intervalSeconds - sinceLastEnd();
    m_refill.start(wait < 0 ? 0 : int(std::min(std::ceil(wait * 1000), 3.6e6)) + 1);
}

void DownloadScheduler::refill()
{
    if (!isOn())
        return;
    if (!(sinceLastEnd() > m_session.options.intervalSeconds))
        return scheduleRefill(); // woke a little early
    tickDownload();
}

void DownloadScheduler::switchOn()
{
    if (m_timerDown.isActive())
        return;
    m_timerDown.start();
    // What the user changed in the save folders since the last run is seen from now on.
    m_session.names.forgetListings();
    setIndicator(true);
    emit switched(true);
    scheduleRefill(); // waiting rows start now, not a whole tick later
}

void DownloadScheduler::switchOff()
{
    if (!m_timerDown.isActive())
        return;
    m_timerDown.stop();
    m_refill.stop();
    setIndicator(false);
    emit switched(false);
}

void DownloadScheduler::setIndicator(bool visible)
{
    if (m_indicatorVisible == visible)
        return;
    m_indicatorVisible = visible;
    emit indicatorVisibleChanged(visible);
}

void DownloadScheduler::setStartEnabled(bool enabled)
{
    if (m_startEnabled == enabled)
        return;
    m_startEnabled = enabled;
    emit startCommandEnabledChanged(enabled);
}

void DownloadScheduler::startDownloads()
{
    // The one message of the command the user clicked: the ticks fail such rows silently.
    const QString refused = failRowsWithoutFolder();
    if (!refused.isEmpty())
        m_prompts.message(refused, Prompts::Icon::Error);
    switchOn();
}

QString DownloadScheduler::failRowsWithoutFolder()
{
    DownloadQueue &queue = m_session.queue();
    QHash<QString, MadeFolder> made; // a few folders for many rows
    QStringList badNames;
    QStringList notMade;
    queue.beginBatch();
    for (int p = 1; p <= queue.count(); ++p) {
        if (queue.row(p).State != QueueRow::Waiting)
            continue;
        const QString folder = queue.row(p).SaveFolder;
        auto it = made.constFind(folder);
        if (it == made.constEnd()) {
            it = made.insert(folder, MakeFolderPath(folder));
            if (it->path.isEmpty())
                (it->nameError ? badNames : notMade) << QDir::toNativeSeparators(folder);
        }
        if (it->path.isEmpty())
            FailRowWithReason(queue, p,
                              it->nameError ? QueueWords::reasonFolderName()
                                            : QueueWords::reasonFolderNotMade());
    }
    queue.endBatch();

    const auto listed = [](const QStringList &folders) {
        constexpr qsizetype shown = 10;
        QString text = folders.mid(0, shown).join(u'\n');
        if (folders.size() > shown)
            text += u"\n……"_s;
        return text;
    };
    QString text;
    if (!badNames.isEmpty())
        text = u"文件夹名称有误！不能创建文件夹！\n"_s + listed(badNames);
    if (!notMade.isEmpty())
        text +=
            (text.isEmpty() ? QString() : u"\n\n"_s) + u"不能创建文件夹！\n"_s + listed(notMade);
    return text;
}

void DownloadScheduler::startHousekeeping()
{
    m_session.markTransferEnded();
    m_timer1.start();
}

void DownloadScheduler::stopDownloads()
{
    DownloadOptions &options = m_session.options;
    if (options.autoStart || options.autoRedownload) {
        options.autoStart = false;
        options.autoRedownload = false;
        emit optionsChanged();
    }
    m_one.cancel();
    switchOff();
    for (int slot = 1; slot <= 6; ++slot)
        if (m_two.isLoaded(slot))
            m_two.unload(slot);
    DownloadQueue &queue = m_session.queue();
    queue.beginBatch();
    for (int p = 1; p <= queue.count(); ++p) {
        if (queue.row(p).State == QueueRow::Downloading) {
            queue.setState(p, QueueRow::Failed);
            queue.setReason(p, TransferReason::cancelled());
        }
    }
    queue.endBatch();
}

bool DownloadScheduler::确定是需要下载(int position)
{
    DownloadQueue &queue = m_session.queue();
    if (!queue.isValidPosition(position))
        return false;
    QueueRow row = queue.row(position);
    row.SaveFolder = withSlash(row.SaveFolder);
    const QString path = RowFilePath(row);
    const SameNameRule rule = m_session.options.sameName;
    if (rule == SameNameRule::Rename)
        return true;
    // N.pdf on disk is this row's file also when the row says "PDF".
    const SaveNames::OnDisk found =
        rule == SameNameRule::Skip ? m_session.names.onDisk(path) : SaveNames::OnDisk{};
    if (found.found == SaveNames::Found::File) {
        const QString length = QString::number(QFileInfo(found.path).size());
        queue.update(position, [&](QueueRow &r) {
            r.State = QueueRow::Finished;
            r.Size = length;
            r.Received = length;
            r.Percent = QueueWords::percentExists();
        });
        return false;
    }
    // A link (to a file too: "覆盖" replaces files, never what a link points at), a folder:
    // the file cannot go there.
    const EntryKind entry = EntryAt(path);
    if (entry != EntryKind::None && entry != EntryKind::File) {
        queue.update(position, [&](QueueRow &r) {
            r.State = QueueRow::Failed;
            r.Size.clear();
            r.Received.clear();
            r.Percent = QueueWords::percentCannotReplace();
        });
        return false;
    }
    return true;
}

// The first waiting row that is to be fetched; rows whose file is there under "跳过" are
// finished on the way, and rows whose folder cannot be made fail on the way with the reason
// (no message: this runs inside a tick). 0 when there is none.
int DownloadScheduler::runningTo(const QString &host) const
{
    int running = 0;
    for (int slot = 1; slot <= 6; ++slot)
        running += m_two.isLoaded(slot) && m_slotHosts[size_t(slot)] == host ? 1 : 0;
    return running;
}

int DownloadScheduler::pickRow(int perHostLimit)
{
    DownloadQueue &queue = m_session.queue();
    if (queue.countInState(QueueRow::Waiting) == 0)
        return 0;
    // A host that asked for a rest, or has its share of the slots, lets the rows of other hosts
    // go first; its own rows keep their places.
    const double now = m_session.now();
    const auto held = [&](const QString &host) {
        return m_session.courtesy.isResting(host, now)
               || (perHostLimit > 0 && !host.isEmpty() && runningTo(host) >= perHostLimit);
    };
    if (m_waitingHostsKnown && std::all_of(m_waitingHosts.cbegin(), m_waitingHosts.cend(), held))
        return 0;
    // The walk starts at the first row that may be waiting and moves that mark on past the rows
    // that are not, so that a long queue is not walked from its top for every start.
    int firstWaiting = 0;
    QSet<QString> hosts;
    for (int p = std::max(m_firstWaiting, 1); p <= queue.count(); ++p) {
        if (queue.row(p).State != QueueRow::Waiting)
            continue;
        if (!firstWaiting)
            firstWaiting = p;
        const QString host = HostKey(选择url(queue.row(p).Urls));
        hosts.insert(host);
        if (held(host))
            continue;
        QString name = CleanFileName(queue.row(p).Name);
        // A title of forbidden characters only would leave ".pdf" for every such row, each
        // overwriting the last under "覆盖": name the file after its link instead.
        if (name.isEmpty())
            name = CleanFileName(FileNameFromUrl(选择url(queue.row(p).Urls), true));
        if (name.isEmpty())
            name = QStringLiteral("未命名");
        const MadeFolder made = MakeFolderPath(queue.row(p).SaveFolder);
        if (made.path.isEmpty()) {
            FailRowWithReason(queue, p,
                              made.nameError ? QueueWords::reasonFolderName()
                                             : QueueWords::reasonFolderNotMade());
            continue;
        }
        const QString folder = withSlash(made.path);
        queue.update(p, [&](QueueRow &r) {
            r.Name = name;
            r.SaveFolder = folder;
        });
        // A row of the name a running download holds waits for it to end: "跳过" then finds
        // the file, "覆盖" replaces it; it never runs beside it under the same name.
        if (m_session.options.sameName != SameNameRule::Rename
            && m_session.names.isReserved(RowFilePath(queue.row(p))))
            continue;
        if (确定是需要下载(p)) {
            m_firstWaiting = firstWaiting;
            return p;
        }
    }
    m_firstWaiting = firstWaiting ? firstWaiting : queue.count() + 1;
    // Every waiting row was seen: their hosts are known until the queue is rebuilt.
    m_waitingHosts = std::move(hosts);
    m_waitingHostsKnown = true;
    return 0;
}

void DownloadScheduler::tickDownload()
{
    DownloadQueue &queue = m_session.queue();
    if (queue.isEmpty()) {
        switchOff();
        return;
    }
    if (!(sinceLastEnd() > m_session.options.intervalSeconds))
        return;
    if (m_session.method == 1)
        startMethodOne();
    else
        startMethodTwo();
}

void DownloadScheduler::startMethodOne()
{
    if (Transferring())
        return;
    const int position = pickRow();
    if (position == 0)
        return;
    // Starts the row (state 2, slot 1) and returns; the row ends through the session.
    m_one.Inet下载当前文件(position);
}

void DownloadScheduler::startMethodTwo()
{
    DownloadQueue &queue = m_session.queue();
    // After a switch from method one its transfer ends first.
    if (m_one.isRunning())
        return;
    const int threads = std::clamp(m_session.options.threadCount, 1, 6);
    for (int slot = 1; slot <= threads; ++slot) {
        if (m_two.isLoaded(slot))
            continue;
        const int position = pickRow(std::clamp(m_session.options.perHostLimit, 1, 6));
        if (position == 0)
            break; // none now for this slot, nor for the next
        const QueueRow &row = queue.row(position);
        m_slotHosts[size_t(slot)] = HostKey(选择url(row.Urls));
        const SavePath save = 重命名保存路径(row.SaveFolder, row.Name, row.Type,
                                             m_session.options.sameName, m_session.names);
        queue.setName(position, save.name);
        // Starts the row (state 2, bound to the slot), so the next slot passes it by.
        m_two.多线程下载(slot, position, 选择url(queue.row(position).Urls), save.path);
    }
}

// A row whose page led to its full text goes on in the slot it ran in, without the interval:
// it is the same file.
bool DownloadScheduler::fetchAgain(int method, int slot, int position)
{
    DownloadQueue &queue = m_session.queue();
    if (method == 1) {
        if (m_one.isRunning())
            return false;
        m_one.Inet下载当前文件(position);
        return true;
    }
    if (slot < 1 || slot > 6 || m_two.isLoaded(slot))
        return false;
    const QueueRow &row = queue.row(position);
    const SavePath save = 重命名保存路径(row.SaveFolder, row.Name, row.Type,
                                         m_session.options.sameName, m_session.names);
    queue.setName(position, save.name);
    m_two.多线程下载(slot, position, 选择url(queue.row(position).Urls), save.path);
    return true;
}

void DownloadScheduler::tickHousekeeping()
{
    DownloadQueue &queue = m_session.queue();
    const DownloadOptions &options = m_session.options;

    if (queue.检测是否下载列表完毕()) {
        setStartEnabled(true);
        if (isOn()) {
            switchOff();
            m_session.notify(102);
        }
    } else {
        setStartEnabled(!isOn());
    }

    setIndicator(isOn());

    m_session.showRests();

    const QString counts = queue.ShowQueueCounts();
    emit countsText(counts);
    emit m_session.statusText(4, counts);

    if (options.autoStart && queue.统计未下载项数目() >= 1 && !isOn())
        switchOn();

    if (options.autoRedownload && !isOn()) {
        自动重新下载(queue, options.redownloadRule, options.autoLogin);
        switchOn();
    }

    if (options.stopAfterFive && queue.CountFailedOrPageRows() >= 5 && isOn()) {
        switchOff();
        m_session.notify(102);
    }
}

bool DownloadScheduler::Transferring() const
{
    return m_one.isRunning() || m_two.LoadedDownloaderCount() > 1;
}

bool DownloadScheduler::DownloadsStopped() const
{
    return !isOn() && !m_one.isExecuting() && m_two.LoadedDownloaderCount() <= 1;
}

bool DownloadScheduler::downloadsActive() const
{
    return isOn() || m_one.isExecuting() || m_two.LoadedDownloaderCount() > 1;
}

} // namespace papyrant
