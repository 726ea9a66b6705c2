// Touches on declarative trees: what a point reaches in a laid-out tree, and what the hosting
// view does with a person's touches on it.
#include <memory>
#include <string>

#include "platform/swiftui/HostingView.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/swiftui/ViewLayout.h"
#include "tests/platform/swiftui/FixedWidthText.h"
#include "tests/support/PlatformTest.h"

using namespace platform::swiftui;
using platform::CGPoint;
using platform::CGRect;
using platform::UITouch;
using platform::UITouchPhase;

namespace {

struct Root {
    AnyView content;
    AnyView body() const { return content; }
};

CGPoint centre(const CGRect& r) {
    return {r.midX(), r.midY()};
}

class DeclarativeHitTest : public quillora::test::PlatformTest {
protected:
    const ViewLayout& layOut(AnyView view) {
        host = ViewHost::make(Root{std::move(view)});
        layout = std::make_unique<ViewLayout>(host->tree(), platform::CGSize{200, 200}, text);
        return *layout;
    }
    // What a touch at the point reaches: the label of the control, "tap" for a gesture, "" for nothing.
    std::string reach(CGPoint p) const {
        auto hit = layout->hitTest(p);
        if (!hit) return "";
        return hit->target == LayoutHit::Target::tapGesture ? "tap" : hit->node->label();
    }
    CGRect frameOf(const std::string& label) const {
        const LayoutBox* b = layout->controlBox(label);
        EXPECT_TRUE(b) << label;
        return b ? b->frame : CGRect();
    }

    quillora::test::FixedWidthText text;
    std::shared_ptr<ViewHost> host;
    std::unique_ptr<ViewLayout> layout;
};

} // namespace

TEST_F(DeclarativeHitTest, ATouchReachesTheEnabledControlUnderItAndNothingElse) {
    layOut(VStack({Button("Go", [] {}), Button("Stop", [] {}).disabled(true), Text("label")}));
    CGRect go = frameOf("Go");
    EXPECT_EQ(reach(centre(go)), "Go");
    EXPECT_EQ(reach({go.minX() - 1, go.midY()}), "") << "just outside the button";
    EXPECT_EQ(reach(centre(frameOf("Stop"))), "") << "a disabled button takes no touch";
    EXPECT_EQ(reach({5, 5}), "") << "outside every control";
    EXPECT_EQ(reach({-5, 300}), "") << "outside the view";

    // The padding applied around a button is not the button: only its label is.
    layOut(Button("Pad", [] {}).padding(30));
    CGRect pad = frameOf("Pad");
    EXPECT_EQ(reach({pad.minX() - 10, pad.midY()}), "");
    EXPECT_EQ(reach(centre(pad)), "Pad");
}

// A settings row is a button whose label spreads over the row with a spacer: in a list the blank
// between its title and its chevron is as much the row as the title; outside a list it is nothing.
TEST_F(DeclarativeHitTest, AButtonThatIsAListRowTakesTouchesOnItsBlankPartsToo) {
    auto row = [] { return Button(AnyView(HStack({Text("Feedback"), Spacer(), Text(">")})), [] {}); };
    auto blankBetween = [&] {
        const LayoutBox* title = layout->viewBox(host->tree().findText("Feedback")->path);
        const LayoutBox* chevron = layout->viewBox(host->tree().findText(">")->path);
        return CGPoint{(title->frame.maxX() + chevron->frame.minX()) / 2, title->frame.midY()};
    };
    auto reachesButton = [&](CGPoint p) {
        auto hit = layout->hitTest(p);
        return hit && hit->node->kind == "Button";
    };
    layOut(List({row()}));
    EXPECT_TRUE(reachesButton(blankBetween())) << "the blank middle of a list row";
    layOut(VStack({row()}));
    EXPECT_FALSE(reachesButton(blankBetween())) << "a button on its own takes only what it draws";
}

TEST_F(DeclarativeHitTest, ViewsInFrontCoverControlsUnlessTheyDrawNothingThere) {
    // An opaque colour over the button takes the touch away from it; a clear one does not.
    layOut(ZStack({Button(Text("Under").frame(80, 40), [] {}), AnyView(Color::red()).frame(80, 40)}));
    EXPECT_EQ(reach({100, 100}), "");
    layOut(ZStack({Button(Text("Under").frame(80, 40), [] {}), AnyView(Color::clear()).frame(80, 40)}));
    EXPECT_EQ(reach({100, 100}), "Under");
    // A stroked outline overlaid on a button lets touches inside it through to the button.
    layOut(
        Button(Text("Word").frame(80, 40), [] {}).overlay(RoundedRectangle(10).stroke(Color::purple(), 1)));
    EXPECT_EQ(reach({100, 100}), "Word");
    // Fully transparent views take no touch.
    layOut(Button(Text("Ghost").frame(80, 40), [] {}).opacity(0));
    EXPECT_EQ(reach({100, 100}), "");
}

TEST_F(DeclarativeHitTest, ShapesWithTapGesturesTakeTouchesOnlyInsideTheirPathAndAsScaled) {
    // A disc of radius 50 at the centre of a 100x100 frame, enlarged twice about its centre.
    layOut(Circle().fill(Color::blue()).onTapGesture([] {}).frame(100, 100));
    EXPECT_EQ(reach({100, 100}), "tap");
    EXPECT_EQ(reach({55, 55}), "") << "inside the frame, outside the disc";
    layOut(Circle().fill(Color::blue()).onTapGesture([] {}).scaleEffect(2).frame(100, 100));
    EXPECT_EQ(reach({100, 100 - 90}), "tap") << "the enlarged disc reaches beyond its frame";
    EXPECT_EQ(reach({100, 100 - 99 - 2}), "");
}

namespace {

struct Panel {
    State<int> taps{0};
    State<std::string> name{""};
    State<bool> lights{false};
    State<std::string> colour{"Red"};
    State<int> size{3};
    auto states() { return std::tie(taps, name, lights, colour, size); }
    AnyView body() const {
        auto self = *this;
        return VStack({
            Text("taps " + std::to_string(taps.get())),
            Button("Tap", [self] { self.taps.set(self.taps.get() + 1); }),
            TextField("Name", name.binding()),
            Toggle("Lights", lights.binding()),
            Picker("Colour", colour.binding(), {"Red", "Green", "Blue"}),
            Stepper(
                Text("Size " + std::to_string(size.get())), [self] { self.size.set(self.size.get() + 1); },
                [self] { self.size.set(self.size.get() - 1); }),
        });
    }
};

class HostingViewTest : public quillora::test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        controller = std::make_shared<UIHostingController>(Panel{});
        view = std::dynamic_pointer_cast<HostingView>(controller->view());
        ASSERT_TRUE(view);
        view->setFrame({0, 0, 390, 844});
    }
    const Node& tree() { return controller->host()->tree(); }
    CGPoint at(const std::string& label) {
        const LayoutBox* b = view->layout().controlBox(label);
        EXPECT_TRUE(b) << label;
        return b ? centre(b->frame) : CGPoint{};
    }
    void touch(UITouchPhase phase, CGPoint p) {
        UITouch t{p, view, 0, phase};
        switch (phase) {
        case UITouchPhase::Began:
            view->touchesBegan(t);
            break;
        case UITouchPhase::Moved:
            view->touchesMoved(t);
            break;
        case UITouchPhase::Ended:
            view->touchesEnded(t);
            break;
        case UITouchPhase::Cancelled:
            view->touchesCancelled(t);
            break;
        }
        runUntilIdle();
    }
    void tap(CGPoint p) {
        touch(UITouchPhase::Began, p);
        touch(UITouchPhase::Ended, p);
    }
    bool held(const std::string& label) {
        const Node* b = tree().findControl(label);
        return b && controller->host()->isPressed(b->path);
    }

    std::shared_ptr<UIHostingController> controller;
    std::shared_ptr<HostingView> view;
};

} // namespace

TEST_F(HostingViewTest, AButtonIsHeldWhileTheFingerIsOverItAndActsOnlyWhenLiftedThere) {
    CGPoint button = at("Tap");
    EXPECT_EQ(view->hitTest(button), view) << "the hosting view takes the touches of its tree";
    touch(UITouchPhase::Began, button);
    EXPECT_TRUE(held("Tap"));
    EXPECT_TRUE(tree().findText("taps 0")) << "nothing happens on the way down";
    touch(UITouchPhase::Ended, button);
    EXPECT_FALSE(held("Tap"));
    EXPECT_TRUE(tree().findText("taps 1"));

    // Dragged off: let go without acting; dragged back: held again.
    touch(UITouchPhase::Began, button);
    touch(UITouchPhase::Moved, {button.x + 3, button.y + 60});
    EXPECT_FALSE(held("Tap"));
    touch(UITouchPhase::Moved, button);
    EXPECT_TRUE(held("Tap"));
    touch(UITouchPhase::Moved, {button.x + 3, button.y + 60});
    touch(UITouchPhase::Ended, {button.x + 3, button.y + 60});
    EXPECT_TRUE(tree().findText("taps 1")) << "lifted outside: no action";

    touch(UITouchPhase::Began, button);
    touch(UITouchPhase::Cancelled, button);
    EXPECT_FALSE(held("Tap"));
    EXPECT_TRUE(tree().findText("taps 1"));

    tap({5, 5});
    EXPECT_TRUE(tree().findText("taps 1")) << "a touch outside every control does nothing";
}

TEST_F(HostingViewTest, AFieldTakesTheFocusForTypingAndLosesItToATouchElsewhere) {
    EXPECT_FALSE(view->insertText("x")) << "no field has the focus";
    tap(at("Name"));
    ASSERT_EQ(view->focusedPath(), tree().findControl("Name")->path);
    EXPECT_TRUE(view->isFirstResponder());
    // The keyboard reaches it as the first responder's key input.
    auto keys =
        std::dynamic_pointer_cast<platform::UIKeyInput>(platform::UIResponder::currentFirstResponder());
    ASSERT_TRUE(keys);
    EXPECT_TRUE(keys->insertText("Ann"));
    EXPECT_TRUE(view->insertText("é🙂"));
    runUntilIdle();
    EXPECT_EQ(tree().findControl("Name")->getText(), "Anné🙂");
    EXPECT_TRUE(view->deleteBackward());
    EXPECT_TRUE(view->deleteBackward());
    EXPECT_EQ(tree().findControl("Name")->getText(), "Ann") << "whole characters are taken away";
    tap({5, 5});
    EXPECT_EQ(view->focusedPath(), "");
    EXPECT_FALSE(view->isFirstResponder());
}

TEST_F(HostingViewTest, TogglesFlipPickersOfferTheirOptionsAndSteppersStep) {
    tap(at("Lights"));
    EXPECT_TRUE(tree().findControl("Lights")->isOn());
    tap(at("Lights"));
    EXPECT_FALSE(tree().findControl("Lights")->isOn());

    tap(at("Colour"));
    ASSERT_EQ(view->openPickerPath(), tree().findControl("Colour")->path);
    auto options = ViewRenderer::pickerOptionRects(*view->layout().controlBox("Colour"), view->bounds().size);
    ASSERT_EQ(options.size(), 3u);
    tap(centre(options[2]));
    EXPECT_EQ(view->openPickerPath(), "");
    EXPECT_EQ(tree().findControl("Colour")->getText(), "Blue");
    tap(at("Colour"));
    tap({5, 5});
    EXPECT_EQ(tree().findControl("Colour")->getText(), "Blue")
        << "a touch beside the options only closes them";

    ASSERT_TRUE(view->layout().controlBox("Size 3"));
    // The layout is made anew after every change: keep the frame, not the box.
    CGRect stepper = view->layout().controlBox("Size 3")->frame;
    tap({stepper.maxX() - 20, stepper.midY()});
    EXPECT_TRUE(tree().findText("Size 4"));
    tap({stepper.maxX() - 75, stepper.midY()});
    tap({stepper.maxX() - 75, stepper.midY()});
    EXPECT_TRUE(tree().findText("Size 2"));
}

namespace {
struct LongList {
    State<int> taps{0};
    auto states() { return std::tie(taps); }
    AnyView body() const {
        auto self = *this;
        std::vector<AnyView> rows;
        for (int i = 0; i < 40; ++i)
            rows.push_back(
                Button("Row " + std::to_string(i), [self] { self.taps.set(self.taps.get() + 1); }));
        return ScrollView(VStack(std::move(rows)));
    }
};
} // namespace

TEST(HostingViewScrollTest, ADragScrollsTheContentAndLetsGoOfTheButtonItStartedOn) {
    auto controller = std::make_shared<UIHostingController>(LongList{});
    auto view = std::dynamic_pointer_cast<HostingView>(controller->view());
    ASSERT_TRUE(view);
    view->setFrame({0, 0, 390, 400});
    // The tree is rebuilt by every press: keep the row's place, not its node.
    const std::string row = controller->host()->tree().findControl("Row 3")->path;
    double before = view->layout().viewBox(row)->frame.minY();
    CGPoint start = centre(view->layout().viewBox(row)->frame);
    auto send = [&](UITouchPhase phase, CGPoint p) {
        UITouch t{p, view, 0, phase};
        if (phase == UITouchPhase::Began) view->touchesBegan(t);
        if (phase == UITouchPhase::Moved) view->touchesMoved(t);
        if (phase == UITouchPhase::Ended) view->touchesEnded(t);
    };
    send(UITouchPhase::Began, start);
    EXPECT_TRUE(controller->host()->isPressed(row));
    send(UITouchPhase::Moved, {start.x, start.y - 30});
    send(UITouchPhase::Moved, {start.x, start.y - 100});
    send(UITouchPhase::Ended, {start.x, start.y - 100});
    EXPECT_FALSE(controller->host()->isPressed(row));
    EXPECT_EQ(view->layout().viewBox(row)->frame.minY(), before - 100) << "the content follows the finger";
    EXPECT_FALSE(controller->host()->tree().findText("Row 0")->text().empty());
    // The wheel scrolls as far as the content goes and no further.
    EXPECT_TRUE(view->scrollBy(start, {0, 100000}));
    const std::string last = controller->host()->tree().findControl("Row 39")->path;
    EXPECT_LE(view->layout().viewBox(last)->frame.maxY(), 400);
    EXPECT_GT(view->layout().viewBox(last)->frame.maxY(), 380);
}

namespace {
struct Notepad {
    State<std::string> notes{""};
    auto states() { return std::tie(notes); }
    AnyView body() const {
        return TextEditor(notes.binding(), "Notes").frame(FrameOptions{{}, 60, {}, {}, {}, {}});
    }
};
} // namespace

TEST(HostingViewEditorTest, TypingPastTheEndOfAnEditorScrollsItsTextToTheCaret) {
    auto controller = std::make_shared<UIHostingController>(Notepad{});
    auto view = std::dynamic_pointer_cast<HostingView>(controller->view());
    ASSERT_TRUE(view);
    view->setFrame({0, 0, 300, 300});
    auto editorBox = [&] {
        return *view->layout().viewBox(controller->host()->tree().findKind("TextEditor")->path);
    };
    CGPoint inside = centre(editorBox().frame);
    UITouch t{inside, view, 0, UITouchPhase::Began};
    view->touchesBegan(t);
    view->touchesEnded(t);
    ASSERT_FALSE(view->focusedPath().empty());
    EXPECT_TRUE(view->insertText("one line"));
    EXPECT_EQ(editorBox().contentOffset.y, 0) << "a short text is shown from its top";
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(view->insertText("\nanother line"));
    LayoutBox box = editorBox();
    EXPECT_GT(box.contentSize.height, box.frame.height());
    EXPECT_NEAR(box.contentOffset.y, box.contentSize.height - box.frame.height(), 1) << "scrolled to the end";
    // A drag scrolls it back.
    EXPECT_TRUE(view->scrollBy(inside, {0, -1000}));
    EXPECT_EQ(editorBox().contentOffset.y, 0);
}
