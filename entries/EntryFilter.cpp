#include "entries/EntryFilter.h"

#include <set>

#include "platform/foundation/Console.h"
#include "platform/naturallanguage/NSLinguisticTagger.h"
#include "platform/naturallanguage/Tokenizer.h"
#include "platform/uikit/NSObject.h"

namespace quillora {

using namespace platform;

void BasicEntryFilter::setSearchString(std::string text) {
    searchString_ = std::move(text);
    if (!searchString_.empty()) {
        indexEntries();
        filterEntries();
        return;
    }
    std::string line = "[";
    for (std::size_t i = 0; i < filteredEntries.size(); ++i)
        line += (i ? ", " : "") + quote(filteredEntries[i]);
    console().print(line + "]");
}

WordSet BasicEntryFilter::makeWordSet(const std::string& text, std::optional<std::string>& language) {
    NSLinguisticTagger tagger({NSLinguisticTagSchemeLemma, NSLinguisticTagSchemeLanguage},
                              NSLinguisticTaggerOptionsNone);
    TextRange whole{0, text.size()};
    tagger.setString(text);
    if (language)
        tagger.setOrthography_range(NSOrthography::defaultOrthographyForLanguage(*language), whole);
    else
        language = tagger.dominantLanguage();
    WordSet set;
    tagger.enumerateTagsInRange_unit_scheme_options_usingBlock(
        whole, NSLinguisticTaggerUnit::word, NSLinguisticTagSchemeLemma,
        NSLinguisticTaggerOmitPunctuation | NSLinguisticTaggerOmitWhitespace,
        [&](const std::optional<NSLinguisticTag>& lemma, TextRange token, bool&) {
            set.insert(nl::lowercased(token.of(text)));
            if (lemma) set.insert(nl::lowercased(*lemma));
        });
    return set;
}

void BasicEntryFilter::indexEntries() {
    if (!entryCollection || !entryCollection->entries || entryCollection->entries->empty()) {
        wordSets.clear();
        languages.clear();
        return;
    }
    std::unordered_map<std::string, WordSet> newWordSets;
    std::unordered_map<std::string, std::string> newLanguages;
    for (auto& entry : *entryCollection->entries) {
        if (newWordSets.count(entry)) continue;
        if (auto known = wordSets.find(entry); known != wordSets.end()) {
            newWordSets.emplace(entry, std::move(known->second));
            if (auto language = languages.find(entry); language != languages.end())
                newLanguages.emplace(entry, language->second);
            continue;
        }
        std::optional<std::string> language;
        newWordSets.emplace(entry, makeWordSet(entry, language));
        if (language) newLanguages.emplace(entry, *language);
    }
    wordSets = std::move(newWordSets);
    languages = std::move(newLanguages);
}

void BasicEntryFilter::filterEntries() {
    std::optional<std::string> detected;
    WordSet search = makeWordSet(searchString_, detected);
    std::set<std::string> distinct;
    for (auto& [entry, language] : languages)
        distinct.insert(language);
    for (auto& language : distinct) {
        std::optional<std::string> given = language;
        for (auto& word : makeWordSet(searchString_, given))
            search.insert(word);
    }
    filteredEntries.clear();
    if (!entryCollection || !entryCollection->entries) return;
    if (search.empty()) {
        filteredEntries = *entryCollection->entries;
        return;
    }
    for (auto& entry : *entryCollection->entries) {
        auto set = wordSets.find(entry);
        if (set == wordSets.end()) continue;
        for (auto& word : search)
            if (set->second.count(word)) {
                filteredEntries.push_back(entry);
                break;
            }
    }
}

} // namespace quillora
