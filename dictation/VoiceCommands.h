#pragma once
// Voice commands: spoken words that become symbols in the live text. A table is a list of steps
// applied in order, each replacing every occurrence of its spoken form; the pass runs only when
// the result's segment description holds one of the calling handler's trigger words.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/speech/SFSpeechRecognitionResult.h"

namespace quillora {

struct VoiceCommandStep {
    std::string spoken;
    std::string replacement;
    // Case-insensitive (the common case), or literal: exact and case-sensitive.
    bool ignoresCase = true;
};

struct VoiceCommandTable {
    std::vector<VoiceCommandStep> steps;

    // `text` with every step applied in order, each to what the steps before it left.
    std::string apply(std::string text) const;
};

// The main dictation screen's ten symbol names.
const VoiceCommandTable& mainVoiceCommands();
// The trigger words of the main screen's first and second result handlers.
const std::vector<std::string>& mainCommandTriggersLoop1();
const std::vector<std::string>& mainCommandTriggersLoop2();

// The notes screen's twenty office symbols, and the phrases that open its pass (both handlers).
const VoiceCommandTable& notesVoiceCommands();
const std::vector<std::string>& notesCommandTriggers();

// The recipe screen's food names and marks (52 steps), and the forms that open its pass.
const VoiceCommandTable& recipeVoiceCommands();
const std::vector<std::string>& recipeCommandTriggers();

// The text the trigger test reads: the printed segment list of the best transcription, which
// holds every segment's substring as recognized, then its words as said (without the capital the
// recognizer gives the first word of a sentence).
std::string triggerText(const platform::SFSpeechRecognitionResult& result);
// Whether `text` holds one of `triggers` (exact substring, with case).
bool holdsTrigger(std::string_view text, const std::vector<std::string>& triggers);

} // namespace quillora
