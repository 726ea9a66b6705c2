#include "platform/naturallanguage/WordNetLexicon.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>

#include <wn.h>

namespace platform::nl {

namespace {

constexpr std::array<const char*, 4> kPosFileNames{"noun", "verb", "adj", "adv"};

struct Detachment {
    std::string_view suffix;
    std::string_view ending;
};

// Regular inflections, per part of speech, in the order WordNet's morphology tries them.
const std::array<std::vector<Detachment>, 4>& detachments() {
    static const std::array<std::vector<Detachment>, 4> rules{{
        {{"s", ""},
         {"ses", "s"},
         {"xes", "x"},
         {"zes", "z"},
         {"ches", "ch"},
         {"shes", "sh"},
         {"men", "man"},
         {"ies", "y"}},
        {{"s", ""},
         {"ies", "y"},
         {"es", "e"},
         {"es", ""},
         {"ed", "e"},
         {"ed", ""},
         {"ing", "e"},
         {"ing", ""}},
        {{"er", ""}, {"est", ""}, {"er", "e"}, {"est", "e"}},
        {},
    }};
    return rules;
}

std::string databaseFolder() {
    // SetSearchdir honours $WNSEARCHDIR and falls back to the folder the package installs.
    const char* dir = SetSearchdir();
    return dir ? std::string(dir) : std::string("/usr/share/wordnet");
}

void addUnique(std::vector<std::string>& list, std::string value) {
    if (std::find(list.begin(), list.end(), value) == list.end()) list.push_back(std::move(value));
}

} // namespace

const WordNetLexicon& WordNetLexicon::shared() {
    static const WordNetLexicon lexicon(databaseFolder());
    return lexicon;
}

WordNetLexicon::WordNetLexicon(const std::string& folder) {
    std::string line;
    for (std::size_t pos = 0; pos < 4; ++pos) {
        indexes_[pos].map(folder + "/index." + kPosFileNames[pos]);
        std::ifstream exc(folder + "/" + kPosFileNames[pos] + ".exc");
        while (std::getline(exc, line)) {
            const auto space = line.find(' ');
            if (space == std::string::npos) continue;
            auto& bases = exceptions_[pos][line.substr(0, space)];
            std::size_t start = space + 1;
            while (start < line.size()) {
                auto next = line.find(' ', start);
                if (next == std::string::npos) next = line.size();
                if (next > start) addUnique(bases, line.substr(start, next - start));
                start = next + 1;
            }
        }
    }
    counts_.map(folder + "/cntlist.rev");
}

WordNetLexicon::SortedLines::~SortedLines() {
    if (data_) munmap(const_cast<char*>(data_), size_);
}

void WordNetLexicon::SortedLines::map(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat info {};
    if (fstat(fd, &info) == 0 && info.st_size > 0) {
        void* mapped = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped != MAP_FAILED) {
            data_ = static_cast<const char*>(mapped);
            size_ = static_cast<std::size_t>(info.st_size);
        }
    }
    close(fd);
    while (begin_ < size_ && (data_[begin_] == ' ' || data_[begin_] == '\n'))
        begin_ = next(begin_);
}

std::string_view WordNetLexicon::SortedLines::line(std::size_t at) const {
    const std::string_view rest(data_ + at, size_ - at);
    return rest.substr(0, rest.find('\n'));
}

std::size_t WordNetLexicon::SortedLines::next(std::size_t at) const {
    const auto* newline = static_cast<const char*>(std::memchr(data_ + at, '\n', size_ - at));
    return newline ? static_cast<std::size_t>(newline - data_) + 1 : size_;
}

std::string_view WordNetLexicon::SortedLines::field(std::size_t at, char delimiter) const {
    // Searched many times per word: the rest of the line is not looked at.
    std::size_t end = at;
    while (end < size_ && data_[end] != delimiter && data_[end] != '\n')
        ++end;
    return {data_ + at, end - at};
}

std::size_t WordNetLexicon::SortedLines::lowerBound(std::string_view key, char delimiter) const {
    // Lines before `low` are ordered before the key, lines from `high` on are not.
    std::size_t low = begin_, high = size_;
    while (low < high) {
        std::size_t at = low + (high - low) / 2;
        while (at > low && data_[at - 1] != '\n')
            --at;
        if (field(at, delimiter) < key)
            low = next(at);
        else
            high = at;
    }
    return low;
}

bool WordNetLexicon::SortedLines::lists(std::string_view key) const {
    const std::size_t at = lowerBound(key, ' ');
    return at < size_ && field(at, ' ') == key;
}

bool WordNetLexicon::empty() const {
    return std::all_of(indexes_.begin(), indexes_.end(), [](const SortedLines& i) { return i.empty(); });
}

bool WordNetLexicon::listed(std::string_view word, std::size_t pos) const {
    // Collocations never come out of the word breaker as one token.
    return !word.empty() && word.find_first_of(" \n_-") == std::string_view::npos &&
           indexes_[pos].lists(word);
}

unsigned WordNetLexicon::mask(std::string_view word) const {
    unsigned found = 0;
    for (std::size_t pos = 0; pos < 4; ++pos)
        if (listed(word, pos)) found |= 1u << pos;
    return found;
}

bool WordNetLexicon::isBaseForm(std::string_view word, WordNetPos pos) const {
    return listed(word, static_cast<std::size_t>(pos));
}

unsigned WordNetLexicon::count(std::string_view lemma, WordNetPos pos) const {
    // Counted for the lemmas the indexes list, in any part of speech.
    if (!listed(lemma, 0) && !listed(lemma, 1) && !listed(lemma, 2) && !listed(lemma, 3)) return 0;
    std::uint32_t total = 0;
    for (std::size_t at = counts_.lowerBound(lemma, '%'); at < counts_.end(); at = counts_.next(at)) {
        const std::string_view line = counts_.line(at);
        if (counts_.field(at, '%') != lemma) break;
        const auto lastSpace = line.rfind(' ');
        if (line.size() <= lemma.size() + 1 || lastSpace == std::string_view::npos) continue;
        // ss_type 1 noun, 2 verb, 3 adjective, 4 adverb, 5 adjective satellite.
        const int type = line[lemma.size() + 1] - '0';
        if (type < 1 || type > 5) continue;
        if (static_cast<int>(pos) != (type == 5 ? 2 : type - 1)) continue;
        unsigned long tagged = 0;
        std::from_chars(line.data() + lastSpace + 1, line.data() + line.size(), tagged);
        total += static_cast<std::uint32_t>(tagged);
    }
    return total;
}

std::vector<std::string> WordNetLexicon::baseForms(std::string_view word, WordNetPos pos) const {
    std::vector<std::string> bases;
    const auto p = static_cast<std::size_t>(pos);
    if (auto it = exceptions_[p].find(word); it != exceptions_[p].end())
        for (const auto& base : it->second)
            if (isBaseForm(base, pos)) addUnique(bases, base);
    const bool endsInSs = word.size() > 2 && word.ends_with("ss");
    if (!(pos == WordNetPos::noun && endsInSs)) {
        for (const auto& rule : detachments()[p]) {
            if (word.size() <= rule.suffix.size() || !word.ends_with(rule.suffix)) continue;
            std::string candidate(word.substr(0, word.size() - rule.suffix.size()));
            candidate += rule.ending;
            if (candidate != word && isBaseForm(candidate, pos)) addUnique(bases, std::move(candidate));
        }
    }
    if (isBaseForm(word, pos)) addUnique(bases, std::string(word));
    return bases;
}

unsigned WordNetLexicon::classes(std::string_view word) const {
    unsigned found = mask(word);
    for (unsigned p = 0; p < 4; ++p) {
        if (found & (1u << p)) continue;
        if (!baseForms(word, static_cast<WordNetPos>(p)).empty()) found |= 1u << p;
    }
    return found;
}

} // namespace platform::nl
