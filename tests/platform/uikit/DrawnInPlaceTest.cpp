// What is drawn stays where it belongs and shows what it should: a label's text inside its bounds,
// a long text scrolled to its end still on its end when text is added there, no text under a
// control standing over a text view's foot, the first touch on a long text putting the caret
// under the finger, a table's editing controls, and a view zooming in from nothing.
#include <memory>
#include <string>

#include <cairo.h>

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/platform/uikit/DrawnScreenTest.h"

using namespace platform;

namespace {

class DrawnInPlaceTest : public quillora::test::DrawnScreenTest {
protected:
    // Whether anything but white is drawn in the rectangle (pixels of the scale-1 picture).
    bool inked(const CGRect& r) const {
        for (int y = std::max(0, int(r.minY())); y < std::min(844, int(r.maxY())); ++y)
            for (int x = std::max(0, int(r.minX())); x < std::min(390, int(r.maxX())); ++x)
                if (rgb(x, y) != 0xffffff) return true;
        return false;
    }
};

// 64 short paragraphs of two lines each, more than one piece of layout.
std::string paragraphs() {
    std::string text;
    for (int i = 1; i <= 64; ++i)
        text += (i > 1 ? "\n" : "") + std::string("P") + std::to_string(i) +
                " a short paragraph of the entry, with a few more words in it.";
    return text;
}

TEST_F(DrawnInPlaceTest, ALabelDrawsOnlyTheLinesThatFitItsBoundsEndingInAnEllipsis) {
    struct Case {
        const char* text;
        long lines;
        CGFloat height;
    } cases[] = {
        {"First line\nsecond line\nthird line\nfourth line\nfifth line", 1, 20},
        {"First line\nsecond line\nthird line\nfourth line\nfifth line", 0, 20},
        {"First line\nsecond line\nthird line\nfourth line\nfifth line", 2, 60},
        {"A single line far too long for the width of its label, so it wraps on and on", 0, 42},
    };
    std::shared_ptr<UILabel> label;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        if (label) label->removeFromSuperview();
        label = std::make_shared<UILabel>(CGRect{40, 300, 200, c.height});
        label->setText(c.text);
        label->setNumberOfLines(c.lines);
        root->view()->addSubview(label);
        render();
        EXPECT_TRUE(inked(label->frame()));
        EXPECT_FALSE(inked({0, 0, 390, 298})) << "drawn above the label";
        EXPECT_FALSE(inked({0, label->frame().maxY() + 2, 390, 400})) << "drawn below the label";
    }
    // A one-line title holding line breaks measures one line, as it is drawn.
    TextStyle one;
    one.numberOfLines = 1;
    EXPECT_EQ(TextDrawing::measure("one\ntwo\nthree", one, 200).height,
              TextDrawing::measure("one", one, 200).height);
}

TEST_F(DrawnInPlaceTest, ALongTextScrolledToItsEndStaysOnItsEndWhenTextIsAddedThere) {
    auto view = std::make_shared<UITextView>(CGRect{5, 100, 380, 654});
    view->setFont(UIFont::fontWithName_size("Courier", 20));
    view->setText(paragraphs());
    root->view()->addSubview(view);
    render();
    // Scrolled to the end in one go, as the wheel does.
    view->setContentOffset({0, view->contentSize().height - view->visibleHeight()});
    render();
    for (const std::string symbol : {"📒", "📎"}) {
        view->setText(view->text() + symbol);
        render();
        const CGRect caret = view->caretRect();
        const CGFloat top = view->contentOffset().y;
        EXPECT_GE(caret.minY(), top) << "the end of the text is above the view";
        EXPECT_LE(caret.maxY(), top + view->visibleHeight()) << "the end of the text is below the view";
        EXPECT_TRUE(inked({10, 600, 370, 150})) << "the foot of the text is blank";
    }
    // A text set shorter than where the view stood is shown from its end, not as a blank view.
    view->setText("Short.");
    EXPECT_EQ(view->contentOffset().y, 0);
    // Scrolled partway, the view keeps its place when text is added at the end.
    view->setText(paragraphs());
    view->setContentOffset({0, 300});
    view->setText(view->text() + "📌");
    EXPECT_EQ(view->contentOffset().y, 300);
}

TEST_F(DrawnInPlaceTest, NoTextIsDrawnInATextViewsFootBandAndItsEndScrollsAboveIt) {
    auto view = std::make_shared<UITextView>(CGRect{5, 100, 380, 654});
    view->setFont(UIFont::fontWithName_size("Courier", 20));
    view->setText(paragraphs());
    view->setFootBand(40);
    root->view()->addSubview(view);
    for (CGFloat offset : {0.0, 500.0, 1e6}) {
        SCOPED_TRACE(offset);
        view->setContentOffset(
            {0, std::min<CGFloat>(offset, view->contentSize().height - view->visibleHeight())});
        render();
        EXPECT_TRUE(inked({10, 110, 370, 100}));
        EXPECT_FALSE(inked({10, 716, 370, 36})) << "text drawn in the band";
    }
    const CGRect caret = view->caretRect();
    EXPECT_LE(caret.maxY(), view->contentOffset().y + 654 - 40) << "the end stands under the band";
}

// The screens scroll the text to its selection when the keyboard comes, as the recipe text does.
class ScrollsToSelection : public NSObject {};

TEST_F(DrawnInPlaceTest, TheFirstTouchOnALongTextPutsTheCaretUnderTheFingerAndKeepsThatPlaceInView) {
    auto view = std::make_shared<UITextView>(CGRect{16, 100, 358, 700});
    view->setFont(UIFont::fontWithName_size("Courier", 16));
    view->setText(paragraphs());
    root->view()->addSubview(view);
    auto observer = std::make_shared<ScrollsToSelection>();
    std::weak_ptr<UITextView> weak = view;
    NSNotificationCenter::defaultCenter().addObserver(observer, UIKeyboardWillShowNotification,
                                                      [weak](const NSNotification&) {
                                                          if (auto v = weak.lock())
                                                              v->scrollRangeToVisible(v->selectedRange());
                                                      });
    const std::size_t third = view->text().find("P3 ");
    // The first line of the third paragraph (two lines a paragraph, a line ~19 points).
    const CGPoint p{60, 100 + 8 + 4.5 * TextDrawing::lineHeight(*UIFont::fontWithName_size("Courier", 16))};
    tap(p);
    ASSERT_TRUE(view->isFirstResponder());
    EXPECT_EQ(view->contentOffset().y, 0) << "the text scrolled away from the touch";
    const std::size_t caret = view->selectedRange().location;
    EXPECT_GE(caret, third);
    EXPECT_LT(caret, view->text().find("P4 "));
}

namespace {
class Rows : public NSObject, public UITableViewDataSource, public UITableViewDelegate {
public:
    std::vector<std::string> rows{"row 0", "row 1", "row 2"};
    long tableView_numberOfRowsInSection(UITableView&, long) override {
        return static_cast<long>(rows.size());
    }
    std::shared_ptr<UITableViewCell> tableView_cellForRowAtIndexPath(UITableView& t,
                                                                     const NSIndexPath& p) override {
        auto cell = t.dequeueReusableCellWithIdentifier_forIndexPath("row", p);
        cell->textLabel()->setText(rows[static_cast<std::size_t>(p.row)]);
        return cell;
    }
    void tableView_commitEditingStyle_forRowAtIndexPath(UITableView& t, UITableViewCellEditingStyle,
                                                        const NSIndexPath& p) override {
        rows.erase(rows.begin() + p.row);
        t.deleteRowsAtIndexPaths_withRowAnimation({p}, UITableViewRowAnimation::Fade);
    }
};
} // namespace

TEST_F(DrawnInPlaceTest, InEditingModeARowShowsItsDeleteControlWhichAsksAndDeletes) {
    auto rows = std::make_shared<Rows>();
    auto table = std::make_shared<UITableView>(CGRect{0, 100, 390, 600});
    table->registerCellStyle_forCellReuseIdentifier(UITableViewCellStyle::Subtitle, "row");
    table->setDataSource(rows);
    table->setDelegate(rows);
    root->view()->addSubview(table);
    table->setEditing_animated(true, false);
    render();
    const auto control = table->editingControlRect({0, 1});
    ASSERT_TRUE(control);
    const CGPoint middle{control->midX(), 100 + control->midY()};
    const std::uint32_t red = rgb(int(middle.x), int(middle.y - 6));
    EXPECT_GT((red >> 16) & 0xff, 200u) << "no red control at the row's left edge";
    EXPECT_LT((red >> 8) & 0xff, 100u);

    // A touch on the row elsewhere does nothing; on the control it asks; on Delete it deletes.
    tap({200, 100 + 44 * 1.5});
    EXPECT_FALSE(table->swipedRow());
    tap(middle);
    ASSERT_EQ(table->swipedRow(), (NSIndexPath{0, 1}));
    const auto buttons = table->swipeActionRects();
    ASSERT_EQ(buttons.size(), 1u);
    tap({buttons[0].midX(), 100 + buttons[0].midY()});
    EXPECT_EQ(rows->rows, (std::vector<std::string>{"row 0", "row 2"}));
}

TEST_F(DrawnInPlaceTest, AViewZoomingInFromNothingLeavesTheFrameDrawable) {
    auto button = UIButton::buttonWithType(UIButtonType::System);
    button->setFrame({100, 100, 120, 44});
    button->setTitle_forState("Edit ✏️", UIControlStates::Normal);
    root->view()->addSubview(button);
    for (CGFloat scale : {0.0, 1e-9, 1e-6, 1e-4, 1e-3}) {
        SCOPED_TRACE(scale);
        button->setTransform(CGAffineTransformMakeScale(scale, scale));
        // The window draws into a recording of the frame, as GTK's drawing area does.
        cairo_rectangle_t extents{0, 0, 390, 844};
        cairo_surface_t* recording = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
        cairo_t* cr = cairo_create(recording);
        ScreenRenderer::draw(cr, 1);
        EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS) << cairo_status_to_string(cairo_status(cr));
        cairo_destroy(cr);
        EXPECT_EQ(cairo_surface_status(recording), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(recording);
    }
}

} // namespace
