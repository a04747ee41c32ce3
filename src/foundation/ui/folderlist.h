#pragma once

#include <QString>

class QComboBox;

namespace papyrant {

// Fills the drop-down list from the folder-history file; no file leaves the list as it is.
void LoadFolderHistory(QComboBox *list, const QString &path);
// Writes every entry of the list to the file, replacing it. Failures are ignored.
void SaveFolderHistory(QComboBox *list, const QString &path);

// Widens the drop-down part (not the control) so that the widest entry shows in full, with room
// for a scroll bar from 9 entries on, but never past the right edge of the screen. Returns the
// width.
int FitDropDownWidth(QComboBox *list);

} // namespace papyrant
