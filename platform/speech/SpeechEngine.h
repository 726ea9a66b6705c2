#pragma once
// A recognition engine behind a task: built from a configuration and three callbacks, fed audio
// from any thread, ended or cancelled from the main thread. Callbacks always arrive on the main
// run loop, never inside the call that caused them, and stop for good after the first final
// result or error, or once the engine is cancelled. Audio that comes after the end of what the
// engine recognised is kept, not dropped, so that the next task can hear it.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/avfaudio/AVAudioPCMBuffer.h"
#include "platform/foundation/NSError.h"
#include "platform/speech/SFSpeechRecognitionResult.h"

namespace platform {

inline constexpr const char* SFSpeechErrorDomain = "SFSpeechErrorDomain";

enum SFSpeechErrorCode : long {
    SFSpeechErrorCodeNoSpeech = 1110,
    SFSpeechErrorCodeCanceled = 301,
    SFSpeechErrorCodeUnavailable = 1700,
    SFSpeechErrorCodeRequestInUse = 1701,
    SFSpeechErrorCodeEngineFailed = 1702,
    SFSpeechErrorCodeScripted = 1703,
};

NSError speechError(SFSpeechErrorCode code, const std::string& description);

struct SpeechEngineConfiguration {
    std::string locale;
    bool reportPartialResults = true;
    std::vector<std::string> contextualStrings;
    // A task that has heard no speech for this much audio ends with "No speech detected".
    double noSpeechTimeout = 10.0;
    // A task that has heard this much audio ends with a final result of what it has.
    double maximumDuration = 60.0;
};

struct SpeechEngineCallbacks {
    std::function<void(const SFTranscription&)> partial;
    std::function<void(const SFTranscription&)> final;
    std::function<void(const NSError&)> error;
};

class SpeechEngine {
public:
    virtual ~SpeechEngine();

    // Main thread.
    virtual void start(const SpeechEngineConfiguration& configuration, SpeechEngineCallbacks callbacks);
    // Any thread (the audio thread calls it through the request): must not block.
    virtual void append(const AVAudioPCMBufferRef& buffer) = 0;
    // No more audio: the engine delivers one last final result or error.
    virtual void endAudio() = 0;
    // Drops whatever has not been delivered; no callback follows.
    virtual void cancel();
    // Main thread, once the task is over: the audio the engine was given but did not use, because
    // its utterance had ended before it (what came after the end, and what still came until now),
    // oldest first. Whoever continues listening starts from it. The engine takes no audio after.
    virtual std::vector<AVAudioPCMBufferRef> takeUnheardAudio() { return {}; }

    bool hasFinished() const { return events_->finished.load(); }

protected:
    const SpeechEngineConfiguration& configuration() const { return configuration_; }
    // Post to the main run loop from any thread; dropped once finished or cancelled. The final
    // result and the error finish the engine.
    void postPartial(SFTranscription transcription);
    void postFinal(SFTranscription transcription);
    void postError(NSError error);

private:
    struct Events {
        std::mutex mutex;
        SpeechEngineCallbacks callbacks;
        std::atomic<bool> finished{false};
    };
    void post(std::function<void(SpeechEngineCallbacks&)> call, bool finishes);

    SpeechEngineConfiguration configuration_;
    std::shared_ptr<Events> events_ = std::make_shared<Events>();
};

// Builds the engine that serves a locale, or null when none does. Loads its model first when none
// is loaded yet, blocking meanwhile.
std::unique_ptr<SpeechEngine> makeSpeechEngine(const std::string& locale);
bool speechEngineServes(const std::string& locale);
// Whether a task of the locale starts without loading a model first (true when no engine serves it).
bool speechEngineReady(const std::string& locale);
// Loads what the locale's engine needs; blocks meanwhile, so call it off the main thread.
void prepareSpeechEngine(const std::string& locale);

} // namespace platform
