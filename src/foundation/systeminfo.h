#pragma once

#include <QString>

namespace papyrant {

class Registry;

// "64" or "32": the word size of the running system (not of this program's build).
QString DetectBitness();

// The operating system in one line: product " 版本:" release " (内部版本:" build ")", for
// example "Debian GNU/Linux 12 (bookworm) 版本:12 (内部版本:6.1.0-27)". The bitness is not in it.
QString OsDescription();
// The fallback when the product name cannot be read.
QString OsNameFromVersion();

// The description from the text of an os-release file and the kernel release; empty when the
// file names no product.
QString OsDescriptionFromOsRelease(const QString &osRelease, const QString &kernelRelease);
// The description from Windows' CurrentVersion key; empty when it has no product name.
QString OsDescriptionFromRegistry(Registry &registry);

// Program-wide values, computed once per run by the cover's load and empty until then
// (SystemBitness is computed on first use when still empty).
QString SystemBitness();
QString SystemDescription();
// Cover load: SystemBitness, then SystemDescription = OsDescription() & "[" & bits & "位]".
void ComputeSystemDescription();
// Tests set the description that the cache viewer tests.
void setSystemDescriptionForTesting(const QString &description);

} // namespace papyrant
