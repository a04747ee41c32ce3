#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>
#include <QUrl>

namespace papyrant {

// Why transfers fail, for the log; off by default (QT_LOGGING_RULES="papyrant.transfer=true").
Q_DECLARE_LOGGING_CATEGORY(lcTransfer)

// How one transfer ended, told once: the row keeps the reason and shows it, the log writes it.
struct TransferEnd
{
    enum class State { Finished, Failed, Cancelled, Skipped };
    State state = State::Failed;
    QString reason; // the cause in the user's words; empty for a plain finish
    qint64 bytes = 0;
    QUrl finalUrl;
    // The answer that ended the transfer, when a status refused it: its code and its
    // Retry-After (null when none), so that a host asking to slow down is given its rest.
    int httpStatus = 0;
    QByteArray retryAfter;
};

QString transferStateName(TransferEnd::State state);

// The causes, as the user reads them.
namespace TransferReason {
inline QString diskFull()
{
    return QStringLiteral("磁盘已满");
}
inline QString permissionDenied()
{
    return QStringLiteral("权限不足");
}
inline QString folderMissing()
{
    return QStringLiteral("文件夹不存在");
}
inline QString folderInTheWay()
{
    return QStringLiteral("同名文件夹已存在");
}
inline QString nameTaken()
{
    return QStringLiteral("同名文件已存在");
}
inline QString badFileName()
{
    return QStringLiteral("文件名无效");
}
inline QString cannotWrite()
{
    return QStringLiteral("无法写入文件");
}
inline QString connectionReset()
{
    return QStringLiteral("连接被重置");
}
inline QString connectionRefused()
{
    return QStringLiteral("连接被拒绝");
}
inline QString hostNotFound()
{
    return QStringLiteral("找不到主机");
}
inline QString timedOut()
{
    return QStringLiteral("超时");
}
inline QString cancelled()
{
    return QStringLiteral("下载取消");
}
inline QString decodingFailed()
{
    return QStringLiteral("内容解码失败");
}
inline QString incomplete()
{
    return QStringLiteral("响应不完整");
}
inline QString tooLarge()
{
    return QStringLiteral("文件过大");
}
inline QString noAnswer()
{
    return QStringLiteral("服务器没有响应");
}
inline QString badHeaders()
{
    return QStringLiteral("响应头无效");
}
inline QString unsupportedEncoding()
{
    return QStringLiteral("不支持的传输编码");
}
inline QString tooManyRedirects()
{
    return QStringLiteral("跳转次数过多");
}
inline QString insecureRedirect()
{
    return QStringLiteral("不安全的跳转");
}
inline QString badAddress()
{
    return QStringLiteral("网址无效");
}
inline QString secureConnectionFailed()
{
    return QStringLiteral("安全连接失败");
}
inline QString proxyFailed()
{
    return QStringLiteral("代理服务器错误");
}
inline QString networkError()
{
    return QStringLiteral("网络错误");
}
inline QString emptyBody()
{
    return QStringLiteral("内容为空");
}
// "HTTP 404 Not Found": the status and the server's own words for it.
QString httpStatus(int status, const QByteArray &phrase = {});
// The cause of a failed file operation from its errno: a full disk (also a quota or the size
// limit of the file system), missing rights, a missing folder, anything else.
QString fileError(int errorNumber);
// Why a finished body could not be put in place at target: an entry in the way of the name
// (taken), or the file system's failure.
QString commitFailed(const QString &target, bool taken, int errorNumber);
} // namespace TransferReason

} // namespace papyrant
