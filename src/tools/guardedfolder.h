#pragma once

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace papyrant {

// A folder that other accounts may be able to change, reached so that no link planted on the
// way is ever followed: `base` is opened as it stands (the folders above it belong to the
// system), but base itself and every folder named by `chain` below it must be real folders,
// not links, and belong to `owner` (-1: to whoever owns base). Every operation below opens the
// folders afresh, one handle at a time, and never follows a link from base down to its target,
// so a folder swapped for a link after a listing is not entered.
struct GuardedFolder
{
    QString base;      // absolute
    QStringList chain; // folder names from base down to the folder itself
    qint64 owner = -1;

    QString path() const; // base and chain joined, ending in "/"
};

// What an operation found.
enum class GuardedResult {
    Done,
    Gone,    // the thing, or a folder on its way, does not exist
    Refused, // a link, a folder of another owner, or the wrong kind of entry on the way
    Failed,  // anything else (no permission, a folder not empty...)
};

// Whether the folder can be reached as GuardedFolder says.
GuardedResult CheckGuardedFolder(const GuardedFolder &folder);

// One entry found under a guarded folder; relative: its path below it, "/"-separated.
struct GuardedEntry
{
    QString relative;
    bool folder = false;
    qint64 size = 0;
};

// Every entry under the folder (links neither listed nor entered). Each level lists its entries
// by name; with `recursive` its sub-folders follow, each walked the same way, after the level.
QList<GuardedEntry> WalkGuardedFolder(const GuardedFolder &folder, bool recursive = true);

// Removes the file (or link) at `relative` below the folder. A folder is refused.
GuardedResult RemoveFileBelow(const GuardedFolder &folder, const QString &relative);
// Removes the folder at `relative` below the folder when it is empty. A folder the running
// user owns is first given the owner's full rights; the modes of others' are never changed.
GuardedResult RemoveEmptyFolderBelow(const GuardedFolder &folder, const QString &relative);

// Opens the ordinary file at `relative` below the folder for reading; a link is refused.
struct GuardedFile
{
    GuardedResult result = GuardedResult::Failed;
    QDateTime modified;
};
GuardedFile OpenFileBelow(const GuardedFolder &folder, const QString &relative, QFile &file);

// The running user's id as the file system records owners (-1 where there is none).
qint64 CurrentUserId();

// Tests only: called with the path of each file or folder about to be removed, once the
// folders on its way are open, so that a test can swap one of them for a link at that moment.
void setBeforeRemoveHookForTesting(std::function<void(const QString &path)> hook);

} // namespace papyrant
