// How long speech takes to show, on the real clock with the bundle's recording as the microphone:
// from a word's start in the audio to the first partial on screen, and from the end of the
// utterance to its text in the transcript (median and 95th percentile over repeated takes). The
// engine's own share is measured without the screen (audio in, result on the main run loop); ours
// is the screen's pass over one result, timed alone.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "dictation/ViewController.h"
#include "platform/avfaudio/AVAudioEngine.h"
#include "platform/avfaudio/AVAudioInputSource.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/speech/PocketsphinxEngine.h"
#include "platform/speech/SFSpeechRecognizer.h"
#include "platform/systemconfiguration/SCNetworkReachability.h"

using namespace platform;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kTakes = 8;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

void report(benchmark::State& state, const std::string& name, const std::vector<double>& values) {
    state.counters[name + "_median_ms"] = 1000 * percentile(values, 0.5);
    state.counters[name + "_p95_ms"] = 1000 * percentile(values, 0.95);
}

void setUp() {
    static const bool done = [] {
        Sandbox::setRoot(std::filesystem::temp_directory_path() / "quillora-bench-latency");
        console().setSink([](const std::string&) {});
        setReachabilityOverride({kSCNetworkReachabilityFlagsReachable, false, false});
        SFSpeechRecognizer::setAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::authorized);
        PocketsphinxEngine::preload();
        return true;
    }();
    (void)done;
    RunLoop::main().useRealClock();
    AVAudioInputSource::setCurrent(AVAudioInputSource::file(NSBundle::defaultPath() / "demo.wav"));
}

// Where the words lie in the recording, from its final result.
struct Timing {
    double firstWordStart = 0;
    double lastWordEnd = 0;
};

Timing timingOf(const SFTranscription& transcription) {
    Timing timing;
    const auto& words = transcription.segments();
    if (!words.empty()) {
        timing.firstWordStart = words.front().timestamp();
        timing.lastWordEnd = words.back().timestamp() + words.back().duration();
    }
    return timing;
}

// The recognizer alone: audio paced in real time into a request, results on the main run loop.
// The word times of the last take the engine alone heard; the screen's takes hear the same audio.
Timing lastTiming;

void BM_EngineLatency(benchmark::State& state) {
    setUp();
    auto recognizer = SFSpeechRecognizer::initWithLocale("en-US");
    std::vector<double> toPartial, toFinal;
    for (auto _ : state) {
        for (int take = 0; take < kTakes; ++take) {
            AVAudioEngine engine;
            engine.setInputSource(AVAudioInputSource::file(NSBundle::defaultPath() / "demo.wav"));
            auto request = std::make_shared<SFSpeechAudioBufferRecognitionRequest>();
            std::optional<Clock::time_point> firstPartial, final;
            std::string failure;
            Timing timing;
            auto task = recognizer->recognitionTaskWithRequest_resultHandler(
                request, [&](const SFSpeechRecognitionResultRef& r, const std::optional<NSError>& e) {
                    const auto now = Clock::now();
                    if (!r) {
                        if (e) failure = e->localizedDescription;
                        final = now;
                        return;
                    }
                    if (!firstPartial) firstPartial = now;
                    if (r->isFinal()) {
                        final = now;
                        timing = timingOf(r->bestTranscription());
                        lastTiming = timing;
                    }
                });
            engine.inputNode()->installTapOnBus_bufferSize_format_block(
                0, 1024, {}, [request](const AVAudioPCMBufferRef& b, const AVAudioTime&) {
                    request->appendAudioPCMBuffer(b);
                });
            const auto start = Clock::now();
            engine.startAndReturnError();
            RunLoop::main().runUntil([&] { return final.has_value(); }, 30);
            engine.stop();
            if (!firstPartial || !final) {
                state.SkipWithError(("no result in take " + std::to_string(take) + ": " + failure).c_str());
                return;
            }
            toPartial.push_back(seconds(*firstPartial - start) - timing.firstWordStart);
            toFinal.push_back(seconds(*final - start) - timing.lastWordEnd);
        }
    }
    report(state, "word_to_partial", toPartial);
    report(state, "end_to_final", toFinal);
}
BENCHMARK(BM_EngineLatency)->Unit(benchmark::kMillisecond)->Iterations(1);

// The whole way through the first screen: what a person sees, read every half millisecond.
void BM_ScreenLatency(benchmark::State& state) {
    setUp();
    std::vector<double> toPartial, toTranscript;
    for (auto _ : state) {
        for (int take = 0; take < kTakes; ++take) {
            auto screen = std::make_shared<quillora::ViewController>();
            screen->view();
            screen->audioEngine->setInputSource(
                AVAudioInputSource::file(NSBundle::defaultPath() / "demo.wav"));
            screen->applyAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::authorized);
            std::string label;
            std::optional<Clock::time_point> partialShown, transcriptShown;
            auto watch = NSTimer::scheduledTimerWithTimeInterval(0.0005, true, [&](NSTimer&) {
                const auto now = Clock::now();
                const auto& live = screen->textView->text();
                if (!partialShown && live != label && live != " " && !live.empty()) partialShown = now;
                if (!transcriptShown && screen->Clipboard->text().size() > 1) transcriptShown = now;
            });
            const auto start = Clock::now();
            screen->recordButtonTapped();
            label = screen->textView->text(); // the listening text, before anything is heard
            RunLoop::main().runUntil([&] { return transcriptShown.has_value(); }, 30);
            watch->invalidate();
            screen->recordButtonTapped();
            RunLoop::main().runUntil([&] { return !screen->isFinalStopped; }, 30);
            if (!partialShown || !transcriptShown) {
                state.SkipWithError("nothing shown");
                return;
            }
            toPartial.push_back(seconds(*partialShown - start) - lastTiming.firstWordStart);
            toTranscript.push_back(seconds(*transcriptShown - start) - lastTiming.lastWordEnd);
        }
    }
    report(state, "word_to_partial", toPartial);
    report(state, "end_to_transcript", toTranscript);
}
BENCHMARK(BM_ScreenLatency)->Unit(benchmark::kMillisecond)->Iterations(1);

// Our own share: the screen's pass over one partial and over one final (append, store, word
// classes, the next task's start), timed alone.
void BM_ScreenPass(benchmark::State& state) {
    setUp();
    RunLoop::main().useVirtualClock();
    AVAudioInputSource::setCurrent(AVAudioInputSource::silence());
    auto screen = std::make_shared<quillora::ViewController>();
    screen->view();
    screen->applyAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::authorized);
    const bool final = state.range(0) != 0;
    auto result = std::make_shared<SFSpeechRecognitionResult>(
        SFTranscription::verbatim("Go forward ten meters", 0.3, final ? 0.9f : 0.0f), final);
    std::vector<double> passes;
    for (auto _ : state) {
        state.PauseTiming();
        screen->recordButtonTapped();
        RunLoop::main().runUntilIdle();
        state.ResumeTiming();
        const auto start = Clock::now();
        screen->handleRecognitionResultLoop1(result, std::nullopt, screen->audioEngine->inputNode());
        passes.push_back(seconds(Clock::now() - start));
        state.PauseTiming();
        if (screen->audioEngine->isRunning()) screen->recordButtonTapped();
        RunLoop::main().advance(1);
        screen->handleRecognitionResultLoop1(nullptr,
                                             NSError{"SFSpeechErrorDomain", 1110, "No speech detected"},
                                             screen->audioEngine->inputNode());
        RunLoop::main().advance(1);
        state.ResumeTiming();
    }
    report(state, final ? "final_pass" : "partial_pass", passes);
}
BENCHMARK(BM_ScreenPass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(50);

} // namespace
