#include "app/ui/programwindows.h"

#include "app/options.h"
#include "app/sessionstore.h"
#include "app/ui/fcover.h"
#include "app/ui/foption.h"
#include "app/ui/frmabout.h"
#include "app/updatecheck.h"
#include "app/version.h"
#include "browser/ui/webenginebrowser.h"
#include "download/downloadsession.h"
#include "download/methodone.h"
#include "download/ui/ffiledownload.h"
#include "foundation/programvalues.h"
#include "foundation/settings.h"
#include "foundation/systeminfo.h"
#include "foundation/ui/qtprompts.h"
#include "search/batchsearch.h"
#include "search/searchsession.h"
#include "search/serviceprofile.h"
#include "search/ui/fwebsearch.h"
#include "tools/ui/fiecache.h"
#include "tools/ui/fselefilesavepath.h"
#include "transfer/uxmlhttp.h"

#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QWebEngineProfile>

namespace papyrant {

namespace {

const QString searchWindowName = QStringLiteral("fWebSearch");
const QString downloadWindowName = QStringLiteral("fFileDownload");

// A main window of that name is loaded, other than the one closing (a download window whose
// close was accepted is on its way out).
bool mainWindowLoaded(const QString &name, const QWidget *closing)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget *window : windows) {
        if (window == closing || window->objectName().compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (auto *download = qobject_cast<const FFileDownload *>(window);
            download && download->isUnloaded())
            continue;
        return true;
    }
    return false;
}

} // namespace

ProgramWindows::ProgramWindows(Prompts *prompts, QObject *parent)
    : QObject(parent), m_ownPrompts(prompts ? nullptr : std::make_unique<QtPrompts>()),
      m_prompts(prompts ? prompts : m_ownPrompts.get()),
      m_picker(std::make_unique<QtSaveFolderPicker>(*m_prompts)),
      m_cover(std::make_unique<FCover>())
{
    connect(m_cover.get(), &FCover::searchWindowRequested, this, &ProgramWindows::showSearchWindow);
    connect(m_cover.get(), &FCover::unloading, this, &ProgramWindows::endProgram);
    cachePlaces = [] {
        // Computed by the cover's load; the cache viewer must not go without it.
        if (SystemDescription().isEmpty())
            ComputeSystemDescription();
        CacheViewerPlaces places = CacheViewerPlaces::forThisUser(SystemDescription());
        // Where the engine really writes (the same folder, except in tests).
        places.cacheFolder = QDir(programBrowserProfile()->cachePath()).path() + u'/';
        return places;
    };

    // The cover's request component and the update check that its Timer1 starts.
    m_uXMLHTTP2 = new uXMLHTTP(m_cover.get());
    m_uXMLHTTP2->setObjectName(QStringLiteral("uXMLHTTP2"));
    m_updateCheck = new UpdateCheck(m_uXMLHTTP2, *m_prompts, versionText(), this);
    connect(m_cover.get(), &FCover::updateCheckDue, m_updateCheck, &UpdateCheck::CheckForUpdate);
    connect(m_updateCheck, &UpdateCheck::newVersionFound, m_cover.get(), &FCover::showNewVersion);
    connect(m_cover.get(), &FCover::label3Clicked, this, &ProgramWindows::openLatestVersionPage);
}

ProgramWindows::~ProgramWindows()
{
    m_ending = true;
    // What changed last is written before the lists go.
    if (m_store)
        m_store->flush();
    // The windows go before the browser profile they use.
    delete m_search.data();
    delete m_download.data();
}

QString ProgramWindows::defaultSessionFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + u'/';
}

void ProgramWindows::startSession(const QString &folder)
{
    m_store = std::make_unique<SessionStore>(folder);
    if (!m_store->isOpen()) {
        qWarning("session store: %s", qUtf8Printable(m_store->error()));
        return;
    }
    const std::optional<SavedSession> saved = askToRestore(*m_store, *m_prompts);
    if (!saved)
        return;
    if (!saved->queue.isEmpty())
        showDownloadWindow();
    if (!saved->search.isEmpty())
        showSearchWindow();
}

void ProgramWindows::attachDownloadWindow()
{
    if (!m_store || !m_store->isOpen())
        return;
    DownloadQueue &queue = m_download->queue();
    SavedSession saved = m_store->load();
    queue.beginBatch();
    for (QueueRow &row : saved.queue)
        queue.append(std::move(row));
    queue.endBatch();
    m_store->attachQueue(&queue);
}

void ProgramWindows::attachSearchWindow()
{
    if (!m_store || !m_store->isOpen())
        return;
    SearchSession &session = m_search->session();
    const SavedSession saved = m_store->load();
    session.list().addRows(saved.search);
    emit session.countChanged(session.list().count());
    auto *keywords = m_search->findChild<QPlainTextEdit *>(QStringLiteral("Text1"));
    if (keywords && !saved.batchKeywords.isEmpty())
        keywords->setPlainText(saved.batchKeywords);
    if (!saved.batchProgress.isEmpty())
        m_search->batch().restoreLog(saved.batchProgress);
    m_search->setSavedPosition(m_store->walkPosition());

    m_store->attachSearchList(&session.list());
    SessionStore *store = m_store.get();
    if (keywords) {
        connect(keywords, &QPlainTextEdit::textChanged, store,
                [store, keywords] { store->setBatchKeywords(keywords->toPlainText()); });
    }
    connect(&m_search->batch(), &BatchSearch::progressLogChanged, store,
            &SessionStore::setBatchProgress);
    connect(&m_search->walk(), &AddAllWalk::positionChanged, store, &SessionStore::setWalkPosition);
}

FWebSearch *ProgramWindows::searchWindow() const
{
    return m_search && !m_search->isClosed() ? m_search.data() : nullptr;
}

void ProgramWindows::showSearchWindow()
{
    if (!searchWindow()) {
        SearchWindowCalls calls;
        calls.showDownloadWindow = [this] { showDownloadWindow(); };
        calls.showOptions = [this] { showOptions(m_search); };
        calls.showCacheViewer = [this] { showCacheViewer(m_search); };
        calls.clearBrowserCache = [this] { clearBrowserCache(true); };
        calls.showLatestVersion = [this] { openLatestVersionPage(); };
        calls.showAbout = [this] {
            FrmAbout about(*m_prompts, m_search);
            about.exec();
        };
        calls.showUsage = [this] {
            FUse usage(m_search);
            usage.exec();
        };
        calls.showCoverIfNoDownloadWindow = [this] { showCoverIfNoMainWindow(m_search); };
        m_search = new FWebSearch(m_savePath, *m_prompts, *m_picker, *this, std::move(calls));
        m_search->setWindowIcon(m_cover->windowIcon());
        attachSearchWindow();
    }
    m_search->show();
    m_search->raise();
    m_search->activateWindow();
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
    hooks.showSearchWindow = [this] { showSearchWindow(); };
    hooks.showOptions = [this] { showOptions(m_download); };
    hooks.showLatestVersion = [this] { openLatestVersionPage(); };
    hooks.showAbout = [this] {
        FrmAbout about(*m_prompts, m_download);
        about.exec();
    };
    hooks.clearBrowserCache = [this] { clearBrowserCache(false); }; // the window tells the user
    hooks.showCover = [this] { showCoverIfNoMainWindow(m_download); };
    // The real dialogs of the download window are modal to it.
    m_download = new FFileDownload(std::move(hooks), m_ownPrompts ? nullptr : m_prompts);
    m_download->setWindowIcon(m_cover->windowIcon());
    attachDownloadWindow();
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

void ProgramWindows::showCoverIfNoMainWindow(const QWidget *closing)
{
    if (m_ending)
        return;
    if (!mainWindowLoaded(searchWindowName, closing)
        && !mainWindowLoaded(downloadWindowName, closing))
        m_cover->showCentredOn(closing ? closing->screen() : nullptr);
}

void ProgramWindows::showOptions(QWidget *parent)
{
    // The open download window's values are the ones in force; the store has them only from
    // its last close (the method switch and the thread box are saved there).
    OptionValues values = LoadOptionValues();
    if (FFileDownload *download = downloadWindow()) {
        values.downloadMethod = download->session().method;
        values.proxy = download->methodOne().proxy;
        values.maxFileSizeMB = download->session().options.maxFileSizeMB;
        values.perHostLimit = download->session().options.perHostLimit;
    }
    FOption dialog(
        values, *m_prompts, [this](const OptionValues &v) { applyOptions(v); }, parent);
    dialog.exec();
}

void ProgramWindows::applyOptions(const OptionValues &values)
{
    setMaxFileSizeMB(values.maxFileSizeMB);
    m_savePath.PromptSavePathOnExtract = values.promptSavePathOnExtract;
    // The search window reads the chosen service's rules, as the file has them now, from its
    // next page on.
    if (FWebSearch *search = searchWindow())
        search->session().setProfile(
            LoadServiceProfiles(settingsFolder()).chosen(values.serviceProfile));
    if (FFileDownload *download = downloadWindow()) {
        download->setDownloadMethod(values.downloadMethod);
        download->setProxy(values.proxy);
        download->setMaxFileSizeMB(values.maxFileSizeMB);
        download->setPerHostLimit(values.perHostLimit);
    }
}

void ProgramWindows::showCacheViewer(QWidget *parent)
{
    FIEcache viewer(cachePlaces(), *m_prompts, parent);
    viewer.exec();
}

void ProgramWindows::clearBrowserCache(bool withMessage)
{
    ClearBrowserCache(withMessage, *m_prompts, cachePlaces());
}

void ProgramWindows::openLatestVersionPage()
{
    OpenProductPage(*m_prompts);
}

void ProgramWindows::endProgram()
{
    if (m_ending)
        return;
    m_ending = true;
    m_cover->hide();
    clearBrowserCache(false);
    // The engine may still write entries while the program ends; what is left goes once the
    // profile, the last user of its files, is gone. The same guarded clearing: a cache folder
    // that has become a link is not followed.
    connect(programBrowserProfile(), &QObject::destroyed,
            [places = cachePlaces()] { ClearOwnBrowserCache(places); });
    if (m_search)
        m_search->close();
    if (m_download)
        m_download->closeWithoutQuestion();
    QApplication::quit();
}

} // namespace papyrant
