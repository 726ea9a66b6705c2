#pragma once
// A recognition request fed with audio buffers. The tap appends from the audio thread while the
// main thread starts and ends the task, so appending is safe from any thread and never waits on
// recognition: buffers go straight to the task's engine queue (or wait here until a task starts).
// A task ends where its utterance ends, while the microphone goes on: what its engine had not
// reached, and what the tap still brings until it is removed, stays here as unheard audio for the
// request that continues from this one.

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/avfaudio/AVAudioPCMBuffer.h"

namespace platform {

class SpeechEngine;

class SFSpeechRecognitionRequest {
public:
    virtual ~SFSpeechRecognitionRequest() = default;

    bool shouldReportPartialResults() const { return reportPartials_; }
    void setShouldReportPartialResults(bool report) { reportPartials_ = report; }
    const std::vector<std::string>& contextualStrings() const { return contextualStrings_; }
    void setContextualStrings(std::vector<std::string> strings) { contextualStrings_ = std::move(strings); }

private:
    bool reportPartials_ = true;
    std::vector<std::string> contextualStrings_;
};

class SFSpeechAudioBufferRecognitionRequest : public SFSpeechRecognitionRequest {
public:
    // Any thread. Buffers after endAudio are dropped; after the task has ended they are kept as
    // unheard audio (its last 30 seconds at most).
    void appendAudioPCMBuffer(const AVAudioPCMBufferRef& buffer);
    // Main thread, before this request is given any audio of its own: it starts with the unheard
    // audio of `previous` (whose tap must be removed first), in order, and `previous` keeps none.
    void continueFrom(SFSpeechAudioBufferRecognitionRequest& previous);
    // No more audio: the task delivers one last result or error.
    void endAudio();
    bool hasEndedAudio() const;
    // The format recognition works in; any other is converted.
    AVAudioFormat nativeAudioFormat() const { return {16000, 1}; }

    // Used by the task: connects the engine (false when the request already served a task) and
    // disconnects it when the task is over, taking the audio the engine did not use.
    bool attach(std::shared_ptr<SpeechEngine> engine);
    void detach();

private:
    mutable std::mutex mutex_;
    std::shared_ptr<SpeechEngine> engine_;
    std::vector<AVAudioPCMBufferRef> pending_;
    std::deque<AVAudioPCMBufferRef> unheard_;
    double unheardSeconds_ = 0;
    bool ended_ = false;
    bool used_ = false;
    bool closed_ = false;
};

} // namespace platform
