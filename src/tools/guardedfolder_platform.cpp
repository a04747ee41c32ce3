// Guarded folders through the platform's directory handles: on POSIX systems every folder is
// opened relative to its parent's handle with O_NOFOLLOW, and files are removed with unlinkat
// in the handle of the folder that holds them, so a name swapped for a link at any moment is
// never followed. Elsewhere each operation checks the path, folder by folder, right before it
// acts.
#include "tools/guardedfolder.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <utility>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

std::function<void(const QString &)> &beforeRemoveHook()
{
    static std::function<void(const QString &)> hook;
    return hook;
}

void beforeRemove(const GuardedFolder &folder, const QString &relative)
{
    if (const auto &hook = beforeRemoveHook())
        hook(folder.path() + relative);
}

bool isPlainName(const QString &name)
{
    return !name.isEmpty() && name != u"."_s && name != u".."_s && !name.contains(u'/')
           && !name.contains(u'\\');
}

// The names of a relative path; empty when it has none or one that climbs out.
QStringList namesOf(const QString &relative)
{
    const QStringList names = relative.split(u'/', Qt::SkipEmptyParts);
    return std::all_of(names.cbegin(), names.cend(), isPlainName) ? names : QStringList();
}

// Deep enough for any cache; a deeper tree is not walked further (each level holds a handle).
constexpr int MaxDepth = 64;

} // namespace

QString GuardedFolder::path() const
{
    QString p = QDir::fromNativeSeparators(base);
    for (const QString &name : chain)
        p += (p.endsWith(u'/') ? QString() : u"/"_s) + name;
    return p.endsWith(u'/') ? p : p + u'/';
}

void setBeforeRemoveHookForTesting(std::function<void(const QString &path)> hook)
{
    beforeRemoveHook() = std::move(hook);
}

#if defined(Q_OS_UNIX)

namespace {

class Handle
{
public:
    explicit Handle(int fd = -1) : m_fd(fd) {}
    ~Handle() { reset(); }
    Handle(Handle &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Handle &operator=(Handle &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;

    int fd() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }

private:
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    int m_fd;
};

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

QByteArray encoded(const QString &name)
{
    return QFile::encodeName(name);
}

GuardedResult resultOf(int error)
{
    switch (error) {
    case ENOENT: return GuardedResult::Gone;
    case ELOOP:   // a link where a folder or file should be (O_NOFOLLOW)
    case ENOTDIR: // a file, or a link, where a folder should be
        return GuardedResult::Refused;
    default: return GuardedResult::Failed;
    }
}

struct Opened
{
    Handle handle;
    GuardedResult result = GuardedResult::Failed;
};

Opened failure(GuardedResult result)
{
    return {Handle(), result};
}

Opened openGuarded(const GuardedFolder &folder)
{
    // No final "/": it would make the system follow a link at the base after all.
    const QString base = QDir::cleanPath(QDir::fromNativeSeparators(folder.base));
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        return failure(GuardedResult::Refused);
    Handle at(::open(encoded(base).constData(), FolderFlags));
    if (!at.valid())
        return failure(resultOf(errno));
    struct stat status
    {};
    if (::fstat(at.fd(), &status) != 0)
        return failure(GuardedResult::Failed);
    const uid_t owner = folder.owner >= 0 ? uid_t(folder.owner) : status.st_uid;
    if (status.st_uid != owner)
        return failure(GuardedResult::Refused);
    for (const QString &name : folder.chain) {
        if (!isPlainName(name))
            return failure(GuardedResult::Refused);
        Handle next(::openat(at.fd(), encoded(name).constData(), FolderFlags));
        if (!next.valid())
            return failure(resultOf(errno));
        if (::fstat(next.fd(), &status) != 0)
            return failure(GuardedResult::Failed);
        if (status.st_uid != owner)
            return failure(GuardedResult::Refused);
        at = std::move(next);
    }
    return {std::move(at), GuardedResult::Done};
}

// The folder that holds the entry at `relative`, opened through the folders on its way, and the
// entry's own name in it.
struct Place
{
    Handle folder;
    QByteArray leaf;
    GuardedResult result = GuardedResult::Failed;
};

Place openPlace(const GuardedFolder &folder, const QString &relative)
{
    const QStringList names = namesOf(relative);
    if (names.isEmpty())
        return {Handle(), {}, GuardedResult::Refused};
    Opened at = openGuarded(folder);
    for (qsizetype i = 0; at.result == GuardedResult::Done && i + 1 < names.size(); ++i) {
        Handle next(::openat(at.handle.fd(), encoded(names[i]).constData(), FolderFlags));
        if (!next.valid())
            return {Handle(), {}, resultOf(errno)};
        at.handle = std::move(next);
    }
    return {std::move(at.handle), encoded(names.last()), at.result};
}

void walkLevel(int fd, const QString &prefix, bool recursive, int depth, QList<GuardedEntry> &out)
{
    const int listing = ::dup(fd);
    if (listing < 0)
        return;
    DIR *dir = ::fdopendir(listing);
    if (!dir) {
        ::close(listing);
        return;
    }
    QList<QByteArray> names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names << name;
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), [](const QByteArray &a, const QByteArray &b) {
        return QFile::decodeName(a) < QFile::decodeName(b);
    });
    QList<QByteArray> folders;
    for (const QByteArray &name : std::as_const(names)) {
        struct stat status
        {};
        if (::fstatat(fd, name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0
            || S_ISLNK(status.st_mode))
            continue;
        const QString relative = prefix + QFile::decodeName(name);
        if (S_ISDIR(status.st_mode)) {
            out.append({relative, true, 0});
            folders << name;
        } else {
            out.append({relative, false, qint64(status.st_size)});
        }
    }
    if (!recursive || depth >= MaxDepth)
        return;
    for (const QByteArray &name : std::as_const(folders)) {
        const Handle sub(::openat(fd, name.constData(), FolderFlags));
        if (sub.valid())
            walkLevel(sub.fd(), prefix + QFile::decodeName(name) + u'/', true, depth + 1, out);
    }
}

} // namespace

GuardedResult CheckGuardedFolder(const GuardedFolder &folder)
{
    return openGuarded(folder).result;
}

QList<GuardedEntry> WalkGuardedFolder(const GuardedFolder &folder, bool recursive)
{
    QList<GuardedEntry> entries;
    const Opened root = openGuarded(folder);
    if (root.result == GuardedResult::Done)
        walkLevel(root.handle.fd(), QString(), recursive, 1, entries);
    return entries;
}

GuardedResult RemoveFileBelow(const GuardedFolder &folder, const QString &relative)
{
    const Place place = openPlace(folder, relative);
    if (place.result != GuardedResult::Done)
        return place.result;
    struct stat status
    {};
    if (::fstatat(place.folder.fd(), place.leaf.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return resultOf(errno);
    if (S_ISDIR(status.st_mode))
        return GuardedResult::Refused;
    beforeRemove(folder, relative);
    // A link at the name is removed itself; unlinkat never touches what it points to.
    if (::unlinkat(place.folder.fd(), place.leaf.constData(), 0) != 0)
        return errno == EISDIR ? GuardedResult::Refused : resultOf(errno);
    return GuardedResult::Done;
}

GuardedResult RemoveEmptyFolderBelow(const GuardedFolder &folder, const QString &relative)
{
    const Place place = openPlace(folder, relative);
    if (place.result != GuardedResult::Done)
        return place.result;
    const Handle self(::openat(place.folder.fd(), place.leaf.constData(), FolderFlags));
    if (!self.valid())
        return resultOf(errno);
    struct stat status
    {};
    if (::fstat(self.fd(), &status) != 0)
        return GuardedResult::Failed;
    // "Normal attributes" for a folder of this user only; through the handle, never a link.
    if (status.st_uid == ::geteuid())
        ::fchmod(self.fd(), (status.st_mode & 07777) | S_IRWXU);
    beforeRemove(folder, relative);
    if (::unlinkat(place.folder.fd(), place.leaf.constData(), AT_REMOVEDIR) != 0)
        return resultOf(errno);
    return GuardedResult::Done;
}

GuardedFile OpenFileBelow(const GuardedFolder &folder, const QString &relative, QFile &file)
{
    const Place place = openPlace(folder, relative);
    if (place.result != GuardedResult::Done)
        return {place.result, {}};
    // Not blocking: a named pipe planted under the name must not hang the program.
    Handle fd(::openat(place.folder.fd(), place.leaf.constData(),
                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid())
        return {resultOf(errno), {}};
    struct stat status
    {};
    if (::fstat(fd.fd(), &status) != 0)
        return {GuardedResult::Failed, {}};
    if (!S_ISREG(status.st_mode))
        return {GuardedResult::Refused, {}};
    const int flags = ::fcntl(fd.fd(), F_GETFL);
    if (flags == -1 || ::fcntl(fd.fd(), F_SETFL, flags & ~O_NONBLOCK) == -1)
        return {GuardedResult::Failed, {}};
    const int handle = fd.release();
    if (!file.open(handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        return {GuardedResult::Failed, {}};
    }
    const QDateTime modified = QDateTime::fromMSecsSinceEpoch(qint64(status.st_mtim.tv_sec) * 1000
                                                              + status.st_mtim.tv_nsec / 1000000);
    return {GuardedResult::Done, modified};
}

qint64 CurrentUserId()
{
    return qint64(::geteuid());
}

#else // without directory handles

namespace {

// Checks the folders from base down through `names`, right before an operation: each must be a
// real folder. Owners are not compared (the platform has no owner ids here).
GuardedResult checkFolders(const GuardedFolder &folder, const QStringList &names)
{
    QString path = QDir::cleanPath(QDir::fromNativeSeparators(folder.base));
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return GuardedResult::Refused;
    const QStringList below = folder.chain + names;
    for (qsizetype i = -1; i < below.size(); ++i) {
        if (i >= 0) {
            if (!isPlainName(below[i]))
                return GuardedResult::Refused;
            path += u'/' + below[i];
        }
        const QFileInfo info(path);
        if (info.isSymLink() || info.isJunction())
            return GuardedResult::Refused;
        if (!info.exists())
            return GuardedResult::Gone;
        if (!info.isDir())
            return GuardedResult::Refused;
    }
    return GuardedResult::Done;
}

void walkLevel(const QString &folder, const QString &prefix, bool recursive, int depth,
               QList<GuardedEntry> &out)
{
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QStringList folders;
    for (const QFileInfo &entry : entries) {
        if (entry.isSymLink() || entry.isJunction())
            continue;
        if (entry.isDir()) {
            out.append({prefix + entry.fileName(), true, 0});
            folders << entry.fileName();
        } else {
            out.append({prefix + entry.fileName(), false, entry.size()});
        }
    }
    if (!recursive || depth >= MaxDepth)
        return;
    for (const QString &name : std::as_const(folders))
        walkLevel(folder + u'/' + name, prefix + name + u'/', true, depth + 1, out);
}

} // namespace

GuardedResult CheckGuardedFolder(const GuardedFolder &folder)
{
    return checkFolders(folder, {});
}

QList<GuardedEntry> WalkGuardedFolder(const GuardedFolder &folder, bool recursive)
{
    QList<GuardedEntry> entries;
    if (checkFolders(folder, {}) == GuardedResult::Done)
        walkLevel(folder.path().chopped(1), QString(), recursive, 1, entries);
    return entries;
}

GuardedResult RemoveFileBelow(const GuardedFolder &folder, const QString &relative)
{
    const QStringList names = namesOf(relative);
    if (names.isEmpty())
        return GuardedResult::Refused;
    const GuardedResult way = checkFolders(folder, names.mid(0, names.size() - 1));
    if (way != GuardedResult::Done)
        return way;
    const QFileInfo info(folder.path() + names.join(u'/'));
    if (!info.exists() && !info.isSymLink())
        return GuardedResult::Gone;
    if (info.isDir() && !info.isSymLink())
        return GuardedResult::Refused;
    beforeRemove(folder, relative);
    QFile::setPermissions(info.filePath(), info.permissions() | QFileDevice::WriteOwner);
    return QFile::remove(info.filePath()) ? GuardedResult::Done : GuardedResult::Failed;
}

GuardedResult RemoveEmptyFolderBelow(const GuardedFolder &folder, const QString &relative)
{
    const QStringList names = namesOf(relative);
    const GuardedResult way = checkFolders(folder, names);
    if (names.isEmpty() || way != GuardedResult::Done)
        return names.isEmpty() ? GuardedResult::Refused : way;
    beforeRemove(folder, relative);
    return QDir().rmdir(folder.path() + names.join(u'/')) ? GuardedResult::Done
                                                          : GuardedResult::Failed;
}

GuardedFile OpenFileBelow(const GuardedFolder &folder, const QString &relative, QFile &file)
{
    const QStringList names = namesOf(relative);
    if (names.isEmpty())
        return {GuardedResult::Refused, {}};
    const GuardedResult way = checkFolders(folder, names.mid(0, names.size() - 1));
    if (way != GuardedResult::Done)
        return {way, {}};
    const QFileInfo info(folder.path() + names.join(u'/'));
    if (info.isSymLink() || info.isJunction() || (info.exists() && !info.isFile()))
        return {GuardedResult::Refused, {}};
    if (!info.exists())
        return {GuardedResult::Gone, {}};
    file.setFileName(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return {GuardedResult::Failed, {}};
    return {GuardedResult::Done, info.lastModified()};
}

qint64 CurrentUserId()
{
    return -1;
}

#endif

} // namespace papyrant
