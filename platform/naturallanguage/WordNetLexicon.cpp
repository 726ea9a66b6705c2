#include "platform/naturallanguage/WordNetLexicon.h"

#include <algorithm>
#include <cstdlib>
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
        std::ifstream index(folder + "/index." + kPosFileNames[pos]);
        while (std::getline(index, line)) {
            if (line.empty() || line[0] == ' ') continue; // licence header
            const auto space = line.find(' ');
            std::string_view lemma(line.data(), space == std::string::npos ? line.size() : space);
            // Collocations never come out of the word breaker as one token.
            if (lemma.find_first_of("_-") != std::string_view::npos) continue;
            auto it = entries_.find(lemma);
            if (it == entries_.end()) it = entries_.emplace(std::string(lemma), Entry{}).first;
            it->second.mask |= static_cast<std::uint8_t>(1u << pos);
        }
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
    // cntlist.rev: "lemma%ss_type:lex_filenum:lex_id:head_word:head_id sense_number tag_count";
    // ss_type 1 noun, 2 verb, 3 adjective, 4 adverb, 5 adjective satellite.
    std::ifstream counts(folder + "/cntlist.rev");
    while (std::getline(counts, line)) {
        const auto percent = line.find('%');
        const auto lastSpace = line.rfind(' ');
        if (percent == std::string::npos || lastSpace == std::string::npos || percent + 1 >= line.size())
            continue;
        const int type = line[percent + 1] - '0';
        if (type < 1 || type > 5) continue;
        const std::size_t pos = type == 5 ? 2 : static_cast<std::size_t>(type - 1);
        auto it = entries_.find(std::string_view(line.data(), percent));
        if (it == entries_.end()) continue;
        it->second.counts[pos] +=
            static_cast<std::uint32_t>(std::strtoul(line.c_str() + lastSpace + 1, nullptr, 10));
    }
}

const WordNetLexicon::Entry* WordNetLexicon::find(std::string_view word) const {
    auto it = entries_.find(word);
    return it == entries_.end() ? nullptr : &it->second;
}

bool WordNetLexicon::isBaseForm(std::string_view word, WordNetPos pos) const {
    const Entry* e = find(word);
    return e && (e->mask & (1u << static_cast<unsigned>(pos)));
}

unsigned WordNetLexicon::count(std::string_view lemma, WordNetPos pos) const {
    const Entry* e = find(lemma);
    return e ? e->counts[static_cast<std::size_t>(pos)] : 0;
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
    unsigned mask = 0;
    if (const Entry* e = find(word)) mask = e->mask;
    for (unsigned p = 0; p < 4; ++p) {
        if (mask & (1u << p)) continue;
        if (!baseForms(word, static_cast<WordNetPos>(p)).empty()) mask |= 1u << p;
    }
    return mask;
}

} // namespace platform::nl
