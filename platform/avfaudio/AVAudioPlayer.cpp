#include "platform/avfaudio/AVAudioPlayer.h"

#include <mutex>

#include <sndfile.h>

#include "platform/avfaudio/AVAudioInputSource.h"
#include "platform/foundation/Sandbox.h"

namespace platform {

namespace {
struct OutputLog {
    std::mutex mutex;
    std::vector<std::filesystem::path> played;
    OutputLog() {
        registerSharedInstanceReset([this] {
            std::lock_guard lock(mutex);
            played.clear();
        });
    }
};
OutputLog& outputLog() {
    static OutputLog log;
    return log;
}
} // namespace

std::shared_ptr<AVAudioPlayer> AVAudioPlayer::initWithContentsOfURL(const std::filesystem::path& url,
                                                                    const std::string&,
                                                                    std::optional<NSError>* error) {
    SF_INFO info{};
    SNDFILE* file = sf_open(url.c_str(), SFM_READ, &info);
    if (!file || info.samplerate <= 0) {
        if (error)
            *error = NSError{"NSOSStatusErrorDomain", 2003334207,
                             "The operation couldn’t be completed. (" + url.filename().string() + ": " +
                                 sf_strerror(file) + ")"};
        if (file) sf_close(file);
        return nullptr;
    }
    sf_close(file);
    const double duration = static_cast<double>(info.frames) / info.samplerate;
    return std::make_shared<AVAudioPlayer>(url, duration);
}

AVAudioPlayer::~AVAudioPlayer() {
    if (finish_) RunLoop::main().cancel(finish_);
}

bool AVAudioPlayer::prepareToPlay() {
    prepared_ = true;
    return true;
}

bool AVAudioPlayer::play() {
    prepared_ = true;
    if (playing_) return true;
    playing_ = true;
    {
        auto& log = outputLog();
        std::lock_guard lock(log.mutex);
        log.played.push_back(url_);
    }
    std::weak_ptr<AVAudioPlayer> weak = weak_from_this();
    finish_ = RunLoop::main().schedule(duration_, [weak] {
        if (auto self = weak.lock()) {
            self->finish_ = 0;
            self->playing_ = false;
        }
    });
    return true;
}

void AVAudioPlayer::stop() {
    if (finish_) RunLoop::main().cancel(finish_);
    finish_ = 0;
    playing_ = false;
}

std::vector<std::filesystem::path> AVAudioPlayer::playedSounds() {
    auto& log = outputLog();
    std::lock_guard lock(log.mutex);
    return log.played;
}

} // namespace platform
