#pragma once
// Recordings of phrases with pauses between them, made at run time from the bundle's demo.wav and
// the clips of pocketsphinx-testdata, for the real-time test and the soak benchmark; and how two
// transcripts of one recording differ, word by word.

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace quillora::test {

inline const std::filesystem::path kTestClips = "/usr/share/pocketsphinx/test/data";

// A clip as 16 kHz mono samples with its silence at both ends cut to 50 ms, so that the pauses
// between phrases are the pauses written. Raw clips are 16 kHz 16-bit mono, as the test data has
// them; empty when the clip cannot be read or has another format.
inline std::vector<float> speechOf(const std::filesystem::path& path) {
    std::vector<float> samples;
    if (path.extension() == ".raw") {
        std::ifstream in(path, std::ios::binary);
        std::int16_t s = 0;
        while (in.read(reinterpret_cast<char*>(&s), 2))
            samples.push_back(static_cast<float>(s) / 32768.0f);
    } else {
        SF_INFO info{};
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
        if (!f) return {};
        if (info.samplerate == 16000 && info.channels == 1) {
            samples.resize(static_cast<std::size_t>(info.frames));
            sf_readf_float(f, samples.data(), info.frames);
        }
        sf_close(f);
    }
    constexpr std::size_t kWindow = 320; // 20 ms
    auto loud = [&](std::size_t at) {
        double sum = 0;
        for (std::size_t i = at; i < std::min(at + kWindow, samples.size()); ++i)
            sum += samples[i] * samples[i];
        return std::sqrt(sum / kWindow) > 0.02;
    };
    std::size_t first = 0, last = samples.size();
    while (first < samples.size() && !loud(first))
        first += kWindow;
    while (last > first && !loud(last - std::min(last, kWindow)))
        last -= std::min(last, kWindow);
    constexpr std::size_t kMargin = 800;
    first = first > kMargin ? first - kMargin : 0;
    last = std::min(samples.size(), last + kMargin);
    if (first >= last) return {};
    return {samples.begin() + static_cast<long>(first), samples.begin() + static_cast<long>(last)};
}

// Each clip's speech followed by its pause in seconds, after half a second of silence, as a 16 kHz
// 16-bit WAV file; false when a clip is missing or the file cannot be written.
inline bool writePhrasesWithPauses(const std::filesystem::path& path,
                                   const std::vector<std::pair<std::filesystem::path, double>>& phrases) {
    std::vector<float> all(8000, 0.0f);
    for (const auto& [clip, pause] : phrases) {
        const auto speech = speechOf(clip);
        if (speech.empty()) return false;
        all.insert(all.end(), speech.begin(), speech.end());
        all.resize(all.size() + static_cast<std::size_t>(pause * 16000));
    }
    SF_INFO info{};
    info.samplerate = 16000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    const auto written = sf_writef_float(f, all.data(), static_cast<sf_count_t>(all.size()));
    sf_close(f);
    return written == static_cast<sf_count_t>(all.size());
}

inline std::vector<std::string> wordsOf(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// How `heard` differs from `expected`: words of `expected` missing from it and words it has beyond
// it, over their longest common subsequence (so a word in the wrong place counts in both).
struct WordDifference {
    std::size_t lost = 0;
    std::size_t extra = 0;
};

inline WordDifference compareWords(const std::string& expected, const std::string& heard) {
    const auto a = wordsOf(expected), b = wordsOf(heard);
    std::vector<std::vector<std::size_t>> common(a.size() + 1, std::vector<std::size_t>(b.size() + 1, 0));
    for (std::size_t i = a.size(); i-- > 0;)
        for (std::size_t j = b.size(); j-- > 0;)
            common[i][j] =
                a[i] == b[j] ? common[i + 1][j + 1] + 1 : std::max(common[i + 1][j], common[i][j + 1]);
    return {a.size() - common[0][0], b.size() - common[0][0]};
}

} // namespace quillora::test
