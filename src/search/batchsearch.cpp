#include "search/batchsearch.h"

#include "browser/browser.h"
#include "foundation/encoding.h"
#include "foundation/eventwait.h"
#include "foundation/prompts.h"
#include "foundation/settings.h"
#include "search/apiharvest.h"
#include "search/searchsession.h"
#include "search/serviceaddress.h"
#include "tools/savepathvalues.h"

#include <QPointer>
#include <QRegularExpression>

namespace papyrant {

BatchSearch::BatchSearch(SearchSession &session, AddAllWalk &walk)
    : QObject(&session), m_session(session), m_walk(walk), m_api(new ApiHarvest(session))
{
    // The keyword's line follows its walk page by page. A page is read more than once (for its
    // entries, then for its next page), so pages count by their address; a page that did not
    // open or was refused is not a page walked.
    connect(&session, &SearchSession::pageRead, this,
            [this](const QString &address, ResultPage::Verdict verdict) {
                if (!m_current)
                    return;
                using V = ResultPage::Verdict;
                if (verdict != V::Nothing && verdict != V::LoadFailed && verdict != V::Blocked)
                    m_current->pages.insert(address);
                m_current->rows = qMax(0, m_session.list().count() - m_current->rowsBefore);
                showKeyword(*m_current, QStringLiteral("…"));
            });
}

QString BatchSearch::apiUnavailableReason(const ServiceProfile &profile, const QString &appid)
{
    if (!profile.api)
        return QStringLiteral("检索服务「%1」没有API，只能通过网页检索").arg(profile.name);
    if (profile.api->appidRequired && appid.trimmed().isEmpty())
        return QStringLiteral("通过API检索「%1」需要appid（向NII免费注册取得）。"
                              "请在“工具 → 设置”的“API appid：”中填写。")
            .arg(profile.name);
    return {};
}

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

void BatchSearch::showKeyword(const KeywordProgress &progress, const QString &ending)
{
    const QString line = progress.keyword + QStringLiteral("：")
                         + QString::number(progress.pages.size()) + QStringLiteral("页，")
                         + QString::number(progress.rows) + QStringLiteral("条") + ending;
    m_lines.last() = line;
    emit progressLogChanged(progressLog());
}

QString BatchSearch::keywordEnding() const
{
    const SearchRunFlags &flags = m_session.flags();
    // The status bar's reason when the last page gave nothing (a refusal, no results, a page
    // that did not open); the old pages' profile keeps quiet about those, but not about this.
    const QString note = m_session.note();
    if (!note.isEmpty())
        return QStringLiteral("；") + note;
    if (flags.Blocked())
        return QStringLiteral("；检索服务拒绝了访问，已停止");
    if (m_walk.stopped())
        return QStringLiteral("；已停止");
    return {};
}

void BatchSearch::restoreLog(const QString &text)
{
    m_lines = text.isEmpty() ? QStringList() : text.split(u'\n');
    m_current.reset();
    emit progressLogChanged(progressLog());
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

void BatchSearch::Command1Click(const QString &keywordText, bool viaApi)
{
    run(keywordLines(keywordText), 0, {}, viaApi);
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
        position, false);
}

void BatchSearch::run(const QStringList &keywords, qsizetype first, const WalkPosition &position,
                      bool viaApi)
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
    // Read at each run: the options may have changed it since the window opened.
    const QString appid = viaApi ? GetSetting(setting::ApiAppId).trimmed() : QString();
    if (viaApi) {
        if (const QString why = apiUnavailableReason(s.profile(), appid); !why.isEmpty()) {
            s.prompts().message(why, Prompts::Icon::Warning);
            return;
        }
    }

    setState(RunButtonState::Running);
    flags.setBatchStopped(false);
    flags.setBlocked(false);
    // A resumed batch goes on with the log it had.
    if (position.isEmpty())
        m_lines.clear();
    m_current.reset();
    emit progressLogChanged(progressLog());
    m_api->startBatch();
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
        if (viaApi) {
            if (!runKeywordViaApi(keyword, appid)) {
                ranOut = false;
                break;
            }
            continue;
        }
        const bool resumed = i == first && !position.isEmpty();
        const QString address =
            resumed ? position.pageAddress : ServiceSearchPage(s.profile(), UrlEncode(keyword));
        m_lines << QString();
        m_current = KeywordProgress{keyword, {}, s.list().count(), 0};
        showKeyword(*m_current, QStringLiteral("…"));
        打开谷歌搜索网页(address);
        if (!alive)
            return;
        m_walk.setStart(keyword, resumed ? position.pageNumber : 1);
        m_walk.Command4Click();
        if (!alive)
            return;
        // Why the walk ended early stays on the keyword's line (a refusal ends the run, and the
        // status bar says it as well).
        showKeyword(*std::exchange(m_current, std::nullopt), keywordEnding());
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
    if (!alive)
        return;
    // After a stop the home page is not waited for: the stop ends the wait at once. The API
    // never moved the browser, nor saved a place in the pages: a saved one stays.
    if (!viaApi) {
        // Every keyword searched to its last page: nothing is left to go on with.
        if (ranOut)
            emit m_walk.positionChanged({});
        打开谷歌搜索网页(ServiceHomePage(s.profile()));
        if (!alive)
            return;
    }
    setState(RunButtonState::Idle);
    flags.setBatchStopped(true);
}

bool BatchSearch::runKeywordViaApi(const QString &keyword, const QString &appid)
{
    QPointer<BatchSearch> alive(this);
    // The keyword's line grows as the harvest tells its pages, waits and end.
    m_lines << QString();
    const auto say = [this](const QString &text) {
        QString &line = m_lines.last();
        if (!line.isEmpty())
            line += u' ';
        line += text.trimmed();
        emit progressLogChanged(progressLog());
    };
    const ApiHarvest::Outcome outcome = m_api->run(keyword, appid, say);
    if (!alive)
        return false;
    if (outcome == ApiHarvest::Outcome::Refused && !m_session.note().isEmpty())
        say(m_session.note());
    return outcome == ApiHarvest::Outcome::Done || outcome == ApiHarvest::Outcome::KeywordFailed;
}

} // namespace papyrant
