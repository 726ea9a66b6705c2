#pragma once
// Preferences files that once crashed or stalled every start, made here rather than kept as
// megabytes in the repository: deep nesting hidden from a nesting check that read XML differently
// from the parser after it, a transcript of escaped characters that a parser decoded in
// quadratic time, and small binary files whose references unfolded into gigabytes; and files
// once read as settings and silently rewritten.

#include <cstdint>
#include <string>
#include <vector>

namespace quillora::test {

struct DamagedPreferences {
    std::string name;
    std::string bytes;
    // Whether the file is damaged (kept aside) or sound (read as it is).
    bool damaged;
};

// A binary property list of the given objects, each already encoded with one-byte references;
// the first is the root.
inline std::string binaryPlist(const std::vector<std::string>& objects) {
    std::string out = "bplist00";
    std::vector<std::uint32_t> offsets;
    for (const auto& o : objects) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        out += o;
    }
    auto be = [&](std::uint64_t v, int n) {
        for (int i = n - 1; i >= 0; --i)
            out += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const std::uint64_t table = out.size();
    for (auto o : offsets)
        be(o, 4);
    out += std::string(6, '\0');
    out += '\x04';
    out += '\x01';
    be(objects.size(), 8);
    be(0, 8);
    be(table, 8);
    return out;
}
// The marker of an object of `kind` (its high four bits) holding `count` items or bytes.
inline std::string objectHead(unsigned kind, std::uint32_t count) {
    if (count < 15) return std::string(1, static_cast<char>((kind << 4) | count));
    std::string out{static_cast<char>((kind << 4) | 0xF), '\x12'};
    for (int i = 3; i >= 0; --i)
        out += static_cast<char>((count >> (8 * i)) & 0xFF);
    return out;
}
inline std::string asciiObject(const std::string& s) {
    return objectHead(0x5, static_cast<std::uint32_t>(s.size())) + s;
}

// An array holding `refs` references to itself: each level it is entered at offers `refs` more.
inline std::string selfReferencingArray(std::uint32_t refs) {
    return binaryPlist({objectHead(0xA, refs) + std::string(refs, '\0')});
}
// An array of `refs` references to one string of `length` letters, which a reader builds once
// for each.
inline std::string sharedStringList(std::size_t length, std::uint32_t refs) {
    return binaryPlist(
        {objectHead(0xA, refs) + std::string(refs, '\x01'), asciiObject(std::string(length, 'x'))});
}

// A binary file whose top object is an archive's reference, as Python writes plistlib.UID(7).
inline std::string referenceAtTopPreferences() {
    return binaryPlist({"\x80\x07"});
}

// The same reference as libplist writes it in XML.
inline std::string referenceAtTopXmlPreferences() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist "
           "version=\"1.0\">\n<dict>\n\t<key>CF$UID</key>\n"
           "\t<integer>7</integer>\n</dict>\n</plist>\n";
}

// A file that gives the font size twice, 18 and then 24.
inline std::string repeatedKeyPreferences(bool binary) {
    if (binary)
        return binaryPlist({"\xD2\x01\x01\x02\x03", asciiObject("savefontSizeApp"), "\x10\x12", "\x10\x18"});
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>savefontSizeApp</key><integer>18</integer><key>savefontSizeApp</key><integer>24</integer>"
           "</dict></plist>\n";
}

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
        {"a reference at the top", referenceAtTopPreferences(), true},
        {"a reference at the top, in XML", referenceAtTopXmlPreferences(), true},
        {"an array holding itself 100,000 times", selfReferencingArray(100000), true},
        {"a string of 100,000 letters referred to 1,000 times", sharedStringList(100000, 1000), true},
        {"a key given twice", repeatedKeyPreferences(false), true},
    };
}

} // namespace quillora::test
