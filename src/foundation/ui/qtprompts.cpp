#include "foundation/ui/qtprompts.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace papyrant {

namespace {

QMessageBox::Icon toBoxIcon(Prompts::Icon icon)
{
    switch (icon) {
    case Prompts::Icon::Information: return QMessageBox::Information;
    case Prompts::Icon::Warning: return QMessageBox::Warning;
    case Prompts::Icon::Error: return QMessageBox::Critical;
    case Prompts::Icon::Question: return QMessageBox::Question;
    case Prompts::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void QtPrompts::message(const QString &text, Icon icon)
{
    QMessageBox box(toBoxIcon(icon), appTitle(), text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool QtPrompts::askYesNo(const QString &text, Icon icon)
{
    QMessageBox box(toBoxIcon(icon), appTitle(), text, QMessageBox::Yes | QMessageBox::No,
                    m_parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtPrompts::input(const QString &prompt, const QString &initial,
                                        const QString &title)
{
    bool ok = false;
    const QString text = QInputDialog::getText(m_parent, title.isEmpty() ? appTitle() : title,
                                               prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

QString QtPrompts::openFile(const QString &title, const QString &filter, const QString &startFolder)
{
    return QFileDialog::getOpenFileName(m_parent, title.isEmpty() ? appTitle() : title, startFolder,
                                        filter);
}

QString QtPrompts::saveFile(const QString &title, const QString &filter,
                            const QString &suggestedPath, const QString &defaultSuffix)
{
    if (defaultSuffix.isEmpty())
        return QFileDialog::getSaveFileName(m_parent, title.isEmpty() ? appTitle() : title,
                                            suggestedPath, filter);
    // Qt's own dialog adds the suffix before it asks about an existing file, so the question is
    // about the name that will be written; a desktop's dialog may ask about the typed one.
    QFileDialog dialog(m_parent, title.isEmpty() ? appTitle() : title, suggestedPath, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString QtPrompts::browseFolder(const QString &title, const QString &startFolder)
{
    QString folder = QFileDialog::getExistingDirectory(
        m_parent, title.isEmpty() ? appTitle() : title, startFolder);
    if (!folder.isEmpty() && !folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

} // namespace papyrant
