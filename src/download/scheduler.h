#pragma once

#include "download/downloadsession.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <array>

namespace papyrant {

class MethodOneTransfer;
class MethodTwoTransfers;
class Prompts;

struct SavePath
{
    QString name; // the name without extension under which the file is saved
    QString path; // folder + name + "." + type
};

// The free name for a download under the same-name rule: under "覆盖", or when nothing is in
// the way, the name itself; otherwise the first free numbered name name[001], name[002]...
// (a number already in brackets at the end of the name is the start value). In the way is any
// entry but a leftover of an interrupted run (SaveNames::isTaken), also one whose name differs
// only in letter case, and the name of a running download.
SavePath 重命名保存路径(QString folder, QString name, const QString &type, SameNameRule rule,
                        SaveNames &names);
// The same with the folder as it is on disk now.
SavePath 重命名保存路径(QString folder, QString name, const QString &type, SameNameRule rule);

// The download window's two timers and the decisions around them: which waiting row starts
// next, through which method, under which name and when. The window forwards its commands
// here and shows the state through the signals; it keeps session.options current.
class DownloadScheduler : public QObject
{
    Q_OBJECT
public:
    DownloadScheduler(DownloadSession &session, MethodOneTransfer &methodOne,
                      MethodTwoTransfers &methodTwo, Prompts &prompts, QObject *parent = nullptr);
    ~DownloadScheduler() override;

    QTimer &Timer_Down() { return m_timerDown; } // the scheduler tick, on while downloading
    QTimer &Timer1() { return m_timer1; }        // the housekeeping tick, on while loaded

    bool isOn() const { return m_timerDown.isActive(); }
    // The state the window shows: Shape1 visible, menu下载全部 enabled.
    bool indicatorVisible() const { return m_indicatorVisible; }
    bool startCommandEnabled() const { return m_startEnabled; }

    // Start command (Command4, menu下载全部): switches the scheduler tick on. Waiting rows whose
    // folder cannot be made fail first, named in one message.
    void startDownloads();
    // Stop command (Command31, menu停止下载, closing the window): ends every transfer.
    void stopDownloads();
    // The end of the window's load: the last end time is now and the housekeeping tick runs.
    void startHousekeeping();

    // The ticks, public so that tests can run them one by one. Besides its one-second tick, the
    // scheduler starts rows as soon as the interval rule allows after an end or a switch-on.
    void tickDownload();
    void tickHousekeeping();

    // False (and the row marked "已存在，跳过") when the row's file is there under "跳过" (a
    // leftover of an interrupted run is no file); false (and the row failed as "无法替换") when
    // under "跳过" or "覆盖" something that is no file stands at the name, a link included.
    bool 确定是需要下载(int position);

    // A transfer runs: method one's, or a Downloader of method two. Worked out from the transfer
    // objects each time, so that nothing is left "busy" after a switch of the method.
    bool Transferring() const;

    // The stopped guard of the queue commands: no tick, method one idle, at most one
    // Downloader left.
    bool DownloadsStopped() const;
    // True while any transfer may still write files (the guard of the type correction).
    bool downloadsActive() const;

signals:
    void switched(bool on); // the scheduler tick went on or off
    void indicatorVisibleChanged(bool visible);
    void startCommandEnabledChanged(bool enabled);
    void countsText(const QString &text); // the fourth status-bar panel
    void optionsChanged();                // the stop command cleared Check4 and Check3

private:
    void switchOn();
    void switchOff();
    double sinceLastEnd() const;
    void scheduleRefill();
    void refill();
    void startMethodOne();
    void startMethodTwo();
    bool fetchAgain(int method, int slot, int position);
    // The first waiting row to fetch now whose host does not rest and, with perHostLimit,
    // has fewer transfers running than that (a key without a host name counts for no host).
    int pickRow(int perHostLimit = 0);
    // Method two's running transfers to the host.
    int runningTo(const QString &host) const;
    // Fails the waiting rows whose folder cannot be made; the message naming those folders, or
    // "" when every folder is there.
    QString failRowsWithoutFolder();
    void setIndicator(bool visible);
    void setStartEnabled(bool enabled);

    DownloadSession &m_session;
    MethodOneTransfer &m_one;
    MethodTwoTransfers &m_two;
    Prompts &m_prompts;
    QTimer m_timerDown;
    QTimer m_timer1;
    QTimer m_refill;              // takes a free slot as soon as the interval allows
    int m_firstWaiting = 1;       // no waiting row stands before this position
    QSet<QString> m_waitingHosts; // hosts of every waiting row, while m_waitingHostsKnown
    bool m_waitingHostsKnown = false;
    std::array<QString, 7> m_slotHosts; // the host of the row each slot of method two started
    bool m_indicatorVisible = false;
    bool m_startEnabled = true;
};

} // namespace papyrant
