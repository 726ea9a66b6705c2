#include "platform/avfaudio/AVAudioPCMBuffer.h"

#include <algorithm>

namespace platform {

AVAudioPCMBuffer::AVAudioPCMBuffer(AVAudioFormat format, std::uint32_t frameCapacity)
    : format_(format), capacity_(frameCapacity),
      channels_(format.channelCount(), std::vector<float>(frameCapacity, 0.0f)) {}

void AVAudioPCMBuffer::setFrameLength(std::uint32_t length) {
    length_ = std::min(length, capacity_);
}

std::vector<float> AVAudioPCMBuffer::monoSamples() const {
    std::vector<float> mono(length_, 0.0f);
    if (channels_.empty()) return mono;
    const float scale = 1.0f / static_cast<float>(channels_.size());
    for (const auto& channel : channels_)
        for (std::uint32_t i = 0; i < length_; ++i)
            mono[i] += channel[i] * scale;
    return mono;
}

} // namespace platform
