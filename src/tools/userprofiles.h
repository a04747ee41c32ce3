#pragma once

#include <QList>
#include <QString>

namespace papyrant {

// One user profile of the machine: the user's name and home folder (without a final "/"), and
// the account's id as the file system records owners (-1: unknown; the home's owner is taken).
struct UserProfile
{
    QString name;
    QString folder;
    qint64 uid = -1;
};

// The folder that holds the users' profile folders on Windows, as the cache folder shows it:
// up to "Documents and Settings/" on systems before Windows 7 (empty when the cache folder is
// not under it), otherwise the first folder of the drive ("C:/Users/"). The system description
// tells the two apart.
QString WindowsUsersRoot(const QString &systemDescription, const QString &cacheFolder);

// Every user profile of the machine that can be seen: on Windows the folders under the users'
// root, elsewhere the existing home folders of the system's accounts.
QList<UserProfile> SystemUserProfiles(const QString &systemDescription, const QString &cacheFolder);

} // namespace papyrant
