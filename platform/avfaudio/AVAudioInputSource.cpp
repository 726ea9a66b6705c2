#include "platform/avfaudio/AVAudioInputSource.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <sys/stat.h>

#include <alsa/asoundlib.h>
#include <sndfile.h>

#include "platform/avfaudio/AVAudioSession.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/Sandbox.h"

namespace platform {

namespace {
// What recognition can resample from (it wants 16 kHz) with buffers of a sane size.
constexpr int kMinFileSampleRate = 1000;
constexpr int kMaxFileSampleRate = 768000;
constexpr int kMaxFileChannels = 32;

class SilenceInput final : public AVAudioInputSource {
public:
    SilenceInput(double rate, std::uint32_t channels) : format_(rate, channels) {}
    std::string name() const override { return "silence"; }
    AVAudioFormat format() const override { return format_; }
    std::optional<NSError> open() override { return std::nullopt; }
    bool read(AVAudioPCMBuffer& buffer) override {
        for (std::uint32_t c = 0; c < buffer.format().channelCount(); ++c)
            std::fill_n(buffer.floatChannelData(c), buffer.frameCapacity(), 0.0f);
        buffer.setFrameLength(buffer.frameCapacity());
        return true;
    }
    void close() override {}

private:
    AVAudioFormat format_;
};

struct SndfileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};

class FileInput final : public AVAudioFileInput {
public:
    FileInput(std::filesystem::path path, SNDFILE* file, const SF_INFO& info)
        : path_(std::move(path)), file_(file), info_(info),
          format_(static_cast<double>(info.samplerate), static_cast<std::uint32_t>(info.channels)) {}

    std::string name() const override { return path_.string(); }
    AVAudioFormat format() const override { return format_; }
    std::optional<NSError> open() override { return std::nullopt; }
    void close() override {}

    bool read(AVAudioPCMBuffer& buffer) override {
        std::lock_guard lock(mutex_);
        const std::uint32_t channels = format_.channelCount();
        const std::uint32_t frames = buffer.frameCapacity();
        interleaved_.assign(static_cast<std::size_t>(frames) * channels, 0.0f);
        sf_count_t got = 0;
        if (!ended_) {
            got = sf_readf_float(file_.get(), interleaved_.data(), frames);
            if (got < 0) got = 0;
            position_ += got;
            if (static_cast<std::uint32_t>(got) < frames) ended_ = true;
        }
        for (std::uint32_t c = 0; c < channels; ++c) {
            float* out = buffer.floatChannelData(c);
            for (std::uint32_t i = 0; i < frames; ++i)
                out[i] = interleaved_[static_cast<std::size_t>(i) * channels + c];
        }
        buffer.setFrameLength(frames);
        return true;
    }

    bool atEnd() const override {
        std::lock_guard lock(mutex_);
        return ended_ || position_ >= info_.frames;
    }
    double positionSeconds() const override {
        std::lock_guard lock(mutex_);
        return static_cast<double>(position_) / format_.sampleRate();
    }
    double durationSeconds() const override {
        return static_cast<double>(info_.frames) / format_.sampleRate();
    }

private:
    std::filesystem::path path_;
    std::unique_ptr<SNDFILE, SndfileCloser> file_;
    SF_INFO info_;
    AVAudioFormat format_;
    mutable std::mutex mutex_;
    std::vector<float> interleaved_;
    sf_count_t position_ = 0;
    bool ended_ = false;
};

// ALSA prints its own complaints on stderr; our callers get a clean error value instead.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

struct PcmCloser {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};

class CaptureDeviceInput final : public AVAudioInputSource {
public:
    CaptureDeviceInput(std::string device, double rate) : device_(std::move(device)), format_(rate, 1) {
        static std::once_flag once;
        std::call_once(once, [] { snd_lib_error_set_handler(&quietAlsa); });
    }
    std::string name() const override { return "capture device " + device_; }
    AVAudioFormat format() const override { return format_; }
    bool isLive() const override { return true; }

    std::optional<NSError> open() override {
        if (pcm_) return std::nullopt;
        snd_pcm_t* pcm = nullptr;
        if (snd_pcm_open(&pcm, device_.c_str(), SND_PCM_STREAM_CAPTURE, 0) < 0 || !pcm)
            return NSError{AVFAudioErrorDomain, -10851, "no input device"};
        std::unique_ptr<snd_pcm_t, PcmCloser> owned(pcm);
        if (!setCaptureParameters(pcm))
            return NSError{AVFAudioErrorDomain, -10868, "the input device refused the capture format"};
        pcm_ = std::move(owned);
        return std::nullopt;
    }

    bool read(AVAudioPCMBuffer& buffer) override {
        float* out = buffer.floatChannelData(0);
        snd_pcm_uframes_t done = 0;
        while (done < buffer.frameCapacity()) {
            snd_pcm_sframes_t got = snd_pcm_readi(pcm_.get(), out + done, buffer.frameCapacity() - done);
            if (got < 0) {
                if (snd_pcm_recover(pcm_.get(), static_cast<int>(got), 1) < 0) return false;
                continue;
            }
            done += static_cast<snd_pcm_uframes_t>(got);
        }
        buffer.setFrameLength(buffer.frameCapacity());
        return true;
    }
    void close() override { pcm_.reset(); }

private:
    // The device wakes its reader every 10 ms, as often as the tap takes a buffer, so that speech
    // is not held back in bursts (ALSA's default period here was 25 ms); it holds 200 ms, so that a
    // reader late on a busy machine loses nothing.
    bool setCaptureParameters(snd_pcm_t* pcm) const {
        snd_pcm_hw_params_t* hw = nullptr;
        snd_pcm_hw_params_alloca(&hw);
        unsigned bufferTime = 200000, periodTime = 10000;
        return snd_pcm_hw_params_any(pcm, hw) >= 0 && snd_pcm_hw_params_set_rate_resample(pcm, hw, 1) >= 0 &&
               snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) >= 0 &&
               snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_FLOAT_LE) >= 0 &&
               snd_pcm_hw_params_set_channels(pcm, hw, 1) >= 0 &&
               snd_pcm_hw_params_set_rate(pcm, hw, static_cast<unsigned>(format_.sampleRate()), 0) >= 0 &&
               snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &bufferTime, nullptr) >= 0 &&
               snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodTime, nullptr) >= 0 &&
               snd_pcm_hw_params(pcm, hw) >= 0;
    }

    std::string device_;
    AVAudioFormat format_;
    std::unique_ptr<snd_pcm_t, PcmCloser> pcm_;
};

struct CurrentInput {
    std::mutex mutex;
    std::shared_ptr<AVAudioInputSource> source;
    CurrentInput() {
        registerSharedInstanceReset([this] {
            std::lock_guard lock(mutex);
            source.reset();
        });
    }
};

CurrentInput& currentInput() {
    static CurrentInput instance;
    return instance;
}

} // namespace

std::shared_ptr<AVAudioInputSource> AVAudioInputSource::current() {
    auto& c = currentInput();
    std::lock_guard lock(c.mutex);
    if (!c.source) c.source = captureDevice();
    return c.source;
}

void AVAudioInputSource::setCurrent(std::shared_ptr<AVAudioInputSource> source) {
    {
        auto& c = currentInput();
        std::lock_guard lock(c.mutex);
        c.source = std::move(source);
    }
    // What the new microphone gives may be heard where the last one's could not, or the reverse.
    NSNotificationCenter::defaultCenter().postNotificationName(AVAudioSessionRouteChangeNotification);
}

std::shared_ptr<AVAudioInputSource> AVAudioInputSource::file(const std::filesystem::path& path,
                                                             std::optional<NSError>* error) {
    auto refuse = [&](const std::string& why) -> std::shared_ptr<AVAudioInputSource> {
        if (error)
            *error = NSError{AVFAudioErrorDomain, 2003334207,
                             "The audio file \"" + path.string() + "\" could not be read: " + why};
        return nullptr;
    };
    // A pipe would block the opening for ever, a device never end.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return refuse(std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return refuse("it is not a regular file");
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f && (info.samplerate < kMinFileSampleRate || info.samplerate > kMaxFileSampleRate)) {
        sf_close(f);
        // Buffers are sized from the rate: a header's rate is checked before any is taken.
        return refuse("its sample rate of " + std::to_string(info.samplerate) + " Hz is outside " +
                      std::to_string(kMinFileSampleRate) + "-" + std::to_string(kMaxFileSampleRate) + " Hz");
    }
    if (f && (info.channels <= 0 || info.channels > kMaxFileChannels)) {
        sf_close(f);
        return refuse("it has " + std::to_string(info.channels) + " channels, more than " +
                      std::to_string(kMaxFileChannels));
    }
    if (!f || info.channels <= 0 || info.samplerate <= 0) {
        if (error)
            *error = NSError{AVFAudioErrorDomain, 2003334207,
                             "The audio file \"" + path.string() + "\" could not be read: " + sf_strerror(f)};
        if (f) sf_close(f);
        return nullptr;
    }
    return std::make_shared<FileInput>(path, f, info);
}

std::shared_ptr<AVAudioInputSource> AVAudioInputSource::silence(double sampleRate, std::uint32_t channels) {
    return std::make_shared<SilenceInput>(sampleRate, channels);
}

std::shared_ptr<AVAudioInputSource> AVAudioInputSource::captureDevice(const std::string& device,
                                                                      double sampleRate) {
    return std::make_shared<CaptureDeviceInput>(device, sampleRate);
}

} // namespace platform
