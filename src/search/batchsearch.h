#pragma once

#include "search/addallwalk.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace papyrant {

class ApiHarvest;
class SearchSession;
struct ServiceProfile;

// The batch keyword search of Command1: for every keyword line, open the service's result page
// for it, run the add-all walk, clear the browser; then open the service's home page. A page the
// service refused ends the run, with its reason in the log when the profile gives reasons.
// Through the API ("通过API") each keyword is harvested from the service's API instead, and the
// browser is left alone.
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
    // ended, or, while one runs, asks it to stop and returns at once. viaApi: through the
    // profile's API, with the appid of the settings; when the API cannot be used, one message
    // says why and nothing runs.
    void Command1Click(const QString &keywordText, bool viaApi = false);

    // Why the profile's API cannot be used with this appid ("" when it can): the profile has
    // none, or it needs an appid and none is set.
    static QString apiUnavailableReason(const ServiceProfile &profile, const QString &appid);
    // "继续上次的批量检索" (through the pages only): opens the page of the saved position and walks
    // on from its next page, then searches the keywords of keywordText that follow the saved one. A
    // position without a keyword (a walk by hand) walks on alone.
    void resume(const QString &keywordText, const WalkPosition &position);

    // 打开谷歌搜索网页: navigates and waits for the page (30 s at most, or a batch stop).
    void 打开谷歌搜索网页(const QString &address);

    // Text2 "已经完成：": one line for each keyword started, in order ("wetland：3页，7条": the
    // result pages read and the rows they added), with why its walk ended early when it did
    // ("；已停止", "；检索服务拒绝了访问..."). The line of the keyword being walked ends in "…".
    QString progressLog() const { return m_lines.join(u'\n'); }
    QStringList progressLines() const { return m_lines; }
    // The log as a former run left it (a restart takes it back).
    void restoreLog(const QString &text);

    // The non-empty, trimmed lines of a keyword text.
    static QStringList keywordLines(const QString &text);

signals:
    void stateChanged(papyrant::RunButtonState state);
    void progressLogChanged(const QString &text);

private:
    // The keyword being searched: its pages read and the rows it found.
    struct KeywordProgress
    {
        QString keyword;
        QSet<QString> pages;
        int rowsBefore = 0;
        int rows = 0;
    };

    // The batch from keywords[first] on; the first keyword's walk starts at position's page
    // when one is given. viaApi: each keyword through the API instead.
    void run(const QStringList &keywords, qsizetype first, const WalkPosition &position,
             bool viaApi);
    void setState(RunButtonState state);
    void showKeyword(const KeywordProgress &progress, const QString &ending);
    QString keywordEnding() const;

    // False when the run is to end (refused, stopped, or the window closed).
    bool runKeywordViaApi(const QString &keyword, const QString &appid);

    SearchSession &m_session;
    AddAllWalk &m_walk;
    ApiHarvest *m_api;
    RunButtonState m_state = RunButtonState::Idle;
    QStringList m_lines;
    std::optional<KeywordProgress> m_current;
};

} // namespace papyrant
