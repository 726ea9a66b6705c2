#pragma once
// Property-list values and the XML property-list files of string arrays that entry lists use.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
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

// The array of strings in the property list at `path`. None when the file is missing or
// unreadable, is not a property list, its root is not an array, or any element is not a string:
// a list that was only partly understood is not handed back as if it were whole. `why`, when
// given, then says which of these it was.
std::optional<StringArray> readStringArrayPlist(const std::string& path, std::string* why = nullptr);

// Writes `array` as an XML property list, atomically. False (with `error` filled in) on failure.
bool writeStringArrayPlist(const std::string& path, const StringArray& array, NSError* error = nullptr);

} // namespace platform
