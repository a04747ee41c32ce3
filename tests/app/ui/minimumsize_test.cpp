// labels: gui browser
#include "app/ui/programwindows.h"
#include "download/ui/ffiledownload.h"
#include "search/ui/fwebsearch.h"
#include "support/recordingprompts.h"
#include "support/tempsettings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// Where a control's caption is cut: narrower than its text needs, or reaching past the edge of
// a widget it sits in. Empty when the caption shows whole.
QString cutCaption(const QWidget *control, const QWidget *window)
{
    const QString caption = control->property("text").toString();
    if (control->height() < control->minimumSizeHint().height())
        return caption + u": "_s + QString::number(control->height()) + u" of "_s
               + QString::number(control->minimumSizeHint().height()) + u" px high"_s;
    if (control->width() < control->sizeHint().width())
        return caption + u": "_s + QString::number(control->width()) + u" of "_s
               + QString::number(control->sizeHint().width()) + u" px"_s;
    QRect shown = control->rect();
    for (const QWidget *w = control; w != window; w = w->parentWidget()) {
        shown.translate(w->pos());
        shown &= w->parentWidget()->rect();
    }
    if (shown.size() != control->size())
        return caption + u": shows "_s + QString::number(shown.width()) + u"x"_s
               + QString::number(shown.height()) + u" of "_s + QString::number(control->width())
               + u"x"_s + QString::number(control->height());
    return {};
}

// Every caption of the window's buttons, check boxes, radio buttons and labels, except the
// status bar's texts (the browser's status, long paths: cut on purpose).
QStringList cutCaptions(QWidget *window)
{
    QStringList cut;
    const QList<QWidget *> controls = window->findChildren<QWidget *>();
    for (QWidget *control : controls) {
        const bool isButton = qobject_cast<QAbstractButton *>(control);
        const auto *label = qobject_cast<QLabel *>(control);
        if ((!isButton && !(label && !label->text().isEmpty() && !label->wordWrap()))
            || !control->isVisibleTo(window))
            continue;
        bool inStatusBar = false;
        for (QWidget *w = control; w && !inStatusBar; w = w->parentWidget())
            inStatusBar = qobject_cast<QStatusBar *>(w);
        if (inStatusBar)
            continue;
        const QString where = cutCaption(control, window);
        if (!where.isEmpty())
            cut << control->objectName() + u" \""_s + where;
    }
    return cut;
}

} // namespace

TEST(MinimumSize, EveryCaptionOfBothMainWindowsShowsWholeAtTheMinimumSize)
{
    TempSettings settings;
    RecordingPrompts prompts;
    ProgramWindows windows(&prompts);
    windows.showSearchWindow();
    windows.showDownloadWindow();
    const QList<QWidget *> mainWindows = {windows.searchWindow(), windows.downloadWindow()};
    for (QWidget *window : mainWindows) {
        SCOPED_TRACE(window->objectName().toStdString());
        window->showNormal();
        window->resize(1, 1); // as small as the window lets itself be made
        QTRY_COMPARE(window->size(), window->minimumSize());
        QApplication::processEvents();
        EXPECT_GE(window->minimumWidth(), 600);
        EXPECT_EQ(cutCaptions(window).join(u'\n').toStdString(), "");
    }
}
