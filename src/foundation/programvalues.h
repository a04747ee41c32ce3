#pragma once

namespace papyrant {

// MaxFileSizeMB: the largest file to download, in megabytes. Read from the settings by the
// cover's load (LoadMaxFileSizeMB) and again by the download window's; the options dialog
// changes it. 10 until it has been read.
double MaxFileSizeMB();
void setMaxFileSizeMB(double megabytes);
// Reads "设置"/"文件最大值" into MaxFileSizeMB and returns it.
double LoadMaxFileSizeMB();

} // namespace papyrant
