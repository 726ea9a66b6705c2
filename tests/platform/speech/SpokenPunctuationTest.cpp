#include "platform/speech/SpokenPunctuation.h"
#include "platform/speech/SFSpeechRecognitionResult.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {
SFTranscription written(const std::string& spoken) {
    return SFTranscription::joining(
        formatSpokenCommands(SFTranscription::verbatim(spoken, 0.5, 0.8f).segments()));
}
} // namespace

TEST(SpokenPunctuationTest, CommandsBecomeMarksAndSentencesStartWithCapitals) {
    EXPECT_EQ(written("hello comma world full stop how are you question mark fine period").formattedString(),
              "Hello, world. How are you? Fine.");
    EXPECT_EQ(written("dear sam colon new line thanks exclamation mark new paragraph bye semicolon ok")
                  .formattedString(),
              "Dear sam:\nthanks!\n\nBye; ok");
    EXPECT_EQ(written("tag hashtag sign one centre dot two").formattedString(), "Tag # one · two");
    EXPECT_EQ(written("").formattedString(), "");
    // Words that merely resemble a command stay words.
    EXPECT_EQ(written("a full house and a new car").formattedString(), "A full house and a new car");
}

TEST(SpokenPunctuationTest, SegmentsCoverTheWrittenTextWithTheirTimes) {
    auto t = written("go comma question mark");
    ASSERT_EQ(t.segments().size(), 3u);
    EXPECT_EQ(t.segments()[0].substring(), "Go");
    EXPECT_EQ(t.segments()[2].substring(), "?");
    EXPECT_DOUBLE_EQ(t.segments()[2].timestamp(), 1.0);
    EXPECT_DOUBLE_EQ(t.segments()[2].duration(), 1.0) << "a two-word command spans both words";
    for (const auto& s : t.segments())
        EXPECT_EQ(t.formattedString().substr(s.substringRange().location, s.substringRange().length),
                  s.substring());
    const std::string printed = description(t.segments());
    EXPECT_NE(printed.find("substring=Go"), std::string::npos);
    EXPECT_NE(printed.find("substring=?"), std::string::npos);
}
