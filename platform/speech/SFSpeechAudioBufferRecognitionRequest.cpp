#include "platform/speech/SFSpeechAudioBufferRecognitionRequest.h"

#include "platform/speech/SpeechEngine.h"

namespace platform {

void SFSpeechAudioBufferRecognitionRequest::appendAudioPCMBuffer(const AVAudioPCMBufferRef& buffer) {
    std::lock_guard lock(mutex_);
    if (ended_ || closed_ || !buffer) return;
    // The engine only queues the buffer, so holding the lock here costs the audio thread nothing.
    if (engine_)
        engine_->append(buffer);
    else
        pending_.push_back(buffer);
}

void SFSpeechAudioBufferRecognitionRequest::endAudio() {
    std::lock_guard lock(mutex_);
    if (ended_) return;
    ended_ = true;
    if (engine_) engine_->endAudio();
}

bool SFSpeechAudioBufferRecognitionRequest::hasEndedAudio() const {
    std::lock_guard lock(mutex_);
    return ended_;
}

bool SFSpeechAudioBufferRecognitionRequest::attach(std::shared_ptr<SpeechEngine> engine) {
    std::lock_guard lock(mutex_);
    if (used_) return false;
    used_ = true;
    engine_ = std::move(engine);
    if (!engine_) return true;
    for (const auto& buffer : pending_)
        engine_->append(buffer);
    pending_.clear();
    if (ended_) engine_->endAudio();
    return true;
}

void SFSpeechAudioBufferRecognitionRequest::detach() {
    std::shared_ptr<SpeechEngine> engine;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        pending_.clear();
        engine = std::move(engine_);
    }
    // Released outside the lock: an engine may join its worker when it goes.
}

} // namespace platform
