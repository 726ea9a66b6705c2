#include "platform/naturallanguage/LanguageIdentifier.h"

#include <cstdlib>

// The detector's header uses FILE without including its declaration.
#include <cstdio>

#include <cld2/public/compact_lang_det.h>
#include <cld2/public/encodings.h>

#include "platform/naturallanguage/Tokenizer.h"

namespace platform::nl {

std::optional<std::string> dominantLanguage(std::string_view text) {
    if (!hasLetters(text)) return std::nullopt;
    // The user's own language is the likeliest for a short dictated note: hint it, so that a few
    // plain English words are not read as Norwegian.
    const std::string localeLanguage = currentLocaleLanguage();
    CLD2::CLDHints hints{nullptr, nullptr, CLD2::UNKNOWN_ENCODING,
                         CLD2::GetLanguageFromName(localeLanguage.c_str())};
    CLD2::Language top3[3];
    int percent3[3];
    double scores3[3];
    int textBytes = 0, validPrefix = 0;
    bool reliable = false;
    // The detector is stateless and safe to call from any thread; it stops at malformed UTF-8.
    const CLD2::Language language = CLD2::ExtDetectLanguageSummaryCheckUTF8(
        text.data(), static_cast<int>(text.size()), true, &hints, 0, top3, percent3, scores3, nullptr,
        &textBytes, &reliable, &validPrefix);
    const char* code = CLD2::LanguageCode(language);
    // A guess the detector does not vouch for (a word or two, a mix of languages) says less about
    // the text than the user's own language does.
    if (!reliable || language == CLD2::UNKNOWN_LANGUAGE || !code || std::string_view(code) == "un")
        return localeLanguage;
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
