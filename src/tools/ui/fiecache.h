#pragma once

#include "tools/cacheviewer.h"

#include <QDialog>
#include <QTemporaryDir>

class QLabel;
class QTreeView;
class QTreeWidget;

namespace papyrant {

class Prompts;

// The browser-cache viewer: the current user's cache entries, or the files of every user's
// cache folder; delete selected or all (never cookies), copy selected bodies out with the copy
// tool. Shown modally.
class FIEcache : public QDialog
{
    Q_OBJECT
public:
    FIEcache(const CacheViewerPlaces &places, Prompts &prompts, QWidget *parent = nullptr);

    CacheViewer &viewer() { return m_viewer; }

    void command1Click(); // 查看我的缓存
    void command7Click(); // 查看所有用户缓存
    void command2Click(); // 删除所选文件
    void command3Click(); // 全部删除
    void command6Click(); // 复制选中...

private:
    QList<int> selectedRows() const;
    void showLists();
    void reportGone(int gone);

    Prompts &m_prompts;
    QTemporaryDir m_bodies; // the cached bodies as plain files, while the window lives
    CacheViewer m_viewer;
    QTreeView *m_listView1 = nullptr;
    QTreeWidget *m_listView2 = nullptr;
    QTreeWidget *m_listView3 = nullptr;
    QLabel *m_label1 = nullptr;
};

} // namespace papyrant
