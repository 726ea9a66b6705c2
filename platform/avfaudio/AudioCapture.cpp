#include "platform/avfaudio/AudioCapture.h"

#include <algorithm>
#include <cstdio>

#include "platform/foundation/Console.h"

namespace platform {

AudioCapture::AudioCapture(double keptSeconds) : keptSeconds_(keptSeconds) {}

void AudioCapture::append(const AVAudioPCMBufferRef& buffer) {
    if (!buffer || buffer->frameLength() == 0) return;
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        stored_.push_back({buffer, end_});
        storedSeconds_ += buffer->duration();
        end_ += buffer->frameLength();
        trim();
    }
    wakeReaders();
}

// What was heard goes at once; what was not, only beyond the bound (its reader says so).
void AudioCapture::trim() {
    while (!stored_.empty() &&
           (stored_.front().position + stored_.front().buffer->frameLength() <= released_ ||
            storedSeconds_ - stored_.front().buffer->duration() >= keptSeconds_)) {
        storedSeconds_ -= stored_.front().buffer->duration();
        begin_ = stored_.front().position + stored_.front().buffer->frameLength();
        stored_.pop_front();
    }
}

std::int64_t AudioCapture::close() {
    std::int64_t end = 0;
    {
        std::lock_guard lock(mutex_);
        end = end_;
        if (closed_) return end;
        closed_ = true;
    }
    wakeReaders();
    return end;
}

bool AudioCapture::isClosed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

std::int64_t AudioCapture::endPosition() const {
    std::lock_guard lock(mutex_);
    return end_;
}

std::shared_ptr<AudioCapture::Reader> AudioCapture::readFrom(std::int64_t position) {
    std::lock_guard lock(mutex_);
    auto reader = std::make_shared<Reader>(shared_from_this(), std::clamp<std::int64_t>(position, 0, end_));
    std::erase_if(readers_, [](const auto& r) { return r.expired(); });
    readers_.push_back(reader);
    return reader;
}

void AudioCapture::wakeReaders() {
    std::vector<std::shared_ptr<Reader>> readers;
    {
        std::lock_guard lock(mutex_);
        for (const auto& r : readers_)
            if (auto reader = r.lock()) readers.push_back(std::move(reader));
    }
    std::lock_guard wake(wakeMutex_);
    for (const auto& reader : readers)
        if (reader->wake_) reader->wake_();
}

AudioCapture::Reader::Reader(std::shared_ptr<AudioCapture> capture, std::int64_t position)
    : capture_(std::move(capture)), position_(position) {}

void AudioCapture::Reader::listen(std::function<void()> wake) {
    std::lock_guard lock(capture_->wakeMutex_);
    wake_ = std::move(wake);
}

void AudioCapture::Reader::stopListening() {
    std::lock_guard lock(capture_->wakeMutex_);
    wake_ = nullptr;
}

std::optional<AudioCapture::Reader::Span> AudioCapture::Reader::read() {
    std::int64_t missed = 0;
    double missedSeconds = 0;
    std::optional<Span> span;
    {
        std::lock_guard lock(capture_->mutex_);
        auto& stored = capture_->stored_;
        if (position_ < capture_->begin_) {
            missed = capture_->begin_ - position_;
            if (!stored.empty()) missedSeconds = missed / stored.front().buffer->format().sampleRate();
            position_ = capture_->begin_;
        }
        // The buffer holding the position: the last one that starts at or before it.
        auto it = std::upper_bound(stored.begin(), stored.end(), position_,
                                   [](std::int64_t p, const Stored& s) { return p < s.position; });
        if (it != stored.begin()) {
            const Stored& s = *std::prev(it);
            const auto from = static_cast<std::uint32_t>(position_ - s.position);
            if (from < s.buffer->frameLength()) {
                span = Span{s.buffer, from, s.buffer->frameLength() - from, position_};
                position_ += span->frames;
            }
        }
    }
    if (missed > 0) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "Speech recognition fell more than %.0f s behind the microphone: %.1f s of audio were "
                      "dropped unheard",
                      capture_->keptSeconds_, missedSeconds);
        console().print(line);
    }
    return span;
}

std::int64_t AudioCapture::Reader::position() const {
    std::lock_guard lock(capture_->mutex_);
    return position_;
}

bool AudioCapture::Reader::atEnd() const {
    std::lock_guard lock(capture_->mutex_);
    return capture_->closed_ && position_ >= capture_->end_;
}

std::optional<std::int64_t> AudioCapture::Reader::stopPosition() const {
    std::lock_guard lock(capture_->mutex_);
    if (!capture_->closed_) return std::nullopt;
    return capture_->end_;
}

void AudioCapture::Reader::release(std::int64_t position) {
    std::lock_guard lock(capture_->mutex_);
    capture_->released_ = std::max(capture_->released_, std::min(position, position_));
    capture_->trim();
}

void AudioCapture::Reader::endAt(std::int64_t position) {
    std::lock_guard lock(capture_->mutex_);
    endedAt_ = position;
}

std::int64_t AudioCapture::Reader::endPosition() const {
    std::lock_guard lock(capture_->mutex_);
    return endedAt_.value_or(position_);
}

} // namespace platform
