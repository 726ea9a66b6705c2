// Attributed text drawn with its paragraph style: line height multiple, space between paragraphs
// and alignment, read back from the pixels, and a finger's touch landing on the letter drawn.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <cairo.h>

#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/platform/uikit/DrawnScreenTest.h"

using namespace platform;

namespace {

constexpr double kScale = 2;

struct InkRows {
    double top, bottom; // screen points
};

class ParagraphStyleTest : public quillora::test::DrawnScreenTest {
protected:
    std::shared_ptr<UITextView> textView(const CGRect& frame, const std::string& text,
                                         NSParagraphStyle style) {
        auto view = std::make_shared<UITextView>(frame);
        root->view()->addSubview(view);
        NSAttributedString attributed;
        attributed.string = text;
        attributed.paragraphStyle = style;
        view->setAttributedText(attributed);
        return view;
    }

    void render() { DrawnScreenTest::render(kScale); }
    bool ink(int x, int y) const { return ((rgb(x, y) >> 8) & 0xff) < 160; }
    // The bands of rows holding dark pixels inside `area` (screen points), top to bottom.
    std::vector<InkRows> inkRows(const CGRect& area) const {
        std::vector<InkRows> out;
        bool inside = false;
        for (int y = static_cast<int>(area.minY() * kScale); y < static_cast<int>(area.maxY() * kScale);
             ++y) {
            bool any = false;
            for (int x = static_cast<int>(area.minX() * kScale);
                 x < static_cast<int>(area.maxX() * kScale) && !any; ++x)
                any = ink(x, y);
            if (any && !inside) out.push_back({y / kScale, 0});
            if (any) out.back().bottom = (y + 1) / kScale;
            inside = any;
        }
        return out;
    }
    // The columns holding dark pixels in `area`: first and last, screen points.
    std::pair<double, double> inkColumns(const CGRect& area) const {
        double left = 1e9, right = -1;
        for (int y = static_cast<int>(area.minY() * kScale); y < static_cast<int>(area.maxY() * kScale); ++y)
            for (int x = static_cast<int>(area.minX() * kScale); x < static_cast<int>(area.maxX() * kScale);
                 ++x)
                if (ink(x, y)) {
                    left = std::min(left, x / kScale);
                    right = std::max(right, (x + 1) / kScale);
                }
        return {left, right};
    }
    // The caret's rectangle on screen with the caret at `offset`.
    CGRect caretOnScreen(UITextView& view, std::size_t offset) {
        view.setSelectedRange({offset, 0});
        const CGRect caret = view.caretRect();
        const CGRect frame = view.frame();
        return {frame.minX() + caret.minX(), frame.minY() + caret.minY(), caret.width(), caret.height()};
    }
};

NSParagraphStyle recipeLike() {
    NSParagraphStyle style;
    style.lineHeightMultiple = 1.5;
    style.paragraphSpacing = 12;
    return style;
}

} // namespace

TEST_F(ParagraphStyleTest, LinesStandOneAndAHalfHighWithTwelvePointsBetweenParagraphsWhereTheCaretIs) {
    const std::string first = "First paragraph", second = "Second";
    const std::string third = "Third paragraph holds enough words to wrap onto a second line here";
    const CGRect frame{20, 100, 300, 400};
    auto view = textView(frame, first + "\n" + second + "\n" + third, recipeLike());
    const double h = TextDrawing::lineHeight(UIFont{"Helvetica", 12});
    ASSERT_GT(h, 10);

    // The lines' tops in the text: a band 1.5 lines high each, 12 points after a paragraph, the
    // letters at the bottom of their band; the third paragraph wraps without the paragraph gap.
    const double band = 1.5 * h;
    const std::vector<double> bandTops{0, band + 12, 2 * band + 24, 3 * band + 24};
    const std::vector<std::size_t> lineStarts{0, first.size() + 1, first.size() + second.size() + 2};
    for (std::size_t i = 0; i < lineStarts.size(); ++i) {
        const CGRect caret = caretOnScreen(*view, lineStarts[i]);
        EXPECT_NEAR(caret.minY(), frame.minY() + 8 + bandTops[i] + 0.5 * h, 0.01) << "line " << i;
        EXPECT_NEAR(caret.height(), h, 0.01);
    }
    const CGRect lastCaret = caretOnScreen(*view, view->text().size());
    EXPECT_NEAR(lastCaret.minY(), frame.minY() + 8 + bandTops[3] + 0.5 * h, 0.01) << "the wrapped line";
    EXPECT_NEAR(view->contentSize().height, 16 + 4 * band + 24, 0.01);

    // What is drawn lies where the caret stands: each line's letters inside its caret's height.
    render();
    const auto rows = inkRows({frame.minX(), frame.minY(), frame.width(), frame.height()});
    ASSERT_EQ(rows.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const double letters = frame.minY() + 8 + bandTops[i] + 0.5 * h;
        EXPECT_GE(rows[i].top, letters - 0.5) << "line " << i;
        EXPECT_LE(rows[i].bottom, letters + h + 0.5) << "line " << i;
    }
    EXPECT_GT(rows[1].top - rows[0].bottom, 0.5 * h + 12 - 1) << "a paragraph's gap";

    // A finger lands on the character drawn under it: the view takes the focus on the first tap.
    tap({frame.minX() + 40, frame.minY() + 40});
    ASSERT_TRUE(view->isFirstResponder());
    // On the letters of the second paragraph, at its first letter's left half.
    tap({frame.minX() + 6, frame.minY() + 8 + bandTops[1] + h});
    EXPECT_EQ(view->selectedRange().location, lineStarts[1]);
    // In the extra height above the third paragraph's letters: still that line.
    tap({frame.minX() + 6, frame.minY() + 8 + bandTops[2] + 0.2 * h});
    EXPECT_EQ(view->selectedRange().location, lineStarts[2]);
    // In the gap after the first paragraph, right of its end: the first line's end.
    tap({frame.maxX() - 10, frame.minY() + 8 + band + 6});
    EXPECT_EQ(view->selectedRange().location, first.size());
    // On the wrapped line, at its start: after the blank it wrapped at.
    tap({frame.minX() + 6, frame.minY() + 8 + bandTops[3] + h});
    const std::size_t wrapped = view->selectedRange().location;
    EXPECT_GT(wrapped, lineStarts[2] + 20);
    EXPECT_EQ(view->text()[wrapped - 1], ' ');
    EXPECT_NEAR(caretOnScreen(*view, wrapped).minY(), lastCaret.minY(), 0.01);
    // Below the text: its end.
    tap({frame.minX() + 6, frame.minY() + 8 + 4 * band + 30});
    EXPECT_EQ(view->selectedRange().location, view->text().size());

    // A new paragraph typed at the end is placed by the same style.
    ASSERT_TRUE(view->typeText("\nFourth"));
    EXPECT_NEAR(caretOnScreen(*view, view->text().size()).minY(), frame.minY() + 8 + 4 * band + 36 + 0.5 * h,
                0.01);
}

TEST_F(ParagraphStyleTest, TheParagraphAlignmentPlacesLettersCaretAndTouchesAlike) {
    NSParagraphStyle centred = recipeLike();
    centred.alignment = NSTextAlignment::Center;
    const CGRect frame{20, 100, 300, 100};
    auto view = textView(frame, "Middle", centred);
    EXPECT_EQ(view->textAlignment(), NSTextAlignment::Center);
    render();
    const CGRect area{frame.minX(), frame.minY(), frame.width(), frame.height()};
    auto [left, right] = inkColumns(area);
    EXPECT_NEAR((left + right) / 2, frame.midX(), 2) << "centred in the view";
    EXPECT_NEAR(caretOnScreen(*view, 0).midX(), left, 1.5);
    EXPECT_NEAR(caretOnScreen(*view, 6).midX(), right, 1.5);

    const double letters = frame.minY() + 8 + 0.5 * TextDrawing::lineHeight(UIFont{"Helvetica", 12}) + 6;
    tap({frame.minX() + 40, letters});
    ASSERT_TRUE(view->isFirstResponder());
    tap({left + 1, letters});
    EXPECT_EQ(view->selectedRange().location, 0u);
    tap({right - 1, letters});
    EXPECT_EQ(view->selectedRange().location, 6u);

    // Aligning the view from code aligns its paragraph style; the spacing stays.
    view->resignFirstResponder();
    view->setTextAlignment(NSTextAlignment::Right);
    ASSERT_TRUE(view->attributedText().paragraphStyle);
    EXPECT_EQ(view->attributedText().paragraphStyle->alignment, NSTextAlignment::Right);
    EXPECT_DOUBLE_EQ(view->attributedText().paragraphStyle->lineHeightMultiple, 1.5);
    render();
    std::tie(left, right) = inkColumns(area);
    EXPECT_NEAR(right, frame.maxX() - 5, 1.5) << "at the right margin";
}
