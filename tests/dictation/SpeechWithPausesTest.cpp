// Long dictation with real recognition and long pauses: the bundle's recording said again and again
// with silences of 2 to 40 seconds between, dictated for a whole run on the first screen and on a
// detail screen. Every utterance lands once, silence adds nothing and never ends the run, and
// neither the result nor the memory depends on how the time is stepped or how long the file is.

#include <malloc.h>

#include <cstdint>
#include <fstream>
#include <iostream>

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer's count of the heap in use (its allocator interface; GCC ships no header for it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

#include "detail/DetailEntryScreen.h"
#include "platform/foundation/NSLocale.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/Sandbox.h"
#include "tests/dictation/DictationTestSupport.h"

using namespace platform;
using quillora::test::DictationScreenFixture;
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

// Writes the recording `utterances` times, each followed by a silence from the cycle of pauses,
// as a 16-bit WAV file; returns its path.
std::filesystem::path writeSpeechWithPauses(const std::filesystem::path& path, int utterances) {
    static const double pauses[] = {2, 17, 40, 5, 28, 11, 33, 3, 21, 8, 37, 14};
    const auto demo = demoSamples();
    std::vector<std::int16_t> pcm;
    for (int i = 0; i < utterances; ++i) {
        for (float s : demo)
            pcm.push_back(static_cast<std::int16_t>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767)));
        pcm.resize(pcm.size() + static_cast<std::size_t>(pauses[i % std::size(pauses)] * 16000));
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

// Heap in use now; under AddressSanitizer, without what it holds back from reuse.
std::size_t heapInUse() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

std::size_t occurrences(const std::string& text, const std::string& phrase) {
    std::size_t count = 0;
    for (auto at = text.find(phrase); at != std::string::npos; at = text.find(phrase, at + phrase.size()))
        ++count;
    return count;
}

template <class Screen> class SpeechWithPausesTest : public DictationScreenFixture<Screen> {
protected:
    struct Outcome {
        std::string transcript;
        std::size_t peakHeap = 0;
        bool alertShown = false;
    };

    // Dictates `utterances` with their pauses through a whole run, stepping the clock by `step`
    // seconds (or in one wait when `step` is 0), and the stop that follows.
    Outcome dictate(int utterances, double step) {
        Outcome outcome;
        ScriptedSpeech::shared().setScriptedLocales({});
        std::optional<NSError> error;
        AVAudioInputSource::setCurrent(AVAudioInputSource::file(
            writeSpeechWithPauses(Sandbox::tmp() / "pauses.wav", utterances), &error));
        this->show([](Screen& s) {
            if constexpr (std::is_base_of_v<quillora::DetailEntryScreen, Screen>) s.text = "Entry";
        });
        auto& screen = this->screen;
        auto sampler = NSTimer::scheduledTimerWithTimeInterval(5, true, [&](NSTimer&) {
            outcome.peakHeap = std::max(outcome.peakHeap, heapInUse());
            outcome.alertShown = outcome.alertShown || screen->presentedViewController();
        });
        this->record();
        const double run = static_cast<double>(screen->loopTable().runLength) + 30;
        if (step <= 0)
            this->advance(run);
        else
            for (double waited = 0; waited < run; waited += step)
                this->advance(step);
        sampler->invalidate();
        EXPECT_FALSE(screen->audioEngine->isRunning()) << "the run ended with its time";
        RunLoop::main().runUntil([&] { return !screen->isFinalStopped; }, 30);
        this->runUntilIdle();
        outcome.transcript = screen->transcript()->text();
        return outcome;
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

} // namespace

// About 75 utterances over the half hour.
TEST_F(MainPausesTest, LongRunHalfAnHourOfSpeechWithPausesLandsEveryUtteranceOnce) {
    const int utterances = 72;
    auto oneWait = dictate(utterances, 0);
    EXPECT_EQ(oneWait.transcript, [&] {
        std::string all;
        for (int i = 0; i < utterances; ++i)
            all += std::string(" ") + kUtterance;
        return all;
    }());
    expectEveryUtteranceOnce(oneWait, utterances);

    // A minute of the same speech: the whole run's memory stays near it.
    auto minute = dictate(3, 1);
    std::cout << "[ pauses ] peak heap " << oneWait.peakHeap << " bytes for half an hour, " << minute.peakHeap
              << " for a minute" << std::endl;
    ASSERT_GT(minute.peakHeap, 0u);
    EXPECT_LT(static_cast<double>(oneWait.peakHeap), 1.1 * static_cast<double>(minute.peakHeap));
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
