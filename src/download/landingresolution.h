#pragma once

#include "foundation/fileentry.h"
#include "transfer/transferend.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>

namespace papyrant {

class DownloadQueue;
class SaveNames;
struct LandingPage;
struct QueueRow;

// Why a saved answer is not the full text, as the row's "原因" says it.
namespace PageReason {
inline QString noPdfLink()
{
    return QStringLiteral("网页中未找到全文PDF链接");
}
inline QString loginPage()
{
    return QStringLiteral("网页要求登录");
}
inline QString challengePage()
{
    return QStringLiteral("网站限流或要求人机验证");
}
inline QString errorPage()
{
    return QStringLiteral("服务器返回了错误页面");
}
inline QString truncatedPdf()
{
    return QStringLiteral("PDF不完整");
}
} // namespace PageReason

// A PDF ends with "%%EOF" in its last kilobyte (a trailing newline or some padding after it is
// common); one cut short by a dropped connection that still had a length does not.
bool PdfLooksWhole(const QString &path);

// A saved page that is no way to the full text, and why: a login, a rate-limit or CAPTCHA page,
// an error page served as a success, or a page without a full-text link. Empty for a page that
// names full-text links.
QString PageWithoutFullText(const LandingPage &page);

// Whether "自动重新下载" puts the ended row back under its rule (0 出错项, 1 文件类型为HTM和HTML项,
// 2 both): a retry mends errors, truncated files and rate-limit pages, not a landing page
// without a full-text link, and not a login page unless a login runs (loginAvailable).
bool AutoRedownloadPicks(const QueueRow &row, int rule, bool loginAvailable);
// "自动重新下载": every row AutoRedownloadPicks; how many went back.
int 自动重新下载(DownloadQueue &queue, int rule, bool loginAvailable);

// The way from a row's landing page to its full text, one row at a time: which addresses are
// left to try, and the landing page the row goes back to when none answers a PDF.
class LandingResolver
{
public:
    // What follows the end of a row's transfer.
    struct Step
    {
        bool fetchAgain = false; // the row's link was replaced: fetch it now, in the same slot
        QString reason;          // otherwise, the reason the row ends with (may be empty)
        bool failed = false;     // the row ends as failed (reason set) rather than finished
    };

    // Called once the transfer of the row at position has ended and, when delivered, its file
    // has its true type. A web page is read for its full-text links; the first becomes the
    // row's link (the page its Referer) and the row is to be fetched again. An answer to such a
    // link that is a page again is read once more (at most two hops) and then removed; when no
    // link is left the row is the landing page again, with the reason. A PDF ends the way: the
    // landing page file, if this program wrote it, goes.
    Step afterEnd(DownloadQueue &queue, SaveNames &names, int position, bool delivered,
                  const TransferEnd &end);

    // Forgets the ways of rows that are no longer in the queue.
    void forgetGone(const DownloadQueue &queue);

private:
    struct Candidate
    {
        QString url;
        int hop = 1;
    };
    struct Trail
    {
        // The row as its landing page left it.
        QString key;
        QString name;
        QString type;
        QString size;
        QString received;
        QString percent;
        QString referer;
        QString landingUrl;
        std::optional<FileIdentity> landingFile;
        QList<Candidate> pending;
        QSet<QString> seen;
        int hop = 0;       // of the link being fetched
        QString strongest; // the weightiest reason met on the way
        bool strongestFailed = false;
    };

    Step tryNext(DownloadQueue &queue, int position, Trail trail);
    Step giveUp(DownloadQueue &queue, int position, const Trail &trail);
    static void note(Trail &trail, const QString &reason, bool failed);

    QHash<QString, Trail> m_trails; // by the key the row has while its link is fetched
};

} // namespace papyrant
