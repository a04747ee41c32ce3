#include "foundation/makerpages.h"

#include "foundation/settings.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace papyrant {

QString ProjectPage()
{
    return QStringLiteral(PAPYRANT_HOMEPAGE);
}

QString MakerSitePage()
{
    return ProjectPage();
}

QString PartnerSitePage()
{
    return ProjectPage();
}

QString UpdateSiteRoot()
{
    const QString root = GetSetting(setting::UpdateSiteRoot).trimmed();
    if (root.isEmpty())
        return {};
    return root.endsWith(u'/') ? root : root + u'/';
}

QString LatestVersionPage()
{
    QString program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (program.isEmpty())
        program = QStringLiteral("papyrant");
    const QString root = UpdateSiteRoot();
    if (root.isEmpty())
        return ProjectPage();
    return root + program + u'/';
}

QString CustomSoftwarePage()
{
    return ProjectPage();
}

bool IsMakerAddress(const QString &address)
{
    return address.contains(MakerDomain, Qt::CaseInsensitive)
           || address.contains(PartnerDomain, Qt::CaseInsensitive);
}

} // namespace papyrant
