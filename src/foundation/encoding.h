#pragma once

#include <QString>

namespace papyrant {

// Percent-encodes a search keyword for the service's query string: "%" and the characters the
// code page writes with two or more bytes are escaped (as UTF-8), then "#", "^", "&" and "+".
// Other ASCII, spaces included, and characters the code page cannot write stay as they are.
QString UrlEncode(const QString &text);

// The UTF-8 byte escapes of one character ("中" gives "%E4%B8%AD"); ASCII letters and digits
// are returned unchanged.
QString Utf8Escape(char32_t c);

// A header value without line breaks, NULs and tabs, trimmed of spaces at both ends.
QString CleanHeaderValue(const QString &text);

// The longest start of text that takes at most 2 * n bytes in the system code page. A character
// the cut would split is dropped whole; characters the code page cannot write are kept as they
// are (counted as the one "?" byte the code page would put in their place).
QString LeftAnsiBytes(const QString &text, qsizetype n);

// The text without CR, LF and NUL characters (nothing is put in their place).
QString RemoveLineBreaks(const QString &text);

} // namespace papyrant
