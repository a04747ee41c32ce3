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

// Puts a site in place of the service (PAPYRANT_SERVICE_BASE) while it lives, as the fixture
// site does for its server, for tests over pages held in memory.
class ServiceBase
{
public:
    explicit ServiceBase(const QString &base)
        : m_had(qEnvironmentVariableIsSet("PAPYRANT_SERVICE_BASE")),
          m_previous(qgetenv("PAPYRANT_SERVICE_BASE"))
    {
        qputenv("PAPYRANT_SERVICE_BASE", base.toUtf8());
    }
    ~ServiceBase()
    {
        if (m_had)
            qputenv("PAPYRANT_SERVICE_BASE", m_previous);
        else
            qunsetenv("PAPYRANT_SERVICE_BASE");
    }
    ServiceBase(const ServiceBase &) = delete;
    ServiceBase &operator=(const ServiceBase &) = delete;

private:
    bool m_had;
    QByteArray m_previous;
};

} // namespace papyrant::test
