#pragma once
// Audio formats, capture times and buffers of float samples, one array per channel.

#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

class AVAudioFormat {
public:
    AVAudioFormat() = default;
    AVAudioFormat(double sampleRate, std::uint32_t channelCount)
        : sampleRate_(sampleRate), channels_(channelCount) {}

    double sampleRate() const { return sampleRate_; }
    std::uint32_t channelCount() const { return channels_; }
    bool isValid() const { return sampleRate_ > 0 && channels_ > 0; }
    bool operator==(const AVAudioFormat&) const = default;

private:
    double sampleRate_ = 0;
    std::uint32_t channels_ = 0;
};

// When a buffer's first frame was captured, counted in frames since the engine first started.
struct AVAudioTime {
    std::int64_t sampleTime = 0;
    double sampleRate = 0;
    double seconds() const { return sampleRate > 0 ? static_cast<double>(sampleTime) / sampleRate : 0; }
};

class AVAudioPCMBuffer {
public:
    AVAudioPCMBuffer(AVAudioFormat format, std::uint32_t frameCapacity);

    const AVAudioFormat& format() const { return format_; }
    std::uint32_t frameCapacity() const { return capacity_; }
    std::uint32_t frameLength() const { return length_; }
    // Clamped to the capacity.
    void setFrameLength(std::uint32_t length);

    // The samples of one channel; frameCapacity() of them, frameLength() valid.
    float* floatChannelData(std::uint32_t channel) { return channels_[channel].data(); }
    const float* floatChannelData(std::uint32_t channel) const { return channels_[channel].data(); }

    // The valid frames mixed down to one channel.
    std::vector<float> monoSamples() const;
    double duration() const { return format_.sampleRate() > 0 ? length_ / format_.sampleRate() : 0; }

private:
    AVAudioFormat format_;
    std::uint32_t capacity_;
    std::uint32_t length_ = 0;
    std::vector<std::vector<float>> channels_;
};

using AVAudioPCMBufferRef = std::shared_ptr<AVAudioPCMBuffer>;

} // namespace platform
