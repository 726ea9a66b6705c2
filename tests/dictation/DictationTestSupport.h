#pragma once
// Dictation screens in a key window inside their navigation controller, with the scripted
// recognizer serving every locale and silence as the microphone, unless a test says otherwise.

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "dictation/ViewController.h"
#include "platform/avfaudio/AVAudioInputSource.h"
#include "platform/foundation/RunLoop.h"
#include "platform/speech/ScriptedSpeech.h"
#include "platform/systemconfiguration/SCNetworkReachability.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

namespace quillora::test {

// A screen that runs the loop, in a key window inside its navigation controller; `Screen` names
// its record button, live view and transcript as the screens do.
template <class Screen> class LoopScreenTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        platform::ScriptedSpeech::shared().setScriptedLocales({"*"});
        platform::AVAudioInputSource::setCurrent(platform::AVAudioInputSource::silence());
        platform::setReachabilityOverride({platform::kSCNetworkReachabilityFlagsReachable, false, false});
        platform::UIApplication::sharedApplication().simulateBecomeActive();
    }
    void TearDown() override {
        window.reset();
        nav.reset();
        screen.reset();
        PlatformTest::TearDown();
    }

    // Puts `shown` in the key window.
    void present(std::shared_ptr<Screen> shown) {
        screen = std::move(shown);
        nav = platform::UINavigationController::initWithRootViewController(screen);
        window = std::make_shared<platform::UIWindow>();
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
    }

    void record() {
        screen->recordButton->tap();
        runUntilIdle();
    }
    void partial(const std::string& text) {
        ASSERT_TRUE(platform::ScriptedSpeech::shared().partial(text));
        runUntilIdle();
    }
    void final(const std::string& text) {
        ASSERT_TRUE(platform::ScriptedSpeech::shared().final(text));
        runUntilIdle();
    }
    void fail(const std::string& text = "Network lost") {
        ASSERT_TRUE(platform::ScriptedSpeech::shared().fail(text));
        runUntilIdle();
    }

    std::shared_ptr<platform::UIAlertController> alert() const {
        return std::dynamic_pointer_cast<platform::UIAlertController>(screen->presentedViewController());
    }
    std::string title() const {
        return screen->recordButton->titleForState(platform::UIControlStates::Normal).value_or("");
    }
    std::string image() const {
        auto i = screen->recordButton->imageForState(platform::UIControlStates::Normal);
        return i ? i->name() : "";
    }
    std::size_t countLines(const std::string& line) const {
        auto lines = consoleLines();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }

    std::shared_ptr<Screen> screen;
    std::shared_ptr<platform::UINavigationController> nav;
    std::shared_ptr<platform::UIWindow> window;
};

class DictationScreenTest : public LoopScreenTest<ViewController> {
protected:
    // Shows a new screen; `before` runs on it before its view loads.
    void show(const std::function<void(ViewController&)>& before = nullptr) {
        auto shown = std::make_shared<ViewController>();
        if (before) before(*shown);
        present(shown);
        // The authorization answer comes from another thread; the button waits for it.
        platform::RunLoop::main().runUntil(
            [&] { return screen->recordButton->isEnabled() || screen->presentedViewController(); }, 5);
    }
};

} // namespace quillora::test
