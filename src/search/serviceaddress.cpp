#include "search/serviceaddress.h"

#include "search/serviceprofile.h"

#include <QUrl>
#include <QtGlobal>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

QString ServiceBaseAddress(const ServiceProfile &profile)
{
    // Read each time, so that a test can point it at a server it has just started.
    QString base = qEnvironmentVariable("PAPYRANT_SERVICE_BASE").trimmed();
    if (base.isEmpty())
        base = profile.base;
    while (base.endsWith(u'/'))
        base.chop(1);
    return base;
}

QString ServiceHomePage(const ServiceProfile &profile)
{
    return ServiceBaseAddress(profile) + profile.home;
}

QString ServiceSearchPage(const ServiceProfile &profile, const QString &encodedKeyword)
{
    QString search = profile.search;
    search.replace(u"{keyword}"_s, encodedKeyword);
    return ServiceBaseAddress(profile) + search;
}

bool IsServiceSearchAddress(const ServiceProfile &profile, const QString &address)
{
    const QUrl url(address);
    const QUrl base(ServiceBaseAddress(profile));
    if (url.host().compare(base.host(), Qt::CaseInsensitive) != 0
        || url.port(url.scheme() == u"https" ? 443 : 80)
               != base.port(base.scheme() == u"https" ? 443 : 80))
        return false;
    const QString path = url.path();
    for (const QString &prefix : profile.blocked.searchPaths) {
        QString p = prefix;
        while (p.size() > 1 && p.endsWith(u'/'))
            p.chop(1);
        if (path == p || path.startsWith(p.endsWith(u'/') ? p : p + u'/'))
            return true;
    }
    return false;
}

} // namespace papyrant
