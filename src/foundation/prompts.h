#pragma once

#include <QString>
#include <optional>

namespace papyrant {

// Every message box, question, input box, file dialog and folder browser goes through this
// interface, so that logic never opens a dialog itself and tests can answer in its place.
// The caption of every dialog is the application title (see appTitle()).
class Prompts
{
public:
    enum class Icon { None, Information, Warning, Error, Question };

    virtual ~Prompts() = default;

    // A message box with one OK button.
    virtual void message(const QString &text, Icon icon = Icon::Information) = 0;
    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const QString &text, Icon icon = Icon::Question) = 0;
    // An input box; nullopt when cancelled. An empty answer confirmed with OK is "" (not nullopt).
    virtual std::optional<QString> input(const QString &prompt, const QString &initial = {},
                                         const QString &title = {}) = 0;
    // File dialogs; an empty result means cancelled. filter is Qt's "Text (*.txt)" form.
    virtual QString openFile(const QString &title, const QString &filter,
                             const QString &startFolder = {}) = 0;
    // The save dialog returns the final path: a name typed without an extension gets
    // defaultSuffix ("txt", no dot) first, and a path that is taken comes back only after the
    // user agreed to replace it, in the dialog's own question about that final name.
    virtual QString saveFile(const QString &title, const QString &filter,
                             const QString &suggestedPath = {},
                             const QString &defaultSuffix = {}) = 0;
    // The folder browser; an empty result means cancelled. Paths use "/".
    virtual QString browseFolder(const QString &title, const QString &startFolder = {}) = 0;
};

// The application title, used as every dialog's caption and the settings' application name.
QString appTitle();

} // namespace papyrant
