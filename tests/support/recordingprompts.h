#pragma once

#include "foundation/prompts.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <deque>

namespace papyrant::test {

// Answers prompts from a script and keeps what was shown. An unscripted question answers No,
// an unscripted input box or file dialog is cancelled.
//
// With modalMs set, every prompt waits in a nested event loop that long before it answers, as a
// real dialog does while the user reads it: timers, transfers and page events run meanwhile and
// may run the code that asked again. A prompt shown while another one waits answers at once (the
// user is quick with the second box), so that such a re-entry ends; openAtOnce then says how
// many were open together.
class RecordingPrompts : public Prompts
{
public:
    struct Shown
    {
        QString kind; // "message", "yesno", "input", "open", "save", "folder", "replace"
        QString text;
        Icon icon = Icon::None;
        QString defaultSuffix = {}; // save dialogs
    };

    QList<Shown> shown;
    std::deque<bool> yesNoAnswers; // also the save dialog's question about an existing file
    std::deque<std::optional<QString>> inputAnswers;
    std::deque<QString> fileAnswers;   // open and save dialogs
    std::deque<QString> folderAnswers; // folder browser
    int modalMs = -1;                  // the nested loop of every prompt; negative: none
    int openAtOnce = 0;                // the most prompts that were open together

    void message(const QString &text, Icon icon) override
    {
        shown.append({QStringLiteral("message"), text, icon});
        Modal modal(*this);
    }
    bool askYesNo(const QString &text, Icon icon) override
    {
        shown.append({QStringLiteral("yesno"), text, icon});
        Modal modal(*this);
        return take(yesNoAnswers, false);
    }
    std::optional<QString> input(const QString &prompt, const QString &, const QString &) override
    {
        shown.append({QStringLiteral("input"), prompt, Icon::None});
        Modal modal(*this);
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
        Modal modal(*this);
        return take(fileAnswers, QString());
    }
    // As the real dialog answers: the default suffix is added to a name that has none, and a
    // name that is taken is returned only when its question ("replace") was answered Yes;
    // otherwise the dialog is cancelled.
    QString saveFile(const QString &title, const QString &, const QString &,
                     const QString &defaultSuffix) override
    {
        shown.append({QStringLiteral("save"), title, Icon::None, defaultSuffix});
        Modal modal(*this);
        QString path = take(fileAnswers, QString());
        if (path.isEmpty())
            return path;
        if (!defaultSuffix.isEmpty() && QFileInfo(path).suffix().isEmpty())
            path += u'.' + defaultSuffix;
        if (QFileInfo(path).exists() || QFileInfo(path).isSymLink()) {
            shown.append({QStringLiteral("replace"), path, Icon::Warning});
            if (!take(yesNoAnswers, false))
                return QString();
        }
        return path;
    }
    QString browseFolder(const QString &title, const QString &) override
    {
        shown.append({QStringLiteral("folder"), title, Icon::None});
        Modal modal(*this);
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

    // The kinds of what was shown, in order.
    QStringList kinds() const
    {
        QStringList out;
        for (const Shown &s : shown)
            out << s.kind;
        return out;
    }

private:
    // The wait of one open prompt.
    struct Modal
    {
        RecordingPrompts &prompts;
        explicit Modal(RecordingPrompts &p) : prompts(p)
        {
            prompts.openAtOnce = std::max(prompts.openAtOnce, ++prompts.m_open);
            if (prompts.modalMs < 0 || prompts.m_open > 1)
                return;
            QEventLoop loop;
            QTimer::singleShot(prompts.modalMs, &loop, &QEventLoop::quit);
            loop.exec();
        }
        ~Modal() { --prompts.m_open; }
    };

    int m_open = 0;

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
