#pragma once

#include "download/hostcourtesy.h" // RetryAfterSeconds, read as a download reads it

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace papyrant {

class SearchSession;

// The wait before the retry of a refused request (HTTP 429 or 503) without a Retry-After: the
// throttle delay (at least 1 s) doubled for each refusal before it, at most `capSeconds`.
// refusal counts from 0.
qint64 RetryBackoffSeconds(int throttleSeconds, int refusal, qint64 capSeconds);

// The harvest of one keyword through the service's API for the batch keyword search: the
// answer pages one after another (start by count), the record of each hit, and a search-list
// row for every record with a full text (type "LINK", the record's page as the row's page).
// Requests are spaced by the throttle delay; a refusal is retried after the wait the service
// asks for, or after a growing one. It waits in nested loops that a batch stop (or the window
// closing) ends at once. The appid goes into the search requests and nowhere else: what is
// logged and shown names the requests without it.
class ApiHarvest : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        Done,          // every page read
        KeywordFailed, // an error answer ended the keyword; the batch goes on
        Refused,       // the service keeps refusing: the batch ends (Blocked is raised)
        Stopped,       // a batch stop, or the window closed
    };

    // A child of the session: it never outlives what it works on.
    explicit ApiHarvest(SearchSession &session);

    // A new batch: its first request goes without the throttle wait.
    void startBatch() { m_requested = false; }

    // Harvests one keyword. `log` receives the batch log's words as they come. When the
    // outcome is Stopped, the harvest may have been deleted: the caller checks before it goes on.
    Outcome run(const QString &keyword, const QString &appid,
                const std::function<void(const QString &)> &log);

private:
    struct Answer
    {
        int status = 0; // 0: no answer came
        QByteArray body;
        QByteArray retryAfter;
        QString failure; // no answer: why, without the address
    };
    enum class Step { Answered, Refused, Stopped };

    Step request(const QString &address, const QString &shown, Answer &answer, QString &refusal,
                 const std::function<void(const QString &)> &log);
    static QString httpFailure(const QString &what, const Answer &answer);
    std::optional<Answer> fetch(const QString &address, const QString &shown);
    bool pause(qint64 ms);
    int throttleSeconds() const;
    bool stopped() const;

    SearchSession &m_session;
    QString m_appid; // of the running keyword; kept only to be kept out of the log
    bool m_requested = false;
};

} // namespace papyrant
