#pragma once

#include <QByteArray>
#include <QString>

namespace papyrant {

// Plain text for a file: in the system code page when every character fits there; otherwise
// UTF-8 behind a byte-order mark, so that nothing turns into "?" and editors still read it.
QByteArray EncodePlainText(const QString &text);

struct TextFileResult
{
    bool ok = false;
    qint64 bytes = 0; // the size of the file written
    QString error;    // why it failed, for the user
};

// Writes the text (EncodePlainText) to the file, replacing it. The old file stays as it was
// until the new one is complete.
TextFileResult WritePlainTextFile(const QString &path, const QString &text);

// "保存文件完毕：1,234.5KB": the size in kilobytes with one decimal and thousands separators.
QString SavedFileMessage(qint64 bytes);
// The message for a file that could not be written: which file and why.
QString FileNotSavedMessage(const QString &path, const QString &error);

} // namespace papyrant
