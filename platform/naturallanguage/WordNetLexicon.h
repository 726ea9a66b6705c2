#pragma once
// English open-class words from the WordNet database: which of noun, verb, adjective and adverb a
// word form can be, how often each was seen in WordNet's sense-tagged corpus, and its base forms.
//
// The database is read into memory once per process on first use. The library's own lookups
// (in_wn, morphstr) search the files on disk for every call, about a millisecond per word, and
// share static buffers; held in memory the lexicon answers in well under a microsecond and can
// be read from any thread.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::nl {

enum class WordNetPos : std::uint8_t { noun = 0, verb = 1, adjective = 2, adverb = 3 };

class WordNetLexicon {
public:
    // The lexicon of the installed database ($WNSEARCHDIR or WordNet's default folder); empty
    // when the database is missing.
    static const WordNetLexicon& shared();

    // Loads the database from a folder holding index.*, *.exc and cntlist.rev.
    explicit WordNetLexicon(const std::string& folder);

    bool empty() const { return entries_.empty(); }

    // Base forms of a lower-case word form taken as `pos`: irregular forms first, then forms
    // found by stripping regular endings, then the word itself when it is a base form.
    std::vector<std::string> baseForms(std::string_view word, WordNetPos pos) const;

    // Bit (1 << pos) for every part of speech the word form can have.
    unsigned classes(std::string_view word) const;

    // Tagged-corpus count of a base form used as `pos` (0 when unseen).
    unsigned count(std::string_view lemma, WordNetPos pos) const;

    bool isBaseForm(std::string_view word, WordNetPos pos) const;

private:
    struct Entry {
        std::uint8_t mask = 0;
        std::array<std::uint32_t, 4> counts{};
    };
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    using Exceptions = std::unordered_map<std::string, std::vector<std::string>, Hash, std::equal_to<>>;

    const Entry* find(std::string_view word) const;

    std::unordered_map<std::string, Entry, Hash, std::equal_to<>> entries_;
    std::array<Exceptions, 4> exceptions_;
};

} // namespace platform::nl
