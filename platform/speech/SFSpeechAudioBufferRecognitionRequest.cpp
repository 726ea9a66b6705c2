#include "platform/speech/SFSpeechAudioBufferRecognitionRequest.h"

namespace platform {

SFSpeechAudioBufferRecognitionRequest::SFSpeechAudioBufferRecognitionRequest()
    : capture_(std::make_shared<AudioCapture>()) {}

SFSpeechAudioBufferRecognitionRequest::SFSpeechAudioBufferRecognitionRequest(
    std::shared_ptr<AudioCapture> capture, std::int64_t position)
    : capture_(std::move(capture)), start_(position) {}

void SFSpeechAudioBufferRecognitionRequest::appendAudioPCMBuffer(const AVAudioPCMBufferRef& buffer) {
    capture_->append(buffer);
}

void SFSpeechAudioBufferRecognitionRequest::endAudio() {
    capture_->close();
}

bool SFSpeechAudioBufferRecognitionRequest::hasEndedAudio() const {
    return capture_->isClosed();
}

std::int64_t SFSpeechAudioBufferRecognitionRequest::endPosition() const {
    return reader_ ? reader_->endPosition() : start_;
}

std::shared_ptr<AudioCapture::Reader> SFSpeechAudioBufferRecognitionRequest::attach() {
    if (used_) return nullptr;
    used_ = true;
    reader_ = capture_->readFrom(start_);
    return reader_;
}

void SFSpeechAudioBufferRecognitionRequest::detach() {
    if (!reader_) return;
    reader_->stopListening();
    // No task reads before where this one stopped hearing.
    reader_->release(reader_->endPosition());
}

} // namespace platform
