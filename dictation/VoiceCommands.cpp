#include "dictation/VoiceCommands.h"

#include <cctype>

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
    // "book mark" too: the command sheet tells the person to say it, and the first task of every
    // run is one of these.
    static const std::vector<std::string> words{"pushpin",       "paperclip", "memo",     "bookmark",
                                                "round pushpin", "pencil",    "balloon",  "textbook",
                                                "clipboard",     "checkmark", "book mark"};
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

namespace {
// The spoken forms, in the order the steps run; the first nine after "Apple" run literally in two
// spellings, lower-case first letter then capital (the check-mark phrase the other way round).
struct FoodWord {
    const char* spoken;
    const char* symbol;
};
constexpr FoodWord kLiteralFood[] = {{"Banana", "🍌"}, {"Bread", "🍞"},    {"Sandwich", "🥪"},
                                     {"Egg", "🥚"}, {"Pizza", "🍕"},    {"French fries", "🍟"},
                                     {"Beer", "🍺"},   {"Chocolate", "🍫"}};
constexpr const char* kCheckMarkPhrase = "Next item";
constexpr FoodWord kFood[] = {
    {"Lemon", "🍋"},        {"Watermelon", "🍉"},    {"Grapes", "🍇"},      {"Strawberry", "🍓"},
    {"Smiling face", "😊"}, {"Bullet", "⦿"},        {"Add right", "➤"},   {"Cherries", "🍒"},
    {"Coconut", "🥥"},   {"Peach", "🍑"},         {"Pineapple", "🍍"},   {"Tomato", "🍅"},
    {"Eggplant", "🍆"},     {"Avocado", "🥑"},    {"Broccoli", "🥦"}, {"Cucumber", "🥒"},
    {"Pepper", "🌶"},    {"Corn", "🌽"},          {"Potato", "🥔"},   {"Croissant", "🥐"},
    {"Cooking", "🍳"},      {"Pancakes", "🥞"},   {"Bacon", "🥓"},    {"Steak", "🥩"},
    {"Meat", "🍖"},         {"Hot dog", "🌭"},    {"Hamburger", "🍔"},   {"Rice", "🍚"},
    {"Ice cream", "🍦"},    {"Birthday cake", "🎂"}, {"Doughnut", "🍩"},    {"Milk", "🥛"},
    {"Cookie", "🍪"},
};

std::string lowerFirst(std::string word) {
    word[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(word[0])));
    return word;
}
std::string lowerAll(std::string word) {
    for (auto& c : word)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word;
}
} // namespace

const VoiceCommandTable& recipeVoiceCommands() {
    static const VoiceCommandTable table = [] {
        VoiceCommandTable t;
        t.steps.push_back({"Apple", "🍎"});
        for (const auto& food : kLiteralFood) {
            t.steps.push_back({lowerFirst(food.spoken), food.symbol, false});
            t.steps.push_back({food.spoken, food.symbol, false});
        }
        t.steps.push_back({kCheckMarkPhrase, "✔️", false});
        t.steps.push_back({lowerFirst(kCheckMarkPhrase), "✔️", false});
        for (const auto& food : kFood)
            t.steps.push_back({food.spoken, food.symbol});
        return t;
    }();
    return table;
}

const std::vector<std::string>& recipeCommandTriggers() {
    static const std::vector<std::string> words = [] {
        std::vector<std::string> w{"apple"};
        for (const auto& food : kLiteralFood)
            w.push_back(lowerAll(food.spoken));
        w.push_back(lowerAll(kCheckMarkPhrase));
        for (const auto& food : kFood)
            w.push_back(lowerAll(food.spoken));
        w.insert(w.end(), {"strawberries", "choclate"});
        w.push_back("Apple");
        for (const auto& food : kLiteralFood)
            w.push_back(food.spoken);
        w.push_back(kCheckMarkPhrase);
        return w;
    }();
    return words;
}

namespace {
bool endsSentence(const std::string& segment) {
    return segment == "." || segment == "?" || segment == "!";
}
} // namespace

std::string triggerText(const platform::SFSpeechRecognitionResult& result) {
    // The segments' words once more, one blank apart, so that a command of two words ("ice cream",
    // "red circle") is found when it is said alone; a one-word command can match here only inside
    // a single segment, as it does in the description. The recognizer writes the first word of a
    // phrase, and the first after a sentence's end, with a capital that was never said: here those
    // words stand as said, so that a command said first or alone opens the pass as it does in
    // mid-phrase.
    const auto& segments = result.bestTranscription().segments();
    std::string text = platform::description(segments);
    text += '\n';
    bool startsSentence = true;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        std::string word = segments[i].substring();
        const bool isWord = !word.empty() && std::isalnum(static_cast<unsigned char>(word[0]));
        if (startsSentence && isWord)
            word[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(word[0])));
        if (isWord)
            startsSentence = false;
        else if (endsSentence(word))
            startsSentence = true;
        text.append(i ? " " : "").append(word);
    }
    return text;
}

bool holdsTrigger(std::string_view text, const std::vector<std::string>& triggers) {
    for (const auto& word : triggers)
        if (text.find(word) != std::string_view::npos) return true;
    return false;
}

} // namespace quillora
