#pragma once

#include "download/downloadqueue.h"
#include "search/addallwalk.h"
#include "search/searchlist.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>
#include <optional>

namespace papyrant {

class Prompts;

// What the last run left behind.
struct SavedSession
{
    QList<QueueRow> queue; // restore rule applied (see restoredQueueRow)
    QList<SearchRow> search;
    QString batchKeywords; // the batch keyword box
    QString batchProgress; // "已经完成："

    // Queue rows that are not finished; search rows not analysed successfully.
    int unfinishedDownloads() const;
    int unanalysedResults() const;
};

// A queue row as a new run takes it back: a row that was downloading waits again (its progress
// cleared), and a finished row whose file is gone or has another size than the one written
// waits for another download. The committed file identity is kept only while that very file is
// still there, so a later clean-up can never remove a file that took its place.
QueueRow restoredQueueRow(QueueRow row);

// "上次还有 N 个下载没有完成，N 条检索结果没有分析。是否恢复？"
QString restoreQuestion(int unfinishedDownloads, int unanalysedResults);

class SessionStore;
// At start: when the last run left unfinished rows, asks "上次还有 N 个下载没有完成，..." and gives
// what was saved for Yes. For No, and after a run that left nothing unfinished, the lists are
// cleared and nothing is given.
std::optional<SavedSession> askToRestore(SessionStore &store, Prompts &prompts);

// The lists that outlive the process: the download queue, the search list, the batch keyword
// box with its progress, and the position of the walk, in an SQLite database (WAL journal) in a
// folder of the caller's choosing. Changes of attached lists are gathered and written in one
// transaction at most once per flush interval, and at flush() (the clean end), so a killed
// process loses at most the last interval and what was committed stays whole.
class SessionStore : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultFlushIntervalMs = 1000;
    static constexpr int SchemaVersion = 1;

    // The database file is folder + "session.db"; the folder is made when missing.
    explicit SessionStore(const QString &folder, QObject *parent = nullptr);
    ~SessionStore() override; // writes what is pending

    // False (and error() says why) when the database cannot be opened or made; the program
    // then runs without it.
    bool isOpen() const { return m_open; }
    QString error() const { return m_error; }
    QString databasePath() const { return m_path; }

    // Tests shorten it.
    void setFlushInterval(int ms) { m_timer.setInterval(ms); }

    // What is saved, as a restart takes it back.
    SavedSession load() const;
    // Forgets the lists, the batch box and its progress (the answer No); the walk position stays.
    void clearLists();

    // From now on the store follows the list: every change of it is written. Attaching writes
    // the list as it is now.
    void attachQueue(DownloadQueue *queue);
    void attachSearchList(SearchList *list);

    void setBatchKeywords(const QString &text) { setValue(keyBatchKeywords(), text); }
    void setBatchProgress(const QString &text) { setValue(keyBatchProgress(), text); }
    void setWalkPosition(const WalkPosition &position);
    WalkPosition walkPosition() const;

    // Writes every pending change now, in one transaction.
    void flush();

    // "PRAGMA integrity_check" says "ok".
    bool integrityOk() const;

signals:
    // A transaction of changes was committed.
    void written();
    // A write failed (the disk is full, the file was taken away); what was saved before stays.
    void writeFailed(const QString &error);

private:
    static QString keyBatchKeywords() { return QStringLiteral("batch.keywords"); }
    static QString keyBatchProgress() { return QStringLiteral("batch.progress"); }
    void setValue(const QString &key, const QString &value);
    QString value(const QString &key) const;
    void schedule();
    bool writeQueue();
    bool writeSearch();
    bool exec(const QString &sql) const;

    QString m_connection;
    QString m_path;
    QString m_error;
    bool m_open = false;
    QTimer m_timer;

    QPointer<DownloadQueue> m_queue;
    QSet<int> m_queueDirty; // 1-based positions
    bool m_queueRewrite = false;
    QPointer<SearchList> m_search;
    QSet<int> m_searchDirty; // 0-based positions
    bool m_searchRewrite = false;
    QHash<QString, QString> m_values; // pending values
};

} // namespace papyrant
