#pragma once

#include <QByteArrayView>

#include <chrono>
#include <cstddef>

struct GumboInternalNode;

namespace papyrant {

struct HtmlTreeArena;

// A page's tree as an HTML5 parser (gumbo) builds it, with bounds on what the parse may cost.
// The parser does work that grows with the square of the nesting depth (every start tag looks
// down the stack of open elements), so 50 KB of unclosed <div>s takes a second and 4 MB takes
// hours; and formatting elements left open are cloned into every paragraph after them, so a
// small page can ask for gigabytes. A hostile page must not hold the program that long or
// that much: the parse gives up when it runs past the time limit or has taken more memory than
// allowed (an ordinary page takes about eleven times its size), and everything it allocated is
// freed. Gumbo keeps no global state: trees may be built on several threads at once.
class HtmlTree
{
public:
    struct Limits
    {
        std::chrono::milliseconds time{1000};
        std::size_t memoryBytes = 256u << 20;
    };

    // Parses UTF-8 markup (invalid bytes read as U+FFFD). The markup must outlive the tree.
    HtmlTree(QByteArrayView utf8, const Limits &limits);
    ~HtmlTree();
    HtmlTree(const HtmlTree &) = delete;
    HtmlTree &operator=(const HtmlTree &) = delete;

    // The document node; null when the parse gave up.
    const GumboInternalNode *document() const { return m_document; }

private:
    HtmlTreeArena *m_arena = nullptr;
    const GumboInternalNode *m_document = nullptr;
};

} // namespace papyrant
