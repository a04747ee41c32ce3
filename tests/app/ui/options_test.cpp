// labels: gui
#include "app/options.h"
#include "app/ui/foption.h"
#include "app/updatecheck.h"
#include "foundation/settings.h"
#include "support/openerlog.h"
#include "support/recordingprompts.h"
#include "support/tempsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

struct Options
{
    RecordingPrompts prompts;
    QList<OptionValues> applied;
    FOption dialog;

    explicit Options(const OptionValues &values)
        : dialog(values, prompts, [this](const OptionValues &v) { applied << v; })
    {
        dialog.show();
    }
    template<typename T> T *child(const QString &name) { return dialog.findChild<T *>(name); }
    void type(const QString &box, const QString &text) { child<QLineEdit>(box)->setText(text); }
    void press(const QString &button)
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }
};

QString stored(const SettingKey &key)
{
    return GetSetting(key);
}

} // namespace

TEST(Options, ShowsTheValuesAndSavesEveryControl)
{
    TempSettings settings;
    OptionValues values = LoadOptionValues(); // first run: the defaults
    {
        Options o(values);
        EXPECT_EQ(o.dialog.objectName(), u"fOption"_s);
        EXPECT_EQ(o.dialog.windowTitle(), u"设置-澄川文献管家"_s);
        EXPECT_EQ(o.child<QLabel>(u"Label2"_s)->text(), u"下载文件大小不超过：       MB"_s);
        EXPECT_EQ(o.child<QRadioButton>(u"Option1"_s)->text(),
                  u"下载方式一 (支持HTTP，单线程，代理服务器下载)"_s);
        EXPECT_TRUE(o.child<QRadioButton>(u"Option2"_s)->isChecked());
        EXPECT_FALSE(o.child<QCheckBox>(u"Check1"_s)->isChecked());
        EXPECT_EQ(o.child<QLineEdit>(u"Text1"_s)->text(), u"10"_s);
        EXPECT_TRUE(o.child<QCheckBox>(u"Check2"_s)->isChecked());
        EXPECT_EQ(o.child<QLabel>(u"Label16"_s)->text(), u"检索服务："_s);
        EXPECT_EQ(o.child<QComboBox>(u"Combo1"_s)->currentText(), u"CiNii Research"_s);
        EXPECT_EQ(o.child<QLabel>(u"Label18"_s)->text(), u"每个网站同时下载数："_s);
        EXPECT_EQ(o.child<QComboBox>(u"Combo2"_s)->currentText(), u"2"_s);
        // The proxy boxes can be edited whether the proxy is on or not.
        EXPECT_TRUE(o.child<QLineEdit>(u"Text6"_s)->isEnabled());

        o.child<QRadioButton>(u"Option1"_s)->click();
        o.child<QCheckBox>(u"Check1"_s)->click();
        o.type(u"Text6"_s, u" proxy.local "_s);
        o.type(u"Text8"_s, u" 3128 "_s);
        o.type(u"Text1"_s, u"2.5"_s);
        o.child<QCheckBox>(u"Check2"_s)->click();
        EXPECT_EQ(o.child<QLabel>(u"LabelAppid"_s)->text(), u"API appid："_s);
        EXPECT_EQ(o.child<QLineEdit>(u"TextAppid"_s)->text(), QString());
        o.type(u"TextAppid"_s, u" my-appid-1\n"_s); // pasted with what surrounded it
        o.child<QComboBox>(u"Combo2"_s)->setCurrentIndex(3);
        o.press(u"Command1"_s);
        EXPECT_FALSE(o.dialog.isVisible());
        EXPECT_TRUE(o.prompts.shown.isEmpty());
        ASSERT_EQ(o.applied.size(), 1);
        EXPECT_EQ(o.applied[0].downloadMethod, 1);
        EXPECT_EQ(o.applied[0].proxy.host, u"proxy.local"_s);
        EXPECT_EQ(o.applied[0].maxFileSizeMB, 2.5);
        EXPECT_EQ(o.applied[0].perHostLimit, 4);
    }
    EXPECT_EQ(stored(setting::DownloadMethod), u"1"_s);
    EXPECT_EQ(stored(setting::ProxyEnabled), u"1"_s);
    EXPECT_EQ(stored(setting::ProxyAddress), u"proxy.local"_s);
    EXPECT_EQ(stored(setting::ProxyPort), u"3128"_s);
    EXPECT_EQ(stored(setting::MaxFileSizeMB), u"2.5"_s);
    EXPECT_EQ(stored(setting::PromptSavePathOnExtract), u"0"_s);
    EXPECT_EQ(stored(setting::ServiceProfileId), u"cinii-research"_s);
    EXPECT_EQ(stored(setting::ApiAppId), u"my-appid-1"_s);
    EXPECT_EQ(stored(setting::PerHostDownloads), u"4"_s);

    // Read back, then "关闭" after editing changes nothing.
    Options again(LoadOptionValues());
    EXPECT_TRUE(again.child<QRadioButton>(u"Option1"_s)->isChecked());
    EXPECT_TRUE(again.child<QCheckBox>(u"Check1"_s)->isChecked());
    EXPECT_EQ(again.child<QLineEdit>(u"Text8"_s)->text(), u"3128"_s);
    EXPECT_EQ(again.child<QLineEdit>(u"Text1"_s)->text(), u"2.5"_s);
    EXPECT_FALSE(again.child<QCheckBox>(u"Check2"_s)->isChecked());
    EXPECT_EQ(again.child<QLineEdit>(u"TextAppid"_s)->text(), u"my-appid-1"_s);
    EXPECT_EQ(again.child<QComboBox>(u"Combo2"_s)->currentText(), u"4"_s);
    again.child<QRadioButton>(u"Option2"_s)->click();
    again.type(u"Text1"_s, u"99"_s);
    again.press(u"Command2"_s);
    EXPECT_FALSE(again.dialog.isVisible());
    EXPECT_TRUE(again.applied.isEmpty());
    EXPECT_EQ(stored(setting::DownloadMethod), u"1"_s);
    EXPECT_EQ(stored(setting::MaxFileSizeMB), u"2.5"_s);
}

TEST(Options, ProxyFormatIsAWarningOnly)
{
    const struct
    {
        bool on;
        QString address;
        QString port;
        bool warned;
    } cases[] = {
        {true, u"proxy.local"_s, u"80a"_s, true},
        {true, u""_s, u"80"_s, true},
        {true, u"proxy.local"_s, u"70000"_s, true},
        {true, u"proxy.local"_s, u"80"_s, false},
        {false, u""_s, u""_s, false},
        {false, u"proxy.local"_s, u"x"_s, false},
    };
    for (const auto &c : cases) {
        TempSettings settings;
        OptionValues values;
        values.proxy.enabled = c.on;
        Options o(values);
        o.type(u"Text6"_s, c.address);
        o.type(u"Text8"_s, c.port);
        o.press(u"Command1"_s);
        EXPECT_EQ(o.prompts.messages(),
                  c.warned ? QStringList{u"代理服务器网址或者端口格式不对！"_s} : QStringList())
            << qPrintable(c.address + u':' + c.port);
        EXPECT_FALSE(o.dialog.isVisible()); // saved and closed all the same
        EXPECT_EQ(stored(setting::ProxyPort), c.port);
    }
}

TEST(Options, ASizeLimitThatIsNoNumberIsRefusedBeforeAnythingIsStored)
{
    for (const QString &text : {u"abc"_s, u""_s, u"0"_s, u"-3"_s, u"1e999"_s}) {
        TempSettings settings;
        OptionValues values;
        values.downloadMethod = 0; // neither option: the method stays as it was
        Options o(values);
        EXPECT_FALSE(o.child<QRadioButton>(u"Option1"_s)->isChecked());
        EXPECT_FALSE(o.child<QRadioButton>(u"Option2"_s)->isChecked());
        o.child<QCheckBox>(u"Check1"_s)->click();
        o.type(u"Text1"_s, text);
        o.press(u"Command1"_s);
        EXPECT_EQ(o.prompts.messages(), QStringList{u"下载文件大小必须是大于0的数字！"_s})
            << qPrintable(text);
        EXPECT_TRUE(o.dialog.isVisible());
        EXPECT_TRUE(o.applied.isEmpty());
        EXPECT_EQ(stored(setting::ProxyEnabled), u"0"_s);
        EXPECT_EQ(stored(setting::MaxFileSizeMB), u"10"_s);
    }
    EXPECT_EQ(ParseSizeLimit(u" 12 "_s), 12.0);
    EXPECT_EQ(SizeLimitText(10), u"10"_s);
}

TEST(Options, AServiceNoProfileHasAnyMoreShowsAsTheDefault)
{
    TempSettings settings;
    OptionValues values = LoadOptionValues();
    values.serviceProfile = u"a profile file since removed"_s;
    Options o(values);
    EXPECT_EQ(o.child<QComboBox>(u"Combo1"_s)->currentData().toString(), u"cinii-research"_s);
    o.press(u"Command1"_s);
    EXPECT_EQ(stored(setting::ServiceProfileId), u"cinii-research"_s);
}

// Without an address "最新版本" says where to give one, and the options dialog takes it.
TEST(Options, TheUpdateAddressIsSetHere)
{
    TempSettings settings;
    OpenerLog opened;
    RecordingPrompts prompts;
    OpenProductPage(prompts);
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].text, u"尚未设置更新网址，可在「设置」中填写。"_s);
    EXPECT_TRUE(opened.desktop.isEmpty());

    {
        Options o(LoadOptionValues());
        EXPECT_EQ(o.child<QLineEdit>(u"Text9"_s)->text(), u""_s);
        o.type(u"Text9"_s, u" https://papyrant.example.org/releases "_s);
        o.press(u"Command1"_s);
        ASSERT_EQ(o.applied.size(), 1);
    }
    EXPECT_EQ(stored(setting::UpdateSiteRoot), u"https://papyrant.example.org/releases"_s);
    Options again(LoadOptionValues());
    EXPECT_EQ(again.child<QLineEdit>(u"Text9"_s)->text(),
              u"https://papyrant.example.org/releases"_s);
    OpenProductPage(prompts);
    EXPECT_EQ(prompts.shown.size(), 1);
    ASSERT_EQ(opened.desktop.size(), 1);
    EXPECT_TRUE(
        opened.desktop[0].toString().startsWith(u"https://papyrant.example.org/releases/"_s));
}
