#pragma once
// Lexical-class tagging of a string, word by word.
//
// Ranges are byte ranges of the UTF-8 string given to the tagger (see TextRange.h): the whole
// string is {0, string().size()}, a token is string().substr(range.location, range.length).

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/TextRange.h"
#include "platform/naturallanguage/TextAnalysis.h"

namespace platform {

struct NLTagScheme {
    std::string rawValue;
    bool operator==(const NLTagScheme&) const = default;
};

inline const NLTagScheme NLTagSchemeLexicalClass{"LexicalClass"};

struct NLTag {
    std::string rawValue;
    bool operator==(const NLTag&) const = default;
};

inline const NLTag NLTagNoun{"Noun"};
inline const NLTag NLTagVerb{"Verb"};
inline const NLTag NLTagAdjective{"Adjective"};
inline const NLTag NLTagAdverb{"Adverb"};
inline const NLTag NLTagPronoun{"Pronoun"};
inline const NLTag NLTagDeterminer{"Determiner"};
inline const NLTag NLTagParticle{"Particle"};
inline const NLTag NLTagPreposition{"Preposition"};
inline const NLTag NLTagNumber{"Number"};
inline const NLTag NLTagConjunction{"Conjunction"};
inline const NLTag NLTagInterjection{"Interjection"};
inline const NLTag NLTagOtherWord{"OtherWord"};

// Language codes: "en", "es", "zh-Hant"...
using NLLanguage = std::string;

enum class NLTokenUnit { word };

enum class NLTaggerOptions : unsigned {
    none = 0,
    omitPunctuation = 1u << 1,
    omitWhitespace = 1u << 2,
};
constexpr NLTaggerOptions operator|(NLTaggerOptions a, NLTaggerOptions b) {
    return static_cast<NLTaggerOptions>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool contains(NLTaggerOptions set, NLTaggerOptions option) {
    return (static_cast<unsigned>(set) & static_cast<unsigned>(option)) != 0;
}

class NLTagger {
public:
    explicit NLTagger(std::vector<NLTagScheme> tagSchemes);

    const std::vector<NLTagScheme>& tagSchemes() const { return schemes_; }

    // Setting the string drops the languages set before.
    const std::string& string() const { return analysis_.text(); }
    void setString(std::string text);

    // Analyses `range` in `language` instead of the detected one.
    void setLanguage(const NLLanguage& language, TextRange range);

    // The language of the whole string; none when it holds no letters.
    std::optional<NLLanguage> dominantLanguage() const;

    // Calls `block` with each token of `unit` overlapping `range`, in text order, and its tag in
    // `scheme` (none when the scheme is not one of the tagger's, or the token has no tag), until
    // the block returns false. Words get their class; punctuation and whitespace, unless omitted,
    // get their kind ("SentenceTerminator", "Whitespace"...).
    void enumerateTags(
        TextRange range, NLTokenUnit unit, const NLTagScheme& scheme, NLTaggerOptions options,
        const std::function<bool(const std::optional<NLTag>& tag, TextRange tokenRange)>& block) const;

private:
    std::vector<NLTagScheme> schemes_;
    nl::TextAnalysis analysis_;
};

} // namespace platform
