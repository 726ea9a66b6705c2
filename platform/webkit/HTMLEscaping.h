#pragma once
// Text on its way into HTML: every caller that pours user text into markup goes through here, so
// text is always shown as text and never read as markup.

#include <string>
#include <string_view>

namespace platform {

// `text` as HTML character data or a double- or single-quoted attribute value: & < > " ' become
// entities, and so does "#" (&#35;), so that an inserted value never holds a template mark.
std::string escapeHTML(std::string_view text);

} // namespace platform
