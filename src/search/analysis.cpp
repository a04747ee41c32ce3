#include "search/analysis.h"

#include "foundation/prompts.h"
#include "search/searchsession.h"
#include "tools/savepathvalues.h"

#include <QPointer>
#include <QSet>

namespace papyrant {

QString analysisProgressCaption()
{
    return QStringLiteral("正在分析,请稍候...");
}

AnalysisCommands::AnalysisCommands(SearchSession &session) : QObject(&session), m_session(session)
{
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setInterval(1000);
    connect(&m_timer1, &QTimer::timeout, this, &AnalysisCommands::timerTick);
}

void AnalysisCommands::run(Command command, const QList<int> &selected)
{
    QPointer<AnalysisCommands> alive(this);
    SearchSession &s = m_session;
    SearchRunFlags &flags = s.flags();
    SearchList &list = s.list();
    SavePathValues &savePath = s.savePath();

    ++m_running;
    flags.setAnalysisStopped(false);
    emit progressPanelChanged(true, analysisProgressCaption());
    SearchSession::yieldOnce();
    if (!alive)
        return;

    bool handOver = !list.isEmpty();
    if (handOver) {
        if (savePath.PromptSavePathOnExtract == 1) {
            savePath.PickerCancelled = false;
        } else if (!(command == Command::Unanalysed && m_timer1.isActive())) {
            // With automatic analysis on, the picker was confirmed when it was switched on.
            s.showPicker();
            if (!alive)
                return;
            handOver = !savePath.PickerCancelled;
        }
    }

    if (handOver) {
        const QSet<int> chosen(selected.cbegin(), selected.cend());
        const int n = list.count();
        for (int i = 0; i < n && i < list.count(); ++i) {
            const QString state = list.at(i).State;
            bool pick = false;
            bool reset = true;
            switch (command) {
            case Command::Unanalysed:
                pick = state.isEmpty();
                reset = false;
                break;
            case Command::Failed: pick = state == analysisFailed(); break;
            case Command::Selected: pick = chosen.contains(i); break;
            case Command::All: pick = true; break;
            }
            if (!pick) {
                if (command == Command::Selected && flags.AnalysisStopped())
                    break;
                continue;
            }
            if (reset)
                list.setState(i, QString());
            const SearchRow row = list.at(i);
            s.加入下载列表(row.Link, row.Title, row.Type, row.SaveFolder, row.Page);
            // Marked in either case: a link already queued counts as handed over.
            list.setState(i, analysisSucceeded());
            SearchSession::yieldOnce();
            if (!alive)
                return;
            if (flags.AnalysisStopped())
                break;
        }
    }

    emit progressPanelChanged(false, analysisProgressCaption());
    --m_running;
    flags.setAnalysisStopped(true);
    s.显示下载窗口(false);
}

void AnalysisCommands::Command2Click(const QList<int> &selected)
{
    QPointer<AnalysisCommands> alive(this);
    emit command2EnabledChanged(false);
    if (m_session.list().isEmpty())
        m_session.prompts().message(QStringLiteral("列表没有数据哦！"), Prompts::Icon::Information);
    else if (selected.isEmpty())
        run(Command::All);
    else
        emit menuRequested();
    if (alive)
        emit command2EnabledChanged(true);
}

void AnalysisCommands::Command5Click()
{
    m_session.flags().setAnalysisStopped(true);
}

bool AnalysisCommands::Check7Click(bool checked)
{
    if (!checked) {
        m_timer1.stop();
        return false;
    }
    QPointer<AnalysisCommands> alive(this);
    SavePathValues &savePath = m_session.savePath();
    if (savePath.PromptSavePathOnExtract == 1)
        savePath.PickerCancelled = false;
    else
        m_session.showPicker();
    if (!alive)
        return false;
    if (savePath.PickerCancelled) {
        m_timer1.stop();
        emit check7Changed(false);
        return false;
    }
    m_timer1.start();
    return true;
}

void AnalysisCommands::timerTick()
{
    // A tick while a command is still in its loop waits for the next tick: the running command
    // hands the rows over, and a second run inside it would only find the same rows.
    if (running())
        return;
    run(Command::Unanalysed);
}

} // namespace papyrant
