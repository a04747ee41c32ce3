// labels: unit
#include "download/savenames.h"
#include "support/qtprinters.h"
#include "support/testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

class SaveNamesTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    SaveNames names;
    QString at(const QString &name) const { return dir.path() + u'/' + name; }
};

} // namespace

// What stands under a name, letter case ignored: an article, a leftover of an interrupted run,
// or an entry no file can replace.
TEST_F(SaveNamesTest, WhatStandsUnderANameWhateverItsLetterCase)
{
    writeFile(at(u"N.pdf"_s), "%PDF-1.4");
    writeFile(at(u"m.PDF"_s), QByteArray("\x01\x00", 2));
    writeFile(at(u"e.pdf"_s), QByteArray());
    writeFile(at(u"x.pdf"_s), "ab"); // two bytes, but not the placeholder's
    QDir().mkpath(at(u"Dir.pdf"_s));
    QFile::link(at(u"nowhere"_s), at(u"l.pdf"_s));
    QFile::link(at(u"N.pdf"_s), at(u"tofile.pdf"_s));
    // a name twice in other letter case: the file counts, not the leftover
    writeFile(at(u"twice.pdf"_s), QByteArray());
    writeFile(at(u"TWICE.pdf"_s), "%PDF-1.4");

    struct Case
    {
        QString asked;
        SaveNames::Found found;
        QString path; // relative; empty: the name asked
    };
    const Case cases[] = {
        {u"n.PDF"_s, SaveNames::Found::File, u"N.pdf"_s},
        {u"N.pdf"_s, SaveNames::Found::File, {}},
        {u"M.pdf"_s, SaveNames::Found::Leftover, u"m.PDF"_s},
        {u"e.pdf"_s, SaveNames::Found::Leftover, {}},
        {u"x.pdf"_s, SaveNames::Found::File, {}},
        {u"dir.PDF"_s, SaveNames::Found::Other, u"Dir.pdf"_s},
        {u"L.pdf"_s, SaveNames::Found::Other, u"l.pdf"_s},
        {u"tofile.pdf"_s, SaveNames::Found::File, {}},
        {u"twice.pdf"_s, SaveNames::Found::File, u"TWICE.pdf"_s},
        {u"free.pdf"_s, SaveNames::Found::Nothing, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.asked.toStdString());
        const SaveNames::OnDisk got = names.onDisk(at(c.asked));
        EXPECT_EQ(got.found, c.found);
        if (c.found != SaveNames::Found::Nothing) {
            EXPECT_EQ(got.path, at(c.path.isEmpty() ? c.asked : c.path));
        }
        EXPECT_EQ(names.isTaken(at(c.asked)),
                  c.found == SaveNames::Found::File || c.found == SaveNames::Found::Other);
    }
}

// The folder is listed once; the program's own writes keep the listing current, and a name
// asked for is always checked on disk, so a file added or removed under it is seen at once.
TEST_F(SaveNamesTest, TheListingFollowsWritesWithoutListingAgain)
{
    writeFile(at(u"Old.pdf"_s), "%PDF-1.4");
    EXPECT_EQ(names.onDisk(at(u"first.pdf"_s)).found, SaveNames::Found::Nothing); // listed now

    writeFile(at(u"Ours.pdf"_s), "%PDF-1.4"); // a commit of the program
    names.added(at(u"Ours.pdf"_s));
    EXPECT_TRUE(names.isTaken(at(u"ours.PDF"_s)));

    writeFile(at(u"theirs.pdf"_s), "%PDF-1.4"); // someone else, under the very name
    EXPECT_TRUE(names.isTaken(at(u"theirs.pdf"_s)));
    EXPECT_TRUE(names.isTaken(at(u"THEIRS.pdf"_s))) << "the name seen is listed from then on";

    QFile::remove(at(u"Old.pdf"_s)); // gone behind the program's back
    EXPECT_FALSE(names.isTaken(at(u"old.pdf"_s)));
    QFile::rename(at(u"Ours.pdf"_s), at(u"Renamed.pdf"_s));
    names.removed(at(u"Ours.pdf"_s));
    names.added(at(u"Renamed.pdf"_s));
    EXPECT_FALSE(names.isTaken(at(u"ours.pdf"_s)));
    EXPECT_TRUE(names.isTaken(at(u"renamed.PDF"_s)));

    writeFile(at(u"Later.pdf"_s), "%PDF-1.4");
    names.forgetListings(); // the start of the downloads lists the folder again
    EXPECT_TRUE(names.isTaken(at(u"later.pdf"_s)));

    // A folder that is not there (or cannot be read) has no names; nothing throws.
    EXPECT_EQ(names.onDisk(at(u"gone/a.pdf"_s)).found, SaveNames::Found::Nothing);
    EXPECT_EQ(names.onDisk(at(u"a\0b.pdf"_s)).found, SaveNames::Found::Nothing);
    EXPECT_EQ(names.onDisk(dir.path() + u'/').found, SaveNames::Found::Nothing);
}

// Names of running downloads are held in memory, letter case ignored, until every holder has
// let go.
TEST_F(SaveNamesTest, ReservedNamesAreTakenUntilTheirHoldersGo)
{
    SaveNames::Reservation first = names.reserve(at(u"A.pdf"_s));
    EXPECT_TRUE(names.isReserved(at(u"a.PDF"_s)));
    EXPECT_TRUE(names.isTaken(at(u"a.pdf"_s)));
    EXPECT_FALSE(names.isReserved(dir.path() + u"/sub/a.pdf"_s)) << "another folder";
    {
        SaveNames::Reservation second = names.reserve(at(u"a.pdf"_s));
        SaveNames::Reservation moved = std::move(second);
        first.release();
        EXPECT_TRUE(names.isReserved(at(u"a.pdf"_s)));
    }
    EXPECT_FALSE(names.isReserved(at(u"a.pdf"_s)));
    EXPECT_FALSE(names.isTaken(at(u"a.pdf"_s)));

    // A holder may outlive the names (a transfer whose window went first).
    SaveNames::Reservation outliving;
    {
        SaveNames gone;
        outliving = gone.reserve(at(u"b.pdf"_s));
    }
    outliving.release();
}
