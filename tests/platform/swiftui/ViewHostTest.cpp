#include <string>
#include <vector>

#include "platform/foundation/DispatchQueue.h"
#include "platform/swiftui/ViewHost.h"
#include "tests/support/PlatformTest.h"

using namespace platform::swiftui;
using quillora::test::PlatformTest;

namespace {

// A nested view with its own state, built anew by its parent on every rebuild.
struct Tally {
    std::string name;
    State<int> taps{0};
    auto states() { return std::tie(taps); }
    AnyView body() const {
        auto self = *this;
        return Button(Text(name + " " + std::to_string(taps.get())),
                      [self] { self.taps.set(self.taps.get() + 1); });
    }
};

struct Counter {
    State<int> count{0};
    AnyView body() const {
        auto self = *this;
        return VStack({Text("Count " + std::to_string(count.get())),
                       Button("Add", [self] { self.count.set(self.count.get() + 1); }), Tally{"Tally"}});
    }
};

struct SearchBox {
    Binding<std::string> term;
    AnyView body() const { return TextField("Search", term); }
};

struct Searcher {
    State<std::string> term{"start"};
    State<std::string> notes{"draft"};
    AnyView body() const {
        return VStack({SearchBox{term.binding()}, Text("Looking for " + term.get()),
                       TextEditor(notes.binding(), "Notes")});
    }
};

struct Form {
    State<std::string> heading{"Sample"};
    AnyView body() const {
        auto dismiss = environment().dismissAction;
        return VStack({TextField("Heading", heading.binding()), Button("cancel", [dismiss] { dismiss(); })});
    }
};

struct Gallery {
    State<bool> showing{false};
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
    std::shared_ptr<std::string> stored = std::make_shared<std::string>();
    AnyView body() const {
        auto self = *this;
        return VStack({Button("Preview",
                              [self] {
                                  self.showing.set(true);
                                  // Written after the flag, in the same action: the sheet must still see it.
                                  *self.stored = "dictionary";
                                  self.log->push_back("action returns");
                              })
                           .sheet(showing.binding(),
                                  [self] {
                                      self.log->push_back("content built with " + *self.stored);
                                      return AnyView(Form{});
                                  }),
                       Button("Hide", [self] { self.showing.set(false); })});
    }
};

struct Squash : ButtonStyle {
    AnyView makeBody(const ButtonStyleConfiguration& c) const override {
        return c.label.foregroundColor(Color::white()).scaleEffect(c.isPressed ? 0.95 : 1.0).frame(100, 50);
    }
};

struct Styled {
    std::shared_ptr<int> presses = std::make_shared<int>(0);
    State<bool> locked{false};
    State<std::string> choice{"Small"};
    AnyView body() const {
        auto self = *this;
        return VStack({Button("Go", [self] { ++*self.presses; }).buttonStyle(Squash{}).disabled(locked.get()),
                       Picker("Size", choice.binding(), {"Small", "Large"})});
    }
};

struct Model : ObservableObject {
    Published<int> level{this, 1};
};

struct Gauge {
    ObservedObject<Model> model;
    std::shared_ptr<int> appeared = std::make_shared<int>(0);
    AnyView body() const {
        auto self = *this;
        return Text("Level " + std::to_string(model->level.get())).onAppear([self] { ++*self.appeared; });
    }
};

} // namespace

class ViewHostTest : public PlatformTest {};

TEST_F(ViewHostTest, StateSurvivesRebuildsAndPressesChangeTheTree) {
    auto host = ViewHost::make(Counter{});
    EXPECT_NE(host->tree().findText("Count 0"), nullptr);
    ASSERT_TRUE(host->press("Add"));
    ASSERT_TRUE(host->press("Add"));
    EXPECT_NE(host->tree().findText("Count 2"), nullptr) << host->describe();

    // The nested view is rebuilt by its parent each time yet keeps its own count.
    ASSERT_TRUE(host->press("Tally 0"));
    ASSERT_TRUE(host->press("Add"));
    EXPECT_NE(host->tree().findText("Tally 1"), nullptr) << host->describe();
    EXPECT_NE(host->tree().findText("Count 3"), nullptr);

    // A state written outside any action (a timer, a queued block) rebuilds on the next turn.
    Counter outside;
    auto other = ViewHost::make(outside);
    other->tree();
    platform::DispatchQueue::main().async([outside] { outside.count.set(7); });
    runUntilIdle();
    EXPECT_NE(other->tree().findText("Count 7"), nullptr);
    EXPECT_FALSE(other->needsRebuild());
}

TEST_F(ViewHostTest, BindingsEditTheirSourceState) {
    Searcher view;
    auto host = ViewHost::make(view);
    EXPECT_EQ(host->tree().findControl("Search")->getText(), "start");
    ASSERT_TRUE(host->edit("Search", "word"));
    EXPECT_EQ(view.term.get(), "word");
    EXPECT_NE(host->tree().findText("Looking for word"), nullptr);
    ASSERT_TRUE(host->edit("Notes", ""));
    EXPECT_EQ(view.notes.get(), "");
}

TEST_F(ViewHostTest, SheetPresentsAfterTheActionAndAnewEachTime) {
    Gallery gallery;
    auto host = ViewHost::make(gallery);
    ASSERT_TRUE(host->press("Preview"));
    EXPECT_FALSE(host->isSheetPresented()) << "nothing is presented inside the action";
    runUntilIdle();
    ASSERT_TRUE(host->isSheetPresented());
    EXPECT_EQ(*gallery.log, (std::vector<std::string>{"action returns", "content built with dictionary"}));

    auto first = host->presentedSheet();
    ASSERT_TRUE(first->edit("Heading", "Changed"));
    ASSERT_TRUE(first->press("cancel"));
    EXPECT_FALSE(host->isSheetPresented());
    EXPECT_FALSE(gallery.showing.get()) << "dismissal resets the flag";

    ASSERT_TRUE(host->press("Preview"));
    runUntilIdle();
    auto second = host->presentedSheet();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(second->tree().findControl("Heading")->getText(), "Sample") << "a new sheet starts fresh";

    // Clearing the flag from the presenting side takes the sheet away.
    ASSERT_TRUE(host->press("Hide"));
    EXPECT_FALSE(host->isSheetPresented());
    runUntilIdle();
    EXPECT_FALSE(host->isSheetPresented());
}

TEST_F(ViewHostTest, ButtonStyleSeesThePressedState) {
    Styled view;
    auto host = ViewHost::make(view);
    auto scaleOf = [&] {
        const Node* label = host->tree().findControl("Go")->children.at(0).get();
        return label->modifier("scaleEffect")->number("x").value();
    };
    EXPECT_DOUBLE_EQ(scaleOf(), 1.0);
    ASSERT_TRUE(host->pressDown("Go"));
    EXPECT_DOUBLE_EQ(scaleOf(), 0.95);
    EXPECT_EQ(*view.presses, 0) << "the action runs on release";
    ASSERT_TRUE(host->pressUp("Go"));
    EXPECT_DOUBLE_EQ(scaleOf(), 1.0);
    EXPECT_EQ(*view.presses, 1);

    const Node* label = host->tree().findControl("Go")->children.at(0).get();
    std::vector<std::string> order;
    for (const Modifier& m : label->modifiers)
        order.push_back(m.name);
    EXPECT_EQ(order, (std::vector<std::string>{"foregroundColor", "scaleEffect", "frame"}));
    EXPECT_EQ(label->foregroundColor()->name, "white");
}

TEST_F(ViewHostTest, MissingOrDisabledControlsFailCleanly) {
    Styled view;
    auto host = ViewHost::make(view);
    EXPECT_FALSE(host->press("Stop"));
    EXPECT_EQ(host->lastError(), "no button labelled \"Stop\"");
    EXPECT_FALSE(host->edit("Go", "x")) << "a button is not a text field";
    EXPECT_FALSE(host->select("Size", "Huge"));
    EXPECT_EQ(view.choice.get(), "Small");
    EXPECT_TRUE(host->select("Size", "Large"));
    EXPECT_EQ(view.choice.get(), "Large");

    view.locked.set(true);
    host->rebuild();
    EXPECT_FALSE(host->press("Go"));
    EXPECT_EQ(host->lastError(), "button \"Go\" is disabled");
    EXPECT_EQ(*view.presses, 0);
}

TEST_F(ViewHostTest, TextRunsKeepTheirOwnColours) {
    Text t =
        (Text("The ") + Text("he").foregroundColor(Color::red()) + Text("n")).foregroundColor(Color::blue());
    auto host = ViewHost::make(AnyView(t));
    const Node& n = host->tree();
    EXPECT_EQ(n.text(), "The hen");
    ASSERT_EQ(n.runs.size(), 3u);
    EXPECT_EQ(n.runs[1].color->name, "red");
    EXPECT_EQ(n.runs[0].color->name, "blue");
    EXPECT_EQ(n.runs[2].color->name, "blue");
    EXPECT_EQ(host->tree().findText("he n"), nullptr);
}

TEST_F(ViewHostTest, ObservedObjectChangesRebuildAndOnAppearRunsOnce) {
    auto model = std::make_shared<Model>();
    Gauge gauge{model};
    auto host = ViewHost::make(gauge);
    EXPECT_NE(host->tree().findText("Level 1"), nullptr);
    model->level.set(2);
    EXPECT_TRUE(host->needsRebuild());
    runUntilIdle();
    EXPECT_NE(host->tree().findText("Level 2"), nullptr);
    EXPECT_EQ(*gauge.appeared, 1);
}

namespace {
enum class Pick { first };

struct Chooser {
    State<std::optional<Pick>> active;
    AnyView body() const {
        auto self = *this;
        auto env = environment();
        return VStack({Text(env.colorScheme == ColorScheme::dark ? "dark" : "light"),
                       Button("Open", [self] { self.active.set(Pick::first); })
                           .sheet<Pick>(active.binding(), [](const Pick&) { return AnyView(Form{}); }),
                       Button("Help", [env] { env.openURL("https://example.org/help"); })});
    }
};
} // namespace

TEST_F(ViewHostTest, EnvironmentAndItemSheets) {
    Chooser view;
    auto host = ViewHost::make(view);
    EXPECT_NE(host->tree().findText("light"), nullptr);
    host->setColorScheme(ColorScheme::dark);
    EXPECT_NE(host->tree().findText("dark"), nullptr);

    ASSERT_TRUE(host->press("Help"));
    EXPECT_EQ(host->openedURLs(), (std::vector<std::string>{"https://example.org/help"}));

    ASSERT_TRUE(host->press("Open"));
    runUntilIdle();
    ASSERT_TRUE(host->isSheetPresented());
    auto sheet = host->presentedSheet();
    EXPECT_NE(sheet->tree().findControl("Heading"), nullptr);
    ASSERT_TRUE(sheet->press("cancel"));
    EXPECT_FALSE(view.active.get().has_value()) << "dismissal clears the item";
    // The root host is not presented by anyone: dismissing there does nothing.
    Form lone;
    auto alone = ViewHost::make(lone);
    EXPECT_TRUE(alone->press("cancel"));
}

namespace {
// A sheet whose content writes the presenting view's flag through a binding, as a picker that
// closes itself does.
struct Closer {
    Binding<bool> visible;
    AnyView body() const {
        auto v = visible;
        return Button("Done", [v] { v.set(false); });
    }
};

struct Settings {
    State<long long> size{18};
    State<bool> showing{false};
    State<bool> details{true};
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
    AnyView body() const {
        auto self = *this;
        std::vector<AnyView> rows{
            Stepper(
                Text("Font Size: " + std::to_string(size.get())).bold(),
                [self] { self.size.set(self.size.get() + 1); },
                [self] { self.size.set(self.size.get() - 1); }),
            Toggle("Details", details.binding()),
            Button("Feedback", [self] {
                self.showing.set(!self.showing.get());
            }).sheet(showing.binding(), [self] { return AnyView(Closer{self.showing.binding()}); })};
        if (details.get()) rows.push_back(Tally{"Detail"});
        rows.push_back(
            ForEach(std::vector<std::string>{"a", "b"}, [](const std::string& s) { return Text(s); }));
        return List(std::move(rows));
    }
};
} // namespace

TEST_F(ViewHostTest, SteppersTogglesAndStateOfViewsLeavingTheTree) {
    Settings view;
    auto host = ViewHost::make(view);
    ASSERT_TRUE(host->increment("Font Size: 18"));
    ASSERT_TRUE(host->decrement("Font Size: 19"));
    ASSERT_TRUE(host->decrement("Font Size: 18"));
    EXPECT_EQ(view.size.get(), 17);
    EXPECT_EQ(host->tree().findKind("Stepper")->text(), "Font Size: 17");

    ASSERT_TRUE(host->press("Detail 0"));
    EXPECT_NE(host->tree().findText("Detail 1"), nullptr);
    // A view that leaves the tree loses its state; coming back it starts afresh.
    ASSERT_TRUE(host->setOn("Details", false));
    EXPECT_EQ(host->tree().findText("Detail"), nullptr);
    ASSERT_TRUE(host->setOn("Details", true));
    EXPECT_NE(host->tree().findText("Detail 0"), nullptr);

    auto texts = host->tree().findKind("Group")->children;
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1]->text(), "b");
}

TEST_F(ViewHostTest, ASheetClosingItselfThroughABindingIsTakenAway) {
    Settings view;
    auto host = ViewHost::make(view);
    ASSERT_TRUE(host->press("Feedback"));
    runUntilIdle();
    auto sheet = host->presentedSheet();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(sheet->press("Done"));
    EXPECT_FALSE(view.showing.get());
    runUntilIdle();
    EXPECT_FALSE(host->isSheetPresented()) << "the presenting host saw its flag cleared";
    ASSERT_TRUE(host->press("Feedback"));
    runUntilIdle();
    EXPECT_NE(host->presentedSheet(), sheet);
}
