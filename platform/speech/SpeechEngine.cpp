#include "platform/speech/SpeechEngine.h"

#include <utility>

#include "platform/foundation/RunLoop.h"
#include "platform/speech/PocketsphinxEngine.h"
#include "platform/speech/ScriptedSpeech.h"

namespace platform {

NSError speechError(SFSpeechErrorCode code, const std::string& description) {
    return NSError{SFSpeechErrorDomain, code, description};
}

SpeechEngine::~SpeechEngine() {
    events_->finished = true;
}

void SpeechEngine::start(const SpeechEngineConfiguration& configuration, SpeechEngineCallbacks callbacks,
                         std::shared_ptr<AudioCapture::Reader> audio) {
    configuration_ = configuration;
    audio_ = std::move(audio);
    std::lock_guard lock(events_->mutex);
    events_->callbacks = std::move(callbacks);
}

void SpeechEngine::cancel() {
    events_->finished = true;
    std::lock_guard lock(events_->mutex);
    events_->callbacks = {};
}

void SpeechEngine::post(Call call, bool finishes) {
    if (events_->finished) return;
    if (!finishes) {
        RunLoop::main().schedule(0, [events = events_, call = std::move(call)] {
            SpeechEngineCallbacks callbacks;
            {
                std::lock_guard lock(events->mutex);
                callbacks = events->callbacks;
            }
            call(callbacks);
        });
        return;
    }
    if (events_->finished.exchange(true)) return;
    {
        std::lock_guard lock(events_->mutex);
        events_->end = std::move(call);
        events_->endPosted = true;
    }
    events_->endArrived.notify_all();
    RunLoop::main().schedule(0, [events = events_] {
        auto [callbacks, end] = takeEnd(*events);
        if (end) end(callbacks);
    });
}

std::pair<SpeechEngineCallbacks, SpeechEngine::Call> SpeechEngine::takeEnd(Events& events) {
    std::lock_guard lock(events.mutex);
    return {events.callbacks, std::exchange(events.end, nullptr)};
}

bool SpeechEngine::deliverEndBy(std::chrono::steady_clock::time_point deadline) {
    {
        std::unique_lock lock(events_->mutex);
        if (!events_->endArrived.wait_until(lock, deadline, [&] { return events_->endPosted; })) return false;
    }
    auto [callbacks, end] = takeEnd(*events_);
    if (end) end(callbacks);
    return true;
}

std::optional<SpeechEngine::Heard> SpeechEngine::latestHeard() const {
    std::lock_guard lock(events_->mutex);
    return events_->heard;
}

void SpeechEngine::noteHeard(SFTranscription transcription, std::int64_t upTo) {
    if (events_->finished) return;
    std::lock_guard lock(events_->mutex);
    events_->heard = Heard{std::move(transcription), upTo};
}

void SpeechEngine::release(std::shared_ptr<SpeechEngine> engine) {
    // Never destroyed: what a worker still reads outlives the program's own statics.
    static auto& mutex = *new std::mutex;
    static auto& kept = *new std::vector<std::shared_ptr<SpeechEngine>>;
    std::vector<std::shared_ptr<SpeechEngine>> ended;
    {
        std::lock_guard lock(mutex);
        if (engine && !engine->workerEnded()) kept.push_back(std::move(engine));
        for (auto it = kept.begin(); it != kept.end();) {
            if ((*it)->workerEnded()) {
                ended.push_back(std::move(*it));
                it = kept.erase(it);
            } else
                ++it;
        }
    }
    // Joined outside the lock; each has ended already.
    ended.clear();
    engine.reset();
}

void SpeechEngine::postPartial(SFTranscription transcription, std::optional<std::int64_t> upTo) {
    if (events_->finished) return;
    {
        std::lock_guard lock(events_->mutex);
        events_->heard = Heard{transcription, upTo};
    }
    post(
        [t = std::move(transcription)](SpeechEngineCallbacks& c) {
            if (c.partial) c.partial(t);
        },
        false);
}

void SpeechEngine::postFinal(SFTranscription transcription) {
    post(
        [t = std::move(transcription)](SpeechEngineCallbacks& c) {
            if (c.final) c.final(t);
        },
        true);
}

void SpeechEngine::postError(NSError error) {
    post(
        [e = std::move(error)](SpeechEngineCallbacks& c) {
            if (c.error) c.error(e);
        },
        true);
}

std::unique_ptr<SpeechEngine> makeSpeechEngine(const std::string& locale) {
    if (ScriptedSpeech::shared().servesLocale(locale)) return ScriptedSpeech::shared().makeEngine();
    if (PocketsphinxEngine::servesLocale(locale)) {
        // The first task waits for the model here, before it takes any audio; nothing that
        // never records pays for it.
        prepareSpeechEngine(locale);
        if (PocketsphinxEngine::unavailableReason()) return nullptr;
        return std::make_unique<PocketsphinxEngine>();
    }
    return nullptr;
}

bool speechEngineServes(const std::string& locale) {
    return ScriptedSpeech::shared().servesLocale(locale) || PocketsphinxEngine::servesLocale(locale);
}

bool speechEngineReady(const std::string& locale) {
    if (ScriptedSpeech::shared().servesLocale(locale) || !PocketsphinxEngine::servesLocale(locale))
        return true;
    return PocketsphinxEngine::isLoaded();
}

void prepareSpeechEngine(const std::string& locale) {
    if (!speechEngineReady(locale)) PocketsphinxEngine::preload();
}

} // namespace platform
