#include "download/htmltree.h"

#include <gumbo.h>

#include <csetjmp>
#include <cstdlib>

namespace papyrant {

namespace {

using Clock = std::chrono::steady_clock;

// Blocks are cut from large chunks and never freed one by one: the parser makes some 400,000
// allocations for a page of a megabyte, most of them small, and what it frees before the end
// (token buffers, grown vectors) is a sixth of what it takes. Dropping the chunks frees a tree
// of any depth without recursion, and a parse left half-way leaks nothing.
constexpr std::size_t chunkBytes = 256 * 1024;
constexpr std::size_t alignment = alignof(std::max_align_t);

struct Chunk
{
    Chunk *next;
    std::size_t used;
    std::size_t size;
    std::size_t unused; // keeps the payload aligned as malloc aligns it
};
static_assert(sizeof(Chunk) % alignment == 0);

} // namespace

struct HtmlTreeArena
{
    Chunk *chunks = nullptr; // the one being cut first
    std::size_t allocated = 0;
    std::size_t memoryLimit = 0;
    Clock::time_point deadline;
    unsigned calls = 0;
    std::jmp_buf escape;

    HtmlTreeArena() = default;
    HtmlTreeArena(const HtmlTreeArena &) = delete;
    HtmlTreeArena &operator=(const HtmlTreeArena &) = delete;
    ~HtmlTreeArena()
    {
        while (chunks) {
            Chunk *next = chunks->next;
            std::free(chunks);
            chunks = next;
        }
    }
};

namespace {

// Leaves the parser for good. Only the parser's C frames and this one lie between here and the
// setjmp, and none of them owns anything the arena does not free.
[[noreturn]] void giveUp(HtmlTreeArena *arena)
{
    std::longjmp(arena->escape, 1);
}

void *allocate(void *userdata, std::size_t size)
{
    auto *arena = static_cast<HtmlTreeArena *>(userdata);
    // The clock is read now and then: the parser allocates for every tag it meets, and the
    // slow work (looking down a deep stack) happens between those allocations.
    if ((++arena->calls & 15) == 0 && Clock::now() > arena->deadline)
        giveUp(arena);
    const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
    if (rounded < size || rounded > arena->memoryLimit - arena->allocated)
        giveUp(arena);
    arena->allocated += rounded;
    Chunk *chunk = arena->chunks;
    if (!chunk || chunk->size - chunk->used < rounded) {
        // A large block gets a chunk of its own, behind the current one, so that the room
        // left in the current chunk is not thrown away.
        const bool large = rounded > chunkBytes / 4;
        const std::size_t payload = large ? rounded : chunkBytes;
        auto *fresh = static_cast<Chunk *>(std::malloc(sizeof(Chunk) + payload));
        if (!fresh)
            giveUp(arena);
        fresh->used = 0;
        fresh->size = payload;
        if (large && chunk) {
            fresh->next = chunk->next;
            chunk->next = fresh;
        } else {
            fresh->next = chunk;
            arena->chunks = fresh;
        }
        chunk = fresh;
    }
    void *block = reinterpret_cast<char *>(chunk + 1) + chunk->used;
    chunk->used += rounded;
    return block;
}

void deallocate(void *, void *)
{
    // Freed with the arena.
}

} // namespace

namespace {

// The parse itself, in a frame of its own that holds nothing needing destruction, as a
// longjmp back to its setjmp requires.
GumboOutput *parseOrGiveUp(const GumboOptions *options, std::jmp_buf &escape, const char *data,
                           std::size_t size)
{
    if (setjmp(escape) != 0)
        return nullptr;
    return gumbo_parse_with_options(options, data, size);
}

} // namespace

HtmlTree::HtmlTree(QByteArrayView utf8, const Limits &limits) : m_arena(new HtmlTreeArena)
{
    m_arena->memoryLimit = limits.memoryBytes;
    m_arena->deadline = Clock::now() + limits.time;
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = allocate;
    options.deallocator = deallocate;
    options.userdata = m_arena;
    options.max_errors = 0; // the tree is wanted, not a list of what is wrong with the page
    const GumboOutput *output =
        parseOrGiveUp(&options, m_arena->escape, utf8.data(), std::size_t(utf8.size()));
    if (output)
        m_document = output->document;
}

HtmlTree::~HtmlTree()
{
    delete m_arena;
}

} // namespace papyrant
