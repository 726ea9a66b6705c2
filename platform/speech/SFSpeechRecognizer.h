#pragma once
// A speech recognizer for one locale. English locales are recognized by pocketsphinx; the scripted
// engine (ScriptedSpeech) serves whatever locales a test or script gives it, ahead of pocketsphinx.
// A recognizer for a locale that neither serves is still made, but is unavailable: it tells its
// delegate so (once, on the main run loop) and its tasks end with an error one second later.

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/speech/SFSpeechAudioBufferRecognitionRequest.h"
#include "platform/speech/SFSpeechRecognitionTask.h"

namespace platform {

enum class SFSpeechRecognizerAuthorizationStatus : long {
    notDetermined = 0,
    denied = 1,
    restricted = 2,
    authorized = 3
};

class SFSpeechRecognizer;

class SFSpeechRecognizerDelegate {
public:
    virtual ~SFSpeechRecognizerDelegate() = default;
    virtual void speechRecognizer_availabilityDidChange(SFSpeechRecognizer& recognizer, bool available) = 0;
};

class SFSpeechRecognizer : public std::enable_shared_from_this<SFSpeechRecognizer> {
public:
    static std::shared_ptr<SFSpeechRecognizer> initWithLocale(const std::string& localeIdentifier);
    static std::set<std::string> supportedLocales();

    // Authorized unless a test or the program says otherwise. The handler runs on a background
    // thread, never inside this call; a status not yet decided becomes the user's answer first.
    static SFSpeechRecognizerAuthorizationStatus authorizationStatus();
    static void requestAuthorization(std::function<void(SFSpeechRecognizerAuthorizationStatus)> handler);
    static void setAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus status);
    static void setAuthorizationAnswer(SFSpeechRecognizerAuthorizationStatus answer);

    const std::string& localeIdentifier() const { return locale_; }
    bool isAvailable() const;
    // Why the engine for this locale cannot be used here at all (a library it needs is missing),
    // once a load has found it; none otherwise, a locale that no engine serves included.
    std::optional<std::string> unavailableReason() const;
    // The library whose want is that reason (its soname).
    std::optional<std::string> missingLibrary() const;
    // When models load (the English one once per process, in about half a second). By default a
    // task loads its model as it starts, before it takes any audio, so that nothing which never
    // records pays for one (scripts, tests). A window loads it ahead, in the background, so that
    // the first phrase shows as fast as the others: `held` asks for that but puts the loading off
    // until `ahead` is chosen, so that the first frame does not share the machine with it.
    enum class ModelLoading { whenTaskStarts, held, ahead };
    static void setModelLoading(ModelLoading loading);

    // Whether a task may be started now without waiting for a model being loaded ahead: always
    // when models load as tasks start.
    bool isPrepared() const;
    // Loads what this locale's tasks need on a background thread; `ready` then runs on the main
    // run loop (on its next turn when nothing needs loading, once loading is no longer held).
    void prepare(std::function<void()> ready);

    void setDelegate(std::weak_ptr<SFSpeechRecognizerDelegate> delegate);
    std::shared_ptr<SFSpeechRecognizerDelegate> delegate() const { return delegate_.lock(); }

    // The limits the tasks of this recognizer end by (no speech, longest task), in seconds of audio.
    SpeechEngineConfiguration& engineDefaults() { return defaults_; }

    std::shared_ptr<SFSpeechRecognitionTask> recognitionTaskWithRequest_resultHandler(
        const std::shared_ptr<SFSpeechAudioBufferRecognitionRequest>& request,
        SFSpeechRecognitionResultHandler handler);
    std::shared_ptr<SFSpeechRecognitionTask>
    recognitionTaskWithRequest_delegate(const std::shared_ptr<SFSpeechAudioBufferRecognitionRequest>& request,
                                        std::weak_ptr<SFSpeechRecognitionTaskDelegate> delegate);

    // Every live recognizer whose availability changed tells its delegate (on the run loop).
    static void availabilityMayHaveChanged();

    explicit SFSpeechRecognizer(std::string locale);

private:
    std::shared_ptr<SFSpeechRecognitionTask>
    startTask(const std::shared_ptr<SFSpeechAudioBufferRecognitionRequest>& request,
              SFSpeechRecognitionResultHandler handler,
              std::weak_ptr<SFSpeechRecognitionTaskDelegate> delegate, bool hasDelegate);
    void tellDelegate(bool available);

    std::string locale_;
    std::weak_ptr<SFSpeechRecognizerDelegate> delegate_;
    bool reportedAvailable_ = true;
    bool toldUnavailable_ = false;
    SpeechEngineConfiguration defaults_;
};

} // namespace platform
