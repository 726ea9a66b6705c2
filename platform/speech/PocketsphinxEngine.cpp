#include "platform/speech/PocketsphinxEngine.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <filesystem>
#include <functional>
#include <string_view>
#include <utility>

#include <ckd_alloc.h>
#include <ngram_model.h>
// Through its own header only: ps_get_feat() gives the feature computation (sphinxbase's feat.h,
// which it includes), whose channel normalisation sphinxbase's cmn_live_get/cmn_live_set read and set.
#include <pocketsphinx.h>

#include "platform/foundation/FontLock.h"
#include "platform/foundation/LazyLibrary.h"
#include "platform/foundation/RunLoop.h"
#include "platform/speech/SpokenPunctuation.h"

// The engine is opened when the speech model is first loaded.
#define ps_add_word QUILLORA_LAZY("libpocketsphinx.so.3", ps_add_word)
#define ps_args QUILLORA_LAZY("libpocketsphinx.so.3", ps_args)
#define ps_end_utt QUILLORA_LAZY("libpocketsphinx.so.3", ps_end_utt)
#define ps_free QUILLORA_LAZY("libpocketsphinx.so.3", ps_free)
#define ps_get_config QUILLORA_LAZY("libpocketsphinx.so.3", ps_get_config)
#define ps_get_feat QUILLORA_LAZY("libpocketsphinx.so.3", ps_get_feat)
#define ps_get_hyp QUILLORA_LAZY("libpocketsphinx.so.3", ps_get_hyp)
#define ps_get_in_speech QUILLORA_LAZY("libpocketsphinx.so.3", ps_get_in_speech)
#define ps_get_logmath QUILLORA_LAZY("libpocketsphinx.so.3", ps_get_logmath)
#define ps_init QUILLORA_LAZY("libpocketsphinx.so.3", ps_init)
#define ps_lookup_word QUILLORA_LAZY("libpocketsphinx.so.3", ps_lookup_word)
#define ps_process_raw QUILLORA_LAZY("libpocketsphinx.so.3", ps_process_raw)
#define ps_seg_frames QUILLORA_LAZY("libpocketsphinx.so.3", ps_seg_frames)
#define ps_seg_iter QUILLORA_LAZY("libpocketsphinx.so.3", ps_seg_iter)
#define ps_seg_next QUILLORA_LAZY("libpocketsphinx.so.3", ps_seg_next)
#define ps_seg_prob QUILLORA_LAZY("libpocketsphinx.so.3", ps_seg_prob)
#define ps_seg_word QUILLORA_LAZY("libpocketsphinx.so.3", ps_seg_word)
#define ps_set_lm QUILLORA_LAZY("libpocketsphinx.so.3", ps_set_lm)
#define ps_set_search QUILLORA_LAZY("libpocketsphinx.so.3", ps_set_search)
#define ps_start_stream QUILLORA_LAZY("libpocketsphinx.so.3", ps_start_stream)
#define ps_start_utt QUILLORA_LAZY("libpocketsphinx.so.3", ps_start_utt)
#define ckd_free QUILLORA_LAZY("libsphinxbase.so.3", ckd_free)
#define cmd_ln_free_r QUILLORA_LAZY("libsphinxbase.so.3", cmd_ln_free_r)
#define cmd_ln_init QUILLORA_LAZY("libsphinxbase.so.3", cmd_ln_init)
#define cmn_live_get QUILLORA_LAZY("libsphinxbase.so.3", cmn_live_get)
#define cmn_live_set QUILLORA_LAZY("libsphinxbase.so.3", cmn_live_set)
#define logmath_exp QUILLORA_LAZY("libsphinxbase.so.3", logmath_exp)
#define ngram_model_add_word QUILLORA_LAZY("libsphinxbase.so.3", ngram_model_add_word)
#define ngram_model_free QUILLORA_LAZY("libsphinxbase.so.3", ngram_model_free)
#define ngram_model_read QUILLORA_LAZY("libsphinxbase.so.3", ngram_model_read)

namespace platform {

namespace {

// The acoustic model hears 16 kHz audio, the rate the capture keeps.
static_assert(AudioCapture::kSampleRate == 16000.0);
constexpr double kFramesPerSecond = 100.0; // the model's feature rate

std::filesystem::path modelDirectory() {
#ifdef POCKETSPHINX_MODELDIR
    return POCKETSPHINX_MODELDIR;
#else
    return "/usr/share/pocketsphinx/model";
#endif
}

// Why English recognition cannot be had in this process: a library it needs cannot be used. Set
// once, by whichever thread found it; never destroyed, as a worker may look while the program exits.
struct Missing {
    std::atomic<bool> known{false};
    std::mutex mutex;
    std::string soname;
    std::string reason;
};
Missing& missing() {
    static auto& instance = *new Missing;
    return instance;
}

std::string cannotBeUsed(const std::string& why) {
    return "Speech recognition cannot be used: " + why;
}

// Recognition is unavailable from now on, for want of the library `soname` (`why` in the loader's
// words).
void libraryMissing(const char* soname, const std::string& why) {
    auto& m = missing();
    std::lock_guard lock(m.mutex);
    if (!m.known) {
        m.soname = soname;
        m.reason = cannotBeUsed(why);
    }
    m.known = true;
}

// Whether the libraries `sonames` can be used, and if not, recognition is unavailable from now on.
bool librariesUsable(std::initializer_list<const char*> sonames) {
    for (const char* soname : sonames)
        if (auto why = LazyLibrary::load(soname)) {
            libraryMissing(soname, *why);
            return false;
        }
    return true;
}

struct DecoderFree {
    void operator()(ps_decoder_t* ps) const { ps_free(ps); }
};
using Decoder = std::unique_ptr<ps_decoder_t, DecoderFree>;

// Loaded decoders, lent to one task at a time. A cache, not state: every task starts a fresh
// stream (frames counted from the task's first audio, noise estimates afresh) from the channel
// normalisation the model starts with (the decoder would otherwise carry it over from whatever it
// heard last: the librivox test clips then lose words), so the same audio gives the same words at
// the same times whichever decoder hears it and whatever was dictated before.
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
            ps_start_stream(d.get());
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
        // The library pocketsphinx itself needs comes first: when that one is missing, the reason
        // names it, not pocketsphinx.
        if (!librariesUsable({"libsphinxbase.so.3", "libpocketsphinx.so.3"})) return nullptr;
        const auto dir = modelDirectory() / "en-us";
        const std::string hmm = (dir / "en-us").string(), lm = (dir / "en-us.lm.bin").string(),
                          dict = (dir / "cmudict-en-us.dict").string();
        // Without its language model: the search is built once, below, with the added words in it.
        // (Adding a word to a built search rebuilds it, which takes more than a tenth of a second.)
        cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.c_str(), "-dict", dict.c_str(),
                                       "-logfn", "/dev/null", nullptr);
        if (!config) return nullptr;
        Decoder ps(ps_init(config));
        cmd_ln_free_r(config); // the decoder keeps its own reference
        if (!ps) return nullptr;
        ngram_model_t* model =
            ngram_model_read(ps_get_config(ps.get()), lm.c_str(), NGRAM_AUTO, ps_get_logmath(ps.get()));
        if (!model) return nullptr;
        for (const auto& [word, phones] : PocketsphinxEngine::addedWords()) {
            char* known = ps_lookup_word(ps.get(), word.c_str());
            if (!known) {
                ps_add_word(ps.get(), word.c_str(), phones.c_str(), FALSE);
                ngram_model_add_word(model, word.c_str(), 1.0f);
            }
            ckd_free(known);
        }
        // The search takes its own reference to the model.
        const bool searching = ps_set_lm(ps.get(), "lm", model) == 0 && ps_set_search(ps.get(), "lm") == 0;
        ngram_model_free(model);
        if (!searching) return nullptr;
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

// The added words that join two spoken words ("red circle" is heard better as one word than as a
// colour and "circle"), with the words a person said. They are written as said, so that only the
// screens whose commands hold them make anything of them.
const char* saidAs(const std::string& word) {
    static constexpr std::pair<const char*, const char*> joined[] = {
        {"redcircle", "red circle"}, {"bluecircle", "blue circle"}, {"blackcircle", "black circle"}};
    for (const auto& [added, said] : joined)
        if (word == added) return said;
    return nullptr;
}

// A word as a segment, or the words it joins as a segment each, sharing its time by their letters.
void appendWord(std::vector<SFTranscriptionSegment>& words, const std::string& word, double start,
                double duration, float confidence) {
    const char* said = saidAs(word);
    if (!said) {
        words.emplace_back(word, start, duration, confidence);
        return;
    }
    const std::string_view both = said;
    const std::size_t blank = both.find(' ');
    const double firstShare = static_cast<double>(blank) / static_cast<double>(both.size() - 1);
    words.emplace_back(std::string(both.substr(0, blank)), start, duration * firstShare, confidence);
    words.emplace_back(std::string(both.substr(blank + 1)), start + duration * firstShare,
                       duration * (1 - firstShare), confidence);
}

// The current hypothesis as timed words. The decoder's stream starts with the task, so its frame
// numbers are the task's audio time, across every utterance of the task.
std::vector<SFTranscriptionSegment> hypothesisWords(ps_decoder_t* ps, bool rated) {
    std::vector<SFTranscriptionSegment> words;
    logmath_t* lmath = ps_get_logmath(ps);
    for (ps_seg_t* seg = ps_seg_iter(ps); seg; seg = ps_seg_next(seg)) {
        const char* word = ps_seg_word(seg);
        if (isFiller(word)) continue;
        int sf = 0, ef = 0;
        ps_seg_frames(seg, &sf, &ef);
        int32 ascr = 0, lscr = 0, lback = 0;
        const int32 prob = ps_seg_prob(seg, &ascr, &lscr, &lback);
        const float confidence =
            rated ? static_cast<float>(std::clamp(logmath_exp(lmath, prob), 0.0, 1.0)) : 0.0f;
        appendWord(words, plainWord(word), sf / kFramesPerSecond, (ef - sf + 1) / kFramesPerSecond,
                   confidence);
    }
    if (words.empty()) {
        // Some searches give no segmentation mid-utterance: fall back to the words of the text.
        const char* hyp = ps_get_hyp(ps, nullptr);
        if (hyp && *hyp) {
            auto t = SFTranscription::verbatim(hyp, 0, 0);
            for (const auto& s : t.segments())
                appendWord(words, s.substring(), 0, 0, 0);
        }
    }
    return words;
}

// One task's decoding as a state machine over 10 ms spans of the capture's 16 kHz audio. Listening:
// no utterance is open in the decoder; in an utterance: one is (it opens on the next span heard);
// ended: the task has its result, and the decoder is back in the pool. Each transition happens in
// one function, once, and every result leaves through report().
//
// An utterance ends when the decoder hears speech stop (about half a second after it): the task
// ends there with its words, unless the utterance held none (a burst of noise: listen on). The
// task also ends at its longest duration, for want of speech, and at the stop position. Whether
// the audio has a stop position changes none of this but the partial results (none once it has):
// the same audio gives the same tasks and the same words whenever the stop became known.
class UtteranceMachine {
public:
    enum class State { listening, inUtterance, ended };
    // heard: the words so far once the audio has a stop position, kept rather than posted.
    enum class Result { partial, heard, final, noSpeech };
    using Report = std::function<void(Result, std::vector<SFTranscriptionSegment>)>;

    // `beforeEnd` runs before each end of an utterance (the decoder's long second pass).
    UtteranceMachine(Decoder decoder, const SpeechEngineConfiguration& configuration,
                     AudioCapture::Reader& audio, Report report, std::function<void()> beforeEnd)
        : ps_(std::move(decoder)), configuration_(configuration), audio_(audio), report_(std::move(report)),
          beforeEnd_(std::move(beforeEnd)) {}

    ~UtteranceMachine() {
        // Cancelled: the decoder goes back as it would have at the end.
        if (state_ == State::inUtterance) {
            beforeEnd_();
            ps_end_utt(ps_.get());
        }
        if (ps_) DecoderPool::shared().release(std::move(ps_));
    }

    State state() const { return state_; }

    // One span; `stopping` once the audio has a stop position.
    void hear(const AudioCapture::Reader::Span& span, bool stopping) {
        if (state_ == State::ended) return;
        if (state_ == State::listening) startUtterance();
        ps_process_raw(ps_.get(), span.samples.data(), span.samples.size(), FALSE, FALSE);
        heard_ += span.seconds();
        const bool nowInSpeech = ps_get_in_speech(ps_.get()) != 0;
        const bool speechEnded = inSpeech_ && !nowInSpeech;
        inSpeech_ = nowInSpeech;
        const bool tooLong = heard_ >= configuration_.maximumDuration;
        if (!speechEnded && !tooLong) return;
        reportPartialIfChanged(stopping);
        auto words = endUtterance();
        if (!tooLong && words.empty()) return;
        end(Result::final, formatSpokenCommands(words), span.end());
    }

    // After a stretch of audio: the partial when it changed, and the end for want of speech, which
    // leaves the stretch from `replayFrom` to the next task (it may hold the first moments of a
    // phrase the decoder had not yet taken for speech).
    void heardStretch(std::int64_t replayFrom, bool stopping) {
        if (state_ == State::ended) return;
        if (state_ == State::inUtterance) {
            const char* hyp = ps_get_hyp(ps_.get(), nullptr);
            if (hyp && *hyp) heardWords_ = true;
            reportPartialIfChanged(stopping);
        }
        if (!inSpeech_ && !heardWords_ && heard_ >= configuration_.noSpeechTimeout) {
            endUtterance();
            end(Result::noSpeech, {}, replayFrom);
        }
    }

    // The audio stopped at `position` and all of it has been heard: every word up to it.
    void stop(std::int64_t position) {
        if (state_ == State::ended) return;
        auto words = formatSpokenCommands(endUtterance());
        const Result result = words.empty() ? Result::noSpeech : Result::final;
        end(result, std::move(words), position);
    }

private:
    void startUtterance() {
        ps_start_utt(ps_.get());
        state_ = State::inUtterance;
    }

    // The utterance's words; none when no utterance is open, since a decoder asked again still
    // gives the words it already gave.
    std::vector<SFTranscriptionSegment> endUtterance() {
        if (state_ != State::inUtterance) return {};
        beforeEnd_();
        ps_end_utt(ps_.get());
        state_ = State::listening;
        inSpeech_ = false;
        return hypothesisWords(ps_.get(), true);
    }

    // The next task starts at `at` and finds the decoder in the pool, so both are settled before
    // the result goes out.
    void end(Result result, std::vector<SFTranscriptionSegment> words, std::int64_t at) {
        state_ = State::ended;
        audio_.endAt(at);
        DecoderPool::shared().release(std::move(ps_));
        report_(result, std::move(words));
    }

    // After a stop the final is the next word from this task: whoever stopped waits for all of it.
    // The words heard meanwhile are only kept, for an end that cannot wait for the final.
    void reportPartialIfChanged(bool stopping) {
        if (!configuration_.reportPartialResults) return;
        const char* hyp = ps_get_hyp(ps_.get(), nullptr);
        if (!hyp || !*hyp || lastPartial_ == hyp) return;
        lastPartial_ = hyp;
        auto words = formatSpokenCommands(hypothesisWords(ps_.get(), false));
        if (!words.empty()) report_(stopping ? Result::heard : Result::partial, std::move(words));
    }

    Decoder ps_;
    const SpeechEngineConfiguration& configuration_;
    AudioCapture::Reader& audio_;
    Report report_;
    std::function<void()> beforeEnd_;
    State state_ = State::listening;
    double heard_ = 0;
    bool inSpeech_ = false;
    bool heardWords_ = false;
    std::string lastPartial_;
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
    if (!english || missing().known) return false;
    static const bool installed = std::filesystem::exists(modelDirectory() / "en-us" / "en-us.lm.bin");
    return installed;
}

void PocketsphinxEngine::preload() {
    // One load at a time: a second screen asking while the first one's model loads waits for it
    // and borrows it, instead of loading another hundred megabytes beside it.
    // Never destroyed, as the pool: a worker may be loading while the program exits.
    static auto& loading = *new std::mutex;
    // Seconds of waiting and loading that use no font: the window's thread lets them go meanwhile.
    FontLock::Released waiting;
    std::lock_guard lock(loading);
    if (auto d = DecoderPool::shared().acquire()) DecoderPool::shared().release(std::move(d));
}

bool PocketsphinxEngine::isLoaded() {
    return DecoderPool::shared().hasLoaded();
}

std::optional<std::string> PocketsphinxEngine::unavailableReason() {
    auto& m = missing();
    if (!m.known) return std::nullopt;
    std::lock_guard lock(m.mutex);
    return m.reason;
}

std::optional<std::string> PocketsphinxEngine::missingLibrary() {
    auto& m = missing();
    if (!m.known) return std::nullopt;
    std::lock_guard lock(m.mutex);
    return m.soname;
}

struct PocketsphinxEngine::Hold {
    std::mutex mutex;
    std::condition_variable_any released;
    bool held = false;
    std::vector<std::shared_ptr<Signal>> waiting;
};

namespace {
PocketsphinxEngine::Hold& hold() {
    static auto& instance = *new PocketsphinxEngine::Hold;
    return instance;
}
PocketsphinxEngine::Hold& endHold() {
    static auto& instance = *new PocketsphinxEngine::Hold;
    return instance;
}
// A decoder held inside its end of utterance lets go by itself after this long, so that a test
// whose program waits for it fails slowly instead of hanging.
constexpr auto kEndHoldLimit = std::chrono::seconds(30);
} // namespace

void PocketsphinxEngine::holdDecodersForTesting(bool held) {
    release(hold(), held);
}

void PocketsphinxEngine::holdEndsOfUtterancesForTesting(bool held) {
    release(endHold(), held);
}

int PocketsphinxEngine::decodersHeldInEndForTesting() {
    std::lock_guard lock(endHold().mutex);
    return static_cast<int>(endHold().waiting.size());
}

void PocketsphinxEngine::release(Hold& h, bool held) {
    {
        std::lock_guard lock(h.mutex);
        if (h.held && !held) letGo(h);
        h.held = held;
    }
    h.released.notify_all();
}

void PocketsphinxEngine::letGo(Hold& h) {
    // The run loop waits for them from now on, but for those cancelled meanwhile: nothing they
    // do reaches it any more.
    for (const auto& signal : h.waiting) {
        std::lock_guard lock(signal->mutex);
        if (signal->cancelled || signal->busy) continue;
        signal->busy = true;
        RunLoop::main().beginExternalWork();
    }
    h.held = false;
}

void PocketsphinxEngine::waitWhileHeld(std::stop_token stop) {
    waitWhileHeld(hold(), [&](std::unique_lock<std::mutex>& lock, Hold& h) {
        h.released.wait(lock, stop, [&] { return !h.held; });
    });
}

void PocketsphinxEngine::waitWhileHeldInEnd() {
    // Neither a cancel nor a stop cuts the decoder's pass short: nor does it this one.
    waitWhileHeld(endHold(), [](std::unique_lock<std::mutex>& lock, Hold& h) {
        if (h.released.wait_for(lock, kEndHoldLimit, [&] { return !h.held; })) return;
        letGo(h);
        h.released.notify_all();
    });
}

template <typename Wait> void PocketsphinxEngine::waitWhileHeld(Hold& h, Wait wait) {
    std::unique_lock lock(h.mutex);
    if (!h.held) return;
    {
        std::lock_guard signal(signal_->mutex);
        if (signal_->busy) RunLoop::main().endExternalWork();
        signal_->busy = false;
        signal_->held = true;
    }
    h.waiting.push_back(signal_);
    wait(lock, h);
    h.waiting.erase(std::find(h.waiting.begin(), h.waiting.end(), signal_));
    // Let go: the release counted this decoder busy already, unless it was cancelled.
    std::lock_guard signal(signal_->mutex);
    signal_->held = false;
}

PocketsphinxEngine::PocketsphinxEngine() = default;

PocketsphinxEngine::~PocketsphinxEngine() {
    cancel();
    if (audio()) audio()->stopListening();
    if (worker_.joinable()) {
        worker_.request_stop();
        FontLock::Released waiting;
        worker_.join();
    }
}

void PocketsphinxEngine::start(const SpeechEngineConfiguration& configuration,
                               SpeechEngineCallbacks callbacks, std::shared_ptr<AudioCapture::Reader> audio) {
    SpeechEngine::start(configuration, std::move(callbacks), audio);
    // Until the worker has heard all there is, the run loop waits for its results.
    RunLoop::main().beginExternalWork();
    signal_->busy = true;
    audio->listen([signal = signal_] {
        {
            std::lock_guard lock(signal->mutex);
            signal->woken = true;
            if (!signal->busy && !signal->done && !signal->held && !signal->cancelled) {
                signal->busy = true;
                RunLoop::main().beginExternalWork();
            }
        }
        signal->wake.notify_one();
    });
    worker_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

void PocketsphinxEngine::cancel() {
    SpeechEngine::cancel();
    {
        std::lock_guard lock(signal_->mutex);
        signal_->cancelled = true;
        // Nothing it does from now on reaches the run loop, which need not wait for it.
        if (signal_->busy) RunLoop::main().endExternalWork();
        signal_->busy = false;
    }
    signal_->wake.notify_one();
}

bool PocketsphinxEngine::workerEnded() const {
    if (!worker_.joinable()) return true;
    std::lock_guard lock(signal_->mutex);
    return signal_->done;
}

bool PocketsphinxEngine::waitForAudio(std::stop_token stop) {
    std::unique_lock lock(signal_->mutex);
    if (!signal_->woken) {
        if (signal_->busy) {
            signal_->busy = false;
            RunLoop::main().endExternalWork();
        }
        signal_->wake.wait(lock, stop, [&] { return signal_->woken || signal_->cancelled; });
    }
    signal_->woken = false;
    return !signal_->cancelled && !stop.stop_requested();
}

bool PocketsphinxEngine::cancelled() const {
    std::lock_guard lock(signal_->mutex);
    return signal_->cancelled;
}

void PocketsphinxEngine::run(std::stop_token stop) {
    AudioCapture::Reader& audio = *this->audio();
    listen(stop, audio);
    std::lock_guard lock(signal_->mutex);
    signal_->done = true;
    if (signal_->busy) RunLoop::main().endExternalWork();
    signal_->busy = false;
}

void PocketsphinxEngine::listen(std::stop_token stop, AudioCapture::Reader& audio) {
    Decoder ps = DecoderPool::shared().acquire();
    if (!ps) {
        postError(speechError(SFSpeechErrorCodeEngineFailed,
                              unavailableReason().value_or("The speech model could not be loaded")));
        return;
    }
    UtteranceMachine machine(
        std::move(ps), configuration(), audio,
        [this, &audio](UtteranceMachine::Result result, std::vector<SFTranscriptionSegment> words) {
            switch (result) {
            case UtteranceMachine::Result::partial:
                postPartial(SFTranscription::joining(std::move(words)), audio.position());
                break;
            case UtteranceMachine::Result::heard:
                noteHeard(SFTranscription::joining(std::move(words)), audio.position());
                break;
            case UtteranceMachine::Result::final:
                postFinal(SFTranscription::joining(std::move(words)));
                break;
            case UtteranceMachine::Result::noSpeech:
                postError(speechError(SFSpeechErrorCodeNoSpeech, "No speech detected"));
                break;
            }
        },
        [this] { waitWhileHeldInEnd(); });
    // Where the last half second of audio heard began: a task ending for want of speech leaves it
    // to the next.
    constexpr double kReplaySeconds = 0.5;
    std::deque<std::pair<std::int64_t, double>> recent;
    double recentSeconds = 0;
    while (machine.state() != UtteranceMachine::State::ended && !cancelled()) {
        waitWhileHeld(stop);
        const auto span = audio.read();
        if (!span) {
            // This microphone cannot be heard (its rate needs the resampler): one of
            // recognition's own rate still can, so recognition itself stays available.
            if (auto why = audio.failure()) {
                postError(speechError(SFSpeechErrorCodeEngineFailed, cannotBeUsed(*why)));
                return;
            }
            if (const auto stopAt = audio.stopPosition(); stopAt && audio.position() >= *stopAt) {
                machine.stop(*stopAt);
                break;
            }
            if (!waitForAudio(stop)) break;
            continue;
        }
        const bool stopping = audio.stopPosition().has_value();
        machine.hear(*span, stopping);
        recent.emplace_back(span->position, span->seconds());
        recentSeconds += recent.back().second;
        while (recentSeconds - recent.front().second >= kReplaySeconds) {
            recentSeconds -= recent.front().second;
            recent.pop_front();
        }
        machine.heardStretch(recent.front().first, stopping);
        audio.release(recent.front().first);
    }
}

} // namespace platform
