#include "foundation/systeminfo.h"

#include "foundation/registry.h"

#include <QHash>
#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

QString &bitnessValue()
{
    static QString value;
    return value;
}

QString &descriptionValue()
{
    static QString value;
    return value;
}

// One value of an os-release file: quotes removed, backslash escapes undone.
QString unquote(QString value)
{
    value = value.trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'')
        && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size())
            ++i;
        out += value[i];
    }
    return out;
}

QHash<QString, QString> parseOsRelease(const QString &text)
{
    QHash<QString, QString> fields;
    for (const QString &line : text.split(u'\n')) {
        const QString trimmed = line.trimmed();
        const qsizetype eq = trimmed.indexOf(u'=');
        if (trimmed.startsWith(u'#') || eq <= 0)
            continue;
        fields.insert(trimmed.left(eq).trimmed(), unquote(trimmed.mid(eq + 1)));
    }
    return fields;
}

// "6.1.0-27-amd64" gives "6.1.0-27": the flavour after the numbers says nothing of the build.
QString kernelBuild(const QString &release)
{
    QStringList parts = release.trimmed().split(u'-');
    while (parts.size() > 1 && !(parts.last().size() > 0 && parts.last()[0].isDigit()))
        parts.removeLast();
    return parts.join(u'-');
}

QString describe(const QString &product, const QString &release, const QString &build)
{
    return product + u" 版本:"_s + release + u" (内部版本:"_s + build + u')';
}

} // namespace

QString OsDescriptionFromOsRelease(const QString &osRelease, const QString &kernelRelease)
{
    const QHash<QString, QString> fields = parseOsRelease(osRelease);
    QString product = fields.value(u"PRETTY_NAME"_s).trimmed();
    if (product.isEmpty())
        product = QString(fields.value(u"NAME"_s) + u' ' + fields.value(u"VERSION"_s)).trimmed();
    if (product.isEmpty())
        return {};
    QString release = fields.value(u"VERSION_ID"_s).trimmed();
    if (release.isEmpty())
        release = fields.value(u"BUILD_ID"_s).trimmed();
    return describe(product, release, kernelBuild(kernelRelease));
}

QString OsDescriptionFromRegistry(Registry &registry)
{
    const QString key = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"_s;
    const auto text = [&](const QString &name) { return registry.readText(key, name, false); };
    const QString product = text(u"ProductName"_s);
    if (product == RegistryError)
        return {};
    const QString currentVersion = text(u"CurrentVersion"_s);
    const QString buildNumber = text(u"CurrentBuildNumber"_s);
    const QString releaseId = text(u"ReleaseId"_s);
    const QString buildLab = text(u"BuildLab"_s);
    const QString csdVersion = text(u"CSDVersion"_s);
    const QString ubr = registry.readNumber(key, u"UBR"_s, SystemBitness() == u"64"_s);

    const QString release = releaseId == RegistryError ? currentVersion : releaseId;
    QString build;
    if (ubr != RegistryError)
        build = buildNumber + u'.' + ubr;
    else if (csdVersion != RegistryError)
        build = buildLab + u" : "_s + csdVersion;
    else
        build = buildLab;
    return describe(product, release, build);
}

QString SystemBitness()
{
    if (bitnessValue().isEmpty())
        bitnessValue() = DetectBitness();
    return bitnessValue();
}

QString SystemDescription()
{
    return descriptionValue();
}

void ComputeSystemDescription()
{
    bitnessValue() = DetectBitness();
    descriptionValue() = OsDescription() + u'[' + bitnessValue() + u"位]"_s;
}

void setSystemDescriptionForTesting(const QString &description)
{
    descriptionValue() = description;
}

// The readers' view rule is the same on every platform; the registry itself is the platform's.
QString RegistryReadText(const QString &keyPath, const QString &valueName, bool defaultView)
{
    return SystemRegistry().readText(keyPath, valueName,
                                     !defaultView && SystemBitness() == u"64"_s);
}

QString RegistryReadNumber(const QString &keyPath, const QString &valueName, bool defaultView)
{
    return SystemRegistry().readNumber(keyPath, valueName,
                                       !defaultView && SystemBitness() == u"64"_s);
}

bool RegistryWriteNumber(const QString &keyPath, const QString &valueName, quint32 number)
{
    return SystemRegistry().writeNumber(keyPath, valueName, number);
}

void RegistryDeleteValue(const QString &root, const QString &subKey, const QString &valueName)
{
    SystemRegistry().deleteValue(root, subKey, valueName);
}

} // namespace papyrant
