#include "pdf/TemplateText.h"

#include <gtest/gtest.h>

namespace quillora {
namespace {

using Pieces = std::vector<std::string>;

TEST(SplitBodyParagraphs, FirstLineAndTheRest) {
    EXPECT_EQ(splitBodyParagraphs("one\ntwo\nthree"), (Pieces{"one", "two\nthree"}));
    EXPECT_EQ(splitBodyParagraphs("one"), (Pieces{"one"}));
    EXPECT_EQ(splitBodyParagraphs("one\n"), (Pieces{"one"}));
    // The second piece keeps its own leading breaks.
    EXPECT_EQ(splitBodyParagraphs("one\n\n"), (Pieces{"one", "\n"}));
    EXPECT_EQ(splitBodyParagraphs("one\n\ntwo"), (Pieces{"one", "\ntwo"}));
    // Breaks before the first line are skipped.
    EXPECT_EQ(splitBodyParagraphs("\n\none\ntwo"), (Pieces{"one", "two"}));
    EXPECT_EQ(splitBodyParagraphs("\none"), (Pieces{"one"}));
    EXPECT_EQ(splitBodyParagraphs(""), Pieces{});
    EXPECT_EQ(splitBodyParagraphs("\n\n"), Pieces{});
}

TEST(SplitBodyParagraphs, EveryKindOfLineBreak) {
    // A carriage return and line feed pair is one break, not an empty line.
    EXPECT_EQ(splitBodyParagraphs("one\r\ntwo\r\nthree"), (Pieces{"one", "two\r\nthree"}));
    EXPECT_EQ(splitBodyParagraphs("one\rtwo"), (Pieces{"one", "two"}));
    EXPECT_EQ(splitBodyParagraphs("one\vtwo"), (Pieces{"one", "two"}));
    EXPECT_EQ(splitBodyParagraphs("one\ftwo"), (Pieces{"one", "two"}));
    EXPECT_EQ(splitBodyParagraphs("one\xC2\x85two"), (Pieces{"one", "two"}));     // NEL
    EXPECT_EQ(splitBodyParagraphs("one\xE2\x80\xA8two"), (Pieces{"one", "two"})); // LINE SEPARATOR
    EXPECT_EQ(splitBodyParagraphs("\xE2\x80\xA9one\xE2\x80\xA9two"),
              (Pieces{"one", "two"})); // PARAGRAPH SEP.
    // Other characters that share those bytes' neighbourhood are not breaks.
    EXPECT_EQ(splitBodyParagraphs("caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x93\x8C pin"),
              (Pieces{"caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x93\x8C pin"}));
}

TEST(TemplateText, ValuesAreEscapedAndLineFeedsBecomeBreaks) {
    EXPECT_EQ(escapeHTML(R"(<b>Tom & "Jerry's"</b> #1)"),
              "&lt;b&gt;Tom &amp; &quot;Jerry&#39;s&quot;&lt;/b&gt; &#35;1");
    EXPECT_EQ(escapeHTML("plain text \xF0\x9F\x93\x8C"), "plain text \xF0\x9F\x93\x8C");

    EXPECT_EQ(htmlWithLineBreaks("one\ntwo\n"), "one.<br>two.<br>");
    // A line already ending with a full stop gets a second one before the break.
    EXPECT_EQ(htmlWithLineBreaks("Done.\nNext"), "Done..<br>Next");
    EXPECT_EQ(htmlWithLineBreaks("a<b\r\nc"), "a&lt;b\r.<br>c");
    EXPECT_EQ(htmlWithLineBreaks("one\xE2\x80\xA8two"), "one\xE2\x80\xA8two");
}

TEST(TemplateText, ReplaceAllIsLiteralAndDoesNotRescan) {
    EXPECT_EQ(replaceAll("#A# and #A#", "#A#", "x"), "x and x");
    EXPECT_EQ(replaceAll("#a#", "#A#", "x"), "#a#");
    // Inserted text is never searched again.
    EXPECT_EQ(replaceAll("#A#", "#A#", "#A##A#"), "#A##A#");
    EXPECT_EQ(replaceAll("###", "##", "-"), "-#");
    EXPECT_EQ(replaceAll("abc", "", "-"), "abc");
}

} // namespace
} // namespace quillora
