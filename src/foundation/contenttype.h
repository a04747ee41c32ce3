#pragma once

#include <QString>

namespace papyrant {

// The file extension (without dot, possibly empty) for a content type such as "application/pdf"
// or "text/html; charset=utf-8". What is not in the table is cut to its leading letters a-z, and
// more than five of them is no extension.
QString ExtensionForContentType(const QString &contentType);

} // namespace papyrant
