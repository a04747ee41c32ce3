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

ApiQuery ServiceApiQuery(const ServiceProfile &profile, const QString &keyword)
{
    ApiQuery query;
    query.keyword = keyword;
    if (!profile.api)
        return query;
    const QString openSearch = profile.api->openSearch;
    const qsizetype question = openSearch.indexOf(u'?');
    query.endpoint = ServiceBaseAddress(profile) + openSearch.left(question);
    if (question < 0)
        return query;
    for (const QString &pair : openSearch.mid(question + 1).split(u'&', Qt::SkipEmptyParts)) {
        const auto decoded = [](const QString &text) {
            return QUrl::fromPercentEncoding(QString(text).replace(u'+', u' ').toUtf8());
        };
        const QString name = decoded(pair.section(u'=', 0, 0)).trimmed();
        const QString value = decoded(pair.section(u'=', 1));
        if (name.compare(u"count"_s, Qt::CaseInsensitive) == 0) {
            bool ok = false;
            const int count = value.trimmed().toInt(&ok);
            if (ok)
                query.count = qBound(1, count, 200);
        } else if (!value.contains(u"{keyword}"_s) && !value.contains(u"{start}"_s)) {
            // q, start, format and appid are the query's own; ApiPageAddress leaves them out.
            query.parameters.append({name, value});
        }
    }
    return query;
}

} // namespace papyrant
