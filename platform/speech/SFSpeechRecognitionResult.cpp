#include "platform/speech/SFSpeechRecognitionResult.h"

#include <cstdio>
#include <sstream>

namespace platform {

namespace {
bool attachesToPrevious(const std::string& s) {
    return s == "," || s == "." || s == "?" || s == "!" || s == ":" || s == ";" || s == "\n" || s == "\n\n";
}
bool isLineBreak(const std::string& s) {
    return !s.empty() && s.find_first_not_of('\n') == std::string::npos;
}

std::string number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3f", value);
    return buffer;
}
} // namespace

std::string SFTranscriptionSegment::description() const {
    return "SFTranscriptionSegment substringRange={" + std::to_string(range_.location) + ", " +
           std::to_string(range_.length) + "}, timestamp=" + number(timestamp_) +
           ", duration=" + number(duration_) + ", confidence=" + number(confidence_) +
           ", substring=" + substring_;
}

std::string description(const std::vector<SFTranscriptionSegment>& segments) {
    std::ostringstream out;
    out << "(";
    for (std::size_t i = 0; i < segments.size(); ++i)
        out << (i ? ",\n    " : "\n    ") << segments[i].description();
    out << (segments.empty() ? ")" : "\n)");
    return out.str();
}

SFTranscription SFTranscription::joining(std::vector<SFTranscriptionSegment> segments) {
    SFTranscription t;
    bool noBlankNext = true;
    for (auto& segment : segments) {
        if (!noBlankNext && !attachesToPrevious(segment.substring_)) t.formatted_ += ' ';
        segment.range_ = {t.formatted_.size(), segment.substring_.size()};
        t.formatted_ += segment.substring_;
        noBlankNext = isLineBreak(segment.substring_);
    }
    t.segments_ = std::move(segments);
    return t;
}

SFTranscription SFTranscription::verbatim(const std::string& text, double wordDuration, float confidence) {
    SFTranscription t;
    t.formatted_ = text;
    std::size_t pos = 0;
    double at = 0;
    while (pos < text.size()) {
        const std::size_t start = text.find_first_not_of(' ', pos);
        if (start == std::string::npos) break;
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        SFTranscriptionSegment segment(text.substr(start, end - start), at, wordDuration, confidence);
        segment.range_ = {start, end - start};
        t.segments_.push_back(std::move(segment));
        at += wordDuration;
        pos = end;
    }
    return t;
}

} // namespace platform
