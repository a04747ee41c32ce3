// The base-link rewrite of a saved page: the first line of the input is the row's link, the
// rest the page as it was saved.
#include "download/downloadqueue.h"
#include "download/filetype.h"
#include "fuzzing.h"

#include <QFile>
#include <QTemporaryDir>

using namespace papyrant;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::ReadOnly), "the page is still there");
    return f.readAll();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    // The first byte pins the code page (bit 0) and asks for the type "HTML" (bit 1).
    const fuzz::Input in = fuzz::readInput(data, size);
    fuzz::CodePage codePage(in.gbk);
    const QByteArray &input = in.bytes;
    const qsizetype newline = input.indexOf('\n');
    const QByteArray page = newline < 0 ? input : input.mid(newline + 1);

    QueueRow row;
    row.Urls = QString::fromUtf8(newline < 0 ? QByteArray() : input.left(newline));
    row.Name = u"page"_qs;
    row.Type = (size > 0 && (data[0] & 2)) ? u"HTML"_qs : u"htm"_qs;
    row.SaveFolder = dir.path() + u'/';
    row.BaseFlag = u"Y"_qs;
    const QString path = row.SaveFolder + row.Name + u'.' + row.Type.toLower();
    fuzz::writeFile(path, page);

    const bool rewritten = AddBaseLink(row);
    const QByteArray after = readAll(path);
    const qsizetype head = page.toLower().indexOf("</head>");
    FUZZ_CHECK(rewritten == (head >= 0), "a page is rewritten exactly when it has </head>");
    if (!rewritten) {
        FUZZ_CHECK(after == page, "a page left alone keeps every byte");
        return 0;
    }
    // Only the tag is added, right before the first </head>; every other byte stays.
    FUZZ_CHECK(after.size() > page.size(), "the tag is added");
    FUZZ_CHECK(after.startsWith(page.left(head)), "the bytes before </head> stay");
    FUZZ_CHECK(after.endsWith(page.mid(head)), "</head> and what follows stay");
    const QByteArray tag = after.mid(head, after.size() - page.size());
    FUZZ_CHECK(tag.startsWith("<Base href='") && tag.endsWith("'>"), "the tag is a base link");
    FUZZ_CHECK(tag.count('\'') == 2, "the link cannot end the attribute early");
    return 0;
}
