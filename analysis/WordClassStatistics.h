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

#include <cstdint>
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

class WordClassStatistics {
public:
    // Tags `text` (the whole transcript) by lexical class, appends every tagged word to its lists,
    // grows WordCountforApp by the accumulated word count and writes the nine counters and the
    // eight lists to `defaults`. The verb, noun, adjective and pronoun lists are de-duplicated
    // after their counts are written, so a later pass counts the distinct words kept so far plus
    // that pass's occurrences. The conjunctions are counted over every pass, and their list, which
    // nothing reads back, is kept de-duplicated too: a long dictation's memory grows with its
    // length, not with its square. Main thread only.
    void analyzeWordClasses(const std::string& text, platform::NSUserDefaults& defaults,
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
};

} // namespace quillora
