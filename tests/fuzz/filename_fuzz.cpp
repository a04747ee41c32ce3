// File-name cleaning and the numbered-name rule: the input is a title, cleaned as the hand-off
// cleans it, and a list of names already in the folder (lines; a trailing "/" makes a folder).
#include "foundation/filenames.h"
#include "fuzzing.h"
#include "support/recordingprompts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace papyrant;

namespace {

bool isForbidden(QChar c)
{
    return QStringView(u"\\/:*?\"<>|").contains(c) || fuzz::isControl(c);
}

void checkCleanName(const QString &input, const QString &name)
{
    for (const QChar c : name)
        FUZZ_CHECK(!isForbidden(c), "no forbidden or control character in a cleaned name");
    FUZZ_CHECK(!name.startsWith(u'.') && !name.endsWith(u'.'), "no dot at either end");
    FUZZ_CHECK(name != u"." && name != u"..", "a name never leaves its folder");
    // Room for "." + extension and a counter within 255 bytes.
    FUZZ_CHECK(QFile::encodeName(name + u"[0001].html"_qs).size() <= 255, "the name fits the disk");
    FUZZ_CHECK(name.isEmpty() || !name.back().isHighSurrogate(), "no half pair at the end");
    FUZZ_CHECK(CleanFileName(name) == name, "cleaning a clean name changes nothing");
    // Empty only when nothing but forbidden characters, controls, dots and half pairs came in.
    bool somethingUsable = false;
    for (qsizetype i = 0; i < input.size(); ++i) {
        const QChar c = input[i];
        if (c.isHighSurrogate() && i + 1 < input.size() && input[i + 1].isLowSurrogate())
            somethingUsable = true;
        else if (!c.isSurrogate() && !isForbidden(c) && c != u'.')
            somethingUsable = true;
    }
    FUZZ_CHECK(name.isEmpty() == !somethingUsable, "a name is empty only when nothing was usable");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const fuzz::Input in = fuzz::readInput(data, size);
    fuzz::CodePage codePage(in.gbk);
    const QStringList lines = in.text.split(u'\n');
    const QString title = lines.constFirst();
    const QString name = CleanFileName(title);
    checkCleanName(title, name);
    for (const QString &line : lines)
        checkCleanName(line, CleanFileName(line));

    // The numbered-name rule in a folder that already holds the other lines' names.
    QTemporaryDir dir;
    FUZZ_CHECK(dir.isValid(), "a scratch folder");
    const QString folder = dir.path() + u'/';
    for (qsizetype i = 1; i < lines.size() && i <= 8; ++i) {
        const bool asFolder = lines[i].endsWith(u'/');
        const QString taken = CleanFileName(asFolder ? lines[i].chopped(1) : lines[i]);
        if (taken.isEmpty())
            continue;
        if (asFolder) {
            QDir().mkdir(folder + taken);
        } else {
            QFile f(folder + taken);
            (void)f.open(QIODevice::WriteOnly);
        }
    }
    const QString extension = in.gbk ? u"pdf"_qs : QString();
    const QString wanted = folder + (name.isEmpty() ? u"x"_qs : name)
                           + (extension.isEmpty() ? QString() : u'.' + extension);
    const QString unique = UniqueFilePath(wanted);
    const QFileInfo info(unique);
    FUZZ_CHECK(!info.exists() && !info.isSymLink(), "a numbered name is free");
    FUZZ_CHECK(QDir::cleanPath(info.absolutePath()) == QDir::cleanPath(dir.path()),
               "a numbered name stays in its folder");
    QFile created(unique);
    FUZZ_CHECK(created.open(QIODevice::WriteOnly), "a file can be created at a numbered name");
    created.close();

    // A folder made from the title stays under its parent and ends in no dot.
    test::RecordingPrompts prompts;
    const QString made = CreateFolderPath(folder + u"sub/"_qs + title, prompts);
    if (!made.isEmpty()) {
        FUZZ_CHECK(QFileInfo(made).isDir(), "a made folder exists");
        FUZZ_CHECK(QDir::cleanPath(made).startsWith(QDir::cleanPath(folder) + u'/'),
                   "a made folder stays under its parent");
        FUZZ_CHECK(!made.endsWith(u'.'), "a made folder ends in no dot");
    }
    return 0;
}
