#include "foundation/replacingfile.h"

#include "foundation/fileentry.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>

#if defined(Q_OS_UNIX)
#include <sys/stat.h>
#endif

namespace papyrant {

namespace {

#if defined(Q_OS_UNIX)
// The process's file-creation mask. Linux shows it (4.7 on) without changing it; elsewhere it
// is set and put back at once.
mode_t currentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(mask);
            }
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}
#endif

} // namespace

ReplacingFile::ReplacingFile(const QString &target) : m_target(target)
{
    // A short name of our own: the target's name may already be as long as the system allows.
    m_temp.setFileTemplate(QFileInfo(target).absolutePath()
                           + QStringLiteral("/.papyrant-XXXXXX.part"));
    m_temp.setAutoRemove(true);
}

ReplacingFile::~ReplacingFile() = default; // an uncommitted temporary file is removed

void ReplacingFile::noteError(int errorNumber)
{
    if (m_errorNumber == 0)
        m_errorNumber = errorNumber ? errorNumber : EIO;
}

bool ReplacingFile::open()
{
    errno = 0;
    if (m_temp.open())
        return true;
    noteError(errno);
    return false;
}

qint64 ReplacingFile::write(const char *data, qint64 size)
{
    errno = 0;
    const qint64 n = m_temp.write(data, size);
    if (n != size) {
        m_failed = true;
        noteError(errno);
    }
    return n;
}

bool ReplacingFile::finishWriting(Existing existing)
{
    if (!m_temp.isOpen())
        return false;
    errno = 0;
    bool ok = m_temp.flush() && !m_failed;
    if (!ok)
        noteError(errno);
#if defined(Q_OS_UNIX)
    // The temporary file is the owner's alone. The finished file gets the mode of the file it
    // replaces, or the mode any other program gives a new file (0666 less the umask). A link at
    // the target is not looked through.
    struct stat st
    {};
    const bool replacing = existing == Existing::ReplaceFile
                           && ::lstat(QFile::encodeName(m_target).constData(), &st) == 0
                           && S_ISREG(st.st_mode);
    const mode_t mode = replacing ? st.st_mode & 0777 : 0666 & ~currentUmask();
    ::fchmod(m_temp.handle(), mode);
#else
    Q_UNUSED(existing);
#endif
    // After the last write, or the write would stamp the time again.
    if (ok && m_modified)
        ok = m_temp.setFileTime(*m_modified, QFileDevice::FileModificationTime);
    if (ok && m_permissions)
        ok = m_temp.setPermissions(*m_permissions);
    m_temp.close();
    return ok;
}

bool ReplacingFile::commit(Existing existing)
{
    m_taken = false;
    const QString temp = m_temp.fileName();
    if (!finishWriting(existing)) {
        cancelWriting();
        return false;
    }
    // One rename in every case: the finished file appears whole or not at all.
    errno = 0;
    RenameResult result = existing == Existing::ReplaceFile ? RenameReplacingFile(temp, m_target)
                                                            : RenameNoReplace(temp, m_target);
    if (result == RenameResult::Taken && existing == Existing::KeepUnlessLeftover
        && IsDownloadLeftover(m_target))
        result = RenameReplacingFile(temp, m_target);
    if (result != RenameResult::Done) {
        m_taken = result == RenameResult::Taken;
        if (!m_taken)
            noteError(errno);
        cancelWriting();
        return false;
    }
    m_temp.setAutoRemove(false);
    return true;
}

void ReplacingFile::cancelWriting()
{
    m_temp.close();
    m_temp.remove();
}

} // namespace papyrant
