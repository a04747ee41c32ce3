#include "foundation/filecopy.h"

#include <QFileInfo>

namespace papyrant {

FileCopy::FileCopy(const QString &source, const QString &target, Target mode)
    : m_source(source), m_out(std::make_unique<ReplacingFile>(target)), m_mode(mode)
{}

bool FileCopy::open()
{
    const QFileInfo info(m_source.fileName());
    if (!info.isFile() || !m_source.open(QIODevice::ReadOnly) || !m_out->open()) {
        m_failed = true;
        return false;
    }
    m_size = m_source.size();
    m_out->keepModificationTime(info.lastModified());
    m_out->keepPermissions(info.permissions());
    return true;
}

bool FileCopy::copyPiece(qint64 maxBytes)
{
    if (m_failed || !m_source.isOpen())
        return false;
    QByteArray piece(int(qMin<qint64>(maxBytes, 1024 * 1024)), Qt::Uninitialized);
    qint64 left = maxBytes;
    while (left > 0) {
        const qint64 n = m_source.read(piece.data(), qMin<qint64>(left, piece.size()));
        if (n < 0 || (n > 0 && m_out->write(piece.constData(), n) != n)) {
            m_failed = true;
            return false;
        }
        if (n == 0)
            return false;
        m_copied += n;
        left -= n;
    }
    return true;
}

bool FileCopy::commit()
{
    if (m_failed || !m_source.isOpen()) {
        cancel();
        return false;
    }
    // A source that grew or shrank while it was read is not the file that was asked for.
    const bool whole = m_copied == m_source.size();
    m_source.close();
    if (!whole) {
        m_out->cancelWriting();
        return false;
    }
    return m_mode == Target::Replace ? m_out->commit() : m_out->commitAsNew();
}

void FileCopy::cancel()
{
    m_source.close();
    m_out->cancelWriting();
}

bool CopyFileWhole(const QString &source, const QString &target, FileCopy::Target mode)
{
    FileCopy copy(source, target, mode);
    if (!copy.open())
        return false;
    while (copy.copyPiece(8 * 1024 * 1024)) {}
    return copy.commit();
}

} // namespace papyrant
