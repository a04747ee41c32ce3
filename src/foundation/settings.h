#pragma once

#include <QString>
#include <QStringView>
#include <concepts>

namespace papyrant {

// One entry of the per-user settings store: its section, its key and the text read when the
// store has no value. A few defaults depend on the machine (a folder); they come from a function.
struct SettingKey
{
    QStringView section;
    QStringView name;
    QStringView fixedDefault;
    QString (*machineDefault)() = nullptr;

    QString defaultValue() const;
};

namespace setting {

QString defaultSaveFolder();
QString defaultCopyDestination();

// The table of every stored value. Windows read and write these by name, never by literal.
inline constexpr SettingKey MaxFileSizeMB{u"设置", u"文件最大值", u"10"};
inline constexpr SettingKey DownloadMethod{u"设置", u"下载方式", u"2"};
inline constexpr SettingKey ThreadIndex{u"下载", u"线程", u"2"};
// Transfers at once to one host, 1..6, whatever the thread count.
inline constexpr SettingKey PerHostDownloads{u"下载", u"每个网站同时下载数", u"2"};
// The download list's column "原因" (why a transfer failed), hidden unless the user shows it.
inline constexpr SettingKey ReasonColumnShown{u"下载", u"显示原因列", u"0"};
inline constexpr SettingKey DuplicateNamePolicy{u"专利下载", u"重复文件名设置", u"重命名"};
inline constexpr SettingKey ProxyAddress{u"设置", u"代理服务器网址", u""};
inline constexpr SettingKey ProxyPort{u"设置", u"代理服务器端口", u""};
inline constexpr SettingKey ProxyEnabled{u"设置", u"代理服务器有效", u"0"};
inline constexpr SettingKey PromptSavePathOnExtract{u"设置", u"提取网页信息时提示下载保存路径",
                                                    u"1"};
inline constexpr SettingKey SaveFolder{u"设置", u"下载文件保存路径", u"", &defaultSaveFolder};
inline constexpr SettingKey BatchKeywords{u"fWebSearch", u"Text1", u""};
inline constexpr SettingKey PageDelay{u"fWebSearch", u"Combo1", u"5"};
inline constexpr SettingKey CopyDestination{u"Form_Copy_Move", u"目的文件夹", u"",
                                            &defaultCopyDestination};
inline constexpr SettingKey CopyRule{u"Form_Copy_Move", u"OpIndex", u"4"};
// The literature service the search window works on: the id of a service profile.
inline constexpr SettingKey ServiceProfileId{u"设置", u"检索服务", u"cinii-research"};
// The application id of the service's API (a free registration). It goes into the API's
// requests and nowhere else: no log, no address shown, no export.
inline constexpr SettingKey ApiAppId{u"设置", u"API appid", u""};
// The maker's site root for the update check; empty: no check at start-up.
inline constexpr SettingKey UpdateSiteRoot{u"设置", u"更新网址", u""};
// Window placement; the section is the window's object name (only fFileDownload keeps one).
inline constexpr SettingKey PlacementResolution{u"fFileDownload", u"分辨率", u"000"};
inline constexpr SettingKey PlacementTop{u"fFileDownload", u"上", u"100"};
inline constexpr SettingKey PlacementLeft{u"fFileDownload", u"左", u"100"};
inline constexpr SettingKey PlacementWidth{u"fFileDownload", u"宽", u"15000"};
inline constexpr SettingKey PlacementHeight{u"fFileDownload", u"高", u"10000"};

inline constexpr const SettingKey *All[] = {
    &MaxFileSizeMB,     &DownloadMethod, &ThreadIndex,         &DuplicateNamePolicy,
    &ProxyAddress,      &ProxyPort,      &ProxyEnabled,        &PromptSavePathOnExtract,
    &SaveFolder,        &BatchKeywords,  &PageDelay,           &CopyDestination,
    &CopyRule,          &UpdateSiteRoot, &PlacementResolution, &PlacementTop,
    &PlacementLeft,     &PlacementWidth, &PlacementHeight,     &ServiceProfileId,
    &ReasonColumnShown, &ApiAppId,       &PerHostDownloads,
};

} // namespace setting

// The store itself, under the application title. Every value is text; a missing entry (or one
// whose stored value is not text at all) reads as the default.
QString GetSetting(const QString &section, const QString &key, const QString &defaultValue = {});
void SaveSetting(const QString &section, const QString &key, const QString &value);

// Whole numbers: a stored text that is not a whole number (or does not fit) reads as the default.
int GetSettingInt(const QString &section, const QString &key, int defaultValue);

QString GetSetting(const SettingKey &key);
int GetSettingInt(const SettingKey &key);
// Decimal numbers such as "10" or "2.5"; anything else reads as the default.
double GetSettingNumber(const SettingKey &key);
void SaveSetting(const SettingKey &key, const QString &value);
// Whole numbers and flags as their decimal text ("1"/"0" for a flag). A fractional number must be
// turned into text by the caller, so that it is never cut to a whole one by accident.
template<std::integral T> void SaveSetting(const SettingKey &key, T value)
{
    SaveSetting(key, QString::number(qint64(value)));
}

// Where the store keeps its values (a file on this platform; the registry on Windows).
QString settingsLocation();
// The folder of the program's settings, for the files that go with them (the service profiles):
// the store's own folder where it is a file, else the per-user configuration folder.
QString settingsFolder();

} // namespace papyrant
