#pragma once

#include "search/serviceprofile.h"

#include <QtGlobal>

namespace papyrant::test {

// A built-in profile by its id; the tests cannot run without it.
inline const ServiceProfile &builtInProfile(const QString &id)
{
    for (const ServiceProfile &p : BuiltInServiceProfiles()) {
        if (p.id == id)
            return p;
    }
    qFatal("no built-in service profile %s", qUtf8Printable(id));
}

// The service of today, and the result pages of before 2022 that most of the search tests were
// written for.
inline const ServiceProfile &researchProfile()
{
    return builtInProfile(QStringLiteral("cinii-research"));
}
inline const ServiceProfile &legacyProfile()
{
    return builtInProfile(QStringLiteral("cinii-articles"));
}

} // namespace papyrant::test
