// Phrases after short pauses on the real clock, on a busy machine. The recognizer ends a task about
// half a second after speech stops, while the decoder runs behind the microphone; the next phrase
// may have begun before the next task starts. Dictated in real time, a file of phrases with pauses
// of 0.3 to 1.5 seconds must give the transcript the same file gives on the virtual clock, where
// the decoder never falls behind: every phrase, in order, once.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <random>
#include <thread>

#include "platform/foundation/Sandbox.h"
#include "platform/speech/PocketsphinxEngine.h"
#include "tests/dictation/DictationTestSupport.h"
#include "tests/dictation/PhrasesWithPauses.h"

using namespace platform;
using quillora::test::DictationScreenTest;
using quillora::test::kTestClips;
using quillora::test::occurrences;
using quillora::test::sourceBundle;
using quillora::test::writePhrasesWithPauses;

namespace {

// The phrases and the pauses after them, short ones on both sides of the half second of silence
// after which the recognizer ends a task.
std::vector<std::pair<std::filesystem::path, double>> testPhrases() {
    const auto librivox = kTestClips / "librivox";
    return {
        {librivox / "sense_and_sensibility_01_austen_64kb-0880.wav", 0.3},
        {kTestClips / "numbers.raw", 0.6},
        {sourceBundle() / "demo.wav", 1.0},
        {kTestClips / "something.raw", 1.5},
        {sourceBundle() / "demo.wav", 3.0},
    };
}

std::filesystem::path writeTestPhrases(const std::filesystem::path& path) {
    return writePhrasesWithPauses(path, testPhrases()) ? path : std::filesystem::path();
}

// Threads that keep every core they get busy until the object goes.
class BusyThreads {
public:
    explicit BusyThreads(unsigned count) {
        for (unsigned i = 0; i < count; ++i)
            threads_.emplace_back([this] {
                volatile double x = 1;
                while (!stop_)
                    x = std::sqrt(x + 1.0);
            });
    }
    ~BusyThreads() { stop_ = true; }

private:
    std::atomic<bool> stop_{false};
    std::vector<std::jthread> threads_;
};

class RealTimeGapTest : public DictationScreenTest {
protected:
    // Dictates the whole file on the main screen and stops once it has been heard; the transcript.
    std::string dictate(const std::filesystem::path& sound) {
        std::optional<NSError> error;
        auto input = std::dynamic_pointer_cast<AVAudioFileInput>(AVAudioInputSource::file(sound, &error));
        EXPECT_TRUE(input) << (error ? error->localizedDescription : "");
        if (!input) return {};
        AVAudioInputSource::setCurrent(input);
        show();
        record();
        // A wait on the virtual clock gives up after a minute of real time; the decoder may need
        // more on a busy machine.
        for (int minute = 0; minute < 5 && !input->atEnd(); ++minute)
            RunLoop::main().runUntil([&] { return input->atEnd(); }, 120);
        EXPECT_TRUE(input->atEnd());
        // As a person waits for the text to show: until the decoder has caught up with the
        // microphone, which it may not do while the file plays on a busy machine. The last phrase
        // ends in the file's closing silence.
        EXPECT_TRUE(RunLoop::main().settleExternalWork(120));
        RunLoop::main().runUntil([] { return false; }, 1);
        screen->recordButton->tap();
        EXPECT_TRUE(RunLoop::main().runUntil([&] { return !screen->isFinalStopped; }, 60));
        runUntilIdle();
        return screen->Clipboard->text();
    }

    // Dictates the file on a new main screen and taps Stop `stopAt` seconds into it, whether or
    // not the decoder has caught up; the transcript once the stop has brought its last words.
    // With `heldFor`, the decoder hears nothing for that long before the stop: it is behind the
    // microphone when the stop comes, and partials it posted before the stop arrive after it.
    // `stoppedAt` is where the audio stopped: on the real clock the microphone starts a little
    // after the tap on Record, so the same tap stops it a buffer or two earlier in the sound.
    std::string dictateUntil(const std::filesystem::path& sound, double stopAt, double heldFor = 0,
                             double* stoppedAt = nullptr) {
        window.reset();
        nav.reset();
        screen.reset();
        runUntilIdle();
        auto input = std::dynamic_pointer_cast<AVAudioFileInput>(AVAudioInputSource::file(sound));
        AVAudioInputSource::setCurrent(input);
        show();
        const double started = RunLoop::main().now();
        record();
        auto at = [&](double moment, std::function<void()> task) {
            RunLoop::main().schedule(std::max(0.0, started + moment - RunLoop::main().now()),
                                     std::move(task));
        };
        bool stopDue = false;
        if (heldFor > 0) at(stopAt - heldFor, [] { PocketsphinxEngine::holdDecodersForTesting(true); });
        at(stopAt, [&] { stopDue = true; });
        EXPECT_TRUE(RunLoop::main().runUntil([&] { return stopDue; }, stopAt + 60));
        if (heldFor > 0) {
            // The main thread is busy as the decoder is let go: the stop comes once the decoder has
            // posted what it made of the first of what it missed, which waits on the run loop to
            // be handled after the stop.
            const std::size_t queued = RunLoop::main().pendingCount();
            PocketsphinxEngine::holdDecodersForTesting(false);
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
            while (RunLoop::main().pendingCount() == queued && std::chrono::steady_clock::now() < giveUp)
                std::this_thread::yield();
        }
        screen->recordButton->tap();
        EXPECT_TRUE(
            RunLoop::main().runUntil([&] { return screen->isStopped && !screen->isFinalStopped; }, 120));
        runUntilIdle();
        if (stoppedAt) *stoppedAt = input->positionSeconds();
        return screen->Clipboard->text();
    }
};

} // namespace

TEST_F(RealTimeGapTest, PhrasesAfterShortPausesArriveWholeInRealTimeOnABusyMachine) {
    ScriptedSpeech::shared().setScriptedLocales({});
    const auto sound = writeTestPhrases(Sandbox::tmp() / "phrases.wav");
    ASSERT_FALSE(sound.empty()) << "the test clips of pocketsphinx-testdata are needed";

    const std::string virtualClock = dictate(sound);
    ASSERT_EQ(occurrences(virtualClock, "Go forward ten meters"), 2u) << virtualClock;

    window.reset();
    nav.reset();
    screen.reset();
    runUntilIdle();
    RunLoop::main().useRealClock();
    std::string realClock;
    {
        BusyThreads busy(2);
        realClock = dictate(sound);
    }
    RunLoop::main().useVirtualClock();
    EXPECT_EQ(realClock, virtualClock);
}

// Stops at moments picked at random inside the phrases, on the real clock with the machine busy and
// the decoder held back for a while before the stop, so that it is behind when the stop comes: the
// transcript has at least the words the virtual clock gives with the audio stopped at the same
// place, all of them but the
// last (which the later stop on the real clock may complete), and the words before its own last
// two are the recording's own, in order, none twice (the stop may cut a word short).
TEST_F(RealTimeGapTest, RandomStopsMidPhraseInRealTimeBringEveryWordBeforeTheStop) {
    ScriptedSpeech::shared().setScriptedLocales({});
    const auto sound = writeTestPhrases(Sandbox::tmp() / "phrases.wav");
    ASSERT_FALSE(sound.empty()) << "the test clips of pocketsphinx-testdata are needed";
    const std::string whole = dictate(sound);
    // Where each phrase is in the file: after half a second of silence, each followed by its pause.
    std::vector<std::pair<double, double>> phrases;
    double at = 0.5;
    for (const auto& [clip, pause] : testPhrases()) {
        const double length = static_cast<double>(quillora::test::speechOf(clip).size()) / 16000;
        phrases.emplace_back(at, length);
        at += length + pause;
    }
    std::mt19937 random(36);
    for (int stop = 0; stop < 3; ++stop) {
        const auto& [start, length] =
            phrases[std::uniform_int_distribution<std::size_t>(0, phrases.size() - 1)(random)];
        const double stopAt = start + length * std::uniform_real_distribution<double>(0.3, 0.8)(random);
        // Back to the phrase's start at most, so that what the decoder missed is speech.
        const double heldFor = std::min(1.5, stopAt - start);
        SCOPED_TRACE("stop at " + std::to_string(stopAt) + " s");
        RunLoop::main().useRealClock();
        std::string realClock;
        double realStop = 0, virtualStop = 0;
        {
            BusyThreads busy(2);
            realClock = dictateUntil(sound, stopAt, heldFor, &realStop);
        }
        RunLoop::main().useVirtualClock();
        // Half a buffer after it, so that the tap comes after the buffer that ends there.
        const std::string virtualClock = dictateUntil(sound, realStop + 0.005, 0, &virtualStop);
        ASSERT_NEAR(virtualStop, realStop, 1e-6);
        const auto virtualWords = quillora::test::wordsOf(virtualClock);
        EXPECT_GE(quillora::test::wordsOf(realClock).size(), virtualWords.size())
            << "virtual clock:" << virtualClock << "\nreal clock:" << realClock;
        std::string allButTheLast;
        for (std::size_t i = 0; i + 1 < virtualWords.size(); ++i)
            allButTheLast += " " + virtualWords[i];
        EXPECT_EQ(quillora::test::compareWords(allButTheLast, realClock).lost, 0u)
            << "virtual clock:" << virtualClock << "\nreal clock:" << realClock;
        // A word the stop cut short may be heard as two.
        auto beforeTheLast = quillora::test::wordsOf(realClock);
        beforeTheLast.resize(beforeTheLast.size() - std::min<std::size_t>(2, beforeTheLast.size()));
        std::string joined;
        for (const auto& word : beforeTheLast)
            joined += " " + word;
        EXPECT_EQ(quillora::test::compareWords(whole, joined).extra, 0u)
            << "whole:" << whole << "\nreal clock:" << realClock;
    }
}
