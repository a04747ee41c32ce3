#pragma once

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>

namespace papyrant {

class Prompts;

// The two ways of asking the desktop to open a document or address: its default handler,
// and the platform's opener program as a second try. Tests put recorders here so that nothing
// is launched; an empty member means the real one.
struct ShellOpeners
{
    std::function<bool(const QUrl &)> desktop;
    std::function<bool(const QString &)> fallback;
};
void setShellOpenersForTesting(ShellOpeners openers);
// Takes the place of the plain-text editor (OpenInTextEditor) in tests; empty: the real one.
void setTextEditorForTesting(std::function<bool(const QString &)> editor);

// The platform's opener program (xdg-open, rundll32 url.dll, open) started on a file path or URL.
bool StartPlatformOpener(const QString &target);

// True while the control (a member of a control set that may have been unloaded) still lives.
template<typename T> bool ControlExists(const QPointer<T> &control)
{
    return !control.isNull();
}
// True when `parent` holds a child object of that name.
bool ControlExists(const QObject *parent, const QString &name);

// Opens a file with the desktop's application for it; "文件不存在！" when there is no file.
void OpenDocument(const QString &path, Prompts &prompts);

// Opens a file in the plain-text editor: the platform's own (Notepad, TextEdit), elsewhere the
// application the desktop gives text files; the file's own handler when there is none.
bool OpenInTextEditor(const QString &path);
// The platform part of it; false when no text editor could be started.
bool StartPlatformTextEditor(const QString &path);

// Opens a folder in the desktop's file manager. False when the desktop refused it.
bool OpenFolder(const QString &folder);

// Opens an address in the web browser. There is no list of open browser windows to reuse here,
// so a new browser window and the default handler take the same road.
void OpenWebPage(const QString &url, bool browserWindow = false);

// Opens a text that is shown to the user and may hold anything (a status panel's): an http or
// https link in the web browser, an absolute path of a file that is there with its application.
// Anything else opens nothing, since the desktop would take it for a program, a share or a
// script to run. False when nothing was opened.
bool OpenLinkOrFile(const QString &text);

// The folder browser started near `start` (its parent folder, or the root when that does not
// exist). Returns the chosen folder, or `start` when cancelled, ending in "/"; an empty start
// that was cancelled stays empty.
QString BrowseForFolder(Prompts &prompts, const QString &start, const QString &prompt,
                        bool includeFiles = false);

// The suggestion mail to the author: a mailto: link with the subject and a form to fill in.
inline constexpr QStringView MakerContactAddress = u"suggest@papyrant.example";
QUrl MailSuggestionUrl(const QDate &date);
void MailSuggestion();

// The storage name of the embedded browser's profile; its disk cache lives under it.
inline constexpr QStringView BrowserStorageName = u"Papyrant";
// The folder where the embedded browser keeps its disk cache, ending in "/".
QString InternetCacheFolder();

// The wave file of notification sound 101, 102 or 103 in the program data folder, written from
// the program's resources when it is not there yet. Empty when it cannot be written.
QString NotificationSoundFile(int number);

} // namespace papyrant
