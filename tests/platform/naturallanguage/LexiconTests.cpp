#include <atomic>
#include <thread>

#include "platform/naturallanguage/LexicalModel.h"
#include "platform/naturallanguage/Tokenizer.h"
#include "platform/naturallanguage/WordNetLexicon.h"
#include "tests/support/PlatformTest.h"

namespace {

using platform::nl::WordNetLexicon;
using platform::nl::WordNetPos;

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
