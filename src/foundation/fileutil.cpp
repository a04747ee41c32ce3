#include "foundation/fileutil.h"

#include <QFileInfo>

namespace papyrant {

namespace {

// A NUL can never be part of a path; Qt would warn about it and the answer is no anyway.
bool usablePath(const QString &path)
{
    return !path.isEmpty() && !path.contains(QChar(0));
}

} // namespace

bool FileExists(const QString &path)
{
    return usablePath(path) && QFileInfo(path).isFile();
}

bool FolderExists(const QString &path)
{
    return usablePath(path) && QFileInfo(path).isDir();
}

} // namespace papyrant
