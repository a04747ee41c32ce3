#include "app/ui/programwindows.h"

#include "app/ui/fcover.h"
#include "foundation/ui/windowplacement.h"

namespace papyrant {

ProgramWindows::ProgramWindows(QObject *parent)
    : QObject(parent), m_cover(std::make_unique<FCover>())
{}

ProgramWindows::~ProgramWindows() = default;

void ProgramWindows::showCoverIfNoMainWindow()
{
    if (!IsWindowLoaded(QStringLiteral("fWebSearch"))
        && !IsWindowLoaded(QStringLiteral("fFileDownload")))
        m_cover->show();
}

} // namespace papyrant
