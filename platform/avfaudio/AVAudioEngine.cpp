#include "platform/avfaudio/AVAudioEngine.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/foundation/Console.h"
#include "platform/foundation/FontLock.h"
#include "platform/foundation/RunLoop.h"

namespace platform {

namespace {
constexpr AVAudioFrameCount kUntappedBufferSize = 1024;
} // namespace

struct AudioEngineCore : std::enable_shared_from_this<AudioEngineCore> {
    std::shared_ptr<AVAudioInputSource> chosenSource;
    std::shared_ptr<AVAudioInputSource> runningSource;

    // Held while a tap block runs, so that removing the tap waits for a call in progress.
    mutable std::recursive_mutex tapMutex;
    std::shared_ptr<AVAudioNodeTapBlock> tap;
    AVAudioFrameCount tapSize = 0;

    bool running = false;
    std::uint64_t generation = 0;
    std::jthread audioThread;
    RunLoop::TaskId pendingDelivery = 0;
    double clockStart = 0;
    std::int64_t framesThisRun = 0;
    std::atomic<std::int64_t> sampleTime{0};

    std::shared_ptr<AVAudioInputSource> source() const {
        return chosenSource ? chosenSource : AVAudioInputSource::current();
    }

    AVAudioFrameCount bufferSize() const {
        std::lock_guard lock(tapMutex);
        return tap && tapSize > 0 ? tapSize : kUntappedBufferSize;
    }

    // Without a tap nobody listens: the audio goes unheard.
    void deliver(const AVAudioPCMBufferRef& buffer, double rate) {
        AVAudioTime when{sampleTime.fetch_add(buffer->frameLength()), rate};
        std::lock_guard lock(tapMutex);
        if (auto block = tap) (*block)(buffer, when);
    }

    // Virtual clock: each buffer is read and handed to the tap when the clock reaches the time its
    // last frame would have been captured.
    void scheduleNextDelivery() {
        const AVAudioFormat format = runningSource->format();
        const AVAudioFrameCount frames = bufferSize();
        const double deadline =
            clockStart + static_cast<double>(framesThisRun + frames) / format.sampleRate();
        std::weak_ptr<AudioEngineCore> weak = weak_from_this();
        const std::uint64_t gen = generation;
        pendingDelivery = RunLoop::main().scheduleAt(deadline, [weak, gen, frames, format] {
            auto self = weak.lock();
            if (!self || !self->running || self->generation != gen) return;
            self->pendingDelivery = 0;
            auto buffer = std::make_shared<AVAudioPCMBuffer>(format, frames);
            if (!self->runningSource->read(*buffer)) return;
            self->framesThisRun += frames;
            self->deliver(buffer, format.sampleRate());
            if (self->running && self->generation == gen) self->scheduleNextDelivery();
        });
    }

    // Real clock: the audio thread reads and delivers; a file or silence is paced to real time.
    void startAudioThread() {
        auto source = runningSource;
        auto self = shared_from_this();
        audioThread = std::jthread([self, source](std::stop_token stop) {
            const AVAudioFormat format = source->format();
            const auto start = std::chrono::steady_clock::now();
            std::int64_t frames = 0;
            std::mutex waitMutex;
            std::condition_variable_any wake;
            while (!stop.stop_requested()) {
                const AVAudioFrameCount size = self->bufferSize();
                if (!source->isLive()) {
                    const auto due =
                        start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                    std::chrono::duration<double>((frames + size) / format.sampleRate()));
                    std::unique_lock lock(waitMutex);
                    wake.wait_until(lock, stop, due, [] { return false; });
                    if (stop.stop_requested()) break;
                }
                auto buffer = std::make_shared<AVAudioPCMBuffer>(format, size);
                if (!source->read(*buffer)) break;
                frames += size;
                self->deliver(buffer, format.sampleRate());
            }
        });
    }
};

AVAudioFormat AVAudioInputNode::outputFormatForBus(AVAudioNodeBus) const {
    auto source = core_->running ? core_->runningSource : core_->source();
    return source ? source->format() : AVAudioFormat{};
}

bool AVAudioInputNode::installTapOnBus_bufferSize_format_block(AVAudioNodeBus bus,
                                                               AVAudioFrameCount bufferSize,
                                                               const AVAudioFormat& format,
                                                               AVAudioNodeTapBlock block) {
    if (bus != 0) {
        console().print("AVAudioInputNode: the input node has only bus 0; the tap on bus " +
                        std::to_string(bus) + " is refused");
        return false;
    }
    const AVAudioFormat own = outputFormatForBus(0);
    if (format.isValid() && !(format == own)) {
        console().print("AVAudioInputNode: a tap must use the node's output format; the tap is refused");
        return false;
    }
    std::lock_guard lock(core_->tapMutex);
    if (core_->tap) {
        console().print("AVAudioInputNode: bus 0 already holds a tap; the new tap is refused");
        return false;
    }
    core_->tap = std::make_shared<AVAudioNodeTapBlock>(std::move(block));
    core_->tapSize = bufferSize > 0 ? bufferSize : kUntappedBufferSize;
    return true;
}

void AVAudioInputNode::removeTapOnBus(AVAudioNodeBus bus) {
    if (bus != 0) return;
    std::lock_guard lock(core_->tapMutex);
    core_->tap.reset();
    core_->tapSize = 0;
}

bool AVAudioInputNode::hasTapOnBus(AVAudioNodeBus bus) const {
    std::lock_guard lock(core_->tapMutex);
    return bus == 0 && core_->tap != nullptr;
}

AVAudioEngine::AVAudioEngine()
    : core_(std::make_shared<AudioEngineCore>()), inputNode_(std::make_shared<AVAudioInputNode>(core_)) {}

AVAudioEngine::~AVAudioEngine() {
    stop();
}

void AVAudioEngine::prepare() {}

std::optional<NSError> AVAudioEngine::startAndReturnError() {
    if (core_->running) return std::nullopt;
    auto source = core_->source();
    if (!source) return NSError{AVFAudioErrorDomain, -10851, "no input device"};
    if (auto error = source->open()) return error;
    core_->runningSource = source;
    core_->running = true;
    ++core_->generation;
    core_->framesThisRun = 0;
    if (RunLoop::main().isVirtual() && !source->isLive()) {
        core_->clockStart = RunLoop::main().now();
        core_->scheduleNextDelivery();
    } else {
        core_->startAudioThread();
    }
    return std::nullopt;
}

void AVAudioEngine::stop() {
    if (!core_->running) return;
    core_->running = false;
    ++core_->generation;
    if (core_->pendingDelivery) RunLoop::main().cancel(core_->pendingDelivery);
    core_->pendingDelivery = 0;
    if (core_->audioThread.joinable()) {
        core_->audioThread.request_stop();
        FontLock::Released waiting; // a worker printing meanwhile may need the fonts
        core_->audioThread.join();
    }
    core_->runningSource->close();
    core_->runningSource.reset();
}

bool AVAudioEngine::isRunning() const {
    return core_->running;
}

void AVAudioEngine::setInputSource(std::shared_ptr<AVAudioInputSource> source) {
    core_->chosenSource = std::move(source);
}

std::shared_ptr<AVAudioInputSource> AVAudioEngine::inputSource() const {
    return core_->source();
}

bool AVAudioEngine::inputSourceChanged() const {
    return core_->running && core_->source() != core_->runningSource;
}

} // namespace platform
