#include "platform/foundation/NSBundle.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIStoryboard.h"
#include "platform/uikit/UIWindow.h"
#include "settings/AppCatalogue.h"
#include "settings/HerbModel.h"
#include "settings/InfoScenes.h"
#include "settings/StepPage.h"
#include "settings/StepPager.h"
#include "tests/support/PlatformTest.h"

namespace quillora::test {

using namespace platform;

class PagerScreensTest : public PlatformTest {
protected:
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>();
    std::shared_ptr<UIViewController> base = std::make_shared<UIViewController>();

    void SetUp() override {
        PlatformTest::SetUp();
        window->setRootViewController(base);
        window->makeKeyAndVisible();
    }
    // Presents the pager as the info hub does and lets the presentation settle.
    template <class Pager> std::shared_ptr<Pager> present() {
        auto pager = std::make_shared<Pager>();
        pager->setModalPresentationStyle(UIModalPresentationStyle::FullScreen);
        base->presentViewController_animated_completion(pager, true, nullptr);
        runUntilIdle();
        return pager;
    }
    static std::string shown(const StepPager& pager) { return pager.viewControllers().front()->className(); }
    void swipe(StepPager& pager, UIPageViewControllerNavigationDirection way, bool complete = true) {
        ASSERT_TRUE(pager.userSwipe(way, complete));
        runUntilIdle();
    }
};

TEST_F(PagerScreensTest, TheTutorialShowsFourteenPagesThatWrapAroundWithTheDotFollowing) {
    auto pager = present<PageViewControllerA>();
    ASSERT_EQ(pager->pages.size(), 14u);
    EXPECT_EQ(pager->pages[12]->className(), "ViewControllerA14") << "there is no page 13";
    EXPECT_EQ(pager->pageControl->numberOfPages(), 14);
    EXPECT_EQ(shown(*pager), "ViewControllerA1");
    EXPECT_EQ(pager->pageControl->currentPage(), 0);
    EXPECT_FALSE(pager->pages[1]->isViewLoaded());

    using D = UIPageViewControllerNavigationDirection;
    swipe(*pager, D::Reverse);
    EXPECT_EQ(shown(*pager), "ViewControllerA15");
    EXPECT_EQ(pager->pageControl->currentPage(), 13);
    swipe(*pager, D::Forward);
    EXPECT_EQ(shown(*pager), "ViewControllerA1");
    EXPECT_EQ(pager->pageControl->currentPage(), 0);
    swipe(*pager, D::Forward);
    swipe(*pager, D::Forward, false);
    EXPECT_EQ(shown(*pager), "ViewControllerA2") << "a swipe given up keeps the page";
    EXPECT_EQ(pager->pageControl->currentPage(), 1) << "and its dot";
    pager->pageControl->tap();
    EXPECT_EQ(shown(*pager), "ViewControllerA2") << "the dots turn no page";

    // A page the pager does not hold has no neighbours.
    auto stranger = std::make_shared<ViewControllerA1>();
    EXPECT_FALSE(pager->pageViewController_viewControllerAfterViewController(*pager, stranger));
    EXPECT_FALSE(pager->pageViewController_viewControllerBeforeViewController(*pager, stranger));
}

TEST_F(PagerScreensTest, OnlyTheFirstFiveTutorialPagesCarryTheVideoButtonWhichOpensTheVideo) {
    auto pager = present<PageViewControllerA>();
    for (std::size_t i = 0; i < pager->pages.size(); ++i) {
        auto page = std::dynamic_pointer_cast<StepPage>(pager->pages[i]);
        page->view();
        EXPECT_EQ(page->button() != nullptr, i < 5) << page->className();
        EXPECT_EQ(page->pictureView()->frame(), CGRect(0, 50, 400, 600));
        EXPECT_TRUE(page->pictureView()->image()) << page->row().picture;
    }
    auto first = std::dynamic_pointer_cast<StepPage>(pager->pages[0]);
    EXPECT_EQ(first->view()->backgroundColor()->name, "yellow");
    EXPECT_EQ(pager->pages[7]->view()->backgroundColor()->name, "black");
    // The button sits 125 points above the screen's bottom, over the picture on a short screen.
    EXPECT_EQ(first->button()->frame(), CGRect(10, 844 - 125, 100, 50));
    EXPECT_EQ(first->view()->subviews().back(), first->button());
    EXPECT_TRUE(first->button()->isSpringLoaded());

    auto& app = UIApplication::sharedApplication();
    std::dynamic_pointer_cast<UIButton>(pager->outletNamed("VideoButton"))->tap();
    ASSERT_EQ(app.openedURLs().size(), 1u);
    EXPECT_EQ(app.openedURLs()[0], std::string(settings::tutorialVideoPage));
    EXPECT_FALSE(pager->outletNamed("DownloadButton"));
}

TEST_F(PagerScreensTest, CancelClosesThePagerWithOneConsoleLine) {
    auto pager = present<PageViewControllerB>();
    EXPECT_EQ(pager->CancelButton->frame(), CGRect(5, 5, 50, 50));
    EXPECT_EQ(pager->view()->subviews().back(), pager->CancelButton);
    EXPECT_TRUE(pager->CancelButton->imageForState(UIControlStates::Normal));
    takeConsole();
    pager->CancelButton->tap();
    runUntilIdle();
    EXPECT_EQ(base->presentedViewController(), nullptr);
    EXPECT_EQ(takeConsole(), (std::vector<std::string>{"Page View Controller got cancelled "}));
}

TEST_F(PagerScreensTest, ThePromotionPagerHoldsSixPagesInItsOwnOrderEachOpeningItsOwnStorePage) {
    auto pager = present<PageViewControllerB>();
    std::vector<std::string> order;
    for (auto& page : pager->pages)
        order.push_back(page->className());
    EXPECT_EQ(order, (std::vector<std::string>{"ViewControllerB1", "ViewControllerB8", "ViewControllerB2",
                                               "ViewControllerB5", "ViewControllerB6", "ViewControllerB7"}));
    EXPECT_EQ(pager->pageControl->numberOfPages(), 6);
    EXPECT_EQ(pager->pages[0]->view()->backgroundColor()->name, "yellow");
    EXPECT_EQ(pager->pages[1]->view()->backgroundColor()->name, "black");
    auto b7 = std::dynamic_pointer_cast<StepPage>(pager->pages[5]);
    b7->view();
    EXPECT_EQ(b7->pictureView()->frame(), CGRect(0, 10, 400, 500));

    std::vector<std::string> links;
    auto& app = UIApplication::sharedApplication();
    for (std::size_t i = 0; i < pager->pages.size(); ++i) {
        auto button = std::dynamic_pointer_cast<UIButton>(pager->outletNamed("DownloadButton"));
        ASSERT_TRUE(button) << shown(*pager);
        EXPECT_TRUE(button->imageForState(UIControlStates::Normal)) << "Download.jpg";
        button->tap();
        swipe(*pager, UIPageViewControllerNavigationDirection::Forward);
    }
    EXPECT_EQ(shown(*pager), "ViewControllerB1") << "forward from the last shows the first";
    links = app.openedURLs();
    ASSERT_EQ(links.size(), 6u);
    EXPECT_EQ(links[0], std::string(settings::catalogueBundle.storeLink));
    std::sort(links.begin(), links.end());
    EXPECT_EQ(std::unique(links.begin(), links.end()), links.end()) << "each page promotes another app";
    // The first page's button belongs to its view only; the others keep theirs as a field.
    EXPECT_EQ(std::dynamic_pointer_cast<StepPage>(pager->pages[0])->row().button, StepPageButton::Local);
    EXPECT_EQ(std::dynamic_pointer_cast<StepPage>(pager->pages[1])->row().button, StepPageButton::Field);
}

TEST_F(PagerScreensTest, EveryPageClassIsASceneAlsoUnderItsModuleNameAndTheStepPagesOfBAreTaller) {
    auto board = std::make_shared<UIStoryboard>("Main");
    registerInfoScenes(*board);
    for (const char* name : {"PageViewControllerA", "PageViewControllerB", "InfoViewController",
                             "secondinfoViewController", "ViewControllerB3", "ViewControllerA15"}) {
        EXPECT_TRUE(board->hasScene(name)) << name;
        EXPECT_TRUE(board->hasScene(std::string("Quillora.") + name)) << name;
    }
    EXPECT_EQ(stepPageClassNames().size(), 28u);
    auto b9 = std::dynamic_pointer_cast<StepPage>(
        board->instantiateViewControllerWithIdentifier("Quillora.ViewControllerB9"));
    ASSERT_TRUE(b9);
    EXPECT_EQ(b9->className(), "ViewControllerB9");
    b9->view();
    EXPECT_EQ(b9->pictureView()->frame(), CGRect(0, 10, 400, 800));
    EXPECT_EQ(b9->pictureView()->image()->name(), "nineth_step.jpeg");
    EXPECT_FALSE(b9->button());
    EXPECT_EQ(board->instantiateViewControllerWithIdentifier("PageViewControllerA")->modalPresentationStyle(),
              UIModalPresentationStyle::FullScreen);
}

TEST_F(PagerScreensTest, EveryPictureThePagesCardsAndButtonsNameIsInTheBundleAndDecodes) {
    std::vector<std::string> names = {"cancelStore.jpg", "Download.jpg",          "videoButton.jpg",
                                      "info.png",        "galleryBackground.jpg", "helpBackground.jpg"};
    for (auto name : stepPageClassNames())
        names.emplace_back(stepPageRow(name).picture);
    for (const auto& card : herbList())
        names.push_back(card.image);
    for (const auto& card : herbList1())
        names.push_back(card.image);
    for (const auto& name : names) {
        auto image = UIImage::imageNamed(name);
        ASSERT_TRUE(image) << name;
        EXPECT_TRUE(image->surface()) << name << " does not decode";
        EXPECT_GE(image->size().width, 72) << name;
    }
}

TEST_F(PagerScreensTest, AMissingPictureLeavesAnEmptyImageViewAndSaysSo) {
    // A bundle that has everything but the first step's picture.
    const auto bundle = home / "bundle";
    std::filesystem::create_directories(bundle);
    for (const auto& entry : std::filesystem::directory_iterator(sourceBundle()))
        if (entry.path().filename() != "first_step.jpeg" && entry.path().filename() != "cancelStore.jpg")
            std::filesystem::copy_file(entry.path(), bundle / entry.path().filename());
    NSBundle::mainBundle().setBundlePath(bundle);
    takeConsole();
    auto pager = present<PageViewControllerA>();
    auto first = std::dynamic_pointer_cast<StepPage>(pager->pages[0]);
    EXPECT_FALSE(first->pictureView()->image());
    EXPECT_EQ(first->pictureView()->frame(), CGRect(0, 50, 400, 600));
    EXPECT_TRUE(consoleHas("The bundle has no picture named first_step.jpeg"));
    // Without its picture the cancel button still closes the pager.
    EXPECT_FALSE(pager->CancelButton->imageForState(UIControlStates::Normal));
    EXPECT_TRUE(pager->CancelButton->tap());
    runUntilIdle();
    EXPECT_EQ(base->presentedViewController(), nullptr);
}

} // namespace quillora::test
