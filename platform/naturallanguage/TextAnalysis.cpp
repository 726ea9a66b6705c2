#include "platform/naturallanguage/TextAnalysis.h"

#include <algorithm>

#include "platform/naturallanguage/LanguageIdentifier.h"

namespace platform::nl {

void TextAnalysis::setText(std::string text) {
    text_ = std::move(text);
    settings_.clear();
    invalidate();
}

void TextAnalysis::setLanguage(std::string language, TextRange range) {
    if (range.location > text_.size()) return;
    range.length = std::min(range.length, text_.size() - range.location);
    settings_.push_back({range, std::move(language)});
    languagesKnown_ = false;
    classesKnown_ = false;
}

void TextAnalysis::invalidate() {
    tokenized_ = false;
    detected_.reset();
    languagesKnown_ = false;
    classesKnown_ = false;
}

std::optional<std::string> TextAnalysis::dominantLanguage() const {
    for (auto it = settings_.rbegin(); it != settings_.rend(); ++it)
        if (it->range.location == 0 && it->range.length == text_.size() && !it->language.empty())
            return it->language;
    if (!detected_) detected_ = nl::dominantLanguage(text_);
    return *detected_;
}

const std::vector<Token>& TextAnalysis::tokens() const {
    if (!tokenized_) {
        tokens_ = tokenize(text_);
        tokenized_ = true;
    }
    return tokens_;
}

void TextAnalysis::ensureLanguages() const {
    if (languagesKnown_) return;
    const auto& toks = tokens();
    tokenLanguages_.assign(toks.size(), std::string());
    std::optional<std::string> detected;
    bool detectedKnown = false;
    for (std::size_t i = 0; i < toks.size(); ++i) {
        const std::string* chosen = nullptr;
        for (auto it = settings_.rbegin(); it != settings_.rend() && !chosen; ++it)
            if (toks[i].range.location >= it->range.location && toks[i].range.location < it->range.end())
                chosen = &it->language;
        if (chosen && !chosen->empty()) {
            tokenLanguages_[i] = *chosen;
            continue;
        }
        if (!detectedKnown) {
            if (!detected_) detected_ = nl::dominantLanguage(text_);
            detected = *detected_;
            detectedKnown = true;
        }
        if (detected) tokenLanguages_[i] = *detected;
    }
    languagesKnown_ = true;
}

const std::string& TextAnalysis::languageOf(std::size_t token) const {
    ensureLanguages();
    return tokenLanguages_.at(token);
}

void TextAnalysis::ensureClasses() const {
    if (classesKnown_) return;
    ensureLanguages();
    const auto& toks = tokens();
    classes_.assign(toks.size(), LexicalClass::none);
    // Each run of tokens in one language goes through that language's model as a whole, so the
    // model sees the context it needs; whitespace stays out of the model's view.
    std::size_t start = 0;
    while (start < toks.size()) {
        std::size_t end = start;
        const std::string& language = tokenLanguages_[start];
        std::vector<ModelToken> run;
        std::vector<std::size_t> indices;
        for (; end < toks.size() && tokenLanguages_[end] == language; ++end) {
            if (toks[end].kind == TokenKind::whitespace && toks[end].mark != Mark::paragraphBreak) continue;
            run.push_back({toks[end].range.of(text_), toks[end].kind, toks[end].mark});
            indices.push_back(end);
        }
        const auto tags = lexicalModel(language).tag(run);
        for (std::size_t k = 0; k < indices.size(); ++k)
            classes_[indices[k]] = tags[k];
        start = end;
    }
    classesKnown_ = true;
}

LexicalClass TextAnalysis::lexicalClassOf(std::size_t token) const {
    ensureClasses();
    return classes_.at(token);
}

std::optional<std::string> TextAnalysis::lemmaOf(std::size_t token) const {
    const Token& t = tokens().at(token);
    if (t.kind != TokenKind::word) return std::nullopt;
    const Lemmatizer* model = lemmatizer(languageOf(token));
    if (!model) return std::nullopt;
    return model->lemma(t.range.of(text_), lexicalClassOf(token));
}

std::pair<std::size_t, std::size_t> TextAnalysis::tokensIn(TextRange range) const {
    const auto& toks = tokens();
    if (range.location >= text_.size()) return {toks.size(), toks.size()};
    const std::size_t end = std::min(range.end(), text_.size());
    auto first = std::lower_bound(toks.begin(), toks.end(), range.location,
                                  [](const Token& t, std::size_t loc) { return t.range.end() <= loc; });
    auto last = std::lower_bound(first, toks.end(), end,
                                 [](const Token& t, std::size_t e) { return t.range.location < e; });
    return {static_cast<std::size_t>(first - toks.begin()), static_cast<std::size_t>(last - toks.begin())};
}

} // namespace platform::nl
