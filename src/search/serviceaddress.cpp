#include "search/serviceaddress.h"

#include <QtGlobal>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

QString ServiceBaseAddress()
{
    // Read each time, so that a test can point it at a server it has just started.
    QString base = qEnvironmentVariable("PAPYRANT_SERVICE_BASE").trimmed();
    if (base.isEmpty())
        base = u"https://ci.nii.ac.jp"_s;
    while (base.endsWith(u'/'))
        base.chop(1);
    return base;
}

QString ServiceHomePage()
{
    return ServiceBaseAddress() + u"/"_s;
}

QString ServiceSearchPage(const QString &encodedKeyword)
{
    // type=1: only entries whose full text the service links to.
    return ServiceBaseAddress() + u"/search?q="_s + encodedKeyword
           + u"&range=0&count=20&sortorder=1&type=1&as_filetype=pdf"_s;
}

} // namespace papyrant
