#pragma once

#include <QString>

namespace papyrant {

// The folder that holds the program's own data files (the folder history, the sound clips):
// the executable's folder when it is writable, else the per-user application-data folder.
// Ends in "/".
QString ProgramDataFolder();
// True for the folders where the system keeps installed programs (/usr/bin and the like): the
// program never writes its data there, even when it may.
bool IsSystemProgramFolder(const QString &folder);
// Tests point it at a temporary folder; empty goes back to the rule above.
void setProgramDataFolderForTesting(const QString &folder);

// The folder-history file in the program data folder.
QString FolderHistoryPath();

} // namespace papyrant
