// How a person names a control (exact label, blanks ignored, a unique start), the heading-led
// press, states kept by place and type across a row that comes and goes, and our own modifiers.

#include <string>
#include <vector>

#include "platform/swiftui/ViewHost.h"
#include "platform/uikit/UIImage.h"
#include "tests/support/PlatformTest.h"

using namespace platform::swiftui;
using quillora::test::PlatformTest;

namespace {

struct Choice {
    std::string name;
    State<std::string> picked{"none"};
    auto states() { return std::tie(picked); }
    AnyView body() const {
        auto self = *this;
        return HStack({Text(name + ": " + picked.get()),
                       Button(name + " A", [self] { self.picked.set("A"); }),
                       Button(name + " B", [self] { self.picked.set("B"); })});
    }
};

// A row that comes and goes before two stateful rows, as a form's photo row does.
struct Form {
    State<bool> showRow{false};
    AnyView body() const {
        auto self = *this;
        return VStack({If(showRow.get(), Text("Photo")), Choice{"first"}, Choice{"second"},
                       Button("Toggle", [self] { self.showRow.set(!self.showRow.get()); })});
    }
};

// Another view type at the same place starts with its own states.
struct Other {
    State<std::string> picked{"fresh"};
    auto states() { return std::tie(picked); }
    AnyView body() const { return Text("other " + picked.get()); }
};
struct Swap {
    State<bool> other{false};
    AnyView body() const {
        auto self = *this;
        return VStack({other.get() ? AnyView(Other{}) : AnyView(Choice{"c"}),
                       Button("Swap", [self] { self.other.set(!self.other.get()); })});
    }
};

struct Scheme {
    AnyView body(AnyView content) const {
        return environment().colorScheme == ColorScheme::dark ? content.modifier("darkHere") : content;
    }
};

class LookupAndPlaceTest : public PlatformTest {};

TEST_F(LookupAndPlaceTest, ControlsAreFoundExactlyThenWithoutBlanksThenByAUniqueStart) {
    int pressed = 0;
    std::string last;
    auto tap = [&](std::string name) { return [&, name] { ++pressed, last = name; }; };
    auto host =
        ViewHost::make(VStack({Button("Font Type : Body ", tap("type")), Button("Font Size", tap("size")),
                               Button("Font Size : Body", tap("sizebody")), Button(" Save ", tap("save")),
                               Button("Share", tap("share1")), Button("Share", tap("share2"))}));
    ASSERT_TRUE(host->press("Font Size"));
    EXPECT_EQ(last, "size") << "an exact label wins over a longer one that starts the same";
    ASSERT_TRUE(host->press("Font Type : Body"));
    EXPECT_EQ(last, "type");
    ASSERT_TRUE(host->press("Save"));
    EXPECT_EQ(last, "save");
    ASSERT_TRUE(host->press("Font Ty"));
    EXPECT_EQ(last, "type");
    EXPECT_FALSE(host->press("Font"));
    EXPECT_EQ(host->lastError(),
              "3 buttons whose label starts with \"Font\": \"Font Type : Body \", \"Font Size\", "
              "\"Font Size : Body\"");
    EXPECT_FALSE(host->press("Share"));
    EXPECT_EQ(host->lastError(), "2 buttons labelled \"Share\": \"Share\", \"Share\"");
    EXPECT_FALSE(host->press("Print"));
    EXPECT_EQ(host->lastError(), "no button labelled \"Print\"");
    EXPECT_EQ(pressed, 4);
}

TEST_F(LookupAndPlaceTest, PressAfterTakesTheFirstMatchingButtonUnderTheHeading) {
    std::vector<std::string> told;
    auto option = [&](std::string tag, std::string label) {
        return Button(label, [&, tag] { told.push_back(tag); });
    };
    auto host = ViewHost::make(VStack({Text("Font Size : Name"),
                                       HStack({option("name small", "Small"), option("name large", "Large")}),
                                       Text("Font Size : Body "), HStack({option("body small", "Small")}),
                                       Text("Colour"), HStack({option("red", "Red")})}));
    ASSERT_TRUE(host->pressAfter("Font Size : Body", "Small"));
    ASSERT_TRUE(host->pressAfter("Font Size : Name", "Small"));
    ASSERT_TRUE(host->pressAfter("Font Size : Name", "Red")) << "the first such button after the heading";
    EXPECT_EQ(told, (std::vector<std::string>{"body small", "name small", "red"}));
    EXPECT_FALSE(host->pressAfter("Font Size", "Small"));
    EXPECT_NE(host->lastError().find("2 headings"), std::string::npos) << host->lastError();
    EXPECT_FALSE(host->pressAfter("Colour", "Small"));
    EXPECT_EQ(host->lastError(), "no button \"Small\" under \"Colour\"");
}

TEST_F(LookupAndPlaceTest, ARowThatComesAndGoesHandsNoStateToTheRowsAfterIt) {
    auto host = ViewHost::make(Form{});
    ASSERT_TRUE(host->press("first A"));
    ASSERT_TRUE(host->press("second B"));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(host->press("Toggle"));
        EXPECT_NE(host->tree().findText("first: A"), nullptr) << i;
        EXPECT_NE(host->tree().findText("second: B"), nullptr) << i;
        EXPECT_EQ(host->tree().findText("Photo") != nullptr, i % 2 == 0);
    }

    auto swap = ViewHost::make(Swap{});
    ASSERT_TRUE(swap->press("c A"));
    ASSERT_TRUE(swap->press("Swap"));
    EXPECT_NE(swap->tree().findText("other fresh"), nullptr) << "a string state of another view type";
    ASSERT_TRUE(swap->press("Swap"));
    EXPECT_NE(swap->tree().findText("c: none"), nullptr) << "its own state went when it left the tree";
}

TEST_F(LookupAndPlaceTest, ModifiersOfOurOwnReadTheEnvironmentOfTheirPlace) {
    auto host =
        ViewHost::make(VStack({Text("outer").modifier(Scheme{}),
                               VStack({Text("inner").modifier(Scheme{})}).colorScheme(ColorScheme::dark)}));
    EXPECT_EQ(host->tree().findText("outer")->modifier("darkHere"), nullptr);
    EXPECT_NE(host->tree().findText("inner")->modifier("darkHere"), nullptr);

    // Recorded modifiers and an image already loaded.
    const auto photo = home / "p.png";
    quillora::test::writeFile(photo, "not decoded until drawn");
    auto image = std::make_shared<const platform::UIImage>("p.png", photo);
    auto shown = ViewHost::make(Image(image)
                                    .resizable()
                                    .aspectRatio(ContentMode::fit)
                                    .border(Color::black(), 0.5)
                                    .animation(Animation::linear()));
    const Node& node = shown->tree();
    EXPECT_EQ(node.uiImage, image);
    EXPECT_EQ(node.textProp("path"), photo.string());
    EXPECT_EQ(node.modifier("aspectRatio")->text("contentMode"), "fit");
    EXPECT_EQ(node.modifier("border")->number("width"), 0.5);
    EXPECT_EQ(node.modifier("animation")->text("curve"), "linear");
    EXPECT_EQ(ViewHost::make(Image(std::shared_ptr<const platform::UIImage>()))->tree().kind, "EmptyView");
}

} // namespace
