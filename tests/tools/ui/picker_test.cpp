// labels: gui
#include "tools/ui/fselefilesavepath.h"

#include "foundation/folderhistory.h"
#include "foundation/programfolder.h"
#include "foundation/settings.h"
#include "support/recordingprompts.h"
#include "support/tempsettings.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

template<typename T> T *child(QWidget &w, const char *name)
{
    return w.findChild<T *>(QString::fromLatin1(name));
}

// Opens the picker, types a folder, picks a naming mode and presses a button.
struct PickerRun
{
    PickerRun(SavePathValues &values, Prompts &prompts) : picker(values, prompts) { picker.show(); }
    QStringList history()
    {
        QStringList out;
        auto *combo = child<QComboBox>(picker, "Combo1");
        for (int i = 0; i < combo->count(); ++i)
            out << combo->itemText(i);
        return out;
    }
    void type(const QString &folder) { child<QComboBox>(picker, "Combo1")->setEditText(folder); }
    void press(const char *button)
    {
        QTest::mouseClick(child<QPushButton>(picker, button), Qt::LeftButton);
    }

    FSeleFileSavePath picker;
};

} // namespace

TEST(SaveFolderPicker, WindowAndFirstUse)
{
    TempSettings settings;
    SavePathValues values;
    RecordingPrompts prompts;
    PickerRun run(values, prompts);
    FSeleFileSavePath &w = run.picker;
    EXPECT_EQ(w.objectName(), u"fSeleFileSavePath"_s);
    EXPECT_EQ(w.windowTitle(), u"选择下载保存路径－澄川软件"_s);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(child<QLabel>(w, "Label1")->text(), u"保存到文件夹："_s);
    EXPECT_EQ(child<QLabel>(w, "Label3")->text(), u"保存文件名为："_s);
    EXPECT_EQ(child<QPushButton>(w, "Command1")->text(), u"..."_s);
    EXPECT_EQ(child<QPushButton>(w, "Command2")->text(), u"确定"_s);
    EXPECT_EQ(child<QPushButton>(w, "Command3")->text(), u"取消"_s);
    EXPECT_EQ(child<QRadioButton>(w, "Option1")->text(), u"原文件名"_s);
    EXPECT_TRUE(child<QRadioButton>(w, "Option2")->isChecked());
    EXPECT_EQ(child<QRadioButton>(w, "Option2")->text(), u"文章标题名称"_s);
    // No history yet; the folder is the default one, which becomes the current folder.
    EXPECT_TRUE(run.history().isEmpty());
    EXPECT_EQ(child<QComboBox>(w, "Combo1")->currentText(),
              QDir::toNativeSeparators(setting::defaultSaveFolder()));
    EXPECT_EQ(values.CurrentSaveFolder, setting::defaultSaveFolder());

    // Browsing puts the chosen folder in the box; a cancelled browser keeps what was typed.
    prompts.folderAnswers = {u"/chosen/place"_s, QString()};
    run.press("Command1");
    EXPECT_EQ(child<QComboBox>(w, "Combo1")->currentText(),
              QDir::toNativeSeparators(u"/chosen/place/"_s));
    EXPECT_EQ(prompts.last(), u"请选择要浏览的文件夹:"_s);
    run.type(u"/typed/"_s);
    run.press("Command1");
    EXPECT_EQ(child<QComboBox>(w, "Combo1")->currentText(), QDir::toNativeSeparators(u"/typed/"_s));

    // Nothing usable typed: a message, and the window stays.
    run.type(QString());
    run.press("Command2");
    EXPECT_EQ(prompts.last(), u"文件夹设置错误！"_s);
    EXPECT_EQ(prompts.shown.last().icon, Prompts::Icon::Error);
    EXPECT_TRUE(w.isVisible());
}

TEST(SaveFolderPicker, OkCreatesTheCleanedFolderAndKeepsItInTheHistory)
{
    TempSettings settings;
    QTemporaryDir root;
    SavePathValues values;
    RecordingPrompts prompts;
    const QString typed = root.path() + u"/pdf?s"_s;
    const QString made = root.path() + u"/pdfs"_s;
    ASSERT_TRUE(WriteFolderHistory(FolderHistoryPath(), {u"/old/one"_s, made}));
    {
        PickerRun run(values, prompts);
        EXPECT_EQ(run.history(), QStringList({u"/old/one"_s, made}));
        run.type(QDir::toNativeSeparators(typed));
        child<QRadioButton>(run.picker, "Option1")->click();
        run.press("Command2");
        EXPECT_FALSE(run.picker.isVisible());
        EXPECT_EQ(run.picker.result(), QDialog::Accepted);
    }
    EXPECT_TRUE(QFileInfo(made).isDir());
    EXPECT_EQ(values.CurrentSaveFolder, made + u'/');
    EXPECT_EQ(GetSetting(setting::SaveFolder), made + u'/');
    EXPECT_TRUE(values.NameFromLink);
    EXPECT_FALSE(values.PickerCancelled);
    // Written again at the end, although listed; read back once.
    QFile file(FolderHistoryPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count(made.toUtf8()), 2);
    PickerRun again(values, prompts);
    EXPECT_EQ(again.history(), QStringList({u"/old/one"_s, made}));
    EXPECT_EQ(child<QComboBox>(again.picker, "Combo1")->currentText(),
              QDir::toNativeSeparators(made + u'/'));
    EXPECT_TRUE(child<QRadioButton>(again.picker, "Option1")->isChecked());
}

TEST(SaveFolderPicker, CancelKeepsTheNamingModeAndTheStoredFolder)
{
    TempSettings settings;
    QTemporaryDir root;
    SaveSetting(setting::SaveFolder, root.path() + u"/kept/"_s);
    SavePathValues values;
    values.NameFromLink = false;
    RecordingPrompts prompts;
    PickerRun run(values, prompts);
    child<QRadioButton>(run.picker, "Option1")->click();
    run.type(root.path() + u"/other"_s);
    run.press("Command3");
    EXPECT_TRUE(values.PickerCancelled);
    EXPECT_FALSE(values.NameFromLink);
    EXPECT_EQ(values.CurrentSaveFolder, root.path() + u"/kept/"_s);
    EXPECT_FALSE(QFileInfo::exists(root.path() + u"/other"_s));
    EXPECT_FALSE(QFileInfo::exists(FolderHistoryPath()));
}
