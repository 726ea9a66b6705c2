#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIStoryboard.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using Log = std::vector<std::string>;

namespace {
class Screen : public UIViewController {
public:
    Screen(std::string name, std::shared_ptr<Log> log) : name_(std::move(name)), log_(std::move(log)) {}
    void viewDidLoad() override { log_->push_back(name_ + ".viewDidLoad"); }
    void viewWillAppear(bool) override { log_->push_back(name_ + ".viewWillAppear"); }
    void viewDidAppear(bool) override { log_->push_back(name_ + ".viewDidAppear"); }
    void viewWillDisappear(bool) override { log_->push_back(name_ + ".viewWillDisappear"); }
    void viewDidDisappear(bool) override { log_->push_back(name_ + ".viewDidDisappear"); }
    void prepareForSegue_sender(UIStoryboardSegue& segue, const std::shared_ptr<NSObject>& sender) override {
        log_->push_back(name_ + ".prepare " + segue.identifier() + " " +
                        segue.sourceViewController()->className() +
                        (segue.destinationViewController()->isViewLoaded() ? " loaded" : " not-loaded") +
                        (sender ? " with-sender" : ""));
    }

private:
    std::string name_;
    std::shared_ptr<Log> log_;
};

class ViewControllerTest : public quillora::test::PlatformTest {
protected:
    std::shared_ptr<Log> log = std::make_shared<Log>();
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>();

    std::shared_ptr<Screen> screen(const std::string& name) { return std::make_shared<Screen>(name, log); }
    std::shared_ptr<UINavigationController> showInNavigation(const std::shared_ptr<UIViewController>& root) {
        auto nav = UINavigationController::initWithRootViewController(root);
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
        return nav;
    }
    Log take() {
        Log out = *log;
        log->clear();
        return out;
    }
};
} // namespace

TEST_F(ViewControllerTest, PushAndPopCallAppearanceInThePlatformsOrder) {
    auto a = screen("A");
    auto nav = showInNavigation(a);
    EXPECT_EQ(take(), (Log{"A.viewDidLoad", "A.viewWillAppear", "A.viewDidAppear"}));

    auto b = screen("B");
    nav->pushViewController_animated(b, true);
    EXPECT_EQ(take(), (Log{"B.viewDidLoad", "A.viewWillDisappear", "B.viewWillAppear", "A.viewDidDisappear",
                           "B.viewDidAppear"}));
    EXPECT_EQ(nav->topViewController(), b);
    EXPECT_EQ(b->navigationController(), nav);
    EXPECT_TRUE(b->view()->isDescendantOfView(window.get()));
    EXPECT_FALSE(a->view()->isDescendantOfView(window.get()));

    // The leaving screen hands its state back before the revealed screen reads it.
    EXPECT_EQ(nav->popViewControllerAnimated(true), b);
    EXPECT_EQ(take(),
              (Log{"B.viewWillDisappear", "A.viewWillAppear", "B.viewDidDisappear", "A.viewDidAppear"}));
    EXPECT_EQ(b->navigationController(), nullptr);
    EXPECT_EQ(nav->popViewControllerAnimated(true), nullptr) << "the root is never popped";
    EXPECT_TRUE(take().empty());

    // Screens pushed while the stack is off screen load only when they are shown.
    auto hidden = UINavigationController::initWithRootViewController(screen("C"));
    hidden->pushViewController_animated(screen("D"), false);
    EXPECT_TRUE(take().empty());
}

TEST_F(ViewControllerTest, PresentAndDismissCoverThePresenterOnlyWhenFullScreen) {
    auto a = screen("A");
    auto nav = showInNavigation(a);
    take();

    // A sheet leaves the screen below in place: it gets no callbacks.
    auto sheet = screen("Sheet");
    bool presented = false;
    a->presentViewController_animated_completion(sheet, true, [&] { presented = true; });
    EXPECT_EQ(take(), (Log{"Sheet.viewDidLoad", "Sheet.viewWillAppear", "Sheet.viewDidAppear"}));
    EXPECT_FALSE(presented) << "completion runs once the transition is over";
    runUntilIdle();
    EXPECT_TRUE(presented);
    EXPECT_EQ(a->presentedViewController(), sheet);
    EXPECT_EQ(sheet->presentingViewController(), nav);

    sheet->dismissViewControllerAnimated_completion(true, nullptr);
    EXPECT_EQ(take(), (Log{"Sheet.viewWillDisappear", "Sheet.viewDidDisappear"}));
    EXPECT_EQ(a->presentedViewController(), nullptr);

    auto full = screen("Full");
    full->setModalPresentationStyle(UIModalPresentationStyle::FullScreen);
    a->presentViewController_animated_completion(full, false, nullptr);
    EXPECT_EQ(take(), (Log{"Full.viewDidLoad", "A.viewWillDisappear", "Full.viewWillAppear",
                           "Full.viewDidAppear", "A.viewDidDisappear"}));
    a->dismissViewControllerAnimated_completion(false, nullptr);
    EXPECT_EQ(take(), (Log{"Full.viewWillDisappear", "A.viewWillAppear", "Full.viewDidDisappear",
                           "A.viewDidAppear"}));
}

TEST_F(ViewControllerTest, PresentingWhilePresentingIsRefusedWithAWarning) {
    auto a = screen("A");
    showInNavigation(a);
    auto first = screen("First");
    a->presentViewController_animated_completion(first, true, nullptr);
    take();

    auto second = screen("Second");
    bool called = false;
    a->presentViewController_animated_completion(second, true, [&] { called = true; });
    runUntilIdle();
    EXPECT_FALSE(called);
    EXPECT_FALSE(second->isViewLoaded());
    EXPECT_EQ(a->presentedViewController(), first);
    EXPECT_TRUE(
        consoleHas("Warning: Attempt to present <Screen> on <UINavigationController> which is already "
                   "presenting <Screen>"));

    // The presented screen itself may present on top of it, and dismissing the lower one takes both.
    first->presentViewController_animated_completion(second, true, nullptr);
    EXPECT_EQ(first->presentedViewController(), second);
    take();
    a->dismissViewControllerAnimated_completion(false, nullptr);
    EXPECT_EQ(a->presentedViewController(), nullptr);
    EXPECT_EQ(second->appearance(), UIViewControllerAppearance::Disappeared);
    EXPECT_EQ(first->appearance(), UIViewControllerAppearance::Disappeared);

    // A screen that is not in a window cannot present.
    auto loose = screen("Loose");
    loose->presentViewController_animated_completion(screen("X"), false, nullptr);
    EXPECT_EQ(loose->presentedViewController(), nullptr);
}

TEST_F(ViewControllerTest, AlertActionPressedByTitleDismissesThenRunsItsHandler) {
    auto a = screen("A");
    showInNavigation(a);
    take();
    auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        "Title", "Please Select Font", UIAlertControllerStyle::ActionSheet);
    std::vector<std::string> handled;
    std::shared_ptr<UIViewController> presentedDuringHandler = a;
    alert->addAction(UIAlertAction::actionWithTitle_style_handler(
        "Font size 16", UIAlertActionStyle::Default, [&](UIAlertAction& action) {
            handled.push_back(*action.title());
            presentedDuringHandler = a->presentedViewController();
        }));
    alert->addAction(
        UIAlertAction::actionWithTitle_style_handler("Dismiss", UIAlertActionStyle::Cancel, nullptr));
    EXPECT_EQ(alert->popoverPresentationController(), nullptr)
        << "a phone shows action sheets from the bottom";
    a->presentViewController_animated_completion(alert, true, nullptr);
    ASSERT_EQ(a->presentedViewController(), alert);

    EXPECT_FALSE(alert->pressActionWithTitle("Font size 99"));
    EXPECT_EQ(a->presentedViewController(), alert);
    EXPECT_TRUE(alert->pressActionWithTitle("Font size 16"));
    EXPECT_EQ(handled, (std::vector<std::string>{"Font size 16"}));
    EXPECT_EQ(presentedDuringHandler, nullptr) << "the alert is gone before the handler runs";
    EXPECT_EQ(take(), (Log{})) << "an alert over the screen does not make it disappear";
}

TEST_F(ViewControllerTest, SheetsBecomeAnchoredPopoversOnAPad) {
    UIDevice::currentDevice().setUserInterfaceIdiom(UIUserInterfaceIdiom::Pad);
    auto a = screen("A");
    showInNavigation(a);
    auto share = UIActivityViewController::initWithActivityItems_applicationActivities({std::string("text")});
    auto popover = share->popoverPresentationController();
    ASSERT_NE(popover, nullptr);

    a->presentViewController_animated_completion(share, true, nullptr);
    EXPECT_EQ(a->presentedViewController(), nullptr) << "a popover without an anchor is refused";

    popover->sourceView = a->view();
    popover->sourceRect = CGRect(195, 422, 0, 0);
    popover->permittedArrowDirections = UIPopoverArrowDirections::None;
    a->presentViewController_animated_completion(share, true, nullptr);
    EXPECT_EQ(a->presentedViewController(), share);

    std::optional<std::string> chosen;
    share->setExcludedActivityTypes({UIActivityTypePrint});
    share->setCompletionWithItemsHandler(
        [&](const std::optional<UIActivityType>& type, bool) { chosen = type; });
    EXPECT_FALSE(share->userCompleteWithActivity(UIActivityTypePrint));
    EXPECT_FALSE(share->userCompleteWithActivity(UIActivityTypeMail)) << "nothing here provides mail";
    EXPECT_TRUE(share->userCompleteWithActivity(UIActivityTypeCopyToPasteboard));
    EXPECT_EQ(chosen, UIActivityTypeCopyToPasteboard);
    EXPECT_EQ(a->presentedViewController(), nullptr);
}

TEST_F(ViewControllerTest, SegueCallsPrepareBeforeTheDestinationLoadsThenPushes) {
    auto board = std::make_shared<UIStoryboard>("Main");
    board->registerScene("List", [this] { return screen("List"); });
    board->registerScene("Detail", [this] { return screen("Detail"); });
    board->setInitialScene("List");
    board->registerSegue("List", "showDetail", "Detail");
    auto list = board->instantiateInitialViewController();
    auto nav = showInNavigation(list);
    take();

    list->performSegueWithIdentifier_sender("showDetail", list->view());
    Log events = take();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), "List.prepare showDetail Screen not-loaded with-sender");
    EXPECT_EQ(events[1], "Detail.viewDidLoad");
    auto detail = nav->topViewController();
    ASSERT_EQ(nav->viewControllers().size(), 2u);
    EXPECT_EQ(detail->storyboard(), board);
    EXPECT_EQ(detail->storyboardIdentifier(), "Detail");
    EXPECT_NE(board->instantiateViewControllerWithIdentifier("Detail"), detail)
        << "each instantiation is a new screen";
    EXPECT_DEATH(list->performSegueWithIdentifier_sender("nowhere", nullptr),
                 "has no segue with identifier 'nowhere'");
}

TEST_F(ViewControllerTest, LifeEventsArePostedInOrderAndMoveTheScenes) {
    auto& app = UIApplication::sharedApplication();
    auto scene = app.connectSceneIfNeeded();
    app.simulateBecomeActive();
    EXPECT_EQ(scene->activationState(), UISceneActivationState::ForegroundActive);

    auto observer = std::make_shared<int>(0);
    std::vector<std::string> posted;
    NSNotificationCenter::defaultCenter().addObserver(
        observer, "", [&](const NSNotification& n) { posted.push_back(n.name); });
    app.simulateEnterBackground();
    EXPECT_EQ(scene->activationState(), UISceneActivationState::Background);
    app.simulateBecomeActive();
    app.simulateResignActive();
    app.simulateResignActive();
    app.simulateTerminate();
    EXPECT_EQ(posted,
              (std::vector<std::string>{
                  UIApplicationWillResignActiveNotification, UIApplicationDidEnterBackgroundNotification,
                  UIApplicationWillEnterForegroundNotification, UIApplicationDidBecomeActiveNotification,
                  UIApplicationWillResignActiveNotification, UIApplicationWillTerminateNotification}));
    EXPECT_TRUE(app.isTerminated());
}

TEST_F(ViewControllerTest, JumpsInTheStackOnlyTellTheScreensThatLeaveOrComeIntoView) {
    auto a = screen("A");
    auto nav = showInNavigation(a);
    auto b = screen("B");
    auto c = screen("C");
    nav->pushViewController_animated(b, false);
    nav->pushViewController_animated(c, false);
    take();

    auto popped = nav->popToRootViewControllerAnimated(true);
    EXPECT_EQ(popped, (std::vector<std::shared_ptr<UIViewController>>{b, c}));
    EXPECT_EQ(take(),
              (Log{"C.viewWillDisappear", "A.viewWillAppear", "C.viewDidDisappear", "A.viewDidAppear"}));
    EXPECT_EQ(b->parentViewController(), nullptr);

    auto d = screen("D");
    nav->setViewControllers_animated({a, d}, false);
    EXPECT_EQ(take(), (Log{"D.viewDidLoad", "A.viewWillDisappear", "D.viewWillAppear", "A.viewDidDisappear",
                           "D.viewDidAppear"}));
    EXPECT_EQ(nav->popToViewController_animated(b, false).size(), 0u) << "not in the stack";
    EXPECT_DEATH(nav->pushViewController_animated(d, false), "more than once");

    // A screen that a sheet covers keeps its place in the stack and its appearance.
    auto sheet = screen("Sheet");
    d->presentViewController_animated_completion(sheet, false, nullptr);
    EXPECT_EQ(nav->visibleViewController(), sheet);
    EXPECT_EQ(d->appearance(), UIViewControllerAppearance::Appeared);

    // Children of a shown screen follow its appearance.
    auto child = screen("Child");
    a->addChildViewController(child);
    nav->popViewControllerAnimated(false);
    Log events = take();
    EXPECT_NE(std::find(events.begin(), events.end(), "Child.viewWillAppear"), events.end());
    EXPECT_EQ(child->parentViewController(), a);
    EXPECT_EQ(child->navigationController(), nav);
}
