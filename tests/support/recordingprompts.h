#pragma once

#include "foundation/prompts.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>

namespace papyrant::test {

// Answers prompts from a script and keeps what was shown. An unscripted question answers No,
// an unscripted input box or file dialog is cancelled.
class RecordingPrompts : public Prompts
{
public:
    struct Shown
    {
        QString kind; // "message", "yesno", "input", "open", "save", "folder"
        QString text;
        Icon icon = Icon::None;
    };

    QList<Shown> shown;
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<QString>> inputAnswers;
    std::deque<QString> fileAnswers;   // open and save dialogs
    std::deque<QString> folderAnswers; // folder browser

    void message(const QString &text, Icon icon) override
    {
        shown.append({QStringLiteral("message"), text, icon});
    }
    bool askYesNo(const QString &text, Icon icon) override
    {
        shown.append({QStringLiteral("yesno"), text, icon});
        return take(yesNoAnswers, false);
    }
    std::optional<QString> input(const QString &prompt, const QString &, const QString &) override
    {
        shown.append({QStringLiteral("input"), prompt, Icon::None});
        // Written out rather than through take(): GCC's -Wmaybe-uninitialized misreads a
        // moved-from std::optional<QString> there.
        if (inputAnswers.empty())
            return std::nullopt;
        const bool answered = inputAnswers.front().has_value();
        const QString text = inputAnswers.front().value_or(QString());
        inputAnswers.pop_front();
        return answered ? std::optional<QString>(text) : std::nullopt;
    }
    QString openFile(const QString &title, const QString &, const QString &) override
    {
        shown.append({QStringLiteral("open"), title, Icon::None});
        return take(fileAnswers, QString());
    }
    QString saveFile(const QString &title, const QString &, const QString &) override
    {
        shown.append({QStringLiteral("save"), title, Icon::None});
        return take(fileAnswers, QString());
    }
    QString browseFolder(const QString &title, const QString &) override
    {
        shown.append({QStringLiteral("folder"), title, Icon::None});
        return take(folderAnswers, QString());
    }

    QStringList messages() const
    {
        QStringList out;
        for (const Shown &s : shown)
            out << s.text;
        return out;
    }
    QString last() const { return shown.isEmpty() ? QString() : shown.last().text; }

private:
    template<typename T> static T take(std::deque<T> &queue, const T &fallback)
    {
        if (queue.empty())
            return fallback;
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }
};

} // namespace papyrant::test
