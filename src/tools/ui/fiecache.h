#pragma once

#include "tools/cacheexport.h"
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
// tool (decoded first, a piece at a time, up to the size limit of the options). Shown modally.
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

    CacheExport &cacheExport() { return m_export; }
    // Closing while bodies are decoded for a copy drops the one being written.
    void done(int result) override;

private:
    QList<int> selectedRows() const;
    void showLists();
    void reportGone(int gone);
    void reportNotCopied(const CacheExport::Summary &summary, double limitMB);
    void setButtonsEnabled(bool enabled);

    Prompts &m_prompts;
    QTemporaryDir m_stage; // the files handed to the copy tool, while it has them
    CacheViewer m_viewer;
    CacheExport m_export;
    int m_exports = 0;
    QTreeView *m_listView1 = nullptr;
    QTreeWidget *m_listView2 = nullptr;
    QTreeWidget *m_listView3 = nullptr;
    QLabel *m_label1 = nullptr;
};

} // namespace papyrant
