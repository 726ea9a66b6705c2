#pragma once
// A text with every occurrence of a search term shown in red.

#include <string>
#include <utility>
#include <vector>

#include "platform/swiftui/View.h"

namespace quillora {

struct HighlightedText {
    std::string text;
    std::string matching;

    // Every occurrence of `matching` in `text`, ignoring case, as byte ranges (offset, length), left
    // to right and not overlapping; none for an empty term. Computed on the text as it stands, so
    // nothing in it (angle brackets, words that look like markers) can change what is shown.
    static std::vector<std::pair<std::size_t, std::size_t>> matchRanges(const std::string& text,
                                                                        const std::string& matching);

    // The text, run by run: the matches red, the rest in the default colour.
    platform::swiftui::Text body() const;
};

} // namespace quillora
