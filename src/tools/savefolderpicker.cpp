#include "tools/savefolderpicker.h"

#include "foundation/filenames.h"
#include "foundation/folderhistory.h"
#include "foundation/programfolder.h"
#include "foundation/prompts.h"
#include "foundation/settings.h"
#include "foundation/shell.h"

#include <QDir>

namespace papyrant {

namespace {

QString withSlash(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

SaveFolderPickerLogic::SaveFolderPickerLogic(SavePathValues &values, Prompts &prompts)
    : m_values(values), m_prompts(prompts)
{}

SaveFolderPickerLogic::Form SaveFolderPickerLogic::load()
{
    Form form;
    form.nameFromLink = m_values.NameFromLink;
    form.history = ReadFolderHistory(FolderHistoryPath()).value_or(QStringList());
    for (QString &folder : form.history)
        folder = QDir::toNativeSeparators(folder);
    m_values.CurrentSaveFolder = QDir::fromNativeSeparators(GetSetting(setting::SaveFolder));
    form.folderText = QDir::toNativeSeparators(m_values.CurrentSaveFolder);
    return form;
}

QString SaveFolderPickerLogic::browse(const QString &folderText)
{
    return QDir::toNativeSeparators(
        BrowseForFolder(m_prompts, folderText, QStringLiteral("请选择要浏览的文件夹:")));
}

bool SaveFolderPickerLogic::ok(Form &form)
{
    m_values.NameFromLink = form.nameFromLink;
    const QString typed = QDir::fromNativeSeparators(form.folderText.trimmed());
    const QString created =
        typed.isEmpty() ? QString() : CreateFolderPath(withSlash(typed), m_prompts);
    form.folderText = QDir::toNativeSeparators(created);
    if (created.isEmpty()) {
        m_prompts.message(QStringLiteral("文件夹设置错误！"), Prompts::Icon::Error);
        return false;
    }
    m_values.CurrentSaveFolder = withSlash(created);
    SaveSetting(setting::SaveFolder, m_values.CurrentSaveFolder);
    m_values.PickerCancelled = false;
    // Appended as it is: reading the file drops the duplicates.
    form.history.append(form.folderText.trimmed());
    WriteFolderHistory(FolderHistoryPath(), form.history);
    return true;
}

void SaveFolderPickerLogic::cancel()
{
    m_values.PickerCancelled = true;
}

} // namespace papyrant
