#pragma once

#include "tools/savepathvalues.h"

#include <QString>
#include <QStringList>

namespace papyrant {

class Prompts;

// What the save-folder picker fSeleFileSavePath does, apart from its controls.
class SaveFolderPickerLogic
{
public:
    // What the window shows.
    struct Form
    {
        QStringList history;       // Combo1's list, from SaveList.dat
        QString folderText;        // Combo1's text
        bool nameFromLink = false; // Option1 "原文件名" (else Option2 "文章标题名称")
    };

    SaveFolderPickerLogic(SavePathValues &values, Prompts &prompts);

    // Load: the history, the stored folder (which becomes CurrentSaveFolder) and the naming mode.
    Form load();
    // Command1 "...": the folder browser, started at the folder typed; the text Combo1 gets.
    QString browse(const QString &folderText);
    // Command2 "确定": creates the folder, keeps it as the current one and in the history.
    // True when the window is to close; false (after a message) when the folder is unusable.
    bool ok(Form &form);
    // Command3 "取消".
    void cancel();

private:
    SavePathValues &m_values;
    Prompts &m_prompts;
};

} // namespace papyrant
