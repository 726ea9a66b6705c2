#pragma once
// The application: its delegate, windows and scenes, the idle timer, opened URLs, and the life
// events it posts on the default notification centre. UIApplicationMain starts it as the phone
// does: delegate, main storyboard, key window, first screen.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UIResponder.h"
#include "platform/uikit/UIWindow.h"

namespace platform {

class UIApplication;

using LaunchOptions = std::map<std::string, std::string>;

class UIApplicationDelegate {
public:
    virtual ~UIApplicationDelegate() = default;
    virtual bool application_willFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) {
        return true;
    }
    virtual bool application_didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) {
        return true;
    }
    virtual void applicationWillResignActive(UIApplication&) {}
    virtual void applicationDidEnterBackground(UIApplication&) {}
    virtual void applicationWillEnterForeground(UIApplication&) {}
    virtual void applicationDidBecomeActive(UIApplication&) {}
    virtual void applicationWillTerminate(UIApplication&) {}
    // The window property through which the platform installs the storyboard's window.
    virtual std::shared_ptr<UIWindow> window() const { return nullptr; }
    virtual void setWindow(std::shared_ptr<UIWindow>) {}
};

enum class UISceneActivationState {
    Unattached = -1,
    ForegroundActive = 0,
    ForegroundInactive = 1,
    Background = 2
};

class UIScene : public UIResponder {
public:
    UISceneActivationState activationState() const { return state_; }
    void setActivationState(UISceneActivationState state) { state_ = state; }

private:
    UISceneActivationState state_ = UISceneActivationState::Unattached;
};

class UIWindowScene : public UIScene {
public:
    std::vector<std::shared_ptr<UIWindow>> windows() const;
    void addWindow(const std::shared_ptr<UIWindow>& window);

private:
    std::vector<std::weak_ptr<UIWindow>> windows_;
};

enum class UIApplicationState { Active = 0, Inactive = 1, Background = 2 };

class UIApplication : public UIResponder {
public:
    static UIApplication& sharedApplication();

    std::shared_ptr<UIApplicationDelegate> delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<UIApplicationDelegate> delegate) { delegate_ = std::move(delegate); }

    bool isIdleTimerDisabled() const { return idleTimerDisabled_; }
    void setIdleTimerDisabled(bool disabled) { idleTimerDisabled_ = disabled; }
    UIApplicationState applicationState() const { return state_; }

    std::vector<std::shared_ptr<UIWindow>> windows() const;
    std::shared_ptr<UIWindow> keyWindow() const { return keyWindow_.lock(); }
    void makeKeyWindow(const std::shared_ptr<UIWindow>& window);
    // The scenes; a launched application has one window scene.
    const std::vector<std::shared_ptr<UIScene>>& connectedScenes() const { return scenes_; }
    std::shared_ptr<UIWindowScene> connectSceneIfNeeded();

    // Recorded and printed on the console; with a window the desktop is asked to open it, and
    // when no program takes it an alert "Cannot Open Link" says why. The completion tells whether
    // it was opened (without a window only a test can arrange that).
    void openURL_options_completionHandler(const std::string& url,
                                           const std::map<std::string, std::string>& options,
                                           std::function<void(bool)> completion);
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }
    void setOpensURLs(bool opens) { opensURLs_ = opens; }

    // Life events as the device delivers them: state changes, delegate callbacks and notifications.
    void simulateResignActive();
    void simulateEnterBackground();
    void simulateBecomeActive();
    void simulateTerminate();
    // The end of the program, however it comes (quit, the window gone, a signal): termination as
    // above, then what it set going (saves queued on the run loop, a recognizer's last phrase) is
    // let finish, waiting at most `timeout` seconds for work on other threads.
    void terminateAndSettle(double timeout = kTerminationWait);
    bool isTerminated() const { return terminated_; }
    static constexpr double kTerminationWait = 5;
    // Until when what the termination waits for may take (a recognizer's last words): the end of
    // terminateAndSettle's wait, or kTerminationWait seconds after a termination without one.
    std::chrono::steady_clock::time_point terminationDeadline() const { return terminationDeadline_; }

    // What runs once the application has launched: by default the main run loop until it stops;
    // a driver (the command-line program) installs its own loop and returns its exit code.
    void setMainLoop(std::function<int()> loop) { mainLoop_ = std::move(loop); }
    int runMainLoop();
    bool isLaunched() const { return launched_; }

private:
    friend int UIApplicationMain(int, char**, const std::optional<std::string>&,
                                 const std::function<std::shared_ptr<UIApplicationDelegate>()>&);
    void setState(UIApplicationState state);

    std::shared_ptr<UIApplicationDelegate> delegate_;
    bool idleTimerDisabled_ = false;
    UIApplicationState state_ = UIApplicationState::Inactive;
    std::vector<std::shared_ptr<UIWindow>> windows_;
    std::weak_ptr<UIWindow> keyWindow_;
    std::vector<std::shared_ptr<UIScene>> scenes_;
    std::vector<std::string> openedURLs_;
    bool opensURLs_ = false;
    bool terminated_ = false;
    std::chrono::steady_clock::time_point terminationDeadline_;
    bool launched_ = false;
    std::function<int()> mainLoop_;
};

// Starts the application: makes the shared application and the delegate, loads the storyboard
// registered as "Main" (when there is one), puts its first screen in a navigation controller as the
// root of the key window, tells the delegate, shows the window and becomes active. Then runs the
// main loop and returns its exit code. A principal class other than UIApplication stops the program.
int UIApplicationMain(int argc, char** argv, const std::optional<std::string>& principalClassName,
                      const std::function<std::shared_ptr<UIApplicationDelegate>()>& delegateFactory);

} // namespace platform
