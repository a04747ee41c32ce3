#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

namespace papyrant {

class SearchSession;

// The four analysis commands of the menu "加入": they hand search rows to the download queue
// and mark them "成功". Also the button Command2 "分析下载", the stop button Command5 and the
// automatic analysis (Check7, Timer1).
class AnalysisCommands : public QObject
{
    Q_OBJECT
public:
    enum class Command {
        Unanalysed, // menu分析未分析项 "分析未分析项": rows in state ""
        Failed,     // menu加入分析失败项 "分析失败项": rows in state "分析失败"
        Selected,   // menu选中加入 "分析选中项"
        All,        // menu全部加入 "分析全部"
    };

    // A child of the session: it never outlives what it works on.
    explicit AnalysisCommands(SearchSession &session);

    // Runs a command; returns when it has ended. selected: 0-based positions of the selected
    // rows (used by Command::Selected).
    void run(Command command, const QList<int> &selected = {});

    // Command2 "分析下载": with no selection analyses everything, else asks for the menu.
    void Command2Click(const QList<int> &selected);
    // Command5 "停止".
    void Command5Click();
    // Check7 "自动分析未分析项" clicked into the given state; returns the state the box keeps.
    bool Check7Click(bool checked);

    QTimer &Timer1() { return m_timer1; }
    bool running() const { return m_running > 0; }

signals:
    // PicPanPrograss with Label11's caption: shown (in front) while a command runs.
    void progressPanelChanged(bool visible, const QString &caption);
    void command2EnabledChanged(bool enabled);
    // Show the pop-up menu "加入" at the mouse position.
    void menuRequested();
    // Check7's box was unchecked by the program (the picker was cancelled).
    void check7Changed(bool checked);

private:
    void timerTick();

    SearchSession &m_session;
    QTimer m_timer1;
    int m_running = 0;
};

// The caption of Label11 while a command runs.
QString analysisProgressCaption();

} // namespace papyrant
