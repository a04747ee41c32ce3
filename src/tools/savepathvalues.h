#pragma once

#include <QString>

namespace papyrant {

// The program-wide choice of where downloads go and how they are named. One instance lives for
// the run; the save-folder picker fills it and the search side reads it when it extracts and
// hands rows over.
struct SavePathValues
{
    // The current download folder, ending in "/"; empty until the picker has loaded once.
    QString CurrentSaveFolder;
    // Name downloads after the last segment of the link ("原文件名") rather than the title.
    bool NameFromLink = false;
    // Set by the picker's cancel button; callers clear it before they show the picker.
    bool PickerCancelled = false;
    // The setting "提取网页信息时提示下载保存路径": 1 shows the picker before an extraction,
    // anything else before an analysis. Loaded with the search window, changed by the options.
    int PromptSavePathOnExtract = 1;
};

// Shows the save-folder picker modally. The picker leaves its choice in the values.
class SaveFolderPicker
{
public:
    virtual ~SaveFolderPicker() = default;
    virtual void showModal(SavePathValues &values) = 0;
};

} // namespace papyrant
