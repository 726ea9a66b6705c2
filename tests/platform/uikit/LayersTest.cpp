// Layers of their own under a view's layer, the replicator's copies as drawn, and scrolling a text
// view to a range.

#include <cairo.h>

#include "platform/uikit/CALayer.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIView.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

namespace {

class LayersTest : public quillora::test::PlatformTest {};

struct Surface {
    cairo_surface_t* surface;
    explicit Surface(int w, int h) : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)) {}
    ~Surface() { cairo_surface_destroy(surface); }
    // The pixel as 0xAARRGGBB (premultiplied).
    std::uint32_t at(int x, int y) {
        cairo_surface_flush(surface);
        auto* data = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        return reinterpret_cast<std::uint32_t*>(data + y * stride)[x];
    }
};

void render(Surface& s, const UIView& view) {
    cairo_t* cr = cairo_create(s.surface);
    ScreenRenderer::drawView(cr, view);
    cairo_destroy(cr);
}

constexpr std::uint32_t kRed = 0xffff0000, kWhite = 0xffffffff;

TEST_F(LayersTest, SublayersKeepTheirOrderAndAReplicatorDrawsEachCopyOneStepFurther) {
    auto replicator = std::make_shared<CAReplicatorLayer>();
    auto dot = std::make_shared<CALayer>();
    replicator->addSublayer(dot);
    auto other = std::make_shared<CALayer>();
    replicator->addSublayer(other);
    replicator->addSublayer(dot);
    ASSERT_EQ(replicator->sublayers().size(), 2u);
    EXPECT_EQ(replicator->sublayers().back(), dot) << "added again, it moves to the top";
    replicator->addSublayer(nullptr);
    EXPECT_EQ(replicator->sublayers().size(), 2u);

    // A row of dots from the right edge leftwards, as a listening indicator draws them.
    auto view = std::make_shared<UIView>(CGRect(0, 0, 100, 40));
    view->setBackgroundColor(UIColor::whiteColor());
    auto row = std::make_shared<CAReplicatorLayer>();
    row->frame = view->bounds();
    auto one = std::make_shared<CALayer>();
    one->frame = {90, 10, 6, 6};
    one->backgroundColor = UIColor::colorWithRed_green_blue_alpha(1, 0, 0, 1);
    row->addSublayer(one);
    row->instanceCount = static_cast<long>(100 * 0.125);
    row->instanceTransform = CATransform3DMakeTranslation(-8, 0, 0);
    row->instanceDelay = 0.02;
    view->layer().addSublayer(row);

    Surface s(100, 40);
    render(s, *view);
    for (int copy = 0; copy < 12; ++copy) {
        SCOPED_TRACE(copy);
        EXPECT_EQ(s.at(90 - 8 * copy + 3, 13), kRed);
        EXPECT_EQ(s.at(90 - 8 * copy + 7, 13), kWhite) << "the gap between two dots";
    }
    EXPECT_EQ(s.at(1, 13), kWhite) << "a 13th copy would stand at x -6";
    EXPECT_EQ(s.at(93, 30), kWhite);

    // Hidden, the row draws nothing; a copy count of 0 neither.
    row->hidden = true;
    Surface hidden(100, 40);
    render(hidden, *view);
    EXPECT_EQ(hidden.at(93, 13), kWhite);
    row->hidden = false;
    row->instanceCount = 0;
    Surface none(100, 40);
    render(none, *view);
    EXPECT_EQ(none.at(93, 13), kWhite);

    // A layer above the subviews added before it.
    row->instanceCount = 1;
    auto cover = std::make_shared<UIView>(CGRect(80, 0, 20, 40));
    cover->setBackgroundColor(UIColor::whiteColor());
    view->addSubview(cover);
    Surface above(100, 40);
    render(above, *view);
    EXPECT_EQ(above.at(93, 13), kRed);
}

TEST_F(LayersTest, ScrollingToARangeMovesTheTextOnlyAsFarAsNeeded) {
    auto text = std::make_shared<UITextView>(CGRect(0, 0, 200, 100));
    text->setFont(UIFont::fontWithName_size("Courier", 20));
    std::string lines;
    for (int i = 0; i < 30; ++i)
        lines += "line " + std::to_string(i) + "\n";
    text->setText(lines);
    text->scrollRangeToVisible({0, 4});
    EXPECT_EQ(text->contentOffset().y, 0) << "the first line shows already";

    const std::size_t end = utf16Length(lines);
    text->scrollRangeToVisible({end, 0});
    const CGFloat bottom = text->contentOffset().y;
    EXPECT_GT(bottom, 500) << "thirty lines of 20 points, less the view's height";
    text->scrollRangeToVisible({end + 50, 3});
    EXPECT_EQ(text->contentOffset().y, bottom) << "past the end stands for the end";

    // Back up to a middle line: only as far as its top.
    const std::size_t middle = lines.find("line 10");
    text->scrollRangeToVisible({middle, 7});
    const CGFloat offset = text->contentOffset().y;
    EXPECT_LT(offset, bottom);
    EXPECT_GT(offset, 150);
    text->scrollRangeToVisible({middle, 7});
    EXPECT_EQ(text->contentOffset().y, offset) << "a visible range moves nothing";
    EXPECT_EQ(text->bounds().minY(), offset) << "the drawing scrolls by the bounds' origin";
    EXPECT_EQ(text->frame(), CGRect(0, 0, 200, 100));
}

} // namespace
