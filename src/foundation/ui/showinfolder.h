#pragma once

#include <QString>

class QDBusConnection;

namespace papyrant {

// Opens the file manager on the file's folder with the file selected. False when there is no
// such file or the file manager could not be asked.
bool ShowInFolder(const QString &path);
// The same over a given bus (the desktop session's by default).
bool ShowInFolder(const QString &path, const QDBusConnection &bus);

} // namespace papyrant
