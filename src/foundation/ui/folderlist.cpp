#include "foundation/ui/folderlist.h"

#include "foundation/folderhistory.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QScreen>
#include <QStyle>

namespace papyrant {

void LoadFolderHistory(QComboBox *list, const QString &path)
{
    if (!list)
        return;
    const std::optional<QStringList> folders = ReadFolderHistory(path);
    if (!folders)
        return;
    list->clear();
    list->addItems(*folders);
}

void SaveFolderHistory(QComboBox *list, const QString &path)
{
    if (!list)
        return;
    QStringList folders;
    for (int i = 0; i < list->count(); ++i)
        folders << list->itemText(i);
    WriteFolderHistory(path, folders);
}

int FitDropDownWidth(QComboBox *list)
{
    if (!list)
        return 0;
    // Measured in pixels, entry by entry: the entry with the most bytes need not be the widest.
    const QFontMetrics metrics(list->view()->font());
    int width = 0;
    for (int i = 0; i < list->count(); ++i)
        width = qMax(width, metrics.horizontalAdvance(list->itemText(i)));
    width += 7;
    if (list->count() >= 9)
        width += list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list->view());
    if (const QScreen *screen = list->screen()) {
        const QRect area = screen->geometry();
        const int left = list->mapToGlobal(QPoint(0, 0)).x();
        width = qMin(width, qMax(0, area.x() + area.width() - left));
    }
    list->view()->setMinimumWidth(width);
    return width;
}

} // namespace papyrant
