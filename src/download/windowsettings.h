#pragma once

#include "download/downloadsession.h"
#include "transfer/sharednetwork.h"

#include <QString>

namespace papyrant {

// What the download window reads from the settings store when it loads.
struct DownloadWindowSettings
{
    int method = 2;       // "下载方式": 1, or 2 for anything else
    int threadIndex = -1; // "线程": position in Combo1 ("1".."6"); -1 leaves "1" (method one,
                          // or a stored position outside the list)
    SameNameRule sameName = SameNameRule::Rename; // "重复文件名设置"
    ProxySettings proxy; // "代理服务器有效", "代理服务器网址", "代理服务器端口"
    double maxFileSizeMB = 10;      // "文件最大值"
    bool reasonColumnShown = false; // "显示原因列"
    int perHostLimit = 2;           // "每个网站同时下载数"
};

DownloadWindowSettings ReadDownloadWindowSettings();

// "每个网站同时下载数" as stored; a value outside 1..6 reads as the default 2.
int ReadPerHostLimit();
void SavePerHostLimit(int limit);

// The option captions of the same-name rule, and the rule a stored caption selects ("跳过" and
// "覆盖" after trimming; anything else is "重命名").
QString sameNameCaption(SameNameRule rule);
SameNameRule sameNameFromCaption(const QString &caption);

// The window's unload: the rule and the method are saved before the close question, the thread
// position after it.
void SaveSameNameAndMethod(SameNameRule rule, int method);
void SaveThreadIndex(int index);
// Kept as soon as the user shows or hides the column.
void SaveReasonColumnShown(bool shown);

} // namespace papyrant
