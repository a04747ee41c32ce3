#pragma once

#include <QString>
#include <QTemporaryFile>

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
    bool commit();        // true when the target now holds every byte written
    void cancelWriting(); // the temporary file goes, the target stays as it was

private:
    QString m_target;
    QTemporaryFile m_temp;
    bool m_failed = false;
};

} // namespace papyrant
