#pragma once
// One continuous capture of a microphone: the tap appends every buffer, in order, and recognition
// reads it from a position on. A position counts the frames stored since the capture began; a
// reader's task ends at a position, and the next task reads on from there, so audio that arrives
// while one task ends and the next begins is neither copied nor lost. Closing the capture fixes
// where the audio stops: a stop is a position like any other.
//
// The audio is stored as recognition hears it, whatever the device gives: mixed to one channel,
// resampled to 16 kHz and kept as 16-bit samples, 32 kB a second (an hour's run is 115 MB at
// most). Nothing is let go before a reader has released it, however far recognition falls behind
// the microphone: a busy machine makes words late, never lost.
//
// Readers get the audio in spans of 10 ms at fixed positions (multiples of kSpanFrames), each once
// it is whole; only the last before the stop may be shorter. How the audio is cut therefore does
// not depend on how far behind a reader is, nor on the device's buffer size, and neither does what
// recognition makes of it.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/avfaudio/AVAudioPCMBuffer.h"

namespace platform {

class AudioCapture : public std::enable_shared_from_this<AudioCapture> {
public:
    static constexpr double kSampleRate = 16000;
    static constexpr std::uint32_t kSpanFrames = 160;

    AudioCapture();
    ~AudioCapture();
    AudioCapture(const AudioCapture&) = delete;
    AudioCapture& operator=(const AudioCapture&) = delete;

    // Any thread (the tap), one at a time. Ignored once closed.
    void append(const AVAudioPCMBufferRef& buffer);
    // No more audio: the end position is where it stopped. Returns it; closing again changes nothing.
    std::int64_t close();
    // Closes at `position` (none: the end), dropping what came after it. No reader may have read
    // past it.
    std::int64_t closeAt(std::optional<std::int64_t> position);
    bool isClosed() const;
    std::int64_t endPosition() const;
    // Why the device's audio could not be taken (the resampler its rate needs is missing), in the
    // loader's words; the capture is closed then, where its audio ended.
    std::optional<std::string> failure() const;
    static double seconds(std::int64_t frames) { return static_cast<double>(frames) / kSampleRate; }
    // The library that a device giving audio in `format` needs, when a capture has found it
    // missing already (its soname): such a device cannot be heard, while one of recognition's own
    // rate still can. Opens nothing.
    static std::optional<std::string> missingLibraryFor(const AVAudioFormat& format);
    // The audio kept now, in bytes: what no reader has released yet.
    std::size_t heldBytes() const;

    class Reader;
    // A reader from `position` on (at most the end). Audio before it must not have been released.
    std::shared_ptr<Reader> readFrom(std::int64_t position);

private:
    friend class Reader;
    class Converter;
    // One second of samples, starting at a multiple of kChunkFrames.
    static constexpr std::uint32_t kChunkFrames = 16000;
    struct Chunk {
        std::int64_t position;
        std::unique_ptr<std::int16_t[]> samples;
    };
    void store(const std::vector<std::int16_t>& samples); // under the lock
    void wakeReaders();
    void letGoOfReleased(); // under the lock

    // Held while a buffer is converted and stored, and while the capture closes, so that the
    // converter's state is the appending thread's alone.
    std::mutex appendMutex_;
    std::unique_ptr<Converter> converter_;

    mutable std::mutex mutex_;
    std::deque<Chunk> chunks_;
    // Position of the end, and before which no reader will read again.
    std::int64_t end_ = 0;
    std::int64_t released_ = 0;
    bool closed_ = false;
    std::optional<std::string> failure_;
    std::vector<std::weak_ptr<Reader>> readers_;
    // Held while readers are woken, so that a reader that stops listening is not woken after.
    std::recursive_mutex wakeMutex_;
};

// One task's view of the capture: a position that only moves forward.
class AudioCapture::Reader {
public:
    struct Span {
        std::int64_t position = 0;
        std::vector<std::int16_t> samples;
        std::int64_t end() const { return position + static_cast<std::int64_t>(samples.size()); }
        double seconds() const { return AudioCapture::seconds(static_cast<std::int64_t>(samples.size())); }
    };

    // Runs after every append and at the close, on the thread that did it, never under the
    // capture's lock; once stopListening() has returned it runs no more.
    void listen(std::function<void()> wake);
    void stopListening();

    // The span at the reader's position, moving the position past it; none while it is not whole
    // (or nothing is left before the stop).
    std::optional<Span> read();
    std::int64_t position() const;
    // The capture is closed and everything before its end has been read.
    bool atEnd() const;
    // Where the audio stops, once the capture is closed.
    std::optional<std::int64_t> stopPosition() const;
    std::optional<std::string> failure() const { return capture_->failure(); }
    // Audio before `position` will never be read again, by this task or the next.
    void release(std::int64_t position);

    // Where this reader's task stopped hearing: the next task starts here. Until the task says,
    // as far as it has read.
    void endAt(std::int64_t position);
    std::int64_t endPosition() const;

    Reader(std::shared_ptr<AudioCapture> capture, std::int64_t position);

private:
    friend class AudioCapture;
    std::shared_ptr<AudioCapture> capture_;
    // Guarded by the capture's mutex.
    std::int64_t position_;
    std::optional<std::int64_t> endedAt_;
    // Guarded by the capture's wake mutex.
    std::function<void()> wake_;
};

} // namespace platform
