#pragma once
// Which language a text is written in.

#include <optional>
#include <string>
#include <string_view>

namespace platform::nl {

// The dominant language of `text` as a language code ("en", "es", "zh-Hant"...). A text with
// letters that is too short or too mixed to tell is taken to be in the current locale's
// language; a text without letters (punctuation, digits, emoji) has none.
std::optional<std::string> dominantLanguage(std::string_view text);

// The language of the current locale ("en" for "en_US.UTF-8"), from LC_ALL, LC_MESSAGES or LANG;
// "en" for the C/POSIX locale or none.
std::string currentLocaleLanguage();

} // namespace platform::nl
