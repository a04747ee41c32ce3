#pragma once

#include "search/addallwalk.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace papyrant {

class SearchSession;

// The batch keyword search of Command1: for every keyword line, open the service's result page
// for it, run the add-all walk, clear the browser; then open the service's home page. A page the
// service refused ends the run, with its reason in the log when the profile gives reasons.
class BatchSearch : public QObject
{
    Q_OBJECT
public:
    // A child of the session: it never outlives what it works on.
    BatchSearch(SearchSession &session, AddAllWalk &walk);

    RunButtonState state() const { return m_state; }
    // "开始批量搜索提取" or "停止批量搜索".
    static QString caption(RunButtonState state);

    // Command1 click with the keyword text of Text1: runs the batch and returns when it has
    // ended, or, while one runs, asks it to stop and returns at once.
    void Command1Click(const QString &keywordText);
    // "继续上次的批量检索": opens the page of the saved position and walks on from its next
    // page, then searches the keywords of keywordText that follow the saved one. A position
    // without a keyword (a walk by hand) walks on alone.
    void resume(const QString &keywordText, const WalkPosition &position);

    // 打开谷歌搜索网页: navigates and waits for the page (30 s at most, or a batch stop).
    void 打开谷歌搜索网页(const QString &address);

    // Text2 "已经完成：".
    QString progressLog() const { return m_log; }
    // The log as a former run left it (a restart takes it back).
    void restoreLog(const QString &text) { setLog(text); }

    // The non-empty, trimmed lines of a keyword text.
    static QStringList keywordLines(const QString &text);

signals:
    void stateChanged(papyrant::RunButtonState state);
    void progressLogChanged(const QString &text);

private:
    // The batch from keywords[first] on; the first keyword's walk starts at position's page
    // when one is given.
    void run(const QStringList &keywords, qsizetype first, const WalkPosition &position);
    void setState(RunButtonState state);
    void setLog(const QString &text);

    SearchSession &m_session;
    AddAllWalk &m_walk;
    RunButtonState m_state = RunButtonState::Idle;
    QString m_log;
};

} // namespace papyrant
