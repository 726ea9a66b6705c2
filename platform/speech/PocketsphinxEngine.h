#pragma once
// Recognition of English with pocketsphinx. Each task decodes on a worker thread of its own (never
// the audio thread, never the main thread) that reads the task's audio from the capture (already
// the 16 kHz 16-bit mono the acoustic model needs) and feeds it to the decoder in spans of 10 ms,
// so that where an utterance ends is known to the span and the next task reads on from there (the
// decoder runs behind the microphone, and the next phrase may already have begun).
// What a task hears is an utterance state machine (listening, in an utterance, ended) apart from
// the loop that takes the audio. Loaded decoders are kept and lent to later tasks, since loading
// one takes about half a second.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/speech/SpeechEngine.h"

namespace platform {

class PocketsphinxEngine final : public SpeechEngine {
public:
    PocketsphinxEngine();
    ~PocketsphinxEngine() override;

    void start(const SpeechEngineConfiguration& configuration, SpeechEngineCallbacks callbacks,
               std::shared_ptr<AudioCapture::Reader> audio) override;
    void cancel() override;

    // Every English locale ("en", "en-US", "en_GB"...) when the model is installed.
    static bool servesLocale(const std::string& locale);
    // Words the screens' voice commands need beyond the model's dictionary, with pronunciations.
    static const std::vector<std::pair<std::string, std::string>>& addedWords();
    // Loads a decoder ahead of the first task, so that it does not pay the start-up. Blocks while
    // it loads; does nothing when one is ready.
    static void preload();
    // Whether a decoder has been loaded in this process (later ones are lent or copied from it).
    static bool isLoaded();
    // Why English is not recognized here, once loading found a library the engine needs missing:
    // from then on no locale is served. None until then. (A microphone whose rate needs the
    // missing resampler ends its own task with the reason, and leaves recognition available.)
    static std::optional<std::string> unavailableReason();
    // That library's soname, as long as there is a reason.
    static std::optional<std::string> missingLibrary();
    // Test hook: while held, every task's decoder stops before its next stretch of audio, as a
    // decoder far behind the microphone would, and the run loop does not wait for it. Letting go
    // counts the held decoders as busy at once, so that the run loop waits for them from then on.
    static void holdDecodersForTesting(bool hold);
    // Test hook: while held, a decoder that comes to the end of an utterance (its second pass over
    // it, which takes seconds on a starved core) stays inside it, cancelled or not, as the run loop
    // does not wait for it; it lets go by itself after half a minute.
    static void holdEndsOfUtterancesForTesting(bool hold);
    // How many decoders are held inside an end of utterance now.
    static int decodersHeldInEndForTesting();

    bool workerEnded() const override;

    struct Hold;

private:
    // Shared with the reader's wake, which may outlive the engine by a moment.
    struct Signal {
        std::mutex mutex;
        std::condition_variable_any wake;
        bool woken = false;
        bool cancelled = false;
        // The run loop waits for the worker: it has audio to hear or results to post.
        bool busy = false;
        bool done = false;
        // Held back by the test hook: audio arriving does not make it busy.
        bool held = false;
    };
    void run(std::stop_token stop);
    void listen(std::stop_token stop, AudioCapture::Reader& audio);
    // Worker: false once cancelled.
    bool waitForAudio(std::stop_token stop);
    void waitWhileHeld(std::stop_token stop);
    void waitWhileHeldInEnd();
    template <typename Wait> void waitWhileHeld(Hold& hold, Wait wait);
    static void release(Hold& hold, bool held);
    static void letGo(Hold& hold);
    bool cancelled() const;

    std::shared_ptr<Signal> signal_ = std::make_shared<Signal>();
    std::jthread worker_;
};

} // namespace platform
