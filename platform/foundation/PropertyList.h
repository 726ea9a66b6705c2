#pragma once
// Property-list values and the XML property-list files of string arrays that entry lists use.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/foundation/NSError.h"

namespace platform {

using NSInteger = std::int64_t;
using StringArray = std::vector<std::string>;
using StringDictionary = std::map<std::string, std::string>;

// The values the user-defaults store keeps: an integer, a floating-point number, a Boolean, a
// string, an array of strings or a dictionary of strings.
using PropertyValue = std::variant<NSInteger, double, bool, std::string, StringArray, StringDictionary>;

// The largest list file read: a list of long dictations, far from what fills a phone's memory.
inline constexpr std::size_t kMaxListFileLength = std::size_t(256) << 20;
// Deeper property lists are refused before any reader (ours or libplist's, which recurses once a
// level) walks into them; what the application stores is at most three levels deep.
inline constexpr int kMaxPlistDepth = 128;

// What reading a list file found.
struct StringArrayPlistRead {
    // The whole list; none when anything kept it from being read whole.
    std::optional<StringArray> entries;
    // Nothing is at the path.
    bool missing = false;
    // Why `entries` is none, as the end of a sentence about the file ("it is empty").
    std::string why;
    // The complete entries before the place where a damaged or cut-short list breaks off.
    StringArray salvaged;
};

StringArrayPlistRead readStringArrayPlistFile(const std::string& path);
// The same over bytes already read.
StringArrayPlistRead parseStringArrayPlist(std::string_view bytes);

// The array of strings in the property list at `path`. None when the file is missing or
// unreadable, is not a property list, its root is not an array, or any element is not a string:
// a list that was only partly understood is not handed back as if it were whole. `why`, when
// given, then says which of these it was.
std::optional<StringArray> readStringArrayPlist(const std::string& path, std::string* why = nullptr);

// Writes `array` as an XML property list, atomically. False (with `error` filled in) on failure,
// and when a string holds what an XML file cannot carry (a NUL or another control character,
// bytes that are not UTF-8): such a list is refused whole rather than written broken.
bool writeStringArrayPlist(const std::string& path, const StringArray& array, NSError* error = nullptr);

// `text` as the content of an XML element: "&", "<", ">" and carriage returns escaped. None, with
// `why` set, when it holds what XML 1.0 cannot carry.
std::optional<std::string> xmlEscaped(std::string_view text, std::string* why = nullptr);

// Why the property list in `bytes` (XML or binary) may not be handed to a reader that recurses:
// nested deeper than `maxDepth`, or a binary list whose objects refer to each other in a loop or
// would unfold into far more objects than it holds. None when it may.
std::optional<std::string> plistNestingProblem(std::string_view bytes, int maxDepth = kMaxPlistDepth);

} // namespace platform
