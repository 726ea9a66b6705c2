#pragma once
// A text measurer for layout tests: every character (byte) is half the font size wide, a line is
// the font size high (the first run's font, else the inherited one), and lines wrap at spaces (or anywhere in
// a word longer than the width).

#include <algorithm>
#include <cmath>
#include <sstream>

#include "platform/swiftui/ViewLayout.h"

namespace quillora::test {

class FixedWidthText : public platform::swiftui::TextMeasurer {
public:
    platform::CGSize measure(const std::vector<platform::swiftui::TextRun>& runs,
                             const platform::swiftui::TextStyle& style,
                             std::optional<double> width) const override {
        std::string text;
        for (const auto& r : runs)
            text += r.text;
        // A run's own font wins over the one the text inherits (the first run's, for simplicity).
        double size = !runs.empty() && runs[0].font ? runs[0].font->size
                      : style.font.size > 0         ? style.font.size
                                                    : 17;
        size *= style.scale;
        double advance = size / 2;
        std::size_t perLine =
            width ? std::max<std::size_t>(1, static_cast<std::size_t>(*width / advance)) : std::string::npos;
        std::size_t lines = 0, longest = 0;
        std::istringstream paragraphs(text);
        for (std::string paragraph; std::getline(paragraphs, paragraph);) {
            std::size_t line = 0;
            std::istringstream words(paragraph);
            ++lines;
            for (std::string word; words >> word;) {
                std::size_t need = line ? line + 1 + word.size() : word.size();
                if (need <= perLine) {
                    line = need;
                    continue;
                }
                if (line) ++lines;
                while (word.size() > perLine) {
                    longest = std::max(longest, perLine);
                    word.erase(0, perLine);
                    ++lines;
                }
                line = word.size();
                longest = std::max(longest, line);
            }
            longest = std::max(longest, line);
        }
        if (style.lineLimit > 0)
            lines = std::min<std::size_t>(lines, static_cast<std::size_t>(style.lineLimit));
        return {static_cast<double>(longest) * advance,
                static_cast<double>(std::max<std::size_t>(lines, 1)) * size};
    }
};

} // namespace quillora::test
