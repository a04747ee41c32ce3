#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace papyrant {

// The freedesktop.org rules for "the application the desktop uses for a type of file", so that
// a text file can be opened in the text editor even when its name says it is a web page.

// The desktop entry id (e.g. "org.gnome.TextEditor.desktop") chosen for a MIME type: the
// [Default Applications] of the mimeapps.list files (desktop-specific ones first) in the config
// folders and then in the data folders' "applications", and last the mimeinfo.cache lists. Only
// ids whose entry file exists count. Empty when there is none.
QString DefaultDesktopEntry(const QString &mimeType, const QStringList &configDirs,
                            const QStringList &dataDirs, const QStringList &desktopNames);
// The same over the user's folders and $XDG_CURRENT_DESKTOP.
QString DefaultDesktopEntry(const QString &mimeType);

// The path of a desktop entry id in the data folders ("kde4-kate.desktop" may live in
// "applications/kde4/kate.desktop"); empty when there is none.
QString DesktopEntryPath(const QString &id, const QStringList &dataDirs);

// The command line of an entry's Exec value for one file: quoting and escapes undone, %f %F
// give the path, %u %U its file URL, %% a percent sign; other field codes go. Without a file
// field code the path is added at the end. Empty when the value cannot be read.
QStringList DesktopExecCommand(const QString &exec, const QString &path);

// The key/value lines of one [group] of a desktop-entry style file.
QHash<QString, QString> ReadDesktopGroup(const QString &file, const QString &group);

} // namespace papyrant
