#include "dictation/VoiceCommands.h"

#include "platform/foundation/TextUtils.h"

namespace quillora {

std::string VoiceCommandTable::apply(std::string text) const {
    for (const auto& step : steps) {
        if (step.ignoresCase) {
            text = platform::replaceAllCaseInsensitive(text, step.spoken, step.replacement);
            continue;
        }
        if (step.spoken.empty()) continue;
        std::string out;
        std::size_t from = 0;
        for (auto at = text.find(step.spoken); at != std::string::npos; at = text.find(step.spoken, from)) {
            out.append(text, from, at - from).append(step.replacement);
            from = at + step.spoken.size();
        }
        text = out.append(text, from, std::string::npos);
    }
    return text;
}

const VoiceCommandTable& mainVoiceCommands() {
    static const VoiceCommandTable table{{
        {"round pushpin", "📍"},
        {"pushpin", "📌"},
        {"paperclip", "📎"},
        {"memo", "📝"},
        {"book mark", "🔖"},
        {"pencil", "✏️"},
        {"balloon", "🎈"},
        {"textbook", "📘"},
        {"clipboard", "📋"},
        {"checkmark", "✔️"},
    }};
    return table;
}

const std::vector<std::string>& mainCommandTriggersLoop1() {
    static const std::vector<std::string> words{"pushpin",       "paperclip", "memo",    "bookmark",
                                                "round pushpin", "pencil",    "balloon", "textbook",
                                                "clipboard",     "checkmark"};
    return words;
}

const std::vector<std::string>& mainCommandTriggersLoop2() {
    static const std::vector<std::string> words{
        "pushpin", "paperclip", "paper clip", "memo",      "bookmark",  "book mark",  "round pushpin",
        "pencil",  "balloon",   "textbook",   "clipboard", "checkmark", "check mark", "push pin"};
    return words;
}

const VoiceCommandTable& notesVoiceCommands() {
    // "round pushpin" holds "pushpin", so it goes first; no symbol holds a letter, so no later step
    // can match what an earlier one wrote.
    static const VoiceCommandTable table{{
        {"round pushpin", "📍"}, {"pushpin", "📌"},           {"paperclip", "📎"},
        {"memo", "📝"},          {"book mark", "🔖"},         {"bookmark", "🔖"},
        {"pencil", "✏️"},   {"balloon", "🎈"},           {"textbook", "📘"},
        {"clipboard", "📋"},     {"checkmark", "✔️"},    {"ballot box", "☑️"},
        {"radio button", "🔘"},  {"check mark", "✔️"},   {"redcircle", "🔴"},
        {"bluecircle", "🔵"},    {"blackcircle", "⚫️"},  {"red circle", "🔴"},
        {"blue circle", "🔵"},   {"black circle", "⚫️"},
    }};
    return table;
}

const std::vector<std::string>& notesCommandTriggers() {
    static const std::vector<std::string> words{"pushpin",       "paperclip",    "memo",       "bookmark",
                                                "round pushpin", "pencil",       "balloon",    "textbook",
                                                "clipboard",     "checkmark",    "ballot box", "radio button",
                                                "red circle",    "redcircle",    "bluecircle", "blackcircle",
                                                "blue circle",   "black circle", "book mark",  "check mark"};
    return words;
}

std::string triggerText(const platform::SFSpeechRecognitionResult& result) {
    return platform::description(result.bestTranscription().segments());
}

bool holdsTrigger(std::string_view text, const std::vector<std::string>& triggers) {
    for (const auto& word : triggers)
        if (text.find(word) != std::string_view::npos) return true;
    return false;
}

} // namespace quillora
