#include "search/searchsession.h"

#include "browser/browser.h"
#include "download/downloadqueue.h"
#include "foundation/encoding.h"
#include "foundation/filenames.h"
#include "foundation/settings.h"
#include "search/downloadqueueowner.h"
#include "search/resultpage.h"
#include "tools/savepathvalues.h"

#include <QCoreApplication>
#include <cmath>

namespace papyrant {

SearchSession::SearchSession(Browser *browser, SavePathValues &savePath, Prompts &prompts,
                             SaveFolderPicker &picker, DownloadQueueOwner &queueOwner,
                             QObject *parent)
    : QObject(parent), m_browser(browser), m_savePath(savePath), m_prompts(prompts),
      m_picker(picker), m_queueOwner(queueOwner),
      m_profile(ServiceProfiles{BuiltInServiceProfiles(), {}}.chosen(DefaultServiceProfileId()))
{
    if (browser) {
        // Only the page itself ends a page wait; its frames do not.
        connect(browser, &Browser::DocumentComplete, this, [this](bool topLevel) {
            if (topLevel)
                m_flags.setPageLoading(false);
        });
    }
}

void SearchSession::loadPromptSetting()
{
    m_savePath.PromptSavePathOnExtract = GetSettingInt(setting::PromptSavePathOnExtract);
}

void SearchSession::showPicker()
{
    m_savePath.PickerCancelled = false;
    m_picker.showModal(m_savePath);
}

QString SearchSession::extractionSaveFolder() const
{
    return m_savePath.PromptSavePathOnExtract == 1 ? m_savePath.CurrentSaveFolder : QString();
}

void SearchSession::setProfile(const ServiceProfile &profile)
{
    m_profile = profile;
    setNote({});
    emit profileChanged();
}

void SearchSession::setNote(const QString &note)
{
    if (m_note == note)
        return;
    m_note = note;
    emit noteChanged(m_note);
}

void SearchSession::addResultPage(const ResultPage &page)
{
    setNote(ResultPageNote(page, m_profile));
    if (page.blocked) {
        m_flags.setBlocked(true);
        return;
    }
    QList<SearchRow> rows;
    rows.reserve(page.entries.size());
    for (const ResultEntry &e : page.entries)
        rows.append({e.link, e.title, e.type, QString(), e.saveFolder, e.page});
    m_list.addRows(rows);
}

ResultPage SearchSession::ExtractPage(const QString &saveFolder)
{
    // Reading the live page waits in a nested loop, where the window (and this session with it)
    // may be closed and deleted.
    QPointer<SearchSession> alive(this);
    const ServiceProfile profile = m_profile;
    const ResultPage page =
        m_browser ? papyrant::ExtractPage(*m_browser, profile, saveFolder) : ResultPage();
    if (!alive)
        return {};
    addResultPage(page);
    emit countChanged(m_list.count());
    return page;
}

void SearchSession::加入本页到列表()
{
    QPointer<SearchSession> alive(this);
    ResultPage page;
    const ServiceProfile profile = m_profile;
    if (m_browser) {
        page = papyrant::加入本页到列表(*m_browser, profile, m_savePath.PromptSavePathOnExtract,
                                        [this, alive] {
                                            if (alive)
                                                showPicker();
                                            return alive ? m_savePath.CurrentSaveFolder : QString();
                                        });
    }
    if (!alive)
        return;
    addResultPage(page);
    emit countChanged(m_list.count());
    emit autoSizeColumns();
}

bool SearchSession::加入下载列表(const QString &link, const QString &title, const QString &type,
                                 const QString &saveFolder, const QString &page)
{
    const QString cleanTitle = RemoveLineBreaks(title).trimmed();
    QString folder = saveFolder;
    if (folder.isEmpty()) {
        folder = m_savePath.CurrentSaveFolder;
        // The picker has not been shown in this run: the stored folder is the current one,
        // rather than no folder at all (which would save into the working folder).
        if (folder.isEmpty())
            folder = GetSetting(setting::SaveFolder);
        if (!folder.isEmpty() && !folder.endsWith(u'/'))
            folder += u'/';
    }
    const QString name =
        CleanFileName(m_savePath.NameFromLink ? FileNameFromUrl(link, true) : cleanTitle.trimmed());
    m_queueOwner.ensureLoaded();
    DownloadQueue *queue = m_queueOwner.queue();
    if (!queue)
        return false;
    QueueRow row;
    row.Urls = link;
    row.Name = name;
    row.Type = type;
    row.SaveFolder = folder;
    row.Referer = page;
    row.State = QueueRow::Waiting;
    return queue->append(std::move(row)) > 0;
}

void SearchSession::显示下载窗口(bool restore)
{
    if (m_queueOwner.isLoaded())
        m_queueOwner.redrawAndShow(restore);
}

void SearchSession::windowClosing()
{
    m_flags.setAddAllStopped(true);
    m_flags.setAnalysisStopped(true);
    // A batch run ends as well; it would otherwise go on searching for a window that is gone.
    m_flags.setBatchStopped(true);
}

void SearchSession::yieldOnce()
{
    QCoreApplication::processEvents();
}

std::optional<int> parseDelaySeconds(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value); // halves to even, as the default rounding mode
    if (rounded < -32768 || rounded > 32767)
        return std::nullopt;
    return int(rounded);
}

} // namespace papyrant
