#pragma once
// The language knowledge behind the taggers, kept behind two small interfaces so that a better
// model can replace one language's without touching the taggers: a LexicalModel gives each word
// its lexical class in context, a Lemmatizer gives a word's dictionary form.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/naturallanguage/Tokenizer.h"

namespace platform::nl {

enum class LexicalClass {
    none,
    noun,
    verb,
    adjective,
    adverb,
    pronoun,
    determiner,
    particle,
    preposition,
    number,
    conjunction,
    interjection,
    otherWord,
};

// The raw tag value of a class ("Noun", "Verb", ...); empty for `none`.
std::string_view rawValue(LexicalClass c);
// The raw tag value of a punctuation or whitespace mark ("SentenceTerminator", "Whitespace"...).
std::string_view rawValue(Mark m);

// A token as the models see it: its text, and what the breaker made of it.
struct ModelToken {
    std::string_view text;
    TokenKind kind = TokenKind::word;
    Mark mark = Mark::none;
};

class LexicalModel {
public:
    virtual ~LexicalModel() = default;
    // One class per token of `tokens` (words, numbers and punctuation in text order, whitespace
    // left out); punctuation gets `none`. Must be safe to call from several threads at once.
    virtual std::vector<LexicalClass> tag(const std::vector<ModelToken>& tokens) const = 0;
};

class Lemmatizer {
public:
    virtual ~Lemmatizer() = default;
    // The dictionary form of `word` used as `cls` (or in any use when the class says nothing),
    // nothing when the word is unknown. Must be safe to call from several threads at once.
    virtual std::optional<std::string> lemma(std::string_view word, LexicalClass cls) const = 0;
};

// English: WordNet's open classes, a lexicon of the closed classes and rules of context.
std::unique_ptr<LexicalModel> makeEnglishLexicalModel();
// Any language we know no grammar of: numbers are "Number", every other word "OtherWord".
std::unique_ptr<LexicalModel> makeBasicLexicalModel();

// English lemmas from WordNet's base forms.
std::unique_ptr<Lemmatizer> makeWordNetLemmatizer();
// Stems from a hunspell dictionary (aff and dic paths); null when the files are missing or not
// UTF-8.
std::unique_ptr<Lemmatizer> makeHunspellLemmatizer(const std::string& affPath, const std::string& dicPath);

// The models of a language code ("en", "es", "zh-Hant"...), created on first use and kept for
// the life of the process.
const LexicalModel& lexicalModel(std::string_view languageCode);
// Null when the language has no lemmas installed.
const Lemmatizer* lemmatizer(std::string_view languageCode);

} // namespace platform::nl
