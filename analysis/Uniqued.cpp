#include "analysis/Uniqued.h"

#include <algorithm>
#include <unordered_set>

#include "platform/foundation/TextUtils.h"

namespace quillora {

namespace {
// Text of ASCII characters only is its own normal form; most dictated words are, so the ICU
// round trip is kept for the rest.
bool isASCII(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}
} // namespace

std::vector<std::string> uniqued(const std::vector<std::string>& strings) {
    std::vector<std::string> result;
    std::unordered_set<std::string> seen;
    seen.reserve(strings.size());
    for (const std::string& s : strings) {
        std::string key = isASCII(s) ? s : platform::normalizedNFC(s);
        if (seen.insert(std::move(key)).second) result.push_back(s);
    }
    return result;
}

} // namespace quillora
