#pragma once
// Finds saved entries by their words through the lemmas the linguistic tagger gives, in whatever
// language each entry was dictated. An entry matches when its word set (its lower-cased words and
// their lemmas) shares at least one element with the search text's. Each entry text is analysed
// once in the filter's life; the index is keyed by the text.

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "entries/EntryCollection.h"

namespace quillora {

using WordSet = std::unordered_set<std::string>;

class BasicEntryFilter {
public:
    virtual ~BasicEntryFilter() = default;

    std::shared_ptr<BasicEntryCollection> entryCollection;
    std::vector<std::string> filteredEntries;
    std::unordered_map<std::string, WordSet> wordSets;
    std::unordered_map<std::string, std::string> languages;

    const std::string& searchString() const { return searchString_; }
    // A non-empty text re-indexes and filters; the empty text keeps the previous result.
    void setSearchString(std::string text);

    // The word set of `text`, analysed in `language` when given, else in the language the tagger
    // finds dominant, which is handed back through `language`.
    static WordSet makeWordSet(const std::string& text, std::optional<std::string>& language);
    void indexEntries();
    void filterEntries();

protected:
    explicit BasicEntryFilter(std::shared_ptr<BasicEntryCollection> collection)
        : entryCollection(std::move(collection)) {}

private:
    std::string searchString_;
    // The entries the index was last built for, and each one's word set in that order.
    std::vector<std::string> indexedEntries_;
    std::vector<const WordSet*> indexedSets_;
    // Set while a search runs right after indexEntries has matched the entries to the index.
    bool indexChecked_ = false;
};

class EntryFilter : public BasicEntryFilter {
public:
    explicit EntryFilter(std::shared_ptr<EntryCollection> collection)
        : BasicEntryFilter(std::move(collection)) {}
};

class EntryFilterNVC : public BasicEntryFilter {
public:
    explicit EntryFilterNVC(std::shared_ptr<EntryCollectionNVC> collection)
        : BasicEntryFilter(std::move(collection)) {}
};

class EntryFilterRVC : public BasicEntryFilter {
public:
    explicit EntryFilterRVC(std::shared_ptr<EntryCollectionRVC> collection)
        : BasicEntryFilter(std::move(collection)) {}
};

} // namespace quillora
