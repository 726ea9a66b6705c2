#pragma once
// A speech synthesizer as the screens hold one: they make it and never ask it to speak, so it
// holds nothing but its delegate.

#include <memory>

namespace platform {

class AVSpeechSynthesizerDelegate {
public:
    virtual ~AVSpeechSynthesizerDelegate() = default;
};

class AVSpeechSynthesizer {
public:
    std::weak_ptr<AVSpeechSynthesizerDelegate> delegate;
    bool isSpeaking() const { return false; }
};

} // namespace platform
