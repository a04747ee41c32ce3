#include "app/sessionstore.h"

#include "foundation/fileentry.h"
#include "foundation/prompts.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>

namespace papyrant {

namespace {

const QString keyWalkKeyword = QStringLiteral("walk.keyword");
const QString keyWalkPage = QStringLiteral("walk.page");
const QString keyWalkNumber = QStringLiteral("walk.number");

const QString queueColumns = QStringLiteral(
    "pos, urls, name, type, size, received, percent, save_folder, base_flag, referer, reason, "
    "state, c_path, c_device, c_inode, c_size, c_mtime_ns");
const QString searchColumns = QStringLiteral("pos, link, title, type, state, save_folder, page");

QString newConnectionName()
{
    static std::atomic<int> next{0};
    return QStringLiteral("papyrant-session-") + QString::number(next++);
}

// The size the row's file must have: what the program wrote, else the row's own columns.
std::optional<qint64> expectedSize(const QueueRow &row)
{
    if (row.Committed)
        return row.Committed->size;
    for (const QString *text : {&row.Size, &row.Received}) {
        if (const std::optional<double> value = queueNumber(*text); value && *value >= 0)
            return qint64(*value);
    }
    return std::nullopt;
}

bool finishedFileThere(const QueueRow &row)
{
    const QString path = row.Committed ? row.Committed->path : RowFilePath(row);
    if (EntryAt(path) != EntryKind::File || IsDownloadLeftover(path))
        return false;
    const std::optional<qint64> expected = expectedSize(row);
    return !expected || QFileInfo(path).size() == *expected;
}

void toWaiting(QueueRow &row)
{
    row.State = QueueRow::Waiting;
    row.Size.clear();
    row.Received.clear();
    row.Percent.clear();
}

} // namespace

QueueRow restoredQueueRow(QueueRow row)
{
    if (row.State == QueueRow::Downloading)
        toWaiting(row);
    else if (row.State == QueueRow::Finished && !finishedFileThere(row))
        toWaiting(row);
    if (row.Committed && IdentifyFile(row.Committed->path) != row.Committed)
        row.Committed.reset();
    return row;
}

QString restoreQuestion(int unfinishedDownloads, int unanalysedResults)
{
    return QStringLiteral("上次还有 ") + QString::number(unfinishedDownloads)
           + QStringLiteral(" 个下载没有完成，") + QString::number(unanalysedResults)
           + QStringLiteral(" 条检索结果没有分析。是否恢复？");
}

std::optional<SavedSession> askToRestore(SessionStore &store, Prompts &prompts)
{
    SavedSession saved = store.load();
    const int downloads = saved.unfinishedDownloads();
    const int results = saved.unanalysedResults();
    if ((downloads > 0 || results > 0)
        && prompts.askYesNo(restoreQuestion(downloads, results), Prompts::Icon::Question))
        return saved;
    store.clearLists();
    return std::nullopt;
}

int SavedSession::unfinishedDownloads() const
{
    return int(std::count_if(queue.begin(), queue.end(),
                             [](const QueueRow &r) { return r.State != QueueRow::Finished; }));
}

int SavedSession::unanalysedResults() const
{
    return int(std::count_if(search.begin(), search.end(),
                             [](const SearchRow &r) { return r.State != analysisSucceeded(); }));
}

SessionStore::SessionStore(const QString &folder, QObject *parent)
    : QObject(parent), m_connection(newConnectionName())
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(DefaultFlushIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &SessionStore::flush);

    QDir().mkpath(folder);
    m_path = QDir(folder).filePath(QStringLiteral("session.db"));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    if (!db.open()) {
        m_error = db.lastError().text();
        return;
    }
    // WAL: a killed writer leaves the last committed transaction whole; NORMAL syncs at each
    // checkpoint, enough against a killed process and cheap for a write a second.
    m_open = exec(QStringLiteral("PRAGMA journal_mode=WAL"))
             && exec(QStringLiteral("PRAGMA synchronous=NORMAL"))
             && exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER)"))
             && exec(QStringLiteral(
                 "CREATE TABLE IF NOT EXISTS queue (pos INTEGER PRIMARY KEY, urls TEXT, name TEXT,"
                 " type TEXT, size TEXT, received TEXT, percent TEXT, save_folder TEXT,"
                 " base_flag TEXT, referer TEXT, reason TEXT, state INTEGER, c_path TEXT,"
                 " c_device INTEGER, c_inode INTEGER, c_size INTEGER, c_mtime_ns INTEGER)"))
             && exec(QStringLiteral(
                 "CREATE TABLE IF NOT EXISTS search (pos INTEGER PRIMARY KEY, link TEXT,"
                 " title TEXT, type TEXT, state TEXT, save_folder TEXT, page TEXT)"))
             && exec(QStringLiteral(
                 "CREATE TABLE IF NOT EXISTS value (key TEXT PRIMARY KEY, value TEXT)"));
    if (!m_open)
        return;
    QSqlQuery version(db);
    version.exec(QStringLiteral("SELECT version FROM schema_version"));
    if (!version.next()) {
        exec(QStringLiteral("INSERT INTO schema_version VALUES (") + QString::number(SchemaVersion)
             + u')');
    } else if (version.value(0).toInt() > SchemaVersion) {
        // A newer program's file: read nothing of it rather than misread it.
        m_error = QStringLiteral("session database of a newer version");
        m_open = false;
    }
}

SessionStore::~SessionStore()
{
    flush();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

bool SessionStore::exec(const QString &sql) const
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (query.exec(sql))
        return true;
    const_cast<SessionStore *>(this)->m_error = query.lastError().text();
    return false;
}

SavedSession SessionStore::load() const
{
    SavedSession saved;
    if (!m_open)
        return saved;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.exec(QStringLiteral("SELECT ") + queueColumns + QStringLiteral(" FROM queue ORDER BY pos"));
    while (q.next()) {
        QueueRow r;
        r.Urls = q.value(1).toString();
        r.Name = q.value(2).toString();
        r.Type = q.value(3).toString();
        r.Size = q.value(4).toString();
        r.Received = q.value(5).toString();
        r.Percent = q.value(6).toString();
        r.SaveFolder = q.value(7).toString();
        r.BaseFlag = q.value(8).toString();
        r.Referer = q.value(9).toString();
        r.Reason = q.value(10).toString();
        r.State = QueueRow::StateValue(q.value(11).toInt());
        if (!q.value(12).isNull()) {
            r.Committed = FileIdentity{q.value(12).toString(), quint64(q.value(13).toLongLong()),
                                       quint64(q.value(14).toLongLong()), q.value(15).toLongLong(),
                                       q.value(16).toLongLong()};
        }
        saved.queue.append(restoredQueueRow(std::move(r)));
    }
    q.exec(QStringLiteral("SELECT ") + searchColumns + QStringLiteral(" FROM search ORDER BY pos"));
    while (q.next()) {
        saved.search.append({q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                             q.value(4).toString(), q.value(5).toString(), q.value(6).toString()});
    }
    saved.batchKeywords = value(keyBatchKeywords());
    saved.batchProgress = value(keyBatchProgress());
    return saved;
}

void SessionStore::clearLists()
{
    m_queueDirty.clear();
    m_searchDirty.clear();
    m_values.remove(keyBatchKeywords());
    m_values.remove(keyBatchProgress());
    if (!m_open)
        return;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    db.transaction();
    const bool ok = exec(QStringLiteral("DELETE FROM queue"))
                    && exec(QStringLiteral("DELETE FROM search"))
                    && exec(QStringLiteral("DELETE FROM value WHERE key IN ('") + keyBatchKeywords()
                            + QStringLiteral("', '") + keyBatchProgress() + QStringLiteral("')"));
    if (ok)
        db.commit();
    else
        db.rollback();
}

void SessionStore::attachQueue(DownloadQueue *queue)
{
    if (m_queue)
        disconnect(m_queue, nullptr, this, nullptr);
    m_queue = queue;
    m_queueDirty.clear();
    m_queueRewrite = true;
    schedule();
    if (!queue)
        return;
    connect(queue, &DownloadQueue::rowsAppended, this, [this](int first, int last) {
        for (int p = first; p <= last; ++p)
            m_queueDirty.insert(p);
        schedule();
    });
    connect(queue, &DownloadQueue::rowChanged, this, [this](int position) {
        m_queueDirty.insert(position);
        schedule();
    });
    connect(queue, &DownloadQueue::rowsReset, this, [this] {
        m_queueRewrite = true;
        schedule();
    });
    connect(queue, &QObject::destroyed, this, [this] {
        // The list the window held is gone with it; what was written stays for the next run.
        m_queueDirty.clear();
        m_queueRewrite = false;
    });
}

void SessionStore::attachSearchList(SearchList *list)
{
    if (m_search)
        disconnect(m_search, nullptr, this, nullptr);
    m_search = list;
    m_searchDirty.clear();
    m_searchRewrite = true;
    schedule();
    if (!list)
        return;
    connect(list, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) {
                for (int p = first; p <= last; ++p)
                    m_searchDirty.insert(p);
                schedule();
            });
    connect(list, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to) {
                for (int p = from.row(); p <= to.row(); ++p)
                    m_searchDirty.insert(p);
                schedule();
            });
    const auto rewrite = [this] {
        m_searchRewrite = true;
        schedule();
    };
    connect(list, &QAbstractItemModel::modelReset, this, rewrite);
    connect(list, &QAbstractItemModel::rowsRemoved, this, rewrite);
    connect(list, &QAbstractItemModel::rowsMoved, this, rewrite);
    connect(list, &QAbstractItemModel::layoutChanged, this, rewrite);
    connect(list, &QObject::destroyed, this, [this] {
        m_searchDirty.clear();
        m_searchRewrite = false;
    });
}

void SessionStore::setWalkPosition(const WalkPosition &position)
{
    setValue(keyWalkKeyword, position.keyword);
    setValue(keyWalkPage, position.pageAddress);
    setValue(keyWalkNumber, position.pageNumber ? QString::number(position.pageNumber) : QString());
}

WalkPosition SessionStore::walkPosition() const
{
    return {value(keyWalkKeyword), value(keyWalkPage), value(keyWalkNumber).toInt()};
}

void SessionStore::setValue(const QString &key, const QString &text)
{
    m_values.insert(key, text);
    schedule();
}

QString SessionStore::value(const QString &key) const
{
    if (const auto pending = m_values.constFind(key); pending != m_values.cend())
        return *pending;
    if (!m_open)
        return {};
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT value FROM value WHERE key = ?"));
    q.addBindValue(key);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

void SessionStore::schedule()
{
    if (!m_timer.isActive())
        m_timer.start();
}

bool SessionStore::writeQueue()
{
    const bool rewrite = m_queueRewrite;
    const QSet<int> dirty = std::exchange(m_queueDirty, {});
    m_queueRewrite = false;
    if (!m_queue || (!rewrite && dirty.isEmpty()))
        return true;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (rewrite && !exec(QStringLiteral("DELETE FROM queue")))
        return false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO queue (") + queueColumns
              + QStringLiteral(") VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    const auto write = [&](int position) {
        const QueueRow &r = m_queue->row(position);
        const QVariant none;
        q.bindValue(0, position);
        q.bindValue(1, r.Urls);
        q.bindValue(2, r.Name);
        q.bindValue(3, r.Type);
        q.bindValue(4, r.Size);
        q.bindValue(5, r.Received);
        q.bindValue(6, r.Percent);
        q.bindValue(7, r.SaveFolder);
        q.bindValue(8, r.BaseFlag);
        q.bindValue(9, r.Referer);
        q.bindValue(10, r.Reason);
        q.bindValue(11, int(r.State));
        q.bindValue(12, r.Committed ? QVariant(r.Committed->path) : none);
        q.bindValue(13, r.Committed ? QVariant(qint64(r.Committed->device)) : none);
        q.bindValue(14, r.Committed ? QVariant(qint64(r.Committed->inode)) : none);
        q.bindValue(15, r.Committed ? QVariant(r.Committed->size) : none);
        q.bindValue(16, r.Committed ? QVariant(r.Committed->modifiedNs) : none);
        if (q.exec())
            return true;
        m_error = q.lastError().text();
        return false;
    };
    if (rewrite) {
        for (int p = 1; p <= m_queue->count(); ++p)
            if (!write(p))
                return false;
        return true;
    }
    for (int p : dirty)
        if (m_queue->isValidPosition(p) && !write(p))
            return false;
    return true;
}

bool SessionStore::writeSearch()
{
    const bool rewrite = m_searchRewrite;
    const QSet<int> dirty = std::exchange(m_searchDirty, {});
    m_searchRewrite = false;
    if (!m_search || (!rewrite && dirty.isEmpty()))
        return true;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (rewrite && !exec(QStringLiteral("DELETE FROM search")))
        return false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO search (") + searchColumns
              + QStringLiteral(") VALUES (?,?,?,?,?,?,?)"));
    const auto write = [&](int position) {
        const SearchRow &r = m_search->at(position);
        q.bindValue(0, position);
        q.bindValue(1, r.Link);
        q.bindValue(2, r.Title);
        q.bindValue(3, r.Type);
        q.bindValue(4, r.State);
        q.bindValue(5, r.SaveFolder);
        q.bindValue(6, r.Page);
        if (q.exec())
            return true;
        m_error = q.lastError().text();
        return false;
    };
    if (rewrite) {
        for (int p = 0; p < m_search->count(); ++p)
            if (!write(p))
                return false;
        return true;
    }
    for (int p : dirty)
        if (p >= 0 && p < m_search->count() && !write(p))
            return false;
    return true;
}

void SessionStore::flush()
{
    m_timer.stop();
    if (!m_open)
        return;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) {
        emit writeFailed(db.lastError().text());
        return;
    }
    bool ok = writeQueue() && writeSearch();
    if (ok && !m_values.isEmpty()) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT OR REPLACE INTO value (key, value) VALUES (?, ?)"));
        for (auto it = m_values.cbegin(); ok && it != m_values.cend(); ++it) {
            q.bindValue(0, it.key());
            q.bindValue(1, it.value());
            ok = q.exec();
            if (!ok)
                m_error = q.lastError().text();
        }
    }
    if (ok && db.commit()) {
        m_values.clear();
        emit written();
        return;
    }
    db.rollback();
    // The next change writes the whole lists again, so nothing stays behind for good.
    m_queueRewrite = m_queueRewrite || m_queue;
    m_searchRewrite = m_searchRewrite || m_search;
    emit writeFailed(m_error);
}

bool SessionStore::integrityOk() const
{
    if (!m_open)
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    return q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next()
           && q.value(0).toString() == QStringLiteral("ok");
}

} // namespace papyrant
