#include "platform/avfaudio/AudioCapture.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <samplerate.h>

#include "platform/foundation/Console.h"
#include "platform/foundation/LazyLibrary.h"

// Opened the first time a device of another rate than recognition's is heard.
#define RESAMPLER_SONAME "libsamplerate.so.0"
#define src_delete QUILLORA_LAZY(RESAMPLER_SONAME, src_delete)
#define src_new QUILLORA_LAZY(RESAMPLER_SONAME, src_new)
#define src_process QUILLORA_LAZY(RESAMPLER_SONAME, src_process)

namespace platform {

static_assert(AudioCapture::kSpanFrames * 100 == AudioCapture::kSampleRate, "a span is 10 ms");

namespace {
struct ResamplerFree {
    void operator()(SRC_STATE* s) const { src_delete(s); }
};

bool needsResampler(const AVAudioFormat& format) {
    const double rate = format.sampleRate();
    return rate != AudioCapture::kSampleRate && rate > 0;
}

std::int16_t sample16(float s) {
    return static_cast<std::int16_t>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f));
}
} // namespace

// Buffers of any format as 16-bit mono samples at the capture's rate, one stream across the buffers
// (a resampler's filter runs on from one buffer into the next). Another rate starts it afresh.
class AudioCapture::Converter {
public:
    // Why `buffer` cannot be converted: its rate needs the resampler, which cannot be opened.
    static std::optional<std::string> refusal(const AVAudioPCMBuffer& buffer) {
        if (!needsResampler(buffer.format())) return std::nullopt;
        return LazyLibrary::load(RESAMPLER_SONAME);
    }

    std::vector<std::int16_t> convert(const AVAudioPCMBuffer& buffer) {
        const std::vector<float> mono = buffer.monoSamples();
        const double rate = buffer.format().sampleRate();
        if (rate == kSampleRate || rate <= 0) {
            state_.reset();
            std::vector<std::int16_t> out(mono.size());
            std::transform(mono.begin(), mono.end(), out.begin(), sample16);
            return out;
        }
        if (!state_ || rate_ != rate) {
            int error = 0;
            state_.reset(src_new(SRC_SINC_FASTEST, 1, &error));
            rate_ = rate;
        }
        return resample(mono.data(), static_cast<long>(mono.size()), false);
    }

    // What the resampler still holds of the last buffers.
    std::vector<std::int16_t> drain() {
        if (!state_) return {};
        auto rest = resample(nullptr, 0, true);
        state_.reset();
        return rest;
    }

private:
    std::vector<std::int16_t> resample(const float* samples, long length, bool last) {
        std::vector<std::int16_t> out;
        if (!state_) return out;
        const float none = 0;
        resampled_.resize(static_cast<std::size_t>(std::ceil(length * kSampleRate / rate_)) + 256);
        SRC_DATA data{};
        data.data_in = samples ? samples : &none;
        data.input_frames = length;
        data.src_ratio = kSampleRate / rate_;
        data.end_of_input = last ? 1 : 0;
        // Draining takes as many calls as the filter holds output.
        do {
            data.data_out = resampled_.data();
            data.output_frames = static_cast<long>(resampled_.size());
            if (src_process(state_.get(), &data) != 0) {
                state_.reset();
                break;
            }
            std::transform(resampled_.begin(), resampled_.begin() + data.output_frames_gen,
                           std::back_inserter(out), sample16);
            data.data_in += data.input_frames_used;
            data.input_frames -= data.input_frames_used;
        } while (data.output_frames_gen > 0 && (last || data.input_frames > 0));
        return out;
    }

    std::unique_ptr<SRC_STATE, ResamplerFree> state_;
    double rate_ = 0;
    std::vector<float> resampled_;
};

std::optional<std::string> AudioCapture::missingLibraryFor(const AVAudioFormat& format) {
    if (!needsResampler(format) || !LazyLibrary::knownFailure(RESAMPLER_SONAME)) return std::nullopt;
    return RESAMPLER_SONAME;
}

AudioCapture::AudioCapture() : converter_(std::make_unique<Converter>()) {}

AudioCapture::~AudioCapture() = default;

void AudioCapture::append(const AVAudioPCMBufferRef& buffer) {
    if (!buffer || buffer->frameLength() == 0) return;
    {
        std::lock_guard appending(appendMutex_);
        if (isClosed()) return;
        if (auto why = Converter::refusal(*buffer)) {
            std::lock_guard lock(mutex_);
            failure_ = std::move(why);
            closed_ = true;
        } else {
            const auto samples = converter_->convert(*buffer);
            std::lock_guard lock(mutex_);
            store(samples);
        }
    }
    wakeReaders();
}

void AudioCapture::store(const std::vector<std::int16_t>& samples) {
    for (std::size_t at = 0; at < samples.size();) {
        if (chunks_.empty() || end_ >= chunks_.back().position + kChunkFrames)
            chunks_.push_back({end_, std::make_unique<std::int16_t[]>(kChunkFrames)});
        Chunk& chunk = chunks_.back();
        const auto offset = static_cast<std::size_t>(end_ - chunk.position);
        const std::size_t count = std::min<std::size_t>(samples.size() - at, kChunkFrames - offset);
        std::copy_n(samples.begin() + static_cast<long>(at), count, chunk.samples.get() + offset);
        at += count;
        end_ += static_cast<std::int64_t>(count);
    }
}

// Whole chunks that no reader will read again go at once.
void AudioCapture::letGoOfReleased() {
    while (!chunks_.empty() && chunks_.front().position + kChunkFrames <= released_)
        chunks_.pop_front();
}

std::int64_t AudioCapture::close() {
    return closeAt(std::nullopt);
}

std::int64_t AudioCapture::closeAt(std::optional<std::int64_t> position) {
    std::int64_t end = 0;
    {
        std::lock_guard appending(appendMutex_);
        std::lock_guard lock(mutex_);
        if (closed_) return end_;
        store(converter_->drain());
        closed_ = true;
        // What came after the position is no part of the capture; no reader can have read past it.
        if (position.has_value()) end_ = std::clamp(position.value_or(end_), released_, end_);
        end = end_;
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

std::optional<std::string> AudioCapture::failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

std::size_t AudioCapture::heldBytes() const {
    std::lock_guard lock(mutex_);
    return chunks_.size() * kChunkFrames * sizeof(std::int16_t);
}

std::shared_ptr<AudioCapture::Reader> AudioCapture::readFrom(std::int64_t position) {
    std::lock_guard lock(mutex_);
    if (position < released_)
        fatalError("AudioCapture: a reader asks for audio at " + std::to_string(position) +
                   ", which was released up to " + std::to_string(released_));
    auto reader = std::make_shared<Reader>(shared_from_this(), std::min(position, end_));
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
    std::lock_guard lock(capture_->mutex_);
    const auto& chunks = capture_->chunks_;
    if (position_ >= capture_->end_ || chunks.empty()) return std::nullopt;
    const std::int64_t whole = (position_ / kSpanFrames + 1) * kSpanFrames;
    if (capture_->end_ < whole && !capture_->closed_) return std::nullopt;
    const std::int64_t end = std::min(whole, capture_->end_);
    if (position_ < chunks.front().position) fatalError("AudioCapture: a reader reads audio that was let go");
    // Chunks follow one another without a gap, so the one holding the position is found by count.
    const auto index = static_cast<std::size_t>((position_ - chunks.front().position) / kChunkFrames);
    const Chunk& chunk = chunks[index];
    const std::int16_t* from = chunk.samples.get() + (position_ - chunk.position);
    Span span{position_, std::vector<std::int16_t>(from, from + (end - position_))};
    position_ = end;
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
    capture_->letGoOfReleased();
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
