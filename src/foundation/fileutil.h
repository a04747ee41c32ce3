#pragma once

#include <QString>

namespace papyrant {

// True when a file (not a folder) exists at path; hidden and read-only files count. False for
// an empty path, a folder, a broken link and on any error.
bool FileExists(const QString &path);

// True when a folder exists at path. False for an empty path, a file and on any error.
bool FolderExists(const QString &path);

} // namespace papyrant
