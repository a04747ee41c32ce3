#include "app/ui/programwindows.h"

#include "app/options.h"
#include "app/ui/fcover.h"
#include "app/ui/foption.h"
#include "app/updatecheck.h"
#include "app/version.h"
#include "download/ui/ffiledownload.h"
#include "foundation/systeminfo.h"
#include "foundation/ui/qtprompts.h"
#include "foundation/ui/windowplacement.h"
#include "tools/ui/fiecache.h"
#include "transfer/uxmlhttp.h"

#include <QTimer>

namespace papyrant {

ProgramWindows::ProgramWindows(Prompts *prompts, QObject *parent)
    : QObject(parent), m_cover(std::make_unique<FCover>()), m_prompts(prompts)
{
    if (!m_prompts)
        m_qtPrompts = std::make_unique<QtPrompts>(m_cover.get());
    cachePlaces = [] {
        // Computed by the cover's load; the cache viewer must not go without it.
        if (SystemDescription().isEmpty())
            ComputeSystemDescription();
        return CacheViewerPlaces::forThisUser(SystemDescription());
    };

    // The cover's request component and the update check it runs once, after its load.
    m_uXMLHTTP2 = new uXMLHTTP(m_cover.get());
    m_uXMLHTTP2->setObjectName(QStringLiteral("uXMLHTTP2"));
    m_updateCheck = new UpdateCheck(m_uXMLHTTP2, this->prompts(), versionText(), this);
    connect(m_updateCheck, &UpdateCheck::newVersionFound, m_cover.get(), &FCover::showNewVersion);
    connect(m_cover.get(), &FCover::label3Clicked, this, &ProgramWindows::openLatestVersionPage);
    connect(m_cover.get(), &FCover::closing, this, [this] { clearBrowserCache(false); });
    QTimer::singleShot(100, m_updateCheck, &UpdateCheck::CheckForUpdate);
}

ProgramWindows::~ProgramWindows()
{
    delete m_download.data();
}

Prompts &ProgramWindows::prompts() const
{
    return m_prompts ? *m_prompts : *m_qtPrompts;
}

void ProgramWindows::showCoverIfNoMainWindow()
{
    // A download window whose close was accepted is still on its way out; it no longer counts.
    if (!IsWindowLoaded(QStringLiteral("fWebSearch")) && !isLoaded())
        m_cover->show();
}

FFileDownload *ProgramWindows::downloadWindow() const
{
    return m_download && !m_download->isUnloaded() ? m_download.data() : nullptr;
}

bool ProgramWindows::isLoaded() const
{
    return downloadWindow() != nullptr;
}

void ProgramWindows::ensureLoaded()
{
    if (isLoaded())
        return;
    FFileDownloadHooks hooks;
    // The search window and the about box come with their own windows.
    hooks.showOptions = [this] { showOptions(m_download); };
    // The window tells "IE缓存清空完毕！" itself.
    hooks.clearBrowserCache = [this] { clearBrowserCache(false); };
    hooks.showLatestVersion = [this] { openLatestVersionPage(); };
    hooks.showCover = [this] { showCoverIfNoMainWindow(); };
    m_download = new FFileDownload(std::move(hooks), m_prompts);
}

DownloadQueue *ProgramWindows::queue()
{
    return isLoaded() ? &m_download->queue() : nullptr;
}

void ProgramWindows::redrawAndShow(bool restore)
{
    if (isLoaded())
        m_download->redrawAndShow(restore);
}

void ProgramWindows::showDownloadWindow()
{
    ensureLoaded();
    m_download->redrawAndShow(true);
    m_download->raise();
    m_download->activateWindow();
}

void ProgramWindows::showOptions(QWidget *parent)
{
    FOption dialog(LoadOptionValues(), prompts(),
                   [this](const OptionValues &values) { applyOptions(values); }, parent);
    dialog.exec();
}

void ProgramWindows::applyOptions(const OptionValues &values)
{
    if (FFileDownload *download = downloadWindow()) {
        download->setDownloadMethod(values.downloadMethod);
        download->setProxy(values.proxy);
        download->setMaxFileSizeMB(values.maxFileSizeMB);
    }
}

void ProgramWindows::showCacheViewer(QWidget *parent)
{
    FIEcache viewer(cachePlaces(), prompts(), parent);
    viewer.exec();
}

void ProgramWindows::clearBrowserCache(bool withMessage)
{
    ClearBrowserCache(withMessage, prompts(), cachePlaces());
}

void ProgramWindows::openLatestVersionPage()
{
    OpenProductPage(prompts());
}

} // namespace papyrant
