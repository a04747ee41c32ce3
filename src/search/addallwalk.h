#pragma once

#include <QObject>
#include <QString>

namespace papyrant {

class SearchSession;

// Where the walk and the batch were: the keyword being searched (empty for a walk started by
// hand), the address of the last result page read and its number in its walk (1 = the first).
struct WalkPosition
{
    QString keyword;
    QString pageAddress;
    int pageNumber = 0;

    bool isEmpty() const { return pageAddress.isEmpty(); }
    bool operator==(const WalkPosition &) const = default;
};

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

    // The keyword and the number of the page on show that the next walk reports in its
    // positions (the batch sets them; a walk by hand starts at page 1 without a keyword).
    void setStart(const QString &keyword, int pageNumber);

signals:
    void stateChanged(papyrant::RunButtonState state);
    // A result page was read; an empty position once a walk has read its last page.
    void positionChanged(const papyrant::WalkPosition &position);

private:
    void setState(RunButtonState state);
    void notePosition();

    SearchSession &m_session;
    RunButtonState m_state = RunButtonState::Idle;
    QString m_keyword;
    int m_firstPage = 1;
    int m_page = 1;
};

} // namespace papyrant
