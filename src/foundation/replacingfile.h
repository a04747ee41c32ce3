#pragma once

#include <QDateTime>
#include <QFileDevice>
#include <QString>
#include <QTemporaryFile>
#include <optional>

namespace papyrant {

// A file written under a temporary name in the target's folder and put in place by one rename
// when it is complete. Until then the target is untouched; a file never committed is removed.
// The commit never writes through a link planted at the target: a link, dangling or not, takes
// the name like any other entry. Unlike QSaveFile it does not force the data to disk on
// commit: for downloads of hundreds of megabytes that sync costs more than the transfer itself,
// and a body cut short by a crash is fetched again, not reported done.
class ReplacingFile
{
public:
    explicit ReplacingFile(const QString &target);
    ~ReplacingFile();

    // What a commit does with an entry that stands at the target already.
    enum class Existing {
        Keep,               // nothing is replaced: the commit fails when the name is taken
        KeepUnlessLeftover, // as Keep, but a leftover of an interrupted download is replaced
        ReplaceFile,        // a regular file is replaced; a link, folder or other entry is kept
    };

    bool open();
    qint64 write(const char *data, qint64 size);
    // True when the target now holds every byte written. On failure the temporary file is gone
    // and the target is as it was; targetTaken() tells whether the name was in the way.
    bool commit(Existing existing);
    bool commit() { return commit(Existing::ReplaceFile); }
    bool commitAsNew() { return commit(Existing::Keep); }
    bool targetTaken() const { return m_taken; }
    void cancelWriting(); // the temporary file goes, the target stays as it was
    // The errno of the first operation that failed (0 when none did; the target in the way is
    // told by targetTaken): why the file is not there.
    int errorNumber() const { return m_errorNumber; }

    // What the finished file gets on commit (a copy keeps its source's); by default the
    // temporary file's own.
    void keepModificationTime(const QDateTime &time) { m_modified = time; }
    void keepPermissions(QFileDevice::Permissions permissions) { m_permissions = permissions; }

private:
    // Flush, stamp and close the temporary file; false on any failure.
    bool finishWriting(Existing existing);

    QString m_target;
    QTemporaryFile m_temp;
    bool m_failed = false;
    bool m_taken = false;
    int m_errorNumber = 0;
    void noteError(int errorNumber);
    std::optional<QDateTime> m_modified;
    std::optional<QFileDevice::Permissions> m_permissions;
};

} // namespace papyrant
