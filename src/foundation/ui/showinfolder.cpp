// Showing a file selected in the file manager: the FileManager1 D-Bus service of the desktop on
// Linux, Explorer's /select on Windows.
#include "foundation/ui/showinfolder.h"

#include "foundation/fileutil.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {
// A file manager started on demand may take a moment; a desktop without one must not hold the
// program long. The window keeps handling events meanwhile.
constexpr int ReplyTimeoutMs = 5000;
} // namespace

bool ShowInFolder(const QString &path)
{
    return ShowInFolder(path, QDBusConnection::sessionBus());
}

bool ShowInFolder(const QString &path, const QDBusConnection &bus)
{
    const QString trimmed = path.trimmed();
    if (!FileExists(trimmed))
        return false;
    const QFileInfo info(trimmed);
#ifdef Q_OS_WIN
    Q_UNUSED(bus)
    return QProcess::startDetached(
        u"explorer.exe"_s, {u"/select,"_s + QDir::toNativeSeparators(info.absoluteFilePath())});
#else
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        u"org.freedesktop.FileManager1"_s, u"/org/freedesktop/FileManager1"_s,
        u"org.freedesktop.FileManager1"_s, u"ShowItems"_s);
    call << QStringList{QString::fromUtf8(QUrl::fromLocalFile(info.absoluteFilePath()).toEncoded())}
         << QString();
    const QDBusMessage reply = bus.call(call, QDBus::BlockWithGui, ReplyTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
#endif
}

} // namespace papyrant
