#include "platform/speech/PocketsphinxEngine.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include <pocketsphinx.h>
#include <samplerate.h>

#include "platform/foundation/RunLoop.h"
#include "platform/speech/SpokenPunctuation.h"

namespace platform {

namespace {

constexpr double kDecoderRate = 16000.0;
constexpr double kFramesPerSecond = 100.0; // the model's feature rate

std::filesystem::path modelDirectory() {
#ifdef POCKETSPHINX_MODELDIR
    return POCKETSPHINX_MODELDIR;
#else
    return "/usr/share/pocketsphinx/model";
#endif
}

struct DecoderFree {
    void operator()(ps_decoder_t* ps) const { ps_free(ps); }
};
using Decoder = std::unique_ptr<ps_decoder_t, DecoderFree>;

// Loaded decoders, lent to one task at a time. A cache, not state: every task starts a fresh
// utterance, so nothing a task does is seen by the next.
class DecoderPool {
public:
    static DecoderPool& shared() {
        // Never destroyed: a worker may hand its decoder back while the program exits.
        static auto& pool = *new DecoderPool;
        return pool;
    }

    Decoder acquire() {
        {
            std::lock_guard lock(mutex_);
            if (!idle_.empty()) {
                Decoder d = std::move(idle_.back());
                idle_.pop_back();
                return d;
            }
        }
        return load();
    }

    void release(Decoder decoder) {
        std::lock_guard lock(mutex_);
        if (idle_.size() < 2) idle_.push_back(std::move(decoder));
    }

private:
    static Decoder load() {
        const auto dir = modelDirectory() / "en-us";
        const std::string hmm = (dir / "en-us").string(), lm = (dir / "en-us.lm.bin").string(),
                          dict = (dir / "cmudict-en-us.dict").string();
        cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.c_str(), "-lm", lm.c_str(),
                                       "-dict", dict.c_str(), "-logfn", "/dev/null", nullptr);
        if (!config) return nullptr;
        Decoder ps(ps_init(config));
        cmd_ln_free_r(config); // the decoder keeps its own reference
        if (!ps) return nullptr;
        for (const auto& [word, phones] : PocketsphinxEngine::addedWords())
            ps_add_word(ps.get(), word.c_str(), phones.c_str(), TRUE);
        return ps;
    }

    std::mutex mutex_;
    std::vector<Decoder> idle_;
};

bool isFiller(const char* word) {
    return !word || !*word || word[0] == '<' || word[0] == '[' || word[0] == '+';
}

std::string plainWord(const char* word) {
    std::string w = word;
    if (auto paren = w.find('('); paren != std::string::npos)
        w.erase(paren); // alternate pronunciations "the(2)"
    return w;
}

// The current hypothesis as timed words on the task's audio clock. A reused decoder does not
// number its frames from 0 in each utterance; the first segment (the utterance's opening
// silence) starts at the utterance's first frame, which was heard at `utteranceAt`.
std::vector<SFTranscriptionSegment> hypothesisWords(ps_decoder_t* ps, double utteranceAt, bool rated) {
    std::vector<SFTranscriptionSegment> words;
    double offset = utteranceAt;
    bool first = true;
    logmath_t* lmath = ps_get_logmath(ps);
    for (ps_seg_t* seg = ps_seg_iter(ps); seg; seg = ps_seg_next(seg)) {
        const char* word = ps_seg_word(seg);
        int sf = 0, ef = 0;
        ps_seg_frames(seg, &sf, &ef);
        if (first) offset = utteranceAt - sf / kFramesPerSecond;
        first = false;
        if (isFiller(word)) continue;
        int32 ascr = 0, lscr = 0, lback = 0;
        const int32 prob = ps_seg_prob(seg, &ascr, &lscr, &lback);
        const float confidence =
            rated ? static_cast<float>(std::clamp(logmath_exp(lmath, prob), 0.0, 1.0)) : 0.0f;
        words.emplace_back(plainWord(word), offset + sf / kFramesPerSecond, (ef - sf + 1) / kFramesPerSecond,
                           confidence);
    }
    if (words.empty()) {
        // Some searches give no segmentation mid-utterance: fall back to the words of the text.
        const char* hyp = ps_get_hyp(ps, nullptr);
        if (hyp && *hyp) {
            auto t = SFTranscription::verbatim(hyp, 0, 0);
            for (const auto& s : t.segments())
                words.emplace_back(s.substring(), offset, 0, 0);
        }
    }
    return words;
}

struct ResamplerFree {
    void operator()(SRC_STATE* s) const { src_delete(s); }
};

} // namespace

const std::vector<std::pair<std::string, std::string>>& PocketsphinxEngine::addedWords() {
    // Never destroyed: a decoder may still be loading on a worker while the program exits.
    static const auto& words = *new const std::vector<std::pair<std::string, std::string>>{
        {"pushpin", "P UH SH P IH N"},
        {"paperclip", "P EY P ER K L IH P"},
        {"checkmark", "CH EH K M AA R K"},
        {"redcircle", "R EH D S ER K AH L"},
        {"bluecircle", "B L UW S ER K AH L"},
        {"blackcircle", "B L AE K S ER K AH L"},
        {"semicolon", "S EH M IY K OW L AH N"},
        // in the dictionary already, kept so that the list says which words the screens rely on
        {"textbook", "T EH K S T B UH K"},
        {"clipboard", "K L IH P B AO R D"},
        {"bookmark", "B UH K M AA R K"},
        {"hashtag", "HH AE SH T AE G"},
    };
    return words;
}

bool PocketsphinxEngine::servesLocale(const std::string& locale) {
    const bool english = locale == "en" || (locale.size() > 3 && locale.compare(0, 2, "en") == 0 &&
                                            (locale[2] == '-' || locale[2] == '_'));
    if (!english) return false;
    static const bool installed = std::filesystem::exists(modelDirectory() / "en-us" / "en-us.lm.bin");
    return installed;
}

void PocketsphinxEngine::preload() {
    if (auto d = DecoderPool::shared().acquire()) DecoderPool::shared().release(std::move(d));
}

PocketsphinxEngine::PocketsphinxEngine() = default;

PocketsphinxEngine::~PocketsphinxEngine() {
    cancel();
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
    // Queued items that the worker never took still hold the run loop's attention.
    for (std::size_t i = 0; i < queue_.size(); ++i)
        RunLoop::main().endExternalWork();
}

void PocketsphinxEngine::start(const SpeechEngineConfiguration& configuration,
                               SpeechEngineCallbacks callbacks) {
    SpeechEngine::start(configuration, std::move(callbacks));
    worker_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

void PocketsphinxEngine::append(const AVAudioPCMBufferRef& buffer) {
    if (!buffer || hasFinished()) return;
    {
        std::lock_guard lock(mutex_);
        if (ended_ || cancelled_) return;
        RunLoop::main().beginExternalWork();
        queue_.push_back({buffer});
    }
    wake_.notify_one();
}

void PocketsphinxEngine::endAudio() {
    {
        std::lock_guard lock(mutex_);
        if (ended_ || cancelled_) return;
        ended_ = true;
        RunLoop::main().beginExternalWork();
        queue_.push_back({nullptr});
    }
    wake_.notify_one();
}

void PocketsphinxEngine::cancel() {
    SpeechEngine::cancel();
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    wake_.notify_one();
}

void PocketsphinxEngine::run(std::stop_token stop) {
    Decoder ps = DecoderPool::shared().acquire();
    if (!ps) {
        postError(speechError(SFSpeechErrorCodeEngineFailed, "The speech model could not be loaded"));
    } else {
        ps_start_utt(ps.get());
    }
    std::unique_ptr<SRC_STATE, ResamplerFree> resampler;
    double resamplerRate = 0;
    std::vector<float> resampled;
    std::vector<int16> pcm;
    double heard = 0;       // seconds of audio decoded
    double utteranceAt = 0; // where the current utterance began
    bool inSpeech = false;
    bool inUtterance = ps != nullptr;
    std::string lastPartial;
    bool heardWords = false;

    auto finishUtterance = [&]() -> std::vector<SFTranscriptionSegment> {
        ps_end_utt(ps.get());
        inUtterance = false;
        return hypothesisWords(ps.get(), utteranceAt, true);
    };

    while (true) {
        Item item;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, stop, [&] { return cancelled_ || !queue_.empty(); });
            if (queue_.empty()) break; // cancelled or stopping with nothing left
            item = std::move(queue_.front());
            queue_.pop_front();
        }
        const bool dropping = !ps || hasFinished() || [&] {
            std::lock_guard lock(mutex_);
            return cancelled_;
        }();
        if (!dropping && !item.buffer) {
            auto words = finishUtterance();
            if (words.empty())
                postError(speechError(SFSpeechErrorCodeNoSpeech, "No speech detected"));
            else
                postFinal(SFTranscription::joining(formatSpokenCommands(words)));
        } else if (!dropping) {
            const AVAudioPCMBuffer& buffer = *item.buffer;
            std::vector<float> mono = buffer.monoSamples();
            const double rate = buffer.format().sampleRate();
            const float* samples = mono.data();
            std::size_t count = mono.size();
            if (rate != kDecoderRate && rate > 0) {
                if (!resampler || resamplerRate != rate) {
                    int err = 0;
                    resampler.reset(src_new(SRC_SINC_FASTEST, 1, &err));
                    resamplerRate = rate;
                }
                resampled.resize(static_cast<std::size_t>(std::ceil(count * kDecoderRate / rate)) + 64);
                SRC_DATA data{};
                data.data_in = mono.data();
                data.input_frames = static_cast<long>(count);
                data.data_out = resampled.data();
                data.output_frames = static_cast<long>(resampled.size());
                data.src_ratio = kDecoderRate / rate;
                if (resampler && src_process(resampler.get(), &data) == 0) {
                    samples = resampled.data();
                    count = static_cast<std::size_t>(data.output_frames_gen);
                } else {
                    count = 0;
                }
            }
            pcm.resize(count);
            for (std::size_t i = 0; i < count; ++i)
                pcm[i] = static_cast<int16>(std::lround(std::clamp(samples[i], -1.0f, 1.0f) * 32767.0f));
            if (!inUtterance) {
                ps_start_utt(ps.get());
                inUtterance = true;
                utteranceAt = heard;
            }
            ps_process_raw(ps.get(), pcm.data(), pcm.size(), FALSE, FALSE);
            heard += buffer.duration();
            const bool nowInSpeech = ps_get_in_speech(ps.get()) != 0;
            const char* hyp = ps_get_hyp(ps.get(), nullptr);
            if (hyp && *hyp) heardWords = true;
            if (configuration().reportPartialResults) {
                if (hyp && *hyp && lastPartial != hyp) {
                    lastPartial = hyp;
                    auto words = hypothesisWords(ps.get(), utteranceAt, false);
                    if (!words.empty()) postPartial(SFTranscription::joining(formatSpokenCommands(words)));
                }
            }
            if (inSpeech && !nowInSpeech) {
                auto words = finishUtterance();
                if (!words.empty()) postFinal(SFTranscription::joining(formatSpokenCommands(words)));
                // A burst of noise with no words: keep listening.
            } else if (heard >= configuration().maximumDuration) {
                auto words = finishUtterance();
                if (words.empty())
                    postError(speechError(SFSpeechErrorCodeNoSpeech, "No speech detected"));
                else
                    postFinal(SFTranscription::joining(formatSpokenCommands(words)));
            } else if (!nowInSpeech && !heardWords && heard >= configuration().noSpeechTimeout) {
                postError(speechError(SFSpeechErrorCodeNoSpeech, "No speech detected"));
            }
            inSpeech = nowInSpeech;
        }
        // Results of this item are on the run loop before it stops waiting for us.
        RunLoop::main().endExternalWork();
    }
    if (ps) {
        if (inUtterance) ps_end_utt(ps.get());
        DecoderPool::shared().release(std::move(ps));
    }
}

} // namespace platform
