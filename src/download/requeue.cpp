#include "download/requeue.h"

#include "download/downloadqueue.h"
#include "foundation/fileutil.h"

#include <QFile>

namespace papyrant {

void DeleteRowFile(const QueueRow &row)
{
    const QString path = RowFilePath(row);
    if (FileExists(path))
        QFile::remove(path);
}

void RequeueRow(DownloadQueue &queue, int position, bool xmlIsPage)
{
    if (!queue.isValidPosition(position))
        return;
    DeleteRowFile(queue.row(position));
    queue.update(position, [&](QueueRow &r) {
        r.State = QueueRow::Waiting;
        const QString type = r.Type.toLower();
        if (type == u"htm" || type == u"html" || (xmlIsPage && type == u"xml"))
            r.Type = QueueWords::typePlaceholder();
        r.Size.clear();
        r.Received.clear();
        r.Percent.clear();
    });
    DeleteRowFile(queue.row(position));
    queue.setUrls(position, 对调url(queue.row(position).Urls));
}

namespace {

template<typename Pick>
int requeueWhere(DownloadQueue &queue, bool xmlIsPage, Pick pick)
{
    int count = 0;
    queue.beginBatch();
    const int rows = queue.count();
    for (int p = 1; p <= rows && p <= queue.count(); ++p) {
        if (pick(queue.row(p))) {
            RequeueRow(queue, p, xmlIsPage);
            ++count;
        }
    }
    queue.endBatch();
    return count;
}

} // namespace

int 重新下载出错项(DownloadQueue &queue)
{
    return requeueWhere(queue, false,
                        [](const QueueRow &r) { return r.State == QueueRow::Failed; });
}

int 重新下载文件类型为HTM和HTML项(DownloadQueue &queue)
{
    return requeueWhere(queue, true, [](const QueueRow &r) {
        const QString type = r.Type.toLower();
        return (r.State == QueueRow::Finished || r.State == QueueRow::Failed)
               && (type == u"htm" || type == u"html" || type == u"xml");
    });
}

} // namespace papyrant
