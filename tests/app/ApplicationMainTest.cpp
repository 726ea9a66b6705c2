#include <memory>

#include "app/AppDelegate.h"
#include "app/ApplicationMain.h"
#include "dictation/StoredKeys.h"
#include "dictation/ViewController.h"
#include "platform/foundation/NSUserDefaults.h"
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
    auto first = std::dynamic_pointer_cast<quillora::ViewController>(nav->topViewController());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->appearance(), UIViewControllerAppearance::Appeared);
    ASSERT_EQ(app.connectedScenes().size(), 1u);
    EXPECT_EQ(app.connectedScenes()[0]->activationState(), UISceneActivationState::ForegroundActive);
    // The scene's info button, then the screen's own controls.
    EXPECT_EQ(ScreenPrinter::printScreen().rfind(
                  "ViewController\n  infoButton: UIButton image=\"info.png\"\n  recordButton: UIButton", 0),
              0u)
        << ScreenPrinter::printScreen();
}

TEST_F(ApplicationMainTest, StartUpStoresNothingOfItsOwnAndTheFirstScreenOnlyItsThreeDefaults) {
    namespace keys = quillora::keys;
    const std::string_view all[] = {keys::saveclipBoardText,
                                    keys::lastlangaugeselected,
                                    keys::savefontSizeApp,
                                    keys::checkchangedtextinEdit,
                                    keys::timedictateTotal,
                                    keys::totalwordcount,
                                    keys::totalverbcount,
                                    keys::totalnouncount,
                                    keys::totaladjectivecount,
                                    keys::totalpronouncount,
                                    keys::totaltotalconjunctioncount,
                                    keys::totalorgname,
                                    keys::totalplacename,
                                    keys::totalpersonname,
                                    keys::savedarrayverb,
                                    keys::savedarraynoun,
                                    keys::savedarrayadjective,
                                    keys::savedarraypronoun,
                                    keys::savedarrayconjunction,
                                    keys::savedarrayorgname,
                                    keys::savedarrayplacename,
                                    keys::savedarraypersonname};
    auto defaults = NSUserDefaults::standardUserDefaults();
    quillora::AppDelegate delegate;
    EXPECT_TRUE(delegate.application_didFinishLaunchingWithOptions(UIApplication::sharedApplication(),
                                                                   {{"url", "quillora://open"}}));
    for (auto key : all)
        EXPECT_FALSE(defaults->objectForKey(std::string(key))) << key;

    UIApplication::sharedApplication().setMainLoop([] { return 0; });
    char name[] = "quillora";
    char* argv[] = {name, nullptr};
    ASSERT_EQ(quillora::applicationMain(1, argv), 0);
    for (auto key : all) {
        const bool written = key == keys::saveclipBoardText || key == keys::savefontSizeApp ||
                             key == keys::checkchangedtextinEdit;
        EXPECT_EQ(defaults->objectForKey(std::string(key)).has_value(), written) << key;
    }
    EXPECT_EQ(defaults->stringForKey(std::string(keys::saveclipBoardText)), "...");
    EXPECT_EQ(defaults->integerForKey(std::string(keys::savefontSizeApp)), 18);
    EXPECT_EQ(defaults->integerForKey(std::string(keys::checkchangedtextinEdit)), 0);
}

TEST_F(ApplicationMainTest, OnlyThePlatformsApplicationClassCanBeNamed) {
    char name[] = "quillora";
    char* argv[] = {name, nullptr};
    EXPECT_DEATH(UIApplicationMain(1, argv, std::string("MyApplication"), nullptr),
                 "No class named MyApplication");
}
