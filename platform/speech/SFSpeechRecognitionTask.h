#pragma once
// One recognition of one request. Its callbacks come on the main run loop: partial results while
// audio arrives, then exactly one end, a final result or an error. After endAudio the end always
// comes; after cancel it is one "canceled" error, whatever the engine still had in hand. A task
// that its owner lets go of is cancelled without a callback.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "platform/foundation/NSError.h"
#include "platform/foundation/RunLoop.h"
#include "platform/speech/SFSpeechAudioBufferRecognitionRequest.h"
#include "platform/speech/SFSpeechRecognitionResult.h"
#include "platform/speech/SpeechEngine.h"

namespace platform {

enum class SFSpeechRecognitionTaskState {
    starting = 0,
    running = 1,
    finishing = 2,
    canceling = 3,
    completed = 4
};

class SFSpeechRecognitionTask;

class SFSpeechRecognitionTaskDelegate {
public:
    virtual ~SFSpeechRecognitionTaskDelegate() = default;
    virtual void speechRecognitionDidDetectSpeech(SFSpeechRecognitionTask&) {}
    virtual void speechRecognitionTask_didHypothesizeTranscription(SFSpeechRecognitionTask&,
                                                                   const SFTranscription&) {}
    virtual void speechRecognitionTask_didFinishRecognition(SFSpeechRecognitionTask&,
                                                            const SFSpeechRecognitionResult&) {}
    virtual void speechRecognitionTaskWasCancelled(SFSpeechRecognitionTask&) {}
    virtual void speechRecognitionTask_didFinishSuccessfully(SFSpeechRecognitionTask&, bool) {}
};

using SFSpeechRecognitionResultHandler =
    std::function<void(const SFSpeechRecognitionResultRef& result, const std::optional<NSError>& error)>;

class SFSpeechRecognitionTask : public std::enable_shared_from_this<SFSpeechRecognitionTask> {
public:
    ~SFSpeechRecognitionTask();

    SFSpeechRecognitionTaskState state() const { return state_; }
    bool isCancelled() const { return cancelled_; }
    bool isFinishing() const { return state_ == SFSpeechRecognitionTaskState::finishing; }
    const std::optional<NSError>& error() const { return error_; }

    // Ends recognition at once: one "canceled" error follows, nothing else. Does nothing once the
    // task has ended.
    void cancel();
    // No more audio: the task finishes with what it has heard.
    void finish();
    // Main thread: waits until `deadline` at most for the task's end and reports it at once, for an
    // owner that cannot wait for the run loop (the application ending). True once the task has ended.
    // When the end does not come in time, the words the engine has heard by then come first, as a
    // partial result.
    bool awaitEnd(std::chrono::steady_clock::time_point deadline);
    // Where in the capture the engine had heard up to when it formed the words that awaitEnd gave
    // last; none when it did not give any or the engine does not say.
    std::optional<std::int64_t> heardUpTo() const { return heardUpTo_; }

    // Built by SFSpeechRecognizer.
    SFSpeechRecognitionTask(std::shared_ptr<SFSpeechAudioBufferRecognitionRequest> request,
                            SFSpeechRecognitionResultHandler handler,
                            std::weak_ptr<SFSpeechRecognitionTaskDelegate> delegate, bool hasDelegate);
    void begin(std::unique_ptr<SpeechEngine> engine, const SpeechEngineConfiguration& configuration);
    // Ends the task with `error` after `delay` seconds of clock time (no engine to ask).
    void failAfter(double delay, NSError error);

private:
    void onPartial(const SFTranscription& transcription);
    void onFinal(const SFTranscription& transcription);
    void onError(const NSError& error);
    void complete();
    void report(const SFSpeechRecognitionResultRef& result, const std::optional<NSError>& error);

    std::shared_ptr<SFSpeechAudioBufferRecognitionRequest> request_;
    SFSpeechRecognitionResultHandler handler_;
    std::weak_ptr<SFSpeechRecognitionTaskDelegate> delegate_;
    bool hasDelegate_;
    std::shared_ptr<SpeechEngine> engine_;
    SFSpeechRecognitionTaskState state_ = SFSpeechRecognitionTaskState::starting;
    bool cancelled_ = false;
    bool heardSpeech_ = false;
    std::optional<NSError> error_;
    RunLoop::TaskId pending_ = 0;
    std::string lastPartial_;
    std::optional<std::int64_t> heardUpTo_;
};

} // namespace platform
