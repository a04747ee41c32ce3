#include "app/ui/programwindows.h"

#include "app/ui/fcover.h"
#include "app/ui/frmabout.h"
#include "download/downloadqueue.h"
#include "foundation/ui/qtprompts.h"
#include "foundation/ui/windowplacement.h"
#include "search/downloadqueueowner.h"
#include "search/ui/fwebsearch.h"
#include "search/ui/webenginebrowser.h"
#include "tools/ui/fselefilesavepath.h"

#include <QApplication>
#include <QDir>
#include <QWebEngineProfile>

namespace papyrant {

namespace {

// Until the download window takes the hand-off: a queue without a window.
class QueueWithoutWindow : public DownloadQueueOwner
{
public:
    void ensureLoaded() override
    {
        if (!m_queue)
            m_queue = std::make_unique<DownloadQueue>();
    }
    bool isLoaded() const override { return bool(m_queue); }
    DownloadQueue *queue() override { return m_queue.get(); }
    void redrawAndShow(bool) override {}

private:
    std::unique_ptr<DownloadQueue> m_queue;
};

const QString searchWindowName = QStringLiteral("fWebSearch");
const QString downloadWindowName = QStringLiteral("fFileDownload");

// A main window of that name is loaded, other than the one closing.
bool mainWindowLoaded(const QString &name, const QWidget *closing)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget *window : windows) {
        if (window != closing && window->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

ProgramWindows::ProgramWindows(Prompts *prompts, QObject *parent)
    : QObject(parent), m_ownPrompts(prompts ? nullptr : std::make_unique<QtPrompts>()),
      m_prompts(prompts ? prompts : m_ownPrompts.get()),
      m_picker(std::make_unique<QtSaveFolderPicker>(*m_prompts)),
      m_queueOwner(std::make_unique<QueueWithoutWindow>()), m_cover(std::make_unique<FCover>())
{
    connect(m_cover.get(), &FCover::searchWindowRequested, this, &ProgramWindows::showSearchWindow);
    connect(m_cover.get(), &FCover::unloading, this, &ProgramWindows::endProgram);
}

ProgramWindows::~ProgramWindows()
{
    m_ending = true;
    // The windows go before the browser profile they use.
    delete m_search.data();
}

FWebSearch *ProgramWindows::searchWindow() const
{
    return m_search && !m_search->isClosed() ? m_search.data() : nullptr;
}

void ProgramWindows::showSearchWindow()
{
    if (!searchWindow()) {
        SearchWindowCalls calls;
        calls.clearBrowserCache = [this] { clearBrowserCache(true); };
        calls.showAbout = [this] {
            FrmAbout about(*m_prompts, m_search);
            about.exec();
        };
        calls.showUsage = [this] {
            FUse usage(m_search);
            usage.exec();
        };
        calls.showCoverIfNoDownloadWindow = [this] { showCoverIfNoMainWindow(m_search); };
        m_search = new FWebSearch(m_savePath, *m_prompts, *m_picker, *m_queueOwner,
                                  std::move(calls));
        m_search->setWindowIcon(m_cover->windowIcon());
    }
    m_search->show();
    m_search->raise();
    m_search->activateWindow();
}

void ProgramWindows::showCoverIfNoMainWindow(const QWidget *closing)
{
    if (m_ending)
        return;
    if (!mainWindowLoaded(searchWindowName, closing) && !mainWindowLoaded(downloadWindowName, closing))
        m_cover->show();
}

void ProgramWindows::clearBrowserCache(bool withMessage)
{
    programBrowserProfile()->clearHttpCache();
    if (withMessage)
        m_prompts->message(QStringLiteral("IE缓存清空完毕！"), Prompts::Icon::Information);
}

void ProgramWindows::endProgram()
{
    if (m_ending)
        return;
    m_ending = true;
    m_cover->hide();
    clearBrowserCache(false);
    // The engine clears in the background and may not be done when the program ends; what is
    // left goes with the folder once the profile, the last user of its files, is gone.
    QWebEngineProfile *profile = programBrowserProfile();
    connect(profile, &QObject::destroyed, [folder = profile->cachePath()] {
        if (!folder.isEmpty())
            QDir(folder).removeRecursively();
    });
    if (m_search)
        m_search->close();
    QApplication::quit();
}

} // namespace papyrant
