#pragma once
// Universally unique identifiers: random (version 4) values that identify items in a list and
// selections that must match none of them.

#include <array>
#include <cstdint>
#include <string>

namespace platform {

struct UUID {
    std::array<std::uint8_t, 16> bytes{};

    // A fresh random identifier.
    static UUID make();
    // Upper-case hexadecimal in the 8-4-4-4-12 grouping.
    std::string uuidString() const;

    bool operator==(const UUID&) const = default;
};

} // namespace platform
