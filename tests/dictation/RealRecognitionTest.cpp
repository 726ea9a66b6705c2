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

// A stop mid-phrase while the decoder is held seconds behind the microphone, the two ways round:
// the stop reaches the decoder before it has heard the first phrase end (one final holds the words
// of both), or the first phrase's final is posted before the stop and handled after it (one more
// task hears what was said between the two). Either way the transcript holds the words the
// decoder gives at the same stop when it keeps up, once.
TEST_F(DictationScreenTest, AStopWithTheDecoderSecondsBehindBringsEveryWordBeforeIt) {
    ScriptedSpeech::shared().setScriptedLocales({});
    const auto demo = sourceBundle() / "demo.wav";
    const auto sound = Sandbox::tmp() / "two-phrases.wav";
    ASSERT_TRUE(quillora::test::writePhrasesWithPauses(sound, {{demo, 0.7}, {demo, 1.5}}));
    // Into the second phrase, after its first words.
    const double stopAt =
        0.5 + static_cast<double>(quillora::test::speechOf(demo).size()) / 16000 + 0.7 + 1.3;

    enum class Stop { decoderKeepsUp, stopReachesTheDecoderFirst, finalPostedBeforeTheStop };
    auto dictate = [&](Stop how) {
        window.reset();
        nav.reset();
        screen.reset();
        runUntilIdle();
        AVAudioInputSource::setCurrent(AVAudioInputSource::file(sound));
        show();
        const bool held = how != Stop::decoderKeepsUp;
        PocketsphinxEngine::holdDecodersForTesting(held);
        record();
        advance(stopAt);
        if (how == Stop::finalPostedBeforeTheStop) {
            // Queued now, before what the decoder posts; a step of no time waits for the decoder
            // first, so that it has posted the final when the stop comes.
            PocketsphinxEngine::holdDecodersForTesting(false);
            DispatchQueue::main().async([this] { screen->recordButton->tap(); });
            RunLoop::main().advance(0);
        } else {
            screen->recordButton->tap();
            PocketsphinxEngine::holdDecodersForTesting(false);
        }
        EXPECT_TRUE(
            RunLoop::main().runUntil([&] { return screen->isStopped && !screen->isFinalStopped; }, 120));
        runUntilIdle();
        return screen->Clipboard->text();
    };
    const std::string keptUp = dictate(Stop::decoderKeepsUp);
    ASSERT_EQ(keptUp.rfind(" Go forward ten meters Go", 0), 0u) << keptUp;
    for (auto how : {Stop::stopReachesTheDecoderFirst, Stop::finalPostedBeforeTheStop}) {
        SCOPED_TRACE(how == Stop::stopReachesTheDecoderFirst ? "the stop reaches the decoder first"
                                                             : "the final is posted before the stop");
        const std::string heard = dictate(how);
        const auto difference = quillora::test::compareWords(keptUp, heard);
        EXPECT_EQ(difference.lost, 0u) << heard;
        EXPECT_EQ(difference.extra, 0u) << heard;
    }
}
