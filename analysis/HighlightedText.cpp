#include "analysis/HighlightedText.h"

#include "platform/foundation/TextUtils.h"

namespace quillora {

using namespace platform::swiftui;

std::vector<std::pair<std::size_t, std::size_t>> HighlightedText::matchRanges(const std::string& text,
                                                                              const std::string& matching) {
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    for (const platform::TextRange& r : platform::findAllCaseInsensitive(text, matching))
        ranges.emplace_back(r.location, r.length);
    return ranges;
}

Text HighlightedText::body() const {
    std::vector<TextRun> runs;
    std::size_t done = 0;
    for (auto [location, length] : matchRanges(text, matching)) {
        if (location > done) runs.push_back({text.substr(done, location - done), std::nullopt, std::nullopt});
        runs.push_back({text.substr(location, length), Color::red(), std::nullopt});
        done = location + length;
    }
    if (done < text.size() || runs.empty()) runs.push_back({text.substr(done), std::nullopt, std::nullopt});
    return Text(std::move(runs));
}

} // namespace quillora
