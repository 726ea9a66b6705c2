#include <cmath>

#include "platform/foundation/RunLoop.h"
#include "platform/uikit/ScreenRotation.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIStoryboard.h"
#include "platform/uikit/UIWindow.h"
#include "settings/AppCatalogue.h"
#include "settings/CardGallery.h"
#include "settings/InfoScenes.h"
#include "tests/support/PlatformTest.h"

namespace quillora::test {

using namespace platform;

namespace {
// A context of the test's own making, for the animator alone.
std::shared_ptr<UIViewControllerContextTransitioning> contextWith(std::shared_ptr<UIView> container,
                                                                  std::shared_ptr<UIView> from,
                                                                  std::shared_ptr<UIView> to,
                                                                  bool* completed) {
    return std::make_shared<UIViewControllerContextTransitioning>(std::move(container), nullptr, nullptr,
                                                                  std::move(from), std::move(to),
                                                                  [completed](bool ok) { *completed = ok; });
}
} // namespace

class CardGalleryTest : public PlatformTest {
protected:
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>();
    std::shared_ptr<UIStoryboard> board = std::make_shared<UIStoryboard>("Main");
    std::shared_ptr<UINavigationController> nav;

    void SetUp() override {
        PlatformTest::SetUp();
        registerInfoScenes(*board);
    }
    // The gallery as the info hub pushes it, on screen.
    template <class Gallery> std::shared_ptr<Gallery> show(const std::string& identifier) {
        auto gallery =
            std::dynamic_pointer_cast<Gallery>(board->instantiateViewControllerWithIdentifier(identifier));
        nav = UINavigationController::initWithRootViewController(gallery);
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
        runUntilIdle();
        return gallery;
    }
    template <class Gallery> std::shared_ptr<UIImageView> card(Gallery& gallery, long index) {
        auto view = std::dynamic_pointer_cast<UIImageView>(gallery.listView->viewWithTag(index));
        EXPECT_TRUE(view) << "card " << index;
        return view;
    }
};

TEST_F(CardGalleryTest, CardsTakeTheScreensProportionsInAStripBuiltOnce) {
    auto gallery = show<AppViewController1>("AppViewController1");
    ASSERT_EQ(gallery->listView->frame().height(), 300);
    ASSERT_EQ(gallery->listView->subviews().size(), 13u);
    EXPECT_EQ(gallery->listView->tag(), 1000);
    const double w = 399 / (844.0 / 390.0);
    auto first = card(*gallery, 0);
    EXPECT_DOUBLE_EQ(first->frame().height(), 399);
    EXPECT_NEAR(first->frame().width(), 184.37, 0.01);
    EXPECT_NEAR(w, 184.37, 0.01);
    EXPECT_EQ(first->frame().minX(), 10);
    EXPECT_NEAR(card(*gallery, 1)->frame().minX(), 204.37, 0.01);
    EXPECT_NEAR(gallery->listView->contentSize().width, 2536.84, 0.01);
    EXPECT_EQ(gallery->listView->contentSize().height, 0);
    EXPECT_EQ(first->layer().cornerRadius, 20);
    EXPECT_TRUE(first->layer().masksToBounds);
    EXPECT_EQ(first->contentMode(), UIViewContentMode::ScaleAspectFill);
    EXPECT_EQ(first->image()->name(), "first_step.jpg");

    // Another appearance (back from a pushed screen) builds nothing more and moves nothing.
    const CGRect before = card(*gallery, 12)->frame();
    nav->pushViewController_animated(std::make_shared<UIViewController>(), false);
    nav->popViewControllerAnimated(false);
    EXPECT_EQ(gallery->listView->subviews().size(), 13u);
    EXPECT_EQ(card(*gallery, 12)->frame(), before);

    auto promotion = show<AppViewController>("AppViewController");
    EXPECT_EQ(promotion->listView->subviews().size(), 7u);
    EXPECT_NEAR(promotion->listView->contentSize().width, 1370.60, 0.01);
    EXPECT_EQ(card(*promotion, 0)->image()->name(), std::string(settings::catalogueBundle.picture));
}

TEST_F(CardGalleryTest, TurningTheScreenFadesTheBackgroundAndLaysTheCardsOutAgain) {
    auto gallery = show<AppViewController>("AppViewController");
    ASSERT_TRUE(rotateScreen(UIInterfaceOrientation::Landscape));
    EXPECT_DOUBLE_EQ(gallery->bgImage->alpha(), 0.25);
    // In landscape a card of the same height is wider: 399 / (390 / 844).
    EXPECT_NEAR(card(*gallery, 0)->frame().width(), 399 / (390.0 / 844.0), 0.01);
    EXPECT_EQ(gallery->listView->subviews().size(), 7u) << "the rotation makes no views";
    ASSERT_TRUE(rotateScreen(UIInterfaceOrientation::Portrait));
    EXPECT_DOUBLE_EQ(gallery->bgImage->alpha(), 0.55);
    EXPECT_NEAR(card(*gallery, 0)->frame().width(), 184.37, 0.01);
}

TEST_F(CardGalleryTest, ARotationBeforeTheCardsExistMovesNothing) {
    auto gallery = std::dynamic_pointer_cast<AppViewController>(
        board->instantiateViewControllerWithIdentifier("AppViewController"));
    gallery->view(); // loaded but not yet shown: no cards
    const CGRect strip = gallery->listView->frame();
    auto coordinator = std::make_shared<UIViewControllerTransitionCoordinator>(0.3);
    gallery->viewWillTransitionToSize_withTransitionCoordinator({844, 390}, *coordinator);
    coordinator->run();
    EXPECT_EQ(gallery->listView->frame(), strip) << "tag 0 is the strip itself until the cards exist";
    EXPECT_TRUE(gallery->listView->subviews().empty());
    EXPECT_DOUBLE_EQ(gallery->bgImage->alpha(), 0.25);
}

TEST_F(CardGalleryTest, ATappedCardZoomsIntoItsDetailAndStaysHiddenUntilTheDetailHasShrunkBack) {
    auto gallery = show<AppViewController1>("AppViewController1");
    gallery->listView->userScrollTo({150, 0});
    auto fourth = card(*gallery, 3);
    ASSERT_TRUE(userTapView(*fourth));
    auto detail = std::dynamic_pointer_cast<HerbDetailsViewController1>(gallery->presentedViewController());
    ASSERT_TRUE(detail);
    EXPECT_TRUE(fourth->isHidden());
    // The card's frame in the window, scrolled by 150 points.
    const CGRect cardFrame = gallery->listView->convertRect_toView(fourth->frame(), nullptr);
    EXPECT_NEAR(cardFrame.minX(), 3 * 184.37 + 40 - 150, 0.01);
    EXPECT_EQ(gallery->transition->originFrame, cardFrame);
    EXPECT_EQ(detail->titleView->text(), "SAVE YOUR WORK");
    EXPECT_EQ(detail->descriptionView->text(), "Click 'YES' if you wish to save your WORK");
    EXPECT_EQ(detail->bgImage->image()->name(), "fourth_step.jpg");

    // Both buttons of a help card open the tutorial video.
    detail->licenseButton->tap();
    detail->authorButton->tap();
    EXPECT_EQ(UIApplication::sharedApplication().openedURLs(),
              (std::vector<std::string>(2, std::string(settings::tutorialVideoPage))));

    advance(1.0);
    ASSERT_TRUE(userTapView(*detail->view())) << "a tap on the background closes the detail";
    EXPECT_TRUE(fourth->isHidden());
    advance(0.5);
    EXPECT_TRUE(fourth->isHidden()) << "hidden while the detail shrinks back";
    EXPECT_EQ(gallery->presentedViewController(), detail);
    advance(0.51);
    EXPECT_FALSE(fourth->isHidden());
    EXPECT_EQ(gallery->presentedViewController(), nullptr);
    EXPECT_EQ(nav->view()->superview(), window) << "the gallery's screen is back in the window";
}

TEST_F(CardGalleryTest, ATapOutsideTheCardsOrOnAPromotionCardWithoutAStoryboardOpensNothing) {
    auto gallery = show<AppViewController>("AppViewController");
    auto stray = std::make_shared<UIImageView>(CGRect(0, 0, 10, 10));
    stray->setTag(42);
    gallery->listView->addSubview(stray);
    stray->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(
        gallery, "didTapImageView",
        [](AppViewController& g, UIGestureRecognizer& tap) { g.didTapImageView(tap); }));
    EXPECT_TRUE(userTapView(*stray));
    EXPECT_EQ(gallery->presentedViewController(), nullptr) << "a tag outside the list opens nothing";

    auto loose = std::make_shared<AppViewController>();
    loose->listView = std::make_shared<UIScrollView>(CGRect(0, 0, 390, 300));
    auto other = UINavigationController::initWithRootViewController(loose);
    window->setRootViewController(other);
    runUntilIdle();
    takeConsole();
    ASSERT_TRUE(userTapView(*card(*loose, 1)));
    EXPECT_EQ(loose->presentedViewController(), nullptr);
    EXPECT_EQ(takeConsole(),
              (std::vector<std::string>{"The gallery's storyboard has no scene HerbDetailsViewController"}));

    // A detail without its card shows nothing but can still be closed; a link that makes no URL
    // opens nothing.
    auto empty = std::dynamic_pointer_cast<HerbDetailsViewController>(
        board->instantiateViewControllerWithIdentifier("HerbDetailsViewController"));
    empty->view();
    empty->viewWillAppear(false);
    EXPECT_EQ(empty->titleView->text(), "");
    EXPECT_EQ(empty->view()->gestureRecognizers().size(), 1u);
    empty->actionLicense();
    empty->herb = HerbModel{"Broken", "none.jpg", "not a link", "", ""};
    empty->actionLicense();
    empty->actionAuthor();
    EXPECT_TRUE(UIApplication::sharedApplication().openedURLs().empty());

    // A promotion card's buttons open its store page.
    HerbDetailsViewController detail;
    detail.herb = herbList()[2];
    detail.actionLicense();
    detail.actionAuthor();
    EXPECT_EQ(UIApplication::sharedApplication().openedURLs(),
              (std::vector<std::string>(2, herbList()[2].Appstore_Link)));
}

TEST_F(CardGalleryTest, TheZoomStartsOnTheCardSpringsToTheScreenAndShrinksBackInOneSecondEach) {
    auto container = std::make_shared<UIView>(CGRect(0, 0, 390, 844));
    auto detail = std::make_shared<UIView>(CGRect(0, 0, 390, 844));
    auto gallery = std::make_shared<UIView>(CGRect(0, 0, 390, 844));
    PopAnimator animator;
    EXPECT_EQ(animator.transitionDuration(nullptr), 1.0);
    animator.originFrame = CGRect(10, 100, 184, 399);
    int dismissals = 0;
    animator.dismissCompletion = [&] { ++dismissals; };
    auto keep = std::shared_ptr<PopAnimator>(&animator, [](PopAnimator*) {});

    bool completed = false;
    const double start = RunLoop::main().now();
    animator.animateTransition(contextWith(container, nullptr, detail, &completed));
    EXPECT_EQ(detail->superview(), container);
    EXPECT_TRUE(detail->clipsToBounds());
    const UIViewPresentation first = detail->presentationAt(start);
    EXPECT_NEAR(first.transform.a, 184.0 / 390, 1e-4);
    EXPECT_NEAR(first.transform.d, 399.0 / 844, 1e-4);
    EXPECT_EQ(first.frame.midX(), 102);
    EXPECT_EQ(first.frame.midY(), 299.5);
    double largest = 0;
    for (int frame = 1; frame < 60; ++frame)
        largest = std::max(largest, detail->presentationAt(start + frame / 60.0).transform.a);
    EXPECT_GT(largest, 1.05) << "the spring overshoots the full size";
    EXPECT_EQ(detail->center(), (CGPoint{195, 422}));
    EXPECT_TRUE(detail->transform().isIdentity());
    advance(0.99);
    EXPECT_FALSE(completed);
    advance(0.02);
    EXPECT_TRUE(completed);
    EXPECT_EQ(dismissals, 0) << "a presentation runs no dismissal completion";

    completed = false;
    animator.presenting = false;
    animator.animateTransition(contextWith(container, detail, gallery, &completed));
    EXPECT_EQ(container->subviews().back(), detail) << "the shrinking view stays in front";
    EXPECT_EQ(detail->center(), (CGPoint{102, 299.5}));
    EXPECT_NEAR(detail->transform().a, 184.0 / 390, 1e-4);
    advance(0.99);
    EXPECT_EQ(dismissals, 0);
    EXPECT_FALSE(completed);
    advance(0.02);
    EXPECT_EQ(dismissals, 1);
    EXPECT_TRUE(completed);

    // A context without its views completes at once and unanimated, and a card left hidden by a
    // dismissal is shown again.
    completed = false;
    animator.animateTransition(contextWith(container, nullptr, nullptr, &completed));
    EXPECT_TRUE(completed);
    EXPECT_EQ(dismissals, 2);
    completed = false;
    animator.presenting = true;
    animator.animateTransition(contextWith(nullptr, nullptr, detail, &completed));
    EXPECT_TRUE(completed);
}

TEST_F(CardGalleryTest, TheCardListsHoldTheirCardsWithBothLinksEqual) {
    ASSERT_EQ(herbList().size(), 7u);
    ASSERT_EQ(herbList1().size(), 13u);
    EXPECT_EQ(herbList()[0].name, std::string(settings::catalogueBundle.name));
    for (const auto& card : herbList()) {
        EXPECT_EQ(card.Appstore_Link, card.buyApp);
        EXPECT_TRUE(card.Appstore_Link.starts_with("https://quillora.app/")) << card.Appstore_Link;
    }
    for (const auto& card : herbList1())
        EXPECT_EQ(card.Video_Link, card.Video);
    EXPECT_EQ(herbList1()[8].image, "nineth_step.jpg");
    EXPECT_EQ(herbList1()[9].image, "eleventh.jpg");
    EXPECT_EQ(herbList1()[5].description,
              "Press 'Refresh' button at start of Recording to Erase unwanted text ");
}

} // namespace quillora::test
