#include <memory>
#include <string>

#include "platform/swiftui/ViewHost.h"
#include "platform/swiftui/ViewLayout.h"
#include "platform/uikit/UIImage.h"
#include "tests/platform/swiftui/FixedWidthText.h"
#include "tests/support/PlatformTest.h"

using namespace platform::swiftui;
using platform::CGPoint;
using platform::CGRect;
using platform::CGSize;

namespace {

// Texts of the tests are in a 10-point font: 5 points a character, 10 a line.
Text small(const std::string& s) {
    return Text(s).font(Font::system(10));
}

// A root view that is just the view given.
struct Root {
    AnyView content;
    AnyView body() const { return content; }
};

class ViewLayoutTest : public quillora::test::PlatformTest {
protected:
    const ViewLayout& layOut(AnyView view, CGSize size, const ViewLayout::ScrollOffsets* offsets = nullptr) {
        host = ViewHost::make(Root{std::move(view)});
        layout = std::make_unique<ViewLayout>(host->tree(), size, text, ColorScheme::light, offsets);
        return *layout;
    }
    // The frame of the (first) text that reads `s`.
    CGRect textFrame(const std::string& s) const {
        const Node* n = host->tree().find([&](const Node& x) { return x.kind == "Text" && x.text() == s; });
        EXPECT_TRUE(n) << s;
        const LayoutBox* b = n ? layout->viewBox(n->path) : nullptr;
        return b ? b->frame : CGRect();
    }
    CGRect outerFrame(const std::string& kind) const {
        const Node* n = host->tree().findKind(kind);
        EXPECT_TRUE(n) << kind;
        const LayoutBox* b = n ? layout->outerBox(n->path) : nullptr;
        return b ? b->frame : CGRect();
    }

    quillora::test::FixedWidthText text;
    std::shared_ptr<ViewHost> host;
    std::unique_ptr<ViewLayout> layout;
};

} // namespace

TEST_F(ViewLayoutTest, StacksAddTheirChildrenWithSpacingAndAlignThemAcross) {
    // 20x10 and 10x10 with 4 points between: the stack is 20x24, centred in the root.
    layOut(VStack(StackOptions{Alignment::leading, 4}, {small("aaaa"), small("bb")}), {100, 100});
    EXPECT_EQ(textFrame("aaaa"), CGRect(40, 38, 20, 10));
    EXPECT_EQ(textFrame("bb"), CGRect(40, 52, 10, 10));

    layOut(VStack(StackOptions{Alignment::trailing, 4}, {small("aaaa"), small("bb")}), {100, 100});
    EXPECT_EQ(textFrame("bb"), CGRect(50, 52, 10, 10));

    // The platform's spacing when none is given, centred by default.
    layOut(VStack({small("aaaa"), small("bb")}), {100, 100});
    EXPECT_EQ(textFrame("aaaa"), CGRect(40, 36, 20, 10));
    EXPECT_EQ(textFrame("bb"), CGRect(45, 54, 10, 10));

    layOut(HStack(StackOptions{Alignment::top, 6}, {small("aa"), small("b\nb")}), {100, 100});
    EXPECT_EQ(textFrame("aa"), CGRect(39.5, 40, 10, 10)) << "aligned to the top of the taller neighbour";
    EXPECT_EQ(textFrame("b\nb"), CGRect(55.5, 40, 5, 20));

    // A ZStack is as large as its largest child and centres the others on it.
    layOut(ZStack({small("aaaaaaaa"), small("bb")}), {100, 100});
    EXPECT_EQ(textFrame("aaaaaaaa"), CGRect(30, 45, 40, 10));
    EXPECT_EQ(textFrame("bb"), CGRect(45, 45, 10, 10));
}

TEST_F(ViewLayoutTest, SpacersTakeWhatIsLeftSharedEvenlyButNeverLessThanTheirLeastLength) {
    layOut(HStack({small("aa"), Spacer(), small("cccc")}), {200, 50});
    EXPECT_EQ(textFrame("aa").minX(), 0);
    EXPECT_EQ(textFrame("cccc").maxX(), 200) << "the spacer pushes its neighbours to the edges";

    layOut(HStack({Spacer(), small("aa"), Spacer()}), {200, 50});
    EXPECT_EQ(textFrame("aa").minX(), 95) << "two spacers share evenly";

    layOut(HStack({Spacer(), Spacer(), Spacer(), small("aa")}), {200, 50});
    EXPECT_EQ(textFrame("aa").maxX(), 200);

    // A text too long for the row wraps rather than squeezing the spacer below its 8 points.
    std::string longText(60, 'x');
    layOut(HStack({small(longText), Spacer()}), {200, 100});
    EXPECT_EQ(textFrame(longText).width(), 190);
    EXPECT_EQ(textFrame(longText).height(), 20);

    // Where nothing is left to share (an open height in a scroll view) a spacer keeps its least
    // length, and no spacing is added beside it.
    layOut(ScrollView(VStack({small("top"), Spacer(), small("bottom")})), {100, 300});
    EXPECT_EQ(textFrame("bottom").minY() - textFrame("top").maxY(), 8);
}

TEST_F(ViewLayoutTest, FramesAndPaddingWrapInTheOrderApplied) {
    layOut(small("aa").frame(50, 30), {100, 100});
    EXPECT_EQ(outerFrame("Text"), CGRect(25, 35, 50, 30));
    EXPECT_EQ(textFrame("aa"), CGRect(45, 45, 10, 10)) << "centred in its frame";

    layOut(small("aa").padding(), {200, 200});
    EXPECT_EQ(outerFrame("Text").size, CGSize(42, 42)) << "the platform's padding on every edge";
    layOut(small("aa").padding(EdgeInsets{1, 2, 3, 4}), {200, 200});
    EXPECT_EQ(outerFrame("Text").size, CGSize(16, 14));

    // A background covers what it is applied to: the text alone, or the text and its padding.
    layOut(small("aa").padding(10).background(Color::red()), {200, 200});
    EXPECT_EQ(outerFrame("Color").size, CGSize(30, 30));
    layOut(small("aa").background(Color::red()).padding(10), {200, 200});
    EXPECT_EQ(outerFrame("Color").size, CGSize(10, 10));

    // Flexible frames: an infinite maximum takes the width offered, a minimum widens a small view,
    // and a maximum narrows a wide one (which then wraps).
    const double inf = std::numeric_limits<double>::infinity();
    layOut(VStack({small("aa").frame(FrameOptions{{}, {}, {}, inf, {}, {}})}), {300, 100});
    EXPECT_EQ(outerFrame("Text").width(), 300);
    layOut(small("aa").frame(FrameOptions{{}, {}, 60, {}, {}, {}}), {300, 100});
    EXPECT_EQ(outerFrame("Text").width(), 60);
    layOut(small(std::string(30, 'y')).frame(FrameOptions{{}, {}, 0, 100, {}, {}}), {300, 100});
    EXPECT_EQ(outerFrame("Text").size, CGSize(100, 20));
}

TEST_F(ViewLayoutTest, ScrollViewsShowTheirContentAtItsIdealLengthFromTheClampedOffset) {
    std::vector<AnyView> rows;
    for (int i = 0; i < 10; ++i)
        rows.push_back(small("row" + std::to_string(i)));
    AnyView list = ScrollView(VStack(std::move(rows)));
    // Ten rows of 10 with 8 between: 172 points of content in a 100-point window.
    layOut(list, {100, 100});
    const LayoutBox* scroll = layout->viewBox(host->tree().findKind("ScrollView")->path);
    ASSERT_TRUE(scroll);
    EXPECT_EQ(scroll->frame, CGRect(0, 0, 100, 100));
    EXPECT_EQ(scroll->contentSize.height, 172);
    EXPECT_EQ(textFrame("row0").minY(), 0);

    ViewLayout::ScrollOffsets offsets{{host->tree().findKind("ScrollView")->path, {0, 50}}};
    layOut(list, {100, 100}, &offsets);
    EXPECT_EQ(textFrame("row0").minY(), -50);
    offsets.begin()->second = {0, 500};
    layOut(list, {100, 100}, &offsets);
    EXPECT_EQ(textFrame("row9").maxY(), 100) << "the offset stops at the end of the content";
    offsets.begin()->second = {0, -20};
    layOut(list, {100, 100}, &offsets);
    EXPECT_EQ(textFrame("row0").minY(), 0);

    // A horizontal scroll view in a column is as tall as its content and as wide as offered.
    layOut(
        VStack({ScrollView(Axis::horizontal, true, HStack({small("wide"), small("row")})), small("below")}),
        {300, 200});
    const LayoutBox* strip = layout->viewBox(host->tree().findKind("ScrollView")->path);
    EXPECT_EQ(strip->frame.size, CGSize(300, 10));
    EXPECT_EQ(textFrame("below").minY(), strip->frame.maxY() + 8);
}

TEST_F(ViewLayoutTest, ModifiersApplyToEveryTextBelowThemUnlessATextSaysOtherwise) {
    layOut(VStack({Text("aa"), Text("bb").font(Font::system(20))}).font(Font::system(10)), {200, 200});
    EXPECT_EQ(textFrame("aa").size, CGSize(10, 10));
    EXPECT_EQ(textFrame("bb").size, CGSize(20, 20)) << "the innermost font wins";
    layOut(Text("cc").lineLimit(1).font(Font::system(10)).frame(FrameOptions{{}, {}, {}, 5, {}, {}}),
           {200, 200});
    EXPECT_EQ(textFrame("cc").height(), 10) << "a line limit keeps a narrow text on its lines";
}

TEST_F(ViewLayoutTest, PicturesTakeTheirFileSizeUnlessResizableAndListRowsTheirHeight) {
    auto play = platform::UIImage::imageNamed("Play");
    ASSERT_TRUE(play);
    const CGSize file = play->size();
    ASSERT_GT(file.width, 0);
    layOut(Image("Play"), {1000, 1000});
    EXPECT_EQ(outerFrame("Image").size, file);
    // Resizable and kept to its aspect ratio in a frame 150 wide, its height free.
    layOut(Image("Play").resizable().modifier("scaledToFit").frame(FrameOptions{150, {}, {}, {}, {}, {}}),
           {1000, 1000});
    const LayoutBox* image = layout->viewBox(host->tree().findKind("Image")->path);
    EXPECT_EQ(image->frame.width(), 150);
    EXPECT_DOUBLE_EQ(image->frame.height(), 150 * file.height / file.width);
    // A symbol is as large as the font around it.
    layOut(Image::system("circle").font(Font::system(20)), {1000, 1000});
    EXPECT_EQ(outerFrame("Image").size, CGSize(24, 22));

    // Rows of a list stand one under another, each at least a row high, inset from the edges.
    layOut(List({small("one"), small("two")}), {300, 400});
    EXPECT_EQ(textFrame("one").minX(), 16);
    EXPECT_EQ(textFrame("two").minY() - textFrame("one").minY(), 44);
}

TEST_F(ViewLayoutTest, ARowThatMayShrinkSetsAllItsTextsOneSizeSmallerRatherThanBreakAWord) {
    // Three words of eight letters, 40 points each at their size, 8 points apart: 136 in all.
    struct Case {
        double width;
        bool mayShrink;
        double scale;
        double height; // of every text: one line is 10 points at their size
    };
    for (const auto& c : {Case{200, true, 1, 10}, Case{136, true, 1, 10}, Case{100, true, 0.7, 7},
                          Case{100, false, 1, 20}, Case{60, true, 0.5, 10}}) {
        SCOPED_TRACE(std::to_string(c.width) + (c.mayShrink ? " may shrink" : ""));
        AnyView row =
            HStack({Alignment::top, std::nullopt}, {small("aaaaaaaa"), small("bbbbbbbb"), small("cccccccc")});
        layOut(c.mayShrink ? row.minimumScaleFactor(0.5) : row, {c.width, 100});
        for (const char* word : {"aaaaaaaa", "bbbbbbbb", "cccccccc"}) {
            const Node* n =
                host->tree().find([&](const Node& x) { return x.kind == "Text" && x.text() == word; });
            ASSERT_TRUE(n);
            const LayoutBox* b = layout->viewBox(n->path);
            EXPECT_NEAR(b->style.scale, c.scale, 1e-9) << word;
            EXPECT_NEAR(b->frame.height(), c.height, 1e-9) << word;
        }
    }
}
