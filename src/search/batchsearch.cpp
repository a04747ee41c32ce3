#include "search/batchsearch.h"

#include "browser/browser.h"
#include "foundation/encoding.h"
#include "foundation/eventwait.h"
#include "foundation/prompts.h"
#include "search/searchsession.h"
#include "search/serviceaddress.h"
#include "tools/savepathvalues.h"

#include <QPointer>
#include <QRegularExpression>

namespace papyrant {

BatchSearch::BatchSearch(SearchSession &session, AddAllWalk &walk)
    : QObject(&session), m_session(session), m_walk(walk)
{}

QString BatchSearch::caption(RunButtonState state)
{
    return state == RunButtonState::Idle ? QStringLiteral("开始批量搜索提取")
                                         : QStringLiteral("停止批量搜索");
}

QStringList BatchSearch::keywordLines(const QString &text)
{
    // Lines end in CR LF as the box stores them; a lone LF or CR ends a line as well.
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n|\r"));
    QStringList out;
    for (const QString &line : text.split(lineEnd)) {
        const QString keyword = line.trimmed();
        if (!keyword.isEmpty())
            out << keyword;
    }
    return out;
}

void BatchSearch::setState(RunButtonState state)
{
    if (m_state == state)
        return;
    m_state = state;
    m_session.flags().setBatchRunning(state != RunButtonState::Idle);
    emit stateChanged(state);
}

void BatchSearch::setLog(const QString &text)
{
    m_log = text;
    emit progressLogChanged(m_log);
}

void BatchSearch::打开谷歌搜索网页(const QString &address)
{
    QPointer<BatchSearch> alive(this);
    SearchRunFlags &flags = m_session.flags();
    Browser *browser = m_session.browser();
    if (!browser)
        return;
    flags.setPageLoading(true);
    browser->Navigate(address);
    QPointer<Browser> watched(browser);
    EventWait wait([&] {
        return !alive || !watched || !watched->Busy() || !flags.PageLoading()
               || flags.BatchStopped();
    });
    wait.endOnDestroyed(this)
        .wakeOn(&flags, &SearchRunFlags::changed)
        .wakeOn(browser, &Browser::DocumentComplete)
        .poll(m_session.limits.busyPollMs)
        .run(m_session.limits.searchPageWaitMs);
}

void BatchSearch::Command1Click(const QString &keywordText)
{
    run(keywordLines(keywordText), 0, {});
}

void BatchSearch::resume(const QString &keywordText, const WalkPosition &position)
{
    if (position.isEmpty())
        return;
    if (position.keyword.isEmpty()) {
        if (m_state != RunButtonState::Idle || !m_session.flags().AddAllStopped())
            return;
        打开谷歌搜索网页(position.pageAddress);
        m_walk.setStart({}, position.pageNumber);
        m_walk.Command4Click();
        return;
    }
    const QStringList keywords = keywordLines(keywordText);
    const qsizetype at = keywords.indexOf(position.keyword);
    // The keyword was taken out of the box since: go on from the box as it is.
    run(at < 0 ? QStringList{position.keyword} + keywords : keywords, std::max<qsizetype>(at, 0),
        position);
}

void BatchSearch::run(const QStringList &keywords, qsizetype first, const WalkPosition &position)
{
    QPointer<BatchSearch> alive(this);
    SearchSession &s = m_session;
    SearchRunFlags &flags = s.flags();
    if (m_state != RunButtonState::Idle) {
        flags.setBatchStopped(true);
        if (m_state == RunButtonState::Running)
            setState(RunButtonState::StopRequested);
        return;
    }
    if (!flags.AddAllStopped()) {
        s.prompts().message(QStringLiteral("正在提取网页信息，请停止以后使用该功能！"),
                            Prompts::Icon::Error);
        return;
    }

    setState(RunButtonState::Running);
    flags.setBatchStopped(false);
    flags.setBlocked(false);
    if (position.isEmpty())
        setLog(QString());
    if (s.savePath().PromptSavePathOnExtract == 1)
        s.showPicker();
    if (!alive)
        return;

    bool ranOut = true;
    for (qsizetype i = first; i < keywords.size(); ++i) {
        const QString &keyword = keywords[i];
        SearchSession::yieldOnce();
        if (!alive)
            return;
        if (flags.BatchStopped() || flags.Blocked()) {
            ranOut = false;
            break;
        }
        const bool resumed = i == first && !position.isEmpty();
        const QString address =
            resumed ? position.pageAddress : ServiceSearchPage(s.profile(), UrlEncode(keyword));
        if (!resumed)
            setLog(m_log + keyword + QStringLiteral("(pdf)") + u' ');
        打开谷歌搜索网页(address);
        if (!alive)
            return;
        m_walk.setStart(keyword, resumed ? position.pageNumber : 1);
        m_walk.Command4Click();
        if (!alive)
            return;
        // A refusal ends the run; the log keeps why (the status bar says it as well).
        if (flags.Blocked() && !s.note().isEmpty())
            setLog(m_log + s.note() + u' ');
        SearchSession::yieldOnce();
        if (!alive)
            return;
        打开谷歌搜索网页(QStringLiteral("about:blank"));
        if (!alive)
            return;
        if (flags.BatchStopped() || flags.Blocked()) {
            ranOut = false;
            break;
        }
        SearchSession::yieldOnce();
        if (!alive)
            return;
    }
    // Every keyword searched to its last page: nothing is left to go on with.
    if (ranOut)
        emit m_walk.positionChanged({});
    // After a stop the home page is not waited for: the stop ends the wait at once.
    打开谷歌搜索网页(ServiceHomePage(s.profile()));
    if (!alive)
        return;
    setState(RunButtonState::Idle);
    flags.setBatchStopped(true);
}

} // namespace papyrant
