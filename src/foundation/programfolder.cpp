#include "foundation/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

QString &pinnedFolder()
{
    static QString folder;
    return folder;
}

QString withSlash(QString folder)
{
    folder = QDir::fromNativeSeparators(folder);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

} // namespace

bool IsSystemProgramFolder(const QString &folder)
{
#ifdef Q_OS_WIN
    Q_UNUSED(folder);
    return false;
#else
    const QString path = withSlash(QDir::cleanPath(folder));
    for (const QString &system : {u"/usr/"_s, u"/opt/"_s, u"/bin/"_s, u"/sbin/"_s, u"/snap/"_s})
        if (path.startsWith(system))
            return true;
    return false;
#endif
}

QString ProgramDataFolder()
{
    if (!pinnedFolder().isEmpty())
        return pinnedFolder();
    // An installed program usually may not write beside itself; the per-user folder then
    // takes the files that would have gone there. Run by root, it could, but the system's
    // program folders are no place for a user's folder history.
    const QString exeFolder = QCoreApplication::applicationDirPath();
    if (!exeFolder.isEmpty() && QFileInfo(exeFolder).isWritable()
        && !IsSystemProgramFolder(exeFolder))
        return withSlash(exeFolder);
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(userFolder);
    return withSlash(userFolder);
}

void setProgramDataFolderForTesting(const QString &folder)
{
    pinnedFolder() = folder.isEmpty() ? QString() : withSlash(folder);
}

QString FolderHistoryPath()
{
    return ProgramDataFolder() + u"SaveList.dat"_s;
}

} // namespace papyrant
