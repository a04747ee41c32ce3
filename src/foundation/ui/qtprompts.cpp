#include "foundation/ui/qtprompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QIdentityProxyModel>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpacerItem>

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

// What a window's title needs of its width: the text in the title bar's (bold) font, and the
// icon and buttons of the window manager beside it, which Qt's own reckoning leaves out.
int titleWidth(const QString &title)
{
    QFont font = QApplication::font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + 160;
}

void fitTitle(QMessageBox &box)
{
    // A message box sizes itself to its layout; a spacer across its grid keeps it wide enough.
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(titleWidth(box.windowTitle()), 0, QSizePolicy::Minimum,
                                      QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

// The dialog's dates and sizes in the program's language (the default locale), not the
// system's, which the file system model uses.
class ProgramLocaleFiles : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files || !index.isValid())
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        if (index.column() == 3)
            return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
        if (index.column() == 1 && !files->isDir(source))
            return QLocale().formattedDataSize(files->size(source));
        return QIdentityProxyModel::data(index, role);
    }
};

// Qt's own file dialog rather than the desktop's: its texts and dates then follow the program's
// language whatever the system's is.
void prepareFileDialog(QFileDialog &dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new ProgramLocaleFiles(&dialog));
}

QString chosenFile(QFileDialog &dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

void QtPrompts::message(const QString &text, Icon icon)
{
    QMessageBox box(toBoxIcon(icon), appTitle(), text, QMessageBox::Ok, m_parent);
    fitTitle(box);
    box.exec();
}

bool QtPrompts::askYesNo(const QString &text, Icon icon)
{
    QMessageBox box(toBoxIcon(icon), appTitle(), text, QMessageBox::Yes | QMessageBox::No,
                    m_parent);
    box.setDefaultButton(QMessageBox::Yes);
    fitTitle(box);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtPrompts::input(const QString &prompt, const QString &initial,
                                        const QString &title)
{
    QInputDialog dialog(m_parent);
    dialog.setWindowTitle(title.isEmpty() ? appTitle() : title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(initial);
    // Room for a long web address, and for the whole title. The dialog takes its size from its
    // layout, so the box is what is widened.
    if (auto *box = dialog.findChild<QLineEdit *>())
        box->setMinimumWidth(qMax(titleWidth(dialog.windowTitle()) - 24,
                                  box->fontMetrics().averageCharWidth() * 72));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

QString QtPrompts::openFile(const QString &title, const QString &filter, const QString &startFolder)
{
    QFileDialog dialog(m_parent, title.isEmpty() ? appTitle() : title, startFolder, filter);
    prepareFileDialog(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return chosenFile(dialog);
}

QString QtPrompts::saveFile(const QString &title, const QString &filter,
                            const QString &suggestedPath, const QString &defaultSuffix)
{
    // Qt's own dialog adds the suffix before it asks about an existing file, so the question is
    // about the name that will be written.
    QFileDialog dialog(m_parent, title.isEmpty() ? appTitle() : title, suggestedPath, filter);
    prepareFileDialog(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    return chosenFile(dialog);
}

QString QtPrompts::browseFolder(const QString &title, const QString &startFolder)
{
    QFileDialog dialog(m_parent, title.isEmpty() ? appTitle() : title, startFolder);
    prepareFileDialog(dialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    QString folder = chosenFile(dialog);
    if (!folder.isEmpty() && !folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

} // namespace papyrant
