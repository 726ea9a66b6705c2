#pragma once
// Dictation screens in a key window inside their navigation controller, with the scripted
// recognizer serving every locale and silence as the microphone, unless a test says otherwise.
// One fixture for every screen table: DictationScreenTest is the main screen, NotesScreenTest the
// notes screen, RecipeScreenTest the recipe screen.

#include <malloc.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dictation/NotesViewController.h"
#include "dictation/RecipeViewController.h"
#include "dictation/ViewController.h"
#include "platform/avfaudio/AVAudioInputSource.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/RunLoop.h"
#include "platform/speech/ScriptedSpeech.h"
#include "platform/systemconfiguration/SCNetworkReachability.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/WorkMeter.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers' allocator interface (GCC ships no header for it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace quillora::test {

// How often `phrase` stands in `text`, the occurrences not overlapping.
inline std::size_t occurrences(const std::string& text, const std::string& phrase) {
    std::size_t count = 0;
    for (auto at = text.find(phrase); at != std::string::npos; at = text.find(phrase, at + phrase.size()))
        ++count;
    return count;
}

inline std::shared_ptr<platform::NSUserDefaults> store() {
    return platform::NSUserDefaults::standardUserDefaults();
}

// Bytes held on the heap now, by every thread. Under a sanitizer malloc's statistics read zero (its
// allocator keeps its own count, without what it holds back from reuse); without one, malloc counts
// the blocks it maps for large requests apart from its arenas, and a piling buffer may be either.
inline std::size_t heapInUse() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const auto info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

// Silence as the microphone gives it, to hand a capture between two steps of the main thread as
// the tap's thread may.
inline platform::AVAudioPCMBufferRef silenceOf(double seconds) {
    const auto frames = static_cast<std::uint32_t>(seconds * 16000);
    auto buffer = std::make_shared<platform::AVAudioPCMBuffer>(platform::AVAudioFormat(16000, 1), frames);
    buffer->setFrameLength(frames);
    return buffer;
}

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
        // The screen's authorization answer comes from another thread; a person's first tap never
        // beats it, and a run started before it would end with the button still held back.
        ASSERT_TRUE(platform::RunLoop::main().settleExternalWork(5));
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
    // What a whole run left: how many tasks ended, each task (to see that none outlives its end),
    // and the queued work after the 20th task.
    struct WholeRun {
        int tasks = 0;
        std::vector<std::weak_ptr<platform::SFSpeechRecognitionTask>> ended;
        std::size_t pendingAtTask20 = 0;
    };
    // Records and lets a task end every ten seconds, each hearing `words(task)` (a partial half a
    // second before its final), until the run is over.
    WholeRun runWithATaskEveryTenSeconds(const std::function<std::string(int)>& words) {
        WholeRun run;
        record();
        while (screen->audioEngine->isRunning()) {
            run.ended.push_back(screen->recognitionTask());
            this->advance(9.5);
            const std::string said = words(++run.tasks);
            platform::ScriptedSpeech::shared().partial(said);
            this->advance(0.5);
            EXPECT_TRUE(platform::ScriptedSpeech::shared().final(said));
            this->runUntilIdle();
            if (run.tasks == 20) run.pendingAtTask20 = platform::RunLoop::main().pendingCount();
            if (run.tasks >= 200) {
                ADD_FAILURE() << "the run never ends";
                break;
            }
        }
        return run;
    }

    std::size_t countLines(const std::string& line) const {
        auto lines = consoleLines();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }

    std::shared_ptr<Screen> screen;
    std::shared_ptr<platform::UINavigationController> nav;
    std::shared_ptr<platform::UIWindow> window;
};

// A screen of the dictation layer: shown fresh, it waits for the authorization answer.
template <class Screen> class DictationScreenFixture : public LoopScreenTest<Screen> {
public:
    // For helpers that drive a test from outside its body (the random runs).
    void runUntilIdleForRandom() { this->runUntilIdle(); }
    void advanceForRandom(double seconds) { this->advance(seconds); }
    std::shared_ptr<Screen>& randomScreen() { return this->screen; }
    std::shared_ptr<platform::UINavigationController>& randomNavigation() { return this->nav; }
    // A new screen in a new window, as a fresh start of the application would show it; or, when
    // `fresh` is false, the same screen idle with an empty transcript (showing a screen waits for
    // the authorization answer from another thread, which costs more than a run). An application
    // that quit starts afresh whole, since it hears nothing more.
    void resetForRandom(bool fresh) {
        const bool quit = platform::UIApplication::sharedApplication().isTerminated();
        if (!fresh && !quit && this->screen) {
            this->screen->transcript()->setText("");
            return;
        }
        if (quit) {
            this->TearDown();
            this->SetUp();
        }
        this->window.reset();
        this->nav.reset();
        this->screen.reset();
        this->runUntilIdle();
        show();
    }

protected:
    // Shows a new screen; `before` runs on it before its view loads.
    void show(const std::function<void(Screen&)>& before = nullptr) {
        auto shown = std::make_shared<Screen>();
        if (before) before(*shown);
        this->present(shown);
        // The authorization answer comes from another thread, and then the speech model may load on
        // one (seconds on a busy machine): the button waits for both, the clock does not move.
        auto& screen = this->screen;
        platform::RunLoop::main().settleExternalWork(120);
        platform::RunLoop::main().runUntil(
            [&] { return screen->recordButton->isEnabled() || screen->presentedViewController(); }, 5);
    }
};

using DictationScreenTest = DictationScreenFixture<ViewController>;
using NotesScreenTest = DictationScreenFixture<NotesViewController>;
using RecipeScreenTest = DictationScreenFixture<RecipeViewController>;

} // namespace quillora::test
