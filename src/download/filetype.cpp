#include "download/filetype.h"

#include "download/downloadqueue.h"
#include "foundation/codepage.h"
#include "foundation/fileentry.h"
#include "foundation/filenames.h"
#include "foundation/fileutil.h"
#include "foundation/prompts.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <initializer_list>
#include <optional>

namespace papyrant {

namespace {

constexpr qint64 SniffLimit = 10240;

struct Bytes
{
    int offset;
    std::initializer_list<unsigned char> bytes;
};

// Tests one signature. A test that reaches past the buffer makes the whole decision fail, as
// a short file cannot be told by its later tests either.
enum class Match { No, Yes, OutOfBuffer };

Match test(QByteArrayView buf, std::initializer_list<Bytes> parts)
{
    for (const Bytes &part : parts)
        if (part.offset + qsizetype(part.bytes.size()) > buf.size())
            return Match::OutOfBuffer;
    for (const Bytes &part : parts) {
        int i = part.offset;
        for (unsigned char b : part.bytes)
            if (static_cast<unsigned char>(buf[i++]) != b)
                return Match::No;
    }
    return Match::Yes;
}

// An Office Open XML package names its parts in the local headers: the first part under
// word/, xl/ or ppt/ tells the kind. Packages the buffer does not show stay "docx".
QString officePackageType(QByteArrayView buf)
{
    const QByteArrayView signature("PK\x03\x04", 4);
    for (qsizetype at = 0; (at = buf.indexOf(signature, at)) >= 0; at += 4) {
        if (at + 30 > buf.size())
            break;
        const auto u16 = [&](qsizetype i) {
            return int(static_cast<unsigned char>(buf[i]))
                   | int(static_cast<unsigned char>(buf[i + 1])) << 8;
        };
        const int nameLength = u16(at + 26);
        if (at + 30 + nameLength > buf.size())
            break;
        const QByteArrayView name = buf.sliced(at + 30, nameLength);
        if (name.startsWith("word/"))
            return QStringLiteral("docx");
        if (name.startsWith("xl/"))
            return QStringLiteral("xlsx");
        if (name.startsWith("ppt/"))
            return QStringLiteral("pptx");
    }
    return QStringLiteral("docx");
}

bool containsAny(const QString &text, std::initializer_list<const char16_t *> words)
{
    for (const char16_t *w : words)
        if (text.contains(QStringView(w), Qt::CaseInsensitive))
            return true;
    return false;
}

bool containsAll(const QString &text, std::initializer_list<const char16_t *> words)
{
    for (const char16_t *w : words)
        if (!text.contains(QStringView(w), Qt::CaseInsensitive))
            return false;
    return true;
}

// The signature table. nullopt: a test reached past the buffer, which ends the whole decision
// (a short file cannot be told by the later tests either); "": no signature matched.
std::optional<QString> signatureDecision(QByteArrayView buf)
{
    struct Row
    {
        std::initializer_list<Bytes> parts;
        const char16_t *type;
    };
    static const Row rows[] = {
        {{{0, {0x25, 0x50, 0x44, 0x46}}}, u"pdf"},
        {{{0, {0xC8, 0x00, 0x00, 0x00}}}, u"caj"},
        {{{0, {0x43, 0x41, 0x4A, 0x00}}}, u"kdh"},
        {{{0, {0x4B, 0x44, 0x48, 0x20}}}, u"kdh"},
        {{{0, {0x48, 0x4E, 0x00, 0x00}}}, u"nh"},
        {{{0, {0x49, 0x49, 0x2A, 0x00}}}, u"tif"},
        {{{0, {0x7B, 0x5C, 0x72, 0x74, 0x66}}}, u"rtf"},
        {{{0, {0x4D, 0x5A}}}, u"exe"},
        {{{0, {0x52, 0x61, 0x72, 0x21}}}, u"rar"},
        {{{0, {0x50, 0x4B, 0x03, 0x04, 0x14, 0x00, 0x00, 0x00, 0x08}}}, u"zip"},
        {{{0, {0x50, 0x4B, 0x03, 0x04, 0x14, 0x00, 0x06, 0x00, 0x08, 0x00}}}, u"docx"},
        {{{0, {0x43, 0x57, 0x53, 0x06}}}, u"swf"},
        {{{0, {0x2E, 0x52, 0x4D, 0x46}}}, u"rm"},
        {{{0, {0x30, 0x26, 0xB2, 0x75, 0x8E}}}, u"wma"},
        {{{0, {0x49, 0x44, 0x33, 0x03}}}, u"mp3"},
        {{{0, {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}}}, u"png"},
        {{{0, {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x04}}}, u"gif"},
        {{{0, {0xFF, 0xD8, 0xFF, 0xE1}},
          {6, {0x45, 0x78, 0x69, 0x66}},
          {12, {0x4D, 0x4D, 0x00, 0x2A}}},
         u"jpg"},
        {{{0, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46}}}, u"jpg"},
    };
    for (const Row &row : rows) {
        switch (test(buf, row.parts)) {
        case Match::OutOfBuffer: return std::nullopt;
        case Match::Yes:
            if (QStringView(row.type) == u"docx")
                return officePackageType(buf);
            return QString::fromUtf16(row.type);
        case Match::No: break;
        }
    }
    // A compound document: its kind shows in the first bytes of the second sector.
    switch (test(buf, {{0, {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}}})) {
    case Match::OutOfBuffer: return std::nullopt;
    case Match::No: return QString();
    case Match::Yes: break;
    }
    if (buf.size() < 516)
        return std::nullopt;
    if (test(buf, {{512, {0xEC, 0xA5, 0xC1, 0x00}}}) == Match::Yes)
        return QStringLiteral("doc");
    if (test(buf, {{512, {0x09, 0x08, 0x10, 0x00}}}) == Match::Yes)
        return QStringLiteral("xls");
    if (static_cast<unsigned char>(buf[515]) == 0xF0)
        return QStringLiteral("ppt");
    return QString();
}

} // namespace

QString signatureType(QByteArrayView buffer)
{
    return signatureDecision(buffer).value_or(QString());
}

QString 打开文件判断文件类型(const QString &path)
{
    // Opening is the existence test: it fails for a missing file and for a folder.
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    const qint64 length = file.size();
    const qint64 wanted = std::min(length, SniffLimit) + 1;
    QByteArray buf = file.read(wanted);
    if (buf.size() < wanted - 1)
        return {};
    buf.resize(wanted, '\0'); // a position past the end of the file reads as 0

    const std::optional<QString> signature = signatureDecision(buf);
    if (!signature || !signature->isEmpty())
        return signature.value_or(QString());

    if (length > 128 && file.seek(length - 128) && file.read(3) == "TAG")
        return QStringLiteral("mp3");
    if (length < 200 * 1024) {
        const QString text = fromCodePage(buf);
        if (containsAny(text, {u"<title>", u"<head>", u"<body>"})
            && containsAny(text, {u"<html ", u"html>"}))
            return QStringLiteral("htm");
    }
    if (length < 3 * 1024) {
        // The buffer already holds the whole file.
        const QString text = fromCodePage(QByteArrayView(buf).first(length));
        if (containsAll(text, {u"A1=", u"[TARGET]", u"A2=", u"B1=", u"B2=", u"C1=", u"C2=", u"D1=",
                               u"D2=", u"DOCTYPE="}))
            return QStringLiteral("caa");
    }
    return {};
}

bool CorrectRowFileType(DownloadQueue &queue, int position, SameNameRule rule, SaveNames *names)
{
    if (!queue.isValidPosition(position))
        return false;
    SaveNames local;
    SaveNames &known = names ? *names : local;
    const QueueRow &row = queue.row(position);
    const QString oldPath = RowFilePath(row);
    // A missing file gives no type.
    const QString sniffed = 打开文件判断文件类型(oldPath);
    if (sniffed.isEmpty() || sniffed.compare(row.Type, Qt::CaseInsensitive) == 0)
        return false;
    const QString wanted = row.SaveFolder + row.Name + u'.' + sniffed;
    const bool ours = row.Committed && row.Committed->path == oldPath;

    if (rule == SameNameRule::Skip) {
        const SaveNames::OnDisk found = known.onDisk(wanted);
        if (found.found == SaveNames::Found::File) {
            // The article is there under its true name: the copy just fetched goes, if it is
            // still the one this program wrote.
            if (!ours || !RemoveIfStillSame(*row.Committed))
                return false;
            known.removed(oldPath);
            const QString length = QString::number(QFileInfo(found.path).size());
            queue.update(position, [&](QueueRow &r) {
                r.Type = sniffed;
                r.Size = length;
                r.Received = length;
                r.Percent = QueueWords::percentExists();
                r.State = QueueRow::Finished;
                r.Committed.reset();
            });
            return true;
        }
    }

    const QString newPath = UniqueFilePath(
        wanted, [&](const QString &path) { return EntryExists(path) || known.isTaken(path); });
    if (newPath.isEmpty() || RenameNoReplace(oldPath, newPath) != RenameResult::Done)
        return false;
    known.removed(oldPath);
    known.added(newPath);
    const QString newName = SplitNameAndExtension(newPath).name;
    queue.update(position, [&](QueueRow &r) {
        r.Type = sniffed;
        r.Name = newName;
        if (ours)
            r.Committed->path = newPath;
    });
    return true;
}

bool AddBaseLink(const QueueRow &row)
{
    const QString type = row.Type.toLower();
    if (row.BaseFlag != u"Y" || (type != u"htm" && type != u"html"))
        return false;
    const QString path = row.SaveFolder + row.Name + u'.' + type;
    // The page itself, never a file a link at its name points to (QSaveFile would write there).
    if (EntryAt(path) != EntryKind::File)
        return false;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QByteArray page = in.readAll();
    in.close();
    // Work on the bytes: "</head>" is plain ASCII in every code page the program meets, and a
    // page in another encoding than the system's keeps every byte it had.
    const qsizetype at = page.toLower().indexOf("</head>");
    if (at < 0)
        return false;
    // A quote in the link would end the attribute early.
    QString url = 选择url(row.Urls);
    url.replace(u'\'', QStringLiteral("%27"));
    const QString tag = QStringLiteral("<Base href='") + url + QStringLiteral("'>");
    page.insert(at, toCodePage(tag));
    // The new page replaces the old in one step, so a failed write leaves the page as it was.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(page) != page.size())
        return false;
    return out.commit();
}

void 打开文件判断类型(Prompts &prompts)
{
    const QString path =
        prompts.openFile(QStringLiteral("打开文件判断类型"), QStringLiteral("*.* (*)"));
    if (path.isEmpty())
        return;
    const QString type = 打开文件判断文件类型(path);
    prompts.message(type.isEmpty() ? QStringLiteral("目前还无法判断。")
                                   : QStringLiteral("文件类型为：") + type,
                    Prompts::Icon::Information);
}

int 检查并纠正磁盘文件类型(DownloadQueue &queue, Prompts &prompts, bool downloadsActive,
                           SameNameRule rule, SaveNames *names)
{
    if (downloadsActive) {
        prompts.message(QStringLiteral("停止下载以后，才能执行此操作！"),
                        Prompts::Icon::Information);
        return 0;
    }
    if (queue.isEmpty())
        return 0;
    int corrected = 0;
    queue.beginBatch();
    for (int p = 1; p <= queue.count(); ++p)
        corrected += CorrectRowFileType(queue, p, rule, names);
    queue.endBatch();
    prompts.message(QStringLiteral("纠正文件类型：") + QString::number(corrected)
                        + QStringLiteral("个."),
                    Prompts::Icon::Information);
    return corrected;
}

void 检查文件是否存在(DownloadQueue &queue)
{
    queue.beginBatch();
    for (int p = 1; p <= queue.count(); ++p)
        if (!FileExists(RowFilePath(queue.row(p))))
            queue.setPercent(p, QueueWords::percentMissing());
    queue.endBatch();
}

} // namespace papyrant
