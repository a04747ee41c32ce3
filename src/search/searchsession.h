#pragma once

#include "browser/browser.h"
#include "search/resultpage.h"
#include "search/runflags.h"
#include "search/searchlist.h"
#include "search/serviceprofile.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

namespace papyrant {

class DownloadQueueOwner;
class Prompts;
class SaveFolderPicker;
struct SavePathValues;

// Time limits of the search side, in milliseconds. Tests shorten them.
struct SearchLimits
{
    int pageWaitMs = 60000;       // a result page after a click on the next-page link
    int searchPageWaitMs = 30000; // a page navigated to by the batch search
    int msPerDelaySecond = 1000;  // one second of the throttle delay (Combo1) and of a wait the
                                  // service asks for before a retry
    int busyPollMs = 50;          // the browser's Busy state has no signal of its own
    int apiAnswerWaitMs = 60000;  // one answer of the service's API
    int apiRetryCapSeconds = 300; // the longest wait before a refused API request is retried
};

// What the search window's commands share: the search list, the run flags, the browser, the
// save-path values and the hand-off to the download queue. The window owns one and wires its
// controls to it and to the command objects (AddAllWalk, AnalysisCommands, BatchSearch).
class SearchSession : public QObject
{
    Q_OBJECT
public:
    SearchSession(Browser *browser, SavePathValues &savePath, Prompts &prompts,
                  SaveFolderPicker &picker, DownloadQueueOwner &queueOwner,
                  QObject *parent = nullptr);

    SearchList &list() { return m_list; }
    SearchRunFlags &flags() { return m_flags; }
    Browser *browser() const { return m_browser; }
    SavePathValues &savePath() { return m_savePath; }
    Prompts &prompts() { return m_prompts; }
    SearchLimits limits;

    // The literature service's rules every command reads. Changed while a walk runs, the next
    // page is read by the new rules.
    const ServiceProfile &profile() const { return m_profile; }
    void setProfile(const ServiceProfile &profile);
    // What the status bar says about the last page read that gave nothing ("" otherwise).
    QString note() const { return m_note; }

    // The text of the throttle delay box (Combo1), read afresh at each page.
    std::function<QString()> delayText = [] { return QStringLiteral("5"); };

    // Reads "提取网页信息时提示下载保存路径" into PromptSavePathOnExtract (search window load).
    void loadPromptSetting();
    // Shows the save-folder picker modally (PickerCancelled cleared first).
    void showPicker();
    // The save folder extracted rows keep: the current one when the picker is shown before
    // extractions (setting 1), else empty.
    QString extractionSaveFolder() const;

    // ExtractPage: adds the entries of the page on show, raises Blocked on the block page,
    // refreshes the row count and the note, and returns what the page gave.
    ResultPage ExtractPage(const QString &saveFolder);
    // "加入本页到列表" (Command9).
    void 加入本页到列表();
    // Adds what an extraction found and says why a page gave nothing; used by the two above.
    void addResultPage(const ResultPage &page);
    void setNote(const QString &note);

    // 加入下载列表: one row into the download queue. False when the queue refused it (the link
    // is already queued) or there is no queue.
    bool 加入下载列表(const QString &link, const QString &title, const QString &type,
                      const QString &saveFolder, const QString &page);
    // 显示下载窗口: redraw, show if hidden and (restore) un-minimise the download window when it
    // is loaded; nothing otherwise.
    void 显示下载窗口(bool restore);

    // Window close: every running loop is asked to end and will not touch the window again.
    void windowClosing();

    // Lets pending events run once (a yield of the long commands).
    static void yieldOnce();

signals:
    // Label1: the number of rows, after an extraction and after a clear command.
    void countChanged(int rows);
    void noteChanged(const QString &note);
    // ExtractPage has read the page at that address (a page is read more than once in a walk).
    void pageRead(const QString &address, papyrant::ResultPage::Verdict verdict);
    void profileChanged();
    // After "加入本页到列表" and "加入全部到列表": auto-size every column of ListView1.
    void autoSizeColumns();

private:
    QPointer<Browser> m_browser;
    SavePathValues &m_savePath;
    Prompts &m_prompts;
    SaveFolderPicker &m_picker;
    DownloadQueueOwner &m_queueOwner;
    SearchList m_list;
    SearchRunFlags m_flags;
    ServiceProfile m_profile;
    QString m_note;
};

// The throttle delay text as a whole number of seconds: decimal text rounds (halves to even),
// spaces around are allowed; anything else, or a number outside -32768..32767, gives nullopt.
std::optional<int> parseDelaySeconds(const QString &text);

} // namespace papyrant
