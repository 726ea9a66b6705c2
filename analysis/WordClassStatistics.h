#pragma once
// The word-class statistics a dictation screen keeps: its transcript's words sorted by lexical
// class, accumulated over the screen's life and written to the user-defaults store, where the
// analysis screen reads them.
//
// A dictation screen derives from WordClassStatistics (so the lists are its own fields) and runs
// the pass over its whole transcript each time that text has settled:
//
//     void ViewController::analyzeWordClasses(const std::string& text) {
//         WordClassStatistics::analyzeWordClasses(text, *defaults, WordClassPass::mainScreen());
//     }

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class NSUserDefaults;
}

namespace quillora {

// What sets one screen's pass apart from another's.
struct WordClassPass {
    // Printed with the new running total after each pass; none prints nothing.
    std::optional<std::string_view> runningTotalLine;

    static constexpr WordClassPass mainScreen() { return {"Total App Usage word count Viewcontroller : "}; }
    static constexpr WordClassPass notesScreen() { return {}; }
    static constexpr WordClassPass recipeScreen() { return {}; }
};

// One pass's tagged words by class: what it adds to a screen's lists and counts. Made on any thread.
struct WordClassTally {
    // A class whose words are kept: how many were tagged, and the distinct ones in order.
    struct Kept {
        std::int64_t tagged = 0;
        std::vector<std::string> distinct;
    };
    std::int64_t words = 0;
    Kept verbs, nouns, adjectives, pronouns, conjunctions;
    std::int64_t adverbs = 0, determiners = 0, prepositions = 0, interjections = 0, others = 0;
};

class WordClassStatistics {
public:
    // A transcript longer than this is tagged on a worker: the pass over it would hold the window
    // (and a termination) up for seconds on a slow machine.
    static constexpr std::size_t kLongTranscript = 64 * 1024;

    // Tags `text` (the whole transcript) by lexical class, appends every tagged word to its lists,
    // grows WordCountforApp by the accumulated word count and writes the nine counters and the
    // eight lists to `defaults`. The verb, noun, adjective and pronoun lists are de-duplicated
    // after their counts are written, so a later pass counts the distinct words kept so far plus
    // that pass's occurrences. The conjunctions are counted over every pass, and their list, which
    // nothing reads back, is kept de-duplicated too: a long dictation's memory grows with its
    // length, not with its square. Main thread only.
    void analyzeWordClasses(const std::string& text, platform::NSUserDefaults& defaults,
                            const WordClassPass& pass);
    // The same pass for a screen whose transcript has settled: at once for a short transcript; a long
    // one (and any behind it) is tagged on a worker, printing its words from there, and added on the
    // main loop while `owner` (the screen holding these lists) lives. Main thread only.
    void analyzeWordClassesOffTheWindow(const std::string& text,
                                        std::shared_ptr<platform::NSUserDefaults> defaults,
                                        const WordClassPass& pass, std::weak_ptr<void> owner);

    // The pass's two halves: tagging, on any thread, and adding, on the main thread.
    static WordClassTally tallyWordClasses(const std::string& text);
    void addWordClasses(const WordClassTally& tally, platform::NSUserDefaults& defaults,
                        const WordClassPass& pass);

    // How many words of every pass got a tag, whatever the class: only ever read as a number, so
    // kept as one.
    std::int64_t totalwordcount = 0;
    std::vector<std::string> totalverb;
    std::vector<std::string> totalnoun;
    std::vector<std::string> totaladjective;
    std::vector<std::string> totalpronoun;
    // The distinct conjunctions, and how many of them every pass has tagged.
    std::vector<std::string> totalconjunction;
    std::int64_t conjunctionCount = 0;
    // The classes nothing reads the words of: how many each pass has tagged.
    std::int64_t totaladverb = 0;
    std::int64_t totaldeterminer = 0;
    std::int64_t totalpreposition = 0;
    std::int64_t totalInterjection = 0;
    std::int64_t totalOtherWords = 0;
    // The lexical-class scheme reports no names, so these stay empty; they are written all the same
    // because readers of the store expect the keys.
    std::vector<std::string> totalorgname;
    std::vector<std::string> totalplacename;
    std::vector<std::string> totalpersonname;

    // The screen's running word total (feeds the store-review condition).
    std::int64_t WordCountforApp = 0;

private:
    // Passes tagged on the worker and not yet added.
    int passesUnderway_ = 0;
};

} // namespace quillora
