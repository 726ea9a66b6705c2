// Segmented controls (picks by code, by script and by finger; the look), and text views' input
// accessory bars with the keyboard staying up while the focus moves between text views.

#include <cairo.h>

#include <memory>

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UISegmentedControl.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

namespace {

class Screen : public UIViewController {
public:
    int changes = 0;
    int taps = 0;
};

class ControlsOnScreenTest : public quillora::test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        window = std::make_shared<UIWindow>();
        screen = std::make_shared<Screen>();
        window->setRootViewController(screen);
        window->makeKeyAndVisible();
    }
    void touch(CGPoint at) {
        ScreenRenderer::sendTouch(UITouchPhase::Began, at, 0);
        ScreenRenderer::sendTouch(UITouchPhase::Ended, at, 0.1);
    }
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<Screen> screen;
};

} // namespace

TEST_F(ControlsOnScreenTest, ASegmentedControlSendsValueChangedOnlyForANewPickOfAUsableSegment) {
    auto control = UISegmentedControl::initWithItems({"Dictation", "Notes", "Recipe"});
    control->setFrame({60, 30, 240, 32});
    control->addTarget(
        screen, "changed", [](Screen& s) { ++s.changes; }, UIControlEvent::ValueChanged);
    screen->view()->addSubview(control);
    EXPECT_EQ(control->selectedSegmentIndex(), UISegmentedControl::UISegmentedControlNoSegment);

    control->setSelectedSegmentIndex(1);
    EXPECT_EQ(screen->changes, 0) << "a pick from code sends nothing";
    control->setSelectedSegmentIndex(7);
    EXPECT_EQ(control->selectedSegmentIndex(), 1) << "no such segment";
    EXPECT_TRUE(control->userSelectSegment(1));
    EXPECT_EQ(screen->changes, 0) << "the selected one again";
    EXPECT_TRUE(control->userSelectSegment(0));
    EXPECT_EQ(screen->changes, 1);

    control->setEnabled_forSegmentAtIndex(false, 2);
    EXPECT_FALSE(control->userSelectSegment(2));
    EXPECT_FALSE(control->userSelectSegment(3));
    EXPECT_EQ(control->selectedSegmentIndex(), 0);
    EXPECT_EQ(control->stateDescription(), "segments=[Dictation]|Notes|Recipe(disabled)");
    EXPECT_EQ(control->indexOfSegmentWithTitle("Notes"), 1);
    EXPECT_FALSE(control->indexOfSegmentWithTitle("notes"));

    // A finger: each third of the width is one segment; the disabled one takes no pick.
    touch({60 + 80 + 40, 46});
    EXPECT_EQ(control->selectedSegmentIndex(), 1);
    EXPECT_EQ(screen->changes, 2);
    touch({60 + 160 + 40, 46});
    EXPECT_EQ(control->selectedSegmentIndex(), 1);
    control->setEnabled(false);
    EXPECT_FALSE(control->userSelectSegment(0));
    touch({70, 46});
    EXPECT_EQ(control->selectedSegmentIndex(), 1);
    EXPECT_EQ(screen->changes, 2);
}

TEST_F(ControlsOnScreenTest, TheSelectedSegmentIsDrawnRaisedOnTheTrack) {
    auto control = UISegmentedControl::initWithItems({"One", "Two"});
    control->setFrame({0, 0, 200, 32});
    control->setSelectedSegmentIndex(1);
    auto surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 200, 32);
    auto cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    control->draw(cr);
    cairo_surface_flush(surface);
    auto pixel = [&](int x, int y) {
        auto data = cairo_image_surface_get_data(surface);
        auto stride = cairo_image_surface_get_stride(surface);
        return reinterpret_cast<std::uint32_t*>(data + y * stride)[x] & 0xFFFFFF;
    };
    EXPECT_EQ(pixel(105, 5), 0xFFFFFFu) << "the selected segment is white";
    EXPECT_NE(pixel(95, 5), 0xFFFFFFu) << "the track is grey";
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

TEST_F(ControlsOnScreenTest, AnAccessoryBarStandsOnTheKeyboardOnlyWhileItsTextViewHasTheFocus) {
    int hides = 0, shows = 0;
    auto& center = NSNotificationCenter::defaultCenter();
    auto counter = std::make_shared<int>(0);
    center.addObserver(counter, UIKeyboardWillHideNotification, [&](const NSNotification&) { ++hides; });
    center.addObserver(counter, UIKeyboardWillShowNotification, [&](const NSNotification&) { ++shows; });

    auto first = std::make_shared<UITextView>(CGRect{0, 100, 390, 100});
    auto second = std::make_shared<UITextView>(CGRect{0, 300, 390, 100});
    screen->view()->addSubview(first);
    screen->view()->addSubview(second);
    auto bar = std::make_shared<UIView>(CGRect{0, 0, 390, 44});
    auto button = UIButton::buttonWithType(UIButtonType::System);
    button->setFrame({10, 2, 60, 40});
    button->addTarget(
        screen, "tapped", [](Screen& s) { ++s.taps; }, UIControlEvent::TouchUpInside);
    bar->addSubview(button);
    second->setInputAccessoryView(bar);
    EXPECT_FALSE(button->tap()) << "no keyboard, no bar";
    EXPECT_TRUE(button->isHiddenOnScreen());
    EXPECT_EQ(button->stateDescription().find("off-screen") != std::string::npos, true);

    ASSERT_TRUE(first->becomeFirstResponder());
    EXPECT_EQ(shows, 1);
    EXPECT_FALSE(button->tap()) << "another text view has the keyboard";
    ASSERT_TRUE(second->becomeFirstResponder());
    EXPECT_EQ(hides, 0) << "the keyboard stays up while the focus moves";
    EXPECT_EQ(shows, 2);
    EXPECT_EQ(bar->window(), window);
    EXPECT_EQ(bar->frame(), (CGRect{0, 844 - 336 - 44, 390, 44}));
    EXPECT_TRUE(button->tap());
    touch({40, 844 - 336 - 44 + 20});
    EXPECT_EQ(screen->taps, 2) << "a finger reaches it too";

    ASSERT_TRUE(second->resignFirstResponder());
    EXPECT_EQ(hides, 1);
    EXPECT_FALSE(bar->superview());
    EXPECT_FALSE(button->tap());
    EXPECT_EQ(screen->taps, 2);
    center.removeObserver(counter.get());
}

TEST_F(ControlsOnScreenTest, AFocusRefusedAfterTheOldViewLetGoHidesTheKeyboard) {
    class Refusing : public UITextViewDelegate {
    public:
        bool textViewShouldBeginEditing(UITextView&) override { return false; }
    };
    int hides = 0;
    auto counter = std::make_shared<int>(0);
    NSNotificationCenter::defaultCenter().addObserver(counter, UIKeyboardWillHideNotification,
                                                      [&](const NSNotification&) { ++hides; });
    auto first = std::make_shared<UITextView>(CGRect{0, 100, 390, 100});
    auto second = std::make_shared<UITextView>(CGRect{0, 300, 390, 100});
    auto refusing = std::make_shared<Refusing>();
    second->setDelegate(refusing);
    screen->view()->addSubview(first);
    screen->view()->addSubview(second);
    ASSERT_TRUE(first->becomeFirstResponder());
    EXPECT_FALSE(second->becomeFirstResponder());
    EXPECT_FALSE(UIResponder::currentFirstResponder());
    EXPECT_EQ(hides, 1) << "nobody holds the keyboard";
    NSNotificationCenter::defaultCenter().removeObserver(counter.get());
}
