// Ten minutes of dictation on the real clock with a busy thread beside it: phrases of the bundle's
// recording and of pocketsphinx-testdata, with pauses from 0.3 to 35 seconds between them, dictated
// on the main screen. The transcript is compared word by word with the one the same recording
// gives on the virtual clock, where the decoder never falls behind the microphone: words lost and
// words extra should both be 0.
//
//     build-bench/bench/dictation/dictation_soak_bench [--benchmark_counters_tabular=true]

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

#include "dictation/ViewController.h"
#include "platform/avfaudio/AVAudioInputSource.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/speech/SFSpeechRecognizer.h"
#include "platform/systemconfiguration/SCNetworkReachability.h"
#include "platform/uikit/UITextView.h"
#include "tests/dictation/PhrasesWithPauses.h"

using namespace platform;
using quillora::test::kTestClips;

namespace {

constexpr double kSoakSeconds = 600;

// The phrases in turn, each followed by the next pause of the cycle, until ten minutes are filled.
std::vector<std::pair<std::filesystem::path, double>> soakPhrases() {
    const auto librivox = kTestClips / "librivox";
    const std::vector<std::filesystem::path> clips = {
        NSBundle::defaultPath() / "demo.wav",
        kTestClips / "numbers.raw",
        librivox / "sense_and_sensibility_01_austen_64kb-0880.wav",
        kTestClips / "something.raw",
        librivox / "sense_and_sensibility_01_austen_64kb-0930.wav",
        kTestClips / "goforward.raw",
        librivox / "sense_and_sensibility_01_austen_64kb-0890.wav",
    };
    const std::vector<double> pauses = {0.3, 0.6, 1.0, 1.5, 0.45, 3, 0.7, 8,  0.35, 35, 1.2,
                                        0.5, 15,  0.8, 25,  0.3,  5, 1.8, 12, 0.55, 20, 0.9};
    std::vector<double> lengths;
    for (const auto& clip : clips)
        lengths.push_back(static_cast<double>(quillora::test::speechOf(clip).size()) / 16000);
    std::vector<std::pair<std::filesystem::path, double>> phrases;
    double total = 0;
    for (std::size_t i = 0; total < kSoakSeconds; ++i) {
        const double pause = pauses[i % pauses.size()];
        phrases.emplace_back(clips[i % clips.size()], pause);
        total += lengths[i % clips.size()] + pause;
    }
    return phrases;
}

class BusyThread {
public:
    BusyThread()
        : thread_([this] {
              volatile double x = 1;
              while (!stop_)
                  x = std::sqrt(x + 1.0);
          }) {}
    ~BusyThread() { stop_ = true; }

private:
    std::atomic<bool> stop_{false};
    std::jthread thread_;
};

// The whole recording dictated on a new main screen, stopped once it has been heard and the decoder
// has caught up; the transcript.
std::string dictate(const std::filesystem::path& sound) {
    auto input = std::dynamic_pointer_cast<AVAudioFileInput>(AVAudioInputSource::file(sound));
    if (!input) return {};
    AVAudioInputSource::setCurrent(input);
    auto screen = std::make_shared<quillora::ViewController>();
    screen->view();
    screen->applyAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::authorized);
    auto& loop = RunLoop::main();
    loop.runUntil([&] { return screen->recordButton->isEnabled(); }, 60);
    screen->recordButtonTapped();
    // A wait on the virtual clock gives up after a minute of real time: the decoder may need more.
    for (int minute = 0; minute < 30 && !input->atEnd(); ++minute)
        loop.runUntil([&] { return input->atEnd(); }, 2 * kSoakSeconds);
    loop.settleExternalWork(600);
    loop.runUntil([] { return false; }, 1);
    screen->recordButtonTapped();
    loop.runUntil([&] { return !screen->isFinalStopped; }, 600);
    loop.runUntilIdle();
    return screen->Clipboard->text();
}

void BM_RealTimeSoak(benchmark::State& state) {
    Sandbox::setRoot(std::filesystem::temp_directory_path() / "quillora-bench-soak");
    console().setSink([](const std::string&) {});
    setReachabilityOverride({kSCNetworkReachabilityFlagsReachable, false, false});
    SFSpeechRecognizer::setAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::authorized);
    const auto sound = std::filesystem::temp_directory_path() / "quillora-bench-soak.wav";
    if (!quillora::test::writePhrasesWithPauses(sound, soakPhrases())) {
        state.SkipWithError("the test clips of pocketsphinx-testdata are needed");
        return;
    }
    std::string expected, heard;
    double realSeconds = 0;
    for (auto _ : state) {
        RunLoop::main().useVirtualClock();
        expected = dictate(sound);
        RunLoop::main().useRealClock();
        const auto start = std::chrono::steady_clock::now();
        {
            BusyThread busy;
            heard = dictate(sound);
        }
        realSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    std::filesystem::remove(sound);
    const auto difference = quillora::test::compareWords(expected, heard);
    state.counters["phrases"] = static_cast<double>(soakPhrases().size());
    state.counters["words_expected"] = static_cast<double>(quillora::test::wordsOf(expected).size());
    state.counters["words_lost"] = static_cast<double>(difference.lost);
    state.counters["words_extra"] = static_cast<double>(difference.extra);
    state.counters["real_seconds"] = realSeconds;
    if (difference.lost || difference.extra)
        std::fprintf(stderr, "virtual clock:%s\nreal clock:%s\n", expected.c_str(), heard.c_str());
}
BENCHMARK(BM_RealTimeSoak)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
