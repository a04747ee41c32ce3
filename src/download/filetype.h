#pragma once

#include "download/downloadsession.h"

#include <QByteArrayView>
#include <QString>

namespace papyrant {

class DownloadQueue;
class Prompts;
struct QueueRow;

// The true type of a file from its first bytes: "pdf", "caj", "kdh", "nh", "tif", "rtf", "exe",
// "rar", "zip", "docx", "xlsx", "pptx", "swf", "rm", "wma", "mp3", "png", "gif", "jpg", "doc",
// "xls", "ppt", "htm", "caa", or "" when unknown or the file does not exist.
QString 打开文件判断文件类型(const QString &path);

// The signature tests alone, over a sniffing buffer (the first bytes of the file and one 0 byte
// after them, at most 10241 bytes). Empty when a test needs a byte beyond the buffer.
QString signatureType(QByteArrayView buffer);

// Gives the row's file the extension its content shows, under a free name (a numbered one when
// the name is taken, never replacing anything); true when renamed. The row's Type and Name
// follow the new file. Under "跳过", when a file stands under the new name already, the copy
// this program just wrote for the row is dropped and the row ends "已存在，跳过" (a file the
// program did not write is left as it is, and nothing is renamed). names: the names on disk
// and of running downloads; without it the folder as it is now.
bool CorrectRowFileType(DownloadQueue &queue, int position,
                        SameNameRule rule = SameNameRule::Rename, SaveNames *names = nullptr);

// Puts <Base href='url'> before </HEAD> of a saved page whose row asks for it ("B" is "Y").
bool AddBaseLink(const QueueRow &row);

// Tools menu: "打开文件判断类型".
void 打开文件判断类型(Prompts &prompts);
// Tools menu: "检查并纠正磁盘文件类型". downloadsActive: the scheduler is on, a method-two
// transfer is loaded or method one is executing. Returns the number of renamed files.
int 检查并纠正磁盘文件类型(DownloadQueue &queue, Prompts &prompts, bool downloadsActive,
                           SameNameRule rule = SameNameRule::Rename, SaveNames *names = nullptr);
// Tools menu: "检查文件是否存在".
void 检查文件是否存在(DownloadQueue &queue);

} // namespace papyrant
