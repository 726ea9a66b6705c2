#pragma once
// Watches the calls into cairo that reach its fonts and its glyph cache (made by pango, poppler or
// our own code) for any made by a thread that does not hold the FontLock. A program linked with
// this library has every such call go through it first; each of its tests fails when one of its
// calls was unguarded, naming the first, with the stack that made it.

#include <cstddef>
#include <string>

namespace quillora::test {

class FontCallWatch {
public:
    // Unguarded calls since the last reset.
    static std::size_t unguardedCalls();
    // The first of them: the cairo function and the stack that called it.
    static std::string firstUnguarded();
    static void reset();
    // Guarded or not, calls since the last reset (to show that the watch sees them).
    static std::size_t calls();
};

} // namespace quillora::test
