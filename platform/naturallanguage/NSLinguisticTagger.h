#pragma once
// Lemma and language tagging of a string, word by word.
//
// Ranges are byte ranges of the UTF-8 string given to the tagger (see TextRange.h): the whole
// string is {0, string().size()}.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/TextRange.h"
#include "platform/naturallanguage/NSOrthography.h"
#include "platform/naturallanguage/TextAnalysis.h"

namespace platform {

using NSLinguisticTagScheme = std::string;
using NSLinguisticTag = std::string;

// Tags each word with its dictionary form.
inline const NSLinguisticTagScheme NSLinguisticTagSchemeLemma = "Lemma";
// Tags each word with the language code it is analysed in.
inline const NSLinguisticTagScheme NSLinguisticTagSchemeLanguage = "Language";

enum class NSLinguisticTaggerUnit { word };

enum NSLinguisticTaggerOptions : unsigned {
    NSLinguisticTaggerOptionsNone = 0,
    NSLinguisticTaggerOmitPunctuation = 1u << 1,
    NSLinguisticTaggerOmitWhitespace = 1u << 2,
};
constexpr NSLinguisticTaggerOptions operator|(NSLinguisticTaggerOptions a, NSLinguisticTaggerOptions b) {
    return static_cast<NSLinguisticTaggerOptions>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}

class NSLinguisticTagger {
public:
    NSLinguisticTagger(std::vector<NSLinguisticTagScheme> tagSchemes, NSLinguisticTaggerOptions options);

    const std::vector<NSLinguisticTagScheme>& tagSchemes() const { return schemes_; }

    // Setting the string drops the orthographies set before.
    const std::string& string() const { return analysis_.text(); }
    void setString(std::string text);

    // Analyses `range` in the orthography's dominant language instead of the detected one.
    void setOrthography_range(const NSOrthography& orthography, TextRange range);

    // The language of the whole string; none when it holds no letters.
    std::optional<std::string> dominantLanguage() const;
    static std::optional<std::string> dominantLanguageForString(std::string_view text);

    // Calls `block` with each word-unit token overlapping `range`, in text order, and its tag in
    // `scheme` (none when the scheme is not one of the tagger's or the token has none), until the
    // block sets `stop`.
    void enumerateTagsInRange_unit_scheme_options_usingBlock(
        TextRange range, NSLinguisticTaggerUnit unit, const NSLinguisticTagScheme& scheme,
        NSLinguisticTaggerOptions options,
        const std::function<void(const std::optional<NSLinguisticTag>& tag, TextRange tokenRange,
                                 bool& stop)>& block) const;

private:
    std::vector<NSLinguisticTagScheme> schemes_;
    nl::TextAnalysis analysis_;
};

} // namespace platform
