#pragma once
// A recognition request: the audio of a capture from a position on. A request made alone has a
// capture of its own that appendAudioPCMBuffer fills (from any thread, never waiting on
// recognition); a dictation run hands one capture to a request per task, each continuing where
// the task before stopped hearing.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/avfaudio/AudioCapture.h"

namespace platform {

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
    SFSpeechAudioBufferRecognitionRequest();
    SFSpeechAudioBufferRecognitionRequest(std::shared_ptr<AudioCapture> capture, std::int64_t position);

    // Any thread: more audio into the capture. Dropped after endAudio.
    void appendAudioPCMBuffer(const AVAudioPCMBufferRef& buffer);
    // No more audio: the capture ends here. The task ends where it would have without it (an
    // utterance's end, a long silence) or here, whichever comes first, with every word it heard;
    // a dictation run's next task hears on from there, up to the stop.
    void endAudio();
    bool hasEndedAudio() const;
    // The format recognition works in; any other is converted.
    AVAudioFormat nativeAudioFormat() const { return {16000, 1}; }

    const std::shared_ptr<AudioCapture>& capture() const { return capture_; }
    std::int64_t startPosition() const { return start_; }
    // Where the task stopped hearing (the start while no task has heard anything).
    std::int64_t endPosition() const;

    // Used by the task: its reader of the capture (null when the request already served a task),
    // and the end of its listening.
    std::shared_ptr<AudioCapture::Reader> attach();
    void detach();

private:
    std::shared_ptr<AudioCapture> capture_;
    std::int64_t start_ = 0;
    std::shared_ptr<AudioCapture::Reader> reader_;
    bool used_ = false;
};

} // namespace platform
