#pragma once
// The audio engine and its input node. Taps receive buffers of the requested size in the input's
// own format: on the engine's audio thread in real time, or, when the main run loop keeps virtual
// time, on the main thread as the clock passes each buffer's last frame, so tests are deterministic.
// Everything except the tap block is called on the main thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/avfaudio/AVAudioInputSource.h"
#include "platform/avfaudio/AVAudioPCMBuffer.h"
#include "platform/foundation/NSError.h"

namespace platform {

using AVAudioNodeBus = int;
using AVAudioFrameCount = std::uint32_t;
using AVAudioNodeTapBlock = std::function<void(const AVAudioPCMBufferRef& buffer, const AVAudioTime& when)>;

class AVAudioEngine;
struct AudioEngineCore;

class AVAudioInputNode {
public:
    // The format the node delivers on bus 0: that of the input the engine captures from.
    AVAudioFormat outputFormatForBus(AVAudioNodeBus bus) const;

    // Installs the one tap of a bus. The block runs on the audio thread and should only hand the
    // buffer on; it keeps whatever it captured when installed. A second tap on a bus that holds one,
    // a bus other than 0 or a format other than the node's is a programming error: the console says
    // why and the tap is refused (false), the installed tap staying in place.
    bool installTapOnBus_bufferSize_format_block(AVAudioNodeBus bus, AVAudioFrameCount bufferSize,
                                                 const AVAudioFormat& format, AVAudioNodeTapBlock block);
    // Removes the tap; once this returns the block is not running and will not run again.
    // Removing a tap that is not there does nothing. What the engine captures without a tap is
    // heard by nobody: a consumer that must hear without a break keeps one tap for as long.
    void removeTapOnBus(AVAudioNodeBus bus);
    bool hasTapOnBus(AVAudioNodeBus bus) const;

    explicit AVAudioInputNode(std::shared_ptr<AudioEngineCore> core) : core_(std::move(core)) {}

private:
    std::shared_ptr<AudioEngineCore> core_;
};

class AVAudioEngine {
public:
    AVAudioEngine();
    ~AVAudioEngine();
    AVAudioEngine(const AVAudioEngine&) = delete;
    AVAudioEngine& operator=(const AVAudioEngine&) = delete;

    const std::shared_ptr<AVAudioInputNode>& inputNode() const { return inputNode_; }
    void prepare();
    // Starts capture; the error when the input cannot be opened (no device). Starting a running
    // engine does nothing.
    std::optional<NSError> startAndReturnError();
    // Stops capture; the audio thread has finished when this returns. No tap block runs afterwards.
    void stop();
    bool isRunning() const;

    // The input this engine captures from; by default the process's microphone
    // (AVAudioInputSource::current()), looked up at each start.
    void setInputSource(std::shared_ptr<AVAudioInputSource> source);
    std::shared_ptr<AVAudioInputSource> inputSource() const;
    // While running: whether a start now would take another input than the one it captures from
    // (the process's microphone was switched meanwhile).
    bool inputSourceChanged() const;

private:
    std::shared_ptr<AudioEngineCore> core_;
    std::shared_ptr<AVAudioInputNode> inputNode_;
};

} // namespace platform
