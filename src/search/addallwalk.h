#pragma once

#include <QObject>

namespace papyrant {

class SearchSession;

// The look of a toggle button (Command4, Command1): idle, running (red, "停止..."), or asked to
// stop (still red, disabled until the run has ended).
enum class RunButtonState { Idle, Running, StopRequested };

// The add-all walk of Command4: extract the page on show, click the service's next-page link,
// wait for the page, wait the throttle delay, and again, until there is no next page or the walk
// is asked to stop. The batch search runs the same walk once per keyword.
class AddAllWalk : public QObject
{
    Q_OBJECT
public:
    // A child of the session: it never outlives what it works on.
    explicit AddAllWalk(SearchSession &session);

    RunButtonState state() const { return m_state; }
    // "加入全部到列表" or "停止加入全部".
    static QString caption(RunButtonState state);

    // Command4 click: starts a walk and returns when it has ended, or, while one runs, asks it
    // to stop and returns at once.
    void Command4Click();

    // 下一页: true when a next page was clicked and both waits completed.
    bool 下一页();

    // The last walk ended on a stop (its button, the batch's, the window closing) rather than
    // at its last page or a refusal.
    bool stopped() const { return m_stopped; }

signals:
    void stateChanged(papyrant::RunButtonState state);

private:
    void setState(RunButtonState state);

    SearchSession &m_session;
    RunButtonState m_state = RunButtonState::Idle;
    bool m_stopped = false;
};

} // namespace papyrant
