#pragma once
// Preferences files that once crashed or stalled every start, made here rather than kept as
// megabytes in the repository: deep nesting hidden from a nesting check that read XML differently
// from the parser after it, and a transcript of escaped characters that a parser decoded in
// quadratic time.

#include <string>
#include <vector>

namespace quillora::test {

struct DamagedPreferences {
    std::string name;
    std::string bytes;
    // Whether the file is damaged (kept aside) or sound (read as it is).
    bool damaged;
};

// `levels` nested arrays as the value of key "a" of a dictionary.
inline std::string deeplyNestedDictionary(int levels) {
    std::string out = "<dict><key>a</key>";
    out.reserve(static_cast<std::size_t>(levels) * 15 + 64);
    for (int i = 0; i < levels; ++i)
        out += "<array>";
    for (int i = 0; i < levels; ++i)
        out += "</array>";
    return out + "</dict>";
}

// A transcript of `count` characters, each stored escaped.
inline std::string escapedTranscriptPreferences(std::size_t count) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                      "\t<key>saveclipBoardText</key>\n\t<string>";
    static const char* const escapes[] = {"&amp;", "&lt;", "&gt;"};
    out.reserve(out.size() + count * 5 + 64);
    for (std::size_t i = 0; i < count; ++i)
        out += escapes[i % 3];
    return out + "</string>\n</dict>\n</plist>\n";
}

inline std::vector<DamagedPreferences> damagedPreferences() {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    const std::string deep = deeplyNestedDictionary(50000);
    return {
        {"nesting inside a quoted doctype",
         head + "<!DOCTYPE p '>\n<plist version=\"1.0\">" + deep + "</plist>\n'>\n", true},
        {"nesting between processing instructions",
         head + "<?>\n<plist version=\"1.0\">" + deep + "</plist>\n<? ?>\n", true},
        {"nesting inside a quoted attribute", head + "<plist x='>" + deep + "'>\n</plist>\n", true},
        {"1,200,000 escaped characters", escapedTranscriptPreferences(1200000), false},
    };
}

} // namespace quillora::test
