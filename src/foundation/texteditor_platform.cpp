// The platform's plain-text editor for "用记事本打开文件".
#include "foundation/desktopentry.h"
#include "foundation/shell.h"

#include <QProcess>
#include <QStandardPaths>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

bool StartPlatformTextEditor(const QString &path)
{
#if defined(Q_OS_WIN)
    return QProcess::startDetached(u"notepad.exe"_s, {path});
#elif defined(Q_OS_MACOS)
    return QProcess::startDetached(u"open"_s, {u"-e"_s, path});
#else
    const QString entry =
        DesktopEntryPath(DefaultDesktopEntry(u"text/plain"_s),
                         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation));
    if (entry.isEmpty())
        return false;
    const QHash<QString, QString> desktop = ReadDesktopGroup(entry, u"Desktop Entry"_s);
    // An editor that needs a terminal would start unseen.
    if (desktop.value(u"Terminal"_s).compare(u"true"_s, Qt::CaseInsensitive) == 0)
        return false;
    const QStringList command = DesktopExecCommand(desktop.value(u"Exec"_s), path);
    if (command.isEmpty())
        return false;
    return QProcess::startDetached(command.first(), command.mid(1));
#endif
}

} // namespace papyrant
