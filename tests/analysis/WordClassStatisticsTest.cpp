#include <string>
#include <vector>

#include "analysis/Uniqued.h"
#include "analysis/WordClassStatistics.h"
#include "platform/foundation/NSUserDefaults.h"
#include "tests/support/PlatformTest.h"

using platform::NSUserDefaults;
using platform::StringArray;
using quillora::WordClassPass;
using quillora::WordClassStatistics;
using quillora::test::PlatformTest;

namespace {

const char* const kCounters[] = {"totalverbcount", "totalnouncount",    "totaladjectivecount",
                                 "totalwordcount", "totalpronouncount", "totaltotalconjunctioncount",
                                 "totalorgname",   "totalplacename",    "totalpersonname"};
const char* const kLists[] = {"savedarrayverb",      "savedarraynoun",        "savedarrayadjective",
                              "savedarraypronoun",   "savedarrayconjunction", "savedarrayorgname",
                              "savedarrayplacename", "savedarraypersonname"};

class WordClassStatisticsTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        defaults = NSUserDefaults::standardUserDefaults();
    }
    std::shared_ptr<NSUserDefaults> defaults;
    long long count(const char* key) const { return defaults->integerForKey(key); }
    StringArray list(const char* key) const {
        return defaults->arrayForKey(key).value_or(StringArray{"<absent>"});
    }
};

} // namespace

TEST_F(WordClassStatisticsTest, PassesAccumulateOverTheScreensLife) {
    WordClassStatistics screen;
    // Tagged Pronoun, Verb, Pronoun, Verb; the comma and full stop are skipped.
    screen.analyzeWordClasses("I run, you run.", *defaults, WordClassPass::mainScreen());
    EXPECT_EQ(takeConsole(), (std::vector<std::string>{"I: Pronoun", "run: Verb", "you: Pronoun", "run: Verb",
                                                       "Total App Usage word count Viewcontroller : 4"}));
    EXPECT_EQ(count("totalwordcount"), 4);
    EXPECT_EQ(count("totalverbcount"), 2);
    EXPECT_EQ(count("totalpronouncount"), 2);
    EXPECT_EQ(list("savedarrayverb"), StringArray{"run"});
    EXPECT_EQ(list("savedarraypronoun"), (StringArray{"I", "you"}));
    EXPECT_EQ(screen.WordCountforApp, 4);

    // The same transcript again: every word is counted again on top of the kept distinct words.
    screen.analyzeWordClasses("I run, you run.", *defaults, WordClassPass::mainScreen());
    EXPECT_EQ(count("totalwordcount"), 8);
    EXPECT_EQ(count("totalverbcount"), 3) << "one kept verb plus two new occurrences";
    EXPECT_EQ(count("totalpronouncount"), 4);
    EXPECT_EQ(list("savedarrayverb"), StringArray{"run"});
    EXPECT_EQ(screen.WordCountforApp, 4 + 8) << "grows by the accumulated word list";
    EXPECT_TRUE(consoleHas("Total App Usage word count Viewcontroller : 12"));

    // Conjunctions are counted at every occurrence of every pass, and stored once each.
    screen.analyzeWordClasses("We walk and they talk and she sings.", *defaults, WordClassPass::mainScreen());
    EXPECT_EQ(count("totaltotalconjunctioncount"), 2);
    screen.analyzeWordClasses("We walk and they talk and she sings.", *defaults, WordClassPass::mainScreen());
    EXPECT_EQ(count("totaltotalconjunctioncount"), 4);
    EXPECT_EQ(list("savedarrayconjunction"), StringArray{"and"});
    EXPECT_EQ(list("savedarrayverb"), (StringArray{"run", "walk", "talk", "sings"}));
    EXPECT_EQ(list("savedarraypronoun"), (StringArray{"I", "you", "We", "they", "she"}));
    EXPECT_EQ(screen.WordCountforApp, 4 + 8 + 16 + 24);

    // A new screen starts from empty lists and overwrites what the earlier one stored.
    WordClassStatistics fresh;
    fresh.analyzeWordClasses("Oh, the old dog sleeps quietly.", *defaults, WordClassPass::mainScreen());
    EXPECT_EQ(count("totalwordcount"), 6);
    EXPECT_EQ(list("savedarrayverb"), StringArray{"sleeps"});
    EXPECT_EQ(list("savedarraynoun"), StringArray{"dog"});
    EXPECT_EQ(list("savedarrayadjective"), StringArray{"old"});
    EXPECT_EQ(list("savedarrayconjunction"), StringArray{});
    EXPECT_EQ(fresh.totalInterjection, 1);
    EXPECT_EQ(fresh.totaldeterminer, 1);
    EXPECT_EQ(fresh.totaladverb, 1);
}

TEST_F(WordClassStatisticsTest, EveryKeyIsWrittenEvenWhenNothingIsTagged) {
    WordClassStatistics screen;
    screen.analyzeWordClasses("... !!! ?  ", *defaults, WordClassPass::mainScreen());
    EXPECT_EQ(takeConsole(), std::vector<std::string>{"Total App Usage word count Viewcontroller : 0"});
    for (const char* key : kCounters) {
        ASSERT_TRUE(defaults->objectForKey(key)) << key;
        EXPECT_EQ(count(key), 0) << key;
    }
    for (const char* key : kLists)
        EXPECT_EQ(list(key), StringArray{}) << key;

    // Names are never reported by the lexical-class scheme: their keys stay 0 and empty.
    screen.analyzeWordClasses("Tom visited Paris for Google.", *defaults, WordClassPass::mainScreen());
    EXPECT_EQ(count("totalorgname") + count("totalplacename") + count("totalpersonname"), 0);
    EXPECT_EQ(list("savedarraypersonname"), StringArray{});
}

TEST_F(WordClassStatisticsTest, OtherTagsCountAsWordsOnlyAndScreensDifferInTheirTotalLine) {
    WordClassStatistics notes;
    notes.analyzeWordClasses("She bought 42 green apples.", *defaults, WordClassPass::notesScreen());
    auto lines = takeConsole();
    EXPECT_EQ(lines, (std::vector<std::string>{"She: Pronoun", "bought: Verb", "42: Number", "other",
                                               "green: Adjective", "apples: Noun"}))
        << "a number prints \"other\"; the notes screen prints no running total";
    EXPECT_EQ(notes.totalOtherWords, 1);
    EXPECT_EQ(count("totalwordcount"), 5);
    EXPECT_EQ(notes.WordCountforApp, 5);
}

TEST(UniquedTest, KeepsFirstOccurrencesInOrderWithCanonicalEquality) {
    using quillora::uniqued;
    EXPECT_EQ(uniqued({"a", "b", "a", "c", "b"}), (StringArray{"a", "b", "c"}));
    EXPECT_EQ(uniqued({}), StringArray{});
    EXPECT_EQ(uniqued({"Run", "run", "Run"}), (StringArray{"Run", "run"})) << "case counts";

    const std::string precomposed = "caf\xC3\xA9"; // é as one code point
    const std::string decomposed = "cafe\xCC\x81"; // e + combining acute
    EXPECT_EQ(uniqued({decomposed, "tea", precomposed}), (StringArray{decomposed, "tea"}))
        << "canonically equivalent spellings are one word; the first is kept as written";
    EXPECT_EQ(uniqued({"\xEF\xAC\x81", "fi"}), (StringArray{"\xEF\xAC\x81", "fi"}))
        << "a compatibility ligature is not canonically equal to its letters";

    const StringArray input{"x", "y", "x"};
    auto copy = input;
    uniqued(input);
    EXPECT_EQ(input, copy);
}
