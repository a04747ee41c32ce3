#include "tools/cacheviewer.h"

#include "foundation/contenttype.h"
#include "foundation/filenames.h"
#include "foundation/fileutil.h"
#include "foundation/prompts.h"
#include "foundation/shell.h"
#include "tools/simplecache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

const QString MyCache = u"我的缓存"_s;
const QString AllCaches = u"所有缓存"_s;
const QString UserPrefix = u"用户:"_s;

QString withSlash(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

bool isDriveRoot(const QString &folder)
{
    return folder == u"/"_s || (folder.size() == 3 && folder[1] == u':' && folder[2] == u'/');
}

// The walk of ListFolders and ListFiles.
void walk(const QString &root, QStringList &list, bool recursive, bool wantFolders)
{
    const QString start = QDir::fromNativeSeparators(root);
    if (start.isEmpty() || !QDir::isAbsolutePath(start))
        return;
    const QString folder = withSlash(start);
    const QFileInfo here(folder);
    if (!here.isDir())
        return;
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QStringList subFolders;
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (entry.isSymLink() || name.compare(u"pagefile.sys"_s, Qt::CaseInsensitive) == 0)
            continue;
        if (entry.isDir()) {
            if (isDriveRoot(folder) && name.compare(u"RECYCLER"_s, Qt::CaseInsensitive) == 0)
                continue;
            subFolders << folder + name;
            if (wantFolders)
                list << folder + name;
        } else if (!wantFolders) {
            list << folder + name;
        }
    }
    if (recursive) {
        for (const QString &sub : std::as_const(subFolders))
            walk(sub, list, true, wantFolders);
    }
}

const QString &cellText(const CacheRow &row, int column)
{
    switch (column) {
    case CacheList::Url: return row.url;
    case CacheList::Type: return row.type;
    case CacheList::Size: return row.size;
    default: return row.filePath;
    }
}

QString sizeText(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() ? QString::number(info.size()) : QString();
}

} // namespace

// ---- the list ------------------------------------------------------------------------------

int CacheList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CacheList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CacheList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || role != Qt::DisplayRole)
        return {};
    if (index.column() == FilePath)
        return QDir::toNativeSeparators(m_rows[index.row()].filePath);
    return cellText(m_rows[index.row()], index.column());
}

QVariant CacheList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const QString headers[] = {u"URL"_s, u"TYPE"_s, u"SIZE(Byte)"_s, u"FilePath"_s};
    return section >= 0 && section < ColumnCount ? headers[section] : QVariant();
}

void CacheList::setRows(QList<CacheRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void CacheList::appendRows(const QList<CacheRow> &rows)
{
    if (rows.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + rows.size() - 1));
    m_rows += rows;
    endInsertRows();
}

void CacheList::sortByClick(int column)
{
    if (column < 0 || column >= ColumnCount)
        return;
    m_descending = !m_descending;
    const auto less = [&](const CacheRow &a, const CacheRow &b) {
        if (column == Size) // by value; an empty size comes first
            return a.size.toLongLong() < b.size.toLongLong()
                   || (a.size.isEmpty() && !b.size.isEmpty());
        return cellText(a, column).compare(cellText(b, column), Qt::CaseInsensitive) < 0;
    };
    beginResetModel();
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](const CacheRow &a, const CacheRow &b) {
        return m_descending ? less(b, a) : less(a, b);
    });
    endResetModel();
}

// ---- places --------------------------------------------------------------------------------

CacheViewerPlaces CacheViewerPlaces::forThisUser(const QString &systemDescription)
{
    CacheViewerPlaces places;
    places.cacheFolder = InternetCacheFolder();
    places.homeFolder = QDir::homePath();
    places.systemDescription = systemDescription;
    const QString cache = places.cacheFolder;
    places.userProfiles = [systemDescription, cache] {
        return SystemUserProfiles(systemDescription, cache);
    };
    return places;
}

// ---- the viewer ----------------------------------------------------------------------------

CacheViewer::CacheViewer(CacheViewerPlaces places, const QString &extractFolder)
    : m_places(std::move(places)), m_extractFolder(extractFolder)
{}

void CacheViewer::查看我的缓存()
{
    GetCacheURLList();
    m_list.tag = MyCache;
}

void CacheViewer::查看所有用户缓存()
{
    m_list.clear();
    FindUserCacheFolders();
    for (const UserProfile &user : std::as_const(m_userCaches))
        ListUserCacheFiles(user.folder, user.name);
    m_label1 = u"共有"_s + QString::number(m_list.rowCount()) + u" 个文件"_s;
    m_list.tag = AllCaches;
}

void CacheViewer::GetCacheURLList()
{
    m_list.clear();
    const QString folder = m_places.cacheFolder;
    const QFileInfo info(folder);
    // A cache that was never made is empty; one that cannot be read is an error.
    if (info.exists() && (!info.isDir() || !info.isReadable() || !info.isExecutable())) {
        m_label1 = u"出错!!!共有0 个文件"_s;
        return;
    }
    const QList<SimpleCacheEntry> entries = ListSimpleCacheEntries(folder);
    QList<CacheRow> rows;
    rows.reserve(entries.size());
    for (const SimpleCacheEntry &entry : entries) {
        CacheRow row{entry.url, UrlFileExtension(entry.url), {}, {}, entry.entryFile};
        // The body as a file of its own; an entry whose body cannot be had keeps neither.
        const QString path = extractBody(entry);
        if (!path.isEmpty()) {
            row.filePath = path;
            row.size = sizeText(path);
        }
        rows.append(row);
    }
    m_list.setRows(rows);
    m_label1 = u"共有"_s + QString::number(rows.size()) + u" 个文件"_s;
}

QString CacheViewer::extractBody(const SimpleCacheEntry &entry)
{
    if (m_extractFolder.isEmpty())
        return {};
    const QFileInfo source(entry.entryFile);
    const Extracted known = m_extracted.value(entry.entryFile);
    if (!known.path.isEmpty() && known.size == source.size()
        && known.modified == source.lastModified().toMSecsSinceEpoch() && FileExists(known.path))
        return known.path;
    // One folder per entry, so that every body keeps the name its URL gives it.
    const QString folder = withSlash(m_extractFolder) + source.fileName().chopped(2) + u'/';
    if (!QDir().mkpath(folder))
        return {};
    const QString path = folder + CacheBodyFileName(entry.url, entry.header("Content-Type"));
    if (!ExtractSimpleCacheBody(entry, path))
        return {};
    m_extracted.insert(entry.entryFile,
                       {source.size(), source.lastModified().toMSecsSinceEpoch(), path});
    return path;
}

void CacheViewer::FindUserCacheFolders()
{
    const QString cache = QDir::cleanPath(QDir::fromNativeSeparators(m_places.cacheFolder));
    const QString home = QDir::cleanPath(QDir::fromNativeSeparators(m_places.homeFolder));
    m_cacheFolders.clear();
    m_userFolders.clear();
    m_userCaches.clear();
    m_userFolders = m_places.userProfiles ? m_places.userProfiles() : QList<UserProfile>();

    // Every user keeps the cache at the same place in the home folder as this user. A cache
    // outside the home has no counterpart elsewhere: only this user's is looked at then.
    QString subPath;
    if (!home.isEmpty() && cache.startsWith(home + u'/', Qt::CaseInsensitive))
        subPath = cache.mid(home.size()); // "/.cache/..."
    QList<UserProfile> found;
    if (subPath.isEmpty()) {
        QString name = QDir(home).dirName();
        for (const UserProfile &user : std::as_const(m_userFolders)) {
            if (QDir::cleanPath(user.folder) == home)
                name = user.name;
        }
        if (FolderExists(cache))
            found.append({name, cache});
    } else {
        for (const UserProfile &user : std::as_const(m_userFolders)) {
            const QString folder = QDir::cleanPath(user.folder) + subPath;
            if (FolderExists(folder))
                found.append({user.name, folder});
        }
    }
    for (const UserProfile &user : std::as_const(found)) {
        m_userCaches.append(user);
        ListFolders(user.folder, m_cacheFolders, true);
    }
}

void CacheViewer::ListUserCacheFiles(const QString &cacheFolder, const QString &userName)
{
    QStringList files;
    ListFiles(cacheFolder, files, true);
    QList<CacheRow> rows;
    rows.reserve(files.size());
    for (const QString &file : std::as_const(files))
        rows.append({UserPrefix + userName, UrlFileExtension(file), sizeText(file), file, {}});
    m_list.appendRows(rows);
}

int CacheViewer::deleteRow(const CacheRow &row)
{
    if (row.url.startsWith(UserPrefix)) {
        // Text files are cookies: they stay.
        if (row.filePath.isEmpty() || row.type.toLower() == u"txt"_s)
            return 0;
        const QFileInfo info(row.filePath);
        if (!info.exists() && !info.isSymLink())
            return 1;
        强制删除(row.filePath);
        return 0;
    }
    if (row.url.isEmpty() || row.url.contains(u"Cookie"_s, Qt::CaseInsensitive))
        return 0;
    int gone = 0;
    if (!row.entryFile.isEmpty()) {
        const QString stem = row.entryFile.chopped(1);
        bool any = false;
        for (const QString &suffix : {u"0"_s, u"1"_s, u"s"_s}) {
            if (QFileInfo(stem + suffix).isFile()) {
                any = true;
                强制删除(stem + suffix);
            }
        }
        if (!any)
            gone = 1;
        m_extracted.remove(row.entryFile);
    }
    if (!row.filePath.isEmpty()) {
        强制删除(row.filePath);
        // The body's own folder, made for it by the viewer.
        if (!m_extractFolder.isEmpty() && row.filePath.startsWith(withSlash(m_extractFolder)))
            QDir().rmdir(QFileInfo(row.filePath).absolutePath());
    }
    return gone;
}

int CacheViewer::全部删除()
{
    int gone = 0;
    for (const CacheRow &row : m_list.rows())
        gone += deleteRow(row);
    删除空文件夹();
    refreshView();
    return gone;
}

int CacheViewer::删除所选文件(const QList<int> &rows)
{
    int gone = 0;
    const QList<CacheRow> all = m_list.rows();
    for (int i : rows) {
        if (i >= 0 && i < all.size())
            gone += deleteRow(all[i]);
    }
    删除空文件夹();
    refreshView();
    return gone;
}

QStringList CacheViewer::selectedFiles(const QList<int> &rows) const
{
    QList<int> ordered = rows;
    std::sort(ordered.begin(), ordered.end());
    QStringList files;
    for (int i : std::as_const(ordered)) {
        if (i >= 0 && i < m_list.rows().size() && !m_list.rows()[i].filePath.isEmpty())
            files << m_list.rows()[i].filePath;
    }
    return files;
}

void CacheViewer::删除空文件夹()
{
    // Last first, so that sub-folders go before their parents; a folder not empty stays.
    for (auto it = m_cacheFolders.crbegin(); it != m_cacheFolders.crend(); ++it) {
        if (it->isEmpty())
            continue;
        const QFileInfo info(*it);
        if (!info.isDir() || info.isSymLink())
            continue;
        QFile::setPermissions(*it, info.permissions() | QFileDevice::WriteOwner
                                       | QFileDevice::ExeOwner | QFileDevice::ReadOwner);
        QDir().rmdir(*it);
    }
}

void CacheViewer::refreshView()
{
    if (m_list.tag == MyCache)
        查看我的缓存();
    else if (m_list.tag == AllCaches)
        查看所有用户缓存();
}

// ---- helpers -------------------------------------------------------------------------------

void ListFolders(const QString &root, QStringList &list, bool recursive)
{
    walk(root, list, recursive, true);
}

void ListFiles(const QString &root, QStringList &list, bool recursive)
{
    walk(root, list, recursive, false);
}

bool 强制删除(const QString &path)
{
    const QFileInfo info(path);
    // A link is removed itself; its target is never touched.
    if (!info.isSymLink() && info.isFile())
        QFile::setPermissions(path, info.permissions() | QFileDevice::WriteOwner);
    return QFile::remove(path);
}

QString CacheBodyFileName(const QString &url, const QByteArray &contentType)
{
    QString name = CleanFileName(QUrl(url).fileName());
    if (name.trimmed().isEmpty())
        name = u"index"_s;
    if (SplitNameAndExtension(name).extension.isEmpty()) {
        const QString extension = ExtensionForContentType(QString::fromLatin1(contentType));
        if (!extension.isEmpty())
            name += u'.' + extension;
    }
    return name;
}

void ClearBrowserCache(bool showReport, Prompts &prompts, const CacheViewerPlaces &places)
{
    CacheViewer viewer(places, QString());
    viewer.查看我的缓存();
    viewer.全部删除();
    viewer.查看所有用户缓存();
    viewer.全部删除();
    if (showReport)
        prompts.message(u"IE缓存清空完毕！"_s, Prompts::Icon::Information);
}

} // namespace papyrant
