#pragma once
// A row's place in a table: its section and its row within the section.

#include <compare>
#include <string>

namespace platform {

struct NSIndexPath {
    long section = 0;
    long row = 0;

    static NSIndexPath indexPathForRow_inSection(long row, long section) { return {section, row}; }

    auto operator<=>(const NSIndexPath&) const = default;
    std::string description() const {
        return "[" + std::to_string(section) + ", " + std::to_string(row) + "]";
    }
};

} // namespace platform
