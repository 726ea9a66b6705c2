#include "platform/uikit/UIApplication.h"

#include <algorithm>

#include "platform/foundation/Console.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/DesktopServices.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIStoryboard.h"

namespace platform {

namespace {
std::shared_ptr<UIApplication>& sharedInstance() {
    static std::shared_ptr<UIApplication> app;
    static const bool registered = [] {
        registerSharedInstanceReset([] { sharedInstance().reset(); });
        return true;
    }();
    (void)registered;
    return app;
}

void post(const NSNotificationName& name) {
    NSNotificationCenter::defaultCenter().postNotificationName(name);
}
} // namespace

std::vector<std::shared_ptr<UIWindow>> UIWindowScene::windows() const {
    std::vector<std::shared_ptr<UIWindow>> out;
    for (auto& w : windows_)
        if (auto window = w.lock()) out.push_back(window);
    return out;
}

void UIWindowScene::addWindow(const std::shared_ptr<UIWindow>& window) {
    for (auto& w : windows_)
        if (w.lock() == window) return;
    windows_.push_back(window);
}

UIApplication& UIApplication::sharedApplication() {
    auto& app = sharedInstance();
    if (!app) app = std::make_shared<UIApplication>();
    return *app;
}

std::vector<std::shared_ptr<UIWindow>> UIApplication::windows() const {
    return windows_;
}

void UIApplication::makeKeyWindow(const std::shared_ptr<UIWindow>& window) {
    if (std::find(windows_.begin(), windows_.end(), window) == windows_.end()) windows_.push_back(window);
    keyWindow_ = window;
}

std::shared_ptr<UIWindowScene> UIApplication::connectSceneIfNeeded() {
    for (auto& scene : scenes_)
        if (auto ws = std::dynamic_pointer_cast<UIWindowScene>(scene)) return ws;
    auto scene = std::make_shared<UIWindowScene>();
    scene->setActivationState(state_ == UIApplicationState::Active ? UISceneActivationState::ForegroundActive
                              : state_ == UIApplicationState::Inactive
                                  ? UISceneActivationState::ForegroundInactive
                                  : UISceneActivationState::Background);
    scenes_.push_back(scene);
    return scene;
}

void UIApplication::setState(UIApplicationState state) {
    state_ = state;
    auto sceneState = state == UIApplicationState::Active     ? UISceneActivationState::ForegroundActive
                      : state == UIApplicationState::Inactive ? UISceneActivationState::ForegroundInactive
                                                              : UISceneActivationState::Background;
    for (auto& scene : scenes_)
        scene->setActivationState(sceneState);
}

void UIApplication::openURL_options_completionHandler(const std::string& url,
                                                      const std::map<std::string, std::string>&,
                                                      std::function<void(bool)> completion) {
    openedURLs_.push_back(url);
    // The desktop opens it while the window runs; without one it is only recorded, and opened
    // when a test says so.
    const bool recorded = DesktopServices::recording() != nullptr;
    std::string error;
    const bool handed = DesktopServices::shared().openURL(url, &error);
    const bool opened = recorded ? opensURLs_ : handed;
    if (recorded || handed) {
        console().print("Opened URL " + url);
    } else {
        // The screens do not look at the outcome: the system tells the person.
        console().print("Could not open URL " + url + ": " + error);
        UIAlertController::showSystemAlert("Cannot Open Link",
                                           "\u201C" + url + "\u201D was not opened: " + error + ".");
    }
    if (completion)
        RunLoop::main().schedule(0, [completion = std::move(completion), opened] { completion(opened); });
}

void UIApplication::simulateResignActive() {
    if (terminated_ || state_ != UIApplicationState::Active) return;
    setState(UIApplicationState::Inactive);
    if (delegate_) delegate_->applicationWillResignActive(*this);
    post(UIApplicationWillResignActiveNotification);
}

void UIApplication::simulateEnterBackground() {
    if (terminated_ || state_ == UIApplicationState::Background) return;
    simulateResignActive();
    setState(UIApplicationState::Background);
    if (delegate_) delegate_->applicationDidEnterBackground(*this);
    post(UIApplicationDidEnterBackgroundNotification);
}

void UIApplication::simulateBecomeActive() {
    if (terminated_ || state_ == UIApplicationState::Active) return;
    if (state_ == UIApplicationState::Background) {
        setState(UIApplicationState::Inactive);
        if (delegate_) delegate_->applicationWillEnterForeground(*this);
        post(UIApplicationWillEnterForegroundNotification);
    }
    setState(UIApplicationState::Active);
    if (delegate_) delegate_->applicationDidBecomeActive(*this);
    post(UIApplicationDidBecomeActiveNotification);
}

void UIApplication::simulateTerminate() {
    if (terminated_) return;
    if (terminationDeadline_ == std::chrono::steady_clock::time_point{})
        terminationDeadline_ = std::chrono::steady_clock::now() +
                               std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                   std::chrono::duration<double>(kTerminationWait));
    if (delegate_) delegate_->applicationWillTerminate(*this);
    post(UIApplicationWillTerminateNotification);
    terminated_ = true;
    setState(UIApplicationState::Background);
}

void UIApplication::terminateAndSettle(double timeout) {
    using Clock = std::chrono::steady_clock;
    // A whole-file write of the preferences under way is given up, and what the termination
    // changes is written as the change it is.
    NSUserDefaults::beginEndOfStandardUserDefaults();
    if (!terminated_)
        terminationDeadline_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                  std::chrono::duration<double>(timeout));
    simulateTerminate();
    auto& loop = RunLoop::main();
    // One bound for all of it: what the termination waited for took its share.
    loop.settleExternalWorkForTheEnd(
        std::max(0.0, std::chrono::duration<double>(terminationDeadline_ - Clock::now()).count()));
    // A save still waiting for a folder another program holds (one made before the end, or by
    // it) ends within its own bound, written or failed and said so, rather than with the process.
    loop.runUntil([] { return NSFileManager::folderWaitsPending() == 0; },
                  NSFileManager::kFolderLockWait + 1);
    loop.runUntilIdle();
}

int UIApplication::runMainLoop() {
    if (mainLoop_) return mainLoop_();
    RunLoop::main().run();
    return 0;
}

int UIApplicationMain(int, char**, const std::optional<std::string>& principalClassName,
                      const std::function<std::shared_ptr<UIApplicationDelegate>()>& delegateFactory) {
    if (principalClassName && *principalClassName != "UIApplication")
        fatalError("Unable to instantiate the UIApplication subclass instance. No class named " +
                   *principalClassName + " is loaded.");
    auto& app = UIApplication::sharedApplication();
    if (app.launched_) fatalError("There can only be one UIApplication instance.");
    app.launched_ = true;
    app.setDelegate(delegateFactory ? delegateFactory() : nullptr);
    auto delegate = app.delegate();
    auto scene = app.connectSceneIfNeeded();
    LaunchOptions options;
    if (delegate) delegate->application_willFinishLaunchingWithOptions(app, options);

    std::shared_ptr<UIWindow> window;
    if (UIStoryboard::hasStoryboardNamed("Main")) {
        auto board = UIStoryboard::storyboardWithName_bundle("Main");
        auto first = board->instantiateInitialViewController();
        if (!first)
            console().print(
                "Failed to instantiate the default view controller for UIMainStoryboardFile 'Main'");
        window = std::make_shared<UIWindow>(scene);
        if (first) {
            if (!std::dynamic_pointer_cast<UINavigationController>(first))
                first = UINavigationController::initWithRootViewController(first);
            window->setRootViewController(first);
        }
        if (delegate) delegate->setWindow(window);
    }
    if (delegate) delegate->application_didFinishLaunchingWithOptions(app, options);
    post(UIApplicationDidFinishLaunchingNotification);
    if (window) window->makeKeyAndVisible();
    app.simulateBecomeActive();
    return app.runMainLoop();
}

} // namespace platform
