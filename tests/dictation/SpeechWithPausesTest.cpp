// Long dictation with real recognition and long pauses: the bundle's recording said again and again
// with silences of 2 to 40 seconds between, dictated for a whole run on the first screen and on a
// detail screen. Every utterance lands once, silence adds nothing and never ends the run, and
// neither the result nor the memory depends on how the time is stepped or how long the file is.

#include <cstdint>
#include <fstream>
#include <iostream>

#include "detail/DetailEntryScreen.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSLocale.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/Sandbox.h"
#include "platform/speech/PocketsphinxEngine.h"
#include "tests/dictation/DictationTestSupport.h"

using namespace platform;
using quillora::test::DictationScreenFixture;
using quillora::test::heapInUse;
using quillora::test::occurrences;
using quillora::test::peakResident;
using quillora::test::resetPeakResident;
using quillora::test::sourceBundle;

namespace {

constexpr const char* kUtterance = "Go forward ten meters";

// The recording as 16 kHz mono samples.
std::vector<float> demoSamples() {
    std::optional<NSError> error;
    auto input = std::dynamic_pointer_cast<AVAudioFileInput>(
        AVAudioInputSource::file(sourceBundle() / "demo.wav", &error));
    if (!input) return {};
    std::vector<float> samples;
    AVAudioPCMBuffer buffer(input->format(), 1024);
    while (!input->atEnd()) {
        input->read(buffer);
        samples.insert(samples.end(), buffer.floatChannelData(0), buffer.floatChannelData(0) + 1024);
    }
    return samples;
}

// Pauses of 2 to 40 seconds, the long ones longer than the recognizer waits for speech.
const std::vector<double> kPauses = {2, 17, 40, 5, 28, 11, 33, 3, 21, 8, 37, 14};

// Writes the recording `utterances` times, each followed by a silence from the cycle of `pauses`,
// as a 16-bit WAV file; returns its path.
std::filesystem::path writeSpeechWithPauses(const std::filesystem::path& path, int utterances,
                                            const std::vector<double>& pauses = kPauses) {
    const auto demo = demoSamples();
    std::vector<std::int16_t> pcm;
    for (int i = 0; i < utterances; ++i) {
        for (float s : demo)
            pcm.push_back(static_cast<std::int16_t>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767)));
        pcm.resize(pcm.size() +
                   static_cast<std::size_t>(pauses[static_cast<std::size_t>(i) % pauses.size()] * 16000));
    }
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const auto bytes = static_cast<std::uint32_t>(pcm.size() * 2);
    out.write("RIFF", 4);
    u32(36 + bytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(16000);
    u32(32000);
    u16(2);
    u16(16);
    out.write("data", 4);
    u32(bytes);
    out.write(reinterpret_cast<const char*>(pcm.data()), bytes);
    return path;
}

template <class Screen> class SpeechWithPausesTest : public DictationScreenFixture<Screen> {
protected:
    struct Outcome {
        std::string transcript;
        std::size_t heapBefore = 0;
        std::size_t peakHeap = 0;
        std::size_t peakResident = 0;
        bool alertShown = false;
    };

    // Speaks `sound` into a new screen and records for `seconds` (the whole run and the stop at its
    // end when not given, else a tap on the button after them), stepping the clock by `step` seconds
    // or in one wait when `step` is 0.
    Outcome dictate(const std::filesystem::path& sound, double step, std::optional<double> seconds = {}) {
        Outcome outcome;
        ScriptedSpeech::shared().setScriptedLocales({});
        std::optional<NSError> error;
        auto input = AVAudioInputSource::file(sound, &error);
        EXPECT_TRUE(input) << (error ? error->localizedDescription : "");
        AVAudioInputSource::setCurrent(input);
        this->show([](Screen& s) {
            if constexpr (std::is_base_of_v<quillora::DetailEntryScreen, Screen>) s.text = "Entry";
        });
        auto& screen = this->screen;
        // The heap is read between the clock's steps, when the decoder has caught up; the resident
        // peak is the system's own high-water mark, so nothing between two readings escapes it.
        // The console lines the test would keep are dropped, as the program writes them out.
        auto sampler = NSTimer::scheduledTimerWithTimeInterval(5, true, [&](NSTimer&) {
            console().clearCaptured();
            outcome.peakHeap = std::max(outcome.peakHeap, heapInUse());
            outcome.alertShown = outcome.alertShown || screen->presentedViewController();
        });
        console().clearCaptured();
        outcome.heapBefore = heapInUse();
        const bool residentKnown = resetPeakResident();
        this->record();
        const double run = seconds.value_or(static_cast<double>(screen->loopTable().runLength) + 30);
        if (step <= 0)
            this->advance(run);
        else
            for (double waited = 0; waited < run; waited += step)
                this->advance(step);
        sampler->invalidate();
        if (residentKnown) outcome.peakResident = peakResident();
        if (seconds) {
            EXPECT_TRUE(screen->audioEngine->isRunning()) << "the run goes on through the pauses";
            EXPECT_TRUE(screen->recordButton->tap());
        } else {
            EXPECT_FALSE(screen->audioEngine->isRunning()) << "the run ended with its time";
        }
        RunLoop::main().runUntil([&] { return !screen->isFinalStopped; }, 30);
        this->runUntilIdle();
        outcome.transcript = screen->transcript()->text();
        return outcome;
    }
    Outcome dictate(int utterances, double step) {
        return dictate(writeSpeechWithPauses(Sandbox::tmp() / "pauses.wav", utterances), step);
    }

    void expectEveryUtteranceOnce(const Outcome& outcome, int utterances) {
        EXPECT_EQ(occurrences(outcome.transcript, kUtterance), static_cast<std::size_t>(utterances));
        EXPECT_EQ(outcome.transcript.find("Listening"), std::string::npos);
        EXPECT_EQ(outcome.transcript.find("  "), std::string::npos);
        EXPECT_FALSE(outcome.alertShown) << "no alert during the run";
        EXPECT_FALSE(this->screen->presentedViewController());
        EXPECT_TRUE(this->screen->recordButton->isEnabled());
        EXPECT_EQ(this->title(), "Start Recording");
    }
};

using MainPausesTest = SpeechWithPausesTest<quillora::ViewController>;
using DetailPausesTest = SpeechWithPausesTest<quillora::DetailRecipeVCTableView>;

std::string utterancesOnTheMainScreen(int utterances) {
    std::string all;
    for (int i = 0; i < utterances; ++i)
        all += std::string(" ") + kUtterance;
    return all;
}

} // namespace

// About 75 utterances over the half hour.
TEST_F(MainPausesTest, LongRunHalfAnHourOfSpeechWithPausesLandsEveryUtteranceOnce) {
    // A minute of the same speech first, so that nothing the long run leaves behind counts as the
    // minute's; and a short take before both loads what later takes reuse, so that they start alike.
    PocketsphinxEngine::preload();
    dictate(writeSpeechWithPauses(Sandbox::tmp() / "warm.wav", 2), 1, 20);
    auto minute = dictate(3, 1);
    const int utterances = 72;
    auto oneWait = dictate(utterances, 0);
    EXPECT_EQ(oneWait.transcript, utterancesOnTheMainScreen(utterances));
    expectEveryUtteranceOnce(oneWait, utterances);

    std::cout << "[ pauses ] peak heap " << oneWait.peakHeap << " bytes for half an hour, " << minute.peakHeap
              << " for a minute, from " << oneWait.heapBefore << " and " << minute.heapBefore
              << " before them; peak resident " << oneWait.peakResident << " and " << minute.peakResident
              << std::endl;
    ASSERT_GT(minute.peakHeap, 0u);
    EXPECT_LT(static_cast<double>(oneWait.peakHeap), 1.1 * static_cast<double>(minute.peakHeap));
    // What a take holds beyond what it started with: its transcript, the word lists the statistics
    // keep, a decoder's search. Audio left unheard would pile up at 64 kB a second of it (7.7 MB in
    // two minutes); a fault that leaves it so leaves the minute's take as heavy, so each take is held
    // to a bound of its own too.
    for (const auto* take : {&minute, &oneWait})
        EXPECT_LT(take->peakHeap, take->heapBefore + 8 * 1024 * 1024);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // Resident memory counts only without a sanitizer, whose shadow and quarantine grow on their own.
    if (minute.peakResident > 0) {
        EXPECT_LT(static_cast<double>(oneWait.peakResident), 1.1 * static_cast<double>(minute.peakResident));
    }
#endif
}

// A minute of speech with pauses on both sides of the recognizer's patience: one long wait, waits
// of five seconds and of one second all give the same transcript.
TEST_F(MainPausesTest, LongRunAMinuteOfSpeechGivesTheSameTranscriptHoweverTheWaitIsSplit) {
    const auto sound = writeSpeechWithPauses(Sandbox::tmp() / "minute.wav", 6, {3, 12, 6, 15, 2, 5});
    for (double step : {0.0, 5.0, 1.0}) {
        SCOPED_TRACE(step > 0 ? "waits of " + std::to_string(step) + " s" : std::string("one wait"));
        auto outcome = dictate(sound, step, 80);
        EXPECT_EQ(outcome.transcript, utterancesOnTheMainScreen(6));
        expectEveryUtteranceOnce(outcome, 6);
    }
}

TEST_F(DetailPausesTest, LongRunAnHourOnAnEntryInOneSecondStepsLandsEveryUtteranceOnce) {
    const int utterances = 150;
    auto stepped = dictate(utterances, 1);
    std::string expected = "Entry";
    for (int i = 0; i < utterances; ++i)
        expected += std::string("\n") + kUtterance;
    EXPECT_EQ(stepped.transcript, expected + "\n");
    expectEveryUtteranceOnce(stepped, utterances);
}
