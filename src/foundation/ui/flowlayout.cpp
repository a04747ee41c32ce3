#include "foundation/ui/flowlayout.h"

#include <QHBoxLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QWidget>

namespace papyrant {

FlowLayout::FlowLayout(QWidget *parent, int horizontalSpacing, int verticalSpacing)
    : QLayout(parent), m_horizontalSpacing(horizontalSpacing), m_verticalSpacing(verticalSpacing)
{}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
}

int FlowLayout::count() const
{
    return int(m_items.size());
}

QLayoutItem *FlowLayout::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem *FlowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem *item = m_items.takeAt(index);
    invalidate();
    return item;
}

Qt::Orientations FlowLayout::expandingDirections() const
{
    return {};
}

bool FlowLayout::hasHeightForWidth() const
{
    return true;
}

int FlowLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::sizeHint() const
{
    // All on one line.
    int width = 0;
    int height = 0;
    for (QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize hint = item->sizeHint();
        width += (width > 0 ? m_horizontalSpacing : 0) + hint.width();
        height = qMax(height, hint.height());
    }
    const QMargins m = contentsMargins();
    return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

QSize FlowLayout::minimumSize() const
{
    // The widest item on a line of its own.
    QSize size;
    for (QLayoutItem *item : m_items) {
        if (!item->isEmpty())
            size = size.expandedTo(item->sizeHint());
    }
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

void FlowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int FlowLayout::arrange(const QRect &rect, bool place) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    struct Line
    {
        QList<QLayoutItem *> items;
        int width = 0;
        int height = 0;
    };
    QList<Line> lines(1);
    for (QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize hint = item->sizeHint();
        Line *line = &lines.last();
        const int needed =
            line->items.isEmpty() ? hint.width() : line->width + m_horizontalSpacing + hint.width();
        if (!line->items.isEmpty() && needed > area.width()) {
            lines.append(Line{});
            line = &lines.last();
        }
        line->width += (line->items.isEmpty() ? 0 : m_horizontalSpacing) + hint.width();
        line->height = qMax(line->height, hint.height());
        line->items.append(item);
    }

    int y = area.top();
    for (const Line &line : std::as_const(lines)) {
        if (line.items.isEmpty())
            continue;
        if (place) {
            int x = area.left();
            bool pushedRight = false;
            for (QLayoutItem *item : line.items) {
                if (!pushedRight && (item->alignment() & Qt::AlignRight)) {
                    pushedRight = true;
                    x += qMax(0, area.width() - line.width);
                }
                const QSize hint = item->sizeHint();
                item->setGeometry(QRect(QPoint(x, y + (line.height - hint.height()) / 2), hint));
                x += hint.width() + m_horizontalSpacing;
            }
        }
        y += line.height + m_verticalSpacing;
    }
    const int used = y - area.top() - (y > area.top() ? m_verticalSpacing : 0);
    const QMargins m = contentsMargins();
    return used + m.top() + m.bottom();
}

QWidget *KeepTogether(std::initializer_list<QWidget *> controls, int spacing)
{
    auto *group = new QWidget;
    auto *layout = new QHBoxLayout(group);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget *control : controls)
        layout->addWidget(control);
    return group;
}

void SetMinimumSizeForRows(QMainWindow *window, QSize designed)
{
    QWidget *central = window->centralWidget();
    if (!central || !central->layout())
        return;
    central->layout()->activate();
    const int width = qMax(designed.width(), central->minimumSizeHint().width());
    int height = central->layout()->hasHeightForWidth()
                     ? central->layout()->totalMinimumHeightForWidth(width)
                     : central->minimumSizeHint().height();
    if (window->menuWidget())
        height += window->menuWidget()->sizeHint().height();
    if (auto *bar = window->findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly))
        height += bar->sizeHint().height();
    window->setMinimumSize(width, qMax(designed.height(), height));
}

} // namespace papyrant
