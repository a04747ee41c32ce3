#pragma once

#include "browser/staticdocument.h"

#include <memory>

namespace papyrant::test {

// A page parsed from markup, standing in for the browser in logic tests. It must see what the
// engine sees, or a test passes on a page the real program gets wrong:
// - the tree is built as browsers build it for ordinary pages (void elements, raw-text
//   elements, implied ends of P, LI, TD and the like, stray end tags ignored);
// - character references are decoded in text and attributes;
// - outerHTML is the tree written out again, as documentElement.outerHTML is, so a search of
//   the markup sees decoded references (and "&amp;" where the page had "&");
// - innerText is the rendered text: elements hidden by display:none (inline or by a simple
//   rule of a STYLE element) or by the hidden attribute add nothing; an element that is not
//   rendered itself gives its text content, as the engine does;
// - href is absolute, resolved against url (or the page's BASE).
// Nothing recurses per nesting level, and each element's innerText is worked out when read.
std::shared_ptr<StaticDocument> parseHtml(const QString &html, const QString &url);

} // namespace papyrant::test
