// labels: integration faults
// What the queue leaves in the save folder, with the folder set up as an attacker or an earlier
// killed run would leave it: links planted at the final names, leftovers of an interrupted run,
// rows that share one name, a user's file under the name the true type gives.
#include "download/queuecommands.h"
#include "download/requeue.h"
#include "support/qtprinters.h"
#include "support/testfiles.h"
#include "transferharness.h"

#include <QFileInfo>
#include <functional>
#include <gtest/gtest.h>
#include <map>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const char *ruleName(SameNameRule rule)
{
    switch (rule) {
    case SameNameRule::Skip: return "跳过";
    case SameNameRule::Overwrite: return "覆盖";
    case SameNameRule::Rename: return "重命名";
    }
    return "";
}

const QByteArray page = "<html><head><title>login</title></head><body><form></form></body></html>";

} // namespace

// A dangling link planted at the name a row will be saved under: no rule writes where it
// points. "重命名" takes the next name; "跳过" and "覆盖" cannot use the name and fail the row
// without fetching.
TEST(SaveFiles, ALinkPlantedAtTheFinalNameIsNeverWrittenThrough)
{
    for (int method : {1, 2}) {
        for (SameNameRule rule :
             {SameNameRule::Skip, SameNameRule::Overwrite, SameNameRule::Rename}) {
            SCOPED_TRACE(testing::Message() << "method " << method << " " << ruleName(rule));
            TransferHarness h;
            h.session.method = method;
            h.session.options.sameName = rule;
            DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
            QTemporaryDir outside;
            const QString victim = outside.filePath(u"victim.pdf"_s);
            ASSERT_TRUE(QFile::link(victim, h.dir.filePath(u"a.pdf"_s)));
            h.server.serveBody(u"/f"_s, pdfBody(300), "application/pdf");
            const int p = h.addRow(u"/f"_s);
            ASSERT_TRUE(RunQueue(h, scheduler));

            EXPECT_TRUE(QDir(outside.path())
                            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                       | QDir::NoDotAndDotDot)
                            .isEmpty())
                << "written outside the save folder";
            EXPECT_EQ(QFileInfo(h.dir.filePath(u"a.pdf"_s)).symLinkTarget(), victim);
            const QueueRow &row = h.queue.row(p);
            if (rule == SameNameRule::Rename) {
                EXPECT_EQ(row.State, QueueRow::Finished);
                EXPECT_EQ(row.Name, u"a[001]"_s);
                EXPECT_EQ(h.content(u"a[001].pdf"_s), pdfBody(300));
                EXPECT_EQ(h.files(), (QStringList{u"a.pdf"_s, u"a[001].pdf"_s}));
            } else {
                EXPECT_EQ(row.State, QueueRow::Failed);
                EXPECT_EQ(row.Percent, u"无法替换"_s);
                EXPECT_EQ(h.server.requestCount(u"/f"_s), 0);
                EXPECT_EQ(h.files(), QStringList{u"a.pdf"_s});
            }
        }
    }
}

// What a killed run leaves: the placeholder (01 00) or an empty file under the final name from
// earlier versions, and a temporary body of ours. None of it is an article: the rows are fetched
// and saved under their own names, and the stray temporary file is left as it is.
TEST(SaveFiles, WhatAKilledRunLeftIsNoArticle)
{
    for (int method : {1, 2}) {
        for (SameNameRule rule : {SameNameRule::Skip, SameNameRule::Rename}) {
            SCOPED_TRACE(testing::Message() << "method " << method << " " << ruleName(rule));
            TransferHarness h;
            h.session.method = method;
            h.session.options.sameName = rule;
            DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
            writeFile(h.dir.filePath(u"a.pdf"_s), QByteArray("\x01\x00", 2));
            writeFile(h.dir.filePath(u"b.pdf"_s), QByteArray());
            const QString stray = u".papyrant-Ab12Cd.part"_s;
            writeFile(h.dir.filePath(stray), pdfBody(100));
            h.server.serveBody(u"/a"_s, pdfBody(300), "application/pdf");
            h.server.serveBody(u"/b"_s, pdfBody(400), "application/pdf");
            h.addRow(u"/a"_s, u"a"_s);
            h.addRow(u"/b"_s, u"b"_s);
            ASSERT_TRUE(RunQueue(h, scheduler));

            for (int p : {1, 2}) {
                EXPECT_EQ(h.queue.row(p).State, QueueRow::Finished) << p;
                EXPECT_EQ(h.queue.row(p).Percent, u"100%"_s) << p;
            }
            EXPECT_EQ(h.queue.row(1).Name, u"a"_s);
            EXPECT_EQ(h.queue.row(2).Name, u"b"_s);
            EXPECT_EQ(h.content(u"a.pdf"_s), pdfBody(300));
            EXPECT_EQ(h.content(u"b.pdf"_s), pdfBody(400));
            EXPECT_EQ(h.content(stray), pdfBody(100));
            EXPECT_EQ(h.files(), (QStringList{stray, u"a.pdf"_s, u"b.pdf"_s}));
        }
    }
}

// Three rows of one name with three threads: they never run under one name at once. "重命名"
// numbers them, "跳过" fetches the first and skips the others once its file is there, "覆盖"
// fetches them one after another.
TEST(SaveFiles, RowsOfOneNameNeverRunUnderItAtOnce)
{
    for (SameNameRule rule : {SameNameRule::Rename, SameNameRule::Skip, SameNameRule::Overwrite}) {
        SCOPED_TRACE(ruleName(rule));
        TransferHarness h;
        h.session.method = 2;
        h.session.options.threadCount = 3;
        h.session.options.sameName = rule;
        DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
        for (int i = 1; i <= 3; ++i) {
            h.server.route(
                QStringLiteral("/%1").arg(i),
                Script().delay(150).send(
                    Script::head("HTTP/1.1 200 OK",
                                 {"Content-Type: application/pdf",
                                  "Content-Length: " + QByteArray::number(i * 100 + 200)})
                    + pdfBody(i * 100 + 200)));
            h.addRow(QStringLiteral("/%1").arg(i), u"a"_s, u"PDF"_s);
        }
        // Every time a row changes, no two running rows may share a name (letter case ignored).
        int clashes = 0;
        QObject::connect(&h.queue, &DownloadQueue::rowChanged, [&] {
            QSet<QString> running;
            for (int p = 1; p <= h.queue.count(); ++p) {
                if (h.queue.row(p).State != QueueRow::Downloading)
                    continue;
                const QString name = RowFilePath(h.queue.row(p)).toCaseFolded();
                clashes += running.contains(name);
                running.insert(name);
            }
        });
        ASSERT_TRUE(RunQueue(h, scheduler));
        EXPECT_EQ(clashes, 0);

        switch (rule) {
        case SameNameRule::Rename:
            EXPECT_EQ(h.files(), (QStringList{u"a.PDF"_s, u"a[001].PDF"_s, u"a[002].PDF"_s}));
            for (int p = 1; p <= 3; ++p)
                EXPECT_EQ(h.content(h.queue.row(p).Name + u".PDF"_s), pdfBody(p * 100 + 200)) << p;
            break;
        case SameNameRule::Skip:
            EXPECT_EQ(h.queue.row(1).Percent, u"100%"_s);
            for (int p : {2, 3}) {
                EXPECT_EQ(h.queue.row(p).Percent, u"已存在，跳过"_s) << p;
                EXPECT_EQ(h.queue.row(p).Size, u"300"_s) << p;
            }
            EXPECT_EQ(h.server.requests().size(), 1);
            EXPECT_EQ(h.files(), QStringList{u"a.PDF"_s});
            break;
        case SameNameRule::Overwrite:
            for (int p = 1; p <= 3; ++p)
                EXPECT_EQ(h.queue.row(p).Percent, u"100%"_s) << p;
            EXPECT_EQ(h.content(u"a.PDF"_s), pdfBody(500));
            EXPECT_EQ(h.files(), QStringList{u"a.PDF"_s});
            break;
        }
    }
}

// The user's own a.htm is there and the answer turns out to be a page, by its content type
// (method one) or by its first bytes (both methods). "跳过" keeps the user's file and drops the
// copy just fetched; "覆盖" replaces it by content type and numbers by content; "重命名" numbers.
TEST(SaveFiles, TheTrueTypeMeetsTheSameNameRule)
{
    struct Case
    {
        int method;
        bool byContentType; // else only the first bytes tell
        SameNameRule rule;
        std::map<QString, QByteArray> files;
        QString percent;
    };
    const QByteArray mine = "my own notes";
    const Case cases[] = {
        {1, true, SameNameRule::Skip, {{u"a.htm"_s, mine}}, u"已存在，跳过"_s},
        {1, true, SameNameRule::Overwrite, {{u"a.htm"_s, page}}, u"100%"_s},
        {1, true, SameNameRule::Rename, {{u"a.htm"_s, mine}, {u"a[001].htm"_s, page}}, u"100%"_s},
        {1, false, SameNameRule::Skip, {{u"a.htm"_s, mine}}, u"已存在，跳过"_s},
        {2, false, SameNameRule::Skip, {{u"a.htm"_s, mine}}, u"已存在，跳过"_s},
        {1, false, SameNameRule::Rename, {{u"a.htm"_s, mine}, {u"a[0001].htm"_s, page}}, u"100%"_s},
        {2, false, SameNameRule::Rename, {{u"a.htm"_s, mine}, {u"a[0001].htm"_s, page}}, u"100%"_s},
        {2,
         false,
         SameNameRule::Overwrite,
         {{u"a.htm"_s, mine}, {u"a[0001].htm"_s, page}},
         u"100%"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "method " << c.method << " " << ruleName(c.rule)
                                        << (c.byContentType ? " content type" : " first bytes"));
        TransferHarness h;
        h.session.method = c.method;
        h.session.options.sameName = c.rule;
        DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
        writeFile(h.dir.filePath(u"a.htm"_s), mine);
        h.server.serveBody(u"/f"_s, page, c.byContentType ? "text/htm" : "application/pdf");
        const int p = h.addRow(u"/f"_s);
        ASSERT_TRUE(RunQueue(h, scheduler));

        std::map<QString, QByteArray> files;
        for (const QString &f : h.files())
            files[f] = h.content(f).value_or("<unreadable>");
        EXPECT_EQ(files, c.files);
        const QueueRow &row = h.queue.row(p);
        EXPECT_EQ(row.State, QueueRow::Finished);
        EXPECT_EQ(row.Percent, c.percent);
        EXPECT_EQ(row.Type.toLower(), u"htm"_s);
        if (c.percent == u"已存在，跳过"_s) {
            EXPECT_EQ(row.Size, QString::number(mine.size()));
            EXPECT_EQ(RowFilePath(row), h.dir.filePath(u"a.htm"_s));
        }
    }
}

// A failed "覆盖" leaves the user's old copy under the row's name. No clean-up of the failed row
// removes it: not the re-download commands, the double click, "删除出错项" nor the automatic
// re-download.
TEST(SaveFiles, CleaningUpAFailedRowLeavesTheUsersFile)
{
    using Command = std::function<void(TransferHarness &, QueueCommands &, DownloadScheduler &)>;
    const std::pair<const char *, Command> commands[] = {
        {"重新下载出错项", [](auto &h, auto &, auto &) { 重新下载出错项(h.queue); }},
        {"双击", [](auto &, auto &c, auto &) { c.双击(1); }},
        {"删除出错项", [](auto &, auto &c, auto &) { c.删除出错项(); }},
        {"自动重新下载",
         [](auto &h, auto &, auto &s) {
             h.session.options.autoRedownload = true;
             s.tickHousekeeping();
             s.stopDownloads();
         }},
    };
    for (int method : {1, 2}) {
        for (const auto &[what, command] : commands) {
            SCOPED_TRACE(testing::Message() << "method " << method << " " << what);
            TransferHarness h;
            h.session.method = method;
            h.session.options.sameName = SameNameRule::Overwrite;
            DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
            QueueCommands queueCommands(h.session, scheduler, h.one, h.two, h.prompts);
            writeFile(h.dir.filePath(u"a.pdf"_s), "%PDF-the user's own copy");
            h.server.route(u"/cut"_s,
                           Script::raw(Script::head("HTTP/1.1 200 OK", {"Content-Length: 400"})
                                       + pdfBody(50)));
            h.addRow(u"/cut"_s);
            ASSERT_TRUE(RunQueue(h, scheduler));
            ASSERT_EQ(h.queue.row(1).State, QueueRow::Failed);

            command(h, queueCommands, scheduler);
            EXPECT_EQ(h.content(u"a.pdf"_s), QByteArray("%PDF-the user's own copy"));
        }
    }
}

// A file the program wrote for a row goes with the row's re-download, unless it is no longer
// that file: the user edited it or put another in its place.
TEST(SaveFiles, ARowsOwnFileGoesOnlyWhileItIsStillThatFile)
{
    struct Case
    {
        const char *what;
        std::function<void(const QString &path)> change;
        bool removed;
    };
    const Case cases[] = {
        {"as written", [](const QString &) {}, true},
        {"edited in place",
         [](const QString &path) {
             QFile f(path);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
             f.write("%PDF-edited by the user");
         },
         false},
        {"replaced",
         [](const QString &path) {
             const QString other = writeFile(path + u".new"_s, pdfBody(300));
             ASSERT_EQ(RenameReplacingFile(other, path), RenameResult::Done);
         },
         false},
    };
    for (int method : {1, 2}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << "method " << method << " " << c.what);
            TransferHarness h;
            h.session.method = method;
            DownloadScheduler scheduler(h.session, h.one, h.two, h.prompts);
            h.server.serveBody(u"/f"_s, pdfBody(300), "application/pdf");
            h.addRow(u"/f"_s);
            ASSERT_TRUE(RunQueue(h, scheduler));
            ASSERT_EQ(h.queue.row(1).State, QueueRow::Finished);
            const QString path = h.dir.filePath(u"a.pdf"_s);
            c.change(path);

            EXPECT_EQ(重新下载选中项(h.queue, {1}), 1);
            EXPECT_EQ(h.queue.row(1).State, QueueRow::Waiting);
            EXPECT_EQ(QFile::exists(path), !c.removed);
        }
    }
}
