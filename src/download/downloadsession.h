#pragma once

#include "download/hostcourtesy.h"
#include "download/landingresolution.h"
#include "download/savenames.h"
#include "transfer/transferend.h"

#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <array>
#include <functional>

namespace papyrant {

// The end of every row's transfer, with its reason; off by default
// (QT_LOGGING_RULES="papyrant.download=true").
Q_DECLARE_LOGGING_CATEGORY(lcDownload)

class DownloadQueue;

// The same-name rule of the download window ("跳过", "覆盖", "重命名").
enum class SameNameRule { Skip, Overwrite, Rename };

// The user's choices on the download window. The window keeps this current; the scheduler and
// the transfer methods read it and never touch a widget.
struct DownloadOptions
{
    int intervalSeconds = 0; // Combo2
    int threadCount = 3;     // Combo1 (method two), 1..6
    int perHostLimit = 2;    // 每个网站同时下载数: transfers at once to one host, 1..6
    SameNameRule sameName = SameNameRule::Rename;
    bool autoStart = false;      // Check4
    bool autoRedownload = false; // Check3
    int redownloadRule = 0;      // Combo4: 0 出错项, 1 文件类型为HTM和HTML项, 2 both
    bool stopAfterFive = false;  // Check5
    bool sound = false;          // Check6
    bool autoLocate = false;     // menu自动定位到下载项
    bool autoLogin = false;      // 自动登录: run the login automation after a web page
    double maxFileSizeMB = 10;   // MaxFileSizeMB
};

// Time limits of the transfers, in milliseconds. Tests shorten them.
struct TransferLimits
{
    int headerWaitMs = 30000;       // method one: waiting for the response headers
    int noProgressMs = 120000;      // method one: no data during the body
    int downloaderStallMs = 300000; // method two: the Downloader's watchdog
    int watchdogTickMs = 1000;      // method two: the watchdog's tick
};

// The values the download window shares between its scheduler and its two transfer methods.
class DownloadSession : public QObject
{
    Q_OBJECT
public:
    explicit DownloadSession(DownloadQueue &queue, QObject *parent = nullptr);

    DownloadQueue &queue() const { return m_queue; }

    DownloadOptions options;
    TransferLimits limits;
    int method = 2; // 1: one transfer at a time; 2: up to six at once
    // Whether a transfer runs is asked of the transfers (DownloadScheduler::Transferring).
    double LastEndTime = 0;         // now() when the last transfer ended
    std::array<int, 12> SlotRows{}; // 1-based queue position per slot; slot 0 unused
    // The names on disk and those of the running transfers, for both methods and the
    // same-name rules.
    SaveNames names;
    // The hosts that asked for a rest (429, 503): no download to them starts meanwhile.
    HostCourtesy courtesy;

    // Starts the row at position again at once, in the slot (1..6) of the method (1 or 2) its
    // last transfer ran in, after its link was replaced by the full text's address; false when
    // it cannot start there now (the row then waits for the next free slot). Set by the
    // scheduler, which owns the transfers.
    std::function<bool(int method, int slot, int position)> fetchAgain;

    // Seconds on a steady clock of sub-microsecond resolution: only distances matter, and a
    // steady clock knows no midnight and no clock changes. With interval "0" the next file may
    // start as soon as any time has passed, not a whole clock step later. Replaceable so that
    // tests control time.
    std::function<double()> clock;
    double now() const;
    void markTransferEnded() { LastEndTime = now(); }

    // The one start of a transfer, for both methods: the row goes to state 2 with its progress
    // columns and the reason of its last end cleared, is bound to its slot and, with
    // menu自动定位到下载项, announced once (rowStarted).
    void beginRow(int slot, int position);
    // The one end of a transfer, for both methods, once the method (1 or 2) has written its
    // outcome into the row with this key: the row keeps the end's reason and the end is logged,
    // a delivered file gets its true type (and the base link), the status bar shows the end, a
    // web page (htm, html, xml) and a failure are sounded, a web page asks for the login
    // automation (after method two: htm and html only), the end time is noted, and rowEnded
    // follows. A row that is no longer in the queue only notes the end time.
    // Before that, a PDF without its end is kept as "<name>.part" and fails ("PDF不完整"), and
    // a web page is read for the full text's address: when it names one, the row's link
    // becomes that address and the row is fetched again at once (fetchAgain) instead of
    // ending; a page that is no way to it ends with the reason (LandingResolver).
    void endRow(const QString &key, bool delivered, int method, const TransferEnd &end = {});
    // The rows that wait for their host's rest count down in "百分比", and status panel 3 names
    // the resting hosts (cleared once when the last rest is over). Every second while the window
    // is loaded, and at once when a host is given a rest.
    void showRests();
    // A transfer has put its file at path for the row at position: the row remembers it as its
    // own, and the folder's listing has the name.
    void fileCommitted(int position, const QString &path);

    // Plays clip 101 (web page), 102 (scheduler stopped) or 103 (failed) when sound is on.
    void notify(int clip)
    {
        if (options.sound)
            emit soundRequested(clip);
    }

signals:
    void soundRequested(int clip);
    // Text for panel 1..4 of the window's status bar ("正在下载:...", transfer states, counts).
    void statusText(int panel, const QString &text);
    // A started row to scroll into view (menu自动定位到下载项).
    void rowStarted(int position);
    // A transfer has ended (position 0 when its row is gone); the scheduler refills its slot.
    void rowEnded(int position);
    // The saved file is a web page and the options ask for the login automation.
    void loginAutomationRequested(int position);

private:
    int slotOf(int method, int position) const;
    void keepAsPart(int position);

    DownloadQueue &m_queue;
    LandingResolver m_landing;
    // The row's host refused the transfer with 429 or 503: the row waits for the host's rest.
    void restRow(int position, const QString &key, const TransferEnd &end);

    QHash<QString, QString> m_restingRows; // key -> host, of rows that wait for a rest
    bool m_restShown = false;
};

} // namespace papyrant
