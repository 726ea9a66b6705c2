#pragma once
// What pango is given of a text. Shaping a character that carries a long run of combining marks
// takes time that grows with the square of the run (a megabyte of accents on one letter would
// hold the screen for hours), while past a few dozen marks nothing more can be seen: the marks
// beyond that are left out of what is laid out, and offsets are mapped across the gap so that the
// caret and a touch still name places of the whole text.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class ShownText {
public:
    // Combining marks kept on one character; the rest of a longer run is not laid out.
    static constexpr std::size_t kMaxMarksPerCharacter = 32;

    ShownText() = default;
    // `source` must be UTF-8.
    explicit ShownText(std::string_view source);

    const std::string& text() const { return shown_; }
    bool leftOutAnything() const { return !gaps_.empty(); }
    // The byte of the shown text for a byte of the source (the gap's place for one inside a
    // run that is left out), and back (a place at a gap stands after the run left out).
    std::size_t shownByte(std::size_t sourceByte) const;
    std::size_t sourceByte(std::size_t shownByte) const;

    // At most `maxBytes` of `text`, cut before a character: what a label can show of a text far
    // longer than any screen.
    static std::string_view prefix(std::string_view text, std::size_t maxBytes);

private:
    struct Gap {
        std::size_t sourceAt = 0, shownAt = 0, length = 0;
    };
    std::string shown_;
    std::vector<Gap> gaps_;
};

} // namespace platform
