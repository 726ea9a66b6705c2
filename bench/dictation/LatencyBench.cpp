// How long speech takes to show, on the real clock with the bundle's recording as the microphone:
// from a word's start in the audio to the first partial on screen, and from the end of the
// utterance to its text in the transcript (median and 95th percentile over repeated takes). Where
// the words lie in the audio is the recording's own: a decoder that has heard nothing before aligns
// it once, and each phrase of a take lies where the take's sound file puts it. (The engine's word
// times are no measure of it: a decoder lent again from the pool reports them shifted.) The
// engine's own share is measured without the screen (audio in, result on the main run loop); ours
// is the screen's pass over one result, timed alone. On the screen each take is a run of three
// phrases, and the first phrase of a run is reported apart from the later ones; the first take
// starts in a process that has loaded no speech model, and its tap waits, as a person does, for
// the record button to be enabled (cold_button_wait_ms), with the model loaded ahead as the window
// loads it. Other benchmarks of this program show screens, which load the model: for the cold
// figures run --benchmark_filter=ScreenLatency alone. bench/latency.sh runs it beside the engine's
// own tool on the same sound.

#include <benchmark/benchmark.h>
#include <pocketsphinx.h>
#include <sndfile.h>

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

// The model is not loaded here: the screen must have it ready before its button is enabled, as
// in the window.
void setUp() {
    static const bool done = [] {
        Sandbox::setRoot(std::filesystem::temp_directory_path() / "quillora-bench-latency");
        console().setSink([](const std::string&) {});
        setReachabilityOverride({kSCNetworkReachabilityFlagsReachable, false, false});
        SFSpeechRecognizer::setAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::authorized);
        SFSpeechRecognizer::setModelLoading(SFSpeechRecognizer::ModelLoading::ahead);
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

// The recording aligned by a decoder of its own, fed as the engine feeds one (10 ms at a time),
// which has heard nothing before it.
Timing referenceTiming() {
    static const Timing timing = [] {
        Timing t;
        cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE, "-logfn", "/dev/null", nullptr);
        if (!config) return t;
        ps_default_search_args(config);
        ps_decoder_t* ps = ps_init(config);
        cmd_ln_free_r(config);
        SF_INFO info{};
        SNDFILE* in = sf_open((NSBundle::defaultPath() / "demo.wav").c_str(), SFM_READ, &info);
        if (!ps || !in || info.samplerate != 16000 || info.channels != 1) {
            if (in) sf_close(in);
            if (ps) ps_free(ps);
            return t;
        }
        std::vector<short> pcm(static_cast<std::size_t>(info.frames));
        sf_readf_short(in, pcm.data(), info.frames);
        sf_close(in);
        ps_start_utt(ps);
        for (std::size_t at = 0; at < pcm.size(); at += 160)
            ps_process_raw(ps, pcm.data() + at, std::min<std::size_t>(160, pcm.size() - at), FALSE, FALSE);
        ps_end_utt(ps);
        bool first = true;
        for (ps_seg_t* seg = ps_seg_iter(ps); seg; seg = ps_seg_next(seg)) {
            const char* word = ps_seg_word(seg);
            if (!word || word[0] == '<' || word[0] == '[' || word[0] == '+') continue;
            int sf = 0, ef = 0;
            ps_seg_frames(seg, &sf, &ef);
            if (first) t.firstWordStart = sf / 100.0;
            first = false;
            t.lastWordEnd = (ef + 1) / 100.0;
        }
        ps_free(ps);
        return t;
    }();
    return timing;
}

// One take of the engine alone: the recording paced in real time into a request.
struct EngineTake {
    std::optional<double> toPartial, toFinal;
    std::string failure;
};

EngineTake engineTake(SFSpeechRecognizer& recognizer) {
    AVAudioEngine engine;
    engine.setInputSource(AVAudioInputSource::file(NSBundle::defaultPath() / "demo.wav"));
    auto request = std::make_shared<SFSpeechAudioBufferRecognitionRequest>();
    std::optional<Clock::time_point> firstPartial, final;
    EngineTake take;
    auto task = recognizer.recognitionTaskWithRequest_resultHandler(
        request, [&](const SFSpeechRecognitionResultRef& r, const std::optional<NSError>& e) {
            const auto now = Clock::now();
            if (!r) {
                if (e) take.failure = e->localizedDescription;
                final = now;
                return;
            }
            if (!firstPartial) firstPartial = now;
            if (r->isFinal()) final = now;
        });
    // 10 ms buffers of the 16 kHz recording, as the screens tap the microphone.
    engine.inputNode()->installTapOnBus_bufferSize_format_block(
        0, 160, {},
        [request](const AVAudioPCMBufferRef& b, const AVAudioTime&) { request->appendAudioPCMBuffer(b); });
    const auto start = Clock::now();
    engine.startAndReturnError();
    RunLoop::main().runUntil([&] { return final.has_value(); }, 30);
    engine.stop();
    const Timing timing = referenceTiming();
    if (firstPartial && final && take.failure.empty()) {
        take.toPartial = seconds(*firstPartial - start) - timing.firstWordStart;
        take.toFinal = seconds(*final - start) - timing.lastWordEnd;
    }
    return take;
}

void BM_EngineLatency(benchmark::State& state) {
    setUp();
    PocketsphinxEngine::preload(); // the engine's share, without the model's loading
    auto recognizer = SFSpeechRecognizer::initWithLocale("en-US");
    std::vector<double> toPartial, toFinal;
    for (auto _ : state) {
        for (int take = 0; take < kTakes; ++take) {
            const auto heard = engineTake(*recognizer);
            if (!heard.toPartial) {
                state.SkipWithError(
                    ("no result in take " + std::to_string(take) + ": " + heard.failure).c_str());
                return;
            }
            toPartial.push_back(*heard.toPartial);
            toFinal.push_back(*heard.toFinal);
        }
    }
    report(state, "word_to_partial", toPartial);
    report(state, "end_to_final", toFinal);
}

// The whole way through the first screen: what a person sees, read every half millisecond, over
// runs of three phrases (the recording, then two seconds of silence, three times).
constexpr int kPhrases = 3;
constexpr double kPause = 2.0;

std::filesystem::path threePhrases() {
    const auto path = std::filesystem::temp_directory_path() / "quillora-bench-three-phrases.wav";
    SF_INFO info{};
    SNDFILE* in = sf_open((NSBundle::defaultPath() / "demo.wav").c_str(), SFM_READ, &info);
    if (!in) return {};
    std::vector<float> phrase(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(in, phrase.data(), info.frames);
    sf_close(in);
    std::vector<float> all;
    for (int i = 0; i < kPhrases; ++i) {
        all.insert(all.end(), phrase.begin(), phrase.end());
        all.resize(all.size() + static_cast<std::size_t>(kPause * info.samplerate * info.channels));
    }
    SF_INFO out = info;
    out.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &out);
    if (!f) return {};
    sf_writef_float(f, all.data(),
                    static_cast<sf_count_t>(all.size() / static_cast<std::size_t>(info.channels)));
    sf_close(f);
    return path;
}

double demoSeconds() {
    SF_INFO info{};
    SNDFILE* in = sf_open((NSBundle::defaultPath() / "demo.wav").c_str(), SFM_READ, &info);
    if (!in) return 0;
    sf_close(in);
    return static_cast<double>(info.frames) / info.samplerate;
}

std::size_t phrasesIn(const std::string& text) {
    std::size_t count = 0;
    for (auto at = text.find("Go forward ten meters"); at != std::string::npos;
         at = text.find("Go forward ten meters", at + 1))
        ++count;
    return count;
}

void BM_ScreenLatency(benchmark::State& state) {
    setUp();
    const auto sound = threePhrases();
    const double phraseEvery = demoSeconds() + kPause;
    struct Shown {
        std::vector<std::optional<Clock::time_point>> partial =
            std::vector<std::optional<Clock::time_point>>(kPhrases);
        std::vector<std::optional<Clock::time_point>> transcript =
            std::vector<std::optional<Clock::time_point>>(kPhrases);
        Clock::time_point start;
    };
    std::vector<Shown> takes;
    double coldButtonWait = 0;
    for (auto _ : state) {
        for (int take = 0; take < kTakes; ++take) {
            auto screen = std::make_shared<quillora::ViewController>();
            screen->view();
            screen->audioEngine->setInputSource(AVAudioInputSource::file(sound));
            const auto shown = Clock::now();
            screen->applyAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::authorized);
            RunLoop::main().runUntil([&] { return screen->recordButton->isEnabled(); }, 60);
            if (take == 0) coldButtonWait = seconds(Clock::now() - shown);
            Shown seen;
            std::string label;
            auto watch = NSTimer::scheduledTimerWithTimeInterval(0.0005, true, [&](NSTimer&) {
                const auto now = Clock::now();
                const auto& live = screen->textView->text();
                const std::size_t done = phrasesIn(screen->Clipboard->text());
                for (std::size_t k = 0; k < done && k < kPhrases; ++k)
                    if (!seen.transcript[k]) seen.transcript[k] = now;
                if (done < kPhrases && !seen.partial[done] && live != label && live != " " && !live.empty() &&
                    live.find("Go") != std::string::npos)
                    seen.partial[done] = now;
            });
            seen.start = Clock::now();
            screen->recordButtonTapped();
            label = screen->textView->text(); // the listening text, before anything is heard
            RunLoop::main().runUntil([&] { return seen.transcript[kPhrases - 1].has_value(); }, 60);
            watch->invalidate();
            screen->recordButtonTapped();
            RunLoop::main().runUntil([&] { return !screen->isFinalStopped; }, 30);
            takes.push_back(seen);
        }
    }
    const Timing timing = referenceTiming();
    if (timing.lastWordEnd == 0) {
        state.SkipWithError("the recording could not be aligned");
        return;
    }
    std::vector<double> firstPartial, laterPartial, firstTranscript, laterTranscript;
    for (const auto& seen : takes)
        for (int k = 0; k < kPhrases; ++k) {
            if (!seen.partial[k] || !seen.transcript[k]) {
                state.SkipWithError("a phrase was not shown");
                return;
            }
            const double at = k * phraseEvery;
            const double toPartial = seconds(*seen.partial[k] - seen.start) - at - timing.firstWordStart;
            const double toTranscript = seconds(*seen.transcript[k] - seen.start) - at - timing.lastWordEnd;
            (k == 0 ? firstPartial : laterPartial).push_back(toPartial);
            (k == 0 ? firstTranscript : laterTranscript).push_back(toTranscript);
        }
    report(state, "first_word_to_partial", firstPartial);
    report(state, "later_word_to_partial", laterPartial);
    report(state, "first_end_to_transcript", firstTranscript);
    report(state, "later_end_to_transcript", laterTranscript);
    state.counters["cold_first_word_to_partial_ms"] = 1000 * firstPartial.front();
    state.counters["cold_button_wait_ms"] = 1000 * coldButtonWait;
    state.counters["word_at_ms"] = 1000 * timing.firstWordStart;
    state.counters["end_at_ms"] = 1000 * timing.lastWordEnd;
    std::filesystem::remove(sound);
}
// First, so that its first take starts before anything has loaded the model.
BENCHMARK(BM_ScreenLatency)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_EngineLatency)->Unit(benchmark::kMillisecond)->Iterations(1);

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
        if (screen->runState().recording()) screen->recordButtonTapped();
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
