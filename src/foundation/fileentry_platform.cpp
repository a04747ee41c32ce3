// Directory entries looked at and changed without following a link at the name: lstat, rename
// with no replacing (renameat2 RENAME_NOREPLACE, else link() and unlink()), and their Windows
// counterparts.
#include "foundation/fileentry.h"

#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_WIN)
#include <qt_windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace papyrant {

namespace {

bool usable(const QString &path)
{
    return !path.isEmpty() && !path.contains(QChar(0));
}

} // namespace

bool IsDownloadLeftover(const QString &path)
{
    const std::optional<FileIdentity> found = IdentifyFile(path);
    if (!found || found->size > 2)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    return size == 0 || (size == 2 && file.read(3) == QByteArray("\x01\x00", 2));
}

#if defined(Q_OS_WIN)

namespace {

std::wstring native(const QString &path)
{
    return QFileInfo(path).absoluteFilePath().replace(u'/', u'\\').toStdWString();
}

} // namespace

EntryKind EntryAt(const QString &path)
{
    if (!usable(path))
        return EntryKind::None;
    const DWORD attributes = GetFileAttributesW(native(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return EntryKind::None;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return EntryKind::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return EntryKind::Folder;
    return EntryKind::File;
}

std::optional<FileIdentity> IdentifyFile(const QString &path)
{
    if (EntryAt(path) != EntryKind::File)
        return std::nullopt;
    const QFileInfo info(path);
    FileIdentity id;
    id.path = path;
    id.size = info.size();
    id.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
    return id;
}

bool RemoveIfStillSame(const FileIdentity &identity)
{
    return IdentifyFile(identity.path) == identity && QFile::remove(identity.path);
}

RenameResult RenameNoReplace(const QString &from, const QString &to)
{
    if (!usable(from) || !usable(to))
        return RenameResult::Failed;
    if (MoveFileExW(native(from).c_str(), native(to).c_str(), 0))
        return RenameResult::Done;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? RenameResult::Taken
                                                                       : RenameResult::Failed;
}

namespace {

RenameResult replacingRename(const QString &from, const QString &to)
{
    return MoveFileExW(native(from).c_str(), native(to).c_str(), MOVEFILE_REPLACE_EXISTING)
               ? RenameResult::Done
               : RenameResult::Failed;
}

} // namespace

bool SameFolder(const QString &a, const QString &b)
{
    const QFileInfo x(a), y(b);
    return x.isDir() && y.isDir()
           && x.canonicalFilePath().compare(y.canonicalFilePath(), Qt::CaseInsensitive) == 0;
}

#else

namespace {

bool lookAt(const QString &path, struct stat *st)
{
    return usable(path) && ::lstat(QFile::encodeName(path).constData(), st) == 0;
}

RenameResult failure(int error)
{
    return error == EEXIST || error == ENOTEMPTY ? RenameResult::Taken : RenameResult::Failed;
}

} // namespace

EntryKind EntryAt(const QString &path)
{
    struct stat st
    {};
    if (!lookAt(path, &st))
        return EntryKind::None;
    if (S_ISLNK(st.st_mode))
        return EntryKind::Link;
    if (S_ISREG(st.st_mode))
        return EntryKind::File;
    if (S_ISDIR(st.st_mode))
        return EntryKind::Folder;
    return EntryKind::Other;
}

std::optional<FileIdentity> IdentifyFile(const QString &path)
{
    struct stat st
    {};
    if (!lookAt(path, &st) || !S_ISREG(st.st_mode))
        return std::nullopt;
    FileIdentity id;
    id.path = path;
    id.device = quint64(st.st_dev);
    id.inode = quint64(st.st_ino);
    id.size = qint64(st.st_size);
#if defined(Q_OS_MACOS)
    id.modifiedNs = qint64(st.st_mtimespec.tv_sec) * 1000000000 + st.st_mtimespec.tv_nsec;
#else
    id.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
#endif
    return id;
}

bool RemoveIfStillSame(const FileIdentity &identity)
{
    // unlink() removes a link itself, never what it points at; the check right before it makes
    // sure the entry is still the file that was written.
    return IdentifyFile(identity.path) == identity
           && ::unlink(QFile::encodeName(identity.path).constData()) == 0;
}

RenameResult RenameNoReplace(const QString &from, const QString &to)
{
    if (!usable(from) || !usable(to))
        return RenameResult::Failed;
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
#if defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE)
        == 0)
        return RenameResult::Done;
    // Only a file system (or kernel) without the flag goes on to the other ways.
    if (errno != EINVAL && errno != ENOSYS)
        return failure(errno);
#endif
    // A hard link is created only where no entry stands, a dangling link included.
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return RenameResult::Done;
    }
    if (errno == EEXIST)
        return RenameResult::Taken;
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP)
        return RenameResult::Failed;
    // A file system without hard links: the check and the rename are two steps. rename(2)
    // never follows a link at the target, so at worst an entry made in between is replaced.
    if (EntryExists(to))
        return RenameResult::Taken;
    return ::rename(source.constData(), target.constData()) == 0 ? RenameResult::Done
                                                                 : failure(errno);
}

namespace {

RenameResult replacingRename(const QString &from, const QString &to)
{
    // rename(2) replaces the entry itself: even if a link took the name after the check, the
    // link goes and nothing is written where it pointed.
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0
               ? RenameResult::Done
               : failure(errno);
}

} // namespace

bool SameFolder(const QString &a, const QString &b)
{
    struct stat x
    {
    }, y{};
    return usable(a) && usable(b) && ::stat(QFile::encodeName(a).constData(), &x) == 0
           && ::stat(QFile::encodeName(b).constData(), &y) == 0 && S_ISDIR(x.st_mode)
           && S_ISDIR(y.st_mode) && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

#endif

RenameResult RenameReplacingFile(const QString &from, const QString &to)
{
    if (!usable(from) || !usable(to))
        return RenameResult::Failed;
    const EntryKind kind = EntryAt(to);
    if (kind != EntryKind::None && kind != EntryKind::File)
        return RenameResult::Taken;
    return replacingRename(from, to);
}

} // namespace papyrant
