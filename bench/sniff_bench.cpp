// Content sniffing over 10,000 generated files of mixed types: the type correction of every
// queue row, against `file --mime-type` on the same files. Prints "name: value" lines.
#include "download/downloadqueue.h"
#include "download/filetype.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdio>

using namespace papyrant;

namespace {

QByteArray zipMember(const QByteArray &name, quint16 flags)
{
    QByteArray h("PK\x03\x04", 4);
    const auto u16 = [&](quint16 v) {
        h += char(v & 0xff);
        h += char(v >> 8);
    };
    const auto u32 = [&](quint32 v) {
        u16(quint16(v & 0xffff));
        u16(quint16(v >> 16));
    };
    u16(0x14);
    u16(flags);
    u16(8);
    u16(0);
    u16(0);
    u32(0);
    u32(50);
    u32(100);
    u16(quint16(name.size()));
    u16(0);
    return h + name + QByteArray(50, 'x');
}

// Filler that matches no signature and ends in no TAG block.
QByteArray filler(quint32 &seed, int size)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i) {
        seed = seed * 1664525u + 1013904223u;
        b[i] = char('a' + (seed >> 24) % 26);
    }
    return b;
}

struct Kind
{
    const char *name;
    QByteArray head;
};

QList<Kind> kinds()
{
    const auto bytes = [](const char *s, int n) { return QByteArray(s, n); };
    return {
        {"pdf", "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<<>>\nendobj\n"},
        {"gif", bytes("GIF89a\x04\x00\x04\x00\x80\x00\x00", 13)},
        {"htm", "<!DOCTYPE html>\n<html lang=\"zh\"><head><title>x</title></head><body>"},
        {"rtf", "{\\rtf1\\ansi "},
        {"exe", bytes("MZ\x90\x00\x03\x00\x00\x00\x04\x00\x00\x00\xff\xff\x00\x00", 16)},
        {"rar", bytes("Rar!\x1a\x07\x00", 7)},
        {"mp3", bytes("ID3\x03\x00\x00\x00\x00\x00\x0a\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xff"
                      "\xfb\x90\x00",
                      24)},
        {"tif", bytes("II*\x00\x08\x00\x00\x00", 8)},
        {"png", bytes("\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR\x00\x00\x00\x04\x00\x00\x00\x04\x08"
                      "\x02\x00\x00\x00",
                      29)},
        {"jpg", bytes("\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 20)},
        {"zip", zipMember("readme.txt", 0) + zipMember("b.txt", 0)},
        {"docx", zipMember("[Content_Types].xml", 6) + zipMember("_rels/.rels", 6)
                     + zipMember("word/document.xml", 6)},
        {"xlsx", zipMember("[Content_Types].xml", 6) + zipMember("_rels/.rels", 6)
                     + zipMember("xl/workbook.xml", 6)},
        {"pptx", zipMember("[Content_Types].xml", 6) + zipMember("_rels/.rels", 6)
                     + zipMember("ppt/presentation.xml", 6)},
        {"wma", bytes("\x30\x26\xb2\x75\x8e\x66\xcf\x11\xa6\xd9\x00\xaa\x00\x62\xce\x6c", 16)},
        {"unknown", "\x01"},
    };
}

// `file`'s answer as this program's type word; empty for answers without one.
QString typeOfMime(const QString &mime)
{
    static const QHash<QString, QString> map{
        {QStringLiteral("application/pdf"), QStringLiteral("pdf")},
        {QStringLiteral("image/gif"), QStringLiteral("gif")},
        {QStringLiteral("text/html"), QStringLiteral("htm")},
        {QStringLiteral("text/rtf"), QStringLiteral("rtf")},
        {QStringLiteral("application/x-dosexec"), QStringLiteral("exe")},
        {QStringLiteral("application/x-rar"), QStringLiteral("rar")},
        {QStringLiteral("application/vnd.rar"), QStringLiteral("rar")},
        {QStringLiteral("audio/mpeg"), QStringLiteral("mp3")},
        {QStringLiteral("image/tiff"), QStringLiteral("tif")},
        {QStringLiteral("image/png"), QStringLiteral("png")},
        {QStringLiteral("image/jpeg"), QStringLiteral("jpg")},
        {QStringLiteral("application/zip"), QStringLiteral("zip")},
        {QStringLiteral("application/vnd.openxmlformats-officedocument.wordprocessingml.document"),
         QStringLiteral("docx")},
        {QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"),
         QStringLiteral("xlsx")},
        {QStringLiteral(
             "application/vnd.openxmlformats-officedocument.presentationml.presentation"),
         QStringLiteral("pptx")},
        {QStringLiteral("video/x-ms-asf"), QStringLiteral("wma")},
        {QStringLiteral("application/octet-stream"), QString()},
        {QStringLiteral("text/plain"), QString()},
    };
    return map.value(mime, QStringLiteral("?"));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    constexpr int files = 10000;
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    const QList<Kind> all = kinds();

    DownloadQueue queue;
    QByteArray list;
    quint32 seed = 12345;
    for (int i = 0; i < files; ++i) {
        const Kind &kind = all[i % all.size()];
        QByteArray body = kind.head + filler(seed, 200 + int(seed % 30000));
        if (qstrcmp(kind.name, "htm") == 0)
            body += "</body></html>\n";
        QueueRow row;
        row.Urls = QStringLiteral("http://bench.example/%1").arg(i);
        row.Name = QStringLiteral("f%1").arg(i, 5, 10, QLatin1Char('0'));
        row.Type = QStringLiteral("bin");
        row.SaveFolder = folder;
        QFile f(RowFilePath(row));
        if (!f.open(QIODevice::WriteOnly) || f.write(body) != body.size())
            return 1;
        list += QFile::encodeName(RowFilePath(row)) + '\n';
        queue.append(row);
    }
    QFile listFile(folder + u"list.txt");
    if (!listFile.open(QIODevice::WriteOnly))
        return 1;
    listFile.write(list);
    listFile.close();

    // `file` first, on the files as they are; both run with the files in the page cache.
    QElapsedTimer t;
    t.start();
    QProcess file;
    file.start(QStringLiteral("file"), {QStringLiteral("--mime-type"), QStringLiteral("-b"),
                                        QStringLiteral("-f"), listFile.fileName()});
    file.waitForFinished(-1);
    const double fileMs = t.nsecsElapsed() / 1e6;
    const QStringList mimes = QString::fromUtf8(file.readAllStandardOutput()).split(u'\n');

    // The decision alone, like `file`: read each file and tell its type.
    t.restart();
    int told = 0;
    for (int p = 1; p <= files; ++p)
        told += !打开文件判断文件类型(RowFilePath(queue.row(p))).isEmpty();
    const double sniffMs = t.nsecsElapsed() / 1e6;

    // The correction command's work: decide, rename and update the row.
    t.restart();
    int corrected = 0;
    for (int p = 1; p <= files; ++p)
        corrected += CorrectRowFileType(queue, p);
    const double correctMs = t.nsecsElapsed() / 1e6;

    int compared = 0, agreed = 0;
    QHash<QString, int> disagreements;
    for (int p = 1; p <= files && p <= mimes.size(); ++p) {
        const QString theirs = typeOfMime(mimes[p - 1].trimmed());
        if (theirs == u"?")
            continue; // a type only one of the two knows
        const QString ours = queue.row(p).Type == u"bin" ? QString() : queue.row(p).Type;
        ++compared;
        if (ours == theirs)
            ++agreed;
        else
            ++disagreements[mimes[p - 1].trimmed() + u" vs " + ours];
    }

    std::printf("sniff_files: %d\n", files);
    std::printf("sniff_typed: %d\n", told);
    std::printf("sniff_ms: %.1f\n", sniffMs);
    std::printf("sniff_files_per_s: %.0f\n", files / (sniffMs / 1000));
    std::printf("correct_renamed: %d\n", corrected);
    std::printf("correct_ms: %.1f\n", correctMs);
    std::printf("correct_files_per_s: %.0f\n", files / (correctMs / 1000));
    std::printf("file_cmd_ms: %.1f\n", fileMs);
    std::printf("file_cmd_files_per_s: %.0f\n", files / (fileMs / 1000));
    std::printf("sniff_vs_file_cmd: %.2f\n", fileMs / sniffMs);
    std::printf("correct_vs_file_cmd: %.2f\n", fileMs / correctMs);
    std::printf("sniff_compared_with_file_cmd: %d\n", compared);
    std::printf("sniff_same_answers: %d\n", agreed);
    for (auto it = disagreements.cbegin(); it != disagreements.cend(); ++it)
        std::printf("sniff_disagreement: %s (%d)\n", qPrintable(it.key()), it.value());
    return compared > 0 && agreed == compared ? 0 : 2;
}
