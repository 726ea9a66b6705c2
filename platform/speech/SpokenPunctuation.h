#pragma once
// How the recognizer writes dictated punctuation and layout: "comma" becomes ",", "new paragraph"
// two line breaks, and so on; the first word and each word after a sentence end get a capital.

#include <vector>

#include "platform/speech/SFSpeechRecognitionResult.h"

namespace platform {

// Takes recognized words in order (lower case or not) and returns the segments as written.
std::vector<SFTranscriptionSegment> formatSpokenCommands(const std::vector<SFTranscriptionSegment>& words);

} // namespace platform
