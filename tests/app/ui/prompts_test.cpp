// labels: gui
#include "app/ui/startup.h"
#include "foundation/ui/qtprompts.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

// Runs look() on the dialog a prompt opens, then closes it.
void whenShown(const std::function<void(QDialog *)> &look)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, look] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        look(dialog);
        dialog->reject();
    });
    poll->start();
}

int titleTextWidth(const QWidget *window)
{
    QFont font = QApplication::font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(window->windowTitle());
}

} // namespace

// Beside the title the window manager draws an icon and two or three buttons.
TEST(Prompts, BoxesAreWideEnoughForTheirWholeTitle)
{
    QtPrompts prompts;
    int shown = 0;
    const auto titleFits = [&shown](QDialog *dialog) {
        ++shown;
        EXPECT_GE(dialog->width(), titleTextWidth(dialog) + 150)
            << dialog->metaObject()->className();
    };
    whenShown(titleFits);
    prompts.message(u"好"_s);
    whenShown(titleFits);
    prompts.askYesNo(u"是否继续？"_s);
    whenShown(titleFits);
    prompts.input(u"网址："_s, {}, u"打开指定网址（可以是任何网站的网址）"_s);
    EXPECT_EQ(shown, 3);
}

TEST(Prompts, TheInputBoxHasRoomForALongAddress)
{
    QtPrompts prompts;
    const QString address = u"https://ci.nii.ac.jp/search?q=wetland&range=0&count=20&sortorder=1"_s;
    bool shown = false;
    whenShown([&](QDialog *dialog) {
        shown = true;
        auto *box = dialog->findChild<QLineEdit *>();
        ASSERT_TRUE(box);
        EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(address));
    });
    EXPECT_EQ(prompts.input(u"网址："_s, address), std::nullopt);
    EXPECT_TRUE(shown);
}

// The system here speaks English (or C); the program's dialogs speak Chinese all the same.
TEST(Prompts, FileDialogsFollowTheProgramsLanguage)
{
    ASSERT_NE(QLocale::system().language(), QLocale::Chinese)
        << "the case needs another system language";
    prepareApplication();
    QTemporaryDir folder;
    QFile file(folder.filePath(u"paper.pdf"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(2048, 'x'));
    file.flush();
    const QDateTime modified(QDate(2024, 3, 5), QTime(14, 7));
    ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    file.close();
    const QLocale chinese(QLocale::Chinese, QLocale::China);

    QtPrompts prompts;
    int shown = 0;
    const auto chineseDialog = [&](QDialog *dialog) {
        ++shown;
        auto *files = qobject_cast<QFileDialog *>(dialog);
        ASSERT_TRUE(files) << "a desktop dialog, not the program's own";
        auto *view = dialog->findChild<QTreeView *>(u"treeView"_s);
        ASSERT_TRUE(view);
        QAbstractItemModel *model = view->model();
        EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), u"名称"_s);
        EXPECT_EQ(model->headerData(3, Qt::Horizontal).toString(), u"修改日期"_s);
        QModelIndex row;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const QModelIndex root = view->rootIndex();
                for (int i = 0; i < model->rowCount(root); ++i) {
                    if (model->index(i, 0, root).data().toString() == u"paper.pdf"_s)
                        row = model->index(i, 0, root);
                }
                return row.isValid();
            },
            5000));
        EXPECT_EQ(row.siblingAtColumn(3).data().toString(),
                  chinese.toString(modified, QLocale::ShortFormat));
        EXPECT_EQ(row.siblingAtColumn(1).data().toString(), chinese.formattedDataSize(2048));
    };
    whenShown(chineseDialog);
    EXPECT_EQ(prompts.openFile(u"打开"_s, u"PDF (*.pdf)"_s, folder.path()), u""_s);
    whenShown(chineseDialog);
    EXPECT_EQ(prompts.saveFile(u"保存"_s, u"PDF (*.pdf)"_s, folder.filePath(u"x.pdf"_s), u"pdf"_s),
              u""_s);
    EXPECT_EQ(shown, 2);
}
