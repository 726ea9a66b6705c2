#pragma once
// Recognition of English with pocketsphinx. Each task decodes on a worker thread of its own (never
// the audio thread, never the main thread): audio is mixed to mono and resampled to the 16 kHz
// 16-bit the acoustic model needs, partial hypotheses are posted as they change, and the task ends
// with a final result when the decoder hears the utterance end. Loaded decoders are kept and
// lent to later tasks, since loading one takes about half a second.

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

    // Every English locale ("en", "en-US", "en_GB"...) when the model is installed.
    static bool servesLocale(const std::string& locale);
    // Words the screens' voice commands need beyond the model's dictionary, with pronunciations.
    static const std::vector<std::pair<std::string, std::string>>& addedWords();
    // Loads a decoder ahead of the first task, so that it does not pay the start-up.
    static void preload();

private:
    struct Item {
        AVAudioPCMBufferRef buffer; // null: end of audio
    };
    void run(std::stop_token stop);

    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<Item> queue_;
    bool ended_ = false;
    bool cancelled_ = false;
    std::jthread worker_;
};

} // namespace platform
