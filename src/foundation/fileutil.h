#pragma once

#include <QString>

namespace papyrant {

// True when a file (not a folder) exists at path; hidden and read-only files count. False for
// an empty path, a folder, a broken link and on any error.
bool FileExists(const QString &path);

// The file at path, or else a file in the same folder whose name differs from it only in
// letter case: on a file system that tells case apart, "N.PDF" and "N.pdf" are still one name
// for the download rules, as they are on Windows. Empty when there is neither.
QString FindFileIgnoringCase(const QString &path);

// True when a folder exists at path. False for an empty path, a file and on any error.
bool FolderExists(const QString &path);

} // namespace papyrant
