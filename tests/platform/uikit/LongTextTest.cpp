// Texts far longer than a screen: a text view lays out only what it shows, so a file of megabytes
// opens at once, and the caret, the arrows and a touch still name the right characters across the
// pieces it is laid out in; a letter buried under combining marks does not hold the screen.
#include <chrono>
#include <memory>

#include <cairo.h>

#include "platform/uikit/KeyboardInput.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/TextBlockLayout.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

namespace {

class LongTextTest : public quillora::test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        root = std::make_shared<UIViewController>();
        window = std::make_shared<UIWindow>();
        window->setRootViewController(UINavigationController::initWithRootViewController(root));
        window->makeKeyAndVisible();
    }
    std::shared_ptr<UITextView> textView(std::string text) {
        auto view = std::make_shared<UITextView>(CGRect{0, 100, 390, 400});
        view->setFont(UIFont::fontWithName_size("Courier", 12));
        view->setText(std::move(text));
        root->view()->addSubview(view);
        return view;
    }
    // Draws the screen as the window does; the seconds it took.
    double drawScreen() {
        const auto start = std::chrono::steady_clock::now();
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 390, 844);
        cairo_t* cr = cairo_create(surface);
        ScreenRenderer::draw(cr, 1);
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    std::size_t caret(const UITextView& view) { return view.selectedRange().location; }

    std::shared_ptr<UIViewController> root;
    std::shared_ptr<UIWindow> window;
};

// Numbered lines of 11 bytes: "line 00042\n".
std::string numberedLines(int count) {
    std::string text;
    char line[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, "line %05d\n", i);
        text += line;
    }
    return text;
}

} // namespace

TEST_F(LongTextTest, TheArrowsAndATouchFollowTheLinesAcrossThePiecesTheTextIsLaidOutIn) {
    // 40,000 lines, 440 KB: a hundred pieces.
    auto view = textView(numberedLines(40000));
    EXPECT_LT(drawScreen(), 5.0);
    ASSERT_TRUE(view->becomeFirstResponder());
    KeyboardInput::moveCaret(KeyboardMove::textStart, false);
    KeyboardInput::moveCaret(KeyboardMove::right, false);
    KeyboardInput::moveCaret(KeyboardMove::right, false);
    KeyboardInput::moveCaret(KeyboardMove::right, false);
    // Down across a boundary between pieces keeps the column; Up comes back across it.
    for (int i = 1; i <= 500; ++i) {
        KeyboardInput::moveCaret(KeyboardMove::down, false);
        ASSERT_EQ(caret(*view), std::size_t(i) * 11 + 3) << "down " << i;
    }
    for (int i = 499; i >= 300; --i) {
        KeyboardInput::moveCaret(KeyboardMove::up, false);
        ASSERT_EQ(caret(*view), std::size_t(i) * 11 + 3) << "up to " << i;
    }
    KeyboardInput::moveCaret(KeyboardMove::lineEnd, false);
    EXPECT_EQ(caret(*view), 300u * 11 + 10);
    // The caret was scrolled into sight and the screen drawn there; what is typed lands at it.
    EXPECT_GT(view->contentOffset().y, 0);
    EXPECT_LT(drawScreen(), 5.0);
    ASSERT_TRUE(KeyboardInput::insertText("!"));
    EXPECT_EQ(view->text().substr(300 * 11, 12), "line 00300!\n");

    // A touch on a line's letter puts the caret before it, in any piece, near the end too.
    for (std::size_t line : {3u, 372u, 373u, 20000u, 39999u}) {
        const std::size_t offset = line * 11 + (line > 300 ? 1 : 0) + 6;
        view->setSelectedRange({offset, 0});
        view->scrollRangeToVisible({offset, 0});
        const CGRect at = view->caretRect();
        EXPECT_EQ(view->offsetAtPoint({at.midX() + 2, at.midY()}), offset) << "line " << line;
    }
    // The end: Ctrl+End reaches the empty last line, the content is as tall as the lines.
    KeyboardInput::moveCaret(KeyboardMove::textEnd, false);
    EXPECT_EQ(caret(*view), view->text().size());
    const CGFloat line = view->caretRect().height();
    EXPECT_NEAR(view->contentSize().height, 40001 * line + 16, 40001 * line * 0.001);
}

TEST_F(LongTextTest, AHugeParagraphOpensAtOnceAndAPileOfMarksDoesNotHoldTheScreen) {
    // One line of 20 MB, words only: the view opens, shows its start and goes to its end.
    std::string words;
    while (words.size() < (20u << 20))
        words += "dictated words without a break ";
    auto view = textView(words);
    EXPECT_LT(drawScreen(), 5.0);
    ASSERT_TRUE(view->becomeFirstResponder());
    KeyboardInput::moveCaret(KeyboardMove::textEnd, false);
    EXPECT_LT(drawScreen(), 5.0);
    ASSERT_TRUE(KeyboardInput::insertText("."));
    EXPECT_EQ(view->text().substr(view->text().size() - 3), "k .");

    // A letter under a megabyte of accents, between two letters: one character to the arrows.
    std::string marks = "x";
    marks += 'a';
    for (int i = 0; i < 500000; ++i)
        marks += "\u0301";
    marks += "b";
    view->setText(marks);
    EXPECT_LT(drawScreen(), 5.0);
    KeyboardInput::moveCaret(KeyboardMove::textStart, false);
    KeyboardInput::moveCaret(KeyboardMove::right, false);
    KeyboardInput::moveCaret(KeyboardMove::right, false);
    EXPECT_EQ(caret(*view), 500002u);
    const CGRect afterPile = view->caretRect();
    KeyboardInput::insertText("c");
    EXPECT_EQ(view->text().substr(view->text().size() - 2), "cb");
    EXPECT_EQ(view->offsetAtPoint({afterPile.midX() + 1, afterPile.midY()}), 500002u);

    // A label given the same text draws what fits, at once.
    auto label = std::make_shared<UILabel>(CGRect{0, 600, 390, 100});
    label->setNumberOfLines(0);
    label->setText(words);
    root->view()->addSubview(label);
    EXPECT_LT(drawScreen(), 5.0);
}
