#pragma once
// What both taggers know of their string: its tokens, the language of each token (set for a
// range or detected for the whole string), and, computed on first request and kept until the
// string changes, each token's lexical class and lemma.

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/TextRange.h"
#include "platform/naturallanguage/LexicalModel.h"

namespace platform::nl {

class TextAnalysis {
public:
    const std::string& text() const { return text_; }
    void setText(std::string text);

    // Later settings win where ranges overlap. An empty language clears the range back to
    // detection.
    void setLanguage(std::string language, TextRange range);

    // The language of the whole string: the one set for all of it, else the detected one.
    std::optional<std::string> dominantLanguage() const;

    const std::vector<Token>& tokens() const;
    // The language a token is analysed in; empty when none could be determined.
    const std::string& languageOf(std::size_t token) const;
    LexicalClass lexicalClassOf(std::size_t token) const;
    std::optional<std::string> lemmaOf(std::size_t token) const;

    // [first, last) indices of the tokens that overlap `range` (clipped to the string).
    std::pair<std::size_t, std::size_t> tokensIn(TextRange range) const;

private:
    void invalidate();
    void ensureLanguages() const;
    void ensureClasses() const;

    struct LanguageSetting {
        TextRange range;
        std::string language;
    };

    std::string text_;
    std::vector<LanguageSetting> settings_;

    mutable bool tokenized_ = false;
    mutable std::vector<Token> tokens_;
    mutable std::optional<std::optional<std::string>> detected_;
    mutable bool languagesKnown_ = false;
    mutable std::vector<std::string> tokenLanguages_;
    mutable bool classesKnown_ = false;
    mutable std::vector<LexicalClass> classes_;
};

} // namespace platform::nl
