#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
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
    // Every file of the entry that exists ("_0", "_1", "_s").
    QStringList files() const;
};

// Reads the entry in one "_0" file. None when it is not a complete entry of a known layout
// (another file of the folder, an entry still being written, a damaged one).
std::optional<SimpleCacheEntry> ReadSimpleCacheEntry(const QString &entryFile);

// Every complete entry under the cache folder (searched to any depth), ordered by file name.
QList<SimpleCacheEntry> ListSimpleCacheEntries(const QString &cacheFolder);

// Writes the entry's body to `target` as the page or file it was, undoing a gzip, deflate or
// brotli transfer encoding; whole or not at all. False when the body cannot be read, does not
// match its checksum, cannot be decoded or cannot be written.
bool ExtractSimpleCacheBody(const SimpleCacheEntry &entry, const QString &target);

} // namespace papyrant
