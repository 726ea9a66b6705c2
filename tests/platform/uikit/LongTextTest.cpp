// Texts far longer than a screen: a text view lays out only what it shows, so a file of megabytes
// opens at once, and the caret, the arrows and a touch still name the right characters across the
// pieces it is laid out in; a paragraph cut into pieces wraps as one; a letter buried under
// combining marks does not hold the screen.
#include <memory>
#include <random>

#include <cairo.h>
#include <pango/pango.h>

#include "platform/foundation/FontLock.h"
#include "platform/uikit/KeyboardInput.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/ScrollInput.h"
#include "platform/uikit/TextBlockLayout.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/uikit/TextLayoutLines.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/WorkMeter.h"

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
    // Draws the screen as the window does; the processor seconds it took (the text laid out whole
    // would take minutes of them, the blocks on screen a fraction of one).
    double drawScreen() {
        const quillora::test::WorkMeter meter;
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 390, 844);
        cairo_t* cr = cairo_create(surface);
        ScreenRenderer::draw(cr, 1);
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        return meter.processorSeconds();
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

// About `bytes` of ordinary dictated words in one paragraph, a few of them not ASCII.
std::string paragraph(std::size_t bytes) {
    static const char* const words[] = {
        "the",    "meeting", "starts",   "at",     "noon,",  "and",   "nobody",     "knows",     "which",
        "room",   "we",      "booked.",  "The",    "garden", "needs", "water",      "before",    "rain",
        "comes;", "a",       "dictated", "note",   "of",     "café",  "naïve",      "über",      "📌",
        "pages",  "is",      "long",     "enough", "to",     "fill",  "everything", "tomorrow.", "I"};
    std::minstd_rand random(23);
    std::string text;
    while (text.size() < bytes) {
        text += words[random() % std::size(words)];
        text += ' ';
    }
    text += "end.";
    return text;
}

// The lines of a text laid out whole, as a text view 390 points wide sets it: where each starts
// (UTF-16 units) and its top.
struct WholeLines {
    std::vector<std::size_t> starts;
    std::vector<double> tops;
    std::vector<double> inkRights; // where each line's letters end
    double height = 0;
    TextLayout layout;
    std::string text;

    // How far right of the left edge the caret at `offset` stands.
    double caretX(std::size_t offset) const {
        PangoRectangle at;
        pango_layout_index_to_pos(layout.get(), static_cast<int>(byteOffsetForUtf16(text, offset)), &at);
        return static_cast<double>(at.x) / PANGO_SCALE;
    }
};
WholeLines layWhole(const std::string& text, const UIFont& font,
                    NSTextAlignment alignment = NSTextAlignment::Left) {
    platform::FontLock::Guard fonts;
    TextStyle style;
    style.font = font;
    style.color = UIColor::blackColor();
    style.alignment = alignment;
    TextLayout layout = TextDrawing::layout(text, style, 390 - 2 * 5);
    WholeLines whole;
    for (GSList* l = pango_layout_get_lines_readonly(layout.get()); l; l = l->next) {
        const int start = static_cast<PangoLayoutLine*>(l->data)->start_index;
        PangoRectangle at;
        pango_layout_index_to_pos(layout.get(), start, &at);
        whole.starts.push_back(utf16Length(text.substr(0, static_cast<std::size_t>(start))));
        whole.tops.push_back(static_cast<double>(at.y) / PANGO_SCALE);
        PangoRectangle ink;
        pango_layout_line_get_extents(static_cast<PangoLayoutLine*>(l->data), &ink, nullptr);
        whole.inkRights.push_back(static_cast<double>(ink.x + ink.width) / PANGO_SCALE);
    }
    whole.height = TextLayoutLines(layout.get(), text).height();
    whole.layout = std::move(layout);
    whole.text = text;
    return whole;
}

// Down from the start of a focused text view goes line by line, the caret on each line where the
// whole text has it, End and Home reach the line's ends, and Up comes back the same way.
void expectArrowsWalkTheLines(const UITextView& view, const WholeLines& whole) {
    const std::size_t count = whole.starts.size();
    KeyboardInput::moveCaret(KeyboardMove::textStart, false);
    for (std::size_t k = 1; k < count; ++k) {
        KeyboardInput::moveCaret(KeyboardMove::down, false);
        ASSERT_EQ(view.selectedRange().location, whole.starts[k]) << "down to line " << k;
        ASSERT_NEAR(view.caretRect().minY(), 8 + whole.tops[k], 0.01) << "line " << k;
        // End stands before the blank the line wrapped at, Home at its start.
        KeyboardInput::moveCaret(KeyboardMove::lineEnd, false);
        const std::size_t end = k + 1 < count ? whole.starts[k + 1] - 1 : utf16Length(view.text());
        ASSERT_EQ(view.selectedRange().location, end) << "end of line " << k;
        KeyboardInput::moveCaret(KeyboardMove::lineStart, false);
    }
    KeyboardInput::moveCaret(KeyboardMove::down, false);
    EXPECT_EQ(view.selectedRange().location, utf16Length(view.text()));
    KeyboardInput::moveCaret(KeyboardMove::lineStart, false);
    for (std::size_t k = count - 1; k-- > 0;) {
        KeyboardInput::moveCaret(KeyboardMove::up, false);
        ASSERT_EQ(view.selectedRange().location, whole.starts[k]) << "up to line " << k;
    }
}

} // namespace

TEST_F(LongTextTest, AParagraphLongerThanAPieceWrapsAsOneWithNoShortLineWhereItIsCut) {
    // 20 KB in one paragraph: five pieces, cut inside it.
    const std::string text = paragraph(20000);
    for (const UIFont& font : {UIFont{"Courier", 12}, UIFont{"Helvetica", 17}}) {
        SCOPED_TRACE(font.fontName);
        auto view = textView(text);
        view->setFont(font);
        const WholeLines whole = layWhole(text, font);
        const std::size_t count = whole.starts.size();
        const double lineHeight = whole.tops[1] - whole.tops[0];

        // A caret put where the text is cut into pieces, before anything around it was shown,
        // stands where the whole text has it: at a line's start or after its last word.
        view->setSelectedRange({0, 0});
        const double left = view->caretRect().minX();
        for (std::size_t near : {4096u, 8192u, 12288u, 16384u}) {
            const auto line =
                static_cast<std::size_t>(std::lower_bound(whole.starts.begin(), whole.starts.end(),
                                                          utf16Length(text.substr(0, near))) -
                                         whole.starts.begin());
            for (std::size_t k : {line - 1, line, line + 1})
                for (std::size_t offset : {whole.starts[k] - 1, whole.starts[k]}) {
                    view->setText(text);
                    view->setSelectedRange({offset, 0});
                    EXPECT_NEAR(view->caretRect().minX(), left + whole.caretX(offset), 0.01)
                        << "at " << offset;
                }
        }

        // Scrolled a screenful at a time, each line is where the whole paragraph has it: a touch at
        // its left edge puts the caret at its start. Every line is met, once, in order.
        std::vector<std::size_t> touched;
        do {
            drawScreen();
            const double top = view->contentOffset().y, bottom = top + view->bounds().height();
            for (std::size_t k = touched.size(); k < count && 8 + whole.tops[k] + lineHeight <= bottom; ++k) {
                if (8 + whole.tops[k] < top) continue;
                touched.push_back(view->offsetAtPoint({6, 8 + whole.tops[k] + lineHeight / 2}));
            }
        } while (ScrollInput::scroll({195, 300}, 0, 300, false));
        EXPECT_EQ(touched, whole.starts);
        EXPECT_NEAR(view->contentSize().height, whole.height + 16, 0.01) << "once all of it was shown";

        ASSERT_TRUE(view->becomeFirstResponder());
        expectArrowsWalkTheLines(*view, whole);
        view->removeFromSuperview();
    }
}

TEST_F(LongTextTest, AJustifiedParagraphCutIntoPiecesReachesTheMarginOnEveryLineButItsLast) {
    const std::string text = paragraph(20000);
    const UIFont font{"Helvetica", 17};
    root->view()->setBackgroundColor(UIColor::whiteColor());
    auto view = textView(text);
    view->setFont(font);
    view->setTextAlignment(NSTextAlignment::Justified);
    const WholeLines whole = layWhole(text, font, NSTextAlignment::Justified);
    const double lineHeight = whole.tops[1] - whole.tops[0];
    // Screenful by screenful, where the letters of each line drawn end: where they end in the
    // whole paragraph justified, at the right margin but for its last line.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 390, 844);
    std::size_t next = 0;
    do {
        cairo_t* cr = cairo_create(surface);
        ScreenRenderer::draw(cr, 1);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const double top = view->contentOffset().y;
        for (; next < whole.starts.size() && 8 + whole.tops[next] + lineHeight <= top + 400; ++next) {
            if (8 + whole.tops[next] < top) continue;
            const auto row = static_cast<int>(100 + 8 + whole.tops[next] - top);
            int right = -1;
            for (int y = row; y < row + static_cast<int>(lineHeight); ++y)
                for (int x = 389; x > right; --x) {
                    const unsigned char* pixel = data + y * stride + x * 4;
                    if (std::min({pixel[0], pixel[1], pixel[2]}) < 160) {
                        right = x;
                        break;
                    }
                }
            EXPECT_NEAR(right, 5 + whole.inkRights[next] - 1, 1.5) << "line " << next;
        }
    } while (ScrollInput::scroll({195, 300}, 0, 300, false));
    EXPECT_EQ(next, whole.starts.size());
    cairo_surface_destroy(surface);
}

TEST_F(LongTextTest, TypingAndDeletingWhereAParagraphIsCutChangeOnlyWhatWasTyped) {
    std::string text = paragraph(20000);
    const UIFont font{"Courier", 12};
    auto view = textView(text);
    ASSERT_TRUE(view->becomeFirstResponder());
    // At the line starts around where the pieces are cut, a word typed, then the blank before
    // the line deleted, which joins its first word to the line above.
    for (std::size_t near : {4096u, 8192u, 12288u}) {
        const WholeLines before = layWhole(text, font);
        const auto line = static_cast<std::size_t>(
            std::lower_bound(before.starts.begin(), before.starts.end(), utf16Length(text.substr(0, near))) -
            before.starts.begin());
        for (std::size_t k : {line - 1, line, line + 1}) {
            const WholeLines whole = layWhole(text, font);
            KeyboardInput::moveCaret(KeyboardMove::textStart, false);
            for (std::size_t i = 0; i < k; ++i)
                KeyboardInput::moveCaret(KeyboardMove::down, false);
            const std::size_t at = caret(*view);
            ASSERT_EQ(at, whole.starts[k]);
            const std::size_t byte = byteOffsetForUtf16(text, at);
            ASSERT_TRUE(KeyboardInput::insertText("spoken "));
            text.insert(byte, "spoken ");
            ASSERT_TRUE(view->text() == text) << "typed at line " << k;
            EXPECT_EQ(caret(*view), at + 7);
            KeyboardInput::moveCaret(KeyboardMove::lineStart, false);
            const WholeLines typed = layWhole(text, font);
            const std::size_t start =
                *std::prev(std::upper_bound(typed.starts.begin(), typed.starts.end(), at + 7));
            ASSERT_EQ(caret(*view), start);
            ASSERT_TRUE(KeyboardInput::deleteBackward());
            text.erase(byteOffsetForUtf16(text, start) - 1, 1);
            ASSERT_TRUE(view->text() == text) << "deleted at line " << k;
        }
        expectArrowsWalkTheLines(*view, layWhole(text, font));
    }
}

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
