#include "transfer/transferend.h"

#include "transfer/sharednetwork.h"

#include <QFileInfo>
#include <cerrno>

namespace papyrant {

Q_LOGGING_CATEGORY(lcTransfer, "papyrant.transfer", QtCriticalMsg)

QString transferStateName(TransferEnd::State state)
{
    switch (state) {
    case TransferEnd::State::Finished: return QStringLiteral("finished");
    case TransferEnd::State::Failed: return QStringLiteral("failed");
    case TransferEnd::State::Cancelled: return QStringLiteral("cancelled");
    case TransferEnd::State::Skipped: return QStringLiteral("skipped");
    }
    return {};
}

QString TransferReason::httpStatus(int status, const QByteArray &phrase)
{
    QString text = QStringLiteral("HTTP ") + QString::number(status);
    const QString words = HeaderBytesToText(phrase).simplified();
    if (!words.isEmpty())
        text += u' ' + words.left(80);
    return text;
}

QString TransferReason::commitFailed(const QString &target, bool taken, int errorNumber)
{
    if (!taken)
        return fileError(errorNumber);
    const QFileInfo entry(target);
    return entry.isDir() && !entry.isSymLink() ? folderInTheWay() : nameTaken();
}

QString TransferReason::fileError(int errorNumber)
{
    switch (errorNumber) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG: return diskFull();
    case EACCES:
    case EPERM:
    case EROFS: return permissionDenied();
    case ENOENT:
    case ENOTDIR: return folderMissing();
    case EISDIR: return folderInTheWay();
    default: return cannotWrite();
    }
}

} // namespace papyrant
