// Real-time factor of recognising the demo clip: decoding time over clip duration, through the
// same path as dictation (file input, tap, request, pocketsphinx) on the virtual clock.
#include <chrono>
#include <filesystem>

#include <benchmark/benchmark.h>

#include "platform/avfaudio/AVAudioEngine.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/RunLoop.h"
#include "platform/speech/PocketsphinxEngine.h"
#include "platform/speech/SFSpeechRecognizer.h"

using namespace platform;

static void BM_DemoClipRealTimeFactor(benchmark::State& state) {
    RunLoop::main().useVirtualClock();
    PocketsphinxEngine::preload();
    const auto clip = NSBundle::defaultPath() / "demo.wav";
    auto recognizer = SFSpeechRecognizer::initWithLocale("en-US");
    double audioSeconds = 0, wallSeconds = 0;
    std::string text;
    for (auto _ : state) {
        auto input = AVAudioInputSource::file(clip);
        if (!input) {
            state.SkipWithError("demo clip missing");
            return;
        }
        AVAudioEngine engine;
        engine.setInputSource(input);
        auto request = std::make_shared<SFSpeechAudioBufferRecognitionRequest>();
        bool ended = false;
        auto task = recognizer->recognitionTaskWithRequest_resultHandler(
            request, [&](const SFSpeechRecognitionResultRef& r, const std::optional<NSError>&) {
                if (!r || r->isFinal()) ended = true;
                if (r) text = r->bestTranscription().formattedString();
            });
        engine.inputNode()->installTapOnBus_bufferSize_format_block(
            0, 1024, {}, [request](const AVAudioPCMBufferRef& b, const AVAudioTime&) {
                request->appendAudioPCMBuffer(b);
            });
        const double clockStart = RunLoop::main().now();
        const auto start = std::chrono::steady_clock::now();
        engine.startAndReturnError();
        RunLoop::main().runUntil([&] { return ended; }, 30);
        wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        audioSeconds += RunLoop::main().now() - clockStart;
        engine.stop();
    }
    state.counters["real_time_factor"] = wallSeconds / audioSeconds;
    state.counters["audio_s"] = audioSeconds / static_cast<double>(state.iterations());
    state.SetLabel(text);
}
BENCHMARK(BM_DemoClipRealTimeFactor)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
