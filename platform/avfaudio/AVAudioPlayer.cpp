#include "platform/avfaudio/AVAudioPlayer.h"

#include <mutex>
#include <vector>

#include <alsa/asoundlib.h>
#include <sndfile.h>

#include "platform/avfaudio/AVAudioInputSource.h"
#include "platform/foundation/Sandbox.h"

namespace platform {

namespace {
constexpr const char* kDefaultOutput = "default";

struct OutputLog {
    std::mutex mutex;
    std::vector<std::filesystem::path> played;
    std::string device = kDefaultOutput;
    OutputLog() {
        registerSharedInstanceReset([this] {
            std::lock_guard lock(mutex);
            played.clear();
            device = kDefaultOutput;
        });
    }
};
OutputLog& outputLog() {
    static OutputLog log;
    return log;
}
// ALSA prints its own complaints on stderr; a missing device is an ordinary silent case here.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

struct PcmCloser {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using Pcm = std::unique_ptr<snd_pcm_t, PcmCloser>;

struct SoundFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

// The output device set up for the file's rate and channels, or none.
Pcm openOutput(const std::string& device, const SF_INFO& info) {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(&quietAlsa); });
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, 0) < 0 || !pcm) return nullptr;
    Pcm owned(pcm);
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_FLOAT_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                           static_cast<unsigned>(info.channels), static_cast<unsigned>(info.samplerate), 1,
                           100000) < 0)
        return nullptr;
    return owned;
}

// The output thread: the file in blocks of 1024 frames until its end or a stop.
void writeToOutput(std::stop_token stop, Pcm pcm, std::unique_ptr<SNDFILE, SoundFileCloser> file,
                   int channels) {
    std::vector<float> block(1024 * static_cast<std::size_t>(channels));
    while (!stop.stop_requested()) {
        sf_count_t frames = sf_readf_float(file.get(), block.data(), 1024);
        if (frames <= 0) break;
        sf_count_t written = 0;
        while (written < frames && !stop.stop_requested()) {
            auto n = snd_pcm_writei(pcm.get(), block.data() + written * channels,
                                    static_cast<snd_pcm_uframes_t>(frames - written));
            if (n < 0) {
                if (snd_pcm_recover(pcm.get(), static_cast<int>(n), 1) < 0) return;
                continue;
            }
            written += n;
        }
    }
    if (stop.stop_requested())
        snd_pcm_drop(pcm.get());
    else
        snd_pcm_drain(pcm.get());
}

} // namespace

void AVAudioPlayer::setOutputDevice(std::string device) {
    auto& log = outputLog();
    std::lock_guard lock(log.mutex);
    log.device = std::move(device);
}

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
    output_ = {}; // stops and joins
}

bool AVAudioPlayer::prepareToPlay() {
    prepared_ = true;
    return true;
}

bool AVAudioPlayer::play() {
    prepared_ = true;
    if (playing_) return true;
    playing_ = true;
    std::string device;
    {
        auto& log = outputLog();
        std::lock_guard lock(log.mutex);
        log.played.push_back(url_);
        device = log.device;
    }
    output_ = {};
    throughOutput_ = false;
    if (!RunLoop::main().isVirtual()) {
        SF_INFO info{};
        std::unique_ptr<SNDFILE, SoundFileCloser> file(sf_open(url_.c_str(), SFM_READ, &info));
        if (file && info.channels > 0) {
            if (auto pcm = openOutput(device, info)) {
                throughOutput_ = true;
                output_ = std::jthread(writeToOutput, std::move(pcm), std::move(file), info.channels);
            }
        }
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
    output_ = {};
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
