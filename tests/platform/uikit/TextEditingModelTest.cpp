// The one editing model behind every text a person types into: whole characters, a fixed anchor,
// words, lines and the history of edits.
#include <gtest/gtest.h>

#include "platform/uikit/TextEditingModel.h"

using namespace platform;

namespace {

TextEditingModel withText(const std::string& text) {
    TextEditingModel model;
    model.setText(text);
    return model;
}

void press(TextEditingModel& model, TextMove move, int times, bool extend = false) {
    for (int i = 0; i < times; ++i)
        model.move(move, extend);
}

} // namespace

TEST(TextEditingModelTest, TheCaretAndDeletionTakeWholeCharactersEmojiWithModifiersIncluded) {
    // A thumb with a skin tone (two code points, four UTF-16 units), a family joined by zero-width
    // joiners (eight units), a flag (four) and an e with a combining accent (two).
    const std::string thumb = "👍🏽", family = "👨‍👩‍👧", flag = "🇫🇷", accented = "e\u0301";
    auto model = withText("a" + thumb + family + flag + accented);
    EXPECT_EQ(model.length(), 1u + 4 + 8 + 4 + 2);

    model.move(TextMove::textStart, false);
    std::vector<std::size_t> stops;
    for (int i = 0; i < 6; ++i) {
        model.move(TextMove::characterForward, false);
        stops.push_back(model.caret());
    }
    EXPECT_EQ(stops, (std::vector<std::size_t>{1, 5, 13, 17, 19, 19}));

    // Backspace and Delete take one whole character; the history gives each back.
    EXPECT_EQ(model.rangeToDelete(false).location, 17u);
    EXPECT_EQ(model.rangeToDelete(false).length, 2u);
    model.replace(model.rangeToDelete(false), "", TextEditKind::deletion);
    model.replace(model.rangeToDelete(false), "", TextEditKind::deletion);
    EXPECT_EQ(model.text(), "a" + thumb + family);
    model.select(1, 1);
    model.replace(model.rangeToDelete(true), "", TextEditKind::deletion);
    EXPECT_EQ(model.text(), "a" + family);
    EXPECT_EQ(model.rangeToDelete(false).length, 1u) << "before the caret stands the a";

    // A range that cuts a character in two is widened to whole ones.
    model = withText(thumb + "b");
    model.setSelectedRange({1, 1});
    EXPECT_EQ(model.selectedRange().location, 0u);
    EXPECT_EQ(model.selectedText(), thumb);
}

TEST(TextEditingModelTest, ShiftExtendsFromAFixedAnchorAndPlainArrowsCollapseToTheirSide) {
    auto model = withText("hello world");
    model.select(5, 5);
    // Growing to the right, then back past the anchor: the selection shrinks, then grows left.
    press(model, TextMove::characterForward, 3, true);
    EXPECT_EQ(model.selectedText(), " wo");
    press(model, TextMove::characterBackward, 5, true);
    EXPECT_EQ(model.anchor(), 5u);
    EXPECT_EQ(model.selectedText(), "lo");
    // Each press moves the caret end only: the selection never collapses on the way.
    std::vector<std::string> seen;
    for (int i = 0; i < 4; ++i) {
        model.move(TextMove::characterForward, true);
        seen.push_back(model.selectedText());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"o", "", " ", " w"}));

    // A plain arrow collapses to the side it points to; Shift+Home/End reach the line's ends.
    model.move(TextMove::characterBackward, false);
    EXPECT_EQ(model.selectedRange().location, 5u);
    EXPECT_EQ(model.selectedRange().length, 0u);
    model.move(TextMove::lineEnd, true);
    EXPECT_EQ(model.selectedText(), " world");
    model.move(TextMove::lineStart, true);
    EXPECT_EQ(model.selectedText(), "hello");
    EXPECT_EQ(model.caret(), 0u);
}

TEST(TextEditingModelTest, WordsLinesAndTheTextsEnds) {
    auto model = withText("one, two three\nab\nlonger third line");
    model.select(0, 0);
    model.move(TextMove::wordForward, false);
    EXPECT_EQ(model.caret(), 3u) << "the end of the first word";
    model.move(TextMove::wordForward, false);
    EXPECT_EQ(model.caret(), 8u) << "punctuation and blanks are passed over";
    model.move(TextMove::wordBackward, false);
    EXPECT_EQ(model.caret(), 5u);
    model.move(TextMove::wordBackward, true);
    EXPECT_EQ(model.selectedText(), "one, ");

    // Up and down keep the column the caret had, across a shorter line in between.
    model.select(12, 12);
    model.move(TextMove::lineDown, false);
    EXPECT_EQ(model.caret(), 17u) << "the end of the short line";
    model.move(TextMove::lineDown, false);
    EXPECT_EQ(model.caret(), 18u + 12) << "back in column 12";
    model.move(TextMove::lineDown, false);
    EXPECT_EQ(model.caret(), model.length()) << "down on the last line goes to its end";
    model.move(TextMove::textStart, true);
    EXPECT_EQ(model.selectedRange().length, model.length());

    // A double click's word, and the blank between words when it falls there.
    model.selectWordAt(10);
    EXPECT_EQ(model.selectedText(), "three");
    model.selectWordAt(8);
    EXPECT_EQ(model.selectedText(), "two") << "at a word's end the word is taken";
    model.selectAll();
    EXPECT_EQ(model.selectedText(), model.text());
}

TEST(TextEditingModelTest, TypingReplacesTheSelectionAndUndoRestoresTextAndSelection) {
    auto model = withText("fix the misheard word");
    // Five characters selected and a word typed over them, letter by letter.
    model.select(8, 8);
    press(model, TextMove::characterForward, 5, true);
    ASSERT_EQ(model.selectedText(), "mishe");
    for (const char* letter : {"p", "r", "o"})
        model.replace(model.selectedRange(), letter);
    EXPECT_EQ(model.text(), "fix the proard word");
    EXPECT_EQ(model.caret(), 11u);

    // The typing is one step: undo brings the five characters back, selected as they were.
    ASSERT_TRUE(model.undoChange());
    EXPECT_EQ(model.undoChange()->range.location, 8u);
    EXPECT_EQ(model.undoChange()->range.length, 3u);
    EXPECT_EQ(model.undoChange()->replacement, "mishe");
    EXPECT_TRUE(model.undo());
    EXPECT_EQ(model.text(), "fix the misheard word");
    EXPECT_EQ(model.selectedText(), "mishe");
    EXPECT_FALSE(model.undo()) << "nothing more to undo";
    EXPECT_TRUE(model.redo());
    EXPECT_EQ(model.text(), "fix the proard word");
    EXPECT_FALSE(model.redo());

    // A move ends a step: what is typed after it is undone on its own; an edit forgets the redo.
    model.move(TextMove::textEnd, false);
    model.replace(model.selectedRange(), "s");
    model.move(TextMove::textStart, false);
    model.replace(model.selectedRange(), "I ");
    EXPECT_TRUE(model.undo());
    EXPECT_EQ(model.text(), "fix the proard words");
    EXPECT_TRUE(model.undo());
    EXPECT_EQ(model.text(), "fix the proard word");
    model.replace(model.selectedRange(), "!");
    EXPECT_FALSE(model.redoChange());

    // Text set from code starts a fresh history, the caret at its end.
    model.setText("new");
    EXPECT_FALSE(model.undoChange());
    EXPECT_EQ(model.caret(), 3u);
}
