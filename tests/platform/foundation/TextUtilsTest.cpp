#include "platform/foundation/TextUtils.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(TextUtilsTest, FindAllIgnoresCaseAndReportsByteRanges) {
    std::string text = "Comma, COMMA and comma. Ça va, ÇA VA";
    auto ranges = findAllCaseInsensitive(text, "comma");
    ASSERT_EQ(ranges.size(), 3u);
    EXPECT_EQ(ranges[0], (TextRange{0, 5}));
    EXPECT_EQ(text.substr(ranges[1].location, ranges[1].length), "COMMA");
    // Multi-byte letters: ranges are in bytes of the original text.
    auto ca = findAllCaseInsensitive(text, "ça va");
    ASSERT_EQ(ca.size(), 2u);
    EXPECT_EQ(text.substr(ca[1].location, ca[1].length), "ÇA VA");
    // Non-overlapping, left to right.
    EXPECT_EQ(findAllCaseInsensitive("aaaa", "aa").size(), 2u);
    EXPECT_TRUE(findAllCaseInsensitive("abc", "").empty());
    EXPECT_TRUE(findAllCaseInsensitive("ab", "abc").empty());
    // "e" is not the first half of "e" + combining acute.
    EXPECT_TRUE(findAllCaseInsensitive("cafe\xCC\x81", "cafe").empty());
    EXPECT_EQ(findAllCaseInsensitive("cafe\xCC\x81!", "CAFE\xCC\x81").size(), 1u);
    // Emoji outside the basic plane keep byte offsets right after them.
    auto after = findAllCaseInsensitive("🎙️ New Line", "new line");
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].location, std::string("🎙️ ").size());
    // Invalid bytes neither crash nor match.
    EXPECT_EQ(findAllCaseInsensitive("a\xFF"
                                     "b AB",
                                     "ab")
                  .size(),
              1u);
    EXPECT_TRUE(findAllCaseInsensitive("x\xFFy", "\xFE").empty());
}

TEST(TextUtilsTest, ReplaceAllIgnoresCase) {
    EXPECT_EQ(replaceAllCaseInsensitive("hello Comma world COMMA", "comma", ","), "hello , world ,");
    EXPECT_EQ(replaceAllCaseInsensitive("new line here", "NEW LINE", "\n"), "\n here");
    EXPECT_EQ(replaceAllCaseInsensitive("nothing", "x", "y"), "nothing");
    EXPECT_EQ(replaceAllCaseInsensitive("ÁRBOL y árbol", "árbol", "tree"), "tree y tree");
    // A replacement that contains the term is not replaced again.
    EXPECT_EQ(replaceAllCaseInsensitive("period", "period", "period."), "period.");
}

TEST(TextUtilsTest, NormalisationAndLowercasing) {
    std::string composed = "caf\xC3\xA9";    // é as one code point
    std::string decomposed = "cafe\xCC\x81"; // e + combining acute
    EXPECT_NE(composed, decomposed);
    EXPECT_EQ(normalizedNFC(decomposed), composed);
    EXPECT_TRUE(canonicallyEquivalent(composed, decomposed));
    EXPECT_FALSE(canonicallyEquivalent("cafe", composed));
    EXPECT_EQ(lowercased("ÉCOLE Straße ΣΑΣ"), "école straße σας");
    EXPECT_EQ(lowercased("I", "tr"), "ı");
}

TEST(TextUtilsTest, Utf8CheckAcceptsWellFormedTextOnly) {
    for (const std::string& good :
         {std::string(), std::string("plain"), std::string("café ✏️ 📌 #️⃣"),
          std::string("\xF4\x8F\xBF\xBF"), std::string("a\0b", 3)})
        EXPECT_TRUE(isValidUTF8(good)) << good;
    for (const std::string& bad :
         {std::string("caf\xE9"), std::string("\xC0\xAF"), std::string("\xE0\x80\xAF"),
          std::string("\xED\xA0\x80"), std::string("\xF4\x90\x80\x80"), std::string("\x80"),
          std::string("\xE2\x9C"), std::string("\xF0\x9F\x93")})
        EXPECT_FALSE(isValidUTF8(bad)) << ::testing::PrintToString(bad);
}
