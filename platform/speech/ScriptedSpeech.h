#pragma once
// The scripted recognizer: a process-wide controller through which tests and scripts play the
// part of the recognition service. For the locales it serves, every task gets a scripted engine;
// partial(), final() and fail() speak for the task started last that has not ended. The engine
// keeps the same limits as the real one, counted on the audio it is given: no scripted text
// within 10 s of audio ends the task with "No speech detected", 60 s ends it with a final result
// of the last text, and endAudio ends it with that text (or "No speech detected").
//
// Texts are delivered exactly as given, so a test states what the recognizer wrote; with
// setFormatsSpokenCommands(true) they go through the recognizer's punctuation writer first
// ("hello comma world" becomes "Hello, world"); the setting applies to tasks started after it.

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/speech/SpeechEngine.h"

namespace platform {

class ScriptedSpeechEngine;

class ScriptedSpeech {
public:
    static ScriptedSpeech& shared();

    // Locales served by the scripted engine, ahead of pocketsphinx; "*" serves every locale.
    void setScriptedLocales(const std::vector<std::string>& locales);
    bool servesLocale(const std::string& locale) const;
    std::vector<std::string> scriptedLocales() const;

    // Takes a locale's service away or gives it back (network loss); recognizers of that locale
    // tell their delegates on the main run loop. "*" applies to every locale.
    void setLocaleAvailable(const std::string& locale, bool available);
    bool isLocaleAvailable(const std::string& locale) const;

    void setFormatsSpokenCommands(bool formats);
    // The next task started waits that long for its model before it takes any audio, as the first
    // task with real recognition does while the model loads (the clock moves on meanwhile).
    void setModelLoadSeconds(double seconds);

    // Spoken for the current task; false when there is none.
    bool partial(const std::string& text);
    bool final(const std::string& text);
    bool fail(const std::string& message);

    bool hasCurrentTask() const;
    int tasksStarted() const;
    // Of the current task: seconds of audio it has been given, its request's contextual strings,
    // and whether its audio has ended.
    double audioSecondsHeard() const;
    std::vector<std::string> contextualStrings() const;
    bool audioEnded() const;

    std::unique_ptr<SpeechEngine> makeEngine();

private:
    friend class ScriptedSpeechEngine;
    ScriptedSpeech();
    void reset();
    static SFTranscription transcribe(const std::string& text, bool final, bool formats);
    ScriptedSpeechEngine* currentEngine() const;

    mutable std::mutex mutex_;
    std::set<std::string> locales_;
    std::set<std::string> unavailable_;
    bool allUnavailable_ = false;
    bool formats_ = false;
    double modelLoadSeconds_ = 0;
    ScriptedSpeechEngine* current_ = nullptr;
    int started_ = 0;
};

} // namespace platform
