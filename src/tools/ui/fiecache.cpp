#include "tools/ui/fiecache.h"

#include "foundation/eventwait.h"
#include "foundation/programvalues.h"
#include "foundation/prompts.h"
#include "tools/ui/formcopymove.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

QPushButton *button(QWidget *parent, const QString &name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

QTreeWidget *smallList(QWidget *parent, const QString &name, const QStringList &headers)
{
    auto *list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return list;
}

// Long listings block the window; the wait cursor says so.
struct BusyCursor
{
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

FIEcache::FIEcache(const CacheViewerPlaces &places, Prompts &prompts, QWidget *parent)
    : QDialog(parent), m_prompts(prompts), m_viewer(places)
{
    setObjectName(u"fIEcache"_s);
    setWindowTitle(u"IE浏览器Cookie 缓存和历史列表-"_s + appTitle());
    setModal(true);
    resize(900, 560);

    m_listView1 = new QTreeView(this);
    m_listView1->setObjectName(u"ListView1"_s);
    m_listView1->setModel(&m_viewer.list());
    m_listView1->setRootIsDecorated(false);
    m_listView1->setUniformRowHeights(true);
    m_listView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listView1->header()->setSectionsClickable(true);
    connect(m_listView1->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { m_viewer.list().sortByClick(column); });

    m_listView2 = smallList(this, u"ListView2"_s, {u"用户名"_s, u"文件夹"_s});
    m_listView3 = smallList(this, u"ListView3"_s, {u"文件夹"_s});
    m_label1 = new QLabel(u"000"_s, this);
    m_label1->setObjectName(u"Label1"_s);
    // No caption stands beside the lists: their names say what a screen reader is in.
    m_listView1->setAccessibleName(u"缓存文件列表"_s);
    m_listView2->setAccessibleName(u"用户列表"_s);
    m_listView3->setAccessibleName(u"缓存文件夹列表"_s);

    auto *command1 = button(this, u"Command1"_s, u"查看我的缓存"_s);
    auto *command7 = button(this, u"Command7"_s, u"查看所有用户缓存"_s);
    auto *command2 = button(this, u"Command2"_s, u"删除所选文件"_s);
    auto *command3 = button(this, u"Command3"_s, u"全部删除"_s);
    auto *command6 = button(this, u"Command6"_s, u"复制选中..."_s);
    auto *command4 = button(this, u"Command4"_s, u"关闭"_s);
    connect(command1, &QPushButton::clicked, this, &FIEcache::command1Click);
    connect(command7, &QPushButton::clicked, this, &FIEcache::command7Click);
    connect(command2, &QPushButton::clicked, this, &FIEcache::command2Click);
    connect(command3, &QPushButton::clicked, this, &FIEcache::command3Click);
    connect(command6, &QPushButton::clicked, this, &FIEcache::command6Click);
    connect(command4, &QPushButton::clicked, this, &QDialog::close);

    auto *folders = new QSplitter(Qt::Horizontal);
    folders->addWidget(m_listView2);
    folders->addWidget(m_listView3);
    auto *lists = new QSplitter(Qt::Vertical);
    lists->addWidget(m_listView1);
    lists->addWidget(folders);
    lists->setStretchFactor(0, 4);
    lists->setStretchFactor(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_label1);
    buttons->addStretch();
    for (QPushButton *b : {command1, command7, command2, command3, command6, command4})
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lists, 1);
    layout->addLayout(buttons);

    connect(&m_export, &CacheExport::fileStarted, this,
            [this](int position, int count, const QString &name) {
                m_label1->setText(u"正在准备复制："_s + QString::number(position) + u"/"_s
                                  + QString::number(count) + u" "_s + name);
            });
}

void FIEcache::command1Click()
{
    {
        BusyCursor busy;
        m_viewer.查看我的缓存();
    }
    showLists();
}

void FIEcache::command7Click()
{
    {
        BusyCursor busy;
        m_viewer.查看所有用户缓存();
    }
    showLists();
}

void FIEcache::command2Click()
{
    int gone = 0;
    {
        BusyCursor busy;
        gone = m_viewer.删除所选文件(selectedRows());
    }
    showLists();
    reportGone(gone);
}

void FIEcache::command3Click()
{
    int gone = 0;
    {
        BusyCursor busy;
        gone = m_viewer.全部删除();
    }
    showLists();
    reportGone(gone);
}

void FIEcache::command6Click()
{
    if (m_export.isRunning() || !m_stage.isValid())
        return;
    const QList<CacheRow> rows = m_viewer.selectedFiles(selectedRows());
    // The bodies are decoded (and other users' files copied) into a folder of this program's
    // own first: the copy tool then never reads through a cache folder that may change.
    const QString stage = m_stage.filePath(QString::number(++m_exports)) + u'/';
    const double limitMB = MaxFileSizeMB();
    const qint64 limit = limitMB > 0 ? qint64(limitMB * 1024 * 1024) : 0;
    setButtonsEnabled(false);
    m_export.start(m_viewer, rows, stage, limit);
    EventWait([this] { return !m_export.isRunning(); })
        .wakeOn(&m_export, &CacheExport::finished)
        .run(-1);
    setButtonsEnabled(true);
    m_label1->setText(m_viewer.label1());
    const CacheExport::Summary summary = m_export.summary();
    if (isVisible()) {
        reportNotCopied(summary, limitMB);
        // Rows were chosen but none can be copied: the message says why, no empty copy tool.
        if (!summary.files.isEmpty() || rows.isEmpty()) {
            FormCopyMove copy(m_prompts, this);
            copy.SourceFiles = summary.files;
            copy.setWindowTitle(u"复制文件："_s + QString::number(summary.files.size())
                                + u" 个文件..."_s);
            copy.exec();
        }
    }
    QDir(stage).removeRecursively();
}

void FIEcache::done(int result)
{
    m_export.abandon();
    QDialog::done(result);
}

void FIEcache::setButtonsEnabled(bool enabled)
{
    for (QPushButton *b : findChildren<QPushButton *>()) {
        if (b->objectName() != u"Command4"_s)
            b->setEnabled(enabled);
    }
}

void FIEcache::reportNotCopied(const CacheExport::Summary &summary, double limitMB)
{
    QStringList lines;
    if (summary.links > 0)
        lines << u"有 "_s + QString::number(summary.links)
                     + u" 个文件是链接或位于链接的文件夹中，未复制。"_s;
    if (!summary.tooLarge.isEmpty())
        lines << u"有 "_s + QString::number(summary.tooLarge.size())
                     + u" 个文件解码后超过文件最大值 "_s + QString::number(limitMB)
                     + u" MB，未复制："_s + summary.tooLarge.join(u"、"_s);
    if (summary.unreadable > 0)
        lines << u"有 "_s + QString::number(summary.unreadable)
                     + u" 个缓存文件已不存在、已损坏或无法解码，未复制。"_s;
    if (summary.failed > 0)
        lines << u"有 "_s + QString::number(summary.failed)
                     + u" 个文件无法写入临时文件夹，未复制。"_s;
    if (!lines.isEmpty())
        m_prompts.message(lines.join(u'\n'), Prompts::Icon::Warning);
}

QList<int> FIEcache::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_listView1->selectionModel()->selectedRows())
        rows << index.row();
    return rows;
}

void FIEcache::showLists()
{
    m_label1->setText(m_viewer.label1());
    for (int c = 0; c < CacheList::ColumnCount; ++c)
        m_listView1->resizeColumnToContents(c);
    m_listView2->clear();
    for (const UserProfile &user : m_viewer.userCacheFolders())
        m_listView2->addTopLevelItem(
            new QTreeWidgetItem({user.name, QDir::toNativeSeparators(user.folder)}));
    m_listView3->clear();
    for (const QString &folder : m_viewer.CacheFolders())
        m_listView3->addTopLevelItem(new QTreeWidgetItem({QDir::toNativeSeparators(folder)}));
    for (QTreeWidget *list : {m_listView2, m_listView3}) {
        for (int c = 0; c < list->columnCount(); ++c)
            list->resizeColumnToContents(c);
    }
}

void FIEcache::reportGone(int gone)
{
    // Entries the browser removed meanwhile: one note, not an error per file.
    if (gone > 0)
        m_prompts.message(u"有 "_s + QString::number(gone) + u" 个缓存文件已不存在，已跳过。"_s,
                          Prompts::Icon::Information);
}

} // namespace papyrant
