#include "platform/speech/PocketsphinxEngine.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <utility>

#include <cmn.h>
#include <feat.h>
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
// utterance from the channel normalisation the model starts with (the decoder would otherwise
// carry it over from whatever it heard last), so the same audio gives the same words whichever
// decoder hears it and whatever was dictated before.
class DecoderPool {
public:
    static DecoderPool& shared() {
        // Never destroyed: a worker may hand its decoder back while the program exits.
        static auto& pool = *new DecoderPool;
        return pool;
    }

    Decoder acquire() {
        Decoder d;
        {
            std::lock_guard lock(mutex_);
            if (!idle_.empty()) {
                d = std::move(idle_.back());
                idle_.pop_back();
            }
        }
        if (!d) d = load();
        if (d) {
            std::lock_guard lock(mutex_);
            cmn_live_set(ps_get_feat(d.get())->cmn_struct, initialNormalisation_.data());
        }
        return d;
    }

    void release(Decoder decoder) {
        std::lock_guard lock(mutex_);
        if (idle_.size() < 2) idle_.push_back(std::move(decoder));
    }

    bool hasLoaded() const { return loaded_; }

private:
    Decoder load() {
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
        {
            std::lock_guard lock(mutex_);
            if (initialNormalisation_.empty()) {
                cmn_t* cmn = ps_get_feat(ps.get())->cmn_struct;
                initialNormalisation_.resize(static_cast<std::size_t>(cmn->veclen));
                cmn_live_get(cmn, initialNormalisation_.data());
            }
        }
        loaded_ = true;
        return ps;
    }

    std::mutex mutex_;
    std::vector<Decoder> idle_;
    std::vector<mfcc_t> initialNormalisation_;
    std::atomic<bool> loaded_{false};
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

// The frames of `buffer` from `from` on, in its own format.
AVAudioPCMBufferRef framesFrom(const AVAudioPCMBuffer& buffer, std::uint32_t from) {
    const std::uint32_t count = buffer.frameLength() > from ? buffer.frameLength() - from : 0;
    auto rest = std::make_shared<AVAudioPCMBuffer>(buffer.format(), count);
    for (std::uint32_t c = 0; c < buffer.format().channelCount(); ++c)
        std::copy_n(buffer.floatChannelData(c) + from, count, rest->floatChannelData(c));
    rest->setFrameLength(count);
    return rest;
}

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

bool PocketsphinxEngine::isLoaded() {
    return DecoderPool::shared().hasLoaded();
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
    if (!buffer) return;
    {
        std::lock_guard lock(mutex_);
        if (ended_ || cancelled_ || handedOver_) return;
        if (keepingUnheard_) {
            // The worker will not decode it: nothing for the run loop to wait for.
            unheard_.push_back(buffer);
            return;
        }
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
        if (keepingUnheard_) return;
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

std::vector<AVAudioPCMBufferRef> PocketsphinxEngine::takeUnheardAudio() {
    std::lock_guard lock(mutex_);
    handedOver_ = true;
    return std::exchange(unheard_, {});
}

void PocketsphinxEngine::keepUnheard(std::vector<AVAudioPCMBufferRef> rest) {
    std::lock_guard lock(mutex_);
    keepingUnheard_ = true;
    unheard_ = std::move(rest);
    for (auto& item : queue_) {
        if (item.buffer) unheard_.push_back(std::move(item.buffer));
        RunLoop::main().endExternalWork();
    }
    queue_.clear();
}

void PocketsphinxEngine::run(std::stop_token stop) {
    Decoder ps = DecoderPool::shared().acquire();
    if (!ps) {
        keepUnheard({});
        postError(speechError(SFSpeechErrorCodeEngineFailed, "The speech model could not be loaded"));
        return;
    }
    ps_start_utt(ps.get());
    std::unique_ptr<SRC_STATE, ResamplerFree> resampler;
    double resamplerRate = 0;
    std::vector<float> resampled;
    std::vector<int16> pcm;
    double heard = 0;       // seconds of audio decoded
    double utteranceAt = 0; // where the current utterance began
    bool inSpeech = false;
    bool inUtterance = true;
    std::string lastPartial;
    bool heardWords = false;
    // The last buffers decoded, at least kReplaySeconds of them: a task that ends for want of
    // speech may have heard the first moments of a phrase that the detector had not yet taken for
    // speech; the next task hears them again.
    constexpr double kReplaySeconds = 0.5;
    std::deque<AVAudioPCMBufferRef> recent;
    double recentSeconds = 0;

    // Once per utterance: a decoder asked again still gives the words it already gave.
    auto finishUtterance = [&]() -> std::vector<SFTranscriptionSegment> {
        if (!inUtterance) return {};
        ps_end_utt(ps.get());
        inUtterance = false;
        return hypothesisWords(ps.get(), utteranceAt, true);
    };
    // Once the audio has ended, every utterance up to its end belongs to this task: the person
    // stopped after saying them, though the decoder, behind the microphone, reaches them later.
    std::vector<SFTranscriptionSegment> earlier;
    auto audioHasEnded = [&] {
        std::lock_guard lock(mutex_);
        return ended_;
    };
    // What the task has heard, written out: each utterance is formatted alone, as a task of its
    // own would have been.
    auto written = [&](const std::vector<SFTranscriptionSegment>& words) {
        auto all = earlier;
        auto more = formatSpokenCommands(words);
        all.insert(all.end(), more.begin(), more.end());
        return all;
    };
    // After the end of the audio the final result is the next word from this task: whoever stopped
    // waits for all of it, and a partial would be taken for it.
    auto postPartialIfChanged = [&] {
        if (!configuration().reportPartialResults || audioHasEnded()) return;
        const char* hyp = ps_get_hyp(ps.get(), nullptr);
        if (hyp && *hyp && lastPartial != hyp) {
            lastPartial = hyp;
            auto words = written(hypothesisWords(ps.get(), utteranceAt, false));
            if (!words.empty()) postPartial(SFTranscription::joining(words));
        }
    };
    // Ends the task: the unheard audio is put aside and the decoder goes back to the pool before
    // the result is posted, so that the next task finds both.
    auto end = [&](std::vector<SFTranscriptionSegment> words, std::vector<AVAudioPCMBufferRef> rest) {
        keepUnheard(std::move(rest));
        DecoderPool::shared().release(std::move(ps));
        if (words.empty())
            postError(speechError(SFSpeechErrorCodeNoSpeech, "No speech detected"));
        else
            postFinal(SFTranscription::joining(words));
    };

    while (ps) {
        Item item;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, stop, [&] { return cancelled_ || !queue_.empty(); });
            if (cancelled_) {
                for (std::size_t i = 0; i < queue_.size(); ++i)
                    RunLoop::main().endExternalWork();
                queue_.clear();
            }
            if (queue_.empty()) break;
            item = std::move(queue_.front());
            queue_.pop_front();
        }
        if (!item.buffer) {
            end(written(finishUtterance()), {});
        } else {
            const AVAudioPCMBuffer& buffer = *item.buffer;
            const std::vector<float> mono = buffer.monoSamples();
            const double rate = buffer.format().sampleRate();
            const std::size_t slice = std::max<std::size_t>(1, static_cast<std::size_t>(rate / 100));
            bool ended = false;
            for (std::size_t at = 0; at < mono.size() && !ended; at += slice) {
                const std::size_t length = std::min(slice, mono.size() - at);
                const float* samples = mono.data() + at;
                std::size_t count = length;
                if (rate != kDecoderRate && rate > 0) {
                    if (!resampler || resamplerRate != rate) {
                        int err = 0;
                        resampler.reset(src_new(SRC_SINC_FASTEST, 1, &err));
                        resamplerRate = rate;
                    }
                    resampled.resize(static_cast<std::size_t>(std::ceil(length * kDecoderRate / rate)) + 64);
                    SRC_DATA data{};
                    data.data_in = samples;
                    data.input_frames = static_cast<long>(length);
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
                heard += static_cast<double>(length) / rate;
                const bool nowInSpeech = ps_get_in_speech(ps.get()) != 0;
                const bool speechEnded = inSpeech && !nowInSpeech;
                inSpeech = nowInSpeech;
                if (!speechEnded && heard < configuration().maximumDuration) continue;
                const bool stopping = audioHasEnded();
                const bool tooLong = !stopping && heard >= configuration().maximumDuration;
                if (!speechEnded && !tooLong) continue;
                postPartialIfChanged();
                auto words = finishUtterance();
                // A burst of noise with no words: keep listening; after the end of the audio, keep
                // the words and go on to the end.
                if (!tooLong && (words.empty() || stopping)) {
                    earlier = written(words);
                    continue;
                }
                const auto from = static_cast<std::uint32_t>(at + length);
                std::vector<AVAudioPCMBufferRef> rest;
                if (from < buffer.frameLength()) rest.push_back(framesFrom(buffer, from));
                end(written(words), std::move(rest));
                ended = true;
            }
            if (!ended) {
                const char* hyp = ps_get_hyp(ps.get(), nullptr);
                if (hyp && *hyp) heardWords = true;
                postPartialIfChanged();
                recent.push_back(item.buffer);
                recentSeconds += buffer.duration();
                while (recentSeconds - recent.front()->duration() >= kReplaySeconds) {
                    recentSeconds -= recent.front()->duration();
                    recent.pop_front();
                }
                if (!inSpeech && !heardWords && heard >= configuration().noSpeechTimeout &&
                    !audioHasEnded()) {
                    ps_end_utt(ps.get());
                    inUtterance = false;
                    keepUnheard({recent.begin(), recent.end()});
                    DecoderPool::shared().release(std::move(ps));
                    postError(speechError(SFSpeechErrorCodeNoSpeech, "No speech detected"));
                }
            }
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
