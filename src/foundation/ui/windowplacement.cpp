#include "foundation/ui/windowplacement.h"

#include "foundation/windowplacement.h"

#include <QApplication>
#include <QWidget>

namespace papyrant {

namespace {

QString sectionOf(const QWidget *window)
{
    const QString name = window->objectName();
    return name.isEmpty() ? QString::fromLatin1(window->metaObject()->className()) : name;
}

} // namespace

void SaveWindowPlacement(QWidget *window)
{
    if (!window)
        return;
    // pos() is where move() puts the frame and size() what resize() takes, so they round-trip.
    SaveWindowPlacement(sectionOf(window), window->isMaximized(),
                        QRect(window->pos(), window->size()));
}

void RestoreWindowPlacement(QWidget *window)
{
    if (!window)
        return;
    const WindowPlacement placement = ReadWindowPlacement(sectionOf(window));
    if (placement.maximised) {
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized)
                               | Qt::WindowMaximized);
        return;
    }
    const QRect rect = placement.pixelRect();
    window->setWindowState(Qt::WindowNoState);
    window->move(rect.topLeft());
    window->resize(rect.size());
}

bool IsWindowLoaded(const QString &name)
{
    if (name.isEmpty())
        return false;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget *window : windows) {
        if (window->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace papyrant
