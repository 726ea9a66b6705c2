#include <memory>

#include "app/AppDelegate.h"
#include "app/ApplicationMain.h"
#include "app/LaunchViewController.h"
#include "platform/uikit/ScreenPrinter.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

class ApplicationMainTest : public quillora::test::PlatformTest {};

TEST_F(ApplicationMainTest, LaunchShowsTheFirstSceneInANavigationControllerWithTheScreenKeptAwake) {
    auto& app = UIApplication::sharedApplication();
    bool activeWhenLoopRan = false;
    app.setMainLoop([&] {
        activeWhenLoopRan =
            UIApplication::sharedApplication().applicationState() == UIApplicationState::Active;
        return 7;
    });
    char name[] = "quillora";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(quillora::applicationMain(1, argv), 7);
    EXPECT_TRUE(activeWhenLoopRan);

    EXPECT_TRUE(app.isIdleTimerDisabled());
    auto delegate = std::dynamic_pointer_cast<quillora::AppDelegate>(app.delegate());
    ASSERT_NE(delegate, nullptr);
    auto window = app.keyWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(delegate->window(), window) << "the platform installs its window through the delegate";
    auto nav = std::dynamic_pointer_cast<UINavigationController>(window->rootViewController());
    ASSERT_NE(nav, nullptr);
    auto first = std::dynamic_pointer_cast<quillora::LaunchViewController>(nav->topViewController());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->appearance(), UIViewControllerAppearance::Appeared);
    ASSERT_EQ(app.connectedScenes().size(), 1u);
    EXPECT_EQ(app.connectedScenes()[0]->activationState(), UISceneActivationState::ForegroundActive);
    EXPECT_EQ(
        ScreenPrinter::printScreen(),
        "LaunchViewController \"Quillora\" background=white\n  titleLabel: UILabel text=\"Quillora\"\n");
}

TEST_F(ApplicationMainTest, OnlyThePlatformsApplicationClassCanBeNamed) {
    char name[] = "quillora";
    char* argv[] = {name, nullptr};
    EXPECT_DEATH(UIApplicationMain(1, argv, std::string("MyApplication"), nullptr),
                 "No class named MyApplication");
}
