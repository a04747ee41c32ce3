#pragma once

#include "foundation/replacingfile.h"

#include <QFile>
#include <QString>
#include <memory>

namespace papyrant {

// One file copied piece by piece (so that a window can stay responsive between pieces) under a
// temporary name in the target's folder, and put in place by one rename when whole. The copy
// keeps the source's modification time and permissions, as the platform's own copy does. Until
// the rename the target is untouched, and a copy that fails or is dropped leaves nothing behind.
class FileCopy
{
public:
    enum class Target {
        New,     // the rename refuses a name that was taken meanwhile
        Replace, // an existing target is replaced by the rename, in one step
    };

    FileCopy(const QString &source, const QString &target, Target mode);

    // Opens the source and the temporary file; false when either cannot be opened.
    bool open();
    // Copies the next piece of at most maxBytes. False once the source is read to its end or a
    // read or write failed; then commit() tells which.
    bool copyPiece(qint64 maxBytes = 1024 * 1024);
    // Puts the finished copy in place. False (and the target as it was) on any failure.
    bool commit();
    // Drops the unfinished copy.
    void cancel();

    qint64 copied() const { return m_copied; }
    qint64 size() const { return m_size; }

private:
    QFile m_source;
    std::unique_ptr<ReplacingFile> m_out;
    Target m_mode;
    qint64 m_size = 0;
    qint64 m_copied = 0;
    bool m_failed = false;
};

// The whole copy at once.
bool CopyFileWhole(const QString &source, const QString &target, FileCopy::Target mode);

} // namespace papyrant
