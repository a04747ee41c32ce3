#pragma once

#include <QString>

namespace papyrant {

// The program's own version, three numbers, from the build.
inline QString versionText()
{
    return QString::number(PAPYRANT_VERSION_MAJOR) + u'.' + QString::number(PAPYRANT_VERSION_MINOR)
           + u'.' + QString::number(PAPYRANT_VERSION_PATCH);
}

} // namespace papyrant
