#pragma once
// Recognition of English with pocketsphinx. Each task decodes on a worker thread of its own (never
// the audio thread, never the main thread): audio is mixed to mono and resampled to the 16 kHz
// 16-bit the acoustic model needs, partial hypotheses are posted as they change, and the task ends
// with a final result when the decoder hears the utterance end. The decoder is fed in slices of
// 10 ms so that the end is known to the slice: the audio after it (the rest of that buffer and
// whatever was queued or still arrives) is kept for the next task, since the decoder runs behind
// the microphone and the next phrase may already have begun. Loaded decoders are kept and lent to
// later tasks, since loading one takes about half a second.

#include <condition_variable>
#include <deque>
#include <memory>
#include <string>
#include <thread>

#include "platform/speech/SpeechEngine.h"

namespace platform {

class PocketsphinxEngine final : public SpeechEngine {
public:
    PocketsphinxEngine();
    ~PocketsphinxEngine() override;

    void start(const SpeechEngineConfiguration& configuration, SpeechEngineCallbacks callbacks) override;
    void append(const AVAudioPCMBufferRef& buffer) override;
    void endAudio() override;
    void cancel() override;
    std::vector<AVAudioPCMBufferRef> takeUnheardAudio() override;

    // Every English locale ("en", "en-US", "en_GB"...) when the model is installed.
    static bool servesLocale(const std::string& locale);
    // Words the screens' voice commands need beyond the model's dictionary, with pronunciations.
    static const std::vector<std::pair<std::string, std::string>>& addedWords();
    // Loads a decoder ahead of the first task, so that it does not pay the start-up. Blocks while
    // it loads; does nothing when one is ready.
    static void preload();
    // Whether a decoder has been loaded in this process (later ones are lent or copied from it).
    static bool isLoaded();

private:
    struct Item {
        AVAudioPCMBufferRef buffer; // null: end of audio
    };
    void run(std::stop_token stop);
    // Worker: the engine has ended; `rest` and everything queued become the unheard audio, and
    // later buffers join it.
    void keepUnheard(std::vector<AVAudioPCMBufferRef> rest);

    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<Item> queue_;
    std::vector<AVAudioPCMBufferRef> unheard_;
    bool ended_ = false;
    bool cancelled_ = false;
    bool keepingUnheard_ = false;
    bool handedOver_ = false;
    std::jthread worker_;
};

} // namespace platform
