// labels: gui
#include "foundation/codepage.h"
#include "foundation/settings.h"
#include "foundation/ui/folderlist.h"
#include "foundation/ui/rowstripes.h"
#include "foundation/ui/windowplacement.h"
#include "foundation/windowplacement.h"
#include "support/tempsettings.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QPainter>
#include <QScreen>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QWidget>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

std::unique_ptr<QWidget> downloadWindow()
{
    auto window = std::make_unique<QWidget>();
    window->setObjectName(u"fFileDownload"_s);
    return window;
}

} // namespace

TEST(WindowPlacementUi, FirstRunMaximisesAndANormalWindowComesBackInPlace)
{
    test::TempSettings temp;
    auto first = downloadWindow();
    RestoreWindowPlacement(first.get());
    EXPECT_TRUE(first->windowState() & Qt::WindowMaximized);

    auto normal = downloadWindow();
    normal->move(40, 30);
    normal->resize(500, 350);
    SaveWindowPlacement(normal.get());
    EXPECT_EQ(GetSetting(setting::PlacementWidth), u"7500"_s);

    auto again = downloadWindow();
    again->setWindowState(Qt::WindowMaximized);
    RestoreWindowPlacement(again.get());
    EXPECT_EQ(again->windowState(), Qt::WindowNoState);
    EXPECT_EQ(again->pos(), QPoint(40, 30));
    EXPECT_EQ(again->size(), QSize(500, 350));
}

TEST(WindowPlacementUi, ClosedMaximisedComesBackMaximisedAndKeepsTheOldPosition)
{
    test::TempSettings temp;
    auto normal = downloadWindow();
    normal->move(40, 30);
    normal->resize(500, 350);
    SaveWindowPlacement(normal.get());

    auto maximised = downloadWindow();
    maximised->showMaximized();
    SaveWindowPlacement(maximised.get());
    EXPECT_EQ(GetSetting(setting::PlacementResolution), u"0*0"_s);
    EXPECT_EQ(GetSetting(setting::PlacementLeft), u"600"_s);

    auto next = downloadWindow();
    RestoreWindowPlacement(next.get());
    EXPECT_TRUE(next->windowState() & Qt::WindowMaximized);
}

TEST(WindowLookup, IsWindowLoadedIgnoresCaseAndEndsWithTheWindow)
{
    auto window = downloadWindow();
    EXPECT_TRUE(IsWindowLoaded(u"FFILEDOWNLOAD"_s));
    EXPECT_TRUE(IsWindowLoaded(u"ffiledownload"_s));
    EXPECT_FALSE(IsWindowLoaded(u"fWebSearch"_s));
    EXPECT_FALSE(IsWindowLoaded(QString()));
    window.reset();
    EXPECT_FALSE(IsWindowLoaded(u"fFileDownload"_s));
}

TEST(FolderList, LoadReplacesTheListOnlyWhenThereIsAFile)
{
    test::TempSettings temp;
    const QString path = temp.dataFolder() + u"SaveList.dat"_s;
    QComboBox list;
    list.addItems({u"/kept/"_s});
    LoadFolderHistory(&list, path);
    EXPECT_EQ(list.count(), 1);

    list.addItem(u"/Second/"_s);
    SaveFolderHistory(&list, path);
    QComboBox other;
    other.addItems({u"/old/"_s});
    LoadFolderHistory(&other, path);
    ASSERT_EQ(other.count(), 2);
    EXPECT_EQ(other.itemText(0), u"/kept/"_s);
    EXPECT_EQ(other.itemText(1), u"/Second/"_s);

    QComboBox empty;
    SaveFolderHistory(&empty, path);
    LoadFolderHistory(&other, path);
    EXPECT_EQ(other.count(), 0);
}

TEST(FolderList, DropDownFitsTheWidestEntryWithScrollBarRoomFromNineEntries)
{
    QComboBox list;
    list.move(0, 0);
    const QFontMetrics metrics(list.view()->font());
    // Many narrow letters take more bytes than a few wide ones; the wide entry decides.
    const QString wide = u"WWWWWW"_s;
    list.addItems({u"iiiiiiiiiiii"_s, wide});
    for (int i = 0; i < 6; ++i)
        list.addItem(u"/a"_s);
    ASSERT_EQ(list.count(), 8);
    const int eight = FitDropDownWidth(&list);
    EXPECT_EQ(eight,
              qMax(metrics.horizontalAdvance(wide), metrics.horizontalAdvance(u"iiiiiiiiiiii"_s))
                  + 7);
    EXPECT_EQ(list.view()->minimumWidth(), eight);

    list.addItem(u"/b"_s);
    const int scrollBar =
        list.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list.view());
    EXPECT_EQ(FitDropDownWidth(&list), eight + scrollBar);
    EXPECT_LE(list.width(), QApplication::primaryScreen()->geometry().width());
}

TEST(FolderList, DropDownStopsAtTheRightEdgeOfTheScreen)
{
    QComboBox list;
    list.addItem(QString(400, u'W'));
    list.show();
    const QRect screen = list.screen()->geometry();
    list.move(screen.right() - 100, 0);
    const int left = list.mapToGlobal(QPoint(0, 0)).x();
    EXPECT_EQ(FitDropDownWidth(&list), screen.x() + screen.width() - left);
}

namespace {

class MarkingDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    mutable int painted = 0;
    void paint(QPainter *p, const QStyleOptionViewItem &o, const QModelIndex &i) const override
    {
        ++painted;
        QStyledItemDelegate::paint(p, o, i);
    }
};

QStandardItemModel *rows(QObject *parent, int count)
{
    auto *model = new QStandardItemModel(count, 1, parent);
    for (int r = 0; r < count; ++r)
        model->setItem(r, 0, new QStandardItem(QString()));
    return model;
}

} // namespace

TEST(RowStripes, RowsAlternatePaleGreenAndWhiteAtTheGivenHeight)
{
    QTreeView view;
    view.setRootIsDecorated(false);
    view.setModel(rows(&view, 4));
    auto *own = new MarkingDelegate(&view);
    view.setItemDelegate(own);
    view.resize(300, 300);
    PaintRowStripes(&view, false, 24);
    view.show();

    const QRect first = view.visualRect(view.model()->index(0, 0));
    const QRect second = view.visualRect(view.model()->index(1, 0));
    EXPECT_EQ(first.height(), 24);
    EXPECT_EQ(second.top(), first.bottom() + 1);

    const QImage image = view.viewport()->grab().toImage();
    const QPoint inFirst(first.center().x(), first.center().y());
    const QPoint inSecond(second.center().x(), second.center().y());
    EXPECT_EQ(QColor(image.pixel(inFirst)), QColor(231, 248, 237));
    EXPECT_EQ(QColor(image.pixel(inSecond)), QColor(255, 255, 255));
    // The bands go on below the last row, as a background does.
    const QPoint belowRows(first.center().x(), first.center().y() + 4 * 24);
    EXPECT_EQ(QColor(image.pixel(belowRows)), QColor(231, 248, 237));
    EXPECT_GT(own->painted, 0); // the list's own delegate still paints its rows

    PaintRowStripes(&view, false, 30); // painting again changes the height, not the delegates
    EXPECT_EQ(view.visualRect(view.model()->index(0, 0)).height(), 30);
}

TEST(RowStripes, TallerRowsAreOneFontLinePlusFive)
{
    QTreeView view;
    view.setModel(rows(&view, 2));
    PaintRowStripes(&view, true, 0);
    view.show();
    EXPECT_EQ(view.visualRect(view.model()->index(0, 0)).height(), view.fontMetrics().height() + 5);
    const QImage image = view.viewport()->grab().toImage();
    EXPECT_EQ(QColor(image.pixel(view.visualRect(view.model()->index(1, 0)).center())),
              QColor(255, 255, 255));
}
