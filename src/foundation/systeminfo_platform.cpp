// What differs between platforms in the system description: where the product name comes from
// and whether there is a registry at all.
#include "foundation/registry.h"
#include "foundation/systeminfo.h"

#include <QFile>
#include <QOperatingSystemVersion>
#include <QSysInfo>
#ifdef Q_OS_WIN
#include <QSettings>
#endif

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

#ifdef Q_OS_WIN
class WindowsRegistry : public Registry
{
public:
    QString readText(const QString &keyPath, const QString &valueName, bool view64) override
    {
        QSettings key(keyPath, view64 ? QSettings::Registry64Format : QSettings::NativeFormat);
        if (!key.contains(valueName))
            return RegistryError.toString();
        QString text = key.value(valueName).toString().left(255);
        const qsizetype nul = text.indexOf(QChar(0));
        if (nul >= 0)
            text.truncate(nul);
        return text.trimmed();
    }
    QString readNumber(const QString &keyPath, const QString &valueName, bool view64) override
    {
        QSettings key(keyPath, view64 ? QSettings::Registry64Format : QSettings::NativeFormat);
        bool ok = false;
        const qint64 value = key.value(valueName).toLongLong(&ok);
        if (!key.contains(valueName) || !ok)
            return RegistryError.toString();
        return QString::number(quint32(value));
    }
    bool writeNumber(const QString &keyPath, const QString &valueName, quint32 number) override
    {
        QSettings key(keyPath, QSettings::NativeFormat);
        key.setValue(valueName, int(number));
        key.sync();
        return key.status() == QSettings::NoError;
    }
    void deleteValue(const QString &root, const QString &subKey, const QString &valueName) override
    {
        QSettings key(root + u'\\' + subKey, QSettings::NativeFormat);
        key.remove(valueName);
    }
};
using PlatformRegistry = WindowsRegistry;
#else
// No registry here: reads fail with "Error", writes with false.
class PlatformRegistry : public Registry
{
public:
    QString readText(const QString &, const QString &, bool) override
    {
        return RegistryError.toString();
    }
    QString readNumber(const QString &, const QString &, bool) override
    {
        return RegistryError.toString();
    }
    bool writeNumber(const QString &, const QString &, quint32) override { return false; }
    void deleteValue(const QString &, const QString &, const QString &) override {}
};
#endif

Registry *&registryOverride()
{
    static Registry *registry = nullptr;
    return registry;
}

} // namespace

Registry &SystemRegistry()
{
    static PlatformRegistry platform;
    return registryOverride() ? *registryOverride() : platform;
}

void setSystemRegistryForTesting(Registry *registry)
{
    registryOverride() = registry;
}

QString DetectBitness()
{
    // The running system's architecture, so that a 32-bit build on a 64-bit system says "64".
    return QSysInfo::currentCpuArchitecture().contains(u"64"_s) ? u"64"_s : u"32"_s;
}

QString OsNameFromVersion()
{
    const QOperatingSystemVersion os = QOperatingSystemVersion::current();
    const QString version = QString::number(os.majorVersion()) + u'.'
                            + QString::number(os.minorVersion()) + u'.'
                            + QString::number(os.microVersion());
#ifdef Q_OS_WIN
    if (os.majorVersion() > 6)
        return u"Windows "_s + version;
    if (os.majorVersion() == 6 && os.minorVersion() >= 3)
        return u"Windows 8.1 ["_s + version + u']';
#endif
    return QSysInfo::prettyProductName() + u" [Version: "_s
           + (os.majorVersion() >= 0 ? version : QSysInfo::kernelVersion()) + u']';
}

QString OsDescription()
{
#ifdef Q_OS_WIN
    const QString described = OsDescriptionFromRegistry(SystemRegistry());
#else
    QString described;
    for (const QString &path : {u"/etc/os-release"_s, u"/usr/lib/os-release"_s}) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            described = OsDescriptionFromOsRelease(QString::fromUtf8(file.readAll()),
                                                   QSysInfo::kernelVersion());
            break;
        }
    }
#endif
    return described.isEmpty() ? OsNameFromVersion() : described;
}

} // namespace papyrant
