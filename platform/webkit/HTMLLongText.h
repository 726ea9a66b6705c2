#pragma once
// Long runs of text in a page, and the line breaks in them. The engine makes an element of a few
// hundred bytes for every word and every space, and walks all of them on each pass, so a
// transcript of megabytes costs seconds and gigabytes when parsed as one. Such a run is found in
// the markup before parsing, and laid out apart in pieces of about `kLongTextPieceBytes`, one
// under the other.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr std::size_t kLongTextBytes = 128 * 1024;
inline constexpr std::size_t kLongTextPieceBytes = 64 * 1024;

// Whether a line break tag (<br>, <br/>, <BR ...>) starts at `at`.
bool isLineBreakTag(std::string_view html, std::size_t at);

// The engine puts the empty line between two line breaks (<br><br>) below the text that follows
// instead of between: each such line gets a zero-width space, which makes it a line of its own
// and has no ink. Null when `html` has none.
std::optional<std::string> withEmptyLinesHeld(std::string_view html);

// A run of character data and line breaks (<br>) that is all an element holds: `begin` just after
// the element's opening tag, `end` at its closing tag.
struct HTMLLongTextRun {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string holder; // the element's tag name, lower case
};

// The runs of at least `atLeast` bytes in `html`, in order. Runs inside elements whose content is
// not text (script, style, title, textarea) are never taken.
std::vector<HTMLLongTextRun> findLongTextRuns(std::string_view html, std::size_t atLeast = kLongTextBytes);

// `run` cut into pieces of about `pieceBytes`. A piece ends, by preference, at a line break (which
// the cut itself stands for and is dropped), else at a blank (dropped too: the line wraps there),
// else between two characters outside any character reference. Every byte of the run other than
// the dropped ones is in exactly one piece.
std::vector<std::string_view> cutTextRun(std::string_view run, std::size_t pieceBytes = kLongTextPieceBytes);

} // namespace platform
