#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QIODevice>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace papyrant {

// The embedded browser's disk cache in the engine's "simple cache" form: one file per entry,
// named by a hash of its key ("<16 hex digits>_0"), that holds a header, the key (the URL,
// possibly behind a partition prefix), the body, and the answer's headers. Side data of an
// entry lives in "_1" and "_s" files of the same hash.
struct SimpleCacheEntry
{
    QString entryFile; // the "_0" file
    QString key;       // as stored
    QString url;       // the key's URL
    qint64 bodyOffset = 0;
    qint64 bodySize = 0;
    quint32 bodyCrc = 0;
    bool hasBodyCrc = false;
    QByteArray headers; // the answer's header block, lines separated by "\n" ("" when unknown)

    // One header's value from the stored answer (case ignored); empty when absent.
    QByteArray header(const QByteArray &name) const;
};

// Reads the entry's records from its "_0" file, open for reading: the key, where the body lies
// and its stored size, the answer's headers. The body itself is not read. None when it is not a
// complete entry of a known layout (another file of the folder, an entry still being written, a
// damaged one).
std::optional<SimpleCacheEntry> ReadSimpleCacheEntry(QIODevice &file, const QString &entryFile);
std::optional<SimpleCacheEntry> ReadSimpleCacheEntry(const QString &entryFile);

// Every complete entry under the cache folder (searched to any depth, no link followed),
// ordered by file name.
QList<SimpleCacheEntry> ListSimpleCacheEntries(const QString &cacheFolder);

// Writes a body to a file as the page or file it was (a gzip, deflate or brotli encoding
// undone), a piece at a time, so that a window stays responsive between the pieces. No more
// than the limit comes out: a body that decodes to more is refused as soon as it passes it. The
// file is written under a temporary name in the target's folder and put in place, under a name
// that was free, only when it is whole and its checksum right; whatever ends otherwise leaves
// nothing behind.
class BodyExtraction
{
public:
    enum class State {
        Running,
        Done,
        TooLarge,    // decodes to more than the limit
        Damaged,     // cut short, a wrong checksum, or not what its encoding says
        Undecodable, // an encoding this program does not know
        ReadFailed,
        WriteFailed,
    };

    // The body of an entry whose "_0" file is `source`. limit: bytes (negative: none).
    BodyExtraction(const SimpleCacheEntry &entry, std::unique_ptr<QIODevice> source,
                   const QString &target, qint64 limit);
    // The whole of `source` as it is (a file copied, not decoded).
    BodyExtraction(std::unique_ptr<QIODevice> source, const QString &target, qint64 limit);
    ~BodyExtraction();

    // What the finished file's modification time is (by default the time it was written).
    void keepModificationTime(const QDateTime &time);
    // Works until about `budget` bytes have been read and written, then returns the state.
    State step(qint64 budget = 1024 * 1024);
    State state() const { return m_state; }
    qint64 written() const { return m_written; }

private:
    struct Private;
    std::unique_ptr<Private> d;
    State m_state = State::Running;
    qint64 m_written = 0;
};

// The whole extraction at once, from the entry's own file (opened without following a link).
BodyExtraction::State ExtractSimpleCacheBody(const SimpleCacheEntry &entry, const QString &target,
                                             qint64 limit);

} // namespace papyrant
