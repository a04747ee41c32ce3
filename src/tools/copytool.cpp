#include "tools/copytool.h"

#include "foundation/fileentry.h"
#include "foundation/filenames.h"
#include "foundation/fileutil.h"

#include <QFileInfo>

namespace papyrant {

CopyPlan PlanCopy(const QString &source, const QString &destFolder, int opIndex)
{
    const PathParts parts = SplitPath(source);
    // One folder however it is spelled (links, "..", letter case where the file system ignores
    // it); two folders whose names differ in case only are two where the file system says so.
    if (SameFolder(parts.folder.isEmpty() ? QStringLiteral(".") : parts.folder, destFolder))
        return {};
    const QString name =
        parts.extension.isEmpty() ? parts.name : parts.name + u'.' + parts.extension;
    const QString target = destFolder + name;
    // Any entry takes the name, a link to nothing included; only a file is compared by size
    // and time, never what a link points at.
    const EntryKind existing = EntryAt(target);
    if (existing == EntryKind::None)
        return {CopyPlan::CopyNew, target};

    const QFileInfo from(source);
    const QFileInfo to(target);
    const bool sameSize = existing == EntryKind::File && from.size() == to.size();
    CopyPlan::Action action = CopyPlan::PassOver;
    switch (ClashRule(opIndex)) {
    case ClashRule::Skip: break;
    case ClashRule::Overwrite: action = CopyPlan::Overwrite; break;
    case ClashRule::Rename: action = CopyPlan::Rename; break;
    case ClashRule::OverwriteIfSameSizeAndTime:
        action = sameSize && from.lastModified() == to.lastModified() ? CopyPlan::Overwrite
                                                                      : CopyPlan::Rename;
        break;
    case ClashRule::OverwriteIfSameSize:
        action = sameSize ? CopyPlan::Overwrite : CopyPlan::Rename;
        break;
    }
    switch (action) {
    case CopyPlan::Rename: return {action, CopyRenameTarget(source, destFolder)};
    case CopyPlan::Overwrite: return {action, target};
    default: return {};
    }
}

CopyRun::CopyRun(QObject *parent) : QObject(parent)
{
    m_tick.setInterval(0);
    connect(&m_tick, &QTimer::timeout, this, &CopyRun::step);
}

CopyRun::~CopyRun()
{
    abandon();
}

void CopyRun::start(const QStringList &sources, const QString &destFolder, int opIndex)
{
    if (m_running)
        return;
    m_sources = sources;
    m_destFolder = destFolder;
    m_opIndex = opIndex;
    m_index = -1;
    m_summary = {};
    m_stopAsked = false;
    m_running = true;
    m_tick.start();
}

void CopyRun::stop()
{
    if (m_running)
        m_stopAsked = true;
}

void CopyRun::abandon()
{
    m_tick.stop();
    if (m_copy) {
        m_copy->cancel();
        m_copy.reset();
    }
    m_running = false;
}

void CopyRun::step()
{
    if (!m_copy) {
        if (m_stopAsked || m_index + 1 >= m_sources.size()) {
            finish();
            return;
        }
        ++m_index;
        beginFile();
        return; // the window shows the file's name before its bytes move
    }
    if (!m_copy->copyPiece(m_pieceBytes))
        endFile();
}

void CopyRun::beginFile()
{
    const QString source = m_sources[m_index];
    emit fileStarted(m_index + 1, QFileInfo(source).fileName());
    if (!m_running)
        return;
    if (!FileExists(source) || QFileInfo(source).isHidden()) {
        ++m_summary.vanished;
        return;
    }
    const CopyPlan plan = PlanCopy(source, m_destFolder, m_opIndex);
    if (plan.action == CopyPlan::PassOver || plan.target.isEmpty()) {
        ++m_summary.passedOver;
        return;
    }
    m_copy = std::make_unique<FileCopy>(
        source, plan.target,
        plan.action == CopyPlan::Overwrite ? FileCopy::Target::Replace : FileCopy::Target::New);
    if (!m_copy->open()) {
        m_copy.reset();
        ++m_summary.failed;
    }
}

void CopyRun::endFile()
{
    if (m_copy->commit())
        ++m_summary.copied;
    else
        ++m_summary.failed;
    m_copy.reset();
}

void CopyRun::finish()
{
    m_tick.stop();
    m_running = false;
    m_summary.stopped = m_stopAsked && m_index + 1 < m_sources.size();
    emit finished(m_summary);
}

} // namespace papyrant
