// The folder-history file (SaveList.dat) as any bytes: what is read, and what a save of it
// reads back.
#include "foundation/folderhistory.h"
#include "fuzzing.h"

#include <QTemporaryDir>

using namespace papyrant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.path() + u"/SaveList.dat"_qs;
    const fuzz::Input in = fuzz::readInput(data, size);
    fuzz::CodePage codePage(in.gbk);
    fuzz::writeFile(path, in.bytes);

    const std::optional<QStringList> read = ReadFolderHistory(path);
    FUZZ_CHECK(read.has_value(), "an existing file gives a history");
    FUZZ_CHECK(read->size() <= 100, "at most 100 folders");
    for (qsizetype i = 0; i < read->size(); ++i) {
        const QString &entry = read->at(i);
        FUZZ_CHECK(!entry.isEmpty(), "no empty entry");
        FUZZ_CHECK(entry == entry.trimmed(), "entries are trimmed");
        for (const QChar c : {u'\r', u'\n', u'\0'})
            FUZZ_CHECK(!entry.contains(c), "no line break or NUL inside an entry");
        for (qsizetype j = 0; j < i; ++j)
            FUZZ_CHECK(read->at(j).compare(entry, Qt::CaseInsensitive) != 0,
                       "no duplicates, ignoring case");
    }

    // What was read survives a save: the picker rewrites the file from its list on every OK.
    // A character GBK cannot write comes back as "?", so there only the reading back counts.
    FUZZ_CHECK(WriteFolderHistory(path, *read), "the history can be saved");
    const std::optional<QStringList> again = ReadFolderHistory(path);
    FUZZ_CHECK(again.has_value(), "a saved history reads back");
    if (!in.gbk)
        FUZZ_CHECK(*again == *read, "a saved history reads back the same");
    return 0;
}
