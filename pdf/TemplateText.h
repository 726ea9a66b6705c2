#pragma once
// Text helpers of the template fill: escaping values for HTML, the transcript's line breaks, and
// the split of a transcript into a first line and the rest.

#include <string>
#include <string_view>
#include <vector>

#include "platform/webkit/HTMLEscaping.h"

namespace quillora {

using platform::escapeHTML;

// `text` escaped, with every line feed (U+000A) then replaced by ".<br>". Other line-break
// characters stay as they are.
std::string htmlWithLineBreaks(std::string_view text);

// Up to two pieces of `text`: line breaks before the first line are skipped; the first piece is
// the first line, the second everything after the break that ends it (its own leading breaks
// included). A line break is U+000A, U+000B, U+000C, U+000D, U+0085, U+2028 or U+2029, with a
// carriage return directly followed by a line feed counting as one. Empty pieces are dropped.
std::vector<std::string> splitBodyParagraphs(std::string_view text);

// Replaces every occurrence of `mark` in `text`, left to right, non-overlapping.
std::string replaceAll(std::string_view text, std::string_view mark, std::string_view value);

} // namespace quillora
