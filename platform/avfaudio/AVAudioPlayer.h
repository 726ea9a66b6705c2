#pragma once
// A player for short sounds such as the start and stop cues. A player reads its file (so a missing
// or unreadable one fails as it would) and plays for the file's duration on the main run loop;
// every play is recorded in the output log for tests and the program's transcript. On the real
// clock the sound also goes to ALSA's output device, on a thread of the player's own, when one
// opens; without one (and on the virtual clock) the recorded play is all there is, which is no
// error: a machine without speakers simply stays silent.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/foundation/RunLoop.h"

namespace platform {

inline const std::string AVFileTypeMPEGLayer3 = "public.mp3";
inline const std::string AVFileTypeWAVE = "com.microsoft.waveform-audio";

class AVAudioPlayer : public std::enable_shared_from_this<AVAudioPlayer> {
public:
    // Null, with `error` set, when the file is missing or holds no sound libsndfile can read. The
    // type hint is kept but the content decides, as the file's own header does.
    static std::shared_ptr<AVAudioPlayer> initWithContentsOfURL(const std::filesystem::path& url,
                                                                const std::string& fileTypeHint = "",
                                                                std::optional<NSError>* error = nullptr);

    bool prepareToPlay();
    bool play();
    void stop();
    bool isPlaying() const { return playing_; }
    // Whether the last play went to an output device, rather than only to the log.
    bool playsThroughOutput() const { return throughOutput_; }
    double duration() const { return duration_; }
    const std::filesystem::path& url() const { return url_; }

    // Every sound played since the process (or test) started, in order.
    static std::vector<std::filesystem::path> playedSounds();
    // The ALSA device that plays on the real clock ("default"); reset with the shared instances.
    static void setOutputDevice(std::string device);

    AVAudioPlayer(std::filesystem::path url, double duration) : url_(std::move(url)), duration_(duration) {}
    ~AVAudioPlayer();

private:
    std::filesystem::path url_;
    double duration_;
    bool prepared_ = false;
    bool playing_ = false;
    RunLoop::TaskId finish_ = 0;
    bool throughOutput_ = false;
    // Writes the file to the output device; stopped and joined by stop() and the destructor.
    std::jthread output_;
};

} // namespace platform
