#include "download/requeue.h"

#include "download/downloadqueue.h"
#include "foundation/fileentry.h"
#include "foundation/prompts.h"

#include <QLocale>
#include <cmath>
#include <optional>

namespace papyrant {

void DeleteRowFile(DownloadQueue &queue, int position)
{
    if (!queue.isValidPosition(position) || !queue.row(position).Committed)
        return;
    RemoveIfStillSame(*queue.row(position).Committed);
    queue.update(position, [](QueueRow &r) { r.Committed.reset(); });
}

void RequeueRow(DownloadQueue &queue, int position, bool xmlIsPage)
{
    if (!queue.isValidPosition(position))
        return;
    DeleteRowFile(queue, position);
    queue.update(position, [&](QueueRow &r) {
        r.State = QueueRow::Waiting;
        if (isWebPageType(r.Type, xmlIsPage))
            r.Type = QueueWords::typePlaceholder();
        r.Size.clear();
        r.Received.clear();
        r.Percent.clear();
    });
    queue.setUrls(position, 对调url(queue.row(position).Urls));
}

namespace {

bool endedRow(const QueueRow &r)
{
    return r.State == QueueRow::Finished || r.State == QueueRow::Failed;
}

// A number as the size rule reads it; the comparison is made in single precision.
std::optional<float> number(const QString &text)
{
    const std::optional<double> value = queueNumber(text);
    return value ? std::optional<float>(float(*value)) : std::nullopt;
}

template<typename Pick> int requeueWhere(DownloadQueue &queue, bool xmlIsPage, Pick pick)
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
    return requeueWhere(
        queue, true, [](const QueueRow &r) { return endedRow(r) && isWebPageType(r.Type, true); });
}

int 重新下载选中项(DownloadQueue &queue, const QList<int> &selectedPositions)
{
    int count = 0;
    queue.beginBatch();
    for (int p : selectedPositions) {
        if (queue.isValidPosition(p) && endedRow(queue.row(p))) {
            RequeueRow(queue, p);
            ++count;
        }
    }
    queue.endBatch();
    return count;
}

int 重新下载出错项和网页项(DownloadQueue &queue)
{
    return requeueWhere(queue, false, [](const QueueRow &r) {
        return r.State == QueueRow::Failed || (endedRow(r) && isWebPageType(r.Type, false));
    });
}

int 重新下载文件大小小于指定数字的项(DownloadQueue &queue, Prompts &prompts)
{
    const std::optional<QString> answer = prompts.input(QStringLiteral("请输入数字："));
    if (!answer)
        return 0;
    const std::optional<float> limit = number(*answer);
    if (!limit)
        return 0;
    return requeueWhere(queue, false, [&](const QueueRow &r) {
        const std::optional<float> size = number(r.Size);
        const std::optional<float> received = number(r.Received);
        return size && received && *received == *size && *limit > *size && endedRow(r);
    });
}

} // namespace papyrant
