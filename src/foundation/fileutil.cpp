#include "foundation/fileutil.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace papyrant {

namespace {

// A NUL can never be part of a path; Qt would warn about it and the answer is no anyway.
bool usablePath(const QString &path)
{
    return !path.isEmpty() && !path.contains(QChar(0));
}

bool isAscii(const char *data, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        if (static_cast<unsigned char>(data[i]) >= 0x80)
            return false;
    return true;
}

} // namespace

QString FindFileIgnoringCase(const QString &path)
{
    if (FileExists(path))
        return path;
#if defined(Q_OS_WIN)
    return {}; // the file system ignores case already
#else
    if (!usablePath(path))
        return {};
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString folder = path.left(slash + 1);
    const QString name = path.mid(slash + 1);
    if (name.isEmpty())
        return {};
    const QByteArray wanted = QFile::encodeName(name);
    const bool wantedAscii = isAscii(wanted.constData(), size_t(wanted.size()));
    std::error_code error;
    std::filesystem::directory_iterator it(
        folder.isEmpty() ? std::filesystem::path(".")
                         : std::filesystem::path(QFile::encodeName(folder).toStdString()),
        error);
    // Names are compared as bytes first (ASCII letters folded), which settles every ASCII name
    // without decoding it; only names with other characters are compared as text.
    for (const std::filesystem::directory_entry &entry : it) {
        const std::filesystem::path file = entry.path().filename();
        const std::string &candidate = file.native();
        bool same = candidate.size() == size_t(wanted.size())
                    && qstrnicmp(candidate.data(), wanted.constData(), candidate.size()) == 0;
        if (!same && !(wantedAscii && isAscii(candidate.data(), candidate.size())))
            same = QFile::decodeName(QByteArray::fromStdString(candidate))
                       .compare(name, Qt::CaseInsensitive)
                   == 0;
        if (same) {
            const QString found = folder + QFile::decodeName(QByteArray::fromStdString(candidate));
            if (FileExists(found))
                return found;
        }
    }
    return {};
#endif
}

bool FileExists(const QString &path)
{
    return usablePath(path) && QFileInfo(path).isFile();
}

bool FolderExists(const QString &path)
{
    return usablePath(path) && QFileInfo(path).isDir();
}

} // namespace papyrant
