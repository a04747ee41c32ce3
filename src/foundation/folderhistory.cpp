#include "foundation/folderhistory.h"

#include "foundation/codepage.h"
#include "foundation/fileutil.h"

#include <QFile>
#include <QSaveFile>

namespace papyrant {

namespace {

constexpr int MaxHistoryLines = 100;

// A line trimmed of white space and of byte-order marks: a mark (Notepad writes one before the
// first line) is no part of a folder name, wherever the decoder happened to leave it.
QString trimmedEntry(QString line)
{
    const auto isBlank = [](QChar c) { return c.isSpace() || c == QChar::ByteOrderMark; };
    qsizetype start = 0;
    qsizetype end = line.size();
    while (start < end && isBlank(line[start]))
        ++start;
    while (end > start && isBlank(line[end - 1]))
        --end;
    return line.mid(start, end - start);
}

bool containsIgnoringCase(const QStringList &list, const QString &text)
{
    for (const QString &entry : list) {
        if (entry.compare(text, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

std::optional<QStringList> ReadFolderHistory(const QString &path)
{
    if (!FileExists(path))
        return std::nullopt;
    QStringList folders;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return folders;
    int counted = 0;
    while (!file.atEnd() && counted <= MaxHistoryLines) {
        QByteArray bytes = file.readLine();
        if (bytes.endsWith('\n'))
            bytes.chop(1);
        // Lines are cut on bytes before decoding, so a broken character never swallows a line
        // end. A bare CR ends a line as CR LF does; a NUL is no part of any folder name.
        for (QByteArray &piece : bytes.split('\r')) {
            const QString line = trimmedEntry(fromCodePage(piece.replace('\0', QByteArray())));
            if (line.isEmpty())
                continue;
            if (++counted > MaxHistoryLines)
                break;
            if (!containsIgnoringCase(folders, line))
                folders.append(line);
        }
    }
    return folders;
}

bool WriteFolderHistory(const QString &path, const QStringList &folders)
{
    QByteArray bytes;
    for (const QString &folder : folders)
        bytes += toCodePage(folder) + "\r\n";
    if (folders.isEmpty())
        bytes = "\r\n";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace papyrant
