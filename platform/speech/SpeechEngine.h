#pragma once
// A recognition engine behind a task: built from a configuration and three callbacks, it reads the
// task's audio from the capture (AudioCapture::Reader) on a thread of its own choosing, and ends
// where it stopped hearing, so that the next task reads on from there. Callbacks always arrive on
// the main run loop, never inside the call that caused them, and stop for good after the first
// final result or error, or once the engine is cancelled. A closed capture (a stop) changes where
// a task ends only at the stop itself: before it, tasks end where they would have without it (an
// utterance's end, a long silence), so that the words before a stop do not depend on when the
// engine learned of it; the task that reaches the stop ends there with every word it heard.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/avfaudio/AudioCapture.h"
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

    // Main thread. `audio` is the task's reader; it stays the engine's until the engine goes.
    virtual void start(const SpeechEngineConfiguration& configuration, SpeechEngineCallbacks callbacks,
                       std::shared_ptr<AudioCapture::Reader> audio);
    // Drops whatever has not been delivered; no callback follows.
    virtual void cancel();

    bool hasFinished() const { return events_->finished.load(); }
    // Main thread: waits until `deadline` at most for the engine's end (its final result or error)
    // and delivers it at once, ahead of the partial results still on their way (which the end makes
    // stale); false when it did not come in time. For an end that cannot wait for the run loop.
    bool deliverEndBy(std::chrono::steady_clock::time_point deadline);

    // The newest words the engine has, posted or not yet (after a stop an engine keeps its partial
    // results to itself), with the position in the capture it had heard up to, when it knows it.
    struct Heard {
        SFTranscription transcription;
        std::optional<std::int64_t> upTo;
    };
    std::optional<Heard> latestHeard() const;

    // Main thread, for a task letting go of its engine: an engine whose worker is still busy (deep
    // in a decoder's pass, say) is not waited for; it is kept until its worker has ended, and what
    // is left of it when the process ends is never destroyed. Call cancel() first.
    static void release(std::shared_ptr<SpeechEngine> engine);
    // Whether the engine's own thread, if any, has ended (joining it would not wait).
    virtual bool workerEnded() const { return true; }

protected:
    const SpeechEngineConfiguration& configuration() const { return configuration_; }
    const std::shared_ptr<AudioCapture::Reader>& audio() const { return audio_; }
    // Post to the main run loop from any thread; dropped once finished or cancelled. The final
    // result and the error finish the engine.
    void postPartial(SFTranscription transcription, std::optional<std::int64_t> upTo = std::nullopt);
    // The words heard so far, kept for latestHeard() but not posted.
    void noteHeard(SFTranscription transcription, std::int64_t upTo);
    void postFinal(SFTranscription transcription);
    void postError(NSError error);

private:
    using Call = std::function<void(SpeechEngineCallbacks&)>;
    struct Events {
        std::mutex mutex;
        SpeechEngineCallbacks callbacks;
        std::atomic<bool> finished{false};
        // The end, from when it is posted until it is delivered (by the run loop or deliverEndBy).
        Call end;
        bool endPosted = false;
        std::condition_variable endArrived;
        std::optional<Heard> heard;
    };
    void post(Call call, bool finishes);
    // The callbacks, with the end when it is still to be delivered (once).
    static std::pair<SpeechEngineCallbacks, Call> takeEnd(Events& events);

    SpeechEngineConfiguration configuration_;
    std::shared_ptr<AudioCapture::Reader> audio_;
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
