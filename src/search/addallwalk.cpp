#include "search/addallwalk.h"

#include "browser/browser.h"
#include "foundation/eventwait.h"
#include "search/resultpage.h"
#include "search/searchsession.h"
#include "tools/savepathvalues.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QPointer>

namespace papyrant {

AddAllWalk::AddAllWalk(SearchSession &session) : QObject(&session), m_session(session) {}

QString AddAllWalk::caption(RunButtonState state)
{
    return state == RunButtonState::Idle ? QStringLiteral("加入全部到列表")
                                         : QStringLiteral("停止加入全部");
}

void AddAllWalk::setState(RunButtonState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void AddAllWalk::setStart(const QString &keyword, int pageNumber)
{
    m_keyword = keyword;
    m_firstPage = std::max(pageNumber, 1);
}

void AddAllWalk::notePosition()
{
    if (Browser *browser = m_session.browser())
        emit positionChanged({m_keyword, browser->URL(), m_page});
}

bool AddAllWalk::下一页()
{
    QPointer<AddAllWalk> alive(this);
    SearchSession &s = m_session;
    SearchRunFlags &flags = s.flags();
    // The page on show is read once, for its entries and for its next page.
    const ResultPage page = s.ExtractPage(s.extractionSaveFolder());
    if (!alive)
        return false;
    notePosition();

    Browser *browser = s.browser();
    if (!browser || !page.hasNext())
        return false;
    ++m_page;
    flags.setPageLoading(true);
    // A link is clicked, as a user would; an address (the next page by its number, a LINK
    // element of the head) is opened.
    if (!page.nextLink.isNull()) {
        Element next = page.nextLink;
        next.click();
    } else {
        browser->Navigate(page.nextAddress);
    }
    SearchSession::yieldOnce();
    if (!alive)
        return false;

    // The page wait: until the page has loaded (or the browser is idle), 60 s at most, or a stop.
    {
        QPointer<Browser> watched(browser);
        EventWait wait([&] {
            return !alive || !watched || !watched->Busy() || !flags.PageLoading()
                   || flags.AddAllStopped() || flags.Blocked() || flags.batchStopRequested();
        });
        wait.endOnDestroyed(this)
            .wakeOn(&flags, &SearchRunFlags::changed)
            .wakeOn(browser, &Browser::DocumentComplete)
            .poll(s.limits.busyPollMs)
            .run(s.limits.pageWaitMs);
    }
    if (!alive)
        return false;

    // The throttle wait, with the delay read now: the user may change it during a walk.
    const std::optional<int> delay = parseDelaySeconds(s.delayText ? s.delayText() : QString());
    if (!delay)
        return false;
    if (*delay > 0 && !flags.AddAllStopped() && !flags.batchStopRequested()) {
        EventWait wait(
            [&] { return !alive || flags.AddAllStopped() || flags.batchStopRequested(); });
        wait.endOnDestroyed(this)
            .wakeOn(&flags, &SearchRunFlags::changed)
            .run(int(std::min<qint64>(qint64(*delay) * s.limits.msPerDelaySecond, INT_MAX)));
    }
    return !alive.isNull();
}

void AddAllWalk::Command4Click()
{
    QPointer<AddAllWalk> alive(this);
    SearchSession &s = m_session;
    SearchRunFlags &flags = s.flags();
    if (m_state != RunButtonState::Idle) {
        flags.setAddAllStopped(true);
        if (m_state == RunButtonState::Running)
            setState(RunButtonState::StopRequested);
        emit s.autoSizeColumns();
        return;
    }

    setState(RunButtonState::Running);
    flags.setAddAllStopped(false);
    m_page = m_firstPage;
    if (!flags.BatchRunning()) {
        if (s.savePath().PromptSavePathOnExtract == 1)
            s.showPicker();
        if (!alive)
            return;
        flags.setBlocked(false);
    }

    for (;;) {
        SearchSession::yieldOnce();
        if (!alive)
            return;
        if (flags.AddAllStopped() || flags.Blocked() || flags.batchStopRequested())
            break;
        if (!下一页() || !alive)
            break;
        s.ExtractPage(s.extractionSaveFolder());
        if (!alive)
            return;
        notePosition();
        SearchSession::yieldOnce();
        if (!alive)
            return;
    }
    if (!alive)
        return;
    // A walk that ran to the last page leaves nothing to go on with; a stopped or refused one
    // keeps where it was.
    const bool interrupted = flags.AddAllStopped() || flags.Blocked() || flags.batchStopRequested();
    s.ExtractPage(s.extractionSaveFolder());
    if (!alive)
        return;
    if (!interrupted && !flags.BatchRunning())
        emit positionChanged({});
    m_keyword.clear();
    m_firstPage = 1;
    setState(RunButtonState::Idle);
    flags.setAddAllStopped(true);
    emit s.autoSizeColumns();
}

} // namespace papyrant
