#pragma once
// One continuous capture of a microphone: the tap appends every buffer, in order, and recognition
// reads it from a position on. A position counts the frames appended since the capture began; a
// reader's task ends at a position, and the next task reads from there, so audio that arrives while
// one task ends and the next begins is neither copied nor lost. Closing the capture fixes where
// the audio stops: a stop is a position like any other.
//
// The store is bounded: audio a reader has released is let go at once, and of the rest at most
// `keptSeconds` is kept. Audio beyond that bound is dropped oldest first, and the reader that finds
// its position dropped says on the console how much it missed.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/avfaudio/AVAudioPCMBuffer.h"

namespace platform {

class AudioCapture : public std::enable_shared_from_this<AudioCapture> {
public:
    // Far more than recognition falls behind on a busy machine (a few seconds), and 7.7 MB of
    // 16 kHz mono audio at most.
    static constexpr double kKeptSeconds = 120;

    explicit AudioCapture(double keptSeconds = kKeptSeconds);

    // Any thread (the tap). Ignored once closed.
    void append(const AVAudioPCMBufferRef& buffer);
    // No more audio: the end position is where it stopped. Returns it; closing again changes nothing.
    std::int64_t close();
    bool isClosed() const;
    std::int64_t endPosition() const;

    class Reader;
    // A reader from `position` on (clamped to what has been appended).
    std::shared_ptr<Reader> readFrom(std::int64_t position);

private:
    friend class Reader;
    struct Stored {
        AVAudioPCMBufferRef buffer;
        std::int64_t position;
    };
    void wakeReaders();
    void trim(); // under the lock

    const double keptSeconds_;
    mutable std::mutex mutex_;
    std::deque<Stored> stored_;
    double storedSeconds_ = 0;
    // Position of the first stored frame, of the end, and before which no reader will read again.
    std::int64_t begin_ = 0;
    std::int64_t end_ = 0;
    std::int64_t released_ = 0;
    bool closed_ = false;
    std::vector<std::weak_ptr<Reader>> readers_;
    // Held while readers are woken, so that a reader that stops listening is not woken after.
    std::recursive_mutex wakeMutex_;
};

// One task's view of the capture: a position that only moves forward.
class AudioCapture::Reader {
public:
    struct Span {
        AVAudioPCMBufferRef buffer;
        std::uint32_t from = 0;   // first frame of the buffer in the span
        std::uint32_t frames = 0; // frames from there to the buffer's end
        std::int64_t position = 0;
    };

    // Runs after every append and at the close, on the thread that did it, never under the
    // capture's lock; once stopListening() has returned it runs no more.
    void listen(std::function<void()> wake);
    void stopListening();

    // The audio at the reader's position to the end of its buffer, moving the position past it;
    // none when nothing has arrived there yet.
    std::optional<Span> read();
    std::int64_t position() const;
    // The capture is closed and everything before its end has been read.
    bool atEnd() const;
    // Where the audio stops, once the capture is closed.
    std::optional<std::int64_t> stopPosition() const;
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
