#pragma once
// A recognition request fed with audio buffers. The tap appends from the audio thread while the
// main thread starts and ends the task, so appending is safe from any thread and never waits on
// recognition: buffers go straight to the task's engine queue (or wait here until a task starts).

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
    // Any thread. Buffers after endAudio, or after the task has ended, are dropped.
    void appendAudioPCMBuffer(const AVAudioPCMBufferRef& buffer);
    // No more audio: the task delivers one last result or error.
    void endAudio();
    bool hasEndedAudio() const;
    // The format recognition works in; any other is converted.
    AVAudioFormat nativeAudioFormat() const { return {16000, 1}; }

    // Used by the task: connects the engine (false when the request already served a task) and
    // disconnects it when the task is over.
    bool attach(std::shared_ptr<SpeechEngine> engine);
    void detach();

private:
    mutable std::mutex mutex_;
    std::shared_ptr<SpeechEngine> engine_;
    std::vector<AVAudioPCMBufferRef> pending_;
    bool ended_ = false;
    bool used_ = false;
    bool closed_ = false;
};

} // namespace platform
