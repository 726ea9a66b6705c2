// Radio groups, colour inversion and the scaling button style, driven through a host.

#include "templates/RadioButtonGroup.h"

#include <map>

#include "platform/swiftui/TextSetter.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/swiftui/ViewLayout.h"
#include "templates/EssayViewSwiftUI.h"
#include "templates/LetterForm.h"
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

TEST_F(RadioButtonGroupTest, EveryRowOfAFormHoldsItsLabelsWholeOnOneLineUnderCirclesInLineAsItsLikes) {
    // The forms with rows narrowed by their stacks' padding, as laid out on the phone's screen.
    TextSetter text;
    for (const auto& [name, form] :
         std::vector<std::pair<std::string, AnyView>>{{"essay", EssayViewSwiftUI{}},
                                                      {"modern letter", ModernLetterViewSwiftUI{}},
                                                      {"business letter", BusinessLetterViewSwiftUI{}}}) {
        SCOPED_TRACE(name);
        auto host = ViewHost::make(form);
        const ViewLayout layout(host->tree(), {390, 844}, text);
        int rows = 0;
        // Rows of the same options, by their labels: the size and the gaps of the first one seen.
        std::map<std::string, std::pair<double, std::vector<double>>> alike;
        for (const auto* group : host->tree().findAllKind("RadioButtonGroup")) {
            std::vector<const LayoutBox*> labels, circles;
            std::string options;
            for (const auto* button : group->findAllKind("RadioButton")) {
                labels.push_back(layout.viewBox(button->findKind("Text")->path));
                circles.push_back(layout.viewBox(button->findKind("Image")->path));
                options += button->findKind("Text")->text() + " ";
            }
            ASSERT_FALSE(labels.empty());
            ++rows;
            SCOPED_TRACE(options);
            // Set alike wherever the row stands, in a narrower stack too.
            std::vector<double> gaps;
            for (std::size_t i = 1; i < circles.size(); ++i)
                gaps.push_back(circles[i]->frame.midX() - circles[i - 1]->frame.midX());
            const auto [first, firstSeen] = alike.try_emplace(options, labels[0]->style.scale, gaps);
            if (!firstSeen) {
                EXPECT_EQ(labels[0]->style.scale, first->second.first) << "a label size of its own";
                for (std::size_t i = 0; i < gaps.size() && i < first->second.second.size(); ++i)
                    EXPECT_NEAR(gaps[i], first->second.second[i], 1e-6) << "spaced out otherwise";
            }
            // A word broken over two lines makes its label taller than the others.
            for (std::size_t i = 0; i < labels.size(); ++i) {
                SCOPED_TRACE(group->findAllKind("RadioButton")[i]->text());
                EXPECT_EQ(labels[i]->frame.height(), labels[0]->frame.height());
                EXPECT_EQ(labels[i]->style.scale, labels[0]->style.scale);
                EXPECT_EQ(circles[i]->frame.minY(), circles[0]->frame.minY());
                // The label reads whole at its width: one line as wide as the word needs.
                const auto& runs = group->findAllKind("RadioButton")[i]->findKind("Text")->runs;
                EXPECT_EQ(text.measure(runs, labels[i]->style, labels[i]->frame.width()).height,
                          text.measure(runs, labels[i]->style, std::nullopt).height);
            }
        }
        EXPECT_GE(rows, 5);
    }
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
