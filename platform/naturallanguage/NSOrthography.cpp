#include "platform/naturallanguage/NSOrthography.h"

#include <unicode/locid.h>

namespace platform {

NSOrthography::NSOrthography(std::string dominantScript,
                             std::map<std::string, std::vector<std::string>> languageMap)
    : dominantScript_(std::move(dominantScript)), languageMap_(std::move(languageMap)) {}

NSOrthography NSOrthography::defaultOrthographyForLanguage(const std::string& language) {
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale locale = icu::Locale::forLanguageTag(language, status);
    std::string script;
    if (U_SUCCESS(status) && !locale.isBogus() && locale.getLanguage()[0] != '\0') {
        locale.addLikelySubtags(status);
        if (U_SUCCESS(status)) script = locale.getScript();
    }
    if (script.empty()) script = "Zyyy";
    return NSOrthography(script, {{script, {language}}});
}

std::optional<std::string> NSOrthography::dominantLanguage() const {
    return dominantLanguageForScript(dominantScript_);
}

std::optional<std::string> NSOrthography::dominantLanguageForScript(const std::string& script) const {
    auto it = languageMap_.find(script);
    if (it == languageMap_.end() || it->second.empty()) return std::nullopt;
    return it->second.front();
}

} // namespace platform
