#include <atomic>
#include <thread>

#include "platform/naturallanguage/LexicalModel.h"
#include "platform/naturallanguage/Tokenizer.h"
#include "platform/naturallanguage/WordNetLexicon.h"
#include "tests/support/PlatformTest.h"

namespace {

using platform::nl::WordNetLexicon;
using platform::nl::WordNetPos;
using quillora::test::writeFile;

class LexiconTest : public quillora::test::PlatformTest {};

TEST_F(LexiconTest, BaseFormsPreferIrregularThenRegularThenTheWordItself) {
    const auto& wn = WordNetLexicon::shared();
    ASSERT_FALSE(wn.empty()) << "WordNet database missing";
    using V = std::vector<std::string>;
    EXPECT_EQ(wn.baseForms("geese", WordNetPos::noun), V{"goose"});
    EXPECT_EQ(wn.baseForms("went", WordNetPos::verb), V{"go"});
    EXPECT_EQ(wn.baseForms("boxes", WordNetPos::noun), V{"box"});
    EXPECT_EQ(wn.baseForms("studies", WordNetPos::verb), V{"study"});
    EXPECT_EQ(wn.baseForms("baked", WordNetPos::verb).front(), "bake");
    EXPECT_EQ(wn.baseForms("happier", WordNetPos::adjective), V{"happy"});
    // "-ss" nouns are not plurals; a base form is its own.
    EXPECT_EQ(wn.baseForms("glass", WordNetPos::noun), V{"glass"});
    EXPECT_EQ(wn.baseForms("house", WordNetPos::noun), V{"house"});
    EXPECT_TRUE(wn.baseForms("flumpiness", WordNetPos::noun).empty());

    const unsigned noun = 1u << 0, verb = 1u << 1, adjective = 1u << 2, adverb = 1u << 3;
    EXPECT_EQ(wn.classes("running") & (noun | verb), noun | verb);
    EXPECT_EQ(wn.classes("quickly"), adverb);
    EXPECT_NE(wn.classes("better") & adjective, 0u);
    EXPECT_EQ(wn.classes("xyzzy"), 0u);
    // Counts come from the sense-tagged corpus: "house" is mostly a noun.
    EXPECT_GT(wn.count("house", WordNetPos::noun), wn.count("house", WordNetPos::verb));
}

// The database is searched where it lies, sorted: words at the first and last lines of a file, words
// that begin another line's lemma, collocations, the licence header and words that are not a whole
// lemma are told apart; a lemma's tagged counts add up over its senses, adjective satellites among
// the adjectives.
TEST_F(LexiconTest, ALexiconFolderIsSearchedWordByWordAsItsFilesAreSorted) {
    const auto folder = home / "wordnet";
    const std::string licence = "  1 This software and database is being provided\n  2 without warranty\n";
    writeFile(folder / "index.noun", licence + "aardvark n 1 0 1 0 02065397\n"
                                               "ice_cream n 1 0 1 0 07614500\n"
                                               "run n 16 4 @ ~ #p %p 16 6 00189565\n"
                                               "runner n 6 0 6 1 10543162\n"
                                               "zymosis n 2 0 2 0 14148396\n");
    writeFile(folder / "index.verb", licence + "run v 41 4 @ ~ * > 41 31 01926311\nrunt-up v 1 0 1 0 1\n");
    writeFile(folder / "index.adj", "fast a 10 3 ! & = 10 3 00976508\n");
    writeFile(folder / "index.adv", "");
    writeFile(folder / "verb.exc", "ran run\n");
    writeFile(folder / "cntlist.rev", "fast%3:00:01:: 1 30\n"
                                      "fast%5:00:00:quick:00 2 5\n"
                                      "run%1:04:00:: 1 20\n"
                                      "run%2:38:00:: 1 72\n"
                                      "run%2:38:04:: 2 6\n"
                                      "runner%1:18:00:: 1 4\n"
                                      "zebra%1:05:00:: 1 3\n");
    const WordNetLexicon wn(folder.string());
    ASSERT_FALSE(wn.empty());
    const unsigned noun = 1u << 0, verb = 1u << 1, adjective = 1u << 2;
    struct Case {
        const char* word;
        unsigned classes;
        unsigned nounCount, verbCount, adjectiveCount;
    };
    for (const Case& c :
         {Case{"aardvark", noun, 0, 0, 0}, Case{"zymosis", noun, 0, 0, 0},
          Case{"run", noun | verb, 20, 78, 0}, Case{"runner", noun, 4, 0, 0}, Case{"ran", verb, 0, 0, 0},
          Case{"fast", adjective, 0, 0, 35}, Case{"ru", 0, 0, 0, 0}, Case{"runn", 0, 0, 0, 0},
          Case{"ice_cream", 0, 0, 0, 0}, Case{"runt-up", 0, 0, 0, 0}, Case{"run n", 0, 0, 0, 0},
          Case{"", 0, 0, 0, 0}, Case{"1", 0, 0, 0, 0}, Case{"zebra", 0, 0, 0, 0}, Case{"zzz", 0, 0, 0, 0}}) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(wn.classes(c.word), c.classes);
        EXPECT_EQ(wn.count(c.word, WordNetPos::noun), c.nounCount);
        EXPECT_EQ(wn.count(c.word, WordNetPos::verb), c.verbCount);
        EXPECT_EQ(wn.count(c.word, WordNetPos::adjective), c.adjectiveCount);
    }
    EXPECT_EQ(wn.baseForms("runs", WordNetPos::verb), std::vector<std::string>{"run"});
    EXPECT_EQ(wn.baseForms("ran", WordNetPos::verb), std::vector<std::string>{"run"});
    EXPECT_TRUE(WordNetLexicon((home / "none").string()).empty());
}

TEST_F(LexiconTest, TokensAreWholeCharactersWordsAndMarks) {
    using platform::nl::TokenKind;
    // Chinese is broken into words by dictionary, emoji with modifiers stay whole.
    const std::string text =
        "\xE6\x88\x91\xE4\xBB\xAC\xE6\x98\x8E\xE5\xA4\xA9 \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD 1,250.5";
    const auto tokens = platform::nl::tokenize(text);
    std::vector<std::string> pieces;
    for (const auto& t : tokens)
        pieces.push_back(text.substr(t.range.location, t.range.length));
    EXPECT_EQ(pieces, (std::vector<std::string>{"\xE6\x88\x91\xE4\xBB\xAC", "\xE6\x98\x8E\xE5\xA4\xA9", " ",
                                                "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD", " ", "1,250.5"}));
    EXPECT_EQ(tokens.back().kind, TokenKind::number);
    EXPECT_TRUE(platform::nl::tokenize("").empty());

    EXPECT_EQ(platform::nl::wordKey("It\xE2\x80\x99S"), "it's");
    EXPECT_EQ(platform::nl::lowercased("\xC3\x84PFEL"), "\xC3\xA4pfel");
    EXPECT_TRUE(platform::nl::hasLetters("42 \xD9\x85"));
    EXPECT_FALSE(platform::nl::hasLetters("42 ... \xF0\x9F\x98\x80"));
}

TEST_F(LexiconTest, SharedDictionariesAnswerSeveralThreadsAtOnce) {
    const auto* spanish = platform::nl::lemmatizer("es");
    const auto* english = platform::nl::lemmatizer("en-GB");
    ASSERT_NE(spanish, nullptr);
    ASSERT_NE(english, nullptr);
    EXPECT_EQ(platform::nl::lemmatizer("es-MX"), spanish); // one dictionary per language
    EXPECT_EQ(platform::nl::lemmatizer("fr"), nullptr);

    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                wrong += spanish->lemma("corriendo", platform::nl::LexicalClass::otherWord) != "correr";
                wrong += english->lemma("geese", platform::nl::LexicalClass::noun) != "goose";
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}

} // namespace
