#pragma once

#include "foundation/programfolder.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

namespace papyrant::test {

// Gives one test its own empty settings store and program data folder, both in a temporary
// folder removed afterwards, so tests neither see each other's values nor the user's.
class TempSettings
{
public:
    TempSettings()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           dir.path() + QStringLiteral("/settings"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           dir.path() + QStringLiteral("/settings"));
        setProgramDataFolderForTesting(dir.path() + QStringLiteral("/program"));
        QDir().mkpath(dataFolder());
    }
    ~TempSettings() { setProgramDataFolderForTesting({}); }
    TempSettings(const TempSettings &) = delete;
    TempSettings &operator=(const TempSettings &) = delete;

    // The program data folder of this test, ending in "/".
    QString dataFolder() const { return dir.path() + QStringLiteral("/program/"); }

private:
    QTemporaryDir dir;
};

} // namespace papyrant::test
