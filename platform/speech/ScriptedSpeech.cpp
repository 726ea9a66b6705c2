#include "platform/speech/ScriptedSpeech.h"

#include <algorithm>
#include <utility>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/speech/SFSpeechRecognizer.h"
#include "platform/speech/SpokenPunctuation.h"

namespace platform {

class ScriptedSpeechEngine final : public SpeechEngine {
public:
    explicit ScriptedSpeechEngine(ScriptedSpeech& controller) : controller_(controller) {}

    ~ScriptedSpeechEngine() override {
        if (audio()) audio()->stopListening();
        std::lock_guard lock(controller_.mutex_);
        if (controller_.current_ == this) controller_.current_ = nullptr;
    }

    void start(const SpeechEngineConfiguration& configuration, SpeechEngineCallbacks callbacks,
               std::shared_ptr<AudioCapture::Reader> audio) override {
        SpeechEngine::start(configuration, std::move(callbacks), audio);
        {
            std::lock_guard lock(controller_.mutex_);
            controller_.current_ = this;
            ++controller_.started_;
            formats_ = controller_.formats_;
        }
        audio->listen([this] { hear(); });
        hear();
    }

    // The limits count on the audio as it arrives; its end ends the task with the last text. Once
    // the task has ended the engine reads no further: the rest is the next task's.
    void hear() {
        std::lock_guard lock(mutex_);
        if (hasFinished()) return;
        while (auto span = audio()->read()) {
            heard_ += span->seconds();
            if (heard_ >= configuration().maximumDuration) {
                finishWithLastText();
                return;
            }
            if (!heardText_ && heard_ >= configuration().noSpeechTimeout) {
                postError(speechError(SFSpeechErrorCodeNoSpeech, "No speech detected"));
                return;
            }
        }
        // Its task ends where it has read to: nothing before is heard again.
        audio()->release(audio()->position());
        if (audio()->atEnd()) finishWithLastText();
    }

    void speak(const std::string& text, bool isFinal) {
        std::lock_guard lock(mutex_);
        heardText_ = true;
        lastText_ = text;
        if (isFinal)
            postFinal(ScriptedSpeech::transcribe(text, true, formats_));
        else if (configuration().reportPartialResults)
            postPartial(ScriptedSpeech::transcribe(text, false, formats_));
    }

    void fail(const std::string& message) { postError(speechError(SFSpeechErrorCodeScripted, message)); }

    double heard() const {
        std::lock_guard lock(mutex_);
        return heard_;
    }
    bool ended() const { return audio()->stopPosition().has_value(); }
    std::vector<std::string> contextualStrings() const { return configuration().contextualStrings; }

private:
    void finishWithLastText() {
        if (lastText_.empty())
            postError(speechError(SFSpeechErrorCodeNoSpeech, "No speech detected"));
        else
            postFinal(ScriptedSpeech::transcribe(lastText_, true, formats_));
    }

    ScriptedSpeech& controller_;
    mutable std::mutex mutex_;
    double heard_ = 0;
    bool heardText_ = false;
    std::string lastText_;
    bool formats_ = false; // fixed when the task starts; never needs the controller's lock later
};

ScriptedSpeech::ScriptedSpeech() {
    registerSharedInstanceReset([this] { reset(); });
}

ScriptedSpeech& ScriptedSpeech::shared() {
    static ScriptedSpeech instance;
    return instance;
}

void ScriptedSpeech::reset() {
    std::lock_guard lock(mutex_);
    locales_.clear();
    unavailable_.clear();
    allUnavailable_ = false;
    formats_ = false;
    modelLoadSeconds_ = 0;
    current_ = nullptr;
    started_ = 0;
}

void ScriptedSpeech::setScriptedLocales(const std::vector<std::string>& locales) {
    std::lock_guard lock(mutex_);
    locales_ = {locales.begin(), locales.end()};
}

bool ScriptedSpeech::servesLocale(const std::string& locale) const {
    std::lock_guard lock(mutex_);
    return locales_.count("*") || locales_.count(locale);
}

std::vector<std::string> ScriptedSpeech::scriptedLocales() const {
    std::lock_guard lock(mutex_);
    return {locales_.begin(), locales_.end()};
}

void ScriptedSpeech::setLocaleAvailable(const std::string& locale, bool available) {
    {
        std::lock_guard lock(mutex_);
        if (locale == "*") {
            allUnavailable_ = !available;
            unavailable_.clear();
        } else if (available) {
            unavailable_.erase(locale);
        } else {
            unavailable_.insert(locale);
        }
    }
    SFSpeechRecognizer::availabilityMayHaveChanged();
}

bool ScriptedSpeech::isLocaleAvailable(const std::string& locale) const {
    std::lock_guard lock(mutex_);
    return !allUnavailable_ && !unavailable_.count(locale);
}

void ScriptedSpeech::setFormatsSpokenCommands(bool formats) {
    std::lock_guard lock(mutex_);
    formats_ = formats;
}

void ScriptedSpeech::setModelLoadSeconds(double seconds) {
    std::lock_guard lock(mutex_);
    modelLoadSeconds_ = seconds;
}

SFTranscription ScriptedSpeech::transcribe(const std::string& text, bool final, bool formats) {
    const float confidence = final ? 0.9f : 0.0f;
    auto plain = SFTranscription::verbatim(text, 0.3, confidence);
    if (!formats) return plain;
    return SFTranscription::joining(formatSpokenCommands(plain.segments()));
}

// Tasks start and end on the main thread, where these are called, so the engine found here stays
// alive for the call.
ScriptedSpeechEngine* ScriptedSpeech::currentEngine() const {
    std::lock_guard lock(mutex_);
    return current_ && !current_->hasFinished() ? current_ : nullptr;
}

bool ScriptedSpeech::partial(const std::string& text) {
    auto* engine = currentEngine();
    if (engine) engine->speak(text, false);
    return engine != nullptr;
}

bool ScriptedSpeech::final(const std::string& text) {
    auto* engine = currentEngine();
    if (engine) engine->speak(text, true);
    return engine != nullptr;
}

bool ScriptedSpeech::fail(const std::string& message) {
    auto* engine = currentEngine();
    if (engine) engine->fail(message);
    return engine != nullptr;
}

bool ScriptedSpeech::hasCurrentTask() const {
    std::lock_guard lock(mutex_);
    return current_ && !current_->hasFinished();
}

int ScriptedSpeech::tasksStarted() const {
    std::lock_guard lock(mutex_);
    return started_;
}

double ScriptedSpeech::audioSecondsHeard() const {
    std::lock_guard lock(mutex_);
    return current_ ? current_->heard() : 0;
}

std::vector<std::string> ScriptedSpeech::contextualStrings() const {
    std::lock_guard lock(mutex_);
    return current_ ? current_->contextualStrings() : std::vector<std::string>{};
}

bool ScriptedSpeech::audioEnded() const {
    std::lock_guard lock(mutex_);
    return current_ && current_->ended();
}

std::unique_ptr<SpeechEngine> ScriptedSpeech::makeEngine() {
    double loading = 0;
    {
        std::lock_guard lock(mutex_);
        loading = std::exchange(modelLoadSeconds_, 0);
    }
    RunLoop::main().spendTime(loading);
    return std::make_unique<ScriptedSpeechEngine>(*this);
}

} // namespace platform
