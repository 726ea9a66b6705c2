#include "platform/naturallanguage/LanguageIdentifier.h"

#include <cstdlib>

// The detector's header uses FILE without including its declaration.
#include <cstdio>

#include <cld2/public/compact_lang_det.h>

#include "platform/naturallanguage/Tokenizer.h"

namespace platform::nl {

std::optional<std::string> dominantLanguage(std::string_view text) {
    if (!hasLetters(text)) return std::nullopt;
    bool reliable = false;
    int validPrefix = 0;
    // The detector is stateless and safe to call from any thread; it stops at malformed UTF-8.
    const CLD2::Language language = CLD2::DetectLanguageCheckUTF8(text.data(), static_cast<int>(text.size()),
                                                                  true, &reliable, &validPrefix);
    const char* code = CLD2::LanguageCode(language);
    if (language == CLD2::UNKNOWN_LANGUAGE || !code || std::string_view(code) == "un")
        return currentLocaleLanguage();
    return std::string(code);
}

std::string currentLocaleLanguage() {
    // Mirrors how the C library picks the message locale.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        std::string_view locale(value);
        if (locale == "C" || locale == "POSIX" || locale.starts_with("C.")) return "en";
        std::string language(locale.substr(0, locale.find_first_of("_.@-")));
        return language.empty() ? "en" : lowercased(language);
    }
    return "en";
}

} // namespace platform::nl
