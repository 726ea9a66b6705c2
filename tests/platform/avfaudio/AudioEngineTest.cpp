#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "platform/avfaudio/AVAudioEngine.h"
#include "platform/avfaudio/AVAudioPlayer.h"
#include "platform/avfaudio/AVAudioSession.h"
#include "platform/avfaudio/AudioCapture.h"
#include "platform/foundation/RunLoop.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using quillora::test::PlatformTest;
using quillora::test::sourceBundle;

namespace {

// A source whose samples count up, so a test can tell which frames a buffer holds.
class CountingInput : public AVAudioInputSource {
public:
    std::string name() const override { return "counting"; }
    AVAudioFormat format() const override { return {8000, 2}; }
    std::optional<NSError> open() override {
        ++opens;
        return failure;
    }
    bool read(AVAudioPCMBuffer& buffer) override {
        for (std::uint32_t i = 0; i < buffer.frameCapacity(); ++i) {
            buffer.floatChannelData(0)[i] = static_cast<float>(next);
            buffer.floatChannelData(1)[i] = -static_cast<float>(next);
            ++next;
        }
        buffer.setFrameLength(buffer.frameCapacity());
        return true;
    }
    void close() override { ++closes; }

    std::int64_t next = 0;
    int opens = 0, closes = 0;
    std::optional<NSError> failure;
};

struct Delivery {
    double clock;
    std::uint32_t frames;
    float first;
    std::int64_t sampleTime;
};

} // namespace

class AudioEngineTest : public PlatformTest {};

TEST_F(AudioEngineTest, VirtualClockDeliversTapBuffersAtTheirCaptureTimeAndNotAfterStop) {
    auto input = std::make_shared<CountingInput>();
    AVAudioInputSource::setCurrent(input);
    AVAudioEngine engine;
    auto node = engine.inputNode();
    EXPECT_EQ(node->outputFormatForBus(0), AVAudioFormat(8000, 2));

    std::vector<Delivery> got;
    ASSERT_TRUE(node->installTapOnBus_bufferSize_format_block(
        0, 800, node->outputFormatForBus(0), [&](const AVAudioPCMBufferRef& b, const AVAudioTime& t) {
            got.push_back({RunLoop::main().now(), b->frameLength(), b->floatChannelData(0)[0], t.sampleTime});
        }));
    engine.prepare();
    ASSERT_FALSE(engine.startAndReturnError());
    EXPECT_TRUE(engine.isRunning());
    runUntilIdle();
    EXPECT_TRUE(got.empty()) << "a buffer comes only once its last frame has been captured";

    advance(0.25);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_DOUBLE_EQ(got[0].clock, 0.1);
    EXPECT_DOUBLE_EQ(got[1].clock, 0.2);
    EXPECT_EQ(got[1].frames, 800u);
    EXPECT_EQ(got[1].first, 800.0f);

    engine.stop();
    EXPECT_FALSE(engine.isRunning());
    EXPECT_EQ(input->closes, 1);
    advance(1);
    EXPECT_EQ(got.size(), 2u);

    // A restart goes on where the input left off; capture times keep counting.
    ASSERT_FALSE(engine.startAndReturnError());
    advance(0.1);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[2].first, 1600.0f);
    EXPECT_EQ(got[2].sampleTime, 1600);

    // Without the tap the engine runs on and what it captures meanwhile is heard by nobody: the
    // next tap starts with the audio of its own time, capture times counting on.
    node->removeTapOnBus(0);
    advance(0.3);
    EXPECT_EQ(got.size(), 3u);
    ASSERT_TRUE(node->installTapOnBus_bufferSize_format_block(
        0, 800, {}, [&](const AVAudioPCMBufferRef& b, const AVAudioTime& t) {
            got.push_back({RunLoop::main().now(), b->frameLength(), b->floatChannelData(0)[0], t.sampleTime});
        }));
    advance(0.1);
    ASSERT_GE(got.size(), 4u);
    EXPECT_GT(got[3].first, 2400.0f + 8000 * 0.2f) << "what was captured without a tap is gone";
    EXPECT_EQ(got[3].sampleTime, static_cast<std::int64_t>(got[3].first));
}

TEST_F(AudioEngineTest, TapsAreOnePerBusAndMisuseIsRefusedWithAConsoleLine) {
    AVAudioInputSource::setCurrent(AVAudioInputSource::silence(16000, 1));
    AVAudioEngine engine;
    auto node = engine.inputNode();
    int first = 0, second = 0;
    node->removeTapOnBus(0); // nothing there: nothing happens
    ASSERT_TRUE(node->installTapOnBus_bufferSize_format_block(0, 1024, {}, [&](auto&, auto&) { ++first; }));
    EXPECT_FALSE(node->installTapOnBus_bufferSize_format_block(0, 1024, {}, [&](auto&, auto&) { ++second; }));
    EXPECT_FALSE(node->installTapOnBus_bufferSize_format_block(1, 1024, {}, [&](auto&, auto&) { ++second; }));
    EXPECT_FALSE(
        node->installTapOnBus_bufferSize_format_block(0, 1024, {44100, 2}, [&](auto&, auto&) { ++second; }));
    EXPECT_EQ(takeConsole().size(), 3u);

    ASSERT_FALSE(engine.startAndReturnError());
    advance(1024 * 3 / 16000.0);
    EXPECT_EQ(first, 3) << "the first tap stays in place";
    EXPECT_EQ(second, 0);
}

TEST_F(AudioEngineTest, FileInputPlaysTheFileThenSilenceAndUnreadableInputsFailCleanly) {
    std::optional<NSError> error;
    EXPECT_EQ(AVAudioInputSource::file(home / "missing.wav", &error), nullptr);
    ASSERT_TRUE(error);
    EXPECT_NE(error->localizedDescription.find("missing.wav"), std::string::npos);

    auto input = AVAudioInputSource::file(sourceBundle() / "demo.wav", &error);
    ASSERT_TRUE(input);
    auto file = std::dynamic_pointer_cast<AVAudioFileInput>(input);
    EXPECT_EQ(input->format(), AVAudioFormat(16000, 1));
    EXPECT_NEAR(file->durationSeconds(), 2.786, 0.01);

    AVAudioEngine engine;
    engine.setInputSource(input);
    double energyAfterEnd = 0, energyBefore = 0;
    ASSERT_TRUE(engine.inputNode()->installTapOnBus_bufferSize_format_block(
        0, 1600, {}, [&](const AVAudioPCMBufferRef& b, const AVAudioTime& t) {
            double e = 0;
            for (float s : b->monoSamples())
                e += s * s;
            (t.seconds() >= 2.8 ? energyAfterEnd : energyBefore) += e;
        }));
    ASSERT_FALSE(engine.startAndReturnError());
    advance(4);
    EXPECT_TRUE(file->atEnd());
    EXPECT_GT(energyBefore, 1.0);
    EXPECT_EQ(energyAfterEnd, 0.0);

    // A capture device that does not exist cannot start, and says so plainly.
    AVAudioEngine deviceless;
    deviceless.setInputSource(AVAudioInputSource::captureDevice("quillora-no-such-device"));
    auto startError = deviceless.startAndReturnError();
    ASSERT_TRUE(startError);
    EXPECT_EQ(startError->localizedDescription, "no input device");
    EXPECT_FALSE(deviceless.isRunning());

    // A device that exists takes our capture format and delivers whole buffers of it (ALSA's null
    // device: silence, unpaced).
    AVAudioEngine device;
    device.setInputSource(AVAudioInputSource::captureDevice("null", 48000));
    std::atomic<int> deviceBuffers{0}, wrongSize{0};
    ASSERT_TRUE(device.inputNode()->installTapOnBus_bufferSize_format_block(
        0, 480, {}, [&](const AVAudioPCMBufferRef& b, const AVAudioTime&) {
            if (b->frameLength() != 480) ++wrongSize;
            ++deviceBuffers;
        }));
    ASSERT_FALSE(device.startAndReturnError());
    // The limit only stops a device that never delivers.
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (deviceBuffers < 3 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    device.stop();
    EXPECT_GE(deviceBuffers, 3);
    EXPECT_EQ(wrongSize, 0);

    auto failing = std::make_shared<CountingInput>();
    failing->failure = NSError{"test", 1, "busy"};
    AVAudioEngine refused;
    refused.setInputSource(failing);
    auto refusal = refused.startAndReturnError();
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->localizedDescription, "busy");
    EXPECT_FALSE(refused.isRunning());
}

TEST_F(AudioEngineTest, SessionStepsFailOneByOneAndPermissionIsAnsweredOffTheMainThread) {
    auto& session = AVAudioSession::sharedInstance();
    EXPECT_FALSE(session.setCategory(AVAudioSessionCategoryRecord));
    session.injectFailure(AVAudioSession::Step::mode,
                          NSError{"NSOSStatusErrorDomain", 560557684, "mode refused"});
    auto error = session.setMode(AVAudioSessionModeMeasurement);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 560557684);
    EXPECT_EQ(session.mode(), AVAudioSessionModeDefault);
    EXPECT_EQ(session.category(), AVAudioSessionCategoryRecord);
    EXPECT_FALSE(session.setActive(true, AVAudioSessionSetActiveOptionNotifyOthersOnDeactivation));
    EXPECT_TRUE(session.isActive());

    EXPECT_EQ(session.recordPermission(), AVAudioSessionRecordPermission::Granted);
    session.setRecordPermission(AVAudioSessionRecordPermission::Undetermined);
    session.setRecordPermissionAnswer(false);
    std::atomic<bool> answered = false, granted = true;
    std::thread::id answeredOn;
    session.requestRecordPermission([&](bool g) {
        answeredOn = std::this_thread::get_id();
        granted = g;
        answered = true;
    });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return answered.load(); }, 5));
    EXPECT_FALSE(granted);
    EXPECT_NE(answeredOn, std::this_thread::get_id());
    EXPECT_EQ(session.recordPermission(), AVAudioSessionRecordPermission::Denied);
}

TEST_F(AudioEngineTest, PlayerReadsItsFileAndIsRecordedWhilePlayingForTheFileDuration) {
    std::optional<NSError> error;
    EXPECT_EQ(AVAudioPlayer::initWithContentsOfURL(home / "play.mov", AVFileTypeMPEGLayer3, &error), nullptr);
    EXPECT_TRUE(error);

    auto player =
        AVAudioPlayer::initWithContentsOfURL(sourceBundle() / "demo.wav", AVFileTypeMPEGLayer3, &error);
    ASSERT_TRUE(player);
    EXPECT_TRUE(player->prepareToPlay());
    EXPECT_TRUE(player->play());
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(AVAudioPlayer::playedSounds(), std::vector<std::filesystem::path>{sourceBundle() / "demo.wav"});
    advance(2.7);
    EXPECT_TRUE(player->isPlaying());
    advance(0.2);
    EXPECT_FALSE(player->isPlaying());
}

// Exercises the real audio thread; also built and run under ThreadSanitizer.
TEST_F(AudioEngineTest, RealTimeAudioThreadDeliversOffTheMainThreadAndStopsCleanly) {
    RunLoop::main().useRealClock();
    AVAudioInputSource::setCurrent(AVAudioInputSource::silence(16000, 1));
    AVAudioEngine engine;
    std::atomic<int> calls = 0;
    std::atomic<bool> offMain = true;
    const auto mainThread = std::this_thread::get_id();
    ASSERT_TRUE(engine.inputNode()->installTapOnBus_bufferSize_format_block(0, 160, {}, [&](auto&, auto&) {
        if (std::this_thread::get_id() == mainThread) offMain = false;
        ++calls;
    }));
    ASSERT_FALSE(engine.startAndReturnError());
    for (int i = 0; i < 500 && calls < 5; ++i)
        advance(0.01); // real time: the loop runs 10 ms each
    EXPECT_GE(calls, 5);
    engine.inputNode()->removeTapOnBus(0);
    const int afterRemoval = calls;
    // The audio thread has ended once stop returns; what it may have queued on the loop runs.
    engine.stop();
    runUntilIdle();
    EXPECT_EQ(calls, afterRemoval) << "no tap call once the tap is removed";
    EXPECT_TRUE(offMain);
    RunLoop::main().useVirtualClock();
}

// Also built and run under ThreadSanitizer: the output thread reads the file while the main thread
// stops and drops players.
TEST_F(AudioEngineTest, CuesPlayThroughAnOutputDeviceOnTheRealClockAndAreOnlyRecordedWithoutOne) {
    std::optional<NSError> error;
    for (const char* cue : {"play.mov", "Stop.mov"}) {
        auto player =
            AVAudioPlayer::initWithContentsOfURL(sourceBundle() / cue, AVFileTypeMPEGLayer3, &error);
        ASSERT_TRUE(player) << cue;
        EXPECT_GT(player->duration(), 0.05);
        EXPECT_LT(player->duration(), 0.5) << "a cue is short";
        EXPECT_TRUE(player->play());
        EXPECT_FALSE(player->playsThroughOutput()) << "the virtual clock plays nothing aloud";
    }
    EXPECT_EQ(AVAudioPlayer::playedSounds().size(), 2u);

    RunLoop::main().useRealClock();
    // ALSA's null device takes the samples without a sound card.
    AVAudioPlayer::setOutputDevice("null");
    auto cue = AVAudioPlayer::initWithContentsOfURL(sourceBundle() / "play.mov", "", &error);
    ASSERT_TRUE(cue);
    EXPECT_TRUE(cue->play());
    EXPECT_TRUE(cue->playsThroughOutput());
    EXPECT_TRUE(cue->isPlaying());
    for (int i = 0; i < 100 && cue->isPlaying(); ++i)
        advance(0.01);
    EXPECT_FALSE(cue->isPlaying()) << "the play ends with the file";
    EXPECT_TRUE(cue->play()) << "a finished player plays again";
    cue->stop(); // joins its thread at once
    EXPECT_FALSE(cue->isPlaying());
    EXPECT_TRUE(cue->play());
    cue.reset(); // dropped while playing: the destructor joins

    auto long_ = AVAudioPlayer::initWithContentsOfURL(sourceBundle() / "demo.wav", "", &error);
    ASSERT_TRUE(long_);
    EXPECT_TRUE(long_->play());
    long_->stop();
    EXPECT_FALSE(long_->isPlaying());

    // No device: the play is recorded, is no error, and stays silent.
    testing::internal::CaptureStderr();
    AVAudioPlayer::setOutputDevice("quillora-no-such-device");
    auto silent = AVAudioPlayer::initWithContentsOfURL(sourceBundle() / "Stop.mov", "", &error);
    ASSERT_TRUE(silent);
    EXPECT_TRUE(silent->play());
    EXPECT_FALSE(silent->playsThroughOutput());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "ALSA's own complaints are silenced";
    EXPECT_EQ(AVAudioPlayer::playedSounds().back(), sourceBundle() / "Stop.mov");
    RunLoop::main().useVirtualClock();
}

namespace {

// The capture's sample at a position, as the ramps below write it: it counts up and wraps.
std::int16_t rampAt(std::int64_t position) {
    return static_cast<std::int16_t>(position % 30000);
}

// `frames` frames of 16 kHz mono from `position` on, each sample rampAt() of its position.
AVAudioPCMBufferRef ramp(std::int64_t position, std::uint32_t frames) {
    auto buffer = std::make_shared<AVAudioPCMBuffer>(AVAudioFormat(AudioCapture::kSampleRate, 1), frames);
    for (std::uint32_t i = 0; i < frames; ++i)
        buffer->floatChannelData(0)[i] = static_cast<float>(rampAt(position + i)) / 32767.0f;
    buffer->setFrameLength(frames);
    return buffer;
}

// Appends `seconds` of the ramp in buffers of `frames`.
void appendRamp(AudioCapture& capture, double seconds, std::uint32_t frames) {
    const auto total = static_cast<std::int64_t>(seconds * AudioCapture::kSampleRate);
    for (std::int64_t at = capture.endPosition(); at < total; at += frames)
        capture.append(ramp(at, static_cast<std::uint32_t>(std::min<std::int64_t>(frames, total - at))));
}

// What a reader got: each span's position and length, and whether every sample was the ramp's.
struct Spans {
    std::vector<std::pair<std::int64_t, std::size_t>> cuts;
    bool rampIntact = true;
};
void readAll(AudioCapture::Reader& reader, Spans& into) {
    while (auto span = reader.read()) {
        into.cuts.emplace_back(span->position, span->samples.size());
        for (std::size_t i = 0; i < span->samples.size(); ++i)
            into.rampIntact = into.rampIntact && span->samples[i] == rampAt(span->position + i);
    }
}

} // namespace

// However the device cuts its buffers and however far behind the reader is, the capture keeps
// every frame not yet released (more than two minutes of it here) and hands it out in the same
// 10 ms spans at the same positions; only the last before the stop is shorter.
TEST_F(AudioEngineTest, CaptureKeepsAllItHasNotHeardAndCutsItAlikeHoweverItArrivesOrIsRead) {
    constexpr double kSeconds = 130.005;
    const auto end = static_cast<std::int64_t>(kSeconds * AudioCapture::kSampleRate);
    Spans expected;
    for (std::int64_t at = 0; at < end; at += AudioCapture::kSpanFrames)
        expected.cuts.emplace_back(at, std::min<std::int64_t>(AudioCapture::kSpanFrames, end - at));
    struct Case {
        const char* name;
        std::uint32_t bufferFrames;
        bool readsAsItArrives;
    };
    for (const Case& c :
         {Case{"10 ms buffers read at once", 160, true}, Case{"odd buffers read at once", 333, true},
          Case{"seconds-long buffers read after the stop", 48000, false}}) {
        SCOPED_TRACE(c.name);
        auto capture = std::make_shared<AudioCapture>();
        auto reader = capture->readFrom(0);
        Spans spans;
        if (c.readsAsItArrives) reader->listen([&] { readAll(*reader, spans); });
        takeConsole();
        appendRamp(*capture, kSeconds, c.bufferFrames);
        EXPECT_EQ(capture->heldBytes(), 131u * 16000 * 2) << "16-bit, in whole seconds";
        EXPECT_EQ(capture->close(), end);
        readAll(*reader, spans);
        reader->stopListening();
        EXPECT_TRUE(spans.rampIntact);
        ASSERT_EQ(spans.cuts.size(), expected.cuts.size());
        const auto differs = std::mismatch(spans.cuts.begin(), spans.cuts.end(), expected.cuts.begin());
        EXPECT_TRUE(differs.first == spans.cuts.end())
            << "span " << differs.first->first << " of " << differs.first->second << " frames";
        EXPECT_TRUE(reader->atEnd());
        EXPECT_TRUE(takeConsole().empty()) << "nothing was dropped, nothing to say";
    }
}

// The device's format becomes recognition's: mixed to one channel, 16 kHz, 16-bit, two bytes a
// frame whatever the device's rate; a tone keeps its level through the resampling.
TEST_F(AudioEngineTest, CaptureStoresAnyFormatAsSixteenKilohertzMonoSixteenBitAudio) {
    struct Case {
        double rate;
        std::uint32_t channels;
    };
    for (const Case& c : {Case{16000, 1}, Case{48000, 1}, Case{48000, 2}, Case{44100, 2}, Case{8000, 1}}) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " channels");
        auto capture = std::make_shared<AudioCapture>();
        const auto step = static_cast<std::uint32_t>(c.rate / 100);
        std::int64_t frame = 0;
        for (int buffer = 0; buffer < 300; ++buffer) { // three seconds of a 440 Hz tone at half scale
            auto b = std::make_shared<AVAudioPCMBuffer>(AVAudioFormat(c.rate, c.channels), step);
            for (std::uint32_t i = 0; i < step; ++i, ++frame)
                for (std::uint32_t ch = 0; ch < c.channels; ++ch)
                    b->floatChannelData(ch)[i] =
                        0.5f *
                        static_cast<float>(std::sin(2 * M_PI * 440 * static_cast<double>(frame) / c.rate));
            b->setFrameLength(step);
            capture->append(b);
        }
        const std::int64_t end = capture->close();
        EXPECT_NEAR(static_cast<double>(end), 3 * 16000, 2);
        EXPECT_EQ(capture->heldBytes(), static_cast<std::size_t>((end + 15999) / 16000) * 32000);
        auto reader = capture->readFrom(0);
        double squares = 0;
        std::int64_t count = 0;
        while (auto span = reader->read())
            for (auto s : span->samples)
                if (span->position > 1600 && span->position < 46400) { // away from the ends
                    squares += static_cast<double>(s) * s;
                    ++count;
                }
        EXPECT_NEAR(std::sqrt(squares / static_cast<double>(count)), 0.5 * 32767 / std::sqrt(2.0),
                    0.02 * 11585);
    }
}

// Readers take turns on one capture: the next reads on from where the last one ended, inside a
// span; only the readers still listening are woken; what a reader released goes once a whole
// second of it is released; after the stop nothing is appended and the last span is short.
TEST_F(AudioEngineTest, CaptureIsReadOnFromWhereTheLastReaderEndedAndLetsGoOnlyOfWhatWasReleased) {
    auto capture = std::make_shared<AudioCapture>();
    int wakes = 0;
    auto first = capture->readFrom(0);
    first->listen([&] { ++wakes; });
    capture->append(ramp(0, 16000));
    capture->append(ramp(16000, 100));
    EXPECT_EQ(wakes, 2);
    Spans spans;
    readAll(*first, spans);
    ASSERT_EQ(spans.cuts.size(), 100u) << "the 100 frames after the first second are not a whole span";
    EXPECT_EQ(first->position(), 16000);
    first->endAt(15700);
    first->release(15700);
    first->stopListening();
    capture->append(ramp(16100, 16000));
    EXPECT_EQ(wakes, 2) << "a reader that stopped listening is not woken";
    EXPECT_EQ(capture->heldBytes(), 3u * 32000) << "no second is released whole yet";

    auto next = capture->readFrom(first->endPosition());
    auto span = next->read();
    ASSERT_TRUE(span);
    EXPECT_EQ(span->position, 15700);
    EXPECT_EQ(span->samples.size(), 140u) << "up to the next 10 ms mark";
    EXPECT_EQ(span->samples.front(), rampAt(15700));
    spans = {};
    readAll(*next, spans);
    EXPECT_EQ(next->position(), 32000);
    next->release(16000);
    EXPECT_EQ(capture->heldBytes(), 2u * 32000) << "the first second is let go";

    EXPECT_FALSE(next->atEnd());
    EXPECT_EQ(capture->close(), 32100);
    capture->append(ramp(32100, 500));
    EXPECT_EQ(capture->endPosition(), 32100) << "nothing after the stop";
    EXPECT_EQ(next->stopPosition(), 32100);
    readAll(*next, spans);
    EXPECT_TRUE(spans.rampIntact);
    EXPECT_EQ(spans.cuts.back(), (std::pair<std::int64_t, std::size_t>{32000, 100}));
    EXPECT_TRUE(next->atEnd());
}

// The tap thread appends while a reader on another thread reads and the main thread closes; also
// built and run under ThreadSanitizer.
TEST_F(AudioEngineTest, RealTimeCaptureIsAppendedReadAndClosedFromDifferentThreads) {
    auto capture = std::make_shared<AudioCapture>();
    auto reader = capture->readFrom(0);
    std::atomic<int> woken = 0;
    reader->listen([&] { ++woken; });
    std::atomic<std::int64_t> read = 0;
    std::jthread tap([&] {
        for (int i = 0; i < 2000; ++i)
            capture->append(ramp(i * 16, 16));
    });
    std::jthread task([&] {
        while (!reader->atEnd())
            if (auto span = reader->read()) read += static_cast<std::int64_t>(span->samples.size());
    });
    tap.join();
    capture->close();
    task.join();
    reader->stopListening();
    EXPECT_EQ(read, 2000 * 16);
    EXPECT_GE(woken, 2000);
}
