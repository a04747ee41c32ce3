#include "app/ui/programwindows.h"

#include "app/options.h"
#include "app/ui/fcover.h"
#include "app/ui/foption.h"
#include "app/updatecheck.h"
#include "app/version.h"
#include "foundation/systeminfo.h"
#include "foundation/ui/qtprompts.h"
#include "foundation/ui/windowplacement.h"
#include "tools/ui/fiecache.h"
#include "transfer/uxmlhttp.h"

#include <QApplication>
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

ProgramWindows::~ProgramWindows() = default;

Prompts &ProgramWindows::prompts() const
{
    return m_prompts ? *m_prompts : *m_qtPrompts;
}

void ProgramWindows::showCoverIfNoMainWindow()
{
    if (!IsWindowLoaded(QStringLiteral("fWebSearch"))
        && !IsWindowLoaded(QStringLiteral("fFileDownload")))
        m_cover->show();
}

void ProgramWindows::showOptions(QWidget *parent)
{
    FOption dialog(LoadOptionValues(), prompts(),
                   [this](const OptionValues &values) { applyOptions(values); }, parent);
    dialog.exec();
}

void ProgramWindows::applyOptions(const OptionValues &values)
{
    Q_UNUSED(values)
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
