#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <sys/resource.h>

#include "app/AppDelegate.h"
#include "app/ApplicationMain.h"
#include "common/StoredKeys.h"
#include "dictation/ViewController.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/ScreenPrinter.h"
#include "platform/uikit/UIAlertController.h"
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

TEST_F(ApplicationMainTest, SettingsThatCannotBeSavedAreToldOnTheScreenThatIsUpOnceUntilASaveWorks) {
    namespace fs = std::filesystem;
    UIApplication::sharedApplication().setMainLoop([] { return 0; });
    char name[] = "quillora";
    char* argv[] = {name, nullptr};
    ASSERT_EQ(quillora::applicationMain(1, argv), 0);
    // The first screen's defaults are written on a worker: one still writing when the file is
    // broken below would rename its copy over the break.
    RunLoop::main().settleExternalWork();
    auto defaults = NSUserDefaults::standardUserDefaults();
    const std::string prefs = defaults->filePath();
    auto first = ScreenPrinter::currentViewController();
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(first->presentedViewController(), nullptr);

    struct rlimit unlimited {};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    struct Case {
        std::string what;
        std::function<void()> breakIt;
        std::string why;
    };
    const std::vector<Case> cases{
        {"a folder that is gone",
         [&] {
             fs::remove(prefs);
             fs::create_symlink("gone/prefs.plist", prefs);
         },
         "No such file or directory"},
        {"a full disk",
         [&] {
             std::signal(SIGXFSZ, SIG_IGN);
             struct rlimit small = unlimited;
             small.rlim_cur = 64;
             setrlimit(RLIMIT_FSIZE, &small);
         },
         "File too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.breakIt();
        // Each write is made on a worker, its failure told on the main loop.
        defaults->setInteger_forKey(24, "savefontSizeApp");
        RunLoop::main().settleExternalWork();
        // A second change failing the same way is not told again.
        defaults->setInteger_forKey(25, "savefontSizeApp");
        RunLoop::main().settleExternalWork();
        setrlimit(RLIMIT_FSIZE, &unlimited);
        auto alert = std::dynamic_pointer_cast<UIAlertController>(first->presentedViewController());
        ASSERT_NE(alert, nullptr) << ScreenPrinter::printScreen();
        EXPECT_EQ(alert->title(), "Settings not saved");
        EXPECT_EQ(alert->message(), "The file \u201C" + prefs + "\u201D could not be saved: " + c.why);
        EXPECT_EQ(ScreenPrinter::baseViewController(), first) << "the screen stays where it was";
        EXPECT_TRUE(alert->pressActionWithTitle("OK"));
        runUntilIdle();
        EXPECT_EQ(first->presentedViewController(), nullptr);
        EXPECT_EQ(defaults->integerForKey("savefontSizeApp"), 25) << "the value is kept for the next save";

        // Mended, the next change is written with the value kept, and says nothing.
        fs::remove(prefs);
        defaults->setInteger_forKey(26, "savefontSizeApp");
        RunLoop::main().settleExternalWork();
        EXPECT_EQ(first->presentedViewController(), nullptr);
        NSUserDefaults::resetStandardUserDefaults();
        defaults = NSUserDefaults::standardUserDefaults();
        EXPECT_EQ(defaults->integerForKey("savefontSizeApp"), 26);
    }
}
