#include "app/browseremulation.h"

#include "foundation/registry.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace papyrant {

namespace {

// The value name: the executable's name without extension, and ".exe".
QString programValueName()
{
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (name.isEmpty())
        name = QStringLiteral("papyrant");
    return name + QStringLiteral(".exe");
}

} // namespace

quint32 BrowserEmulationValue(const QString &versionName, bool forceStandards)
{
    const QString name = versionName.toUpper();
    if (name == u"IE10")
        return forceStandards ? 10001 : 10000;
    if (name == u"IE9")
        return forceStandards ? 9999 : 9000;
    if (name == u"IE8")
        return forceStandards ? 8888 : 8000;
    if (name == u"IE7")
        return 7000;
    return 0;
}

void SetBrowserEmulation(const QString &versionName, bool forceStandards)
{
    const QString key = BrowserEmulationKey.toString();
    const QString valueName = programValueName();
    const quint32 value = BrowserEmulationValue(versionName, forceStandards);
    if (value == 0) {
        const qsizetype slash = key.indexOf(u'\\');
        RegistryDeleteValue(key.left(slash), key.mid(slash + 1), valueName);
        return;
    }
    const QString current = RegistryReadNumber(key, valueName, false);
    if (current != QString::number(value))
        RegistryWriteNumber(key, valueName, value);
}

} // namespace papyrant
