#include "platform/foundation/RunLoop.h"
#include "platform/uikit/ScreenRotation.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

namespace quillora::test {

using namespace platform;

namespace {
using Log = std::vector<std::string>;

class Screen : public UIViewController {
public:
    Screen(std::string name, Log* log) : name_(std::move(name)), log_(log) {}
    void viewWillAppear(bool) override { log_->push_back(name_ + " will appear"); }
    void viewDidAppear(bool) override { log_->push_back(name_ + " did appear"); }
    void viewWillDisappear(bool) override { log_->push_back(name_ + " will disappear"); }
    void viewDidDisappear(bool) override { log_->push_back(name_ + " did disappear"); }
    void
    viewWillTransitionToSize_withTransitionCoordinator(CGSize size,
                                                       UIViewControllerTransitionCoordinator& c) override {
        log_->push_back(name_ + " to " + std::to_string(int(size.width)) + "x" +
                        std::to_string(int(size.height)));
        c.animateAlongsideTransition_completion([this](auto&) { log_->push_back(name_ + " alongside"); },
                                                [this](auto&) { log_->push_back(name_ + " rotated"); });
    }

private:
    std::string name_;
    Log* log_;
};

// An animator that keeps the context so that the test decides when the transition ends, and a
// delegate that hands it out.
class HeldAnimator : public NSObject,
                     public UIViewControllerAnimatedTransitioning,
                     public UIViewControllerTransitioningDelegate {
public:
    std::shared_ptr<UIViewControllerContextTransitioning> context;
    bool moveToViewAway = false;
    double transitionDuration(const std::shared_ptr<UIViewControllerContextTransitioning>&) override {
        return 1;
    }
    void animateTransition(const std::shared_ptr<UIViewControllerContextTransitioning>& c) override {
        context = c;
        // Animators put the to-view into the container, as the platform expects of them.
        if (auto to = c->viewForKey(UITransitionContextToViewKey)) c->containerView()->addSubview(to);
    }
    std::shared_ptr<UIViewControllerAnimatedTransitioning>
    animationControllerForPresentedController_presentingController_sourceController(
        const std::shared_ptr<UIViewController>&, const std::shared_ptr<UIViewController>&,
        const std::shared_ptr<UIViewController>&) override {
        return std::static_pointer_cast<UIViewControllerAnimatedTransitioning>(self<HeldAnimator>());
    }
    std::shared_ptr<UIViewControllerAnimatedTransitioning>
    animationControllerForDismissedController(const std::shared_ptr<UIViewController>&) override {
        return std::static_pointer_cast<UIViewControllerAnimatedTransitioning>(self<HeldAnimator>());
    }
};
} // namespace

class CustomTransitionTest : public PlatformTest {
protected:
    Log log;
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>();
};

TEST_F(CustomTransitionTest, APresentationWaitsForItsAnimatorAndAFullScreenDismissalPutsThePresenterBack) {
    auto base = std::make_shared<Screen>("base", &log);
    window->setRootViewController(base);
    window->makeKeyAndVisible();
    auto detail = std::make_shared<Screen>("detail", &log);
    detail->setModalPresentationStyle(UIModalPresentationStyle::FullScreen);
    auto animator = std::make_shared<HeldAnimator>();
    detail->setTransitioningDelegate(
        std::static_pointer_cast<UIViewControllerTransitioningDelegate>(animator));
    log.clear();

    bool presented = false;
    base->presentViewController_animated_completion(detail, true, [&] { presented = true; });
    ASSERT_TRUE(animator->context);
    EXPECT_EQ(animator->context->viewForKey(UITransitionContextToViewKey), detail->view());
    EXPECT_EQ(animator->context->viewForKey(UITransitionContextFromViewKey), base->view());
    EXPECT_EQ(log, (Log{"base will disappear", "detail will appear"}));
    runUntilIdle();
    EXPECT_FALSE(presented) << "nothing completes before the animator says so";
    animator->context->completeTransition(true);
    EXPECT_TRUE(presented);
    EXPECT_EQ(log.back(), "base did disappear");
    EXPECT_EQ(base->presentedViewController(), detail);
    log.clear();

    // The dismissal's animator takes the presenter's view into its container; it goes back.
    animator->context.reset();
    bool dismissed = false;
    detail->dismissViewControllerAnimated_completion(true, [&] { dismissed = true; });
    ASSERT_TRUE(animator->context);
    EXPECT_EQ(animator->context->viewForKey(UITransitionContextFromViewKey), detail->view());
    EXPECT_EQ(base->view()->superview(), animator->context->containerView());
    EXPECT_EQ(base->presentedViewController(), detail) << "still presented while the dismissal runs";
    animator->context->completeTransition(true);
    EXPECT_TRUE(dismissed);
    EXPECT_EQ(base->view()->superview(), window);
    EXPECT_EQ(base->view()->frame(), window->bounds());
    EXPECT_EQ(base->presentedViewController(), nullptr);
    EXPECT_FALSE(detail->view()->superview());
    EXPECT_EQ(log,
              (Log{"detail will disappear", "base will appear", "detail did disappear", "base did appear"}));
}

TEST_F(CustomTransitionTest, AGivenUpPresentationLeavesNothingPresentedAndAReportCountsOnce) {
    auto base = std::make_shared<Screen>("base", &log);
    window->setRootViewController(base);
    window->makeKeyAndVisible();
    auto detail = std::make_shared<Screen>("detail", &log);
    detail->setModalPresentationStyle(UIModalPresentationStyle::FullScreen);
    auto animator = std::make_shared<HeldAnimator>();
    detail->setTransitioningDelegate(
        std::static_pointer_cast<UIViewControllerTransitioningDelegate>(animator));
    base->presentViewController_animated_completion(detail, true, nullptr);
    auto other = std::make_shared<Screen>("other", &log);
    base->presentViewController_animated_completion(other, true, nullptr);
    EXPECT_EQ(base->presentedViewController(), detail) << "no second presentation while one is in progress";
    animator->context->completeTransition(false);
    animator->context->completeTransition(true);
    EXPECT_EQ(base->presentedViewController(), nullptr);
    EXPECT_EQ(base->appearance(), UIViewControllerAppearance::Appeared);
    EXPECT_EQ(detail->appearance(), UIViewControllerAppearance::Disappeared);
}

TEST_F(CustomTransitionTest, ASpringOvershootsAndSettlesWhileTheViewAlreadyHoldsItsEndState) {
    auto view = std::make_shared<UIView>(CGRect(0, 0, 100, 100));
    bool done = false;
    UIView::
        animateWithDuration_delay_usingSpringWithDamping_initialSpringVelocity_options_animations_completion(
            1.0, 0, 0.4, 0, 0,
            [&] {
                view->setCenter({250, 50});
            },
            [&](bool finished) { done = finished; });
    EXPECT_EQ(view->center(), (CGPoint{250, 50})) << "the model takes the end state at once";
    double furthest = 0;
    for (int frame = 1; frame < 60; ++frame) {
        const double x = view->presentationAt(frame / 60.0).frame.midX();
        furthest = std::max(furthest, x);
    }
    EXPECT_GT(furthest, 270) << "a damping of 0.4 swings past the end";
    EXPECT_NEAR(view->presentationAt(0.98).frame.midX(), 250, 1.5) << "and has settled by the end";
    EXPECT_EQ(view->presentationAt(0).frame.midX(), 50);
    advance(0.99);
    EXPECT_FALSE(done);
    advance(0.02);
    EXPECT_TRUE(done);

    // Critically damped, with a start speed: no swing past the end.
    UIView::
        animateWithDuration_delay_usingSpringWithDamping_initialSpringVelocity_options_animations_completion(
            0.5, 0, 1.0, 2, 0, [&] { view->setAlpha(0); }, nullptr);
    const double now = RunLoop::main().now();
    for (int frame = 0; frame <= 30; ++frame)
        EXPECT_GE(view->presentationAt(now + frame / 60.0).alpha, 0);
}

TEST_F(CustomTransitionTest, RotationSwapsTheScreenResizesTheShownScreensAndRunsTheirWorkAlongside) {
    auto base = std::make_shared<Screen>("base", &log);
    window->setRootViewController(base);
    window->makeKeyAndVisible();
    auto sheet = std::make_shared<Screen>("sheet", &log);
    base->presentViewController_animated_completion(sheet, true, nullptr);
    runUntilIdle();
    log.clear();

    EXPECT_TRUE(rotateScreen(UIInterfaceOrientation::Landscape));
    EXPECT_EQ(UIScreen::mainScreen().bounds(), CGRect(0, 0, 844, 390));
    EXPECT_EQ(base->view()->frame(), CGRect(0, 0, 844, 390));
    // The sheet keeps its place below the top and reaches the turned screen's bottom edge.
    EXPECT_EQ(sheet->view()->bounds().width(), 844);
    EXPECT_EQ(sheet->view()->frame().maxY(), 390);
    EXPECT_EQ(log, (Log{"base to 844x390", "sheet to 844x390", "base alongside", "sheet alongside"}));
    EXPECT_FALSE(rotateScreen(UIInterfaceOrientation::Landscape)) << "already turned";
    advance(0.3);
    EXPECT_EQ(log.back(), "sheet rotated");
    EXPECT_TRUE(rotateScreen(UIInterfaceOrientation::Portrait));
    EXPECT_EQ(UIScreen::mainScreen().bounds(), CGRect(0, 0, 390, 844));
}

TEST_F(CustomTransitionTest, AShareSheetOffersALinkAsALink) {
    auto url = NSURL::URLWithString("https://quillora.app/store/quillora");
    ASSERT_TRUE(url);
    auto sheet =
        UIActivityViewController::initWithActivityItems_applicationActivities({std::string("Try it "), *url});
    ASSERT_EQ(sheet->activityItems().size(), 2u);
    EXPECT_EQ(std::get<NSURL>(sheet->activityItems()[1]).absoluteString(),
              "https://quillora.app/store/quillora");
    std::vector<std::string> lines;
    sheet->describeScreen(lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"UIActivityViewController", "  item text \"Try it \"",
                                               "  item link \"https://quillora.app/store/quillora\""}));
}

} // namespace quillora::test
