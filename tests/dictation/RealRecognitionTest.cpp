// The main screen and a detail screen with real recognition: a recording through file input, the tap, the
// request and pocketsphinx; and the tap thread in real time (run this program under ThreadSanitizer too).

#include <thread>

#include "detail/DetailEntryScreen.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSLocale.h"
#include "platform/foundation/Sandbox.h"
#include "platform/speech/PocketsphinxEngine.h"
#include "tests/dictation/DictationTestSupport.h"
#include "tests/dictation/PhrasesWithPauses.h"

using namespace platform;
using quillora::test::DictationScreenTest;
using quillora::test::sourceBundle;
namespace {
// Real recognition of the bundle's recording as the microphone.
void hearTheDemoRecording() {
    ScriptedSpeech::shared().setScriptedLocales({});
    std::optional<NSError> error;
    auto input = std::dynamic_pointer_cast<AVAudioFileInput>(
        AVAudioInputSource::file(sourceBundle() / "demo.wav", &error));
    ASSERT_TRUE(input) << (error ? error->localizedDescription : "");
    AVAudioInputSource::setCurrent(input);
}
} // namespace

using DetailRealRecognitionTest = quillora::test::DictationScreenFixture<quillora::DetailRecipeVCTableView>;

TEST_F(DictationScreenTest, ARecordedClipGivesPartialsThenAFinalThatReachesTheTranscriptOnce) {
    ASSERT_NO_FATAL_FAILURE(hearTheDemoRecording());
    show();
    ASSERT_EQ(screen->speechRecognizer->localeIdentifier(), "en-US");
    record();
    std::vector<std::string> liveTexts;
    RunLoop::main().runUntil(
        [&] {
            if (liveTexts.empty() || liveTexts.back() != screen->textView->text())
                liveTexts.push_back(screen->textView->text());
            return screen->Clipboard->text().size() > 1;
        },
        60);
    EXPECT_EQ(screen->Clipboard->text(), " Go forward ten meters");
    EXPECT_NE(std::find(liveTexts.begin(), liveTexts.end(), "Go forward"), liveTexts.end())
        << ::testing::PrintToString(liveTexts);
    EXPECT_GE(countLines("iS FINAL value VIEW"), 2u) << "partial results came before the final one";
    EXPECT_EQ(countLines("Added to Clipboard 1"), 1u);
    EXPECT_TRUE(consoleHas("start recodring again "));
    EXPECT_TRUE(screen->audioEngine->isRunning()) << "the next task listens";
    EXPECT_TRUE(screen->recognitionTask());

    screen->recordButton->tap();
    RunLoop::main().runUntil([&] { return !screen->isFinalStopped; }, 30);
    EXPECT_EQ(screen->Clipboard->text().rfind(" Go forward ten meters", 0), 0u);
    EXPECT_EQ(countLines("Go forward ten meters"), 0u);
}

// Buffers come on the engine's own thread on the real clock; tasks end and restart while it runs.
TEST_F(DictationScreenTest, TheTapThreadFeedsOnlyItsOwnTasksRequestAcrossRestarts) {
    RunLoop::main().useRealClock();
    show();
    record();
    for (int task = 1; task <= 6; ++task) {
        RunLoop::main().advance(0.15);
        ASSERT_TRUE(ScriptedSpeech::shared().final("task " + std::to_string(task)));
        RunLoop::main().runUntil([&] { return ScriptedSpeech::shared().tasksStarted() > task; }, 5);
    }
    RunLoop::main().advance(0.15);
    EXPECT_GT(ScriptedSpeech::shared().audioSecondsHeard(), 0.0) << "the running task hears the microphone";
    screen->recordButton->tap();
    RunLoop::main().runUntil([&] { return !screen->isFinalStopped; }, 5);
    // The last task heard nothing: its listening text stays out of the transcript.
    EXPECT_EQ(screen->Clipboard->text(), " task 1 task 2 task 3 task 4 task 5 task 6");
    EXPECT_FALSE(screen->audioEngine->isRunning());
    EXPECT_FALSE(screen->audioEngine->inputNode()->hasTapOnBus(0));
    RunLoop::main().useVirtualClock();
}

// The recording dictated into a saved entry: the heard words land once, as a paragraph of their own.
TEST_F(DetailRealRecognitionTest, ARecordedClipContinuesTheEntryAsOneParagraph) {
    ASSERT_NO_FATAL_FAILURE(hearTheDemoRecording());
    NSLocale::setCurrentLocaleForTesting(NSLocale("en_US"));
    show([](quillora::DetailEntryScreen& s) { s.text = "Saved entry"; });
    ASSERT_EQ(screen->speechRecognizer->localeIdentifier(), "en-US");
    record();
    RunLoop::main().runUntil([&] { return screen->textView->text() != "Saved entry"; }, 60);
    EXPECT_EQ(screen->textView->text(), "Saved entry\nGo forward ten meters\n");
    EXPECT_TRUE(screen->audioEngine->isRunning()) << "the next task listens";
    screen->recordButton->tap();
    RunLoop::main().runUntil([&] { return !screen->isFinalStopped; }, 30);
    EXPECT_EQ(screen->textView->text().rfind("Saved entry\nGo forward ten meters\n", 0), 0u);
    EXPECT_EQ(screen->textView->font(), UIFont::fontWithName_size("Courier", 20));
    NSLocale::setCurrentLocaleForTesting(std::nullopt);
}

// A stop mid-phrase while the decoder is held seconds behind the microphone, the two ways round:
// the stop reaches the decoder before it has heard the first phrase end (one final holds the words
// of both), or the first phrase's final is posted before the stop and handled after it (one more
// task hears what was said between the two). A leaving for another application and the end of the
// run's time are stops too (the screen left behind lives until its last task has ended). Each way
// the transcript holds the words the decoder gives at the same stop when it keeps up, once.
TEST_F(DictationScreenTest, AStopWithTheDecoderSecondsBehindBringsEveryWordBeforeIt) {
    ScriptedSpeech::shared().setScriptedLocales({});
    const auto demo = sourceBundle() / "demo.wav";
    const auto sound = Sandbox::tmp() / "two-phrases.wav";
    ASSERT_TRUE(quillora::test::writePhrasesWithPauses(sound, {{demo, 0.7}, {demo, 1.5}}));
    // Into the second phrase, after its first words.
    const double stopAt =
        0.5 + static_cast<double>(quillora::test::speechOf(demo).size()) / 16000 + 0.7 + 1.3;

    enum class Stop { button, leaving, timeRunsOut };
    struct Way {
        const char* name;
        Stop stop;
        bool held;
        // The first phrase's final is posted before the stop and handled after it.
        bool finalFirst;
    };
    auto dictate = [&](const Way& way) {
        window.reset();
        nav.reset();
        screen.reset();
        runUntilIdle();
        AVAudioInputSource::setCurrent(AVAudioInputSource::file(sound));
        UIApplication::sharedApplication().simulateBecomeActive();
        show();
        PocketsphinxEngine::holdDecodersForTesting(way.held);
        record();
        // The countdown's last second ends before the stop, while the task still listens: the run's
        // time runs out where that task ends.
        if (way.stop == Stop::timeRunsOut)
            while (screen->timeLeft > static_cast<std::int64_t>(stopAt))
                screen->timerRunning();
        advance(stopAt);
        std::weak_ptr<quillora::ViewController> left;
        std::shared_ptr<UITextView> transcript;
        auto stop = [&] {
            if (way.stop == Stop::button) screen->recordButton->tap();
            if (way.stop != Stop::leaving) return;
            UIApplication::sharedApplication().simulateResignActive();
            // And the screen goes at once: nothing but its last task keeps it until that task has
            // ended.
            left = screen;
            transcript = screen->Clipboard;
            window->setRootViewController(std::make_shared<UIViewController>());
            nav.reset();
            screen.reset();
        };
        if (way.finalFirst) {
            // Queued now, before what the decoder posts; a step of no time waits for the decoder
            // first, so that it has posted the final when the stop comes.
            PocketsphinxEngine::holdDecodersForTesting(false);
            DispatchQueue::main().async(stop);
            RunLoop::main().advance(0);
        } else {
            stop();
            PocketsphinxEngine::holdDecodersForTesting(false);
        }
        if (way.stop == Stop::leaving) {
            EXPECT_TRUE(RunLoop::main().runUntil([&] { return left.expired(); }, 120));
            return transcript->text();
        }
        EXPECT_TRUE(RunLoop::main().runUntil(
            [&] { return !screen->taskTextStillComing() && !screen->isFinalStopped; }, 120));
        runUntilIdle();
        EXPECT_FALSE(screen->audioEngine->isRunning());
        EXPECT_FALSE(screen->audioEngine->inputNode()->hasTapOnBus(0));
        return screen->Clipboard->text();
    };
    const std::string keptUp = dictate({"the decoder keeps up", Stop::button, false, false});
    ASSERT_EQ(keptUp.rfind(" Go forward ten meters Go", 0), 0u) << keptUp;
    // The end of the run's time is no stop at the mark: the phrase spoken then ends as it was said.
    const std::string keptUpToTheTimesEnd =
        dictate({"the decoder keeps up", Stop::timeRunsOut, false, false});
    ASSERT_EQ(keptUpToTheTimesEnd, " Go forward ten meters Go forward ten meters");
    for (const Way& way : {
             Way{"the stop reaches the decoder first", Stop::button, true, false},
             Way{"the final is posted before the stop", Stop::button, true, true},
             Way{"the final is posted before a leaving", Stop::leaving, true, true},
             Way{"the final is posted after the time ran out", Stop::timeRunsOut, true, true},
         }) {
        SCOPED_TRACE(way.name);
        const std::string heard = dictate(way);
        const auto difference =
            quillora::test::compareWords(way.stop == Stop::timeRunsOut ? keptUpToTheTimesEnd : keptUp, heard);
        EXPECT_EQ(difference.lost, 0u) << heard;
        EXPECT_EQ(difference.extra, 0u) << heard;
    }
    UIApplication::sharedApplication().simulateBecomeActive();
}
