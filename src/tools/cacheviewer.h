#pragma once

#include "tools/guardedfolder.h"
#include "tools/userprofiles.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>

namespace papyrant {

class Prompts;

// One row of the cache list ListView1.
struct CacheRow
{
    QString url;      // "URL": the entry's source URL, or "用户:" + user name
    QString type;     // "TYPE"
    QString size;     // "SIZE(Byte)": decimal text (a "我的缓存" row: the body as stored)
    QString filePath; // "FilePath": the file ("我的缓存": the entry's "_0" file), "/" separated
    int folder = -1;  // the cache folder it lies in (CacheViewer::cacheFolder)
    QString relative; // its path below that folder
};

// ListView1: the rows and their sorting by a clicked column.
class CacheList : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Url, Type, Size, FilePath, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const QList<CacheRow> &rows() const { return m_rows; }
    void setRows(QList<CacheRow> rows);
    void appendRows(const QList<CacheRow> &rows);
    void clear() { setRows({}); }

    // A click on a column header: that column becomes the key and the order flips (descending
    // when it was not). Sizes sort by value.
    void sortByClick(int column);
    bool descending() const { return m_descending; }

    // Which view filled the list: "我的缓存", "所有缓存", or empty.
    QString tag;

private:
    QList<CacheRow> m_rows;
    bool m_descending = false;
};

// Where the viewer looks. The defaults are the program's own browser cache, the user's home
// folder, the system description and the machine's user profiles; tests give their own. The
// other profiles are only ever read and cleaned through guarded folders: an account whose way
// from its home down to its cache holds a link or a folder it does not own is passed over.
struct CacheViewerPlaces
{
    QString cacheFolder;       // the current user's browser cache, ending in "/"
    QString homeFolder;        // the current user's home
    QString systemDescription; // SystemDescription
    std::function<QList<UserProfile>()> userProfiles;

    static CacheViewerPlaces forThisUser(const QString &systemDescription);
};

// What the browser-cache viewer fIEcache does, apart from its controls. Listing reads the
// entries' records only; nothing is decoded or written until rows are copied out (CacheExport).
class CacheViewer
{
public:
    explicit CacheViewer(CacheViewerPlaces places);

    CacheList &list() { return m_list; }
    const CacheList &list() const { return m_list; }
    QString label1() const { return m_label1; }
    // ListView2: user name and cache folder of every user's cache; ListView3: every folder
    // under those.
    const QList<UserProfile> &userCacheFolders() const { return m_userCaches; }
    const QStringList &CacheFolders() const { return m_cacheFolders; }
    const QList<UserProfile> &UserFolders() const { return m_userFolders; }
    // The cache folder a row lies in: 0 is this user's own, then those of the last "所有缓存".
    const GuardedFolder &cacheFolder(int index) const { return m_folders[index]; }
    int cacheFolderCount() const { return int(m_folders.size()); }

    // "查看我的缓存" (Command1).
    void 查看我的缓存();
    // "查看所有用户缓存" (Command7).
    void 查看所有用户缓存();
    // "全部删除" (Command3) and "删除所选文件" (Command2), then the view is shown again. The
    // result is the number of entries and files that were already gone.
    int 全部删除();
    int 删除所选文件(const QList<int> &rows);
    // "复制选中...": the rows that name a file, in list order.
    QList<CacheRow> selectedFiles(const QList<int> &rows) const;

    void GetCacheURLList();
    void FindUserCacheFolders();
    void ListUserCacheFiles(int folder, const QString &userName);
    void 删除空文件夹();

private:
    int deleteRow(const CacheRow &row);
    void refreshView();

    CacheViewerPlaces m_places;
    CacheList m_list;
    QString m_label1 = QStringLiteral("000");
    QList<UserProfile> m_userFolders;
    QList<UserProfile> m_userCaches;
    QStringList m_cacheFolders;
    QList<QPair<int, QString>> m_cacheFolderPlaces; // CacheFolders as folder index and relative
    QList<GuardedFolder> m_folders;
};

// This user's own cache folder as a guarded folder: below the home when it lies there (every
// folder from the home down must be this user's and no link), otherwise the folder alone.
GuardedFolder OwnCacheFolder(const CacheViewerPlaces &places);

// The folders (ListFolders) or files (ListFiles) under root, appended to list; sub-folders are
// walked after each level when recursive. Only absolute roots are walked; "pagefile.sys" and a
// "RECYCLER" folder right under a drive root are passed over, and links are never followed.
void ListFolders(const QString &root, QStringList &list, bool recursive);
void ListFiles(const QString &root, QStringList &list, bool recursive);

// Deletes the file at `relative` below the cache folder, never through a link; the result says
// whether it was there.
GuardedResult 强制删除(const GuardedFolder &folder, const QString &relative);

// The plain-file name of a cached body: the last segment of its URL, with the extension its
// content type gives when it has none ("index" for a URL that ends in "/").
QString CacheBodyFileName(const QString &url, const QByteArray &contentType);

// Clears the program's own browser cache, the running user's: its entries and then the files
// of its cache folder, cookies never. Other accounts' caches are left alone.
void ClearOwnBrowserCache(const CacheViewerPlaces &places);
// The same, then with showReport "IE缓存清空完毕！".
void ClearBrowserCache(bool showReport, Prompts &prompts, const CacheViewerPlaces &places);

} // namespace papyrant
