#include "entries/EntryFilter.h"

#include <algorithm>
#include <set>
#include <thread>

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
        indexChecked_ = true;
        filterEntries();
        indexChecked_ = false;
        return;
    }
    console().print(quotedList(filteredEntries));
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
        indexedEntries_.clear();
        indexedSets_.clear();
        return;
    }
    const auto& entries = *entryCollection->entries;
    // The collection is a snapshot: once it is indexed, later searches find nothing new to do.
    if (entries == indexedEntries_ && indexedSets_.size() == entries.size()) return;

    std::unordered_map<std::string, WordSet> newWordSets;
    std::unordered_map<std::string, std::string> newLanguages;
    std::vector<const std::string*> fresh;
    for (auto& entry : entries) {
        if (newWordSets.count(entry)) continue;
        if (auto known = wordSets.find(entry); known != wordSets.end()) {
            newWordSets.emplace(entry, std::move(known->second));
            if (auto language = languages.find(entry); language != languages.end())
                newLanguages.emplace(entry, language->second);
            continue;
        }
        newWordSets.emplace(entry, WordSet());
        fresh.push_back(&entry);
    }

    // Each new text is analysed on its own, so the work is shared among a few threads; the
    // caller still gets the finished index back before it goes on.
    std::vector<WordSet> sets(fresh.size());
    std::vector<std::optional<std::string>> found(fresh.size());
    std::size_t workers = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
    workers = std::min(workers, std::max<std::size_t>(1, fresh.size() / 64));
    auto work = [&](std::size_t first) {
        for (std::size_t i = first; i < fresh.size(); i += workers)
            sets[i] = makeWordSet(*fresh[i], found[i]);
    };
    {
        std::vector<std::jthread> threads;
        for (std::size_t w = 1; w < workers; ++w)
            threads.emplace_back(work, w);
        work(0);
    }
    for (std::size_t i = 0; i < fresh.size(); ++i) {
        newWordSets[*fresh[i]] = std::move(sets[i]);
        if (found[i]) newLanguages.emplace(*fresh[i], *found[i]);
    }
    wordSets = std::move(newWordSets);
    languages = std::move(newLanguages);
    indexedEntries_ = entries;
    indexedSets_.clear();
    for (auto& entry : indexedEntries_)
        indexedSets_.push_back(&wordSets.at(entry));
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
    const auto& entries = *entryCollection->entries;
    if (search.empty()) {
        filteredEntries = entries;
        return;
    }
    bool aligned = indexedSets_.size() == entries.size() && (indexChecked_ || entries == indexedEntries_);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const WordSet* set = nullptr;
        if (aligned) {
            set = indexedSets_[i];
        } else if (auto it = wordSets.find(entries[i]); it != wordSets.end()) {
            set = &it->second;
        }
        if (!set) continue;
        for (auto& word : search)
            if (set->count(word)) {
                filteredEntries.push_back(entries[i]);
                break;
            }
    }
}

} // namespace quillora
