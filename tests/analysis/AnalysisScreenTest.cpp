#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/GradientButtonStyle.h"
#include "analysis/HighlightedText.h"
#include "analysis/SwiftUIView.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/swiftui/TextSetter.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/swiftui/ViewLayout.h"
#include "platform/swiftui/ViewRenderer.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

using namespace platform::swiftui;
using platform::StringArray;
using quillora::HighlightedText;
using quillora::SwiftUIView;
using quillora::test::PlatformTest;

namespace {

// Each run as "text" or "[text]" when red.
std::string marked(const std::vector<TextRun>& runs) {
    std::string out;
    for (const TextRun& r : runs) {
        bool red = r.color && r.color->name == "red";
        out += red ? "[" + r.text + "]" : r.text;
        EXPECT_TRUE(red || !r.color) << "unmarked text keeps the default colour";
    }
    return out;
}

std::string marked(const std::string& text, const std::string& term) {
    return marked(HighlightedText{text, term}.body().runs());
}

class AnalysisScreenTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        defaults = platform::NSUserDefaults::standardUserDefaults();
    }
    std::shared_ptr<platform::NSUserDefaults> defaults;
};

struct StyleRow {
    AnyView body() const {
        return HStack({Button(Text("Left"), [] {}).buttonStyle(quillora::GradientButtonStyle{}),
                       Button(Text("Pronoun"), [] {}).buttonStyle(quillora::GradientButtonStyleRed{}),
                       Button(Text("Verb"), [] {}).buttonStyle(quillora::GradientButtonStylePink{}),
                       Button(Text("Noun"), [] {}).buttonStyle(quillora::GradientButtonStyleBlue{})});
    }
};

} // namespace

TEST(HighlightedTextTest, MarksEveryMatchAndShowsTheTextExactlyAsItIs) {
    EXPECT_EQ(marked("The hen", "he"), "T[he] [he]n") << "matches inside words too";
    EXPECT_EQ(marked("The hen", "the"), "[The] hen") << "case is ignored";
    EXPECT_EQ(marked("The hen", ""), "The hen");
    EXPECT_EQ(marked("", "he"), "");
    EXPECT_EQ(marked("hehe", "he"), "[he][he]");

    // Angle brackets and marker-like words are ordinary text.
    EXPECT_EQ(marked(">quote and a<SPLIT>marker", "and"), ">quote [and] a<SPLIT>marker");
    EXPECT_EQ(marked("> and <SPLIT>> or", "or"), "> and <SPLIT>> [or]");
    EXPECT_EQ(marked("a<SPLIT>b", "<SPLIT>"), "a[<SPLIT>]b");

    // Ranges are in bytes of the UTF-8 text and never split a character.
    EXPECT_EQ(marked("Ça coûte ÇA", "ça"), "[Ça] coûte [ÇA]");
    auto ranges = HighlightedText::matchRanges("Ça coûte ÇA", "ça");
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0], (std::pair<std::size_t, std::size_t>{0, 3}));
    EXPECT_EQ(marked("cafe\xCC\x81 cafe", "cafe"), "cafe\xCC\x81 [cafe]");
}

TEST_F(AnalysisScreenTest, BuiltFromTheStoredListsAndCounters) {
    defaults->setObject_forKey("The hen ran and the hen sat.", "saveclipBoardText");
    defaults->setObject_forKey(StringArray{"ran", "sat"}, "savedarrayverb");
    defaults->setObject_forKey(StringArray{"hen"}, "savedarraynoun");
    defaults->setObject_forKey("not a list", "savedarrayadjective");
    defaults->setInteger_forKey(7, "totalnouncount");
    defaults->setInteger_forKey(12, "totalwordcount");

    auto host = ViewHost::make(SwiftUIView());
    const Node& tree = host->tree();
    for (const char* legend : {"Verb", "Noun", "Pronoun", "Adjective", "Time(sec)", "Words"})
        EXPECT_NE(tree.findText(legend), nullptr) << legend;
    for (const char* label : {"cancel", "Verb", "Noun", "Adjective", "Pronoun", "ran", "sat", "hen"})
        EXPECT_NE(tree.findControl(label), nullptr) << label;
    std::vector<std::string> wedges;
    for (const Node* w : tree.findAllKind("PieChartCell"))
        wedges.push_back(*w->modifier("accessibilityLabel")->text("label") + " " +
                         *w->modifier("accessibilityValue")->text("value"));
    EXPECT_EQ(wedges, (std::vector<std::string>{"Verb 0.0", "Noun 7.0", "Pronoun 0.0", "Adjective 0.0",
                                                "Time(sec) 0.0", "Words 12.0"}))
        << "the screen read as text tells each wedge's count";
    EXPECT_EQ(tree.findControl("Search Term")->getText(), "");
    EXPECT_EQ(marked(tree.findKind("HighlightedText")->children.at(0)->runs), "The hen ran and the hen sat.");

    // A word button fills the search field and the transcript shows its matches at once.
    ASSERT_TRUE(host->press("hen"));
    EXPECT_EQ(host->tree().findControl("Search Term")->getText(), "hen");
    EXPECT_EQ(marked(host->tree().findKind("HighlightedText")->children.at(0)->runs),
              "The [hen] ran and the [hen] sat.");
    EXPECT_TRUE(consoleHas("Button pressed"));
    EXPECT_TRUE(consoleHas("Button value hen"));
    ASSERT_TRUE(host->edit("Search Term", "THE"));
    EXPECT_EQ(marked(host->tree().findKind("HighlightedText")->children.at(0)->runs),
              "[The] hen ran and [the] hen sat.");

    // The noun wedge reports its count beside the donut; a second tap clears it.
    const Node* noun = host->tree().findAllKind("PieChartCell").at(1);
    ASSERT_TRUE(host->tap(*noun));
    EXPECT_NE(host->tree().findText(" Noun\n: 7.0"), nullptr) << host->describe();
    ASSERT_TRUE(host->tap(*host->tree().findAllKind("PieChartCell").at(1)));
    EXPECT_EQ(host->tree().findText("Noun\n"), nullptr);

    ASSERT_TRUE(host->press("Adjective"));
    EXPECT_TRUE(consoleHas("Adjective pressed "));
}

TEST_F(AnalysisScreenTest, CancelDismissesThePresentedScreenOnly) {
    auto window = std::make_shared<platform::UIWindow>();
    auto screen = std::make_shared<platform::UIViewController>();
    window->setRootViewController(screen);
    window->makeKeyAndVisible();

    SwiftUIView view;
    view.presentingVC = screen;
    auto hosting = std::make_shared<UIHostingController>(view);
    screen->presentViewController_animated_completion(hosting, true, nullptr);
    runUntilIdle();
    ASSERT_EQ(screen->presentedViewController(), hosting);
    ASSERT_TRUE(hosting->host()->press("cancel"));
    runUntilIdle();
    EXPECT_EQ(screen->presentedViewController(), nullptr);
    EXPECT_TRUE(consoleHas("cancel pressed "));

    // Embedded, with no presenter, Cancel only prints.
    auto embedded = ViewHost::make(SwiftUIView());
    EXPECT_TRUE(embedded->press("cancel"));
}

TEST_F(AnalysisScreenTest, GradientStylesGrowWhilePressedWithinAFixedSlot) {
    auto host = ViewHost::make(StyleRow{});
    auto body = [&](const char* label) { return host->tree().findControl(label)->children.at(0).get(); };
    const std::pair<const char*, std::pair<const char*, const char*>> styles[] = {
        {"Left", {"red", "orange"}},
        {"Pronoun", {"yellow", "orange"}},
        {"Verb", {"purple", "pink"}},
        {"Noun", {"blue", "purple"}}};
    for (const auto& [label, colours] : styles) {
        const Node* b = body(label);
        std::vector<std::string> order;
        for (const Modifier& m : b->modifiers)
            order.push_back(m.name);
        EXPECT_EQ(order, (std::vector<std::string>{"foregroundColor", "padding", "background", "clipShape",
                                                   "scaleEffect", "frame"}))
            << "the frame comes after the scale, so neighbours keep their place";
        EXPECT_EQ(b->foregroundColor()->name, "white");
        EXPECT_EQ(b->modifier("frame")->number("width"), 100);
        EXPECT_EQ(b->modifier("frame")->number("height"), 50);
        const Node* gradient = b->modifier("background")->content.at(0).get();
        EXPECT_NE(gradient->describe().find(colours.first), std::string::npos) << gradient->describe();
        EXPECT_NE(gradient->describe().find(colours.second), std::string::npos);
        EXPECT_EQ(b->modifier("scaleEffect")->number("x"), 1.0);
    }
    ASSERT_TRUE(host->pressDown("Verb"));
    EXPECT_EQ(body("Verb")->modifier("scaleEffect")->number("x"), 1.3);
    EXPECT_EQ(body("Verb")->modifier("scaleEffect")->number("y"), 1.3);
    EXPECT_EQ(body("Noun")->modifier("scaleEffect")->number("x"), 1.0);
    EXPECT_EQ(body("Verb")->modifier("frame")->number("width"), 100);
    ASSERT_TRUE(host->pressUp("Verb"));
    EXPECT_EQ(body("Verb")->modifier("scaleEffect")->number("x"), 1.0);
}

TEST_F(AnalysisScreenTest, APressedStyledButtonIsDrawnLargerAboutItsCentreWhileItsNeighboursStay) {
    auto host = ViewHost::make(StyleRow{});
    TextSetter text;
    ViewRenderer renderer(text);
    auto slots = [&] {
        ViewLayout layout(host->tree(), {400, 100}, text);
        std::vector<platform::CGRect> frames;
        for (const char* label : {"Left", "Pronoun", "Verb", "Noun"})
            frames.push_back(layout.outerBox(host->tree().findControl(label)->path)->frame);
        return frames;
    };
    // What is drawn at a point of a 400x100 picture of the row.
    auto pixel = [&](platform::CGPoint p) {
        ViewLayout layout(host->tree(), {400, 100}, text);
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 400, 100);
        cairo_t* cr = cairo_create(surface);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        renderer.draw(cr, layout);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        auto value = reinterpret_cast<const std::uint32_t*>(
            cairo_image_surface_get_data(surface) +
            static_cast<int>(p.y) * cairo_image_surface_get_stride(surface))[static_cast<int>(p.x)];
        cairo_surface_destroy(surface);
        return value & 0xffffff;
    };
    auto before = slots();
    for (const auto& f : before)
        EXPECT_EQ(f.size, platform::CGSize(100, 50)) << "every styled button takes a 100 by 50 slot";
    platform::CGRect verb = before[2];
    // Above the coloured area of the label and its padding, inside the area 1.3 times as large.
    platform::CGPoint justAbove{verb.midX(), verb.midY() - 31};
    EXPECT_EQ(pixel(justAbove), 0xffffffu);
    ASSERT_TRUE(host->pressDown("Verb"));
    EXPECT_EQ(slots(), before) << "the neighbours keep their place";
    EXPECT_NE(pixel(justAbove), 0xffffffu) << "the pressed button is drawn larger";
    ASSERT_TRUE(host->pressUp("Verb"));
    EXPECT_EQ(pixel(justAbove), 0xffffffu);
}
