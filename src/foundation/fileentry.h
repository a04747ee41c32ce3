#pragma once

#include <QString>
#include <optional>

namespace papyrant {

// Directory entries as they stand, a link never followed: the program writes into folders the
// user chose, where anything may stand at a name, a link to somewhere else included. The
// platform calls behind these live in fileentry_platform.cpp.

enum class EntryKind {
    None,   // nothing at the path (or it cannot be looked at)
    File,   // a regular file
    Link,   // a symbolic link, dangling or not
    Folder, // a folder
    Other,  // a device, pipe or socket
};

// What stands at path itself; a link is a Link whatever it points at.
EntryKind EntryAt(const QString &path);

// Any entry at all, a dangling link included, takes a name.
inline bool EntryExists(const QString &path)
{
    return EntryAt(path) != EntryKind::None;
}

// An empty file, or a file of the two bytes 01 00: what an interrupted download of earlier
// versions left under the final name. Never a finished download.
bool IsDownloadLeftover(const QString &path);

// A regular file as it was when the program wrote it, to tell it from a file that took its
// name later (the user's own, or one put there in its place).
struct FileIdentity
{
    QString path;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;

    bool operator==(const FileIdentity &) const = default;
};

// The identity of the regular file at path; none for a link, folder or nothing.
std::optional<FileIdentity> IdentifyFile(const QString &path);

// Removes the file at identity.path when it is still that very file (same file, same size and
// time, not a link); true when it went.
bool RemoveIfStillSame(const FileIdentity &identity);

enum class RenameResult {
    Done,
    Taken,  // something stands at the target: nothing was changed
    Failed, // any other failure: nothing was changed
};

// Renames from to to in one step when nothing stands at to; never replaces and never follows a
// link at to. From and to are in one folder (or at least on one file system).
RenameResult RenameNoReplace(const QString &from, const QString &to);

// Renames from to to, replacing a regular file that stands at to in one step. A link, folder or
// other entry at to is refused (Taken), so a link planted at the name is never written through
// nor removed.
RenameResult RenameReplacingFile(const QString &from, const QString &to);

// True when both paths name one existing folder, however they are spelled (links, letter case
// on a file system that ignores it); false when either is missing.
bool SameFolder(const QString &a, const QString &b);

} // namespace papyrant
