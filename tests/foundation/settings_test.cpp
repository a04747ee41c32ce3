// labels: unit
#include "foundation/programfolder.h"
#include "foundation/prompts.h"
#include "foundation/settings.h"
#include "support/tempsettings.h"

#include <QRect>
#include <QSet>
#include <QSettings>
#include <QStringList>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

// Writes a raw value the way another tool (or a hand edit) might have left it.
void writeRaw(const SettingKey &key, const QVariant &value)
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, appTitle(), appTitle());
    s.beginGroup(key.section.toString());
    s.setValue(key.name.toString(), value);
}

} // namespace

TEST(Settings, TableHasOneEntryPerSectionAndKey)
{
    QSet<QString> seen;
    for (const SettingKey *key : setting::All) {
        const QString id = key->section.toString() + u'|' + key->name.toString();
        EXPECT_FALSE(seen.contains(id)) << id.toStdString();
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 23);
}

TEST(Settings, MissingEntriesReadTheirDefaults)
{
    test::TempSettings temp;
    EXPECT_EQ(GetSetting(setting::MaxFileSizeMB), u"10"_s);
    EXPECT_EQ(GetSettingInt(setting::DownloadMethod), 2);
    EXPECT_EQ(GetSetting(setting::DuplicateNamePolicy), u"重命名"_s);
    EXPECT_EQ(GetSetting(setting::ProxyAddress), QString());
    EXPECT_EQ(GetSetting(setting::PlacementResolution), u"000"_s);
    EXPECT_EQ(GetSettingInt(setting::PlacementWidth), 15000);
    EXPECT_EQ(GetSetting(setting::CopyDestination), ProgramDataFolder());
    EXPECT_EQ(GetSetting(setting::CopyDestination), temp.dataFolder());
    EXPECT_TRUE(GetSetting(setting::SaveFolder).endsWith(u"12345"_s));
    EXPECT_EQ(GetSetting(u"设置"_s, u"没有这个键"_s, u"x"_s), u"x"_s);
}

TEST(Settings, TextRoundTripsUnderTheApplicationTitle)
{
    test::TempSettings temp;
    const QString keywords = u"知识 图谱\r\n机器学习, 深度\r\n#;=[x]/\\"_s;
    SaveSetting(setting::BatchKeywords, keywords);
    SaveSetting(setting::ThreadIndex, 5);
    SaveSetting(setting::ProxyAddress, u""_s);
    SaveSetting(setting::ProxyEnabled, true);

    EXPECT_EQ(GetSetting(setting::BatchKeywords), keywords);
    EXPECT_EQ(GetSetting(setting::ThreadIndex), u"5"_s);
    EXPECT_EQ(GetSetting(setting::ProxyEnabled), u"1"_s);
    // An empty stored text is a value, not a missing entry.
    EXPECT_EQ(GetSetting(u"设置"_s, u"代理服务器网址"_s, u"default"_s), QString());

    QSettings s(QSettings::NativeFormat, QSettings::UserScope, appTitle(), appTitle());
    EXPECT_EQ(s.value(u"fWebSearch/Text1"_s).toString(), keywords);
    EXPECT_EQ(s.value(u"下载/线程"_s).toString(), u"5"_s);
}

TEST(Settings, StoredValuesThatAreNotNumbersReadAsTheDefault)
{
    struct Case
    {
        QVariant stored;
        int asInt;
    };
    const Case cases[] = {
        {u"7"_s, 7},
        {u" 12 "_s, 12},
        {u"-300"_s, -300},
        {u"abc"_s, 100},
        {u"12abc"_s, 100},
        {u""_s, 100},
        {u"99999999999"_s, 100}, // does not fit
        {u"1.5"_s, 100},
        {QVariant(42), 42},                 // typed number, e.g. a registry DWORD
        {QVariant(QRect(1, 2, 3, 4)), 100}, // not text at all
        {QStringList{u"1"_s, u"2"_s}, 100}, // "1, 2" in a hand-edited file
    };
    test::TempSettings temp;
    for (const Case &c : cases) {
        writeRaw(setting::PlacementTop, c.stored);
        EXPECT_EQ(GetSettingInt(setting::PlacementTop), c.asInt)
            << c.stored.toString().toStdString();
    }

    writeRaw(setting::MaxFileSizeMB, u"2.5"_s);
    EXPECT_DOUBLE_EQ(GetSettingNumber(setting::MaxFileSizeMB), 2.5);
    writeRaw(setting::MaxFileSizeMB, u"很多"_s);
    EXPECT_DOUBLE_EQ(GetSettingNumber(setting::MaxFileSizeMB), 10.0);
    writeRaw(setting::MaxFileSizeMB, u"inf"_s);
    EXPECT_DOUBLE_EQ(GetSettingNumber(setting::MaxFileSizeMB), 10.0);

    // A value of a type that is no text reads as the default text; a list reads as its text.
    writeRaw(setting::DuplicateNamePolicy, QRect(1, 2, 3, 4));
    EXPECT_EQ(GetSetting(setting::DuplicateNamePolicy), u"重命名"_s);
    writeRaw(setting::BatchKeywords, QStringList{u"a"_s, u"b"_s});
    EXPECT_EQ(GetSetting(setting::BatchKeywords), u"a, b"_s);
}

TEST(ProgramFolder, FallsBackToTheExecutableFolderAndEndsInSlash)
{
    setProgramDataFolderForTesting({});
    const QString folder = ProgramDataFolder();
    EXPECT_TRUE(folder.endsWith(u'/'));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(QFileInfo(folder).isWritable());
    EXPECT_EQ(FolderHistoryPath(), folder + u"SaveList.dat"_s);

    setProgramDataFolderForTesting(u"/tmp/somewhere"_s);
    EXPECT_EQ(ProgramDataFolder(), u"/tmp/somewhere/"_s);
    setProgramDataFolderForTesting({});
}

#ifndef Q_OS_WIN
// An installed program run by root could write beside itself; it keeps out of system folders.
TEST(ProgramFolder, SystemProgramFoldersAreNeverTheDataFolder)
{
    for (const QString &system : {u"/usr/bin"_s, u"/usr/local/bin/"_s, u"/opt/papyrant/bin"_s,
                                  u"/bin"_s, u"/usr/bin/../lib"_s})
        EXPECT_TRUE(IsSystemProgramFolder(system)) << system.toStdString();
    for (const QString &own :
         {u"/home/a/papyrant"_s, u"/tmp/build/src/app"_s, u"/usrdata/x"_s, u"/work/opt/bin"_s})
        EXPECT_FALSE(IsSystemProgramFolder(own)) << own.toStdString();
}
#endif
