#include "platform/speech/SpokenPunctuation.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace platform {

namespace {

struct Command {
    std::vector<std::string> words;
    std::string written;
};

// Never destroyed: a recognition worker may still format words while the program exits.
const std::vector<Command>& commands() {
    static const auto& table = *new const std::vector<Command>{
        {{"new", "paragraph"}, "\n\n"},
        {{"new", "line"}, "\n"},
        {{"full", "stop"}, "."},
        {{"question", "mark"}, "?"},
        {{"exclamation", "mark"}, "!"},
        {{"exclamation", "point"}, "!"},
        {{"hashtag", "sign"}, "#"},
        {{"centre", "dot"}, "·"},
        {{"center", "dot"}, "·"},
        {{"comma"}, ","},
        {{"period"}, "."},
        {{"colon"}, ":"},
        {{"semicolon"}, ";"},
    };
    return table;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool endsSentence(const std::string& s) {
    return s == "." || s == "?" || s == "!";
}
bool isWord(const std::string& s) {
    return !s.empty() && std::isalnum(static_cast<unsigned char>(s[0]));
}

} // namespace

std::vector<SFTranscriptionSegment> formatSpokenCommands(const std::vector<SFTranscriptionSegment>& words) {
    std::vector<SFTranscriptionSegment> out;
    for (std::size_t i = 0; i < words.size();) {
        const Command* match = nullptr;
        for (const auto& command : commands()) {
            if (i + command.words.size() > words.size()) continue;
            bool same = true;
            for (std::size_t k = 0; k < command.words.size() && same; ++k)
                same = lower(words[i + k].substring()) == command.words[k];
            if (same) {
                match = &command;
                break;
            }
        }
        if (!match) {
            out.push_back(words[i++]);
            continue;
        }
        const auto& first = words[i];
        const auto& last = words[i + match->words.size() - 1];
        float confidence = 1.0f;
        for (std::size_t k = 0; k < match->words.size(); ++k)
            confidence = std::min(confidence, words[i + k].confidence());
        out.emplace_back(match->written, first.timestamp(),
                         last.timestamp() + last.duration() - first.timestamp(), confidence);
        i += match->words.size();
    }
    bool capitalise = true;
    for (auto& segment : out) {
        const std::string& text = segment.substring();
        if (endsSentence(text)) {
            capitalise = true;
        } else if (isWord(text)) {
            if (capitalise && std::islower(static_cast<unsigned char>(text[0]))) {
                std::string upper = text;
                upper[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[0])));
                segment = SFTranscriptionSegment(upper, segment.timestamp(), segment.duration(),
                                                 segment.confidence());
            }
            capitalise = false;
        }
    }
    return out;
}

} // namespace platform
