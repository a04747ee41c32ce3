#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace papyrant {

// "The system code page": the ANSI code page on Windows, the locale's encoding elsewhere
// (UTF-8 on Linux). Rules that count bytes, the folder-history file and byte-level tests go
// through it. Tests pin it to "GBK" (the Chinese Windows case) or "UTF-8".
QByteArray systemCodePageName();
void setSystemCodePageForTesting(const QByteArray &name); // empty: back to the platform's

// Text to code-page bytes. A character the code page cannot represent becomes "?".
QByteArray toCodePage(QStringView text);
// Code-page bytes to text. Invalid bytes become U+FFFD; nothing fails.
QString fromCodePage(QByteArrayView bytes);
// Bytes one character takes in the code page (0 for a character it cannot represent).
int codePageBytes(QChar c);

} // namespace papyrant
