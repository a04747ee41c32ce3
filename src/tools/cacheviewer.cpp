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
#include <QPair>
#include <QUrl>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

const QString MyCache = u"我的缓存"_s;
const QString AllCaches = u"所有缓存"_s;
const QString UserPrefix = u"用户:"_s;

bool isDriveRoot(const QString &folder)
{
    return folder == u"/"_s || (folder.size() == 3 && folder[1] == u':' && folder[2] == u'/');
}

bool passedOver(const QString &relative, bool folder, bool driveRoot)
{
    const QString name = relative.mid(relative.lastIndexOf(u'/') + 1);
    if (name.compare(u"pagefile.sys"_s, Qt::CaseInsensitive) == 0)
        return true;
    return folder && driveRoot && !relative.contains(u'/')
           && name.compare(u"RECYCLER"_s, Qt::CaseInsensitive) == 0;
}

// The entries under a cache folder, as ListFolders and ListFiles walk them; a folder passed
// over is not entered either.
QList<GuardedEntry> walk(const GuardedFolder &folder, bool recursive)
{
    const bool driveRoot = isDriveRoot(folder.path());
    QList<GuardedEntry> out;
    QStringList skipped; // folders passed over: their contents go too
    for (const GuardedEntry &entry : WalkGuardedFolder(folder, recursive)) {
        if (std::any_of(skipped.cbegin(), skipped.cend(),
                        [&](const QString &prefix) { return entry.relative.startsWith(prefix); }))
            continue;
        if (passedOver(entry.relative, entry.folder, driveRoot)) {
            if (entry.folder)
                skipped << entry.relative + u'/';
            continue;
        }
        out << entry;
    }
    return out;
}

void walkPaths(const QString &root, QStringList &list, bool recursive, bool wantFolders)
{
    const QString start = QDir::fromNativeSeparators(root);
    if (start.isEmpty() || !QDir::isAbsolutePath(start))
        return;
    const GuardedFolder folder{start, {}, -1};
    const QString prefix = folder.path();
    for (const GuardedEntry &entry : walk(folder, recursive)) {
        if (entry.folder == wantFolders)
            list << prefix + entry.relative;
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

QStringList chainOf(const QString &subPath)
{
    return subPath.split(u'/', Qt::SkipEmptyParts);
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

GuardedFolder OwnCacheFolder(const CacheViewerPlaces &places)
{
    const QString cache = QDir::cleanPath(QDir::fromNativeSeparators(places.cacheFolder));
    const QString home = QDir::cleanPath(QDir::fromNativeSeparators(places.homeFolder));
    if (!places.homeFolder.isEmpty() && cache.startsWith(home + u'/', Qt::CaseInsensitive))
        return {home, chainOf(cache.mid(home.size())), CurrentUserId()};
    return {cache, {}, CurrentUserId()};
}

// ---- the viewer ----------------------------------------------------------------------------

CacheViewer::CacheViewer(CacheViewerPlaces places) : m_places(std::move(places))
{
    m_folders << OwnCacheFolder(m_places);
}

void CacheViewer::查看我的缓存()
{
    GetCacheURLList();
    m_list.tag = MyCache;
}

void CacheViewer::查看所有用户缓存()
{
    m_list.clear();
    FindUserCacheFolders();
    for (int i = 0; i < m_userCaches.size(); ++i)
        ListUserCacheFiles(i + 1, m_userCaches[i].name);
    m_label1 = u"共有"_s + QString::number(m_list.rowCount()) + u" 个文件"_s;
    m_list.tag = AllCaches;
}

void CacheViewer::GetCacheURLList()
{
    m_list.clear();
    const GuardedFolder &own = m_folders[0];
    // A cache that was never made is empty; one that cannot be read, or is reached through a
    // link, is an error.
    const GuardedResult reach = CheckGuardedFolder(own);
    if (reach != GuardedResult::Done) {
        m_label1 = reach == GuardedResult::Gone ? u"共有0 个文件"_s : u"出错!!!共有0 个文件"_s;
        return;
    }
    QStringList entryFiles;
    for (const GuardedEntry &entry : WalkGuardedFolder(own)) {
        if (!entry.folder && entry.relative.endsWith(u"_0"_s))
            entryFiles << entry.relative;
    }
    std::sort(entryFiles.begin(), entryFiles.end());
    // The entries' records only: their bodies are read when they are copied out.
    QList<CacheRow> rows;
    rows.reserve(entryFiles.size());
    for (const QString &relative : std::as_const(entryFiles)) {
        QFile file;
        if (OpenFileBelow(own, relative, file).result != GuardedResult::Done)
            continue;
        const std::optional<SimpleCacheEntry> entry =
            ReadSimpleCacheEntry(file, own.path() + relative);
        if (!entry)
            continue;
        rows.append({entry->url, UrlFileExtension(entry->url), QString::number(entry->bodySize),
                     entry->entryFile, 0, relative});
    }
    m_list.setRows(rows);
    m_label1 = u"共有"_s + QString::number(rows.size()) + u" 个文件"_s;
}

void CacheViewer::FindUserCacheFolders()
{
    const QString cache = QDir::cleanPath(QDir::fromNativeSeparators(m_places.cacheFolder));
    const QString home = QDir::cleanPath(QDir::fromNativeSeparators(m_places.homeFolder));
    m_cacheFolders.clear();
    m_cacheFolderPlaces.clear();
    m_userFolders.clear();
    m_userCaches.clear();
    m_folders.resize(1);
    m_userFolders = m_places.userProfiles ? m_places.userProfiles() : QList<UserProfile>();

    // Every user keeps the cache at the same place in the home folder as this user. A cache
    // outside the home has no counterpart elsewhere: only this user's is looked at then.
    QString subPath;
    if (!m_places.homeFolder.isEmpty() && cache.startsWith(home + u'/', Qt::CaseInsensitive))
        subPath = cache.mid(home.size()); // "/.cache/..."
    QList<QPair<UserProfile, GuardedFolder>> found;
    if (subPath.isEmpty()) {
        QString name = QDir(home).dirName();
        for (const UserProfile &user : std::as_const(m_userFolders)) {
            if (QDir::cleanPath(user.folder) == home)
                name = user.name;
        }
        found.append({{name, cache, CurrentUserId()}, m_folders[0]});
    } else {
        for (const UserProfile &user : std::as_const(m_userFolders)) {
            const QString folder = QDir::cleanPath(QDir::fromNativeSeparators(user.folder));
            found.append(
                {{user.name, folder + subPath, user.uid}, {folder, chainOf(subPath), user.uid}});
        }
    }
    // An account whose way down to its cache holds a link or a folder it does not own is
    // passed over: what lies behind may be anyone's.
    for (const auto &[user, folder] : std::as_const(found)) {
        if (CheckGuardedFolder(folder) != GuardedResult::Done)
            continue;
        m_userCaches.append(user);
        m_folders.append(folder);
        const int index = int(m_folders.size() - 1);
        const QString prefix = folder.path();
        for (const GuardedEntry &entry : walk(folder, true)) {
            if (entry.folder) {
                m_cacheFolders << prefix + entry.relative;
                m_cacheFolderPlaces.append({index, entry.relative});
            }
        }
    }
}

void CacheViewer::ListUserCacheFiles(int folder, const QString &userName)
{
    if (folder <= 0 || folder >= m_folders.size())
        return;
    const QString prefix = m_folders[folder].path();
    QList<CacheRow> rows;
    for (const GuardedEntry &entry : walk(m_folders[folder], true)) {
        if (entry.folder)
            continue;
        const QString path = prefix + entry.relative;
        rows.append({UserPrefix + userName, UrlFileExtension(path), QString::number(entry.size),
                     path, folder, entry.relative});
    }
    m_list.appendRows(rows);
}

int CacheViewer::deleteRow(const CacheRow &row)
{
    if (row.folder < 0 || row.folder >= m_folders.size() || row.relative.isEmpty())
        return 0;
    const GuardedFolder &folder = m_folders[row.folder];
    if (row.url.startsWith(UserPrefix)) {
        // Text files are cookies: they stay.
        if (row.filePath.isEmpty() || row.type.toLower() == u"txt"_s)
            return 0;
        return 强制删除(folder, row.relative) == GuardedResult::Gone ? 1 : 0;
    }
    if (row.url.isEmpty() || row.url.contains(u"Cookie"_s, Qt::CaseInsensitive))
        return 0;
    // The entry's files: "_0" and its side data "_1" and "_s".
    const QString stem = row.relative.chopped(1);
    bool any = false;
    for (const QString &suffix : {u"0"_s, u"1"_s, u"s"_s}) {
        if (强制删除(folder, stem + suffix) != GuardedResult::Gone)
            any = true;
    }
    return any ? 0 : 1;
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

QList<CacheRow> CacheViewer::selectedFiles(const QList<int> &rows) const
{
    QList<int> ordered = rows;
    std::sort(ordered.begin(), ordered.end());
    QList<CacheRow> files;
    for (int i : std::as_const(ordered)) {
        if (i >= 0 && i < m_list.rows().size() && !m_list.rows()[i].filePath.isEmpty())
            files << m_list.rows()[i];
    }
    return files;
}

void CacheViewer::删除空文件夹()
{
    // Last first, so that sub-folders go before their parents; a folder not empty stays.
    for (auto it = m_cacheFolderPlaces.crbegin(); it != m_cacheFolderPlaces.crend(); ++it) {
        if (!it->second.isEmpty() && it->first < m_folders.size())
            RemoveEmptyFolderBelow(m_folders[it->first], it->second);
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
    walkPaths(root, list, recursive, true);
}

void ListFiles(const QString &root, QStringList &list, bool recursive)
{
    walkPaths(root, list, recursive, false);
}

GuardedResult 强制删除(const GuardedFolder &folder, const QString &relative)
{
    // A file's own mode does not stop its removal here; a link is removed itself.
    return RemoveFileBelow(folder, relative);
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

void ClearOwnBrowserCache(const CacheViewerPlaces &places)
{
    // The running user is the only profile: no other account's cache is walked.
    CacheViewerPlaces own = places;
    const QString home = QDir::cleanPath(QDir::fromNativeSeparators(places.homeFolder));
    const UserProfile self{QDir(home).dirName(), home, CurrentUserId()};
    own.userProfiles = [self] { return QList<UserProfile>{self}; };
    CacheViewer viewer(own);
    viewer.查看我的缓存();
    viewer.全部删除();
    viewer.查看所有用户缓存();
    viewer.全部删除();
}

void ClearBrowserCache(bool showReport, Prompts &prompts, const CacheViewerPlaces &places)
{
    ClearOwnBrowserCache(places);
    if (showReport)
        prompts.message(u"IE缓存清空完毕！"_s, Prompts::Icon::Information);
}

} // namespace papyrant
