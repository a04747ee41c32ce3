#pragma once

#include <QString>

namespace papyrant {

// The machine-wide entry that tells the desktop's embedded browser engine which standards mode
// a program's pages get. Where the platform has no registry the reads fail, nothing is written,
// and the program's own engine renders in standards mode anyway.
inline constexpr QStringView BrowserEmulationKey =
    u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet "
    u"Explorer\\MAIN\\FeatureControl\\FEATURE_BROWSER_EMULATION";

// The value for a version name ("IE10", "IE9", "IE8", "IE7", any case); 0 for any other name.
quint32 BrowserEmulationValue(const QString &versionName, bool forceStandards);

// Writes the program's entry when the value is above 0 and differs from the stored number; an
// unknown version name deletes the entry. Nothing is reported.
void SetBrowserEmulation(const QString &versionName, bool forceStandards);

} // namespace papyrant
