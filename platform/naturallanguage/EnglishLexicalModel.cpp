// English lexical classes: each word's possible classes (closed-class lexicon, else WordNet with
// its corpus counts, else its ending), then a left-to-right pass that picks one class per word
// from what the previous word leaves expected and what the next word can be.

#include <array>
#include <cmath>
#include <unordered_map>

#include "platform/naturallanguage/LexicalModel.h"
#include "platform/naturallanguage/WordNetLexicon.h"

namespace platform::nl {

namespace {

using LC = LexicalClass;

// What a word leaves expected of the next one.
enum class Role {
    none,
    boundary,   // start of a sentence or clause
    determiner, // a noun phrase goes on: adjective or noun
    subject,    // a verb comes
    modal,      // a verb in its base form comes (will, can, to, did)
    be,         // a participle, an adjective or a noun phrase comes
    have,       // a past participle or a noun phrase comes
    preposition,
    object, // a pronoun that ends a phrase
};

// How a closed-class word with two readings chooses between them.
enum class Choice {
    fixed,
    determinerOrPronoun, // determiner when a noun phrase follows (this, her, his, what...)
    toWord,              // particle before a verb, preposition otherwise
    noWord,              // determiner before a noun phrase, interjection otherwise
    phrasal,             // particle after a verb, preposition before a noun phrase, adverb otherwise
    like,                // verb after a subject or modal, preposition otherwise
    there,               // pronoun before a form of be, adverb otherwise
    that,                // conjunction after a verb or adjective, else as determinerOrPronoun
    subordinator,        // conjunction before a clause (since, until...), preposition otherwise
    one,                 // noun after a determiner or adjective, number otherwise
};

struct ClosedWord {
    LC cls;
    Role role = Role::none;
    Choice choice = Choice::fixed;
};

using Lexicon = std::unordered_map<std::string_view, ClosedWord>;

const Lexicon& closedWords() {
    static const Lexicon lexicon = [] {
        Lexicon l;
        auto add = [&l](std::initializer_list<std::string_view> words, ClosedWord w) {
            for (auto word : words)
                l[word] = w;
        };
        add({"i", "you", "he", "she", "it", "we", "they", "who", "whoever", "one's"},
            {LC::pronoun, Role::subject});
        add({"me",      "him",       "us",         "them",     "mine",       "yours",      "hers",
             "ours",    "theirs",    "myself",     "yourself", "yourselves", "himself",    "herself",
             "itself",  "ourselves", "themselves", "whom",     "someone",    "somebody",   "something",
             "anyone",  "anybody",   "anything",   "everyone", "everybody",  "everything", "nobody",
             "nothing", "none",      "whatever",   "whichever"},
            {LC::pronoun, Role::object});
        add({"the",   "a",    "an",     "my",      "your",    "our",  "their", "its",
             "every", "each", "either", "neither", "another", "some", "any",   "all",
             "both",  "many", "much",   "few",     "several", "such", "whose"},
            {LC::determiner, Role::determiner});
        add({"this", "these", "those", "her", "his", "what", "which"},
            {LC::determiner, Role::determiner, Choice::determinerOrPronoun});
        add({"that"}, {LC::determiner, Role::determiner, Choice::that});
        add({"about",     "above",    "across",     "against", "along",   "among",   "amongst",    "around",
             "at",        "behind",   "below",      "beneath", "beside",  "besides", "between",    "beyond",
             "by",        "despite",  "during",     "except",  "for",     "from",    "in",         "inside",
             "into",      "near",     "of",         "on",      "onto",    "outside", "over",       "past",
             "per",       "through",  "throughout", "toward",  "towards", "under",   "underneath", "unlike",
             "upon",      "via",      "with",       "within",  "without", "than",    "as",         "amid",
             "regarding", "including"},
            {LC::preposition, Role::preposition});
        add({"since", "until", "till", "before", "after"},
            {LC::preposition, Role::preposition, Choice::subordinator});
        add({"up", "out", "off", "down"}, {LC::preposition, Role::preposition, Choice::phrasal});
        add({"to"}, {LC::preposition, Role::preposition, Choice::toWord});
        add({"like"}, {LC::preposition, Role::preposition, Choice::like});
        add({"and", "or", "but", "nor", "yet", "because", "although", "though", "while", "whereas", "if",
             "unless", "whether", "whenever", "wherever", "cause", "'cause"},
            {LC::conjunction, Role::boundary});
        add({"oh",     "ah",   "hey",    "hello",  "hi",   "wow",  "ouch", "oops", "yes",
             "okay",   "ok",   "please", "thanks", "um",   "uh",   "hmm",  "bye",  "goodbye",
             "hooray", "alas", "yeah",   "yep",    "nope", "whoa", "huh"},
            {LC::interjection, Role::boundary});
        add({"no"}, {LC::determiner, Role::determiner, Choice::noWord});
        add({"will",      "would",   "shall",  "should",   "can",     "could",  "may",
             "might",     "must",    "ought",  "do",       "does",    "did",    "don't",
             "doesn't",   "didn't",  "won't",  "wouldn't", "can't",   "cannot", "couldn't",
             "shouldn't", "mustn't", "shan't", "mightn't", "needn't", "let's"},
            {LC::verb, Role::modal});
        add({"am", "is", "are", "was", "were", "be", "been", "being", "isn't", "aren't", "wasn't", "weren't",
             "ain't"},
            {LC::verb, Role::be});
        add({"have", "has", "had", "having", "haven't", "hasn't", "hadn't"}, {LC::verb, Role::have});
        add({"not",     "very",    "too",       "also",      "just",      "only",     "even",      "still",
             "already", "always",  "never",     "often",     "sometimes", "soon",     "now",       "then",
             "here",    "again",   "ever",      "almost",    "quite",     "rather",   "really",    "perhaps",
             "maybe",   "however", "therefore", "instead",   "together",  "away",     "back",      "so",
             "how",     "when",    "where",     "why",       "today",     "tomorrow", "yesterday", "tonight",
             "later",   "ago",     "anyway",    "otherwise", "else"},
            {LC::adverb, Role::none});
        add({"there"}, {LC::adverb, Role::none, Choice::there});
        add({"zero",      "two",      "three",    "four",    "five",     "six",      "seven",   "eight",
             "nine",      "ten",      "eleven",   "twelve",  "thirteen", "fourteen", "fifteen", "sixteen",
             "seventeen", "eighteen", "nineteen", "twenty",  "thirty",   "forty",    "fifty",   "sixty",
             "seventy",   "eighty",   "ninety",   "hundred", "thousand", "million",  "billion", "dozen"},
            {LC::number, Role::determiner});
        add({"one"}, {LC::number, Role::determiner, Choice::one});
        return l;
    }();
    return lexicon;
}

// Contractions whose first part carries the class: "I'm", "we'll", "it's", "they've".
struct Contraction {
    std::string_view clitic;
    Role role;
};
constexpr std::array<Contraction, 5> kClitics{{
    {"'m", Role::be},
    {"'re", Role::be},
    {"'ll", Role::modal},
    {"'ve", Role::have},
    {"'d", Role::modal},
}};

constexpr std::array<LC, 4> kOpen{LC::noun, LC::verb, LC::adjective, LC::adverb};
const double kRarestUse = std::log(0.02);

// One word as the pass sees it before choosing.
struct WordInfo {
    bool isWord = false;
    bool isNumber = false;
    bool capitalised = false;
    std::string key; // lower case, straight apostrophes
    const ClosedWord* closed = nullptr;
    Role roleOverride = Role::none; // set by a contraction's clitic
    bool possessive = false;
    std::array<double, 4> logPrior{-INFINITY, -INFINITY, -INFINITY, -INFINITY};
    bool pastParticiple = false;
    bool gerund = false;
    bool otherScript = false;

    bool can(LC c) const {
        for (std::size_t i = 0; i < 4; ++i)
            if (kOpen[i] == c) return std::isfinite(logPrior[i]);
        return false;
    }
    double prior(LC c) const {
        for (std::size_t i = 0; i < 4; ++i)
            if (kOpen[i] == c) return logPrior[i];
        return -INFINITY;
    }
    // Could open a noun phrase's content: an adjective or noun (or a number).
    bool nounish() const {
        if (isNumber) return true;
        if (!isWord || closed || possessive) return false;
        if (!can(LC::noun) && !can(LC::adjective)) return false;
        // A word far more often a verb ("go", "see") does not make "this" a determiner.
        return std::max(prior(LC::noun), prior(LC::adjective)) >= prior(LC::verb) - 1.5;
    }
};

bool startsUpper(std::string_view text) {
    return !text.empty() && text[0] >= 'A' && text[0] <= 'Z';
}

bool hasAsciiLetter(std::string_view text) {
    for (unsigned char c : text)
        if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') return true;
    return false;
}

class EnglishLexicalModel final : public LexicalModel {
public:
    EnglishLexicalModel() : wordnet_(WordNetLexicon::shared()) {}

    std::vector<LC> tag(const std::vector<ModelToken>& tokens) const override {
        // The pass looks two words ahead: describe words into a ring of three as it goes, which
        // keeps a long transcript's pass from touching megabytes of fresh memory.
        Seen seen;
        std::array<WordInfo, 3> ring;
        std::size_t described = 0;
        auto info = [&](std::size_t k) -> const WordInfo& {
            while (described <= k) {
                ring[described % 3] = WordInfo{};
                describe(tokens[described], ring[described % 3], seen);
                ++described;
            }
            return ring[k % 3];
        };

        std::vector<LC> tags(tokens.size(), LC::none);
        Role prevRole = Role::boundary;
        LC prevTag = LC::none;
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            const WordInfo& w = info(i);
            if (!w.isWord && !w.isNumber) {
                const Mark m = tokens[i].mark;
                if (m == Mark::sentenceTerminator || m == Mark::paragraphBreak ||
                    m == Mark::otherPunctuation || m == Mark::dash || m == Mark::openParenthesis ||
                    m == Mark::closeParenthesis) {
                    prevRole = Role::boundary;
                    prevTag = LC::none;
                }
                continue;
            }
            const WordInfo* next = i + 1 < tokens.size() ? &info(i + 1) : nullptr;
            const bool sentenceStart = prevRole == Role::boundary && prevTag == LC::none;
            LC tag;
            Role role;
            if (w.isNumber) {
                tag = LC::number;
                role = Role::determiner;
            } else if (w.otherScript) {
                tag = LC::otherWord;
                role = Role::none;
            } else if (w.closed) {
                tag =
                    chooseClosed(w, prevRole, prevTag, next, i + 2 < tokens.size() ? &info(i + 2) : nullptr);
                // "a while", "the will", "in May": a conjunction or modal where a noun must be.
                const bool modalOrJoiner = w.closed->role == Role::modal || w.closed->cls == LC::conjunction;
                if (modalOrJoiner && w.roleOverride == Role::none &&
                    (prevRole == Role::determiner || (w.capitalised && !sentenceStart)))
                    tag = LC::noun;
                role = tag == LC::noun ? Role::none : roleOf(w, tag);
            } else {
                tag = chooseOpen(w, prevRole, prevTag, next, sentenceStart);
                // An adjective keeps a noun phrase open: "the old saw" ends in a noun.
                role = w.possessive || (tag == LC::adjective && prevRole == Role::determiner)
                           ? Role::determiner
                           : Role::none;
            }
            if (w.roleOverride != Role::none) role = w.roleOverride;
            tags[i] = tag;
            prevTag = tag;
            prevRole = role;
        }
        return tags;
    }

private:
    // What WordNet says of an open-class word form, kept per pass: dictated text repeats its words.
    struct OpenPriors {
        std::array<double, 4> logPrior;
        bool gerund, pastParticiple;
    };
    using Seen = std::unordered_map<std::string, OpenPriors>;

    void describe(const ModelToken& token, WordInfo& w, Seen& seen) const {
        if (token.kind == TokenKind::number) {
            w.isNumber = true;
            return;
        }
        if (token.kind != TokenKind::word) return;
        w.isWord = true;
        w.capitalised = startsUpper(token.text);
        if (!token.text.empty() && token.text[0] >= '0' && token.text[0] <= '9') {
            w.isNumber = true; // "10am", "2nd"
            return;
        }
        if (!hasAsciiLetter(token.text)) {
            w.otherScript = true;
            return;
        }
        w.key = wordKey(token.text);
        const auto& lexicon = closedWords();
        if (auto it = lexicon.find(w.key); it != lexicon.end()) {
            w.closed = &it->second;
            return;
        }
        // "it's", "that's", "John's": the first part decides; a noun before 's is a possessive.
        if (w.key.size() > 2 && w.key.ends_with("'s")) {
            std::string stem = w.key.substr(0, w.key.size() - 2);
            if (auto it = lexicon.find(stem); it != lexicon.end()) {
                w.closed = &it->second;
                w.roleOverride = Role::be;
                return;
            }
            w.key = std::move(stem);
            w.possessive = true;
        }
        for (const auto& c : kClitics) {
            if (w.key.size() > c.clitic.size() && w.key.ends_with(c.clitic)) {
                auto it = lexicon.find(std::string_view(w.key).substr(0, w.key.size() - c.clitic.size()));
                if (it != lexicon.end()) {
                    w.closed = &it->second;
                    w.roleOverride = c.role;
                    return;
                }
            }
        }
        if (w.key.ends_with("s'")) {
            w.key.pop_back();
            w.possessive = true;
        }
        const std::string cacheKey = w.possessive ? w.key + "'s" : w.key;
        if (auto it = seen.find(cacheKey); it != seen.end()) {
            w.logPrior = it->second.logPrior;
            w.gerund = it->second.gerund;
            w.pastParticiple = it->second.pastParticiple;
            return;
        }
        openPriors(w);
        seen.emplace(cacheKey, OpenPriors{w.logPrior, w.gerund, w.pastParticiple});
    }

    void openPriors(WordInfo& w) const {
        std::array<double, 4> counts{};
        bool any = false;
        for (std::size_t p = 0; p < 4; ++p) {
            const auto pos = static_cast<WordNetPos>(p);
            const auto bases = wordnet_.baseForms(w.key, pos);
            if (bases.empty()) continue;
            any = true;
            unsigned best = 0;
            for (const auto& b : bases)
                best = std::max(best, wordnet_.count(b, pos));
            counts[p] = best + 1.0;
            if (pos == WordNetPos::verb && (bases.size() > 1 || bases[0] != w.key)) {
                if (w.key.ends_with("ing"))
                    w.gerund = true;
                else if (!w.key.ends_with("s"))
                    w.pastParticiple = true; // -ed and irregular forms
            }
        }
        if (!any) {
            guessFromEnding(w);
            return;
        }
        if (w.possessive) counts = {1, 0, 0, 0};
        double total = 0;
        for (double c : counts)
            total += c;
        for (std::size_t p = 0; p < 4; ++p)
            // A rare use stays within reach of context: corpus counts of a few hundred to one would
            // otherwise make "the old saw" a verb.
            w.logPrior[p] = counts[p] > 0 ? std::max(std::log(counts[p] / total), kRarestUse) : -INFINITY;
    }

    static void guessFromEnding(WordInfo& w) {
        const std::string& k = w.key;
        std::size_t p = 0; // noun
        if (!w.possessive) {
            if (k.ends_with("ly"))
                p = 3;
            else if (k.ends_with("ing") || k.ends_with("ed") || k.ends_with("ize") || k.ends_with("ise"))
                p = 1;
            else if (k.ends_with("ous") || k.ends_with("ful") || k.ends_with("ive") || k.ends_with("able") ||
                     k.ends_with("ible") || k.ends_with("al") || k.ends_with("ic") || k.ends_with("less") ||
                     k.ends_with("ish"))
                p = 2;
            if (w.capitalised) p = 0;
        }
        w.logPrior[p] = 0;
        if (p == 1) (k.ends_with("ing") ? w.gerund : w.pastParticiple) = true;
    }

    static bool nextIsVerbBase(const WordInfo* next) {
        return next && next->isWord && !next->closed && next->can(LC::verb) &&
               next->prior(LC::verb) > std::log(0.2);
    }
    static bool nextStartsClause(const WordInfo* next) {
        return next && next->closed &&
               (next->closed->role == Role::subject || next->closed->cls == LC::determiner ||
                next->closed->cls == LC::number);
    }

    static LC chooseClosed(const WordInfo& w, Role prevRole, LC prevTag, const WordInfo* next,
                           const WordInfo* afterNext) {
        const ClosedWord& c = *w.closed;
        const bool nextNounish = next && next->nounish();
        switch (c.choice) {
        case Choice::fixed:
            return c.cls;
        case Choice::determinerOrPronoun:
            return nextNounish ? LC::determiner : LC::pronoun;
        case Choice::that:
            if (prevTag == LC::verb || prevTag == LC::adjective) return LC::conjunction;
            return nextNounish ? LC::determiner : LC::pronoun;
        case Choice::toWord:
            // "to" + verb: the verb is a common one, or a verb came before ("want to book"), or
            // an object follows it ("to book a room").
            if (!next || !next->isWord || next->closed || !next->can(LC::verb)) return LC::preposition;
            if (nextIsVerbBase(next) || prevTag == LC::verb) return LC::particle;
            return afterNext && afterNext->closed &&
                           (afterNext->closed->cls == LC::determiner ||
                            afterNext->closed->role == Role::object)
                       ? LC::particle
                       : LC::preposition;
        case Choice::noWord:
            return nextNounish ? LC::determiner : LC::interjection;
        case Choice::phrasal:
            if (prevTag == LC::verb) return LC::particle;
            return next && (next->closed || next->nounish()) ? LC::preposition : LC::adverb;
        case Choice::like:
            return prevRole == Role::subject || prevRole == Role::modal ? LC::verb : LC::preposition;
        case Choice::there:
            return next && next->closed && next->closed->role == Role::be ? LC::pronoun : LC::adverb;
        case Choice::subordinator:
            return nextStartsClause(next) && next->closed->role == Role::subject ? LC::conjunction
                                                                                 : LC::preposition;
        case Choice::one:
            return prevRole == Role::determiner || prevTag == LC::adjective ? LC::noun : LC::number;
        }
        return c.cls;
    }

    static Role roleOf(const WordInfo& w, LC tag) {
        const ClosedWord& c = *w.closed;
        switch (tag) {
        case LC::particle:
            return w.key == "to" ? Role::modal : Role::none;
        case LC::pronoun:
            return c.role == Role::determiner ? Role::object : c.role;
        case LC::conjunction:
        case LC::interjection:
            return Role::boundary;
        case LC::verb:
            return c.role == Role::preposition ? Role::none : c.role;
        case LC::adverb:
            return Role::none;
        default:
            return c.role;
        }
    }

    static LC chooseOpen(const WordInfo& w, Role prevRole, LC prevTag, const WordInfo* next,
                         bool sentenceStart) {
        LC best = LC::noun;
        double bestScore = -INFINITY;
        for (std::size_t p = 0; p < 4; ++p) {
            if (!std::isfinite(w.logPrior[p])) continue;
            const LC c = kOpen[p];
            double s = w.logPrior[p];
            auto bonus = [&](LC target, double value) {
                if (c == target) s += value;
            };
            switch (prevRole) {
            case Role::determiner:
                bonus(LC::noun, 2.0), bonus(LC::adjective, 1.5), bonus(LC::verb, -3.0),
                    bonus(LC::adverb, -1.5);
                break;
            case Role::subject:
                bonus(LC::verb, 3.0), bonus(LC::noun, -1.5), bonus(LC::adjective, -1.0),
                    bonus(LC::adverb, 0.5);
                break;
            case Role::modal:
                bonus(LC::verb, 4.0), bonus(LC::adverb, 1.0), bonus(LC::noun, -2.0),
                    bonus(LC::adjective, -1.0);
                break;
            case Role::be:
                if (w.gerund || w.pastParticiple)
                    bonus(LC::verb, 2.5);
                else
                    bonus(LC::verb, -1.5);
                bonus(LC::adjective, 1.0);
                break;
            case Role::have:
                if (w.pastParticiple)
                    bonus(LC::verb, 3.0);
                else
                    bonus(LC::verb, -1.0);
                bonus(LC::noun, 0.5);
                break;
            case Role::preposition:
                bonus(LC::noun, 1.5), bonus(LC::adjective, 0.8), bonus(LC::adverb, -1.0);
                bonus(LC::verb, w.gerund ? 0.0 : -2.0);
                break;
            case Role::object:
                bonus(LC::verb, -0.5), bonus(LC::noun, 0.3), bonus(LC::adverb, 0.5);
                break;
            case Role::boundary:
                if (sentenceStart)
                    bonus(LC::verb, 0.3), bonus(LC::noun, 0.3);
                else
                    bonus(LC::verb, 0.3);
                break;
            case Role::none:
                if (prevTag == LC::noun)
                    bonus(LC::verb, 1.0), bonus(LC::noun, 0.2);
                else if (prevTag == LC::verb) {
                    bonus(LC::noun, 0.5), bonus(LC::adjective, 0.5), bonus(LC::adverb, 0.6);
                    bonus(LC::verb, w.gerund || w.pastParticiple ? 0.0 : -1.0);
                } else if (prevTag == LC::adverb)
                    bonus(LC::verb, 0.5), bonus(LC::adjective, 0.7);
                else if (prevTag == LC::adjective)
                    bonus(LC::noun, 1.5), bonus(LC::adjective, 0.5), bonus(LC::verb, -2.0);
                break;
            }
            if (next) {
                if (next->closed &&
                    (next->closed->role == Role::determiner || next->closed->role == Role::object ||
                     next->closed->cls == LC::determiner))
                    bonus(LC::verb, 1.5);
                if (next->isNumber) bonus(LC::verb, 0.5);
                if (next->nounish() && next->can(LC::noun)) bonus(LC::adjective, 1.0), bonus(LC::noun, 0.2);
            }
            if (w.key.ends_with("ly")) bonus(LC::adverb, 2.0);
            if (w.capitalised && !sentenceStart) bonus(LC::noun, 2.5);
            if (s > bestScore) bestScore = s, best = c;
        }
        return best;
    }

    const WordNetLexicon& wordnet_;
};

class BasicLexicalModel final : public LexicalModel {
public:
    std::vector<LC> tag(const std::vector<ModelToken>& tokens) const override {
        std::vector<LC> tags(tokens.size(), LC::none);
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (tokens[i].kind == TokenKind::number)
                tags[i] = LC::number;
            else if (tokens[i].kind == TokenKind::word)
                tags[i] = LC::otherWord;
        }
        return tags;
    }
};

} // namespace

std::unique_ptr<LexicalModel> makeEnglishLexicalModel() {
    return std::make_unique<EnglishLexicalModel>();
}
std::unique_ptr<LexicalModel> makeBasicLexicalModel() {
    return std::make_unique<BasicLexicalModel>();
}

} // namespace platform::nl
