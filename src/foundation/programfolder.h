#pragma once

#include <QString>

namespace papyrant {

// The folder that holds the program's own data files (the folder history, the sound clips):
// the executable's folder when it is writable, else the per-user application-data folder.
// Ends in "/".
QString ProgramDataFolder();
// Tests point it at a temporary folder; empty goes back to the rule above.
void setProgramDataFolderForTesting(const QString &folder);

// The folder-history file in the program data folder.
QString FolderHistoryPath();

} // namespace papyrant
