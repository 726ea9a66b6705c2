#include "platform/speech/SFSpeechRecognitionTask.h"

#include "platform/foundation/FontLock.h"
#include "platform/speech/SFSpeechRecognizer.h"

namespace platform {

SFSpeechRecognitionTask::SFSpeechRecognitionTask(
    std::shared_ptr<SFSpeechAudioBufferRecognitionRequest> request, SFSpeechRecognitionResultHandler handler,
    std::weak_ptr<SFSpeechRecognitionTaskDelegate> delegate, bool hasDelegate)
    : request_(std::move(request)), handler_(std::move(handler)), delegate_(std::move(delegate)),
      hasDelegate_(hasDelegate) {}

SFSpeechRecognitionTask::~SFSpeechRecognitionTask() {
    if (pending_) RunLoop::main().cancel(pending_);
    if (engine_) engine_->cancel();
    if (request_) request_->detach();
    SpeechEngine::release(std::move(engine_));
}

void SFSpeechRecognitionTask::begin(std::unique_ptr<SpeechEngine> engine,
                                    const SpeechEngineConfiguration& configuration) {
    std::shared_ptr<SpeechEngine> shared(std::move(engine));
    std::weak_ptr<SFSpeechRecognitionTask> weak = weak_from_this();
    SpeechEngineCallbacks callbacks;
    callbacks.partial = [weak](const SFTranscription& t) {
        if (auto self = weak.lock()) self->onPartial(t);
    };
    callbacks.final = [weak](const SFTranscription& t) {
        if (auto self = weak.lock()) self->onFinal(t);
    };
    callbacks.error = [weak](const NSError& e) {
        // An engine that found a library it needs missing has taken recognition from every
        // recognizer it served, not only from this task.
        if (e.domain == SFSpeechErrorDomain && e.code == SFSpeechErrorCodeEngineFailed)
            SFSpeechRecognizer::availabilityMayHaveChanged();
        if (auto self = weak.lock()) self->onError(e);
    };
    auto audio = request_->attach();
    if (!audio) {
        failAfter(
            0, speechError(SFSpeechErrorCodeRequestInUse, "The recognition request has already been used"));
        return;
    }
    engine_ = shared;
    state_ = SFSpeechRecognitionTaskState::running;
    engine_->start(configuration, std::move(callbacks), std::move(audio));
}

void SFSpeechRecognitionTask::failAfter(double delay, NSError error) {
    state_ = SFSpeechRecognitionTaskState::running;
    std::weak_ptr<SFSpeechRecognitionTask> weak = weak_from_this();
    pending_ = RunLoop::main().schedule(delay, [weak, error] {
        if (auto self = weak.lock()) {
            self->pending_ = 0;
            self->onError(error);
        }
    });
}

void SFSpeechRecognitionTask::cancel() {
    if (state_ == SFSpeechRecognitionTaskState::completed ||
        state_ == SFSpeechRecognitionTaskState::canceling)
        return;
    state_ = SFSpeechRecognitionTaskState::canceling;
    cancelled_ = true;
    if (engine_) engine_->cancel();
    if (pending_) RunLoop::main().cancel(pending_);
    std::weak_ptr<SFSpeechRecognitionTask> weak = weak_from_this();
    pending_ = RunLoop::main().schedule(0, [weak] {
        auto self = weak.lock();
        if (!self) return;
        self->pending_ = 0;
        self->error_ = speechError(SFSpeechErrorCodeCanceled, "Recognition request was canceled");
        auto delegate = self->delegate_.lock();
        self->complete();
        if (delegate) {
            delegate->speechRecognitionTaskWasCancelled(*self);
            delegate->speechRecognitionTask_didFinishSuccessfully(*self, false);
        }
        self->report(nullptr, self->error_);
    });
}

void SFSpeechRecognitionTask::finish() {
    if (state_ != SFSpeechRecognitionTaskState::running && state_ != SFSpeechRecognitionTaskState::starting)
        return;
    state_ = SFSpeechRecognitionTaskState::finishing;
    if (request_) request_->endAudio();
}

bool SFSpeechRecognitionTask::awaitEnd(std::chrono::steady_clock::time_point deadline) {
    if (state_ == SFSpeechRecognitionTaskState::completed) return true;
    // The engine reports through this task, which its handler may let go of meanwhile.
    auto self = shared_from_this();
    auto engine = engine_;
    const bool delivered = !engine || cancelled_ || [&] {
        FontLock::Released waiting; // a worker printing meanwhile may need the fonts
        return engine->deliverEndBy(deadline);
    }();
    if (delivered) return state_ == SFSpeechRecognitionTaskState::completed;
    // Out of time: what the engine has heard by now is the task's last word, though it was never
    // posted (after a stop) or is still on its way to the run loop.
    if (auto heard = engine->latestHeard()) {
        heardUpTo_ = heard->upTo;
        if (heard->transcription.formattedString() != lastPartial_) onPartial(heard->transcription);
    }
    return state_ == SFSpeechRecognitionTaskState::completed;
}

void SFSpeechRecognitionTask::onPartial(const SFTranscription& transcription) {
    if (state_ == SFSpeechRecognitionTaskState::completed || cancelled_) return;
    auto self = shared_from_this();
    if (auto delegate = delegate_.lock()) {
        if (!heardSpeech_) delegate->speechRecognitionDidDetectSpeech(*this);
        delegate->speechRecognitionTask_didHypothesizeTranscription(*this, transcription);
    }
    heardSpeech_ = true;
    lastPartial_ = transcription.formattedString();
    report(std::make_shared<SFSpeechRecognitionResult>(transcription, false), std::nullopt);
}

void SFSpeechRecognitionTask::onFinal(const SFTranscription& transcription) {
    if (state_ == SFSpeechRecognitionTaskState::completed || cancelled_) return;
    auto self = shared_from_this();
    auto result = std::make_shared<SFSpeechRecognitionResult>(transcription, true);
    auto delegate = delegate_.lock();
    complete();
    if (delegate) {
        delegate->speechRecognitionTask_didFinishRecognition(*this, *result);
        delegate->speechRecognitionTask_didFinishSuccessfully(*this, true);
    }
    report(result, std::nullopt);
}

void SFSpeechRecognitionTask::onError(const NSError& error) {
    if (state_ == SFSpeechRecognitionTaskState::completed || cancelled_) return;
    auto self = shared_from_this();
    error_ = error;
    auto delegate = delegate_.lock();
    complete();
    if (delegate) delegate->speechRecognitionTask_didFinishSuccessfully(*this, false);
    report(nullptr, error);
}

void SFSpeechRecognitionTask::complete() {
    state_ = SFSpeechRecognitionTaskState::completed;
    if (engine_) engine_->cancel();
    if (request_) request_->detach();
    SpeechEngine::release(std::move(engine_));
}

void SFSpeechRecognitionTask::report(const SFSpeechRecognitionResultRef& result,
                                     const std::optional<NSError>& error) {
    if (hasDelegate_ || !handler_) return;
    auto handler = handler_; // the handler may let go of this task
    handler(result, error);
}

} // namespace platform
