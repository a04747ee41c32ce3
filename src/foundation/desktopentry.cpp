#include "foundation/desktopentry.h"

#include "foundation/fileutil.h"

#include <QFile>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

QHash<QString, QString> ReadDesktopGroup(const QString &file, const QString &group)
{
    QHash<QString, QString> values;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text))
        return values;
    QTextStream stream(&in);
    const QString header = u'[' + group + u']';
    bool inGroup = false;
    while (!stream.atEnd()) {
        const QString line = stream.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inGroup = line == header;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (inGroup && eq > 0) {
            const QString key = line.left(eq).trimmed();
            if (!values.contains(key)) // the first of a repeated key counts
                values.insert(key, line.mid(eq + 1).trimmed());
        }
    }
    return values;
}

QString DesktopEntryPath(const QString &id, const QStringList &dataDirs)
{
    if (id.isEmpty() || id.contains(u'/'))
        return {};
    for (const QString &dir : dataDirs) {
        const QString base = dir + u"/applications/"_s;
        if (FileExists(base + id))
            return base + id;
        // "vendor-name.desktop" may be "vendor/name.desktop".
        QString nested = id;
        for (qsizetype dash = nested.indexOf(u'-'); dash > 0;
             dash = nested.indexOf(u'-', dash + 1)) {
            nested[dash] = u'/';
            if (FileExists(base + nested))
                return base + nested;
        }
    }
    return {};
}

QString DefaultDesktopEntry(const QString &mimeType, const QStringList &configDirs,
                            const QStringList &dataDirs, const QStringList &desktopNames)
{
    QStringList lists;
    const auto addLists = [&](const QString &dir) {
        for (const QString &desktop : desktopNames)
            lists << dir + u'/' + desktop.toLower() + u"-mimeapps.list"_s;
        lists << dir + u"/mimeapps.list"_s;
    };
    for (const QString &dir : configDirs)
        addLists(dir);
    for (const QString &dir : dataDirs)
        addLists(dir + u"/applications"_s);

    const auto firstInstalled = [&](const QString &ids) -> QString {
        for (const QString &id : ids.split(u';', Qt::SkipEmptyParts))
            if (!DesktopEntryPath(id.trimmed(), dataDirs).isEmpty())
                return id.trimmed();
        return {};
    };
    for (const QString &list : lists) {
        const QString found =
            firstInstalled(ReadDesktopGroup(list, u"Default Applications"_s).value(mimeType));
        if (!found.isEmpty())
            return found;
    }
    for (const QString &dir : dataDirs) {
        const QString found = firstInstalled(
            ReadDesktopGroup(dir + u"/applications/mimeinfo.cache"_s, u"MIME Cache"_s)
                .value(mimeType));
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QString DefaultDesktopEntry(const QString &mimeType)
{
    const QStringList desktops =
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts);
    return DefaultDesktopEntry(
        mimeType, QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation),
        QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation), desktops);
}

QStringList DesktopExecCommand(const QString &exec, const QString &path)
{
    // Split into arguments: double quotes group, and inside them a backslash escapes the next
    // character. The general string escapes of the file format ("\\s", "\\\\") come first.
    QString value;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        if (exec[i] == u'\\' && i + 1 < exec.size()) {
            const QChar next = exec[++i];
            if (next == u's')
                value += u' ';
            else if (next == u'\\')
                value += u'\\';
            else
                value += QString(u'\\') + next;
            continue;
        }
        value += exec[i];
    }
    QStringList args;
    QString current;
    bool quoted = false;
    bool inArg = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (quoted) {
            if (c == u'\\' && i + 1 < value.size())
                current += value[++i];
            else if (c == u'"')
                quoted = false;
            else
                current += c;
        } else if (c == u'"') {
            quoted = inArg = true;
        } else if (c.isSpace()) {
            if (inArg)
                args << current;
            current.clear();
            inArg = false;
        } else {
            current += c;
            inArg = true;
        }
    }
    if (quoted)
        return {};
    if (inArg)
        args << current;

    QStringList command;
    bool fileGiven = false;
    const QString url = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    for (const QString &arg : std::as_const(args)) {
        // A field code standing alone may expand to nothing or to several words.
        if (arg == u"%f"_s || arg == u"%F"_s || arg == u"%u"_s || arg == u"%U"_s) {
            command << (arg.at(1).toLower() == u'f' ? path : url);
            fileGiven = true;
            continue;
        }
        QString out;
        for (qsizetype i = 0; i < arg.size(); ++i) {
            if (arg[i] != u'%' || i + 1 >= arg.size()) {
                out += arg[i];
                continue;
            }
            const QChar code = arg[++i];
            if (code == u'%') {
                out += u'%';
            } else if (code == u'f' || code == u'F') {
                out += path;
                fileGiven = true;
            } else if (code == u'u' || code == u'U') {
                out += url;
                fileGiven = true;
            }
        }
        if (!out.isEmpty())
            command << out;
    }
    if (command.isEmpty())
        return {};
    if (!fileGiven)
        command << path;
    return command;
}

} // namespace papyrant
