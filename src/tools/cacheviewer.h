#pragma once

#include "tools/userprofiles.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace papyrant {

class Prompts;

// One row of the cache list ListView1.
struct CacheRow
{
    QString url;       // "URL": the entry's source URL, or "用户:" + user name
    QString type;      // "TYPE"
    QString size;      // "SIZE(Byte)": decimal text, empty when there is no file
    QString filePath;  // "FilePath": the body as a plain file (or the cache file), "/" separated
    QString entryFile; // the cache entry's "_0" file ("我的缓存" rows only)
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
// folder, the system description and the machine's user profiles; tests give their own.
struct CacheViewerPlaces
{
    QString cacheFolder;       // the current user's browser cache, ending in "/"
    QString homeFolder;        // the current user's home
    QString systemDescription; // SystemDescription
    std::function<QList<UserProfile>()> userProfiles;

    static CacheViewerPlaces forThisUser(const QString &systemDescription);
};

// What the browser-cache viewer fIEcache does, apart from its controls.
class CacheViewer
{
public:
    // extractFolder: where the bodies of "我的缓存" entries are written as plain files; empty:
    // the bodies are not written (clearing the cache needs no copies).
    CacheViewer(CacheViewerPlaces places, const QString &extractFolder);

    CacheList &list() { return m_list; }
    QString label1() const { return m_label1; }
    // ListView2: user name and cache folder of every user's cache; ListView3: every folder
    // under those.
    const QList<UserProfile> &userCacheFolders() const { return m_userCaches; }
    const QStringList &CacheFolders() const { return m_cacheFolders; }
    const QList<UserProfile> &UserFolders() const { return m_userFolders; }

    // "查看我的缓存" (Command1).
    void 查看我的缓存();
    // "查看所有用户缓存" (Command7).
    void 查看所有用户缓存();
    // "全部删除" (Command3) and "删除所选文件" (Command2), then the view is shown again. The
    // result is the number of entries and files that were already gone.
    int 全部删除();
    int 删除所选文件(const QList<int> &rows);
    // "复制选中...": the files of those rows, for the copy tool.
    QStringList selectedFiles(const QList<int> &rows) const;

    void GetCacheURLList();
    void FindUserCacheFolders();
    void ListUserCacheFiles(const QString &cacheFolder, const QString &userName);
    void 删除空文件夹();

private:
    int deleteRow(const CacheRow &row);
    void refreshView();
    QString extractBody(const struct SimpleCacheEntry &entry);

    CacheViewerPlaces m_places;
    QString m_extractFolder;
    CacheList m_list;
    QString m_label1 = QStringLiteral("000");
    QList<UserProfile> m_userFolders;
    QList<UserProfile> m_userCaches;
    QStringList m_cacheFolders;
    // Bodies written already, by entry file: unchanged entries are not written again.
    struct Extracted
    {
        qint64 size = 0;
        qint64 modified = 0;
        QString path;
    };
    QHash<QString, Extracted> m_extracted;
};

// The folders (ListFolders) or files (ListFiles) under root, appended to list; sub-folders are
// walked after each level when recursive. Only absolute roots are walked; "pagefile.sys" and a
// "RECYCLER" folder right under a drive root are passed over, and links are never followed.
void ListFolders(const QString &root, QStringList &list, bool recursive);
void ListFiles(const QString &root, QStringList &list, bool recursive);

// Makes the file writable and deletes it; false when it could not be deleted.
bool 强制删除(const QString &path);

// The plain-file name of a cached body: the last segment of its URL, with the extension its
// content type gives when it has none ("index" for a URL that ends in "/").
QString CacheBodyFileName(const QString &url, const QByteArray &contentType);

// Clears the program's browser cache: the current user's entries and then the files of every
// user's cache folder that can be deleted, cookies never. With showReport, "IE缓存清空完毕！".
void ClearBrowserCache(bool showReport, Prompts &prompts, const CacheViewerPlaces &places);

} // namespace papyrant
