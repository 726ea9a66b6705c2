#pragma once
// A span of a UTF-8 string, in bytes. Every range the text helpers and taggers take or give is counted in
// bytes of the std::string they were given (not in UTF-16 units): text.substr(r.location, r.length) is the
// token, and the whole string is {0, text.size()}.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

struct TextRange {
    std::size_t location = 0;
    std::size_t length = 0;

    std::size_t end() const { return location + length; }
    bool contains(const TextRange& other) const { return other.location >= location && other.end() <= end(); }
    bool operator==(const TextRange&) const = default;

    std::string_view of(std::string_view text) const { return text.substr(location, length); }
};

} // namespace platform
