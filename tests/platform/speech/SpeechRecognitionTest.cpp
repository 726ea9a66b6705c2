#include <algorithm>
#include <atomic>
#include <iostream>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

#include <samplerate.h>
#include <sndfile.h>

#include "platform/avfaudio/AVAudioEngine.h"
#include "platform/foundation/RunLoop.h"
#include "platform/speech/PocketsphinxEngine.h"
#include "platform/speech/SFSpeechRecognizer.h"
#include "platform/speech/ScriptedSpeech.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using quillora::test::PlatformTest;
using quillora::test::sourceBundle;

namespace {

// What a task told its handler, one line per callback, and where it was told.
struct Recorder {
    std::vector<std::string> events;
    std::vector<double> times;
    bool ended = false;
    bool offMain = false;
    std::thread::id mainThread = std::this_thread::get_id();
    std::vector<SFTranscriptionSegment> lastSegments;

    SFSpeechRecognitionResultHandler handler() {
        return [this](const SFSpeechRecognitionResultRef& result, const std::optional<NSError>& error) {
            if (std::this_thread::get_id() != mainThread) offMain = true;
            times.push_back(RunLoop::main().now());
            if (result) {
                lastSegments = result->bestTranscription().segments();
                events.push_back((result->isFinal() ? "final:" : "partial:") +
                                 result->bestTranscription().formattedString());
                ended = ended || result->isFinal();
            } else {
                events.push_back("error:" + (error ? error->localizedDescription : std::string("?")));
                ended = true;
            }
        };
    }
    std::size_t count(const std::string& prefix) const {
        std::size_t n = 0;
        for (const auto& e : events)
            n += e.rfind(prefix, 0) == 0;
        return n;
    }
};

// A dictation as the screens run it: a request fed by a tap on the engine's input node.
struct Dictation {
    AVAudioEngine engine;
    std::shared_ptr<SFSpeechAudioBufferRecognitionRequest> request =
        std::make_shared<SFSpeechAudioBufferRecognitionRequest>();
    std::shared_ptr<SFSpeechRecognitionTask> task;

    void start(SFSpeechRecognizer& recognizer, Recorder& recorder) {
        task = recognizer.recognitionTaskWithRequest_resultHandler(request, recorder.handler());
        auto node = engine.inputNode();
        auto captured = request;
        ASSERT_TRUE(node->installTapOnBus_bufferSize_format_block(
            0, 1024, node->outputFormatForBus(0),
            [captured](const AVAudioPCMBufferRef& buffer, const AVAudioTime&) {
                captured->appendAudioPCMBuffer(buffer);
            }));
        engine.prepare();
        ASSERT_FALSE(engine.startAndReturnError());
    }
    void stop() {
        engine.stop();
        engine.inputNode()->removeTapOnBus(0);
    }
};

class AvailabilityWatcher : public SFSpeechRecognizerDelegate {
public:
    void speechRecognizer_availabilityDidChange(SFSpeechRecognizer&, bool available) override {
        heard.push_back(available);
    }
    std::vector<bool> heard;
};

bool waitFor(const std::function<bool()>& done, double seconds = 120) {
    return RunLoop::main().runUntil(done, seconds);
}

// The demo clip at another rate and with two channels, to go through mixing and resampling.
std::filesystem::path resampledDemo(const std::filesystem::path& dir) {
    SF_INFO info{};
    SNDFILE* in = sf_open((sourceBundle() / "demo.wav").c_str(), SFM_READ, &info);
    std::vector<float> mono(static_cast<std::size_t>(info.frames));
    sf_readf_float(in, mono.data(), info.frames);
    sf_close(in);
    const double ratio = 44100.0 / 16000.0;
    std::vector<float> out(static_cast<std::size_t>(mono.size() * ratio) + 16);
    SRC_DATA data{};
    data.data_in = mono.data();
    data.input_frames = static_cast<long>(mono.size());
    data.data_out = out.data();
    data.output_frames = static_cast<long>(out.size());
    data.src_ratio = ratio;
    src_simple(&data, SRC_SINC_BEST_QUALITY, 1);
    std::vector<float> stereo;
    for (long i = 0; i < data.output_frames_gen; ++i)
        stereo.insert(stereo.end(), {out[i], out[i]});
    SF_INFO outInfo{};
    outInfo.samplerate = 44100;
    outInfo.channels = 2;
    outInfo.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    const auto path = dir / "demo-44k-stereo.flac";
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &outInfo);
    sf_writef_float(f, stereo.data(), data.output_frames_gen);
    sf_close(f);
    return path;
}

} // namespace

class SpeechRecognitionTest : public PlatformTest {};

// First in this program, while no model is loaded. Loaded as tasks start, nothing loads before
// one does; loaded ahead, preparing loads it off the main thread and says so on the main run loop,
// never inside the call; held, nothing loads until it is let go. A scripted locale has nothing to
// load.
TEST_F(SpeechRecognitionTest, PreparingLoadsTheModelOnlyWhenLoadingAheadAndOffTheMainThread) {
    auto english = SFSpeechRecognizer::initWithLocale("en-US");
    ASSERT_TRUE(english->isAvailable());
    const bool loadedBefore = PocketsphinxEngine::isLoaded();
    if (loadedBefore) std::cout << "[ note ] the model was loaded before this test" << std::endl;
    int ready = 0;
    const auto mainThread = std::this_thread::get_id();
    bool onMain = true;
    auto prepare = [&] {
        english->prepare([&] {
            onMain = onMain && std::this_thread::get_id() == mainThread;
            ++ready;
        });
    };

    // The default: a script that never records waits for nothing.
    EXPECT_TRUE(english->isPrepared());
    prepare();
    EXPECT_EQ(ready, 0);
    ASSERT_TRUE(RunLoop::main().settleExternalWork(120));
    EXPECT_EQ(ready, 1);
    EXPECT_EQ(PocketsphinxEngine::isLoaded(), loadedBefore) << "nothing recorded, nothing loaded";

    SFSpeechRecognizer::setModelLoading(SFSpeechRecognizer::ModelLoading::held);
    EXPECT_EQ(english->isPrepared(), loadedBefore);
    prepare();
    ASSERT_TRUE(RunLoop::main().settleExternalWork(120));
    EXPECT_EQ(PocketsphinxEngine::isLoaded(), loadedBefore) << "held back";
    EXPECT_EQ(ready, loadedBefore ? 2 : 1);

    SFSpeechRecognizer::setModelLoading(SFSpeechRecognizer::ModelLoading::ahead);
    ASSERT_TRUE(RunLoop::main().settleExternalWork(120));
    EXPECT_EQ(ready, 2) << "the held preparation, once";
    EXPECT_TRUE(onMain);
    EXPECT_TRUE(PocketsphinxEngine::isLoaded());
    EXPECT_TRUE(english->isPrepared());

    ScriptedSpeech::shared().setScriptedLocales({"fr-FR"});
    auto french = SFSpeechRecognizer::initWithLocale("fr-FR");
    EXPECT_TRUE(french->isPrepared());
    french->prepare([&] { ++ready; });
    EXPECT_EQ(ready, 2);
    runUntilIdle();
    EXPECT_EQ(ready, 3);
}

TEST_F(SpeechRecognitionTest, DemoClipIsRecognisedThroughTheTapWithPartialsThenOneFinal) {
    for (bool resampled : {false, true}) {
        SCOPED_TRACE(resampled ? "44.1 kHz stereo FLAC" : "16 kHz mono WAV");
        std::optional<NSError> error;
        auto input =
            AVAudioInputSource::file(resampled ? resampledDemo(home) : sourceBundle() / "demo.wav", &error);
        ASSERT_TRUE(input) << (error ? error->localizedDescription : "");
        AVAudioInputSource::setCurrent(input);
        auto recognizer = SFSpeechRecognizer::initWithLocale("en-GB");
        ASSERT_TRUE(recognizer->isAvailable());

        Recorder recorder;
        Dictation dictation;
        dictation.start(*recognizer, recorder);
        runUntilIdle();
        EXPECT_TRUE(recorder.events.empty());
        ASSERT_TRUE(waitFor([&] { return recorder.ended; })) << ::testing::PrintToString(recorder.events);
        dictation.stop();

        ASSERT_GE(recorder.events.size(), 2u);
        SCOPED_TRACE(::testing::PrintToString(recorder.events) + description(recorder.lastSegments));
        EXPECT_EQ(recorder.events.back(), "final:Go forward ten meters");
        EXPECT_EQ(recorder.count("final:"), 1u);
        EXPECT_EQ(recorder.count("partial:"), recorder.events.size() - 1);
        EXPECT_NE(std::find(recorder.events.begin(), recorder.events.end(), "partial:Go forward"),
                  recorder.events.end());
        EXPECT_FALSE(recorder.offMain);
        EXPECT_EQ(dictation.task->state(), SFSpeechRecognitionTaskState::completed);
        ASSERT_EQ(recorder.lastSegments.size(), 4u);
        EXPECT_EQ(recorder.lastSegments[3].substring(), "meters");
        EXPECT_GT(recorder.lastSegments[3].timestamp(), recorder.lastSegments[0].timestamp());
        EXPECT_LT(recorder.lastSegments[3].timestamp(), 2.8);
        // The task ended itself at the end of the utterance, about half a second after the words.
        EXPECT_LT(recorder.times.back(), 6.0);
    }
}

TEST_F(SpeechRecognitionTest, PocketsphinxEndsASilentTaskAfterTenSecondsOfAudio) {
    AVAudioInputSource::setCurrent(AVAudioInputSource::silence(16000, 1));
    auto recognizer = SFSpeechRecognizer::initWithLocale("en-US");
    Recorder recorder;
    Dictation dictation;
    dictation.start(*recognizer, recorder);
    ASSERT_TRUE(waitFor([&] { return recorder.ended; }));
    EXPECT_EQ(recorder.events, std::vector<std::string>{"error:No speech detected"});
    EXPECT_GE(recorder.times.back(), 10.0);
}

// Exercises the real-time audio thread feeding the decoder; also built and run under ThreadSanitizer.
TEST_F(SpeechRecognitionTest, RealTimeTapThreadFeedsTheDecoderAndResultsComeOnTheMainThread) {
    RunLoop::main().useRealClock();
    AVAudioInputSource::setCurrent(AVAudioInputSource::file(sourceBundle() / "demo.wav"));
    auto recognizer = SFSpeechRecognizer::initWithLocale("en-US");
    Recorder recorder;
    Dictation dictation;
    dictation.start(*recognizer, recorder);
    ASSERT_TRUE(waitFor([&] { return recorder.ended; }, 20));
    dictation.stop();
    EXPECT_EQ(recorder.events.back(), "final:Go forward ten meters");
    EXPECT_FALSE(recorder.offMain);
    RunLoop::main().useVirtualClock();
}

TEST_F(SpeechRecognitionTest, ScriptedTasksEndByUtteranceNoSpeechAndLongestTaskLimits) {
    ScriptedSpeech::shared().setScriptedLocales({"fr-FR"});
    AVAudioInputSource::setCurrent(AVAudioInputSource::silence(16000, 1));
    auto recognizer = SFSpeechRecognizer::initWithLocale("fr-FR");
    ASSERT_TRUE(recognizer->isAvailable());

    // End of an utterance: a final result ends the task; later texts have no task to go to.
    {
        Recorder recorder;
        Dictation dictation;
        dictation.start(*recognizer, recorder);
        EXPECT_TRUE(ScriptedSpeech::shared().partial("bonjour"));
        EXPECT_TRUE(recorder.events.empty()) << "results never arrive inside the call";
        EXPECT_TRUE(ScriptedSpeech::shared().final("bonjour tout le monde"));
        EXPECT_FALSE(ScriptedSpeech::shared().partial("trop tard"));
        runUntilIdle();
        EXPECT_EQ(recorder.events,
                  (std::vector<std::string>{"partial:bonjour", "final:bonjour tout le monde"}));
        dictation.stop();
    }
    // No speech: an error once ten seconds of audio have been heard, not before.
    {
        Recorder recorder;
        Dictation dictation;
        dictation.start(*recognizer, recorder);
        advance(9.9);
        EXPECT_TRUE(recorder.events.empty());
        advance(0.2);
        EXPECT_EQ(recorder.events, std::vector<std::string>{"error:No speech detected"});
        dictation.stop();
    }
    // Longest task: after sixty seconds of audio the task ends with the last text it had.
    {
        Recorder recorder;
        Dictation dictation;
        dictation.start(*recognizer, recorder);
        advance(1);
        ScriptedSpeech::shared().partial("une longue phrase");
        advance(58.8);
        EXPECT_EQ(recorder.count("final:"), 0u);
        advance(0.3);
        EXPECT_EQ(recorder.events.back(), "final:une longue phrase");
        EXPECT_EQ(recorder.events.size(), 2u);
        dictation.stop();
    }
}

TEST_F(SpeechRecognitionTest, EndAudioAlwaysBringsOneLastCallbackAndCancelExactlyOneError) {
    ScriptedSpeech::shared().setScriptedLocales({"*"});
    auto recognizer = SFSpeechRecognizer::initWithLocale("de-DE");
    auto startTask = [&](Recorder& r) {
        auto request = std::make_shared<SFSpeechAudioBufferRecognitionRequest>();
        return std::make_pair(request,
                              recognizer->recognitionTaskWithRequest_resultHandler(request, r.handler()));
    };

    Recorder spoke;
    auto [request1, task1] = startTask(spoke);
    ScriptedSpeech::shared().partial("hallo welt");
    request1->endAudio();
    advance(5);
    EXPECT_EQ(spoke.events, (std::vector<std::string>{"partial:hallo welt", "final:hallo welt"}));

    Recorder silent;
    auto [request2, task2] = startTask(silent);
    request2->endAudio();
    advance(5);
    EXPECT_EQ(silent.events, std::vector<std::string>{"error:No speech detected"});

    // Cancel after the audio ended and a final was already queued: only the cancellation is heard.
    Recorder cancelled;
    auto [request3, task3] = startTask(cancelled);
    ScriptedSpeech::shared().final("zu spät");
    request3->endAudio();
    task3->cancel();
    task3->cancel();
    advance(70);
    EXPECT_EQ(cancelled.events, std::vector<std::string>{"error:Recognition request was canceled"});
    EXPECT_TRUE(task3->isCancelled());
    EXPECT_EQ(task3->state(), SFSpeechRecognitionTaskState::completed);

    // A task that has ended ignores cancel.
    task1->cancel();
    advance(1);
    EXPECT_EQ(spoke.events.size(), 2u);

    // A request serves one task only.
    Recorder reused;
    auto task4 = recognizer->recognitionTaskWithRequest_resultHandler(request1, reused.handler());
    runUntilIdle();
    ASSERT_EQ(reused.events.size(), 1u);
    EXPECT_EQ(reused.events[0].rfind("error:", 0), 0u);
}

TEST_F(SpeechRecognitionTest, UnavailableLocaleIsToldOnceAndItsTasksFailAfterOneSecond) {
    auto recognizer = SFSpeechRecognizer::initWithLocale("hi-IN-translit");
    EXPECT_FALSE(recognizer->isAvailable());
    EXPECT_EQ(SFSpeechRecognizer::supportedLocales().count("hi-IN-translit"), 0u);
    EXPECT_EQ(SFSpeechRecognizer::supportedLocales().count("en-US"), 1u);

    auto watcher = std::make_shared<AvailabilityWatcher>();
    recognizer->setDelegate(watcher);
    recognizer->setDelegate(watcher);
    EXPECT_TRUE(watcher->heard.empty());
    runUntilIdle();
    EXPECT_EQ(watcher->heard, std::vector<bool>{false});

    Recorder recorder;
    auto request = std::make_shared<SFSpeechAudioBufferRecognitionRequest>();
    auto task = recognizer->recognitionTaskWithRequest_resultHandler(request, recorder.handler());
    advance(0.99);
    EXPECT_TRUE(recorder.events.empty());
    advance(0.01);
    ASSERT_EQ(recorder.events.size(), 1u);
    EXPECT_EQ(recorder.events[0].rfind("error:", 0), 0u);

    // Service lost and regained for a served locale reaches the delegate each time, on the run loop.
    ScriptedSpeech::shared().setScriptedLocales({"es-419"});
    auto spanish = SFSpeechRecognizer::initWithLocale("es-419");
    auto spanishWatcher = std::make_shared<AvailabilityWatcher>();
    spanish->setDelegate(spanishWatcher);
    ScriptedSpeech::shared().setLocaleAvailable("es-419", false);
    ScriptedSpeech::shared().setLocaleAvailable("es-419", true);
    runUntilIdle();
    EXPECT_EQ(spanishWatcher->heard, (std::vector<bool>{false, true}));
}

TEST_F(SpeechRecognitionTest, AuthorizationIsAnsweredOffTheMainThreadAndGuardsTasks) {
    EXPECT_EQ(SFSpeechRecognizer::authorizationStatus(), SFSpeechRecognizerAuthorizationStatus::authorized);
    SFSpeechRecognizer::setAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::notDetermined);
    SFSpeechRecognizer::setAuthorizationAnswer(SFSpeechRecognizerAuthorizationStatus::denied);
    std::atomic<bool> answered = false;
    std::atomic<long> status = -1;
    std::thread::id answeredOn;
    SFSpeechRecognizer::requestAuthorization([&](SFSpeechRecognizerAuthorizationStatus s) {
        answeredOn = std::this_thread::get_id();
        status = static_cast<long>(s);
        answered = true;
    });
    ASSERT_TRUE(waitFor([&] { return answered.load(); }, 5));
    EXPECT_EQ(status, 1);
    EXPECT_NE(answeredOn, std::this_thread::get_id());
    EXPECT_EQ(SFSpeechRecognizer::authorizationStatus(), SFSpeechRecognizerAuthorizationStatus::denied);

    ScriptedSpeech::shared().setScriptedLocales({"en-US"});
    Recorder recorder;
    auto task = SFSpeechRecognizer::initWithLocale("en-US")->recognitionTaskWithRequest_resultHandler(
        std::make_shared<SFSpeechAudioBufferRecognitionRequest>(), recorder.handler());
    EXPECT_FALSE(ScriptedSpeech::shared().hasCurrentTask());
    runUntilIdle();
    ASSERT_EQ(recorder.events.size(), 1u);
    EXPECT_EQ(recorder.events[0].rfind("error:", 0), 0u);
}

TEST_F(SpeechRecognitionTest, ScriptedTextsAreVerbatimUnlessFormattingIsAskedAndPartialsFollowTheRequest) {
    ScriptedSpeech::shared().setScriptedLocales({"en-US"});
    auto recognizer = SFSpeechRecognizer::initWithLocale("en-US");

    Recorder verbatim;
    auto request = std::make_shared<SFSpeechAudioBufferRecognitionRequest>();
    request->setContextualStrings({"Erythema", "Nephrolithiasis"});
    auto task = recognizer->recognitionTaskWithRequest_resultHandler(request, verbatim.handler());
    EXPECT_EQ(ScriptedSpeech::shared().contextualStrings(),
              (std::vector<std::string>{"Erythema", "Nephrolithiasis"}));
    ScriptedSpeech::shared().final("add a pushpin comma please");
    runUntilIdle();
    EXPECT_EQ(verbatim.events, std::vector<std::string>{"final:add a pushpin comma please"});
    ASSERT_EQ(verbatim.lastSegments.size(), 5u);
    EXPECT_NE(description(verbatim.lastSegments).find("pushpin"), std::string::npos);

    ScriptedSpeech::shared().setFormatsSpokenCommands(true);
    Recorder formatted;
    auto quiet = std::make_shared<SFSpeechAudioBufferRecognitionRequest>();
    quiet->setShouldReportPartialResults(false);
    auto task2 = recognizer->recognitionTaskWithRequest_resultHandler(quiet, formatted.handler());
    ScriptedSpeech::shared().partial("not reported");
    ScriptedSpeech::shared().fail("network went away");
    runUntilIdle();
    EXPECT_EQ(formatted.events, std::vector<std::string>{"error:network went away"});

    Recorder third;
    auto task3 = recognizer->recognitionTaskWithRequest_resultHandler(
        std::make_shared<SFSpeechAudioBufferRecognitionRequest>(), third.handler());
    ScriptedSpeech::shared().final("add a pushpin comma please");
    runUntilIdle();
    EXPECT_EQ(third.events, std::vector<std::string>{"final:Add a pushpin, please"});
}

TEST_F(SpeechRecognitionTest, TaskDelegateHearsHypothesesAndHowTheTaskFinished) {
    struct Listener : SFSpeechRecognitionTaskDelegate {
        std::vector<std::string> heard;
        void speechRecognitionDidDetectSpeech(SFSpeechRecognitionTask&) override {
            heard.push_back("speech");
        }
        void speechRecognitionTask_didHypothesizeTranscription(SFSpeechRecognitionTask&,
                                                               const SFTranscription& t) override {
            heard.push_back("hypothesis " + t.formattedString());
        }
        void speechRecognitionTask_didFinishRecognition(SFSpeechRecognitionTask&,
                                                        const SFSpeechRecognitionResult& r) override {
            heard.push_back("result " + r.bestTranscription().formattedString());
        }
        void speechRecognitionTaskWasCancelled(SFSpeechRecognitionTask&) override {
            heard.push_back("cancelled");
        }
        void speechRecognitionTask_didFinishSuccessfully(SFSpeechRecognitionTask&, bool ok) override {
            heard.push_back(ok ? "success" : "failure");
        }
    };
    ScriptedSpeech::shared().setScriptedLocales({"en-US"});
    auto recognizer = SFSpeechRecognizer::initWithLocale("en-US");
    auto listener = std::make_shared<Listener>();
    auto task = recognizer->recognitionTaskWithRequest_delegate(
        std::make_shared<SFSpeechAudioBufferRecognitionRequest>(), listener);
    ScriptedSpeech::shared().partial("one");
    ScriptedSpeech::shared().partial("one two");
    ScriptedSpeech::shared().final("one two");
    runUntilIdle();
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"speech", "hypothesis one", "hypothesis one two",
                                                         "result one two", "success"}));

    listener->heard.clear();
    auto cancelled = recognizer->recognitionTaskWithRequest_delegate(
        std::make_shared<SFSpeechAudioBufferRecognitionRequest>(), listener);
    cancelled->cancel();
    runUntilIdle();
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"cancelled", "failure"}));
}

// Appends from several threads at once, as a tap may while the main thread ends the audio; also
// built and run under ThreadSanitizer.
TEST_F(SpeechRecognitionTest, RealTimeRequestTakesBuffersFromAnyThreadBeforeAndDuringItsTask) {
    ScriptedSpeech::shared().setScriptedLocales({"en-US"});
    auto recognizer = SFSpeechRecognizer::initWithLocale("en-US");
    auto request = std::make_shared<SFSpeechAudioBufferRecognitionRequest>();
    auto second = std::make_shared<AVAudioPCMBuffer>(AVAudioFormat(16000, 1), 16000);
    second->setFrameLength(16000);
    request->appendAudioPCMBuffer(second); // before any task: kept for it

    Recorder recorder;
    auto task = recognizer->recognitionTaskWithRequest_resultHandler(request, recorder.handler());
    EXPECT_DOUBLE_EQ(ScriptedSpeech::shared().audioSecondsHeard(), 1.0);

    std::vector<std::jthread> taps;
    for (int t = 0; t < 4; ++t)
        taps.emplace_back([&] {
            for (int i = 0; i < 100; ++i) {
                auto b = std::make_shared<AVAudioPCMBuffer>(AVAudioFormat(16000, 1), 16);
                b->setFrameLength(16); // a millisecond
                request->appendAudioPCMBuffer(b);
            }
        });
    taps.clear();
    EXPECT_NEAR(ScriptedSpeech::shared().audioSecondsHeard(), 1.4, 1e-9);

    ScriptedSpeech::shared().partial("all heard");
    request->endAudio();
    request->appendAudioPCMBuffer(second); // after the end: dropped
    EXPECT_NEAR(ScriptedSpeech::shared().audioSecondsHeard(), 1.4, 1e-9);
    runUntilIdle();
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"partial:all heard", "final:all heard"}));
    request->appendAudioPCMBuffer(second); // after the task: dropped, and nothing more is told
    runUntilIdle();
    EXPECT_EQ(recorder.events.size(), 2u);
}

namespace {

// The bundle's recording twice, with pauses of 0.7 and 1.5 s after, as 16 kHz samples.
std::vector<float> twoPhrases() {
    SF_INFO info{};
    SNDFILE* f = sf_open((sourceBundle() / "demo.wav").c_str(), SFM_READ, &info);
    if (!f) return {};
    std::vector<float> phrase(static_cast<std::size_t>(info.frames));
    sf_readf_float(f, phrase.data(), info.frames);
    sf_close(f);
    std::vector<float> samples;
    for (double pause : {0.7, 1.5}) {
        samples.insert(samples.end(), phrase.begin(), phrase.end());
        samples.resize(samples.size() + static_cast<std::size_t>(pause * 16000));
    }
    return samples;
}

// Appends samples [from, to) in buffers of 1024 frames (counted from the start, so that every
// capture cuts the audio alike).
void appendSamples(AudioCapture& capture, const std::vector<float>& samples, std::size_t from,
                   std::size_t to) {
    for (std::size_t at = from - from % 1024; at < to; at += 1024) {
        const std::size_t begin = std::max(at, from), n = std::min(at + 1024, to) - begin;
        auto buffer = std::make_shared<AVAudioPCMBuffer>(AVAudioFormat(16000, 1), 1024);
        std::copy_n(samples.begin() + static_cast<long>(begin), n, buffer->floatChannelData(0));
        buffer->setFrameLength(static_cast<std::uint32_t>(n));
        capture.append(buffer);
    }
}

struct Heard {
    std::vector<std::string> events;
    std::int64_t endPosition = 0;
    std::vector<SFTranscriptionSegment> segments;
};

// One task of `capture` from `position`, waited for to its end.
Heard recognise(SFSpeechRecognizer& recognizer, const std::shared_ptr<AudioCapture>& capture,
                std::int64_t position) {
    auto request = std::make_shared<SFSpeechAudioBufferRecognitionRequest>(capture, position);
    Recorder recorder;
    auto task = recognizer.recognitionTaskWithRequest_resultHandler(request, recorder.handler());
    EXPECT_TRUE(waitFor([&] { return recorder.ended; }, 60));
    return {recorder.events, request->endPosition(), recorder.lastSegments};
}

std::size_t wordCount(const std::string& text) {
    std::istringstream in(text);
    return static_cast<std::size_t>(std::distance(std::istream_iterator<std::string>(in), {}));
}

// The tasks of `capture` in turn, each from where the last ended, until one ends at its end
// position: their last events and end positions. `closeWhenCaughtUp`: the capture is still open and
// is closed only once a task has read all of it (the stop learned late); else it is closed already.
std::vector<std::pair<std::string, std::int64_t>>
recogniseToTheStop(SFSpeechRecognizer& recognizer, const std::shared_ptr<AudioCapture>& capture,
                   bool closeWhenCaughtUp) {
    std::vector<std::pair<std::string, std::int64_t>> tasks;
    std::int64_t at = 0;
    while (at < capture->endPosition() && tasks.size() < 20) {
        auto request = std::make_shared<SFSpeechAudioBufferRecognitionRequest>(capture, at);
        Recorder recorder;
        auto task = recognizer.recognitionTaskWithRequest_resultHandler(request, recorder.handler());
        if (closeWhenCaughtUp && !capture->isClosed()) {
            // Up to the last whole span: a shorter one comes only with the stop.
            const auto whole = capture->endPosition() / AudioCapture::kSpanFrames * AudioCapture::kSpanFrames;
            EXPECT_TRUE(waitFor([&] { return recorder.ended || request->endPosition() == whole; }, 60));
            // The last span read may still be decoding: the stop comes once the decoder waits.
            if (!recorder.ended) RunLoop::main().settleExternalWork(60);
            if (!recorder.ended) capture->close();
        }
        EXPECT_TRUE(waitFor([&] { return recorder.ended; }, 60));
        if (recorder.events.empty()) break;
        tasks.emplace_back(recorder.events.back(), request->endPosition());
        at = request->endPosition();
    }
    return tasks;
}

} // namespace

// Interleavings forced rather than hoped for: the decoder is held back by giving it the audio only
// once the capture holds it all (seconds of it), and the stop is put at chosen positions. Each task
// ends at a position and the next reads on from there. A stop ends the task that reaches it, and
// only that one: before it the tasks and their words are those the audio gives without a stop, so
// that they do not depend on whether the stop was known before the decoder got there or after.
TEST_F(SpeechRecognitionTest, TasksReadTheCaptureFromPositionsAndAStopEndsOnlyTheTaskThatReachesIt) {
    const auto samples = twoPhrases();
    ASSERT_FALSE(samples.empty());
    auto recognizer = SFSpeechRecognizer::initWithLocale("en-US");

    // Where the first utterance ends by itself: the end of the span on which its end was heard.
    auto capture = std::make_shared<AudioCapture>();
    appendSamples(*capture, samples, 0, samples.size());
    const auto first = recognise(*recognizer, capture, 0);
    ASSERT_FALSE(first.events.empty());
    EXPECT_EQ(first.events.back(), "final:Go forward ten meters");
    const auto utteranceEnd = static_cast<std::size_t>(first.endPosition);
    ASSERT_GT(utteranceEnd, 2 * 16000u);
    ASSERT_LT(utteranceEnd, samples.size() / 2);
    const auto second = recognise(*recognizer, capture, first.endPosition);
    ASSERT_FALSE(second.events.empty());
    EXPECT_EQ(second.events.back(), "final:Go forward ten meters") << "the second phrase was dropped";
    ASSERT_FALSE(second.segments.empty());
    // Timed from the task's own start: "go" is 0.46 s into the clip, which starts again after the
    // pause.
    const std::size_t secondClip = (samples.size() - 2.2 * 16000) / 2 + 0.7 * 16000;
    EXPECT_NEAR(second.segments.front().timestamp(), (secondClip - utteranceEnd) / 16000.0 + 0.46, 0.03);

    using Tasks = std::vector<std::pair<std::string, std::int64_t>>;
    const auto phrase = "final:Go forward ten meters";
    struct Case {
        const char* name;
        std::size_t stop; // the capture holds the audio up to here, and ends there
        Tasks expected;
    };
    const auto stopAt = [](std::size_t stop) { return static_cast<std::int64_t>(stop); };
    const Case cases[] = {
        {"speech ending on the last span before the stop", utteranceEnd, {{phrase, stopAt(utteranceEnd)}}},
        {"stop in the pause, just after the utterance's end",
         utteranceEnd + 1,
         {{phrase, stopAt(utteranceEnd)}, {"error:No speech detected", stopAt(utteranceEnd + 1)}}},
        {"stop after both phrases",
         samples.size(),
         {{phrase, stopAt(utteranceEnd)},
          {phrase, second.endPosition},
          {"error:No speech detected", stopAt(samples.size())}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool late : {false, true}) {
            SCOPED_TRACE(late ? "stop known late" : "stop known early");
            auto stopped = std::make_shared<AudioCapture>();
            appendSamples(*stopped, samples, 0, c.stop);
            if (!late) {
                EXPECT_EQ(stopped->close(), static_cast<std::int64_t>(c.stop));
            }
            EXPECT_EQ(recogniseToTheStop(*recognizer, stopped, late), c.expected);
        }
    }

    // A stop mid-phrase: the first phrase as ever, and the second's start up to the stop, the
    // same whether the decoder heard the stop before it got there or after.
    for (double into : {1.0, 1.8}) {
        SCOPED_TRACE("stop " + std::to_string(into) + " s into the second phrase");
        const auto stop = secondClip + static_cast<std::size_t>(into * 16000);
        std::vector<Tasks> ways;
        for (bool late : {false, true}) {
            auto stopped = std::make_shared<AudioCapture>();
            appendSamples(*stopped, samples, 0, stop);
            if (!late) stopped->close();
            ways.push_back(recogniseToTheStop(*recognizer, stopped, late));
        }
        EXPECT_EQ(ways[0], ways[1]);
        ASSERT_EQ(ways[0].size(), 2u);
        EXPECT_EQ(ways[0][0], (std::pair<std::string, std::int64_t>{phrase, first.endPosition}));
        EXPECT_EQ(ways[0][1].first.rfind("final:Go", 0), 0u) << ways[0][1].first;
        EXPECT_LE(wordCount(ways[0][1].first), 5u);
        EXPECT_EQ(ways[0][1].second, static_cast<std::int64_t>(stop));
    }
}

// Word times are audio time, whichever decoder hears the words: the clip decoded twice in a row
// (the second time by a decoder that has heard it before) times "go" where the clip has it.
TEST_F(SpeechRecognitionTest, WordTimesAreTheAudiosOwnOnAFreshAndAReusedDecoder) {
    const auto samples = twoPhrases();
    ASSERT_FALSE(samples.empty());
    auto recognizer = SFSpeechRecognizer::initWithLocale("en-US");
    std::vector<std::vector<SFTranscriptionSegment>> takes;
    for (int take = 0; take < 3; ++take) {
        auto capture = std::make_shared<AudioCapture>();
        appendSamples(*capture, samples, 0, samples.size() / 2);
        capture->close();
        takes.push_back(recognise(*recognizer, capture, 0).segments);
    }
    for (const auto& segments : takes) {
        SCOPED_TRACE(description(segments));
        ASSERT_EQ(segments.size(), 4u);
        EXPECT_EQ(segments[0].substring(), "Go");
        EXPECT_NEAR(segments[0].timestamp(), 0.46, 0.02);
        for (std::size_t i = 0; i < segments.size(); ++i) {
            EXPECT_EQ(segments[i].substring(), takes[0][i].substring());
            EXPECT_DOUBLE_EQ(segments[i].timestamp(), takes[0][i].timestamp());
            EXPECT_DOUBLE_EQ(segments[i].duration(), takes[0][i].duration());
        }
    }
}
