#pragma once

#include <QString>

class QWidget;

namespace papyrant {

// Stores the window's placement under its object name: "0*0" when maximised, else the screen
// resolution and its position and size in twips.
void SaveWindowPlacement(QWidget *window);
// Applies the stored placement, or maximises the window (first run, saved maximised, or saved
// at another screen resolution).
void RestoreWindowPlacement(QWidget *window);

// True when a top-level window of that object name exists, compared without regard to case.
bool IsWindowLoaded(const QString &name);

} // namespace papyrant
