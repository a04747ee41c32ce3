#include "tools/cacheexport.h"

#include "tools/simplecache.h"

#include <QDir>
#include <QFile>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

CacheExport::CacheExport(QObject *parent) : QObject(parent)
{
    m_tick.setInterval(0);
    connect(&m_tick, &QTimer::timeout, this, &CacheExport::step);
}

CacheExport::~CacheExport()
{
    m_tick.stop();
}

void CacheExport::start(const CacheViewer &viewer, const QList<CacheRow> &rows,
                        const QString &stageFolder, qint64 limit)
{
    if (m_running)
        return;
    m_jobs.clear();
    for (const CacheRow &row : rows) {
        if (row.folder >= 0 && row.folder < viewer.cacheFolderCount())
            m_jobs.append({viewer.cacheFolder(row.folder), row});
    }
    m_stageFolder = stageFolder.endsWith(u'/') ? stageFolder : stageFolder + u'/';
    m_limit = limit;
    m_index = -1;
    m_summary = {};
    m_running = true;
    m_tick.start();
}

void CacheExport::abandon()
{
    if (!m_running)
        return;
    m_current.reset();
    finish();
}

void CacheExport::step()
{
    if (!m_current) {
        if (m_index + 1 >= m_jobs.size()) {
            finish();
            return;
        }
        ++m_index;
        beginFile();
        return;
    }
    if (m_current->step(m_pieceBytes) != BodyExtraction::State::Running)
        endFile();
}

void CacheExport::beginFile()
{
    const auto &[folder, row] = m_jobs[m_index];
    m_name = row.relative.mid(row.relative.lastIndexOf(u'/') + 1);
    auto file = std::make_unique<QFile>();
    const GuardedFile opened = OpenFileBelow(folder, row.relative, *file);
    std::optional<SimpleCacheEntry> entry;
    const bool body = !row.url.startsWith(u"用户:"_s);
    if (opened.result == GuardedResult::Done && body) {
        entry = ReadSimpleCacheEntry(*file, folder.path() + row.relative);
        if (entry)
            m_name = CacheBodyFileName(entry->url, entry->header("Content-Type"));
    }
    emit fileStarted(m_index + 1, int(m_jobs.size()), m_name);
    if (!m_running)
        return;
    if (opened.result != GuardedResult::Done || (body && !entry)) {
        if (opened.result == GuardedResult::Refused)
            ++m_summary.links;
        else
            ++m_summary.unreadable;
        return;
    }
    // One folder per file, so that each keeps the name it had.
    const QString folderOfFile = m_stageFolder + QString::number(m_index + 1) + u'/';
    if (!QDir().mkpath(folderOfFile)) {
        ++m_summary.failed;
        return;
    }
    m_target = folderOfFile + m_name;
    if (body)
        m_current = std::make_unique<BodyExtraction>(*entry, std::move(file), m_target, m_limit);
    else
        m_current = std::make_unique<BodyExtraction>(std::move(file), m_target, -1);
    m_current->keepModificationTime(opened.modified);
}

void CacheExport::endFile()
{
    switch (m_current->state()) {
    case BodyExtraction::State::Done: m_summary.files << m_target; break;
    case BodyExtraction::State::TooLarge: m_summary.tooLarge << m_name; break;
    case BodyExtraction::State::WriteFailed: ++m_summary.failed; break;
    default: ++m_summary.unreadable; break;
    }
    m_current.reset();
}

void CacheExport::finish()
{
    m_tick.stop();
    m_running = false;
    emit finished();
}

} // namespace papyrant
