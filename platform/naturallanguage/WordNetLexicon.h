#pragma once
// English open-class words from the WordNet database: which of noun, verb, adjective and adverb a
// word form can be, how often each was seen in WordNet's sense-tagged corpus, and its base forms.
//
// The database is mapped into memory once per process on first use and searched where it lies: its
// files are sorted, so a word is a binary search of their lines away. The library's own lookups
// (in_wn, morphstr) search the files on disk for every call, about a millisecond per word, and
// share static buffers; mapped, the lexicon answers in about a microsecond and can be read from
// any thread. Reading the 150,000 entries into a table instead took a fifth of a second of
// processor at a run's first word classes, which a starved core turns into seconds of a quit.

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

    bool empty() const;

    // Base forms of a lower-case word form taken as `pos`: irregular forms first, then forms
    // found by stripping regular endings, then the word itself when it is a base form.
    std::vector<std::string> baseForms(std::string_view word, WordNetPos pos) const;

    // Bit (1 << pos) for every part of speech the word form can have.
    unsigned classes(std::string_view word) const;

    // Tagged-corpus count of a base form used as `pos` (0 when unseen).
    unsigned count(std::string_view lemma, WordNetPos pos) const;

    bool isBaseForm(std::string_view word, WordNetPos pos) const;

private:
    // A sorted file, mapped as it is on disk: nothing is read of it until a search touches it.
    class SortedLines {
    public:
        SortedLines() = default;
        SortedLines(const SortedLines&) = delete;
        SortedLines& operator=(const SortedLines&) = delete;
        ~SortedLines();
        void map(const std::string& path);
        bool empty() const { return begin_ == size_; }
        // Where the first line whose first field (up to `delimiter`) is not ordered before `key`
        // begins; the end when none is. The files sort the same by that field as by whole lines,
        // since every character of a lemma is ordered after the delimiters.
        std::size_t lowerBound(std::string_view key, char delimiter) const;
        // Whether a line's first field is `key`.
        bool lists(std::string_view key) const;
        std::string_view line(std::size_t at) const;
        std::string_view field(std::size_t at, char delimiter) const;
        std::size_t next(std::size_t at) const;
        std::size_t end() const { return size_; }

    private:
        const char* data_ = nullptr;
        std::size_t size_ = 0;
        // The first line after the licence header, whose lines begin with a space.
        std::size_t begin_ = 0;
    };
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    using Exceptions = std::unordered_map<std::string, std::vector<std::string>, Hash, std::equal_to<>>;

    // Bit (1 << pos) for every part of speech whose index lists the word itself.
    unsigned mask(std::string_view word) const;
    bool listed(std::string_view word, std::size_t pos) const;

    std::array<SortedLines, 4> indexes_;
    // cntlist.rev: "lemma%ss_type:lex_filenum:lex_id:head_word:head_id sense_number tag_count".
    SortedLines counts_;
    std::array<Exceptions, 4> exceptions_;
};

} // namespace platform::nl
