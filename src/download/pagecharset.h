#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace papyrant {

// The character set of a saved web page, found as a browser finds it when no header is at hand:
// a byte-order mark first, then a <meta charset> or <meta http-equiv="Content-Type"> in the first
// 8 KB. Empty when the page declares nothing that can be decoded. Labels are given
// as declared ("shift_jis", "EUC-JP"); "utf-16" in a <meta> is read as UTF-8 (the page's bytes
// could not have declared it otherwise) and "x-user-defined" as windows-1252.
QByteArray DeclaredPageCharset(QByteArrayView bytes);

// A saved web page as UTF-8, the form an HTML parser takes.
struct PageUtf8
{
    QByteArray utf8;    // without a byte-order mark
    QByteArray charset; // what the bytes were read as: declared, else guessed
};

// Decodes a page by DeclaredPageCharset; a page that declares nothing is read as UTF-8 when it
// is valid UTF-8, else as EUC-JP or Shift_JIS when one of them reads as Japanese text (many
// older pages in Japan declare neither), else as windows-1252. Never fails: bytes a character
// set cannot read become U+FFFD.
PageUtf8 PageAsUtf8(QByteArrayView bytes);

} // namespace papyrant
