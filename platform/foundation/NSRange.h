#pragma once
// A range in a text or a sequence: where it starts and how long it is. What the units are (UTF-16
// code units, bytes) is said by whoever hands the range out.

#include <cstddef>

namespace platform {

struct NSRange {
    std::size_t location = 0;
    std::size_t length = 0;
    bool operator==(const NSRange&) const = default;
};

} // namespace platform
