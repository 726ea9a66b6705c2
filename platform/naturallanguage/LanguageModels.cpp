#include <filesystem>
#include <map>
#include <mutex>

#include <hunspell/hunspell.hxx>

#include "platform/naturallanguage/LexicalModel.h"
#include "platform/naturallanguage/WordNetLexicon.h"

namespace platform::nl {

std::string_view rawValue(LexicalClass c) {
    switch (c) {
    case LexicalClass::none:
        return {};
    case LexicalClass::noun:
        return "Noun";
    case LexicalClass::verb:
        return "Verb";
    case LexicalClass::adjective:
        return "Adjective";
    case LexicalClass::adverb:
        return "Adverb";
    case LexicalClass::pronoun:
        return "Pronoun";
    case LexicalClass::determiner:
        return "Determiner";
    case LexicalClass::particle:
        return "Particle";
    case LexicalClass::preposition:
        return "Preposition";
    case LexicalClass::number:
        return "Number";
    case LexicalClass::conjunction:
        return "Conjunction";
    case LexicalClass::interjection:
        return "Interjection";
    case LexicalClass::otherWord:
        return "OtherWord";
    }
    return {};
}

std::string_view rawValue(Mark m) {
    switch (m) {
    case Mark::none:
        return {};
    case Mark::whitespace:
        return "Whitespace";
    case Mark::paragraphBreak:
        return "ParagraphBreak";
    case Mark::sentenceTerminator:
        return "SentenceTerminator";
    case Mark::openQuote:
        return "OpenQuote";
    case Mark::closeQuote:
        return "CloseQuote";
    case Mark::openParenthesis:
        return "OpenParenthesis";
    case Mark::closeParenthesis:
        return "CloseParenthesis";
    case Mark::dash:
        return "Dash";
    case Mark::otherPunctuation:
        return "OtherPunctuation";
    }
    return {};
}

namespace {

std::optional<WordNetPos> posOf(LexicalClass c) {
    switch (c) {
    case LexicalClass::noun:
        return WordNetPos::noun;
    case LexicalClass::verb:
        return WordNetPos::verb;
    case LexicalClass::adjective:
        return WordNetPos::adjective;
    case LexicalClass::adverb:
        return WordNetPos::adverb;
    default:
        return std::nullopt;
    }
}

class WordNetLemmatizer final : public Lemmatizer {
public:
    std::optional<std::string> lemma(std::string_view word, LexicalClass cls) const override {
        const std::string key = wordKey(word);
        const auto& wordnet = WordNetLexicon::shared();
        if (auto pos = posOf(cls)) {
            auto bases = wordnet.baseForms(key, *pos);
            if (!bases.empty()) return bases.front();
        }
        switch (cls) {
        case LexicalClass::number:
        case LexicalClass::otherWord:
            return std::nullopt;
        case LexicalClass::pronoun:
        case LexicalClass::determiner:
        case LexicalClass::particle:
        case LexicalClass::preposition:
        case LexicalClass::conjunction:
        case LexicalClass::interjection:
            // Closed-class words are their own dictionary form, except the auxiliaries that
            // WordNet lists as irregular verbs ("is" -> "be").
            if (auto bases = wordnet.baseForms(key, WordNetPos::verb); !bases.empty() && bases.front() != key)
                return std::nullopt;
            return key;
        default:
            break;
        }
        // The tag was no help (a verb WordNet lists only as a noun, an unknown class): any use.
        for (auto pos : {WordNetPos::verb, WordNetPos::noun, WordNetPos::adjective, WordNetPos::adverb})
            if (auto bases = wordnet.baseForms(key, pos); !bases.empty()) return bases.front();
        return std::nullopt;
    }
};

class HunspellLemmatizer final : public Lemmatizer {
public:
    explicit HunspellLemmatizer(std::unique_ptr<Hunspell> dictionary) : dictionary_(std::move(dictionary)) {}

    std::optional<std::string> lemma(std::string_view word, LexicalClass) const override {
        std::lock_guard lock(mutex_); // Hunspell keeps per-call state in the object
        auto stems = dictionary_->stem(std::string(word));
        if (stems.empty()) stems = dictionary_->stem(lowercased(word));
        if (stems.empty()) return std::nullopt;
        return stems.front();
    }

private:
    mutable std::mutex mutex_;
    std::unique_ptr<Hunspell> dictionary_;
};

const char* const kHunspellFolder = "/usr/share/hunspell";

// "es" -> es_ES, else the first regional dictionary of the language, else a plain "es".
std::optional<std::pair<std::string, std::string>> findDictionary(const std::string& language) {
    namespace fs = std::filesystem;
    const fs::path folder(kHunspellFolder);
    std::string region = language;
    for (char& c : region)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::vector<std::string> names{language + "_" + region};
    std::error_code ec;
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const auto name = entry.path().stem().string();
        if (entry.path().extension() == ".aff" && name.starts_with(language + "_")) others.push_back(name);
    }
    std::sort(others.begin(), others.end());
    names.insert(names.end(), others.begin(), others.end());
    names.push_back(language);
    for (const auto& name : names) {
        const auto aff = folder / (name + ".aff"), dic = folder / (name + ".dic");
        if (fs::is_regular_file(aff, ec) && fs::is_regular_file(dic, ec))
            return std::pair{aff.string(), dic.string()};
    }
    return std::nullopt;
}

std::string baseLanguage(std::string_view code) {
    std::string base(code.substr(0, code.find_first_of("-_")));
    return lowercased(base);
}

} // namespace

std::unique_ptr<Lemmatizer> makeWordNetLemmatizer() {
    return std::make_unique<WordNetLemmatizer>();
}

std::unique_ptr<Lemmatizer> makeHunspellLemmatizer(const std::string& affPath, const std::string& dicPath) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(affPath, ec) || !std::filesystem::is_regular_file(dicPath, ec))
        return nullptr;
    auto dictionary = std::make_unique<Hunspell>(affPath.c_str(), dicPath.c_str());
    // Words reach us as UTF-8; a dictionary in another encoding would never match.
    if (dictionary->get_dict_encoding() != "UTF-8") return nullptr;
    return std::make_unique<HunspellLemmatizer>(std::move(dictionary));
}

const LexicalModel& lexicalModel(std::string_view languageCode) {
    static const auto english = makeEnglishLexicalModel();
    static const auto basic = makeBasicLexicalModel();
    return baseLanguage(languageCode) == "en" ? *english : *basic;
}

const Lemmatizer* lemmatizer(std::string_view languageCode) {
    static const auto wordnet = makeWordNetLemmatizer();
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<Lemmatizer>> stemmers;

    const std::string language = baseLanguage(languageCode);
    if (language == "en") return wordnet.get();
    if (language.empty()) return nullptr;
    // A dictionary is loaded once, the first time its language is asked for.
    std::lock_guard lock(mutex);
    auto it = stemmers.find(language);
    if (it == stemmers.end()) {
        std::unique_ptr<Lemmatizer> stemmer;
        if (auto files = findDictionary(language))
            stemmer = makeHunspellLemmatizer(files->first, files->second);
        it = stemmers.emplace(language, std::move(stemmer)).first;
    }
    return it->second.get();
}

} // namespace platform::nl
