// labels: unit integration
// The queue commands of the download window over the real scheduler and transfer methods.
#include "download/queuecommands.h"
#include "support/openerlog.h"
#include "support/pincodepage.h"
#include "support/qtprinters.h"
#include "transferharness.h"

#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

class QueueCommandsTest : public ::testing::Test
{
protected:
    TransferHarness h;
    DownloadScheduler scheduler{h.session, h.one, h.two, h.prompts};
    QueueCommands commands{h.session, scheduler, h.one, h.two, h.prompts};
    DownloadQueue &queue = h.queue;
    RecordingPrompts &prompts = h.prompts;

    // The commands are the user's, where a box may open: they answer at once here, so that a
    // case sees the queue it set up rather than what the scheduler did during a box.
    void SetUp() override { prompts.modalMs = -1; }

    int add(const QString &name, QueueRow::StateValue state, const QString &type = u"pdf"_s,
            const QString &size = {}, const QString &received = {}, const QString &percent = {})
    {
        QueueRow r;
        r.Urls = u"http://h/"_s + name;
        r.Name = name;
        r.Type = type;
        r.SaveFolder = h.folder();
        r.State = state;
        r.Size = size;
        r.Received = received;
        r.Percent = percent;
        return queue.append(r);
    }
    QString touch(const QString &file, qint64 size = 4)
    {
        QFile f(h.folder() + file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, 'x'));
        return f.fileName();
    }
    // A file as a transfer of the row at position commits it: the row's own.
    QString own(int position, const QString &file)
    {
        const QString path = touch(file);
        h.session.fileCommitted(position, path);
        return path;
    }
    bool exists(const QString &file) const { return QFile::exists(h.folder() + file); }
    // A transfer that runs until it is unloaded (slot 6), in a row of its own.
    void startStalledTransfer()
    {
        h.server.route(u"/stall"_s, Script().stall());
        h.startTwo(h.addRow(u"/stall"_s, u"stalled"_s), 6);
    }
    QStringList names() const
    {
        QStringList out;
        for (int p = 1; p <= queue.count(); ++p)
            out << queue.row(p).Name;
        return out;
    }
    QStringList column(QString QueueRow::*field) const
    {
        QStringList out;
        for (int p = 1; p <= queue.count(); ++p)
            out << queue.row(p).*field;
        return out;
    }
};

bool sameRow(const QueueRow &a, const QueueRow &b)
{
    return a.Urls == b.Urls && a.Name == b.Name && a.Type == b.Type && a.Size == b.Size
           && a.Received == b.Received && a.Percent == b.Percent && a.SaveFolder == b.SaveFolder
           && a.BaseFlag == b.BaseFlag && a.Referer == b.Referer && a.State == b.State;
}

} // namespace

TEST_F(QueueCommandsTest, StoppedGuardRefusesWhileDownloadsRun)
{
    const std::pair<const char *, std::function<void()>> guarded[] = {
        {"随机排序列表", [&] { commands.随机排序列表(); }},
        {"清除选中项",
         [&] {
             commands.清除选中项({1, 2});
         }},
        {"清除全部出错项", [&] { commands.清除全部出错项(); }},
        {"清除完成项", [&] { commands.清除完成项(); }},
        {"清空", [&] { commands.清空(); }},
    };
    add(u"a"_s, QueueRow::Failed);
    add(u"b"_s, QueueRow::Finished);
    add(u"c"_s, QueueRow::Waiting);
    h.server.route(u"/slow"_s, Script()
                                   .send(Script::head("HTTP/1.1 200 OK", {"Content-Length: 9000"})
                                         + pdfBody(100))
                                   .stall());
    const int running = h.addRow(u"/slow"_s, u"running"_s);

    // The scheduler tick on; then (tick off) a method-two transfer still loaded.
    const std::function<void()> busyWays[] = {
        [&] { scheduler.startDownloads(); },
        [&] {
            scheduler.Timer_Down().stop();
            h.startTwo(running);
        },
    };
    for (const auto &busy : busyWays) {
        busy();
        for (const auto &[name, run] : guarded) {
            prompts.shown.clear();
            prompts.yesNoAnswers = {true};
            run();
            ASSERT_EQ(prompts.shown.size(), 1) << name;
            EXPECT_EQ(prompts.last(), u"停止下载以后，才能执行此操作！"_s) << name;
            EXPECT_EQ(prompts.shown[0].icon, Prompts::Icon::Information) << name;
            EXPECT_EQ(names(), (QStringList{u"a"_s, u"b"_s, u"c"_s, u"running"_s})) << name;
        }
    }
    h.two.unload(1);
}

TEST_F(QueueCommandsTest, RemovalCommandsAndClearAll)
{
    add(u"f1"_s, QueueRow::Failed);
    add(u"f2"_s, QueueRow::Failed); // adjacent to f1: both go
    add(u"w"_s, QueueRow::Waiting);
    add(u"d1"_s, QueueRow::Finished);
    add(u"f3"_s, QueueRow::Failed);
    add(u"d2"_s, QueueRow::Finished);
    add(u"w2"_s, QueueRow::Waiting);

    EXPECT_EQ(commands.清除全部出错项(), 3);
    EXPECT_EQ(names(), (QStringList{u"w"_s, u"d1"_s, u"d2"_s, u"w2"_s}));
    EXPECT_EQ(commands.清除完成项(), 2);
    EXPECT_EQ(names(), (QStringList{u"w"_s, u"w2"_s}));
    EXPECT_EQ(commands.清除选中项({2, 7}), 1);
    EXPECT_EQ(names(), (QStringList{u"w"_s}));
    EXPECT_EQ(queueCountText(queue.count()), u"1条"_s);
    EXPECT_TRUE(prompts.shown.isEmpty());

    prompts.yesNoAnswers = {false, true};
    EXPECT_FALSE(commands.清空());
    EXPECT_EQ(queue.count(), 1);
    EXPECT_EQ(prompts.last(), u"您确定要清空列表的所有信息吗？"_s);
    EXPECT_EQ(prompts.shown.last().icon, Prompts::Icon::None);
    EXPECT_TRUE(commands.清空());
    EXPECT_EQ(queueCountText(queue.count()), u"0条"_s);
}

TEST_F(QueueCommandsTest, ShuffleMovesEachDrawnRowToTheEndAndKeepsItWhole)
{
    for (const char16_t *n : {u"a", u"b", u"c"}) {
        const int p =
            add(QString::fromUtf16(n), QueueRow::Finished, u"html"_s, u"10"_s, u"10"_s, u"100%"_s);
        queue.update(p, [](QueueRow &r) {
            r.Referer = u"http://page/"_s + r.Name;
            r.BaseFlag = u"Y"_s;
        });
    }
    const std::vector<QueueRow> before{queue.row(1), queue.row(2), queue.row(3)};
    QList<int> asked;
    std::deque<int> answers{2, 1, 1};
    commands.draw = [&](int m) {
        asked << m;
        const int r = answers.front();
        answers.pop_front();
        return r;
    };
    commands.随机排序列表();
    EXPECT_EQ(asked, (QList<int>{3, 2, 1}));
    // b to the end (a c b), then a (c b a), then c (b a c).
    EXPECT_EQ(names(), (QStringList{u"b"_s, u"a"_s, u"c"_s}));
    EXPECT_TRUE(sameRow(queue.row(1), before[1]));
    EXPECT_TRUE(sameRow(queue.row(2), before[0]));
    EXPECT_TRUE(sameRow(queue.row(3), before[2]));
    EXPECT_EQ(prompts.last(), u"随机排序完成！"_s);

    // Beyond 10,000 rows only 10,000 move: the first rows drawn each time leave the top rows.
    queue.clear();
    for (int i = 1; i <= 10003; ++i)
        add(QString::number(i), QueueRow::Waiting);
    int draws = 0;
    commands.draw = [&](int) {
        ++draws;
        return 1;
    };
    commands.随机排序列表();
    EXPECT_EQ(draws, 10000);
    const QStringList order = names();
    EXPECT_EQ(order.mid(0, 4), (QStringList{u"10001"_s, u"10002"_s, u"10003"_s, u"1"_s}));
    EXPECT_EQ(order.last(), u"10000"_s);
    EXPECT_EQ(queue.positionOf(u"http://h/10000"_s), 10003) << "the key index follows";
}

TEST_F(QueueCommandsTest, DeleteFileCommandsKeepRowsAndStates)
{
    add(u"page"_s, QueueRow::Finished, u"html"_s, u"5"_s, u"5"_s, u"100%"_s);
    add(u"feed"_s, QueueRow::Failed, u"xml"_s, u"9"_s, u"3"_s, u"33%"_s);
    add(u"wait"_s, QueueRow::Waiting, u"htm"_s, u"1"_s, u"1"_s, u"100%"_s);
    add(u"broken"_s, QueueRow::Failed, u"pdf"_s, u"8"_s, u"2"_s, u"25%"_s);
    add(u"good"_s, QueueRow::Finished, u"pdf"_s, u"4"_s, u"4"_s, u"100%"_s);
    // Failed and finished rows whose files this program did not write: the user's old copy
    // that a failed "覆盖" left, a page that was there before ("已存在，跳过").
    add(u"mine"_s, QueueRow::Failed, u"pdf"_s, u"8"_s, u"2"_s, u"25%"_s);
    add(u"theirs"_s, QueueRow::Finished, u"htm"_s, u"4"_s, u"4"_s, u"已存在，跳过"_s);
    int p = 0;
    for (const char16_t *f : {u"page.html", u"feed.xml", u"wait.htm", u"broken.pdf", u"good.pdf"})
        own(++p, QString::fromUtf16(f));
    touch(u"mine.pdf"_s);
    touch(u"theirs.htm"_s);

    EXPECT_EQ(commands.删除网页类型文件项(), 3);
    EXPECT_FALSE(exists(u"page.html"_s));
    EXPECT_FALSE(exists(u"feed.xml"_s));
    EXPECT_TRUE(exists(u"wait.htm"_s)) << "a waiting page is not ended";
    EXPECT_TRUE(exists(u"theirs.htm"_s)) << "not written by the program";
    EXPECT_EQ(column(&QueueRow::Percent),
              (QStringList{{}, {}, u"100%"_s, u"25%"_s, u"100%"_s, u"25%"_s, {}}));
    EXPECT_EQ(queue.row(1).State, QueueRow::Finished);
    EXPECT_EQ(queue.row(2).State, QueueRow::Failed);

    EXPECT_EQ(commands.删除出错项(), 3);
    EXPECT_FALSE(exists(u"broken.pdf"_s));
    EXPECT_TRUE(exists(u"good.pdf"_s));
    EXPECT_TRUE(exists(u"mine.pdf"_s)) << "not written by the program";
    EXPECT_EQ(column(&QueueRow::Size), (QStringList{{}, {}, u"1"_s, {}, u"4"_s, {}, {}}));
    EXPECT_EQ(queue.row(4).State, QueueRow::Failed);
    EXPECT_EQ(queue.count(), 7);
}

TEST_F(QueueCommandsTest, CancelSelectedWaitingRows)
{
    add(u"w1"_s, QueueRow::Waiting);
    add(u"done"_s, QueueRow::Finished);
    add(u"w2"_s, QueueRow::Waiting);
    add(u"w3"_s, QueueRow::Waiting);

    startStalledTransfer();
    EXPECT_EQ(commands.取消下载选中项({1, 3}), 0);
    EXPECT_EQ(prompts.last(), u"停止下载后方可设置！"_s);
    EXPECT_EQ(prompts.shown.last().icon, Prompts::Icon::Error);
    EXPECT_EQ(queue.countInState(QueueRow::Waiting), 3);

    h.two.unload(6);
    EXPECT_EQ(commands.取消下载选中项({1, 2, 3}), 2);
    EXPECT_EQ(queue.row(1).State, QueueRow::Failed);
    EXPECT_EQ(queue.row(2).State, QueueRow::Finished);
    EXPECT_EQ(queue.row(3).State, QueueRow::Failed);
    EXPECT_EQ(queue.row(4).State, QueueRow::Waiting);
}

TEST_F(QueueCommandsTest, OpenFileFolderAndTextEditor)
{
    OpenerLog log;
    QStringList shownInFolder;
    bool folderShown = true;
    commands.showInFolder = [&](const QString &path) {
        shownInFolder << path;
        return folderShown;
    };
    const int here = add(u"here"_s, QueueRow::Finished);
    const int gone = add(u"gone"_s, QueueRow::Finished);
    const int elsewhere = add(u"elsewhere"_s, QueueRow::Finished);
    queue.setSaveFolder(elsewhere, h.folder() + u"no-such-folder/"_s);
    const QString herePath = touch(u"here.pdf"_s, 2097152);

    // No row selected: nothing at all.
    commands.打开下载文件(0);
    commands.打开文件所在文件夹(0);
    commands.用记事本打开文件(0);
    EXPECT_TRUE(prompts.shown.isEmpty());

    commands.打开下载文件(here);
    ASSERT_EQ(log.desktop.size(), 1);
    EXPECT_EQ(log.desktop[0].toLocalFile(), herePath);
    commands.打开下载文件(gone);
    EXPECT_EQ(prompts.last(), u"该文件不存在！"_s);
    EXPECT_EQ(prompts.shown.last().icon, Prompts::Icon::Error);

    commands.打开文件所在文件夹(here);
    EXPECT_EQ(shownInFolder, QStringList{herePath});
    folderShown = false;
    commands.打开文件所在文件夹(here);
    EXPECT_EQ(prompts.last(), u"打开失败！"_s);
    commands.打开文件所在文件夹(gone); // the folder itself opens
    ASSERT_EQ(log.desktop.size(), 2);
    EXPECT_EQ(QDir(log.desktop[1].toLocalFile()), QDir(h.folder()));
    commands.打开文件所在文件夹(elsewhere);
    EXPECT_EQ(prompts.last(), u"文件夹不存在！"_s);
    EXPECT_EQ(prompts.shown.last().icon, Prompts::Icon::Error);

    const int shownBefore = int(prompts.shown.size());
    commands.用记事本打开文件(here); // exactly 2 MB
    EXPECT_EQ(log.textEditor, QStringList{herePath});
    EXPECT_EQ(prompts.shown.size(), shownBefore);
    touch(u"here.pdf"_s, 2097153);
    commands.用记事本打开文件(here);
    EXPECT_EQ(prompts.last(), u"该文件太大，超过了2M，不便于用记事本打开！"_s);
    commands.用记事本打开文件(gone);
    EXPECT_EQ(prompts.last(), u"该文件不存在！"_s);
    EXPECT_EQ(log.textEditor.size(), 1);
}

TEST_F(QueueCommandsTest, ReplaceUrlsIgnoresCaseInKeysAndReferers)
{
    add(u"a"_s, QueueRow::Waiting);
    add(u"b"_s, QueueRow::Finished);
    queue.setUrls(1, u"http://ABC.example/1|http://Abc.example/2"_s);
    queue.setReferer(1, u"http://abc.example/page"_s);
    queue.setUrls(2, u"http://abc.example/x"_s);
    add(u"c"_s, QueueRow::Waiting);
    queue.setUrls(3, u"http://xyz.example/x"_s);
    QStringList events;
    const auto close = [&] { events << u"closed"_s; };

    EXPECT_FALSE(commands.批量替换网址(u"  "_s, u"xyz"_s, close));
    EXPECT_EQ(prompts.last(), u"请输入字符串！"_s);
    EXPECT_EQ(prompts.shown.last().icon, Prompts::Icon::Error);
    EXPECT_TRUE(events.isEmpty()) << "the dialog stays open";

    prompts.shown.clear();
    EXPECT_TRUE(commands.批量替换网址(u"abc"_s, u"xyz"_s, [&] {
        events << u"closed"_s;
        EXPECT_TRUE(prompts.shown.isEmpty()) << "the dialog closes before the message";
    }));
    EXPECT_EQ(events, QStringList{u"closed"_s});
    EXPECT_EQ(prompts.last(), u"全部网址替换完成！"_s);
    EXPECT_EQ(queue.row(1).Urls, u"http://xyz.example/1|http://xyz.example/2"_s);
    EXPECT_EQ(queue.row(1).Referer, u"http://xyz.example/page"_s);
    EXPECT_EQ(queue.row(2).Urls, u"http://abc.example/x"_s) << "another row holds the new key";
    EXPECT_EQ(queue.positionOf(u"http://xyz.example/1|http://xyz.example/2"_s), 1);
}

TEST_F(QueueCommandsTest, ExportNames)
{
    PinCodePage gbk("GBK");
    const QString file = h.folder() + u"names.txt"_s;
    const auto read = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
    };

    prompts.fileAnswers = {file};
    EXPECT_FALSE(commands.导出名称(false)) << "an empty list asks nothing";
    EXPECT_TRUE(prompts.shown.isEmpty());

    add(u"论文一"_s, QueueRow::Finished);
    add(u"论文二"_s, QueueRow::Failed);
    add(u"三"_s, QueueRow::Failed);
    EXPECT_TRUE(commands.导出名称(true));
    EXPECT_EQ(read(), toCodePage(u"论文二\r\n三\r\n"));
    EXPECT_EQ(prompts.shown.last().defaultSuffix, u"txt"_s);

    // A name typed without extension gets ".txt" in the dialog, which then asks about the file
    // that is there: No keeps it, Yes replaces it.
    prompts.fileAnswers = {h.folder() + u"names"_s};
    prompts.yesNoAnswers = {false};
    EXPECT_FALSE(commands.导出名称(false));
    EXPECT_EQ(prompts.shown.last().kind, u"replace"_s);
    EXPECT_EQ(prompts.shown.last().text, file);
    EXPECT_EQ(read(), toCodePage(u"论文二\r\n三\r\n"));
    prompts.fileAnswers = {h.folder() + u"names"_s};
    prompts.yesNoAnswers = {true};
    EXPECT_TRUE(commands.导出名称(false));
    EXPECT_EQ(read(), toCodePage(u"论文一\r\n论文二\r\n三\r\n"));
    EXPECT_FALSE(QFile::exists(h.folder() + u"names"_s));

    // A Korean title, which GBK cannot hold, keeps every character: the file is UTF-8 behind a
    // byte-order mark.
    add(u"한국 근대 문학의 형성"_s, QueueRow::Failed);
    prompts.fileAnswers = {file};
    prompts.yesNoAnswers = {true};
    EXPECT_TRUE(commands.导出名称(true));
    EXPECT_EQ(read(),
              QByteArray("\xEF\xBB\xBF") + u"论文二\r\n三\r\n한국 근대 문학의 형성\r\n"_s.toUtf8());

    QFile::remove(file);
    prompts.fileAnswers = {QString()}; // cancelled
    EXPECT_FALSE(commands.导出名称(false));
    EXPECT_FALSE(QFile::exists(file));

    prompts.fileAnswers = {h.folder() + u"no-such-folder/names.txt"_s};
    EXPECT_FALSE(commands.导出名称(false));
    EXPECT_EQ(prompts.shown.last().icon, Prompts::Icon::Error);
    EXPECT_FALSE(prompts.last().isEmpty()) << "the reason of the failure";
}

TEST_F(QueueCommandsTest, ColumnSort)
{
    add(u"a"_s, QueueRow::Finished, u"pdf"_s, u"10000"_s, u"10000"_s, u"100%"_s);
    add(u"B"_s, QueueRow::Failed, u"HTM"_s, u"下载失败"_s, u"0"_s, u"不存在"_s);
    add(u"c"_s, QueueRow::Finished, u"abc"_s, u"900"_s, u"900"_s, u"50%"_s);
    add(u"d"_s, QueueRow::Waiting, u"pdf"_s, u""_s, u""_s, u""_s);
    add(u"e"_s, QueueRow::Finished, u"pdf"_s, u"1,000"_s, u"007"_s, u"7%"_s);

    EXPECT_EQ(commands.排序(2), std::optional<bool>(true)) << "the first click sorts descending";
    EXPECT_EQ(names(), (QStringList{u"B"_s, u"a"_s, u"e"_s, u"c"_s, u"d"_s}));
    EXPECT_EQ(commands.排序(2), std::optional<bool>(false));
    EXPECT_EQ(names(), (QStringList{u"d"_s, u"c"_s, u"e"_s, u"a"_s, u"B"_s}));
    EXPECT_EQ(column(&QueueRow::Size),
              (QStringList{{}, u"900"_s, u"1000"_s, u"10000"_s, u"下载失败"_s}));
    EXPECT_EQ(column(&QueueRow::Received).at(2), u"007"_s) << "only the sorted column";

    commands.排序(4); // descending again
    commands.排序(4);
    EXPECT_EQ(column(&QueueRow::Percent),
              (QStringList{{}, u"7%"_s, u"50%"_s, u"100%"_s, u"不存在"_s}));
    commands.排序(1);
    commands.排序(1);
    EXPECT_EQ(column(&QueueRow::Type),
              (QStringList{u"abc"_s, u"HTM"_s, u"pdf"_s, u"pdf"_s, u"pdf"_s}));
    EXPECT_TRUE(prompts.shown.isEmpty());

    const QStringList before = names();
    scheduler.startDownloads();
    EXPECT_EQ(commands.排序(0), std::nullopt);
    EXPECT_EQ(prompts.last(), u"停止下载后方可排序！"_s);
    EXPECT_EQ(prompts.shown.last().icon, Prompts::Icon::Information);
    scheduler.Timer_Down().stop();
    EXPECT_EQ(names(), before);
    startStalledTransfer();
    const QStringList busyBefore = names();
    EXPECT_EQ(commands.排序(0), std::nullopt);
    EXPECT_EQ(names(), busyBefore);
    EXPECT_FALSE(commands.descending()) << "a refused click leaves the order";
}

TEST_F(QueueCommandsTest, DoubleClickPerState)
{
    OpenerLog log;
    const int failed = add(u"failed"_s, QueueRow::Failed, u"pdf"_s, u"9"_s, u"3"_s, u"33%"_s);
    queue.setUrls(failed, u"u1|u2"_s);
    own(failed, u"failed.pdf"_s);
    const int done = add(u"done"_s, QueueRow::Finished);
    const int waiting = add(u"waiting"_s, QueueRow::Waiting, u"pdf"_s, u"1"_s);
    const int running = add(u"running"_s, QueueRow::Downloading, u"pdf"_s, u"2"_s);

    commands.双击(failed);
    const QueueRow &r = queue.row(failed);
    EXPECT_EQ(r.State, QueueRow::Waiting);
    EXPECT_EQ(r.Urls, u"u1|u2"_s) << "the key is not rotated";
    EXPECT_EQ(r.Type, u"pdf"_s);
    EXPECT_TRUE(r.Size.isEmpty() && r.Received.isEmpty() && r.Percent.isEmpty());
    EXPECT_FALSE(exists(u"failed.pdf"_s));

    commands.双击(done);
    EXPECT_EQ(prompts.last(), u"文件不存在！"_s);
    EXPECT_EQ(prompts.shown.last().icon, Prompts::Icon::Error);
    const QString path = touch(u"done.pdf"_s);
    commands.双击(done);
    ASSERT_EQ(log.desktop.size(), 1);
    EXPECT_EQ(log.desktop[0].toLocalFile(), path);

    commands.双击(waiting);
    commands.双击(running);
    EXPECT_EQ(queue.row(waiting).Size, u"1"_s);
    EXPECT_EQ(queue.row(running).State, QueueRow::Downloading);
    EXPECT_EQ(prompts.shown.size(), 1);
}

TEST_F(QueueCommandsTest, CloseQuestionAndListMenuFollowTheEngine)
{
    const auto menu = [&] {
        const ListMenuState s = commands.listMenuState();
        return QList<bool>{s.clear, s.clearAll, s.stop, s.selectAll};
    };
    const QList<bool> idle{true, true, false, true};
    const QList<bool> busy{false, false, true, false};

    EXPECT_FALSE(commands.closeNeedsQuestion()) << "empty and idle";
    EXPECT_EQ(menu(), idle);
    add(u"w"_s, QueueRow::Waiting);
    EXPECT_TRUE(commands.closeNeedsQuestion()) << "a row waits";
    queue.setState(1, QueueRow::Failed);
    add(u"d"_s, QueueRow::Finished);
    EXPECT_FALSE(commands.closeNeedsQuestion()) << "every row ended";

    scheduler.startDownloads();
    EXPECT_TRUE(commands.closeNeedsQuestion());
    EXPECT_EQ(menu(), busy);
    scheduler.Timer_Down().stop();
    EXPECT_EQ(menu(), idle);

    h.server.route(u"/slow"_s, Script()
                                   .send(Script::head("HTTP/1.1 200 OK", {"Content-Length: 9000"})
                                         + pdfBody(100))
                                   .stall());
    const int p = h.addRow(u"/slow"_s, u"slow"_s);
    h.startTwo(p);
    queue.setState(p, QueueRow::Failed); // only the loaded Downloader is left to tell
    EXPECT_TRUE(commands.closeNeedsQuestion());
    EXPECT_EQ(menu(), busy);
    h.two.unload(1);
    EXPECT_FALSE(commands.closeNeedsQuestion());
    EXPECT_EQ(menu(), idle);
}

TEST_F(QueueCommandsTest, ItemClickShowsTheFileOnlyWhenItIsThere)
{
    const int p = add(u"x"_s, QueueRow::Finished);
    EXPECT_EQ(itemClickText(queue.row(p)), QString());
    const QString path = touch(u"x.pdf"_s);
    EXPECT_EQ(itemClickText(queue.row(p)), path);
}
