#include "foundation/replacingfile.h"

#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace papyrant {

ReplacingFile::ReplacingFile(const QString &target) : m_target(target)
{
    // A short name of our own: the target's name may already be as long as the system allows.
    m_temp.setFileTemplate(QFileInfo(target).absolutePath()
                           + QStringLiteral("/.papyrant-XXXXXX.part"));
    m_temp.setAutoRemove(true);
}

ReplacingFile::~ReplacingFile() = default; // an uncommitted temporary file is removed

bool ReplacingFile::open()
{
    return m_temp.open();
}

qint64 ReplacingFile::write(const char *data, qint64 size)
{
    const qint64 n = m_temp.write(data, size);
    if (n != size)
        m_failed = true;
    return n;
}

bool ReplacingFile::commit()
{
    if (!m_temp.isOpen())
        return false;
    const bool flushed = m_temp.flush();
    const QString temp = m_temp.fileName();
    m_temp.close();
    if (m_failed || !flushed)
        return false;
    // One rename that replaces an existing target on every platform (MoveFileEx with
    // REPLACE_EXISTING on Windows, rename(2) elsewhere).
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(temp.toStdU16String()),
                            std::filesystem::path(m_target.toStdU16String()), error);
    if (error)
        return false;
    m_temp.setAutoRemove(false);
    return true;
}

void ReplacingFile::cancelWriting()
{
    m_temp.close();
    m_temp.remove();
}

} // namespace papyrant
