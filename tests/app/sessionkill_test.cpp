// labels: integration faults
#include "../download/transferharness.h"
#include "app/sessionstore.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <cstdio>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

// A download engine and a walk are killed (SIGKILL) in the middle of their work, in a child
// process of this test; the next run takes back what the session store kept.

namespace {

constexpr int FastRows = 3, SlowRows = 3, SearchRows = 10;
const char *const dirVariable = "PAPYRANT_KILL_DIR";
const char *const baseVariable = "PAPYRANT_KILL_BASE";

QString searchLink(int i)
{
    return u"http://service.test/pdf/"_s + QString::number(i) + u".pdf"_s;
}

} // namespace

// The child: three rows finish, three hang in their transfer, and a walk adds search rows
// with its position. Once all of that is written it says READY and works on until killed.
TEST(SessionKill, Child)
{
    const QString root = qEnvironmentVariable(dirVariable);
    if (root.isEmpty())
        GTEST_SKIP() << "runs only as the child of SessionKill.RestartAfterKill";
    const QString base = qEnvironmentVariable(baseVariable);
    TransferHarness h;
    h.session.options.threadCount = 6;
    h.session.options.perHostLimit = 6; // every row is on the one test host
    DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
    SearchList list;
    SessionStore store(root + u"/db/"_s);
    ASSERT_TRUE(store.isOpen());
    store.setFlushInterval(50);
    store.attachQueue(&h.queue);
    store.attachSearchList(&list);

    const auto add = [&](const QString &name) {
        QueueRow row;
        row.Urls = base + u'/' + name;
        row.Name = name;
        row.Type = u"pdf"_s;
        row.SaveFolder = root + u"/files/"_s;
        row.Referer = u"http://service.test/list?page=1"_s;
        h.queue.append(row);
    };
    for (int i = 1; i <= FastRows; ++i)
        add(u"fast"_s + QString::number(i));
    for (int i = 1; i <= SlowRows; ++i)
        add(u"slow"_s + QString::number(i));
    scheduler.startDownloads();

    int page = 0;
    bool ready = false;
    const auto allThere = [&] {
        return h.queue.countInState(QueueRow::Finished) == FastRows
               && h.queue.countInState(QueueRow::Downloading) == SlowRows
               && list.count() == SearchRows;
    };
    QObject::connect(&store, &SessionStore::written, [&] {
        // What was true when the timer fired is what this transaction holds.
        if (!ready && allThere()) {
            ready = true;
            std::fputs("READY\n", stdout);
            std::fflush(stdout);
        }
    });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        scheduler.tickDownload();
        if (page < SearchRows) {
            ++page;
            list.加入LV1(u"题名 "_s + QString::number(page), searchLink(page),
                         u"http://service.test/list?page="_s + QString::number(page), u"PDF"_s, {});
            if (page % 2 == 0)
                list.setState(page - 1, analysisSucceeded());
            store.setWalkPosition(
                {u"湿地"_s, u"http://service.test/list?page="_s + QString::number(page), page});
        }
    });
    tick.start(20);
    // Killed long before this ends.
    EXPECT_FALSE(QTest::qWaitFor([] { return false; }, 60000));
    FAIL() << "the child was not killed";
}

class SessionKillTest : public ::testing::TestWithParam<bool>
{};

TEST_P(SessionKillTest, RestartAfterKill)
{
    const bool answerYes = GetParam();
    TransferHarness h;
    h.session.options.threadCount = 6;
    h.session.options.perHostLimit = 6; // every row is on the one test host
    const QByteArray slowBody = pdfBody(5000);
    for (int i = 1; i <= FastRows; ++i)
        h.server.serveBody(u"/fast"_s + QString::number(i), pdfBody(3000), "application/pdf");
    for (int i = 1; i <= SlowRows; ++i) {
        // The first request hangs after a part of the body; the one after the restart is whole.
        h.server.routeSequence(
            u"/slow"_s + QString::number(i),
            {Script()
                 .send(Script::head("HTTP/1.1 200 OK",
                                    {"Content-Type: application/pdf", "Content-Length: 5000"})
                       + slowBody.left(1000))
                 .stall(),
             Script::response(200, slowBody, "application/pdf")});
    }

    const QString root = h.dir.path() + u"/run"_s;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(dirVariable), root);
    env.insert(QString::fromLatin1(baseVariable), h.server.baseUrl());
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QCoreApplication::applicationFilePath(), {u"--gtest_filter=SessionKill.Child"_s});
    ASSERT_TRUE(child.waitForStarted(10000));
    QByteArray out;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            out += child.readAllStandardOutput();
            return out.contains("READY") || child.state() == QProcess::NotRunning;
        },
        30000));
    ASSERT_TRUE(out.contains("READY")) << out.constData() << child.readAllStandardError().data();
    ::kill(pid_t(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished(10000));
    ASSERT_EQ(child.exitStatus(), QProcess::CrashExit);

    SessionStore store(root + u"/db/"_s);
    ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
    EXPECT_TRUE(store.integrityOk());
    RecordingPrompts prompts;
    prompts.yesNoAnswers = {answerYes};
    const std::optional<SavedSession> saved = askToRestore(store, prompts);
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].text, restoreQuestion(SlowRows, SearchRows / 2));
    if (!answerYes) {
        EXPECT_FALSE(saved);
        const SavedSession after = store.load();
        EXPECT_TRUE(after.queue.isEmpty());
        EXPECT_TRUE(after.search.isEmpty());
        return;
    }
    ASSERT_TRUE(saved);

    // Every row as it was, the running ones waiting again.
    ASSERT_EQ(saved->queue.size(), FastRows + SlowRows);
    for (int i = 0; i < saved->queue.size(); ++i) {
        const QueueRow &r = saved->queue[i];
        const bool fast = i < FastRows;
        EXPECT_EQ(r.Name, (fast ? u"fast"_s : u"slow"_s) + QString::number(i % 3 + 1));
        EXPECT_EQ(r.Referer, u"http://service.test/list?page=1"_s);
        EXPECT_EQ(r.State, fast ? QueueRow::Finished : QueueRow::Waiting) << i;
        EXPECT_EQ(r.Committed.has_value(), fast) << i;
        if (!fast) {
            EXPECT_TRUE(r.Received.isEmpty() && r.Percent.isEmpty()) << i;
        }
    }
    ASSERT_EQ(saved->search.size(), SearchRows);
    for (int i = 0; i < SearchRows; ++i) {
        EXPECT_EQ(saved->search[i].Link, searchLink(i + 1));
        EXPECT_EQ(saved->search[i].State, i % 2 == 1 ? analysisSucceeded() : QString());
    }
    EXPECT_EQ(store.walkPosition().pageNumber, SearchRows);

    // The restored queue runs on: only the rows that were not finished are fetched again.
    for (const QueueRow &r : saved->queue)
        h.queue.append(r);
    store.attachQueue(&h.queue);
    DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
    ASSERT_TRUE(RunQueue(h, scheduler, 20000));
    EXPECT_EQ(h.queue.countInState(QueueRow::Finished), FastRows + SlowRows);
    for (int i = 1; i <= FastRows; ++i)
        EXPECT_EQ(h.server.requestCount(u"/fast"_s + QString::number(i)), 1) << i;
    for (int i = 1; i <= SlowRows; ++i)
        EXPECT_EQ(h.server.requestCount(u"/slow"_s + QString::number(i)), 2) << i;
    QStringList files = QDir(root + u"/files/"_s).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    EXPECT_EQ(files, (QStringList{u"fast1.pdf"_s, u"fast2.pdf"_s, u"fast3.pdf"_s, u"slow1.pdf"_s,
                                  u"slow2.pdf"_s, u"slow3.pdf"_s}));
    store.flush();
    EXPECT_TRUE(store.integrityOk());
}

INSTANTIATE_TEST_SUITE_P(Answer, SessionKillTest, ::testing::Values(true, false),
                         [](const auto &info) { return info.param ? "Yes" : "No"; });
