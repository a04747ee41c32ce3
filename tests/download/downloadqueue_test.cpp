// labels: unit
#include "download/downloadqueue.h"
#include "download/queuemodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

QueueRow makeRow(const QString &key, const QString &name = QStringLiteral("n"),
                 const QString &type = QStringLiteral("PDF"))
{
    QueueRow row;
    row.Urls = key;
    row.Name = name;
    row.Type = type;
    row.SaveFolder = QStringLiteral("/tmp/s/");
    return row;
}

// The counters the queue keeps must match a plain recount, and every key must find its row.
void expectConsistent(const DownloadQueue &q)
{
    int states[5] = {}, unstarted = 0, failedOrPage = 0;
    for (int p = 1; p <= q.count(); ++p) {
        const QueueRow &r = q.row(p);
        ++states[r.State];
        unstarted += r.Size.isEmpty() && r.Received.isEmpty() && r.Percent.isEmpty();
        const QString t = r.Type.toLower();
        failedOrPage += r.State == QueueRow::Failed || t == u"htm" || t == u"html";
        EXPECT_EQ(q.positionOf(r.Urls), p) << r.Urls.toStdString();
    }
    for (int s = 1; s <= 4; ++s)
        EXPECT_EQ(q.countInState(QueueRow::StateValue(s)), states[s]) << "state " << s;
    EXPECT_EQ(q.统计未下载项数目(), unstarted);
    EXPECT_EQ(q.CountFailedOrPageRows(), failedOrPage);
}

} // namespace

TEST(QueueKeys, SelectAndSwapUrls)
{
    EXPECT_EQ(选择url(u"a|b|c"_s), u"a"_s);
    EXPECT_EQ(选择url(u"plain"_s), u"plain"_s);
    EXPECT_EQ(选择url(u"|b"_s), QString());

    struct Case
    {
        QString key;
        QString once;
        int period;
    };
    const Case cases[] = {
        {u"u1"_s, u"u1"_s, 1},
        {u"u1|u2"_s, u"u2|u1"_s, 2},
        {u"u1|u2|u3"_s, u"u3|u1|u2"_s, 3},
        {u"u1|u2|u3|u4"_s, u"u1|u2|u3|u4"_s, 1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(对调url(c.key), c.once) << c.key.toStdString();
        QString k = c.key;
        for (int i = 0; i < c.period; ++i)
            k = 对调url(k);
        EXPECT_EQ(k, c.key) << "rotating back " << c.key.toStdString();
    }
}

TEST(QueueRowPath, TypeDecidesTheDot)
{
    QueueRow r = makeRow(u"k"_s, u"文献"_s, u"pdf"_s);
    EXPECT_EQ(RowFilePath(r), u"/tmp/s/文献.pdf"_s);
    r.Type.clear();
    EXPECT_EQ(RowFilePath(r), u"/tmp/s/文献"_s);
}

TEST(DownloadQueue, EmptyQueue)
{
    DownloadQueue q;
    EXPECT_TRUE(q.检测是否下载列表完毕());
    EXPECT_EQ(q.统计未下载项数目(), 0);
    EXPECT_EQ(q.CountFailedOrPageRows(), 0);
    EXPECT_EQ(q.ShowQueueCounts(), u"总数:0 正在下载:0 等待:0 已完成:0 失败:0"_s);
}

TEST(DownloadQueue, DuplicateAndEmptyKeysAreRefusedSilently)
{
    DownloadQueue q;
    QSignalSpy appended(&q, &DownloadQueue::rowsAppended);
    EXPECT_EQ(q.append(makeRow(u"k1"_s, u"first"_s)), 1);
    EXPECT_EQ(q.append(makeRow(u"k1"_s, u"second"_s)), 0);
    EXPECT_EQ(q.append(makeRow(QString())), 0);
    ASSERT_EQ(q.count(), 1);
    EXPECT_EQ(q.row(1).Name, u"first"_s);
    EXPECT_EQ(appended.count(), 1);
    expectConsistent(q);
}

TEST(DownloadQueue, CountsFollowEveryChange)
{
    DownloadQueue q;
    for (int i = 1; i <= 6; ++i)
        q.append(makeRow(QStringLiteral("k%1").arg(i)));
    q.setState(1, QueueRow::Downloading);
    q.setProgress(1, u"100"_s, u"10"_s, u"10%"_s);
    q.setState(2, QueueRow::Failed);
    q.setType(2, u"HTML"_s); // failed and a web page: counted once
    q.setType(3, u"htm"_s);
    q.setState(4, QueueRow::Finished);
    q.setPercent(4, QueueWords::percentExists());
    // Waiting again after method one was busy: waiting, but not "not yet downloaded".
    q.setSize(5, QueueWords::sizeRetry());

    EXPECT_EQ(q.CountFailedOrPageRows(), 2);
    EXPECT_EQ(q.统计未下载项数目(), 3); // rows 2, 3, 6
    EXPECT_FALSE(q.检测是否下载列表完毕());
    EXPECT_EQ(q.ShowQueueCounts(), u"总数:6 正在下载:1 等待:3 已完成:1 失败:1"_s);
    expectConsistent(q);

    q.update(3, [](QueueRow &r) {
        r.State = QueueRow::Failed;
        r.Urls = u"stolen"_s;
    });
    EXPECT_EQ(q.row(3).Urls, u"k3"_s) << "update keeps the key";
    for (int p : {1, 5, 6})
        q.setState(p, QueueRow::Finished);
    EXPECT_TRUE(q.检测是否下载列表完毕());
    expectConsistent(q);
}

TEST(DownloadQueue, KeyIndexFollowsKeyChangesRemovalsAndMoves)
{
    DownloadQueue q;
    for (const char16_t *k : {u"a|b", u"b|a", u"c", u"d", u"e"})
        q.append(makeRow(QString::fromUtf16(k)));

    // Rotating a|b would collide with the other row's key: refused, nothing changes.
    EXPECT_FALSE(q.setUrls(1, 对调url(q.row(1).Urls)));
    EXPECT_EQ(q.row(1).Urls, u"a|b"_s);
    EXPECT_TRUE(q.setUrls(3, u"c2|c"_s));
    EXPECT_FALSE(q.contains(u"c"_s));
    EXPECT_EQ(q.append(makeRow(u"c"_s)), 6) << "the old key is free again";
    expectConsistent(q);

    q.removeAt(2);
    EXPECT_EQ(q.positionOf(u"b|a"_s), 0);
    expectConsistent(q);
    q.move(1, 4);
    EXPECT_EQ(q.row(4).Urls, u"a|b"_s);
    expectConsistent(q);
    q.move(5, 1);
    EXPECT_EQ(q.row(1).Urls, u"c"_s);
    expectConsistent(q);
    EXPECT_EQ(q.removeIf([](const QueueRow &r) { return r.Urls.size() == 1; }), 3);
    expectConsistent(q);
    q.sort([](const QueueRow &a, const QueueRow &b) { return a.Urls > b.Urls; });
    EXPECT_EQ(q.row(1).Urls, u"c2|c"_s);
    expectConsistent(q);
    q.clear();
    EXPECT_EQ(q.count(), 0);
    expectConsistent(q);
    EXPECT_EQ(q.append(makeRow(u"a|b"_s)), 1);

    // Out of range positions are ignored, and reading one gives an empty row.
    for (int gone : {0, -1, 2, 99})
        EXPECT_TRUE(q.row(gone).Urls.isEmpty()) << gone;
    EXPECT_EQ(q.row(1).Urls, u"a|b"_s);
    q.setName(0, u"x"_s);
    q.setState(99, QueueRow::Failed);
    q.removeAt(5);
    q.move(1, 7);
    EXPECT_EQ(q.count(), 1);
    expectConsistent(q);
}

TEST(DownloadQueueModel, ColumnsAlignmentIconsAndBatchReset)
{
    DownloadQueue q;
    DownloadQueueModel model(q);
    // Checks the model's contract on every change below (row counts around inserts, resets).
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QStringList headers{u"名称"_s,     u"类型"_s, u"文件大小"_s, u"已下载数"_s, u"百分比"_s,
                              u"保存路径"_s, u"B"_s,    u"来源页面"_s, u"原因"_s};
    ASSERT_EQ(model.columnCount(), headers.size());
    for (int c = 0; c < headers.size(); ++c) {
        EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), headers[c]);
        const auto align =
            model.headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>();
        EXPECT_EQ(bool(align & Qt::AlignRight), c >= 2 && c <= 4) << "column " << c;
    }

    QueueRow r = makeRow(u"k"_s, u"名"_s, u"pdf"_s);
    r.Size = u"1024"_s;
    r.BaseFlag = u"Y"_s;
    r.Referer = u"https://repo.example/records/1"_s;
    r.Reason = u"HTTP 404 Not Found"_s;
    q.append(r);
    ASSERT_EQ(model.rowCount(), 1);
    const QStringList shown{u"名"_s,
                            u"pdf"_s,
                            u"1024"_s,
                            QString(),
                            QString(),
                            u"/tmp/s/"_s,
                            u"Y"_s,
                            u"https://repo.example/records/1"_s,
                            u"HTTP 404 Not Found"_s};
    for (int c = 0; c < shown.size(); ++c)
        EXPECT_EQ(model.index(0, c).data().toString(), shown[c]);
    // The reason shows on every cell of the row as its tooltip.
    EXPECT_EQ(model.index(0, 0).data(Qt::ToolTipRole).toString(),
              u"名\n原因：HTTP 404 Not Found"_s);
    EXPECT_EQ(model.index(0, 3).data(Qt::ToolTipRole).toString(), u"原因：HTTP 404 Not Found"_s);

    // Each state has its own 16x16 picture.
    QList<QImage> images;
    for (int s = 1; s <= 4; ++s) {
        const QIcon icon = queueStateIcon(s);
        ASSERT_FALSE(icon.isNull());
        images << icon.pixmap(16, 16).toImage();
        EXPECT_EQ(images.last().size(), QSize(16, 16));
    }
    for (int a = 0; a < 4; ++a)
        for (int b = a + 1; b < 4; ++b)
            EXPECT_NE(images[a], images[b]);
    EXPECT_FALSE(model.index(0, 0).data(Qt::DecorationRole).isNull());

    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    q.beginBatch();
    for (int i = 0; i < 50; ++i)
        q.append(makeRow(QStringLiteral("b%1").arg(i)));
    q.setState(1, QueueRow::Failed);
    q.endBatch();
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(model.rowCount(), 51);
    q.setPercent(2, u"5%"_s);
    EXPECT_EQ(model.index(1, 4).data().toString(), u"5%"_s) << "the data is current at once";
    ASSERT_TRUE(changed.wait(2000));
    EXPECT_EQ(changed.count(), 1);
    q.setPercent(3, u"6%"_s);
    q.append(makeRow(u"late"_s)); // a pending change goes out before the new row
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(inserted.count(), 1);
    q.removeAt(1);
    q.move(1, 3);
    EXPECT_EQ(model.rowCount(), 51);
    EXPECT_EQ(model.index(50, 0).data().toString(), q.row(51).Name);
}

// Progress of many rows at once reaches the views as a few coalesced changes, so that painting
// cannot hold the transfers up; every changed row is inside a reported range.
TEST(DownloadQueueModel, ProgressChangesAreCoalesced)
{
    DownloadQueue q;
    DownloadQueueModel model(q);
    for (int i = 0; i < 100; ++i)
        q.append(makeRow(QStringLiteral("k%1").arg(i)));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    for (int round = 0; round < 20; ++round)
        for (int p : {7, 42, 93})
            q.setReceived(p, QString::number(round * 2048));
    EXPECT_EQ(changed.count(), 0);
    ASSERT_TRUE(changed.wait(2000));
    EXPECT_EQ(changed.count(), 1);
    const QModelIndex first = changed[0][0].toModelIndex();
    const QModelIndex last = changed[0][1].toModelIndex();
    EXPECT_LE(first.row(), 6);
    EXPECT_GE(last.row(), 92);
    EXPECT_EQ(first.column(), 0);
    EXPECT_EQ(last.column(), QueueColumnCount - 1);

    // A reset drops what was pending: the views read everything again anyway.
    q.setReceived(5, u"1"_s);
    q.clear();
    q.append(makeRow(u"after"_s));
    q.setReceived(1, u"2"_s);
    ASSERT_TRUE(changed.wait(2000));
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(changed[1][0].toModelIndex().row(), 0);
}
