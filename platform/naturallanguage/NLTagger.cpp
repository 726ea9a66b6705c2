#include "platform/naturallanguage/NLTagger.h"

#include <algorithm>

namespace platform {

NLTagger::NLTagger(std::vector<NLTagScheme> tagSchemes) : schemes_(std::move(tagSchemes)) {}

void NLTagger::setString(std::string text) {
    analysis_.setText(std::move(text));
}

void NLTagger::setLanguage(const NLLanguage& language, TextRange range) {
    analysis_.setLanguage(language, range);
}

std::optional<NLLanguage> NLTagger::dominantLanguage() const {
    return analysis_.dominantLanguage();
}

void NLTagger::enumerateTags(TextRange range, NLTokenUnit, const NLTagScheme& scheme, NLTaggerOptions options,
                             const std::function<bool(const std::optional<NLTag>&, TextRange)>& block) const {
    const bool known = std::find(schemes_.begin(), schemes_.end(), scheme) != schemes_.end();
    const auto& tokens = analysis_.tokens();
    const auto [first, last] = analysis_.tokensIn(range);
    for (std::size_t i = first; i < last; ++i) {
        const nl::Token& token = tokens[i];
        if (token.kind == nl::TokenKind::whitespace && contains(options, NLTaggerOptions::omitWhitespace))
            continue;
        if (token.kind == nl::TokenKind::punctuation && contains(options, NLTaggerOptions::omitPunctuation))
            continue;
        std::optional<NLTag> tag;
        if (known && scheme == NLTagSchemeLexicalClass) {
            std::string_view raw = token.mark != nl::Mark::none ? nl::rawValue(token.mark)
                                                                : nl::rawValue(analysis_.lexicalClassOf(i));
            if (!raw.empty()) tag = NLTag{std::string(raw)};
        }
        if (!block(tag, token.range)) return;
    }
}

} // namespace platform
