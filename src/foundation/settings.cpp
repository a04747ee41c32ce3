#include "foundation/settings.h"

#include "foundation/programfolder.h"
#include "foundation/prompts.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>
#include <QtNumeric>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

// Everything lives under the application title, the same name on every platform.
QSettings store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, appTitle(), appTitle());
}

// A value is only ever written as text; what else may be found there (a list from a hand-edited
// file, a typed value written by some other tool) is turned back into text where that is plain,
// and otherwise counts as missing.
std::optional<QString> asText(const QVariant &value)
{
    if (!value.isValid())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::QString: return value.toString();
    case QMetaType::QStringList: return value.toStringList().join(u", "_s);
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
    case QMetaType::QByteArray: return value.toString();
    default: return std::nullopt;
    }
}

} // namespace

QString SettingKey::defaultValue() const
{
    return machineDefault ? machineDefault() : fixedDefault.toString();
}

namespace setting {

QString defaultSaveFolder()
{
    // "c:\12345" on the platform it was made for; elsewhere the same folder under the home.
#ifdef Q_OS_WIN
    return u"c:/12345"_s;
#else
    return QDir::homePath() + u"/12345"_s;
#endif
}

QString defaultCopyDestination()
{
    return ProgramDataFolder();
}

} // namespace setting

QString GetSetting(const QString &section, const QString &key, const QString &defaultValue)
{
    QSettings s = store();
    s.beginGroup(section);
    return asText(s.value(key)).value_or(defaultValue);
}

void SaveSetting(const QString &section, const QString &key, const QString &value)
{
    QSettings s = store();
    s.beginGroup(section);
    s.setValue(key, value);
}

int GetSettingInt(const QString &section, const QString &key, int defaultValue)
{
    bool ok = false;
    const int value = GetSetting(section, key).trimmed().toInt(&ok);
    return ok ? value : defaultValue;
}

QString GetSetting(const SettingKey &key)
{
    return GetSetting(key.section.toString(), key.name.toString(), key.defaultValue());
}

int GetSettingInt(const SettingKey &key)
{
    return GetSettingInt(key.section.toString(), key.name.toString(), key.defaultValue().toInt());
}

double GetSettingNumber(const SettingKey &key)
{
    bool ok = false;
    const double value = GetSetting(key).trimmed().toDouble(&ok);
    return ok && qIsFinite(value) ? value : key.defaultValue().toDouble();
}

void SaveSetting(const SettingKey &key, const QString &value)
{
    SaveSetting(key.section.toString(), key.name.toString(), value);
}

QString settingsLocation()
{
    return store().fileName();
}

QString settingsFolder()
{
#ifdef Q_OS_WIN
    // The registry holds the values; the files go to the per-user configuration folder.
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
#else
    return QFileInfo(settingsLocation()).absolutePath();
#endif
}

} // namespace papyrant
