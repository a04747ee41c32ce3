// labels: unit
#include "app/sessionstore.h"
#include "support/testfiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

QueueRow queueRow(const QString &key, QueueRow::StateValue state)
{
    QueueRow r;
    r.Urls = key;
    r.Name = QStringLiteral("名称 ") + key.section(u'/', -1);
    r.Type = QStringLiteral("pdf");
    r.State = state;
    r.Referer = QStringLiteral("http://site.test/list?page=2");
    r.Reason = state == QueueRow::Failed ? QStringLiteral("HTTP 404") : QString();
    r.BaseFlag = QStringLiteral("Y");
    return r;
}

bool sameRow(const QueueRow &a, const QueueRow &b)
{
    return a.Urls == b.Urls && a.Name == b.Name && a.Type == b.Type && a.Size == b.Size
           && a.Received == b.Received && a.Percent == b.Percent && a.SaveFolder == b.SaveFolder
           && a.BaseFlag == b.BaseFlag && a.Referer == b.Referer && a.Reason == b.Reason
           && a.State == b.State && a.Committed == b.Committed;
}

class SessionStoreTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString folder() const { return dir.path() + QStringLiteral("/data/"); }

    // A finished row whose file the program committed, with `bytes` in it.
    QueueRow finishedRow(const QString &name, const QByteArray &bytes)
    {
        QueueRow r = queueRow(QStringLiteral("http://a.test/") + name, QueueRow::Finished);
        r.Name = name;
        r.SaveFolder = dir.path() + u'/';
        const QString path = writeFile(RowFilePath(r), bytes);
        r.Size = r.Received = QString::number(bytes.size());
        r.Percent = QStringLiteral("100%");
        r.Committed = IdentifyFile(path);
        return r;
    }
};

TEST_F(SessionStoreTest, EveryFieldOfBothListsComesBackInOrder)
{
    const QueueRow done = finishedRow(QStringLiteral("done"), "%PDF-1.4 whole");
    QList<QueueRow> rows{
        queueRow(QStringLiteral("http://a.test/1|http://b.test/1"), QueueRow::Waiting),
        queueRow(QStringLiteral("http://a.test/2"), QueueRow::Failed), done};
    rows[0].SaveFolder = QStringLiteral("/tmp/保存/");
    {
        DownloadQueue queue;
        SearchList list;
        SessionStore store(folder());
        ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
        store.attachQueue(&queue);
        store.attachSearchList(&list);
        for (const QueueRow &r : rows)
            queue.append(r);
        list.加入LV1(QStringLiteral("湿地"), QStringLiteral("http://a.test/x.pdf?a=1&b=2"),
                     QStringLiteral("http://a.test/list"), QStringLiteral("PDF"),
                     QStringLiteral("/tmp/f/"));
        list.加入LV1(QStringLiteral("t2"), QStringLiteral("http://a.test/y.pdf"), {}, {}, {});
        list.setState(1, analysisSucceeded());
        store.setBatchKeywords(QStringLiteral("wetland\r\n湿地"));
        store.setBatchProgress(QStringLiteral("wetland(pdf) "));
        store.setWalkPosition({QStringLiteral("湿地"), QStringLiteral("http://a.test/p3"), 3});
    } // the clean end writes what is pending

    SessionStore again(folder());
    const SavedSession saved = again.load();
    ASSERT_EQ(saved.queue.size(), rows.size());
    for (int i = 0; i < rows.size(); ++i)
        EXPECT_TRUE(sameRow(saved.queue[i], rows[i])) << i;
    ASSERT_EQ(saved.search.size(), 2);
    EXPECT_EQ(saved.search[0].Link, QStringLiteral("http://a.test/x.pdf?a=1&b=2"));
    EXPECT_EQ(saved.search[0].Title, QStringLiteral("湿地"));
    EXPECT_EQ(saved.search[0].SaveFolder, QStringLiteral("/tmp/f/"));
    EXPECT_EQ(saved.search[0].Page, QStringLiteral("http://a.test/list"));
    EXPECT_EQ(saved.search[1].State, analysisSucceeded());
    EXPECT_EQ(saved.batchKeywords, QStringLiteral("wetland\r\n湿地"));
    EXPECT_EQ(saved.batchProgress, QStringLiteral("wetland(pdf) "));
    EXPECT_EQ(again.walkPosition(),
              (WalkPosition{QStringLiteral("湿地"), QStringLiteral("http://a.test/p3"), 3}));
    EXPECT_EQ(saved.unfinishedDownloads(), 2); // waiting and failed
    EXPECT_EQ(saved.unanalysedResults(), 1);
    EXPECT_TRUE(again.integrityOk());
}

TEST_F(SessionStoreTest, ChangesAreWrittenTogetherAfterTheIntervalAndFollowRemovalsAndMoves)
{
    DownloadQueue queue;
    SessionStore store(folder());
    store.setFlushInterval(50);
    QSignalSpy written(&store, &SessionStore::written);
    store.attachQueue(&queue);
    for (int i = 1; i <= 5; ++i)
        queue.append(
            queueRow(QStringLiteral("http://a.test/") + QString::number(i), QueueRow::Waiting));
    queue.setState(2, QueueRow::Downloading);
    queue.setProgress(2, QStringLiteral("1000"), QStringLiteral("10"), QStringLiteral("1%"));
    // Nothing is on disk before the interval has passed.
    EXPECT_EQ(SessionStore(folder()).load().queue.size(), 0);
    ASSERT_TRUE(written.wait(5000));
    EXPECT_EQ(written.size(), 1); // all of the above in one transaction

    queue.removeAt(1);
    queue.move(4, 1); // rows now 5, 2, 3, 4
    ASSERT_TRUE(written.wait(5000));
    const SavedSession saved = SessionStore(folder()).load();
    QStringList keys;
    for (const QueueRow &r : saved.queue)
        keys << r.Urls.section(u'/', -1);
    EXPECT_EQ(keys, (QStringList{u"5"_s, u"2"_s, u"3"_s, u"4"_s}));
    // The row that was downloading waits again, its progress gone.
    EXPECT_EQ(saved.queue[1].State, QueueRow::Waiting);
    EXPECT_TRUE(saved.queue[1].Size.isEmpty() && saved.queue[1].Percent.isEmpty());
}

TEST_F(SessionStoreTest, NoClearsTheListsAndKeepsTheWalkPosition)
{
    {
        DownloadQueue queue;
        SearchList list;
        SessionStore store(folder());
        store.attachQueue(&queue);
        store.attachSearchList(&list);
        queue.append(queueRow(QStringLiteral("http://a.test/1"), QueueRow::Waiting));
        list.加入LV1(QStringLiteral("t"), QStringLiteral("http://a.test/y.pdf"), {}, {}, {});
        store.setBatchKeywords(QStringLiteral("k"));
        store.setWalkPosition({{}, QStringLiteral("http://a.test/p2"), 2});
    }
    {
        SessionStore store(folder());
        store.clearLists();
    }
    SessionStore store(folder());
    const SavedSession saved = store.load();
    EXPECT_TRUE(saved.queue.isEmpty());
    EXPECT_TRUE(saved.search.isEmpty());
    EXPECT_TRUE(saved.batchKeywords.isEmpty());
    EXPECT_EQ(store.walkPosition().pageNumber, 2);
}

TEST_F(SessionStoreTest, AFolderThatCannotHoldTheDatabaseLeavesTheStoreClosed)
{
    const QString file = writeFile(dir.path() + QStringLiteral("/plain"), "x");
    SessionStore store(file + u'/');
    EXPECT_FALSE(store.isOpen());
    EXPECT_TRUE(store.load().queue.isEmpty());
}

// A finished row is restored as finished only while its file is there with its size.
TEST_F(SessionStoreTest, RestoreRule)
{
    struct Case
    {
        const char *name;
        std::function<QueueRow()> make;
        QueueRow::StateValue state;
        bool keepsCommitted;
    };
    const std::vector<Case> cases{
        {"finished, file whole", [&] { return finishedRow(u"ok"_s, "12345"); }, QueueRow::Finished,
         true},
        {"finished, file missing",
         [&] {
             QueueRow r = finishedRow(u"gone"_s, "12345");
             QFile::remove(RowFilePath(r));
             return r;
         },
         QueueRow::Waiting, false},
        {"finished, file of another size",
         [&] {
             QueueRow r = finishedRow(u"short"_s, "12345");
             writeFile(RowFilePath(r), "123");
             return r;
         },
         QueueRow::Waiting, false},
        {"finished, file replaced by a link",
         [&] {
             QueueRow r = finishedRow(u"link"_s, "12345");
             const QString other = writeFile(dir.path() + u"/other"_s, "12345");
             QFile::remove(RowFilePath(r));
             QFile::link(other, RowFilePath(r));
             return r;
         },
         QueueRow::Waiting, false},
        {"finished without identity, size column matches",
         [&] {
             QueueRow r = finishedRow(u"old"_s, "1234");
             r.Committed.reset();
             return r;
         },
         QueueRow::Finished, false},
        {"finished without identity, size column differs",
         [&] {
             QueueRow r = finishedRow(u"old2"_s, "1234");
             r.Committed.reset();
             r.Size = r.Received = u"99"_s;
             return r;
         },
         QueueRow::Waiting, false},
        {"downloading",
         [&] {
             QueueRow r = queueRow(u"http://a.test/run"_s, QueueRow::Downloading);
             r.Size = u"100"_s;
             r.Received = u"50"_s;
             r.Percent = u"50%"_s;
             return r;
         },
         QueueRow::Waiting, false},
        {"failed", [&] { return queueRow(u"http://a.test/f"_s, QueueRow::Failed); },
         QueueRow::Failed, false},
    };
    for (const Case &c : cases) {
        const QueueRow before = c.make();
        const QueueRow after = restoredQueueRow(before);
        EXPECT_EQ(after.State, c.state) << c.name;
        EXPECT_EQ(after.Committed.has_value(), c.keepsCommitted) << c.name;
        if (c.state == QueueRow::Waiting) {
            EXPECT_TRUE(after.Size.isEmpty() && after.Received.isEmpty() && after.Percent.isEmpty())
                << c.name;
        }
        EXPECT_EQ(after.Urls, before.Urls) << c.name;
    }
}

TEST(RestoreQuestion, Text)
{
    EXPECT_EQ(restoreQuestion(3, 12),
              QStringLiteral("上次还有 3 个下载没有完成，12 条检索结果没有分析。是否恢复？"));
}

} // namespace
