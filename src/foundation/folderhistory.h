#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace papyrant {

// The folder-history file (SaveList.dat): one folder a line in the system code page, CR LF.

// The folders of the file: the first 100 non-empty lines (ended by CR LF, LF or CR), trimmed
// of white space and byte-order marks, without NULs, duplicates (ignoring case) dropped. nullopt
// when there is no file; an empty list when it cannot be read.
std::optional<QStringList> ReadFolderHistory(const QString &path);

// Replaces the file with `folders`, one a line; an empty list writes one empty line. The file is
// replaced in one step, so a failure leaves the previous file as it was. False on failure.
bool WriteFolderHistory(const QString &path, const QStringList &folders);

} // namespace papyrant
