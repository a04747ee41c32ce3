// Content sniffing over a saved file: the whole signature table, the compound-document and
// package tests, the trailing TAG and the text tests (page, caa).
#include "download/filetype.h"
#include "fuzzing.h"

#include <QSet>
#include <QTemporaryDir>

using namespace papyrant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QSet<QString> types = {QString(),  u"pdf"_qs,  u"caj"_qs,  u"kdh"_qs, u"nh"_qs,
                                        u"tif"_qs,  u"rtf"_qs,  u"exe"_qs,  u"rar"_qs, u"zip"_qs,
                                        u"docx"_qs, u"xlsx"_qs, u"pptx"_qs, u"swf"_qs, u"rm"_qs,
                                        u"wma"_qs,  u"mp3"_qs,  u"png"_qs,  u"gif"_qs, u"jpg"_qs,
                                        u"doc"_qs,  u"xls"_qs,  u"ppt"_qs,  u"htm"_qs, u"caa"_qs};
    static QTemporaryDir dir;
    static const QString path = dir.path() + u"/sniffed"_qs;

    // The first byte pins the code page the text tests read in; the rest is the file.
    const fuzz::Input in = fuzz::readInput(data, size);
    fuzz::CodePage codePage(in.gbk);
    const QByteArray &content = in.bytes;
    fuzz::writeFile(path, content);
    const QString type = 打开文件判断文件类型(path);
    FUZZ_CHECK(types.contains(type), "the sniffed type is one of the table's");

    // The signature tests see the first bytes and one 0 after them, never more.
    QByteArray buffer = content.left(10240);
    buffer.append('\0');
    const QString signature = signatureType(buffer);
    FUZZ_CHECK(types.contains(signature), "a signature type is one of the table's");
    if (!signature.isEmpty())
        FUZZ_CHECK(type == signature, "a matching signature decides the file's type");
    return 0;
}
