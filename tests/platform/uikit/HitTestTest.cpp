#include <memory>

#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

namespace {
class HitTestTest : public quillora::test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        window = std::make_shared<UIWindow>();
        root = std::make_shared<Screen>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
    }

    class Screen : public UIViewController {
    public:
        int taps = 0;
        void tapped() { ++taps; }
    };

    std::shared_ptr<UIButton> button(const CGRect& frame) {
        auto b = UIButton::buttonWithType(UIButtonType::System);
        b->setFrame(frame);
        b->addTarget(
            root, "tapped", [](Screen& s) { s.tapped(); }, UIControlEvent::TouchUpInside);
        root->view()->addSubview(b);
        return b;
    }

    void touch(CGPoint down, CGPoint up) {
        ScreenRenderer::sendTouch(UITouchPhase::Began, down, 0);
        ScreenRenderer::sendTouch(UITouchPhase::Moved, up, 0.05);
        ScreenRenderer::sendTouch(UITouchPhase::Ended, up, 0.1);
    }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<Screen> root;
};

TEST_F(HitTestTest, ViewsThatCannotBeSeenOrUsedNeverTakeATouch) {
    auto hidden = button({10, 100, 100, 40});
    hidden->setHidden(true);
    auto faded = button({10, 200, 100, 40});
    faded->setAlpha(0.005);
    auto inert = button({10, 400, 100, 40});
    inert->setUserInteractionEnabled(false);
    // A hidden container hides its subviews from touches too.
    auto container = std::make_shared<UIView>(CGRect{200, 100, 150, 150});
    root->view()->addSubview(container);
    auto inside = UIButton::buttonWithType(UIButtonType::System);
    inside->setFrame({10, 10, 50, 50});
    container->addSubview(inside);
    container->setHidden(true);

    for (CGPoint p : {CGPoint{50, 120}, CGPoint{50, 220}, CGPoint{50, 420}, CGPoint{230, 130}}) {
        auto hit = ScreenRenderer::hitTest(p);
        EXPECT_EQ(hit, root->view()) << p.x << "," << p.y;
        touch(p, p);
    }
    EXPECT_EQ(root->taps, 0);
    // Alpha just at the threshold still takes touches.
    faded->setAlpha(0.01);
    EXPECT_EQ(ScreenRenderer::hitTest({50, 220}), faded);
}

// A disabled control is still there under the finger: it takes the touch, shows no pressed look
// and does nothing, and what lies behind it (a button, the screen's tap gesture) hears nothing.
TEST_F(HitTestTest, ADisabledControlTakesTheTouchesThatLandOnItAndPassesNoneOn) {
    root->view()->addGestureRecognizer(
        std::make_shared<UITapGestureRecognizer>(root, "tapped", [](Screen& s) { s.tapped(); }));
    auto behind = button({10, 100, 200, 60});
    auto disabled = button({0, 90, 300, 100});
    disabled->setEnabled(false);
    for (CGPoint p : {CGPoint{50, 130}, CGPoint{250, 170}}) {
        EXPECT_EQ(ScreenRenderer::hitTest(p), disabled) << p.x << "," << p.y;
        ScreenRenderer::sendTouch(UITouchPhase::Began, p, 0);
        EXPECT_FALSE(disabled->isHighlighted());
        ScreenRenderer::sendTouch(UITouchPhase::Moved, {p.x + 1, p.y}, 0.05);
        EXPECT_FALSE(disabled->isHighlighted());
        ScreenRenderer::sendTouch(UITouchPhase::Ended, {p.x + 1, p.y}, 0.1);
    }
    EXPECT_EQ(root->taps, 0) << "the touch went on to what lies behind";
    touch({250, 300}, {250, 300});
    EXPECT_EQ(root->taps, 1) << "beside it the screen's gesture hears the tap";
    disabled->setEnabled(true);
    touch({50, 130}, {50, 130});
    EXPECT_EQ(root->taps, 2);
}

TEST_F(HitTestTest, TheFrontMostViewWinsAndCoveredControlsGetNothing) {
    auto below = button({10, 100, 200, 60});
    auto cover = std::make_shared<UIView>(CGRect{0, 90, 100, 80});
    root->view()->addSubview(cover);
    EXPECT_EQ(ScreenRenderer::hitTest({50, 130}), cover);
    EXPECT_EQ(ScreenRenderer::hitTest({150, 130}), below);
    touch({50, 130}, {50, 130});
    EXPECT_EQ(root->taps, 0);
    touch({150, 130}, {150, 130});
    EXPECT_EQ(root->taps, 1);
    // Bringing the button to the front uncovers it.
    root->view()->bringSubviewToFront(below);
    EXPECT_EQ(ScreenRenderer::hitTest({50, 130}), below);
}

TEST_F(HitTestTest, TouchUpInsideOnlyWhenReleasedInsideAndPressedLookWhileHeld) {
    auto b = button({100, 100, 100, 40});
    ScreenRenderer::sendTouch(UITouchPhase::Began, {150, 120}, 0);
    EXPECT_TRUE(b->isHighlighted());
    ScreenRenderer::sendTouch(UITouchPhase::Moved, {150, 400}, 0.1);
    EXPECT_FALSE(b->isHighlighted());
    ScreenRenderer::sendTouch(UITouchPhase::Ended, {150, 400}, 0.2);
    EXPECT_EQ(root->taps, 0);
    // Dragged away and back in before lifting: a drag, which taps nothing.
    ScreenRenderer::sendTouch(UITouchPhase::Began, {150, 120}, 1);
    ScreenRenderer::sendTouch(UITouchPhase::Moved, {150, 400}, 1.1);
    ScreenRenderer::sendTouch(UITouchPhase::Moved, {160, 125}, 1.2);
    EXPECT_FALSE(b->isHighlighted());
    ScreenRenderer::sendTouch(UITouchPhase::Ended, {160, 125}, 1.3);
    EXPECT_EQ(root->taps, 0);
    // A finger that wobbles within the slop still taps.
    ScreenRenderer::sendTouch(UITouchPhase::Began, {150, 120}, 1.5);
    ScreenRenderer::sendTouch(UITouchPhase::Moved, {156, 126}, 1.6);
    EXPECT_TRUE(b->isHighlighted());
    ScreenRenderer::sendTouch(UITouchPhase::Ended, {156, 126}, 1.7);
    EXPECT_FALSE(b->isHighlighted());
    EXPECT_EQ(root->taps, 1);
    // A touch outside every control does nothing.
    touch({5, 800}, {5, 800});
    EXPECT_EQ(root->taps, 1);
    // Phases without a touch that began are ignored.
    ScreenRenderer::sendTouch(UITouchPhase::Ended, {150, 120}, 2);
    EXPECT_EQ(root->taps, 1);
}

TEST_F(HitTestTest, TransformedAndScrolledViewsConvertPointsBothWays) {
    auto parent = std::make_shared<UIView>(CGRect{100, 200, 100, 100});
    root->view()->addSubview(parent);
    auto child = std::make_shared<UIView>(CGRect{10, 20, 30, 40});
    parent->addSubview(child);
    EXPECT_EQ(child->convertPoint_toView({0, 0}, nullptr), (CGPoint{110, 220}));
    EXPECT_EQ(child->convertPoint_fromView({110, 220}, nullptr), (CGPoint{0, 0}));
    // A scrolled parent moves its content up.
    parent->setBounds({0, 15, 100, 100});
    EXPECT_EQ(child->convertPoint_toView({0, 0}, nullptr), (CGPoint{110, 205}));
    EXPECT_EQ(ScreenRenderer::hitTest({115, 210}), child);
    // A transform turns about the centre: a half-size parent keeps its centre at (150, 250).
    parent->setBounds({0, 0, 100, 100});
    parent->setTransform(CGAffineTransformMakeScale(0.5, 0.5));
    const CGPoint corner = parent->convertPoint_toView({0, 0}, nullptr);
    EXPECT_DOUBLE_EQ(corner.x, 125);
    EXPECT_DOUBLE_EQ(corner.y, 225);
    const CGRect r = child->convertRect_toView(child->bounds(), root->view().get());
    EXPECT_DOUBLE_EQ(r.minX(), 130);
    EXPECT_DOUBLE_EQ(r.width(), 15);
    EXPECT_EQ(ScreenRenderer::hitTest({110, 210}), root->view());
    // A clipping view hides (and so keeps from touches) what sticks out of it.
    parent->setTransform(CGAffineTransformIdentity);
    auto outside = std::make_shared<UIView>(CGRect{120, 0, 30, 30});
    parent->addSubview(outside);
    EXPECT_EQ(ScreenRenderer::hitTest({230, 210}), outside);
    parent->setClipsToBounds(true);
    EXPECT_EQ(ScreenRenderer::hitTest({230, 210}), root->view());
}

} // namespace

namespace {
class LayoutPassTest : public quillora::test::PlatformTest {};

TEST_F(LayoutPassTest, ConstraintsGiveFramesAgainstTheSuperviewItsSafeAreaAndSiblings) {
    auto window = std::make_shared<UIWindow>();
    auto root = std::make_shared<UIViewController>();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    auto view = root->view();
    // Pinned to the sides and above the safe area's bottom, with a fixed height.
    auto picker = std::make_shared<UIView>();
    picker->setTranslatesAutoresizingMaskIntoConstraints(false);
    view->addSubview(picker);
    NSLayoutConstraint::activateConstraints({
        picker->leadingAnchor().constraintEqualToAnchor(view->leadingAnchor(), 2),
        picker->trailingAnchor().constraintEqualToAnchor(view->trailingAnchor(), -2),
        picker->bottomAnchor().constraintEqualToAnchor(view->safeAreaLayoutGuide()->bottomAnchor(), -10),
        picker->heightAnchor().constraintEqualToConstant(50),
    });
    // Written from the container's side, kept by the container: only the bottom edge moves.
    auto text = std::make_shared<UIView>(CGRect{16, 100, 358, 500});
    text->setTranslatesAutoresizingMaskIntoConstraints(false);
    view->addSubview(text);
    auto bottom = view->bottomAnchor().constraintEqualToAnchor(text->bottomAnchor(), 40);
    bottom->setActive(true);
    // Centred under a sibling, half its width.
    auto badge = std::make_shared<UIView>();
    badge->setTranslatesAutoresizingMaskIntoConstraints(false);
    view->addSubview(badge);
    view->addConstraint(badge->topAnchor().constraintEqualToAnchor(picker->topAnchor(), -30));
    view->addConstraint(badge->centerXAnchor().constraintEqualToAnchor(picker->centerXAnchor()));
    view->addConstraint(badge->widthAnchor().constraintEqualToAnchor_multiplier(picker->widthAnchor(), 0.5));
    view->addConstraint(badge->heightAnchor().constraintEqualToConstant(20));
    // A view laid out by its frame keeps it, whatever records it has.
    auto framed = std::make_shared<UIView>(CGRect{1, 2, 3, 4});
    view->addSubview(framed);
    framed->widthAnchor().constraintEqualToConstant(100)->setActive(true);

    ScreenRenderer::layout();
    EXPECT_EQ(picker->frame(), CGRect(2, 844 - 34 - 10 - 50, 386, 50));
    EXPECT_EQ(text->frame(), CGRect(16, 100, 358, 844 - 40 - 100));
    EXPECT_EQ(badge->frame(), CGRect(195 - 96.5, 750 - 30, 193, 20));
    EXPECT_EQ(framed->frame(), CGRect(1, 2, 3, 4));
    // The keyboard rises: the constant grows and the next pass follows.
    bottom->constant = 40 + 336;
    ScreenRenderer::layout();
    EXPECT_EQ(text->frame().maxY(), 844 - 376);
}
} // namespace
