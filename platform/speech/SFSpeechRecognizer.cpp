#include "platform/speech/SFSpeechRecognizer.h"

#include <mutex>
#include <utility>
#include <vector>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/speech/PocketsphinxEngine.h"
#include "platform/speech/ScriptedSpeech.h"

namespace platform {

namespace {

constexpr double kUnavailableTaskDelay = 1.0;

struct RecognizerRegistry {
    std::mutex mutex;
    SFSpeechRecognizerAuthorizationStatus status = SFSpeechRecognizerAuthorizationStatus::authorized;
    SFSpeechRecognizerAuthorizationStatus answer = SFSpeechRecognizerAuthorizationStatus::authorized;
    std::vector<std::weak_ptr<SFSpeechRecognizer>> live;
    // Main thread only.
    SFSpeechRecognizer::ModelLoading loading = SFSpeechRecognizer::ModelLoading::whenTaskStarts;
    std::vector<std::function<void()>> heldLoads;

    RecognizerRegistry() {
        registerSharedInstanceReset([this] {
            std::lock_guard lock(mutex);
            status = answer = SFSpeechRecognizerAuthorizationStatus::authorized;
            live.clear();
            loading = SFSpeechRecognizer::ModelLoading::whenTaskStarts;
            heldLoads.clear();
        });
    }
};

RecognizerRegistry& registry() {
    static RecognizerRegistry instance;
    return instance;
}

} // namespace

SFSpeechRecognizer::SFSpeechRecognizer(std::string locale) : locale_(std::move(locale)) {
    defaults_.locale = locale_;
}

std::shared_ptr<SFSpeechRecognizer> SFSpeechRecognizer::initWithLocale(const std::string& localeIdentifier) {
    auto recognizer = std::make_shared<SFSpeechRecognizer>(localeIdentifier);
    recognizer->reportedAvailable_ = recognizer->isAvailable();
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    std::erase_if(r.live, [](const auto& w) { return w.expired(); });
    r.live.push_back(recognizer);
    return recognizer;
}

std::set<std::string> SFSpeechRecognizer::supportedLocales() {
    std::set<std::string> locales = {"en-AE", "en-AU", "en-CA", "en-GB", "en-ID", "en-IE", "en-IN",
                                     "en-NZ", "en-PH", "en-SA", "en-SG", "en-US", "en-ZA"};
    std::erase_if(locales, [](const std::string& l) { return !PocketsphinxEngine::servesLocale(l); });
    for (const auto& l : ScriptedSpeech::shared().scriptedLocales())
        if (l != "*") locales.insert(l);
    return locales;
}

SFSpeechRecognizerAuthorizationStatus SFSpeechRecognizer::authorizationStatus() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return r.status;
}

void SFSpeechRecognizer::requestAuthorization(
    std::function<void(SFSpeechRecognizerAuthorizationStatus)> handler) {
    RunLoop::main().beginExternalWork();
    DispatchQueue::global().async([handler = std::move(handler)] {
        SFSpeechRecognizerAuthorizationStatus status;
        {
            auto& r = registry();
            std::lock_guard lock(r.mutex);
            if (r.status == SFSpeechRecognizerAuthorizationStatus::notDetermined) r.status = r.answer;
            status = r.status;
        }
        if (handler) handler(status);
        RunLoop::main().endExternalWork();
    });
}

void SFSpeechRecognizer::setAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus status) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.status = status;
}

void SFSpeechRecognizer::setAuthorizationAnswer(SFSpeechRecognizerAuthorizationStatus answer) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.answer = answer;
}

bool SFSpeechRecognizer::isAvailable() const {
    return speechEngineServes(locale_) && ScriptedSpeech::shared().isLocaleAvailable(locale_);
}

std::optional<std::string> SFSpeechRecognizer::unavailableReason() const {
    if (ScriptedSpeech::shared().servesLocale(locale_)) return std::nullopt;
    return PocketsphinxEngine::unavailableReason();
}

std::optional<std::string> SFSpeechRecognizer::missingLibrary() const {
    if (ScriptedSpeech::shared().servesLocale(locale_)) return std::nullopt;
    return PocketsphinxEngine::missingLibrary();
}

void SFSpeechRecognizer::setModelLoading(ModelLoading loading) {
    auto& r = registry();
    r.loading = loading;
    if (loading == ModelLoading::held) return;
    for (auto& load : std::exchange(r.heldLoads, {}))
        load();
}

bool SFSpeechRecognizer::isPrepared() const {
    return registry().loading == ModelLoading::whenTaskStarts || speechEngineReady(locale_);
}

void SFSpeechRecognizer::prepare(std::function<void()> ready) {
    if (isPrepared()) {
        RunLoop::main().schedule(0, std::move(ready));
        return;
    }
    auto load = [locale = locale_, ready = std::move(ready)]() mutable {
        DispatchQueue::global(DispatchQoS::UserInitiated)
            .asyncThenMain([locale] { prepareSpeechEngine(locale); },
                           [ready = std::move(ready)] {
                               // A model that could not be loaded leaves recognition unavailable.
                               availabilityMayHaveChanged();
                               ready();
                           });
    };
    if (registry().loading == ModelLoading::held)
        registry().heldLoads.push_back(std::move(load));
    else
        load();
}

void SFSpeechRecognizer::setDelegate(std::weak_ptr<SFSpeechRecognizerDelegate> delegate) {
    delegate_ = std::move(delegate);
    if (!isAvailable() && !toldUnavailable_) {
        toldUnavailable_ = true;
        tellDelegate(false);
    }
}

void SFSpeechRecognizer::tellDelegate(bool available) {
    std::weak_ptr<SFSpeechRecognizer> weak = weak_from_this();
    RunLoop::main().schedule(0, [weak, available] {
        auto self = weak.lock();
        if (!self) return;
        if (auto delegate = self->delegate_.lock())
            delegate->speechRecognizer_availabilityDidChange(*self, available);
    });
}

void SFSpeechRecognizer::availabilityMayHaveChanged() {
    std::vector<std::shared_ptr<SFSpeechRecognizer>> live;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        for (const auto& w : r.live)
            if (auto s = w.lock()) live.push_back(s);
    }
    for (const auto& recognizer : live) {
        const bool now = recognizer->isAvailable();
        if (now == recognizer->reportedAvailable_) continue;
        recognizer->reportedAvailable_ = now;
        if (!now) recognizer->toldUnavailable_ = true;
        recognizer->tellDelegate(now);
    }
}

std::shared_ptr<SFSpeechRecognitionTask> SFSpeechRecognizer::recognitionTaskWithRequest_resultHandler(
    const std::shared_ptr<SFSpeechAudioBufferRecognitionRequest>& request,
    SFSpeechRecognitionResultHandler handler) {
    return startTask(request, std::move(handler), {}, false);
}

std::shared_ptr<SFSpeechRecognitionTask> SFSpeechRecognizer::recognitionTaskWithRequest_delegate(
    const std::shared_ptr<SFSpeechAudioBufferRecognitionRequest>& request,
    std::weak_ptr<SFSpeechRecognitionTaskDelegate> delegate) {
    return startTask(request, {}, std::move(delegate), true);
}

std::shared_ptr<SFSpeechRecognitionTask>
SFSpeechRecognizer::startTask(const std::shared_ptr<SFSpeechAudioBufferRecognitionRequest>& request,
                              SFSpeechRecognitionResultHandler handler,
                              std::weak_ptr<SFSpeechRecognitionTaskDelegate> delegate, bool hasDelegate) {
    auto task = std::make_shared<SFSpeechRecognitionTask>(
        request ? request : std::make_shared<SFSpeechAudioBufferRecognitionRequest>(), std::move(handler),
        std::move(delegate), hasDelegate);
    if (authorizationStatus() != SFSpeechRecognizerAuthorizationStatus::authorized) {
        task->failAfter(
            0, speechError(SFSpeechErrorCodeUnavailable, "Speech recognition has not been authorized"));
        return task;
    }
    std::unique_ptr<SpeechEngine> engine = isAvailable() ? makeSpeechEngine(locale_) : nullptr;
    if (!engine && unavailableReason()) {
        // Found just now, loading for this task: every recognizer of the engine has lost it.
        availabilityMayHaveChanged();
        task->failAfter(kUnavailableTaskDelay,
                        speechError(SFSpeechErrorCodeEngineFailed, *unavailableReason()));
        return task;
    }
    if (!engine) {
        // No engine: end after a second of clock time, so a restart loop on this locale cannot spin.
        task->failAfter(
            kUnavailableTaskDelay,
            speechError(SFSpeechErrorCodeUnavailable, "Speech recognition is not available for " + locale_));
        return task;
    }
    SpeechEngineConfiguration configuration = defaults_;
    configuration.reportPartialResults = request ? request->shouldReportPartialResults() : true;
    if (request) configuration.contextualStrings = request->contextualStrings();
    task->begin(std::move(engine), configuration);
    return task;
}

} // namespace platform
