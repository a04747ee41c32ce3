// labels: unit
#include "foundation/registry.h"
#include "foundation/systeminfo.h"

#include <QHash>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

struct OsReleaseCase
{
    const char *name;
    QString osRelease;
    QString kernel;
    QString expected;
};

// A registry of text values only; every other read fails as a missing value does.
class FakeRegistry : public Registry
{
public:
    QHash<QString, QString> values; // value name -> text; "UBR" as its number
    QString readText(const QString &, const QString &name, bool) override
    {
        return values.value(name, RegistryError.toString());
    }
    QString readNumber(const QString &key, const QString &name, bool view64) override
    {
        return readText(key, name, view64);
    }
    bool writeNumber(const QString &, const QString &, quint32) override { return false; }
    void deleteValue(const QString &, const QString &, const QString &) override {}
};

} // namespace

TEST(SystemInfo, DescriptionFromOsRelease)
{
    const OsReleaseCase cases[] = {
        {"debian",
         u"PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n"
         u"VERSION_ID=\"12\"\nID=debian\n"_s,
         u"6.1.0-27-amd64"_s, u"Debian GNU/Linux 12 (bookworm) 版本:12 (内部版本:6.1.0-27)"_s},
        {"flavour after the numbers", u"PRETTY_NAME='Ubuntu 22.04.3 LTS'\nVERSION_ID=22.04\n"_s,
         u"5.15.0-91-generic"_s, u"Ubuntu 22.04.3 LTS 版本:22.04 (内部版本:5.15.0-91)"_s},
        {"rolling release, comments",
         u"# generated\nNAME=Arch\nVERSION=Linux\nBUILD_ID=rolling\n"_s, u"6.6.1"_s,
         u"Arch Linux 版本:rolling (内部版本:6.6.1)"_s},
        {"escaped quote", u"PRETTY_NAME=\"A \\\"B\\\" C\"\nVERSION_ID=1\n"_s, u"1.0"_s,
         u"A \"B\" C 版本:1 (内部版本:1.0)"_s},
        {"no product", u"ID=x\n"_s, u"1.0"_s, QString()},
    };
    for (const OsReleaseCase &c : cases)
        EXPECT_EQ(OsDescriptionFromOsRelease(c.osRelease, c.kernel), c.expected) << c.name;
}

TEST(SystemInfo, DescriptionFromRegistryFallsBackValueByValue)
{
    const QHash<QString, QString> full = {{u"ProductName"_s, u"Windows 10 Pro"_s},
                                          {u"CurrentVersion"_s, u"6.3"_s},
                                          {u"CurrentBuildNumber"_s, u"19045"_s},
                                          {u"ReleaseId"_s, u"2009"_s},
                                          {u"BuildLab"_s, u"19041.vb_release"_s},
                                          {u"CSDVersion"_s, u"SP1"_s},
                                          {u"UBR"_s, u"3803"_s}};
    struct Case
    {
        const char *name;
        QStringList missing;
        QString expected;
    } cases[] = {
        {"all there", {}, u"Windows 10 Pro 版本:2009 (内部版本:19045.3803)"_s},
        {"no ReleaseId", {u"ReleaseId"_s}, u"Windows 10 Pro 版本:6.3 (内部版本:19045.3803)"_s},
        {"no UBR", {u"UBR"_s}, u"Windows 10 Pro 版本:2009 (内部版本:19041.vb_release : SP1)"_s},
        {"no UBR, no CSDVersion",
         {u"UBR"_s, u"CSDVersion"_s},
         u"Windows 10 Pro 版本:2009 (内部版本:19041.vb_release)"_s},
        {"no ProductName", {u"ProductName"_s}, QString()},
    };
    for (const Case &c : cases) {
        FakeRegistry registry;
        registry.values = full;
        for (const QString &name : c.missing)
            registry.values.remove(name);
        EXPECT_EQ(OsDescriptionFromRegistry(registry), c.expected) << c.name;
    }
}

TEST(SystemInfo, ThisSystemIsDescribedWithItsBitness)
{
    ComputeSystemDescription();
    EXPECT_TRUE(SystemBitness() == u"64"_s || SystemBitness() == u"32"_s);
    const QRegularExpression form(u"^.+ 版本:.* \\(内部版本:.*\\)\\[(64|32)位\\]$"_s);
    EXPECT_TRUE(form.match(SystemDescription()).hasMatch()) << SystemDescription().toStdString();
    EXPECT_TRUE(SystemDescription().endsWith(u'[' + SystemBitness() + u"位]"_s));
}

#ifndef Q_OS_WIN
TEST(SystemInfo, WithoutARegistryReadsFailAndWritesDoNothing)
{
    const QString key = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"_s;
    EXPECT_EQ(RegistryReadText(key, u"ProductName"_s, true), u"Error"_s);
    EXPECT_EQ(RegistryReadNumber(key, u"UBR"_s, false), u"Error"_s);
    EXPECT_FALSE(RegistryWriteNumber(key, u"x.exe"_s, 10001));
    RegistryDeleteValue(u"HKEY_LOCAL_MACHINE"_s, u"SOFTWARE"_s, u"x.exe"_s);
    EXPECT_EQ(RegistryReadNumber(key, u"x.exe"_s, true), u"Error"_s);
}
#endif
