#include "foundation/ui/rowstripes.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

namespace papyrant {

namespace {

// Gives every row a fixed height and leaves everything else to the delegate the list had, so
// that a list with its own painting (progress bars, icons) keeps it.
class FixedRowHeightDelegate : public QStyledItemDelegate
{
public:
    FixedRowHeightDelegate(QAbstractItemDelegate *inner, int height, QObject *parent)
        : QStyledItemDelegate(parent), m_inner(inner), m_height(height)
    {
        if (m_inner) {
            connect(m_inner, &QAbstractItemDelegate::commitData, this,
                    &QAbstractItemDelegate::commitData);
            connect(m_inner, &QAbstractItemDelegate::closeEditor, this,
                    &QAbstractItemDelegate::closeEditor);
            connect(m_inner, &QAbstractItemDelegate::sizeHintChanged, this,
                    &QAbstractItemDelegate::sizeHintChanged);
        }
    }

    void setRowHeight(int height) { m_height = height; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        m_inner ? m_inner->paint(painter, option, index)
                : QStyledItemDelegate::paint(painter, option, index);
    }
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = m_inner ? m_inner->sizeHint(option, index)
                             : QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(m_height);
        return size;
    }
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        return m_inner ? m_inner->createEditor(parent, option, index)
                       : QStyledItemDelegate::createEditor(parent, option, index);
    }
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        m_inner ? m_inner->setEditorData(editor, index)
                : QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override
    {
        m_inner ? m_inner->setModelData(editor, model, index)
                : QStyledItemDelegate::setModelData(editor, model, index);
    }
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override
    {
        m_inner ? m_inner->updateEditorGeometry(editor, option, index)
                : QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    }
    void destroyEditor(QWidget *editor, const QModelIndex &index) const override
    {
        m_inner ? m_inner->destroyEditor(editor, index)
                : QStyledItemDelegate::destroyEditor(editor, index);
    }
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override
    {
        return m_inner ? m_inner->editorEvent(event, model, option, index)
                       : QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override
    {
        return m_inner ? m_inner->helpEvent(event, view, option, index)
                       : QStyledItemDelegate::helpEvent(event, view, option, index);
    }

private:
    QPointer<QAbstractItemDelegate> m_inner;
    int m_height;
};

} // namespace

void PaintRowStripes(QAbstractItemView *list, bool taller, int rowHeight)
{
    if (!list)
        return;
    int height = rowHeight;
    if (height <= 0)
        height = list->fontMetrics().height() + 1 + (taller ? 4 : 0);

    // The bands are the list's background, tiled from its top, so that they go on below the
    // last row as well; the rows themselves paint no background of their own.
    QPixmap bands(8, 2 * height);
    QPainter painter(&bands);
    painter.fillRect(0, 0, 8, height, QColor(231, 248, 237));
    painter.fillRect(0, height, 8, height, Qt::white);
    painter.end();
    QPalette palette = list->palette();
    palette.setBrush(QPalette::Base, QBrush(bands));
    list->setPalette(palette);
    list->setAlternatingRowColors(false);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

    if (auto *table = qobject_cast<QTableView *>(list)) {
        table->verticalHeader()->setMinimumSectionSize(
            qMin(height, table->verticalHeader()->minimumSectionSize()));
        table->verticalHeader()->setDefaultSectionSize(height);
        return;
    }
    if (auto *fixed = dynamic_cast<FixedRowHeightDelegate *>(list->itemDelegate())) {
        fixed->setRowHeight(height);
        list->doItemsLayout();
        return;
    }
    list->setItemDelegate(new FixedRowHeightDelegate(list->itemDelegate(), height, list));
}

} // namespace papyrant
