#include "app/ui/programwindows.h"

#include "app/ui/fcover.h"
#include "download/ui/ffiledownload.h"
#include "foundation/ui/windowplacement.h"
#include "search/ui/webenginebrowser.h"

#include <QWebEngineProfile>

namespace papyrant {

ProgramWindows::ProgramWindows(Prompts *prompts, QObject *parent)
    : QObject(parent), m_cover(std::make_unique<FCover>()), m_prompts(prompts)
{}

ProgramWindows::~ProgramWindows()
{
    delete m_download.data();
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
    // The search window, the options dialog and the about box come with their own windows.
    hooks.clearBrowserCache = [] { programBrowserProfile()->clearHttpCache(); };
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

} // namespace papyrant
