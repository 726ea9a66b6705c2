#include "platform/foundation/LabelMatch.h"

namespace platform {

std::string_view trimmedLabel(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\n");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\n") - first + 1);
}

LabelMatch matchLabel(const std::vector<std::string>& names, std::string_view label) {
    LabelMatch match;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == label) match.hits.push_back(i);
    if (!match.hits.empty()) return match;
    const std::string_view bare = trimmedLabel(label);
    if (bare.empty()) return match;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (trimmedLabel(names[i]) == bare) match.hits.push_back(i);
    if (!match.hits.empty()) return match;
    match.rule = "whose label starts with";
    for (std::size_t i = 0; i < names.size(); ++i)
        if (trimmedLabel(names[i]).starts_with(bare)) match.hits.push_back(i);
    return match;
}

} // namespace platform
