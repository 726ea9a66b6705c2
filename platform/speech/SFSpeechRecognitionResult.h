#pragma once
// What a recognition task reports: transcriptions made of segments, and whether the text is final.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct NSRange {
    std::size_t location = 0;
    std::size_t length = 0;
    bool operator==(const NSRange&) const = default;
};

class SFTranscriptionSegment {
public:
    SFTranscriptionSegment(std::string substring, double timestamp = 0, double duration = 0,
                           float confidence = 0)
        : substring_(std::move(substring)), timestamp_(timestamp), duration_(duration),
          confidence_(confidence) {}

    const std::string& substring() const { return substring_; }
    // Where the segment stands in its transcription's formatted string (bytes of UTF-8).
    NSRange substringRange() const { return range_; }
    // Seconds from the start of the task's audio.
    double timestamp() const { return timestamp_; }
    double duration() const { return duration_; }
    // 0 in partial results, as the recognizer only rates words once they are final.
    float confidence() const { return confidence_; }

    // One line naming the segment's fields, its substring as recognized.
    std::string description() const;

private:
    friend class SFTranscription;
    std::string substring_;
    NSRange range_;
    double timestamp_;
    double duration_;
    float confidence_;
};

// The printed form of a segment list: every segment's description, in order, in parentheses.
std::string description(const std::vector<SFTranscriptionSegment>& segments);

class SFTranscription {
public:
    SFTranscription() = default;
    // Joins the segments with single blanks, except that punctuation sticks to the word before it
    // and line breaks take no blank on either side.
    static SFTranscription joining(std::vector<SFTranscriptionSegment> segments);
    // A text taken as it stands; its segments are its blank-separated words.
    static SFTranscription verbatim(const std::string& text, double wordDuration, float confidence);

    const std::string& formattedString() const { return formatted_; }
    const std::vector<SFTranscriptionSegment>& segments() const { return segments_; }

private:
    std::string formatted_;
    std::vector<SFTranscriptionSegment> segments_;
};

class SFSpeechRecognitionResult {
public:
    SFSpeechRecognitionResult(SFTranscription best, bool isFinal) : best_(std::move(best)), final_(isFinal) {}

    const SFTranscription& bestTranscription() const { return best_; }
    std::vector<SFTranscription> transcriptions() const { return {best_}; }
    bool isFinal() const { return final_; }

private:
    SFTranscription best_;
    bool final_;
};

using SFSpeechRecognitionResultRef = std::shared_ptr<SFSpeechRecognitionResult>;

} // namespace platform
