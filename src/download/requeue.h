#pragma once

#include <QList>

namespace papyrant {

class DownloadQueue;
class Prompts;
struct QueueRow;

// Deletes the file this program committed for the row, if it is still that very file: a file
// the row merely names (the user's old copy that a failed "覆盖" left, a file replaced since)
// stays. The row no longer counts a file as its own afterwards.
void DeleteRowFile(DownloadQueue &queue, int position);

// Puts the row at position back to Waiting for another attempt: its own file goes, a web-page type
// becomes the placeholder "xxx" (with xmlIsPage, "xml" too), the progress columns are cleared
// and the key moves on to the next alternative URL. A rotated key that another row already
// holds is left as it was.
void RequeueRow(DownloadQueue &queue, int position, bool xmlIsPage = false);

// menu重新下载出错项: every Failed row. Returns how many rows went back.
int 重新下载出错项(DownloadQueue &queue);
// menu重新下载文件类型为HTM和HTML项: every Finished or Failed row of type htm, html or xml.
int 重新下载文件类型为HTM和HTML项(DownloadQueue &queue);

// menu重新下载选中项: the Finished or Failed rows among the selected positions.
int 重新下载选中项(DownloadQueue &queue, const QList<int> &selectedPositions);
// menu重新下载出错项和网页项: every Failed row, and every Finished or Failed htm/html row.
int 重新下载出错项和网页项(DownloadQueue &queue);
// menu重新下载文件大小小于指定数字的项: asks for a number; the Finished or Failed rows received
// whole and smaller than it go back. A non-numeric answer ends the command silently.
int 重新下载文件大小小于指定数字的项(DownloadQueue &queue, Prompts &prompts);

} // namespace papyrant
