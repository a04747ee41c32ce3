// labels: gui faults
#include "foundation/folderhistory.h"
#include "foundation/programfolder.h"
#include "foundation/settings.h"
#include "support/recordingprompts.h"
#include "support/tempsettings.h"
#include "tools/ui/formcopymove.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <map>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime T1 = QDateTime::fromSecsSinceEpoch(1600000000);
const QDateTime T2 = QDateTime::fromSecsSinceEpoch(1700000000);

void writeFile(const QString &path, const QByteArray &bytes, const QDateTime &modified = T1)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.flush(); // a later flush would stamp the time again
    ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
}

// Every file of a folder (hidden ones included) with its content.
std::map<QString, QByteArray> contents(const QString &folder)
{
    std::map<QString, QByteArray> out;
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile f(info.filePath());
        f.open(QIODevice::ReadOnly);
        out[info.fileName()] = f.readAll();
    }
    return out;
}

// The copy tool opened on a set of sources, driven by its controls.
struct CopyTool
{
    RecordingPrompts prompts;
    FormCopyMove form{prompts};

    explicit CopyTool(const QStringList &sources = {})
    {
        form.SourceFiles = sources;
        form.show();
    }
    template<typename T> T *child(const QString &name) { return form.findChild<T *>(name); }
    void setDestination(const QString &folder)
    {
        child<QComboBox>(u"Combo1"_s)->setEditText(folder);
    }
    void pickRule(int index)
    {
        child<QRadioButton>(u"Option1("_s + QString::number(index) + u')')->click();
    }
    void press(const QString &button)
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }
    // Starts a run and waits for its end, told by the completion message.
    bool runToEnd()
    {
        const qsizetype before = prompts.shown.size();
        press(u"Command1"_s);
        return QTest::qWaitFor([&] { return prompts.shown.size() > before; }, 10000);
    }
};

} // namespace

// The five rules on a clash with dst/a.pdf ("old", time T1), and the cases without a clash.
TEST(CopyTool, FiveClashRules)
{
    struct Case
    {
        const char *what;
        int rule;
        QByteArray source;
        QDateTime sourceTime;
        std::map<QString, QByteArray> expected;
    };
    const Case cases[] = {
        {"skip", 1, "new", T1, {{u"a.pdf"_s, "old"}}},
        {"overwrite", 2, "newer", T2, {{u"a.pdf"_s, "newer"}}},
        {"rename", 3, "new", T1, {{u"a.pdf"_s, "old"}, {u"a[001].pdf"_s, "new"}}},
        {"4: same size, same time", 4, "NEW", T1, {{u"a.pdf"_s, "NEW"}}},
        {"4: same size, other time", 4, "NEW", T2, {{u"a.pdf"_s, "old"}, {u"a[001].pdf"_s, "NEW"}}},
        {"4: other size, same time",
         4,
         "newer",
         T1,
         {{u"a.pdf"_s, "old"}, {u"a[001].pdf"_s, "newer"}}},
        {"5: same size, other time", 5, "NEW", T2, {{u"a.pdf"_s, "NEW"}}},
        {"5: other size", 5, "newer", T1, {{u"a.pdf"_s, "old"}, {u"a[001].pdf"_s, "newer"}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempSettings settings;
        QTemporaryDir root;
        const QString dst = root.filePath(u"dst/"_s);
        writeFile(dst + u"a.pdf"_s, "old", T1);
        writeFile(root.filePath(u"src/a.pdf"_s), c.source, c.sourceTime);
        CopyTool tool({root.filePath(u"src/a.pdf"_s)});
        tool.setDestination(dst);
        tool.pickRule(c.rule);
        ASSERT_TRUE(tool.runToEnd());
        EXPECT_EQ(tool.prompts.last(), u"复制文件完成！"_s);
        EXPECT_EQ(contents(dst), c.expected);
        EXPECT_EQ(GetSettingInt(setting::CopyRule), c.rule);
    }
}

TEST(CopyTool, CopiesKeepTheirTimeSoACopyAgainIsOverwrittenByRuleFour)
{
    TempSettings settings;
    QTemporaryDir root;
    const QString dst = root.filePath(u"dst"_s); // typed without its final "/", not there yet
    writeFile(root.filePath(u"one/x.pdf"_s), "first", T2);
    writeFile(root.filePath(u"two/x.pdf"_s), "other", T2);
    writeFile(root.filePath(u"one/notes"_s), "n");
    const QStringList sources = {root.filePath(u"one/x.pdf"_s), root.filePath(u"two/x.pdf"_s),
                                 root.filePath(u"one/notes"_s)};
    {
        CopyTool tool(sources);
        tool.setDestination(QDir::toNativeSeparators(dst));
        ASSERT_TRUE(tool.runToEnd()); // the default rule, 4
        EXPECT_EQ(tool.child<QComboBox>(u"Combo1"_s)->currentText(),
                  QDir::toNativeSeparators(dst + u'/'));
    }
    // The first x.pdf's copy kept its source's time, so the second x.pdf, of the same size and
    // time, replaced it under rule 4 instead of taking a numbered name.
    EXPECT_EQ(contents(dst),
              (std::map<QString, QByteArray>{{u"x.pdf"_s, "other"}, {u"notes"_s, "n"}}));
    EXPECT_EQ(QFileInfo(dst + u"/x.pdf"_s).lastModified(), T2);
    EXPECT_EQ(GetSetting(setting::CopyDestination), dst + u'/');
    EXPECT_EQ(ReadFolderHistory(FolderHistoryPath()).value_or(QStringList()),
              QStringList{QDir::toNativeSeparators(dst + u'/')});

    // The next window remembers the folder and the rule; a source inside the destination is
    // passed over, not numbered.
    CopyTool again({dst + u"/x.pdf"_s});
    EXPECT_EQ(again.child<QComboBox>(u"Combo1"_s)->currentText(),
              QDir::toNativeSeparators(dst + u'/'));
    EXPECT_TRUE(again.child<QRadioButton>(u"Option1(4)"_s)->isChecked());
    again.pickRule(3);
    ASSERT_TRUE(again.runToEnd());
    EXPECT_EQ(contents(dst).size(), 2u);
    EXPECT_EQ(ReadFolderHistory(FolderHistoryPath())->size(), 1); // listed once
}

TEST(CopyTool, WindowLoadsItsControlsAndRefusesAFolderItCannotMake)
{
    TempSettings settings;
    SaveSetting(setting::CopyRule, u"9"_s);
    CopyTool tool;
    EXPECT_EQ(tool.form.objectName(), u"Form_Copy_Move"_s);
    EXPECT_EQ(tool.form.windowTitle(), u"复制文件..."_s);
    EXPECT_EQ(tool.child<QLabel>(u"Label1"_s)->text(), u"目的文件夹："_s);
    EXPECT_EQ(tool.child<QPushButton>(u"Command3"_s)->text(), u"浏览"_s);
    EXPECT_EQ(tool.child<QPushButton>(u"Command2"_s)->text(), u"关闭"_s);
    EXPECT_EQ(tool.child<QRadioButton>(u"Option1(5)"_s)->text(),
              u"文件大小相同：覆盖；否则：自动重命名"_s);
    // The default destination is the program's folder; a stored rule outside 1..5 picks none.
    EXPECT_EQ(tool.child<QComboBox>(u"Combo1"_s)->currentText(),
              QDir::toNativeSeparators(ProgramDataFolder()));
    for (int i = 1; i <= 5; ++i)
        EXPECT_FALSE(
            tool.child<QRadioButton>(u"Option1("_s + QString::number(i) + u')')->isChecked());

    tool.prompts.folderAnswers = {u"/chosen"_s};
    tool.press(u"Command3"_s);
    EXPECT_EQ(tool.child<QComboBox>(u"Combo1"_s)->currentText(),
              QDir::toNativeSeparators(u"/chosen/"_s));
    EXPECT_EQ(tool.prompts.last(), u"请选择要浏览的文件夹:"_s);

    tool.setDestination(u"relative/folder"_s);
    tool.press(u"Command1"_s);
    EXPECT_EQ(tool.prompts.last(), u"创建文件夹出错！"_s);
    EXPECT_EQ(tool.child<QPushButton>(u"Command1"_s)->text(), u"开始"_s);
}

TEST(CopyTool, StopFinishesTheCurrentFileAndCopiesNoMore)
{
    TempSettings settings;
    QTemporaryDir root;
    QStringList sources;
    for (int i = 0; i < 4; ++i) {
        sources << root.filePath(u"src/f%1.bin"_s.arg(i));
        writeFile(sources.last(), QByteArray(64 * 1024, char('a' + i)));
    }
    CopyTool tool(sources);
    tool.form.run().setPieceBytes(1024); // 64 turns of the event loop per file
    tool.setDestination(root.filePath(u"dst"_s));
    QSignalSpy started(&tool.form.run(), &CopyRun::fileStarted);
    tool.press(u"Command1"_s);
    EXPECT_EQ(tool.child<QPushButton>(u"Command1"_s)->text(), u"停止"_s);
    ASSERT_TRUE(started.wait(5000));
    EXPECT_EQ(tool.child<QProgressBar>(u"ProgressBar1"_s)->maximum(), 5);
    EXPECT_EQ(tool.child<QLabel>(u"Label3"_s)->text(), u"f0.bin"_s);
    tool.press(u"Command1"_s); // 停止
    QTRY_COMPARE_WITH_TIMEOUT(tool.prompts.shown.size(), 1, 10000);
    EXPECT_EQ(tool.prompts.last(), u"复制文件完成！"_s);
    EXPECT_EQ(contents(root.filePath(u"dst"_s)),
              (std::map<QString, QByteArray>{{u"f0.bin"_s, QByteArray(64 * 1024, 'a')}}));
    EXPECT_EQ(tool.child<QProgressBar>(u"ProgressBar1"_s)->value(), 0);
    EXPECT_TRUE(tool.child<QLabel>(u"Label3"_s)->text().isEmpty());
    EXPECT_EQ(tool.child<QPushButton>(u"Command1"_s)->text(), u"开始"_s);
}

TEST(CopyTool, ClosingDuringARunLeavesTheDestinationAsItWas)
{
    TempSettings settings;
    QTemporaryDir root;
    const QString dst = root.filePath(u"dst/"_s);
    writeFile(dst + u"big.bin"_s, "old");
    writeFile(root.filePath(u"src/big.bin"_s), QByteArray(4 * 1024 * 1024, 'b'));
    CopyTool tool({root.filePath(u"src/big.bin"_s)});
    tool.form.run().setPieceBytes(1024);
    tool.setDestination(dst);
    tool.pickRule(2);
    QSignalSpy started(&tool.form.run(), &CopyRun::fileStarted);
    tool.press(u"Command1"_s);
    ASSERT_TRUE(started.wait(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return tool.form.run().currentBytes() > 0; }, 5000));
    tool.press(u"Command2"_s);
    EXPECT_FALSE(tool.form.isVisible());
    EXPECT_FALSE(tool.form.run().isRunning());
    EXPECT_TRUE(tool.form.SourceFiles.isEmpty());
    EXPECT_EQ(contents(dst), (std::map<QString, QByteArray>{{u"big.bin"_s, "old"}}));
    EXPECT_TRUE(tool.prompts.shown.isEmpty());
}

TEST(CopyTool, SourcesGoneBeforeTheirTurnAreCountedInTheEndMessage)
{
    TempSettings settings;
    QTemporaryDir root;
    writeFile(root.filePath(u"src/a.pdf"_s), "a");
    writeFile(root.filePath(u"src/.hidden"_s), "h");
    CopyTool tool({root.filePath(u"src/a.pdf"_s), root.filePath(u"src/gone.pdf"_s),
                   root.filePath(u"src/.hidden"_s)});
    tool.setDestination(root.filePath(u"dst"_s));
    ASSERT_TRUE(tool.runToEnd());
    EXPECT_EQ(tool.prompts.shown.size(), 1);
    EXPECT_EQ(tool.prompts.last(), u"复制文件完成！\n有 2 个文件已不存在，已跳过。"_s);
    EXPECT_EQ(contents(root.filePath(u"dst"_s)).size(), 1u);

    // Nothing left to copy at all: the count is still told, once.
    CopyTool none({root.filePath(u"src/gone.pdf"_s)});
    none.setDestination(root.filePath(u"dst"_s));
    none.press(u"Command1"_s);
    EXPECT_EQ(none.prompts.messages(),
              QStringList{u"复制文件完成！\n有 1 个文件已不存在，已跳过。"_s});
}
