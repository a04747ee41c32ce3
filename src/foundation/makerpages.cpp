#include "foundation/makerpages.h"

#include "foundation/settings.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace papyrant {

QString MakerSitePage()
{
    return QStringLiteral("https://www.") + MakerDomain + u'/';
}

QString PartnerSitePage()
{
    return QStringLiteral("https://www.") + PartnerDomain + u'/';
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
    return (root.isEmpty() ? MakerSitePage() : root) + program + u'/';
}

QString CustomSoftwarePage()
{
    return MakerSitePage() + QStringLiteral("custom/");
}

bool IsMakerAddress(const QString &address)
{
    return address.contains(MakerDomain, Qt::CaseInsensitive)
           || address.contains(PartnerDomain, Qt::CaseInsensitive);
}

} // namespace papyrant
