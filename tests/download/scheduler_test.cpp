// labels: unit integration
#include "download/downloadqueue.h"
#include "download/requeue.h"
#include "download/scheduler.h"
#include "download/transfermethods.h"
#include "foundation/filenames.h"
#include "support/recordingprompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <array>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

// The transfer methods as the scheduler sees them, with their contract: a start returns at
// once and starts the row through the session; the test ends it, and a cancel ends it at once.
struct FakeMethodOne : MethodOneTransfer
{
    DownloadSession &session;
    explicit FakeMethodOne(DownloadSession &s) : session(s) {}
    QList<int> started;
    bool executing = false;
    bool running = false;
    int cancels = 0;
    void Inet下载当前文件(int position) override
    {
        if (running || executing) {
            session.queue().setState(position, QueueRow::Waiting);
            session.queue().setSize(position, QueueWords::sizeRetry());
            return;
        }
        started << position;
        running = true;
        session.beginRow(1, position);
    }
    void cancel() override
    {
        ++cancels;
        if (!running)
            return;
        running = false;
        const int position = session.SlotRows[1];
        session.queue().setSize(position, QueueWords::sizeCancelled());
        session.queue().setState(position, QueueRow::Failed);
        session.endRow(session.queue().row(position).Urls, false, 1);
    }
    bool isExecuting() const override { return executing; }
    bool isRunning() const override { return running; }
};

struct FakeMethodTwo : MethodTwoTransfers
{
    DownloadSession &session;
    explicit FakeMethodTwo(DownloadSession &s) : session(s) {}
    struct Start
    {
        int slot;
        int position;
        QString url;
        QString path;
    };
    QList<Start> started;
    std::array<bool, 7> loaded{};
    std::array<SaveNames::Reservation, 7> names; // held while a slot runs, as MethodTwo does
    QList<int> unloaded;
    void 多线程下载(int slot, int position, const QString &url, const QString &path) override
    {
        started.append({slot, position, url, path});
        loaded[size_t(slot)] = true;
        names[size_t(slot)] = session.names.reserve(path);
        session.beginRow(slot, position);
    }
    bool isLoaded(int slot) const override
    {
        return slot >= 1 && slot <= 6 && loaded[size_t(slot)];
    }
    void unload(int slot) override
    {
        loaded[size_t(slot)] = false;
        names[size_t(slot)].release();
        unloaded << slot;
    }
};

class SchedulerTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    DownloadQueue queue;
    DownloadSession session{queue};
    FakeMethodOne one{session};
    FakeMethodTwo two{session};
    test::RecordingPrompts prompts;
    DownloadScheduler scheduler{session, one, two, prompts};
    double time = 1000;

    void SetUp() override
    {
        session.clock = [this] { return time; };
        session.LastEndTime = 0;
        session.options.sameName = SameNameRule::Rename;
        prompts.modalMs = 200; // a prompt waits as a real dialog does
    }
    QString folder() const { return dir.path() + u'/'; }
    int add(const QString &key, const QString &name, const QString &type = u"pdf"_s,
            const QString &saveFolder = {})
    {
        QueueRow r;
        r.Urls = key;
        r.Name = name;
        r.Type = type;
        r.SaveFolder = saveFolder.isNull() ? dir.path() : saveFolder; // no "/" yet
        return queue.append(r);
    }
    void touch(const QString &name, const QByteArray &bytes = "data")
    {
        QFile f(folder() + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // What a method-two transfer does when it ends.
    void finishSlot(int slot, QueueRow::StateValue state = QueueRow::Finished)
    {
        two.loaded[size_t(slot)] = false;
        two.names[size_t(slot)].release();
        const int position = session.SlotRows[size_t(slot)];
        queue.setState(position, state);
        session.endRow(queue.row(position).Urls, false, 2);
    }
    // What method one does when its transfer ends.
    void finishOne(QueueRow::StateValue state = QueueRow::Finished)
    {
        const int position = session.SlotRows[1];
        queue.setState(position, state);
        one.running = false;
        session.endRow(queue.row(position).Urls, false, 1);
    }
};

} // namespace

TEST_F(SchedulerTest, RenameSavePath)
{
    const QString f = dir.path(); // without "/": the rule adds it
    touch(u"a.pdf"_s);
    touch(u"a[001].pdf"_s);
    touch(u"b[12].pdf"_s);
    touch(u"c[7].pdf"_s);
    touch(u"c[007].pdf"_s);
    touch(u"x[y]z.pdf"_s);
    touch(u"noext"_s);
    struct Case
    {
        QString name;
        QString type;
        SameNameRule rule;
        QString expected;
    };
    const Case cases[] = {
        {u"a"_s, u"pdf"_s, SameNameRule::Rename, u"a[002]"_s},
        {u"a"_s, u"pdf"_s, SameNameRule::Skip, u"a[002]"_s},
        {u"a"_s, u"pdf"_s, SameNameRule::Overwrite, u"a"_s},
        {u"b[12]"_s, u"pdf"_s, SameNameRule::Rename, u"b[012]"_s},
        {u"c[7]"_s, u"pdf"_s, SameNameRule::Rename, u"c[008]"_s},
        {u"x[y]z"_s, u"pdf"_s, SameNameRule::Rename, u"x『y』z"_s},
        {u"free[y]"_s, u"pdf"_s, SameNameRule::Rename, u"free[y]"_s},
        {u"noext"_s, QString(), SameNameRule::Rename, u"noext[001]"_s},
    };
    for (const Case &c : cases) {
        const SavePath got = 重命名保存路径(f, c.name, c.type, c.rule);
        EXPECT_EQ(got.name, c.expected) << c.name.toStdString();
        const QString file = c.type.isEmpty() ? c.expected : c.expected + u'.' + c.type;
        EXPECT_EQ(got.path, folder() + file) << c.name.toStdString();
    }
}

// On a file system that tells letter case apart, N.PDF (the hand-off's type) and N.pdf (the
// type method one took from the answer) are still one name for the same-name rules.
TEST_F(SchedulerTest, NamesDifferingOnlyInLetterCaseAreOneName)
{
    touch(u"N.pdf"_s, "12345");
    touch(u"n[001].PDF"_s);
    const SavePath renamed = 重命名保存路径(folder(), u"N"_s, u"PDF"_s, SameNameRule::Rename);
    EXPECT_EQ(renamed.name, u"N[002]"_s);
    EXPECT_EQ(renamed.path, folder() + u"N[002].PDF");
    EXPECT_EQ(重命名保存路径(folder(), u"N"_s, u"PDF"_s, SameNameRule::Overwrite).name, u"N"_s);

    session.method = 2;
    session.options.threadCount = 1;
    session.options.sameName = SameNameRule::Skip;
    add(u"k1"_s, u"n"_s, u"PDF"_s);
    add(u"k2"_s, u"other"_s, u"PDF"_s);
    scheduler.tickDownload();
    EXPECT_EQ(queue.row(1).State, QueueRow::Finished);
    EXPECT_EQ(queue.row(1).Percent, u"已存在，跳过"_s);
    EXPECT_EQ(queue.row(1).Size, u"5"_s);
    ASSERT_EQ(two.started.size(), 1);
    EXPECT_EQ(two.started[0].position, 2);
}

// The walk for the next row does not start at the top every time; a row put back to waiting
// ahead of the rows started since is still found first.
TEST_F(SchedulerTest, ARowPutBackAheadIsPickedFirst)
{
    session.method = 2;
    session.options.threadCount = 2;
    for (int i = 1; i <= 4; ++i)
        add(QStringLiteral("k%1").arg(i), QStringLiteral("f%1").arg(i));
    scheduler.tickDownload();
    finishSlot(1);
    finishSlot(2);
    time += 1;
    scheduler.tickDownload();                                          // rows 3 and 4
    queue.update(1, [](QueueRow &r) { r.State = QueueRow::Waiting; }); // as the double click
    finishSlot(1);
    time += 1;
    scheduler.tickDownload();
    ASSERT_EQ(two.started.size(), 5);
    EXPECT_EQ(two.started[4].position, 1);
}

TEST_F(SchedulerTest, IntervalIsStrictAndDelaysEveryFreeSlot)
{
    session.method = 2;
    session.options.threadCount = 3;
    session.options.perHostLimit = 3; // all on one host
    session.options.intervalSeconds = 5;
    for (int i = 1; i <= 6; ++i)
        add(QStringLiteral("http://h/%1.pdf|http://m/%1.pdf").arg(i), QStringLiteral("f%1").arg(i));
    session.LastEndTime = time;

    time += 5; // exactly the interval: not yet
    scheduler.tickDownload();
    EXPECT_TRUE(two.started.isEmpty());

    time += 0.5;
    scheduler.tickDownload();
    ASSERT_EQ(two.started.size(), 3);
    for (int s = 1; s <= 3; ++s) {
        const auto &st = two.started[s - 1];
        EXPECT_EQ(st.slot, s);
        EXPECT_EQ(st.position, s);
        EXPECT_EQ(session.SlotRows[size_t(s)], s);
        EXPECT_EQ(st.url, QStringLiteral("http://h/%1.pdf").arg(s)) << "the current URL only";
        EXPECT_EQ(st.path, folder() + QStringLiteral("f%1.pdf").arg(s));
        EXPECT_EQ(queue.row(s).State, QueueRow::Downloading);
    }
    EXPECT_EQ(queue.row(1).SaveFolder, folder());

    finishSlot(2);
    time += 5;
    scheduler.tickDownload();
    EXPECT_EQ(two.started.size(), 3) << "an end delays the free slot too";
    time += 0.01;
    scheduler.tickDownload();
    ASSERT_EQ(two.started.size(), 4);
    EXPECT_EQ(two.started[3].slot, 2);
    EXPECT_EQ(two.started[3].position, 4);
}

TEST_F(SchedulerTest, ZeroIntervalStartsAtTheFirstTickAfterAnEnd)
{
    session.method = 1;
    add(u"k1"_s, u"one"_s);
    add(u"k2"_s, u"two"_s);
    session.LastEndTime = time;
    scheduler.tickDownload();
    EXPECT_TRUE(one.started.isEmpty()) << "no time has passed since the last end";
    time += 0.001;
    scheduler.tickDownload();
    EXPECT_EQ(one.started, QList<int>{1});
    EXPECT_EQ(session.SlotRows[1], 1);
    time += 1;
    scheduler.tickDownload();
    EXPECT_EQ(one.started, QList<int>{1}) << "a tick during the transfer starts nothing";
    finishOne();
    scheduler.tickDownload();
    EXPECT_EQ(one.started, QList<int>{1}) << "the end was just now";
    time += 0.001;
    scheduler.tickDownload();
    EXPECT_EQ(one.started, (QList<int>{1, 2}));
    finishOne();

    // Busy (a method-two transfer still runs): nothing starts.
    add(u"k3"_s, u"three"_s);
    two.loaded[1] = true;
    time += 1;
    scheduler.tickDownload();
    EXPECT_EQ(one.started.size(), 2);
}

TEST_F(SchedulerTest, StartClearsProgressAndCleansTheName)
{
    session.method = 1;
    session.options.autoLocate = true;
    add(u"k1"_s, u"a:b*c"_s);
    queue.setProgress(1, u"10"_s, u"5"_s, u"50%"_s);
    QSignalSpy located(&session, &DownloadSession::rowStarted);
    scheduler.tickDownload();
    ASSERT_EQ(one.started, QList<int>{1});
    const QueueRow &seen = queue.row(1);
    EXPECT_EQ(seen.State, QueueRow::Downloading);
    EXPECT_TRUE(seen.Size.isEmpty() && seen.Received.isEmpty() && seen.Percent.isEmpty());
    EXPECT_EQ(seen.Name, CleanFileName(u"a:b*c"_s));
    EXPECT_EQ(seen.SaveFolder, folder());
    EXPECT_EQ(located.count(), 1);
}

TEST_F(SchedulerTest, NameThatCleansToNothingFallsBackToTheLink)
{
    session.method = 2;
    session.options.threadCount = 2;
    add(u"http://h/dir/paper42.pdf?x=1|http://m/other.pdf"_s, u"???"_s);
    add(u"http://h/"_s, u"<>|"_s);
    scheduler.tickDownload();
    ASSERT_EQ(two.started.size(), 2);
    EXPECT_EQ(queue.row(1).Name,
              CleanFileName(FileNameFromUrl(u"http://h/dir/paper42.pdf?x=1"_s, true)));
    EXPECT_FALSE(queue.row(1).Name.isEmpty());
    EXPECT_EQ(queue.row(2).Name, u"未命名"_s);
    EXPECT_EQ(two.started[1].path, folder() + u"未命名.pdf");
}

TEST_F(SchedulerTest, SkipRuleFinishesExistingFilesWithoutATransfer)
{
    session.options.sameName = SameNameRule::Skip;
    touch(u"have.pdf"_s, "12345");
    add(u"k1"_s, u"have"_s);
    add(u"k2"_s, u"new"_s);
    for (int method : {1, 2}) {
        session.method = method;
        queue.setState(1, QueueRow::Waiting);
        queue.setState(2, QueueRow::Waiting);
        one.started.clear();
        one.running = false;
        two.started.clear();
        two.loaded = {};
        scheduler.tickDownload();
        const QueueRow &r = queue.row(1);
        EXPECT_EQ(r.State, QueueRow::Finished) << method;
        EXPECT_EQ(r.Size, u"5"_s);
        EXPECT_EQ(r.Received, u"5"_s);
        EXPECT_EQ(r.Percent, u"已存在，跳过"_s);
        const QList<int> positions =
            method == 1 ? one.started
                        : QList<int>{two.started.isEmpty() ? 0 : two.started[0].position};
        EXPECT_EQ(positions, QList<int>{2})
            << "the walk goes on in the same tick, method " << method;
    }
    // Under "覆盖" the name is never changed.
    session.options.sameName = SameNameRule::Overwrite;
    queue.setState(1, QueueRow::Waiting);
    one.running = false;
    two.loaded = {};
    two.started.clear();
    scheduler.tickDownload();
    ASSERT_FALSE(two.started.isEmpty());
    EXPECT_EQ(two.started[0].path, folder() + u"have.pdf");
    EXPECT_EQ(queue.row(1).Name, u"have"_s);
}

TEST_F(SchedulerTest, MethodTwoRenamesAndCreatesFolders)
{
    session.method = 2;
    session.options.threadCount = 2;
    touch(u"a.pdf"_s);
    touch(u"a[001].pdf"_s);
    add(u"k1"_s, u"a"_s);
    const QString sub = folder() + u"new/deeper";
    add(u"k2"_s, u"b"_s, u"pdf"_s, sub);
    scheduler.tickDownload();
    ASSERT_EQ(two.started.size(), 2);
    EXPECT_EQ(queue.row(1).Name, u"a[002]"_s);
    EXPECT_EQ(two.started[0].path, folder() + u"a[002].pdf");
    EXPECT_TRUE(QDir(sub).exists());
    EXPECT_EQ(queue.row(2).SaveFolder, sub + u'/');
    EXPECT_EQ(two.started[1].path, sub + u"/b.pdf");
}

TEST_F(SchedulerTest, StopEndsEverything)
{
    session.method = 2;
    session.options.threadCount = 3;
    session.options.autoStart = true;
    session.options.autoRedownload = true;
    for (int i = 1; i <= 4; ++i)
        add(QStringLiteral("k%1").arg(i), QStringLiteral("f%1").arg(i));
    scheduler.startDownloads();
    EXPECT_TRUE(scheduler.Timer_Down().isActive());
    scheduler.tickDownload();
    ASSERT_EQ(two.LoadedDownloaderCount(), 4);
    EXPECT_TRUE(scheduler.Transferring());
    QSignalSpy optionsChanged(&scheduler, &DownloadScheduler::optionsChanged);

    scheduler.stopDownloads();
    EXPECT_FALSE(scheduler.isOn());
    EXPECT_FALSE(scheduler.Transferring());
    EXPECT_FALSE(session.options.autoStart);
    EXPECT_FALSE(session.options.autoRedownload);
    EXPECT_EQ(optionsChanged.count(), 1);
    EXPECT_EQ(one.cancels, 1);
    EXPECT_EQ(two.unloaded, (QList<int>{1, 2, 3}));
    for (int p = 1; p <= 3; ++p)
        EXPECT_EQ(queue.row(p).State, QueueRow::Failed);
    EXPECT_EQ(queue.row(4).State, QueueRow::Waiting);
}

TEST_F(SchedulerTest, HousekeepingSwitchesAndShows)
{
    session.options.sound = true;
    session.method = 2;
    QSignalSpy sounds(&session, &DownloadSession::soundRequested);
    QSignalSpy counts(&scheduler, &DownloadScheduler::countsText);
    QSignalSpy indicator(&scheduler, &DownloadScheduler::indicatorVisibleChanged);
    EXPECT_EQ(scheduler.Timer1().interval(), 1000);
    EXPECT_EQ(scheduler.Timer_Down().interval(), 1000);

    // An empty list is finished: the scheduler goes off with sound 102.
    scheduler.startDownloads();
    EXPECT_TRUE(scheduler.indicatorVisible());
    scheduler.tickHousekeeping();
    EXPECT_FALSE(scheduler.isOn());
    EXPECT_FALSE(scheduler.indicatorVisible());
    EXPECT_TRUE(scheduler.startCommandEnabled());
    ASSERT_EQ(sounds.count(), 1);
    EXPECT_EQ(sounds[0][0].toInt(), 102);
    EXPECT_EQ(counts.last()[0].toString(), u"总数:0 正在下载:0 等待:0 已完成:0 失败:0"_s);
    EXPECT_EQ(indicator.count(), 2);

    // Rows waiting and the tick on: "开始下载" is disabled. Busy is what the transfers say,
    // whichever method is chosen and whether the tick is on or off.
    add(u"k1"_s, u"a"_s);
    add(u"k2"_s, u"b"_s);
    scheduler.startDownloads();
    two.loaded[1] = true;
    scheduler.tickHousekeeping();
    EXPECT_FALSE(scheduler.startCommandEnabled());
    EXPECT_TRUE(scheduler.Transferring());
    scheduler.stopDownloads();
    two.loaded[1] = true; // still running after the tick went off by rule
    scheduler.tickHousekeeping();
    EXPECT_TRUE(scheduler.startCommandEnabled());
    session.method = 1;
    EXPECT_TRUE(scheduler.Transferring());
    two.loaded[1] = false;
    EXPECT_FALSE(scheduler.Transferring());
    one.running = true;
    session.method = 2;
    EXPECT_TRUE(scheduler.Transferring());
    one.running = false;

    // Automatic start once rows wait that were never tried.
    session.options.autoStart = true;
    scheduler.tickHousekeeping();
    EXPECT_TRUE(scheduler.isOn());
    EXPECT_TRUE(scheduler.indicatorVisible());
}

TEST_F(SchedulerTest, AutomaticRedownloadAndStopAfterFive)
{
    session.options.sound = true;
    QSignalSpy sounds(&session, &DownloadSession::soundRequested);
    for (int i = 1; i <= 6; ++i) {
        add(QStringLiteral("u%1|v%1").arg(i), QStringLiteral("f%1").arg(i), u"html"_s);
        queue.setState(i, QueueRow::Finished);
    }
    queue.setState(1, QueueRow::Failed);
    queue.setType(1, u"pdf"_s);

    // Rule "出错项": only the failed row goes back, and the scheduler is switched on.
    session.options.autoRedownload = true;
    session.options.redownloadRule = 0;
    scheduler.tickHousekeeping();
    EXPECT_EQ(queue.row(1).State, QueueRow::Waiting);
    EXPECT_EQ(queue.row(1).Urls, u"v1|u1"_s);
    EXPECT_EQ(queue.row(2).State, QueueRow::Finished);
    EXPECT_TRUE(scheduler.isOn());

    // Five web-page rows while on: stop-after-5 switches off, with sound 102.
    session.options.autoRedownload = false;
    session.options.stopAfterFive = true;
    scheduler.tickHousekeeping();
    EXPECT_FALSE(scheduler.isOn());
    ASSERT_EQ(sounds.count(), 1);
    EXPECT_EQ(sounds[0][0].toInt(), 102);

    // Rule "文件类型为HTM和HTML项": web-page rows go back with the placeholder type.
    session.options.stopAfterFive = false;
    session.options.autoRedownload = true;
    session.options.redownloadRule = 1;
    scheduler.tickHousekeeping();
    for (int p = 2; p <= 6; ++p) {
        EXPECT_EQ(queue.row(p).State, QueueRow::Waiting);
        EXPECT_EQ(queue.row(p).Type, u"xxx"_s);
    }
    EXPECT_EQ(queue.CountFailedOrPageRows(), 0);
}

TEST_F(SchedulerTest, AutomaticStartFetchesNewRowsAtOnce)
{
    session.method = 2;
    session.options.autoStart = true;
    scheduler.startHousekeeping();
    EXPECT_TRUE(scheduler.Timer1().isActive());
    EXPECT_EQ(session.LastEndTime, time);
    time += 0.5;
    scheduler.tickHousekeeping();
    EXPECT_FALSE(scheduler.isOn()) << "nothing to fetch";

    add(u"k1"_s, u"a"_s); // handed over from the search window
    scheduler.tickHousekeeping();
    EXPECT_TRUE(scheduler.isOn());
    QCoreApplication::processEvents();
    ASSERT_EQ(two.started.size(), 1) << "started within the same second";
    EXPECT_EQ(two.started[0].position, 1);
}

TEST_F(SchedulerTest, EmptyQueueSwitchesTheTickOff)
{
    scheduler.startDownloads();
    scheduler.tickDownload();
    EXPECT_FALSE(scheduler.isOn());
}

TEST_F(SchedulerTest, StoppedGuards)
{
    // Element 0 of Downloader1 always exists: the count is 1 with every slot free.
    EXPECT_EQ(two.LoadedDownloaderCount(), 1);
    EXPECT_TRUE(scheduler.DownloadsStopped());
    EXPECT_FALSE(scheduler.downloadsActive());
    two.loaded[3] = true;
    EXPECT_EQ(two.LoadedDownloaderCount(), 2);
    EXPECT_FALSE(scheduler.DownloadsStopped()) << "a busy slot";
    EXPECT_TRUE(scheduler.downloadsActive());
    two.loaded = {};
    one.executing = true;
    EXPECT_FALSE(scheduler.DownloadsStopped());
    one.executing = false;
    scheduler.startDownloads();
    EXPECT_FALSE(scheduler.DownloadsStopped());
}

TEST_F(SchedulerTest, RequeueRowAndTheTwoWalks)
{
    add(u"u1|u2"_s, u"a"_s, u"html"_s, folder());
    queue.setState(1, QueueRow::Failed);
    queue.setProgress(1, u"100"_s, u"40"_s, u"40%"_s);
    touch(u"a.html"_s);
    session.fileCommitted(1, folder() + u"a.html"_s); // as a transfer of the row left it
    touch(u"a.xxx"_s);
    add(u"x1|x2|x3"_s, u"feed"_s, u"xml"_s, folder());
    queue.setState(2, QueueRow::Finished);
    touch(u"feed.xml"_s);
    session.fileCommitted(2, folder() + u"feed.xml"_s);
    add(u"single"_s, u"doc"_s, u"pdf"_s, folder());
    queue.setState(3, QueueRow::Finished);
    touch(u"doc.pdf"_s);
    add(u"w1|w2"_s, u"waiting"_s, u"htm"_s, folder());
    add(u"v2|v1"_s, u"clash"_s, u"pdf"_s, folder());
    add(u"v1|v2"_s, u"other"_s, u"pdf"_s, folder());
    queue.setState(5, QueueRow::Failed);

    EXPECT_EQ(重新下载出错项(queue), 2);
    const QueueRow &a = queue.row(1);
    EXPECT_EQ(a.State, QueueRow::Waiting);
    EXPECT_EQ(a.Type, u"xxx"_s);
    EXPECT_TRUE(a.Size.isEmpty() && a.Received.isEmpty() && a.Percent.isEmpty());
    EXPECT_EQ(a.Urls, u"u2|u1"_s);
    EXPECT_FALSE(QFile::exists(folder() + u"a.html"));
    EXPECT_FALSE(a.Committed);
    EXPECT_TRUE(QFile::exists(folder() + u"a.xxx")) << "a file the program did not write";
    EXPECT_EQ(queue.row(5).Urls, u"v2|v1"_s) << "a rotated key held by another row stays";
    EXPECT_EQ(queue.row(5).State, QueueRow::Waiting);

    EXPECT_EQ(重新下载文件类型为HTM和HTML项(queue), 1);
    EXPECT_EQ(queue.row(2).Type, u"xxx"_s);
    EXPECT_EQ(queue.row(2).Urls, u"x3|x1|x2"_s);
    EXPECT_FALSE(QFile::exists(folder() + u"feed.xml"));
    EXPECT_EQ(queue.row(3).State, QueueRow::Finished);
    EXPECT_TRUE(QFile::exists(folder() + u"doc.pdf"));
    EXPECT_EQ(queue.row(4).Type, u"htm"_s) << "a waiting row is left alone";
}

TEST_F(SchedulerTest, OtherRedownloadCommands)
{
    // position: state, type, size, received
    struct Row
    {
        QueueRow::StateValue state;
        const char16_t *type;
        const char16_t *size;
        const char16_t *received;
    };
    const Row rows[] = {
        {QueueRow::Finished, u"pdf", u"1,000", u"1000"}, // 1: whole, small
        {QueueRow::Failed, u"pdf", u"500", u"400"},      // 2: failed, cut short
        {QueueRow::Finished, u"html", u"300", u"300"},   // 3: a page
        {QueueRow::Finished, u"xml", u"200", u"200"},    // 4: xml is no page here
        {QueueRow::Waiting, u"htm", u"", u""},           // 5: not ended
        {QueueRow::Finished, u"pdf", u"未知", u"9"},     // 6: size not a number
        {QueueRow::Finished, u"pdf", u"5000", u"5000"},  // 7: whole, large
    };
    const auto load = [&] {
        queue.clear();
        int i = 0;
        for (const Row &r : rows) {
            ++i;
            const int p = add(QStringLiteral("k%1").arg(i), QStringLiteral("n%1").arg(i),
                              QString::fromUtf16(r.type), folder());
            queue.setState(p, r.state);
            queue.setProgress(p, QString::fromUtf16(r.size), QString::fromUtf16(r.received), {});
        }
    };
    // The rows put back (row 5 was waiting from the start).
    const auto waiting = [&] {
        QList<int> out;
        for (int p = 1; p <= queue.count(); ++p)
            if (queue.row(p).State == QueueRow::Waiting && p != 5)
                out << p;
        return out;
    };

    load();
    EXPECT_EQ(重新下载出错项和网页项(queue), 2);
    EXPECT_EQ(waiting(), (QList<int>{2, 3}));

    load();
    EXPECT_EQ(重新下载选中项(queue, {1, 5, 7, 99}), 2);
    EXPECT_EQ(waiting(), (QList<int>{1, 7}));

    struct Answer
    {
        std::optional<QString> text;
        QList<int> requeued;
    };
    const Answer answers[] = {
        {u" 2,000 "_s, {1, 3, 4}},
        {u"1000"_s, {3, 4}}, // not greater than 1000
        {u"abc"_s, {}},
        {std::nullopt, {}}, // cancelled
    };
    for (const Answer &a : answers) {
        load();
        prompts.inputAnswers = {a.text};
        重新下载文件大小小于指定数字的项(queue, prompts);
        EXPECT_EQ(prompts.last(), u"请输入数字："_s);
        EXPECT_EQ(waiting(), a.requeued) << a.text.value_or(u"(cancel)"_s).toStdString();
    }
}

// A folder that cannot be made fails its row with the reason inside the tick, without a box:
// under a box (a nested loop) the next tick would pick the same row again and start it twice.
// The start command the user clicked says it once, naming the folder.
TEST_F(SchedulerTest, AFolderThatCannotBeMadeFailsItsRowWithoutABoxInTheTick)
{
    const QString reason = u"文件夹名称有误，不能创建文件夹"_s;
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        queue.clear();
        one.started.clear();
        two.started.clear();
        two.loaded = {};
        prompts.shown.clear();
        time += 1; // past the last end
        session.method = method;
        session.options.threadCount = 2;
        prompts.modalMs = 300;
        scheduler.Timer_Down().setInterval(20);
        const QString bad = folder() + u"m" + QString::number(method) + u"/./x";
        add(u"k1"_s, u"bad"_s, u"pdf"_s, bad);
        add(u"k2"_s, u"good"_s);

        // Switched on by the automatic start: the ticks alone.
        session.options.autoStart = true;
        scheduler.tickHousekeeping();
        ASSERT_TRUE(scheduler.isOn());
        QSignalSpy ticks(&scheduler.Timer_Down(), &QTimer::timeout);
        ASSERT_TRUE(QTest::qWaitFor([&] { return ticks.size() >= 20; }, 5000));
        EXPECT_EQ(prompts.kinds(), QStringList());
        EXPECT_EQ(queue.row(1).State, QueueRow::Failed);
        EXPECT_EQ(queue.row(1).Size, reason);
        const QList<int> started =
            method == 1 ? one.started
                        : QList<int>{two.started.isEmpty() ? 0 : two.started[0].position};
        EXPECT_EQ(started, QList<int>{2});
        EXPECT_EQ(one.started.size() + two.started.size(), 1) << "started once";
        session.options.autoStart = false;
        scheduler.stopDownloads();

        // The start command: one message naming the folder, before anything starts.
        add(u"k3"_s, u"bad again"_s, u"pdf"_s, bad);
        add(u"k4"_s, u"bad too"_s, u"pdf"_s, bad + u"/y");
        prompts.modalMs = -1;
        scheduler.startDownloads();
        ASSERT_EQ(prompts.kinds(), QStringList{u"message"_s});
        EXPECT_TRUE(prompts.last().contains(QDir::toNativeSeparators(bad)));
        EXPECT_EQ(prompts.shown.last().icon, Prompts::Icon::Error);
        EXPECT_EQ(queue.row(3).State, QueueRow::Failed);
        EXPECT_EQ(queue.row(4).Size, reason);
        scheduler.stopDownloads();
    }
}

// Switching the method while transfers run: the next rows start when the running ones end,
// whichever way the switch went.
TEST_F(SchedulerTest, SwitchingTheMethodMidRunStartsTheNextRowsWhenTheRunningOnesEnd)
{
    session.options.threadCount = 2;
    for (int i = 1; i <= 5; ++i)
        add(QStringLiteral("k%1").arg(i), QStringLiteral("f%1").arg(i));
    const auto tick = [&] {
        time += 1;
        scheduler.tickHousekeeping();
        scheduler.tickDownload();
    };
    scheduler.startDownloads();

    // Two to one.
    session.method = 2;
    tick();
    ASSERT_EQ(two.started.size(), 2);
    session.method = 1;
    tick();
    EXPECT_TRUE(one.started.isEmpty()) << "method two's transfers still run";
    finishSlot(1);
    tick();
    EXPECT_TRUE(one.started.isEmpty()) << "one of them still runs";
    finishSlot(2);
    tick();
    EXPECT_EQ(one.started, QList<int>{3});

    // One to two.
    session.method = 2;
    tick();
    EXPECT_EQ(two.started.size(), 2) << "method one's transfer still runs";
    finishOne();
    tick();
    ASSERT_EQ(two.started.size(), 4);
    EXPECT_EQ(two.started[2].position, 4);
    EXPECT_EQ(two.started[3].position, 5);
}

// A host has at most its share of the slots; the rows of other hosts take the free ones, and
// the skipped rows keep their places for the next free slot of their host.
TEST_F(SchedulerTest, OneHostTakesAtMostItsShareOfTheSlots)
{
    session.method = 2;
    session.options.threadCount = 6;
    session.options.perHostLimit = 2;
    for (const char *key : {"http://a/1", "http://A:8080/2", "http://a/3", "http://a/4",
                            "http://b/1", "http://a/5", "http://c/1"})
        add(QString::fromLatin1(key), QString::fromLatin1(key).section(u'/', 2).remove(u':'));
    time += 1;
    scheduler.tickDownload();
    QList<int> started;
    for (const auto &s : two.started)
        started << s.position;
    EXPECT_EQ(started, (QList<int>{1, 2, 5, 7})) << "a's port is the same host";

    finishSlot(2);
    time += 1;
    scheduler.tickDownload();
    ASSERT_EQ(two.started.size(), 5);
    EXPECT_EQ(two.started[4].position, 3);

    session.options.perHostLimit = 3;
    time += 1;
    scheduler.tickDownload();
    ASSERT_EQ(two.started.size(), 6);
    EXPECT_EQ(two.started[5].position, 4);

    // Every waiting row's host is busy now; a row of another host, added or put back to wait
    // later, still takes a free slot.
    time += 1;
    scheduler.tickDownload();
    ASSERT_EQ(two.started.size(), 6);
    const int added = add(u"http://d/1"_s, u"d1"_s);
    const int failed = add(u"http://e/1"_s, u"e1"_s);
    queue.setState(failed, QueueRow::Failed);
    time += 1;
    scheduler.tickDownload();
    ASSERT_EQ(two.started.size(), 7);
    EXPECT_EQ(two.started[6].position, added);
    finishSlot(two.started[6].slot);
    time += 1;
    scheduler.tickDownload();
    ASSERT_EQ(two.started.size(), 7);
    queue.setState(failed, QueueRow::Waiting);
    time += 1;
    scheduler.tickDownload();
    ASSERT_EQ(two.started.size(), 8);
    EXPECT_EQ(two.started[7].position, failed);
}

// A 429 or 503 puts the row back to wait for its host's rest, counting down in "百分比" and
// naming the host in status panel 3; rows of other hosts go on, and after the rest the row
// starts again. Both methods.
TEST_F(SchedulerTest, ARefusedRowWaitsForItsHostsRest)
{
    for (int method : {1, 2}) {
        SCOPED_TRACE(method);
        queue.clear();
        two.started.clear();
        one.started.clear();
        session.courtesy = {};
        session.method = method;
        session.options.threadCount = 1;
        add(u"http://a/1"_s, u"a1"_s);
        add(u"http://a/2"_s, u"a2"_s);
        add(u"http://b/1"_s, u"b1"_s);
        QStringList panel3;
        const QMetaObject::Connection watch = QObject::connect(
            &session, &DownloadSession::statusText, [&](int panel, const QString &text) {
                if (panel == 3)
                    panel3 << text;
            });
        const auto started = [&] {
            QList<int> out = one.started;
            for (const auto &s : two.started)
                out << s.position;
            return out;
        };
        const auto refuse = [&](int status, const QByteArray &retryAfter) {
            const int position = session.SlotRows[1];
            one.running = false;
            two.loaded[1] = false;
            two.names[1].release();
            queue.setState(position, QueueRow::Failed);
            TransferEnd end;
            end.reason = TransferReason::httpStatus(status, "Too Many Requests");
            end.httpStatus = status;
            end.retryAfter = retryAfter;
            session.endRow(queue.row(position).Urls, false, method, end);
        };
        const auto finish = [&] {
            if (method == 1)
                finishOne();
            else
                finishSlot(1);
        };

        time += 1;
        scheduler.tickDownload();
        refuse(429, "5");
        EXPECT_EQ(queue.row(1).State, QueueRow::Waiting);
        EXPECT_EQ(queue.row(1).Percent, u"等待重试(网站限流)，5秒"_s);
        EXPECT_EQ(queue.row(1).Reason, u"HTTP 429 Too Many Requests"_s);
        EXPECT_EQ(panel3.value(0), u"网站限流，暂停下载：a（5秒）"_s);

        time += 1;
        scheduler.tickDownload();
        EXPECT_EQ(started(), (QList<int>{1, 3})) << "the other host goes on";
        scheduler.tickHousekeeping();
        EXPECT_EQ(queue.row(1).Percent, u"等待重试(网站限流)，4秒"_s);
        finish();

        time += 4;
        scheduler.tickHousekeeping();
        EXPECT_EQ(queue.row(1).Percent, QString());
        EXPECT_EQ(panel3.last(), QString()) << "the rest is over";
        scheduler.tickDownload();
        EXPECT_EQ(started(), (QList<int>{1, 3, 1}));

        // A 503 without Retry-After: the back-off, the second time twice as long.
        refuse(503, {});
        EXPECT_EQ(queue.row(1).Percent, u"等待重试(网站限流)，60秒"_s);
        time += 59;
        scheduler.tickDownload();
        EXPECT_EQ(started().size(), 3);
        time += 1.5;
        scheduler.tickDownload();
        EXPECT_EQ(started(), (QList<int>{1, 3, 1, 1}));
        finish();
        EXPECT_EQ(queue.row(1).State, QueueRow::Finished);
        QObject::disconnect(watch);
    }
}
