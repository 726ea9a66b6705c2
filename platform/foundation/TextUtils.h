#pragma once
// Unicode-aware text helpers over UTF-8 strings, through ICU. Every range is in BYTES of the
// UTF-8 text it was found in, so it can be used with std::string::substr/replace directly.
// Invalid UTF-8 bytes are treated as U+FFFD each and never match a term.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/TextRange.h"

namespace platform {

// Every non-overlapping occurrence of `term`, left to right, ignoring case (Unicode simple case
// folding, so "É" finds "é"). A match never starts or ends inside a user-perceived character:
// "e" does not match the first half of "e" + combining acute. An empty term finds nothing.
std::vector<TextRange> findAllCaseInsensitive(std::string_view text, std::string_view term);

// `text` with every occurrence of `term` (as found above) replaced by `replacement`.
std::string replaceAllCaseInsensitive(std::string_view text, std::string_view term,
                                      std::string_view replacement);

// True when `bytes` is well-formed UTF-8: no stray continuation bytes, no truncated or overlong
// sequences, no surrogates, nothing above U+10FFFF.
bool isValidUTF8(std::string_view bytes);

// Unicode normalisation form C.
std::string normalizedNFC(std::string_view text);
// True when the two texts are canonically equivalent (equal once both are in NFC).
bool canonicallyEquivalent(std::string_view a, std::string_view b);

// Full Unicode lowercasing; `localeIdentifier` matters for a few languages (Turkish dotted i).
std::string lowercased(std::string_view text, const std::string& localeIdentifier = "");

} // namespace platform
