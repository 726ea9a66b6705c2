#pragma once
// A second of silence as a WAV file: a microphone of any rate, for what depends on the rate alone.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace quillora::test {

// A second of silence, mono, 16-bit, at `rate`, written to `path`.
inline void writeSilentWav(const std::filesystem::path& path, std::uint32_t rate) {
    const std::uint32_t bytes = rate * 2;
    std::ofstream out(path, std::ios::binary);
    auto word = [&](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            out.put(static_cast<char>((value >> (8 * i)) & 0xff));
    };
    out << "RIFF";
    word(36 + bytes, 4);
    out << "WAVEfmt ";
    word(16, 4);
    word(1, 2);
    word(1, 2);
    word(rate, 4);
    word(rate * 2, 4);
    word(2, 2);
    word(16, 2);
    out << "data";
    word(bytes, 4);
    out << std::string(bytes, '\0');
}

} // namespace quillora::test
