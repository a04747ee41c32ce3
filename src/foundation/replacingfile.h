#pragma once

#include <QDateTime>
#include <QFileDevice>
#include <QString>
#include <QTemporaryFile>
#include <optional>

namespace papyrant {

// A file written under a temporary name in the target's folder and put in place by one rename
// when it is complete, replacing whatever file was there. Until then the target is untouched;
// a file never committed is removed. Unlike QSaveFile it does not force the data to disk on
// commit: for downloads of hundreds of megabytes that sync costs more than the transfer itself,
// and a body cut short by a crash is fetched again, not reported done.
class ReplacingFile
{
public:
    explicit ReplacingFile(const QString &target);
    ~ReplacingFile();

    bool open();
    qint64 write(const char *data, qint64 size);
    bool commit(); // true when the target now holds every byte written
    // Like commit, but never replaces: false (and the temporary file gone) when a file or
    // folder already stands at the target.
    bool commitAsNew();
    void cancelWriting(); // the temporary file goes, the target stays as it was
    // The errno of the first operation that failed (0 when none did): why the file is not there.
    int errorNumber() const { return m_errorNumber; }

    // What the finished file gets on commit (a copy keeps its source's); by default the
    // temporary file's own.
    void keepModificationTime(const QDateTime &time) { m_modified = time; }
    void keepPermissions(QFileDevice::Permissions permissions) { m_permissions = permissions; }

private:
    bool finishWriting(); // flush, stamp and close the temporary file; false on any failure

    QString m_target;
    QTemporaryFile m_temp;
    bool m_failed = false;
    int m_errorNumber = 0;
    void noteError(int errorNumber);
    std::optional<QDateTime> m_modified;
    std::optional<QFileDevice::Permissions> m_permissions;
};

} // namespace papyrant
