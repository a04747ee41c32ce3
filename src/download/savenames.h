#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <utility>

namespace papyrant {

// The names in the save folders as the same-name rules see them: what stands on disk, and the
// names of the downloads that are running, reserved in memory until their transfer ends (a
// transfer creates nothing under its final name before its commit).
//
// A name is compared with letter case ignored ("N.pdf" and "N.PDF" are one name, as on
// Windows). For that each folder is listed once, as a set of case-folded names, kept current by
// the program's own writes (added, removed) and listed again after forgetListings() (each start
// of the downloads). Every answer is checked against the disk for the names it concerns, so a
// file the user added or removed under the very name asked for is seen at once; one that
// differs in letter case only is seen at the next start.
class SaveNames
{
public:
    // What stands on disk under a name.
    enum class Found {
        Nothing,
        Leftover, // an empty file or the 01 00 placeholder of an interrupted run: no article
        File,     // a file, or a link to one
        Other,    // a folder, a link to nothing or to a folder, a device: no file can go there
    };
    struct OnDisk
    {
        Found found = Found::Nothing;
        QString path; // the entry found, in its own letter case
    };

    // The entry under path's name in its folder, letter case ignored. Where several differ in
    // case only, a file goes before another entry, and either before a leftover.
    OnDisk onDisk(const QString &path);
    bool isReserved(const QString &path) const;
    // No new file may take the name: it is reserved, or something other than a leftover
    // stands there.
    bool isTaken(const QString &path);

    // Holds a name while a transfer runs; the name is free again when the holder goes. A holder
    // may outlive the SaveNames it came from.
    class Reservation
    {
    public:
        Reservation() = default;
        Reservation(Reservation &&other) noexcept { *this = std::move(other); }
        Reservation &operator=(Reservation &&other) noexcept;
        ~Reservation() { release(); }
        void release();

    private:
        friend class SaveNames;
        std::weak_ptr<QHash<QString, int>> m_reserved;
        QString m_key;
    };
    Reservation reserve(const QString &path);

    // The program's own changes in a listed folder.
    void added(const QString &path);
    void removed(const QString &path);
    // Every folder is listed again when next asked.
    void forgetListings() { m_folders.clear(); }

private:
    struct Listing
    {
        QHash<QString, QStringList> names; // case-folded name -> names on disk
    };
    Listing &listing(const QString &folder);

    QHash<QString, Listing> m_folders; // by folder path, ending in "/"
    // folder + case-folded name -> holders
    std::shared_ptr<QHash<QString, int>> m_reserved = std::make_shared<QHash<QString, int>>();
};

} // namespace papyrant
