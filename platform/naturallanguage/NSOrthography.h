#pragma once
// The scripts and languages of a piece of text: the dominant script (an ISO 15924 code such as
// "Latn") and, for each script, its languages in order of weight.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class NSOrthography {
public:
    NSOrthography(std::string dominantScript, std::map<std::string, std::vector<std::string>> languageMap);

    // The usual orthography of a language code: its likely script with that one language
    // ("en" -> Latn: [en], "zh-Hant" -> Hant: [zh-Hant]; "Zyyy" for a language ICU does not know).
    static NSOrthography defaultOrthographyForLanguage(const std::string& language);

    const std::string& dominantScript() const { return dominantScript_; }
    const std::map<std::string, std::vector<std::string>>& languageMap() const { return languageMap_; }
    // The first language of the dominant script.
    std::optional<std::string> dominantLanguage() const;
    std::optional<std::string> dominantLanguageForScript(const std::string& script) const;

private:
    std::string dominantScript_;
    std::map<std::string, std::vector<std::string>> languageMap_;
};

} // namespace platform
