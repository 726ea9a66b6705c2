#include "platform/naturallanguage/NSLinguisticTagger.h"

#include <algorithm>

#include "platform/naturallanguage/LanguageIdentifier.h"

namespace platform {

NSLinguisticTagger::NSLinguisticTagger(std::vector<NSLinguisticTagScheme> tagSchemes,
                                       NSLinguisticTaggerOptions)
    : schemes_(std::move(tagSchemes)) {}

void NSLinguisticTagger::setString(std::string text) {
    analysis_.setText(std::move(text));
}

void NSLinguisticTagger::setOrthography_range(const NSOrthography& orthography, TextRange range) {
    analysis_.setLanguage(orthography.dominantLanguage().value_or(std::string()), range);
}

std::optional<std::string> NSLinguisticTagger::dominantLanguage() const {
    return analysis_.dominantLanguage();
}

std::optional<std::string> NSLinguisticTagger::dominantLanguageForString(std::string_view text) {
    return nl::dominantLanguage(text);
}

void NSLinguisticTagger::enumerateTagsInRange_unit_scheme_options_usingBlock(
    TextRange range, NSLinguisticTaggerUnit, const NSLinguisticTagScheme& scheme,
    NSLinguisticTaggerOptions options,
    const std::function<void(const std::optional<NSLinguisticTag>&, TextRange, bool&)>& block) const {
    const bool known = std::find(schemes_.begin(), schemes_.end(), scheme) != schemes_.end();
    const auto& tokens = analysis_.tokens();
    const auto [first, last] = analysis_.tokensIn(range);
    for (std::size_t i = first; i < last; ++i) {
        const nl::Token& token = tokens[i];
        if (token.kind == nl::TokenKind::whitespace && (options & NSLinguisticTaggerOmitWhitespace)) continue;
        if (token.kind == nl::TokenKind::punctuation && (options & NSLinguisticTaggerOmitPunctuation))
            continue;
        std::optional<NSLinguisticTag> tag;
        const bool wordLike = token.kind == nl::TokenKind::word || token.kind == nl::TokenKind::number;
        if (known && wordLike && scheme == NSLinguisticTagSchemeLemma) {
            tag = analysis_.lemmaOf(i);
        } else if (known && wordLike && scheme == NSLinguisticTagSchemeLanguage) {
            if (const auto& language = analysis_.languageOf(i); !language.empty()) tag = language;
        }
        bool stop = false;
        block(tag, token.range, stop);
        if (stop) return;
    }
}

} // namespace platform
