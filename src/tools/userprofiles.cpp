#include "tools/userprofiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#ifdef Q_OS_UNIX
#include <pwd.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

QString WindowsUsersRoot(const QString &systemDescription, const QString &cacheFolder)
{
    QString folder = cacheFolder;
    folder.replace(u'\\', u'/');
    const bool newer = systemDescription.contains(u"windows 8"_s, Qt::CaseInsensitive)
                       || systemDescription.contains(u"windows 7"_s, Qt::CaseInsensitive)
                       || systemDescription.contains(u"Windows 10"_s, Qt::CaseInsensitive);
    if (!newer) {
        const QString marker = u"Documents and Settings/"_s;
        const qsizetype at = folder.indexOf(marker, 0, Qt::CaseInsensitive);
        return at < 0 ? QString() : folder.left(at + marker.size());
    }
    // The first "/" at or after the 4th character: "C:/Users/..." gives "C:/Users/".
    const qsizetype slash = folder.indexOf(u'/', 3);
    return slash < 0 ? QString() : folder.left(slash + 1);
}

QList<UserProfile> SystemUserProfiles(const QString &systemDescription, const QString &cacheFolder)
{
    QList<UserProfile> profiles;
    if (systemDescription.contains(u"windows"_s, Qt::CaseInsensitive)) {
        const QString root = WindowsUsersRoot(systemDescription, cacheFolder);
        if (root.isEmpty())
            return profiles;
        const QFileInfoList folders = QDir(root).entryInfoList(
            QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
        for (const QFileInfo &info : folders)
            profiles.append({info.fileName(), QDir::cleanPath(info.absoluteFilePath())});
        return profiles;
    }
#ifdef Q_OS_UNIX
    // The accounts' home folders; system accounts whose home is "/" or does not exist drop out.
    QSet<QString> seen;
    setpwent();
    while (const passwd *account = getpwent()) {
        const QString home = QDir::cleanPath(QString::fromLocal8Bit(account->pw_dir));
        if (home == u"/"_s || !QFileInfo(home).isDir() || seen.contains(home))
            continue;
        seen.insert(home);
        profiles.append({QString::fromLocal8Bit(account->pw_name), home, qint64(account->pw_uid)});
    }
    endpwent();
#endif
    return profiles;
}

} // namespace papyrant
