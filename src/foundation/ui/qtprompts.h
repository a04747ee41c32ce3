#pragma once

#include "foundation/prompts.h"

#include <QPointer>
#include <QWidget>

namespace papyrant {

// The real dialogs. The parent decides which window a dialog is modal to; it may be null.
class QtPrompts : public Prompts
{
public:
    explicit QtPrompts(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    void message(const QString &text, Icon icon = Icon::Information) override;
    bool askYesNo(const QString &text, Icon icon = Icon::Question) override;
    std::optional<QString> input(const QString &prompt, const QString &initial = {},
                                 const QString &title = {}) override;
    QString openFile(const QString &title, const QString &filter,
                     const QString &startFolder = {}) override;
    QString saveFile(const QString &title, const QString &filter, const QString &suggestedPath = {},
                     const QString &defaultSuffix = {}) override;
    QString browseFolder(const QString &title, const QString &startFolder = {}) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace papyrant
