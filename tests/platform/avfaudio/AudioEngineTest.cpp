#include <atomic>
#include <chrono>
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

// A buffer of `frames` samples at 1 kHz counting up from `first`.
AVAudioPCMBufferRef counted(float first, std::uint32_t frames) {
    auto buffer = std::make_shared<AVAudioPCMBuffer>(AVAudioFormat(1000, 1), frames);
    for (std::uint32_t i = 0; i < frames; ++i)
        buffer->floatChannelData(0)[i] = first + static_cast<float>(i);
    buffer->setFrameLength(frames);
    return buffer;
}

// Reads everything there is, as the samples read (their first value per span) and the positions.
std::vector<std::pair<std::int64_t, float>> readAll(AudioCapture::Reader& reader) {
    std::vector<std::pair<std::int64_t, float>> spans;
    while (auto span = reader.read())
        spans.emplace_back(span->position, span->buffer->floatChannelData(0)[span->from]);
    return spans;
}

} // namespace

// One store read from positions: a reader starting inside a buffer reads from that frame on; what
// a reader released goes; a reader beyond the bound says how much it missed; a closed capture
// ends where it stopped.
TEST_F(AudioEngineTest, CaptureIsReadFromPositionsKeepsWhatIsUnheardUpToItsBoundAndEndsAtTheStop) {
    auto capture = std::make_shared<AudioCapture>(2.0); // two seconds of 1 kHz audio
    int wakes = 0;
    auto first = capture->readFrom(0);
    first->listen([&] { ++wakes; });
    capture->append(counted(0, 500));
    capture->append(counted(500, 500));
    EXPECT_EQ(wakes, 2);
    EXPECT_EQ(readAll(*first), (std::vector<std::pair<std::int64_t, float>>{{0, 0.0f}, {500, 500.0f}}));
    first->endAt(700);
    first->stopListening();
    capture->append(counted(1000, 500));
    EXPECT_EQ(wakes, 2) << "a reader that stopped listening is not woken";

    // The next task reads on from the end of the last, inside a buffer.
    auto next = capture->readFrom(first->endPosition());
    EXPECT_EQ(readAll(*next), (std::vector<std::pair<std::int64_t, float>>{{700, 700.0f}, {1000, 1000.0f}}));
    next->release(1000);
    // Released audio goes first; unheard audio only beyond the bound, and its reader says so.
    const auto late = capture->readFrom(1000);
    for (float at = 1500; at < 4500; at += 500)
        capture->append(counted(at, 500));
    takeConsole();
    const auto spans = readAll(*late);
    ASSERT_FALSE(spans.empty());
    EXPECT_EQ(spans.front(), (std::pair<std::int64_t, float>{2500, 2500.0f}));
    const auto lines = takeConsole();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("1.5 s of audio were dropped"), std::string::npos) << lines[0];

    EXPECT_FALSE(late->atEnd());
    EXPECT_EQ(capture->close(), 4500);
    capture->append(counted(4500, 500));
    EXPECT_EQ(capture->endPosition(), 4500) << "nothing after the stop";
    EXPECT_TRUE(late->atEnd());
    EXPECT_EQ(late->stopPosition(), 4500);
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
            capture->append(counted(static_cast<float>(i * 16), 16));
    });
    std::jthread task([&] {
        while (!reader->atEnd())
            if (auto span = reader->read()) read += span->frames;
    });
    tap.join();
    capture->close();
    task.join();
    reader->stopListening();
    EXPECT_EQ(read, 2000 * 16);
    EXPECT_GE(woken, 2000);
}
