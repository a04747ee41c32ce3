// labels: gui browser
#include "app/options.h"
#include "app/ui/fcover.h"
#include "app/ui/foption.h"
#include "app/ui/frmabout.h"
#include "app/ui/programwindows.h"
#include "download/ui/ffiledownload.h"
#include "download/ui/urlreplace.h"
#include "search/ui/fwebsearch.h"
#include "support/recordingprompts.h"
#include "support/tempsettings.h"
#include "tools/cacheviewer.h"
#include "tools/savepathvalues.h"
#include "tools/ui/fiecache.h"
#include "tools/ui/formcopymove.h"
#include "tools/ui/fselefilesavepath.h"

#include <QAccessible>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// What a screen reader announces as something to read, type into or press.
bool isControl(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::EditableText:
    case QAccessible::ComboBox:
    case QAccessible::SpinBox:
    case QAccessible::List:
    case QAccessible::Table:
    case QAccessible::Tree:
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::Slider: return true;
    default: return false;
    }
}

QString describe(QAccessibleInterface *control)
{
    QObject *object = control->object();
    return (object ? QString::fromLatin1(object->metaObject()->className()) + u' '
                         + object->objectName()
                   : u"?"_s)
           + u" role "_s + QString::number(int(control->role()));
}

// Walks the window's accessibility tree as a screen reader does: the shown controls without a
// name, and the names more than one control carries.
void walk(QAccessibleInterface *node, QStringList &unnamed, QMultiHash<QString, QString> &names)
{
    if (!node || node->state().invisible)
        return;
    if (isControl(node->role())) {
        const QString name = node->text(QAccessible::Name).trimmed();
        if (name.isEmpty())
            unnamed << describe(node);
        else
            names.insert(name, describe(node));
        return; // a list's rows, a box's pop-up: not controls of the window
    }
    for (int i = 0; i < node->childCount(); ++i)
        walk(node->child(i), unnamed, names);
}

void expectEveryControlNamed(QWidget *window)
{
    SCOPED_TRACE(window->objectName().toStdString());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QStringList unnamed;
    QMultiHash<QString, QString> names;
    walk(QAccessible::queryAccessibleInterface(window), unnamed, names);
    EXPECT_EQ(unnamed.join(u'\n').toStdString(), "");
    QStringList twice;
    for (const QString &name : names.uniqueKeys()) {
        if (names.count(name) > 1)
            twice << name + u": "_s + QStringList(names.values(name)).join(u", "_s);
    }
    EXPECT_EQ(twice.join(u'\n').toStdString(), "");
    EXPECT_FALSE(names.isEmpty());
}

} // namespace

TEST(Accessibility, EveryControlOfEveryWindowHasAName)
{
    TempSettings settings;
    RecordingPrompts prompts;
    ProgramWindows windows(&prompts);
    windows.showSearchWindow();
    windows.showDownloadWindow();
    expectEveryControlNamed(windows.searchWindow());
    expectEveryControlNamed(windows.downloadWindow());
    expectEveryControlNamed(windows.cover());

    FOption options(LoadOptionValues(), prompts, {});
    expectEveryControlNamed(&options);
    FrmAbout about(prompts);
    expectEveryControlNamed(&about);
    UrlReplace replace(
        [](const QString &, const QString &, const std::function<void()> &) { return true; });
    expectEveryControlNamed(&replace);
    FormCopyMove copy(prompts);
    expectEveryControlNamed(&copy);
    SavePathValues values;
    FSeleFileSavePath picker(values, prompts);
    expectEveryControlNamed(&picker);
    FIEcache cache(CacheViewerPlaces::forThisUser({}), prompts);
    expectEveryControlNamed(&cache);
}

// The two boxes of the batch read as what they are, not both as the frame's title.
TEST(Accessibility, TheBatchBoxesReadAsTheirOwnCaptions)
{
    TempSettings settings;
    RecordingPrompts prompts;
    ProgramWindows windows(&prompts);
    windows.showSearchWindow();
    FWebSearch *search = windows.searchWindow();
    const auto name = [&](const QString &box) {
        return QAccessible::queryAccessibleInterface(search->findChild<QPlainTextEdit *>(box))
            ->text(QAccessible::Name);
    };
    EXPECT_EQ(name(u"Text1"_s), u"每行一组关键词："_s);
    EXPECT_EQ(name(u"Text2"_s), u"已经完成："_s);
}
