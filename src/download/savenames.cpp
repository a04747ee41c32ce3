#include "download/savenames.h"

#include "foundation/fileentry.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace papyrant {

namespace {

struct Split
{
    QString folder; // as given, up to and including the last "/"
    QString key;    // the folder cleaned, ending in "/": one listing per spelling
    QString name;
};

Split split(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    Split s{path.left(slash + 1), QString(), path.mid(slash + 1)};
    s.key = (s.folder.isEmpty() ? QStringLiteral(".") : QDir::cleanPath(s.folder)) + u'/';
    return s;
}

SaveNames::Found classify(const QString &path)
{
    switch (EntryAt(path)) {
    case EntryKind::None: return SaveNames::Found::Nothing;
    case EntryKind::File:
        return IsDownloadLeftover(path) ? SaveNames::Found::Leftover : SaveNames::Found::File;
    case EntryKind::Link:
        // A link to a file stands for that file (it is never written through); any other link
        // only takes the name.
        return QFileInfo(path).isFile() ? SaveNames::Found::File : SaveNames::Found::Other;
    case EntryKind::Folder:
    case EntryKind::Other: return SaveNames::Found::Other;
    }
    return SaveNames::Found::Nothing;
}

int rank(SaveNames::Found found)
{
    switch (found) {
    case SaveNames::Found::Nothing: return 0;
    case SaveNames::Found::Leftover: return 1;
    case SaveNames::Found::Other: return 2;
    case SaveNames::Found::File: return 3;
    }
    return 0;
}

} // namespace

SaveNames::Listing &SaveNames::listing(const QString &folder)
{
    const auto it = m_folders.find(folder);
    if (it != m_folders.end())
        return *it;
    Listing listing;
    // QDirIterator reports a folder it cannot read as empty and never throws; links are listed,
    // not followed.
    QDirIterator entries(folder,
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        entries.next();
        const QString name = entries.fileName();
        listing.names[name.toCaseFolded()].append(name);
    }
    return *m_folders.insert(folder, std::move(listing));
}

SaveNames::OnDisk SaveNames::onDisk(const QString &path)
{
    const Split s = split(path);
    if (s.name.isEmpty() || path.contains(QChar(0)))
        return {};
    OnDisk best{classify(path), path};
    Listing &l = listing(s.key);
    QStringList &names = l.names[s.name.toCaseFolded()];
    if (best.found != Found::Nothing && !names.contains(s.name))
        names.append(s.name); // made since the listing: from now on it is known
    if (best.found == Found::File)
        return best;
    for (qsizetype i = 0; i < names.size();) {
        if (names[i] == s.name) {
            ++i;
            continue;
        }
        const QString other = s.folder + names[i];
        const Found found = classify(other);
        if (found == Found::Nothing) { // removed by someone else since the listing
            names.removeAt(i);
            continue;
        }
        if (rank(found) > rank(best.found))
            best = {found, other};
        ++i;
    }
    if (names.isEmpty())
        l.names.remove(s.name.toCaseFolded());
    return best;
}

bool SaveNames::isReserved(const QString &path) const
{
    const Split s = split(path);
    return m_reserved->contains(s.key + s.name.toCaseFolded());
}

bool SaveNames::isTaken(const QString &path)
{
    if (isReserved(path))
        return true;
    const Found found = onDisk(path).found;
    return found == Found::File || found == Found::Other;
}

SaveNames::Reservation SaveNames::reserve(const QString &path)
{
    const Split s = split(path);
    Reservation r;
    r.m_reserved = m_reserved;
    r.m_key = s.key + s.name.toCaseFolded();
    ++(*m_reserved)[r.m_key];
    return r;
}

SaveNames::Reservation &SaveNames::Reservation::operator=(Reservation &&other) noexcept
{
    if (this != &other) {
        release();
        m_reserved = std::exchange(other.m_reserved, {});
        m_key = std::exchange(other.m_key, QString());
    }
    return *this;
}

void SaveNames::Reservation::release()
{
    if (const std::shared_ptr<QHash<QString, int>> reserved = m_reserved.lock()) {
        const auto it = reserved->find(m_key);
        if (it != reserved->end() && --*it <= 0)
            reserved->erase(it);
    }
    m_reserved.reset();
    m_key.clear();
}

void SaveNames::added(const QString &path)
{
    const Split s = split(path);
    const auto it = m_folders.find(s.key);
    if (it == m_folders.end() || s.name.isEmpty())
        return; // listed with the name when first asked
    QStringList &names = it->names[s.name.toCaseFolded()];
    if (!names.contains(s.name))
        names.append(s.name);
}

void SaveNames::removed(const QString &path)
{
    const Split s = split(path);
    const auto it = m_folders.find(s.key);
    if (it == m_folders.end())
        return;
    const QString folded = s.name.toCaseFolded();
    const auto names = it->names.find(folded);
    if (names == it->names.end())
        return;
    names->removeAll(s.name);
    if (names->isEmpty())
        it->names.erase(names);
}

} // namespace papyrant
