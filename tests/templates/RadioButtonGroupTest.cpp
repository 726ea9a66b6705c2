// Radio groups, colour inversion and the scaling button style, driven through a host.

#include "templates/RadioButtonGroup.h"
#include "platform/swiftui/ViewHost.h"
#include "templates/ScaleButtonStyle.h"
#include "tests/templates/FormTestSupport.h"

namespace quillora {
namespace {

using namespace platform::swiftui;

class RadioButtonGroupTest : public test::FormTest {};

TEST_F(RadioButtonGroupTest, ATapChoosesAndCallsBackEveryTimeEvenOnTheChosenOption) {
    std::vector<std::string> told;
    auto host = ViewHost::make(
        RadioButtonGroup({"No", "Yes"}, "No", [&](const std::string& s) { told.push_back(s); }));
    const auto* group = host->tree().findKind("RadioButtonGroup");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(shown(*group), (std::vector<std::pair<std::string, std::string>>{
                                 {"No", "largecircle.fill.circle"}, {"Yes", "circle"}}));
    ASSERT_TRUE(host->press("Yes"));
    ASSERT_TRUE(host->press("Yes"));
    ASSERT_TRUE(host->press("No"));
    EXPECT_EQ(told, (std::vector<std::string>{"Yes", "Yes", "No"}));
    EXPECT_EQ(chosen(*host->tree().findKind("RadioButtonGroup")), (std::vector<std::string>{"No"}));

    // Each button: symbol 20 by 20 in its original colours, label in the 14-point system font.
    const auto* button = host->tree().findKind("RadioButton");
    const auto* image = button->findKind("Image");
    ASSERT_NE(image->modifier("frame"), nullptr);
    EXPECT_EQ(image->modifier("frame")->number("width"), 20);
    EXPECT_EQ(image->modifier("renderingMode")->text("mode"), "original");
    EXPECT_EQ(button->findKind("Text")->runs[0].font, Font::system(14));
}

TEST_F(RadioButtonGroupTest, AStartOutsideTheItemsShowsOnlyCirclesAndTwinItemsShowTogether) {
    auto host = ViewHost::make(RadioButtonGroup({"Red", "Blue", "Red"}, "Green", [](const std::string&) {}));
    EXPECT_TRUE(chosen(*host->tree().findKind("RadioButtonGroup")).empty());
    // Two buttons are labelled "Red": a press by label is refused as ambiguous, the buttons
    // themselves still take a tap.
    EXPECT_FALSE(host->press("Red"));
    EXPECT_NE(host->lastError().find("2 buttons"), std::string::npos) << host->lastError();
    ASSERT_TRUE(host->press(*host->tree().findKind("RadioButton")->findKind("Button")));
    EXPECT_EQ(chosen(*host->tree().findKind("RadioButtonGroup")), (std::vector<std::string>{"Red", "Red"}));
}

TEST_F(RadioButtonGroupTest, TheSelectionIsKeptAcrossRebuildsOfItsCreator) {
    // The creator passes the same start each time it rebuilds: the group keeps its own choice.
    struct Creator {
        State<int> rebuilds{0};
        AnyView body() const {
            auto self = *this;
            return VStack({Text("Rebuilds " + std::to_string(rebuilds.get())),
                           Button("Again", [self] { self.rebuilds.set(self.rebuilds.get() + 1); }),
                           RadioButtonGroup({"Small", "Large"}, "Small", [](const std::string&) {})});
        }
    };
    auto host = ViewHost::make(Creator{});
    ASSERT_TRUE(host->press("Large"));
    ASSERT_TRUE(host->press("Again"));
    ASSERT_NE(host->tree().findText("Rebuilds 1"), nullptr);
    EXPECT_EQ(chosen(*host->tree().findKind("RadioButtonGroup")), (std::vector<std::string>{"Large"}));
}

TEST_F(RadioButtonGroupTest, ColorInvertTouchesOnlyTheSymbolsAndOnlyInDarkMode) {
    auto host = ViewHost::make(RadioButtonGroup({"No", "Yes"}, "No", [](const std::string&) {}));
    auto inverted = [&] {
        std::vector<std::string> kinds;
        for (const auto* n : host->tree().findAll([](const Node& n) { return n.modifier("colorInvert"); }))
            kinds.push_back(n->kind);
        return kinds;
    };
    EXPECT_TRUE(inverted().empty());
    host->setColorScheme(ColorScheme::dark);
    EXPECT_EQ(inverted(), (std::vector<std::string>{"Image", "Image"}));
    host->setColorScheme(ColorScheme::light);
    EXPECT_TRUE(inverted().empty());
}

TEST_F(RadioButtonGroupTest, TheScaleStyleGrowsTheLabelHalfAgainOnlyWhilePressed) {
    auto host = ViewHost::make(Button(Text("Preview"), [] {}).buttonStyle(ScaleButtonStyle{}));
    auto scale = [&] {
        const auto* m = host->tree().find([](const Node& n) { return n.modifier("scaleEffect"); });
        return m ? m->modifier("scaleEffect")->number("x").value_or(0) : 0;
    };
    EXPECT_EQ(scale(), 1.0);
    ASSERT_TRUE(host->pressDown("Preview"));
    EXPECT_EQ(scale(), 1.5);
    ASSERT_TRUE(host->pressUp("Preview"));
    EXPECT_EQ(scale(), 1.0);
    const auto* label = host->tree().find([](const Node& n) { return n.modifier("scaleEffect"); });
    EXPECT_EQ(label->modifier("scaleEffect")->text("anchor"), "center");
    ASSERT_NE(label->modifier("background"), nullptr);
    const auto* fill = label->modifier("background")->content[0]->prop("color");
    ASSERT_NE(fill, nullptr);
    EXPECT_EQ(std::get<Color>(*fill), Color::clear());
}

} // namespace
} // namespace quillora
