#pragma once
// How a person names a control by what it shows: exactly, else without the blanks around it
// (a title such as "OK " or " 🅧 Cancel "), else by the start of it when only one starts so.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct LabelMatch {
    // The positions in `names` that match, by the first rule that gives any.
    std::vector<std::size_t> hits;
    // The rule that found them, for a message: "labelled" or "whose label starts with".
    std::string_view rule = "labelled";
};

LabelMatch matchLabel(const std::vector<std::string>& names, std::string_view label);

// `s` without the blanks, tabs and line breaks around it.
std::string_view trimmedLabel(std::string_view s);

} // namespace platform
