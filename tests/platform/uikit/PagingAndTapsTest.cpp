#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIPageControl.h"
#include "platform/uikit/UIPageViewController.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

namespace quillora::test {

using namespace platform;

namespace {
class Page : public UIViewController {
public:
    explicit Page(std::vector<std::string>* log, std::string name) : log_(log), name_(std::move(name)) {}
    void viewDidLoad() override { log_->push_back(name_ + " loaded"); }
    void viewDidAppear(bool) override { log_->push_back(name_ + " appeared"); }
    void viewDidDisappear(bool) override { log_->push_back(name_ + " disappeared"); }

private:
    std::vector<std::string>* log_;
    std::string name_;
};

// Three pages in a row without wrap-around, and a record of what the delegate heard.
class Pager : public UIPageViewController,
              public UIPageViewControllerDataSource,
              public UIPageViewControllerDelegate {
public:
    std::vector<std::shared_ptr<UIViewController>> pages;
    std::vector<std::string> log;

    std::shared_ptr<UIViewController> at(const std::shared_ptr<UIViewController>& page, long step) {
        auto it = std::find(pages.begin(), pages.end(), page);
        if (it == pages.end()) return nullptr;
        long i = (it - pages.begin()) + step;
        return i < 0 || i >= static_cast<long>(pages.size()) ? nullptr : pages[static_cast<std::size_t>(i)];
    }
    std::shared_ptr<UIViewController> pageViewController_viewControllerBeforeViewController(
        UIPageViewController&, const std::shared_ptr<UIViewController>& p) override {
        return at(p, -1);
    }
    std::shared_ptr<UIViewController> pageViewController_viewControllerAfterViewController(
        UIPageViewController&, const std::shared_ptr<UIViewController>& p) override {
        return at(p, +1);
    }
    void pageViewController_didFinishAnimating_previousViewControllers_transitionCompleted(
        UIPageViewController&, bool finished, const std::vector<std::shared_ptr<UIViewController>>&,
        bool completed) override {
        log.push_back(std::string("finished=") + (finished ? "1" : "0") +
                      " completed=" + (completed ? "1" : "0"));
    }
};
} // namespace

class PagingAndTapsTest : public PlatformTest {
protected:
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>();
};

TEST_F(PagingAndTapsTest, APagerLoadsPagesWhenShownSwipesThroughItsDataSourceAndTellsItsDelegateAfterwards) {
    auto pager = std::make_shared<Pager>();
    for (const char* name : {"one", "two", "three"})
        pager->pages.push_back(std::make_shared<Page>(&pager->log, name));
    pager->setDataSource(std::static_pointer_cast<UIPageViewControllerDataSource>(pager));
    pager->setDelegate(std::static_pointer_cast<UIPageViewControllerDelegate>(pager));
    auto own = std::make_shared<UIButton>();
    pager->view()->addSubview(own);
    pager->setViewControllers_direction_animated_completion(
        {pager->pages[0]}, UIPageViewControllerNavigationDirection::Forward, true, nullptr);
    window->setRootViewController(pager);
    window->makeKeyAndVisible();
    EXPECT_EQ(pager->log, (std::vector<std::string>{"one loaded", "one appeared"}));
    EXPECT_FALSE(pager->pages[1]->isViewLoaded()) << "a page is loaded when it is first shown";
    EXPECT_EQ(pager->view()->subviews().back(), own) << "pages lie under the pager's own views";
    pager->log.clear();

    EXPECT_TRUE(pager->userSwipe(UIPageViewControllerNavigationDirection::Forward));
    EXPECT_EQ(pager->viewControllers().front(), pager->pages[1]);
    EXPECT_EQ(pager->log, (std::vector<std::string>{"two loaded", "one disappeared", "two appeared"}))
        << "the delegate hears nothing before the swipe's animation is over";
    runUntilIdle();
    EXPECT_EQ(pager->log.back(), "finished=1 completed=1");
    EXPECT_FALSE(pager->pages[0]->view()->superview()) << "the page left goes out of the view";
    pager->log.clear();

    // Given up half-way: the page stays and the delegate is told so.
    EXPECT_TRUE(pager->userSwipe(UIPageViewControllerNavigationDirection::Forward, false));
    runUntilIdle();
    EXPECT_EQ(pager->viewControllers().front(), pager->pages[1]);
    EXPECT_EQ(pager->log, (std::vector<std::string>{"finished=1 completed=0"}));

    pager->userSwipe(UIPageViewControllerNavigationDirection::Forward);
    EXPECT_FALSE(pager->userSwipe(UIPageViewControllerNavigationDirection::Forward))
        << "no page after the last: nothing moves";
    EXPECT_EQ(pager->viewControllers().front(), pager->pages[2]);
}

TEST_F(PagingAndTapsTest, InTheWindowADragTurnsThePageAndALiftedFingerIsATap) {
    auto pager = std::make_shared<Pager>();
    for (const char* name : {"one", "two"})
        pager->pages.push_back(std::make_shared<Page>(&pager->log, name));
    pager->setDataSource(std::static_pointer_cast<UIPageViewControllerDataSource>(pager));
    pager->setViewControllers_direction_animated_completion(
        {pager->pages[0]}, UIPageViewControllerNavigationDirection::Forward, false, nullptr);
    window->setRootViewController(pager);
    window->makeKeyAndVisible();
    auto drag = [](double fromX, double toX) {
        ScreenRenderer::sendTouch(UITouchPhase::Began, {fromX, 400}, 0);
        ScreenRenderer::sendTouch(UITouchPhase::Moved, {(fromX + toX) / 2, 400}, 0.1);
        ScreenRenderer::sendTouch(UITouchPhase::Ended, {toX, 400}, 0.2);
    };
    drag(300, 250);
    EXPECT_EQ(pager->viewControllers().front(), pager->pages[0]) << "a short drag is given up";
    drag(300, 100);
    EXPECT_EQ(pager->viewControllers().front(), pager->pages[1]);
    drag(100, 300);
    EXPECT_EQ(pager->viewControllers().front(), pager->pages[0]);

    int taps = 0;
    auto spot = std::make_shared<UIView>(CGRect(20, 20, 60, 60));
    pager->pages[0]->view()->addSubview(spot);
    spot->addGestureRecognizer(
        std::make_shared<UITapGestureRecognizer>(pager, "tapped", [&](Pager&) { ++taps; }));
    ScreenRenderer::sendTouch(UITouchPhase::Began, {50, 50}, 1);
    ScreenRenderer::sendTouch(UITouchPhase::Ended, {52, 51}, 1.1);
    EXPECT_EQ(taps, 1);
    ScreenRenderer::sendTouch(UITouchPhase::Began, {50, 50}, 2);
    ScreenRenderer::sendTouch(UITouchPhase::Ended, {200, 50}, 2.1);
    EXPECT_EQ(taps, 1) << "lifted outside the view: no tap";
}

TEST_F(PagingAndTapsTest, PageControlsHoldTheirPageWithinTheirDots) {
    UIPageControl dots;
    dots.setCurrentPage(3);
    EXPECT_EQ(dots.currentPage(), 0) << "no dots, no page beyond the first";
    dots.setNumberOfPages(6);
    dots.setCurrentPage(9);
    EXPECT_EQ(dots.currentPage(), 5);
    dots.setNumberOfPages(2);
    EXPECT_EQ(dots.currentPage(), 1);
    EXPECT_EQ(dots.stateDescription(), "page 2 of 2");
}

TEST_F(PagingAndTapsTest, AScrolledViewMovesItsContentAndTheWindowCoordinatesFollow) {
    auto root = std::make_shared<UIView>(CGRect(0, 0, 390, 844));
    window->addSubview(root);
    auto strip = std::make_shared<UIScrollView>(CGRect(0, 200, 390, 300));
    root->addSubview(strip);
    auto card = std::make_shared<UIView>(CGRect(400, 0, 184, 399));
    strip->addSubview(card);
    strip->setContentSize({1370.6, 0});

    EXPECT_TRUE(strip->userScrollTo({300, 40}));
    EXPECT_EQ(strip->contentOffset(), (CGPoint{300, 0})) << "no vertical scrolling of a strip with no height";
    EXPECT_EQ(strip->convertRect_toView(card->frame(), nullptr), CGRect(100, 200, 184, 399));
    strip->userScrollTo({5000, 0});
    EXPECT_DOUBLE_EQ(strip->contentOffset().x, 1370.6 - 390);
    strip->userScrollTo({-20, 0});
    EXPECT_EQ(strip->contentOffset().x, 0);

    // A finger dragged across the strip in the window, starting on a card.
    auto screen = std::make_shared<UIViewController>();
    window->setRootViewController(screen);
    window->makeKeyAndVisible();
    screen->view()->addSubview(root);
    ScreenRenderer::sendTouch(UITouchPhase::Began, {250, 300}, 0);
    ScreenRenderer::sendTouch(UITouchPhase::Moved, {200, 300}, 0.1);
    ScreenRenderer::sendTouch(UITouchPhase::Moved, {150, 300}, 0.2);
    ScreenRenderer::sendTouch(UITouchPhase::Ended, {150, 300}, 0.3);
    EXPECT_EQ(strip->contentOffset().x, 100);

    strip->setHidden(true);
    EXPECT_FALSE(strip->userScrollTo({100, 0}));
}

TEST_F(PagingAndTapsTest, ATapReachesTheNearestRecognizerOnlyThroughVisibleViewsThatTakeTouches) {
    auto screen = std::make_shared<UIViewController>();
    window->setRootViewController(screen);
    auto root = screen->view();
    auto card = std::make_shared<UIView>(CGRect(10, 10, 100, 100));
    auto label = std::make_shared<UIView>(CGRect(10, 10, 20, 20));
    root->addSubview(card);
    card->addSubview(label);
    std::vector<std::string> taps;
    card->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(
        screen, "cardTapped", [&](UIViewController&, UIGestureRecognizer& tap) {
            taps.push_back("card at " + std::to_string(int(tap.locationInView(nullptr).x)));
        }));
    root->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(
        screen, "rootTapped", [&](UIViewController&) { taps.push_back("root"); }));

    EXPECT_TRUE(userTapView(*label)) << "a view without a recognizer passes the tap up";
    EXPECT_TRUE(userTapView(*root));
    EXPECT_EQ(taps, (std::vector<std::string>{"card at 30", "root"}));

    card->setHidden(true);
    EXPECT_FALSE(userTapView(*label));
    card->setHidden(false);
    card->setUserInteractionEnabled(false);
    EXPECT_FALSE(userTapView(*card));
    card->setUserInteractionEnabled(true);
    card->gestureRecognizers().front()->setEnabled(false);
    EXPECT_TRUE(userTapView(*card)) << "a disabled recognizer lets the next one take the tap";
    EXPECT_EQ(taps.back(), "root");

    // The recognizer holds its target weakly: a screen that is gone receives nothing.
    auto other = std::make_shared<UIView>(CGRect(0, 0, 10, 10));
    root->addSubview(other);
    {
        auto gone = std::make_shared<UIViewController>();
        other->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(
            gone, "x", [&](UIViewController&) { taps.push_back("gone"); }));
    }
    root->removeGestureRecognizer(root->gestureRecognizers().front());
    EXPECT_FALSE(userTapView(*other));
    EXPECT_NE(taps.back(), "gone");
}

} // namespace quillora::test
