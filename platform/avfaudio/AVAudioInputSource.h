#pragma once
// Where the input node's audio comes from: a sound file, the ALSA capture device, or silence.
// One source is the process's microphone (chosen by the program, injected by tests); an engine
// takes it each time it starts, and a file source keeps its place across stops, so a recording
// is heard to its end over several recognition tasks.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/avfaudio/AVAudioPCMBuffer.h"
#include "platform/foundation/NSError.h"

namespace platform {

inline constexpr const char* AVFAudioErrorDomain = "AVFAudioErrorDomain";

class AVAudioInputSource {
public:
    virtual ~AVAudioInputSource() = default;

    virtual std::string name() const = 0;
    virtual AVAudioFormat format() const = 0;
    // Begins capture (main thread); an error when there is nothing to capture from.
    virtual std::optional<NSError> open() = 0;
    // Fills the buffer to its capacity with the next frames and sets its frame length. A live
    // device blocks until they are captured; a file or silence answers at once, and the engine
    // paces it by its clock. False when capture broke down.
    virtual bool read(AVAudioPCMBuffer& buffer) = 0;
    // Ends capture (main thread, after the last read has returned).
    virtual void close() = 0;
    virtual bool isLive() const { return false; }

    // The process's microphone: the ALSA capture device unless the program or a test chose another.
    static std::shared_ptr<AVAudioInputSource> current();
    // Main thread; posts AVAudioSessionRouteChangeNotification.
    static void setCurrent(std::shared_ptr<AVAudioInputSource> source);

    // A WAV, FLAC or other file libsndfile reads; silence follows its end. Null with `error` set
    // when the file cannot be read.
    static std::shared_ptr<AVAudioInputSource> file(const std::filesystem::path& path,
                                                    std::optional<NSError>* error = nullptr);
    static std::shared_ptr<AVAudioInputSource> silence(double sampleRate = 16000, std::uint32_t channels = 1);
    // An ALSA capture device; starting the engine on it fails with "no input device" when there is none.
    static std::shared_ptr<AVAudioInputSource> captureDevice(const std::string& device = "default",
                                                             double sampleRate = 48000);
};

// A file source's progress, for a driver that waits until a recording has been heard.
class AVAudioFileInput : public AVAudioInputSource {
public:
    virtual bool atEnd() const = 0;
    virtual double positionSeconds() const = 0;
    virtual double durationSeconds() const = 0;
};

} // namespace platform
