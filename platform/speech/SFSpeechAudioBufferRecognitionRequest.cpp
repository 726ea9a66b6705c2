#include "platform/speech/SFSpeechAudioBufferRecognitionRequest.h"

#include "platform/speech/SpeechEngine.h"

namespace platform {

namespace {
// Unheard audio kept after the task: the tap is normally removed moments after the task's end,
// so this only bounds what a tap left in place would pile up.
constexpr double kUnheardSecondsKept = 30;
} // namespace

void SFSpeechAudioBufferRecognitionRequest::appendAudioPCMBuffer(const AVAudioPCMBufferRef& buffer) {
    std::lock_guard lock(mutex_);
    if (ended_ || !buffer) return;
    if (closed_) {
        unheard_.push_back(buffer);
        unheardSeconds_ += buffer->duration();
        while (unheardSeconds_ > kUnheardSecondsKept) {
            unheardSeconds_ -= unheard_.front()->duration();
            unheard_.pop_front();
        }
        return;
    }
    // The engine only queues the buffer, so holding the lock here costs the audio thread nothing.
    if (engine_)
        engine_->append(buffer);
    else
        pending_.push_back(buffer);
}

void SFSpeechAudioBufferRecognitionRequest::continueFrom(SFSpeechAudioBufferRecognitionRequest& previous) {
    if (&previous == this) return;
    std::deque<AVAudioPCMBufferRef> unheard;
    {
        std::lock_guard lock(previous.mutex_);
        unheard.swap(previous.unheard_);
        previous.unheardSeconds_ = 0;
    }
    for (const auto& buffer : unheard)
        appendAudioPCMBuffer(buffer);
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
        if (closed_) return;
        closed_ = true;
        engine = std::move(engine_);
        // Taken under the lock, so that no buffer from the tap falls between the engine's unheard
        // audio and ours: what a task never got (it ended before starting) is unheard too.
        std::vector<AVAudioPCMBufferRef> unused = engine ? engine->takeUnheardAudio() : std::move(pending_);
        pending_.clear();
        for (auto& buffer : unused) {
            unheardSeconds_ += buffer->duration();
            unheard_.push_back(std::move(buffer));
        }
    }
    // Released outside the lock: an engine may join its worker when it goes.
}

} // namespace platform
