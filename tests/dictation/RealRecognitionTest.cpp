// The main screen and a detail screen with real recognition: a recording through file input, the tap, the
// request and pocketsphinx; and the tap thread in real time (run this program under ThreadSanitizer too).

#include <thread>

#include "detail/DetailEntryScreen.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSLocale.h"
#include "tests/dictation/DictationTestSupport.h"

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
    EXPECT_TRUE(screen->recognitionTask);

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
