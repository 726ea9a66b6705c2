// Text a stored file holds that the writer could not write back (a declared 8-bit encoding, a
// control character, a NUL in a binary string, a lone UTF-16 surrogate, a byte that is no UTF-8):
// the preferences and the lists read it alike, show it cleaned, keep the file as it was, and
// save it so that another reader (Python's plistlib) reads back exactly what was shown.

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <glib.h>

#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/DamagedPreferences.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using quillora::test::asciiObject;
using quillora::test::binaryPlist;
using quillora::test::writeFile;
namespace fs = std::filesystem;

namespace {

const std::string kFFFD = "\xEF\xBF\xBD";

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What Python's plistlib reads from `path`: the strings of a list, or of one key of a
// dictionary, one per line as hex of their UTF-8 (nothing when it cannot read the file).
std::vector<std::string> plistlibStrings(const fs::path& path, const std::string& key = "") {
    const std::string program = "import plistlib,sys\n"
                                "v = plistlib.load(open(sys.argv[1], 'rb'))\n"
                                "v = v[sys.argv[2]] if sys.argv[2] else v\n"
                                "for s in (v if isinstance(v, list) else [v]):\n"
                                "    print(s.encode('utf-8').hex() if isinstance(s, str) else repr(s))\n";
    const fs::path script = path.parent_path() / "read.py";
    std::ofstream(script) << program;
    std::vector<std::string> out;
    FILE* p = ::popen(
        ("python3 '" + script.string() + "' '" + path.string() + "' '" + key + "' 2>&1").c_str(), "r");
    if (!p) return out;
    char line[1 << 16];
    while (std::fgets(line, sizeof line, p)) {
        std::string s(line);
        if (!s.empty() && s.back() == '\n') s.pop_back();
        out.push_back(s);
    }
    ::pclose(p);
    return out;
}

std::string hex(const std::string& s) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 0xF];
    }
    return out;
}

std::string utf16Object(const std::vector<std::uint16_t>& units) {
    std::string out(1, static_cast<char>(0x60 | units.size()));
    for (auto u : units) {
        out += static_cast<char>(u >> 8);
        out += static_cast<char>(u & 0xFF);
    }
    return out;
}

// The same piece of text as each kind of file holds it.
struct Case {
    std::string what;
    std::string xmlDeclaration; // for XML files
    std::string xmlText;        // the string's content in an XML file; empty for binary files
    std::string binaryObject;   // the string as a binary object; empty for XML files
    std::string shown;          // what reading shows
    bool replaced;              // whether it was cleaned (the file is then kept aside)
};

std::string utf16le(const std::string& ascii, const std::string& middle) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        if (c == '|') {
            out += middle;
            continue;
        }
        out += c;
        out += '\0';
    }
    return out;
}

const std::string kUtf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

const std::vector<Case>& cases() {
    static const std::vector<Case> all{
        {"ISO-8859-1 declared", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n", "caf\xE9 \xBD", "",
         "caf\xC3\xA9 \xC2\xBD", false},
        {"a raw control character", kUtf8,
         "a\x01"
         "b",
         "", "a" + kFFFD + "b", true},
        {"a control character by reference", kUtf8, "a&#1;b&#x0;", "", "a" + kFFFD + "b" + kFFFD, true},
        {"a byte that is no UTF-8", kUtf8,
         "a\xFF"
         "b",
         "", "a" + kFFFD + "b", true},
        {"a NUL in a binary string", "", "", asciiObject(std::string("a\0b", 3)), "a" + kFFFD + "b", true},
        {"a lone surrogate in a binary string", "", "", utf16Object({'a', 0xD800, 'b', 0xDC00}),
         "a" + kFFFD + "b" + kFFFD, true},
        {"a lone surrogate in UTF-16 XML", "", "a|b", "", "a" + kFFFD + "b", true},
    };
    return all;
}

std::string listFile(const Case& c) {
    if (!c.binaryObject.empty()) return binaryPlist({"\xA1\x01", c.binaryObject});
    const std::string body = "<plist version=\"1.0\"><array><string>|</string></array></plist>";
    if (c.xmlDeclaration.empty())
        return utf16le(body, utf16le(c.xmlText, std::string("\x00\xD8", 2)).substr(2));
    std::string out = c.xmlDeclaration + body;
    return out.replace(out.find('|'), 1, c.xmlText);
}

std::string preferencesFile(const Case& c) {
    if (!c.binaryObject.empty())
        return binaryPlist({"\xD2\x01\x02\x03\x04", asciiObject("saveclipBoardText"),
                            asciiObject("savefontSizeApp"), c.binaryObject, "\x10\x12"});
    const std::string body = "<plist version=\"1.0\"><dict><key>saveclipBoardText</key><string>|</string>"
                             "<key>savefontSizeApp</key><integer>18</integer></dict></plist>";
    if (c.xmlDeclaration.empty())
        return utf16le(body, utf16le(c.xmlText, std::string("\x00\xD8", 2)).substr(2));
    std::string out = c.xmlDeclaration + body;
    return out.replace(out.find('|'), 1, c.xmlText);
}

class StoredTextTest : public quillora::test::PlatformTest {};

TEST_F(StoredTextTest, PreferencesShowWhatTheyCanSaveAndSaveIt) {
    const fs::path file = Sandbox::preferences() / "com.quillora.app.plist";
    for (const auto& c : cases()) {
        SCOPED_TRACE(c.what);
        NSUserDefaults::resetStandardUserDefaults();
        for (auto& e : fs::directory_iterator(Sandbox::preferences()))
            fs::remove_all(e.path());
        const std::string bytes = preferencesFile(c);
        writeFile(file, bytes);
        auto defaults = NSUserDefaults::standardUserDefaults();
        const auto shown = defaults->stringForKey("saveclipBoardText");
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(defaults->integerForKey("savefontSizeApp"), 18) << "the other settings are kept";
        // A cleaned file is kept as it was, where the console (and the alert) say.
        bool kept = false;
        for (auto& e : fs::directory_iterator(Sandbox::preferences()))
            kept |= e.path().filename().string().find(".corrupt-") != std::string::npos &&
                    readAll(e.path()) == bytes;
        EXPECT_EQ(kept, c.replaced);
        // The font is set to 24, and the file says 24 from now on.
        defaults->setInteger_forKey(24, "savefontSizeApp");
        ASSERT_TRUE(defaults->synchronize());
        EXPECT_EQ(plistlibStrings(file, "saveclipBoardText"), std::vector<std::string>{hex(c.shown)});
        EXPECT_EQ(plistlibStrings(file, "savefontSizeApp"), std::vector<std::string>{"24"});
        EXPECT_EQ(NSUserDefaults::standardUserDefaults()->stringForKey("saveclipBoardText"), shown);
    }
}

TEST_F(StoredTextTest, ListsShowWhatTheyCanSaveAndSaveIt) {
    fs::create_directories(Sandbox::documents());
    const fs::path file = Sandbox::documents() / "notes.txt";
    for (const auto& c : cases()) {
        SCOPED_TRACE(c.what);
        writeFile(file, listFile(c));
        auto read = readStringArrayPlistFile(file.string());
        ASSERT_TRUE(read.entries) << read.why;
        EXPECT_EQ(*read.entries, StringArray{c.shown});
        EXPECT_EQ(read.replaced > 0, c.replaced);
        NSError error;
        ASSERT_TRUE(writeStringArrayPlist(file.string(), *read.entries, &error))
            << error.localizedDescription;
        EXPECT_EQ(plistlibStrings(file), std::vector<std::string>{hex(c.shown)});
        EXPECT_EQ(readStringArrayPlist(file.string()), read.entries);
    }
}

// The reader's cleaning and the writer's escaping check a text a word at a time where it is plain
// ASCII: every kind of byte that needs a closer look, at every place within and across a word,
// comes out as GLib decides it does.
TEST(StoredTextCheckTest, EveryPlaceOfEveryByteThatMattersIsJudgedAsGLibJudgesIt) {
    const std::vector<std::string> pieces{"\xC3\xA9",
                                          "\xE2\x82\xAC",
                                          "\xF0\x9F\x93\x8C",
                                          "\xEF\xBF\xBD",
                                          "\xEF\xBF\xBE",
                                          "\xEF\xBF\xBF",
                                          std::string(1, '\0'),
                                          "\x01",
                                          "\x1F",
                                          "\x7F",
                                          "\t",
                                          "\n",
                                          "\r",
                                          "&",
                                          "<",
                                          ">",
                                          "\x80",
                                          "\xBF",
                                          "\xC0\x80",
                                          "\xC1\xBF",
                                          "\xE0\x80\x80",
                                          "\xED\xA0\x80",
                                          "\xF4\x90\x80\x80",
                                          "\xF5\x80\x80\x80",
                                          "\xE2\x82",
                                          "\xF0\x9F\x93",
                                          "\xFF"};
    // What GLib reads at each place: a character, or a byte that is no UTF-8.
    auto expectedClean = [](const std::string& text, std::size_t& replaced) {
        std::string out;
        for (std::size_t i = 0; i < text.size();) {
            const gunichar c =
                g_utf8_get_char_validated(text.data() + i, static_cast<gssize>(text.size() - i));
            const bool bad = c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2);
            const std::size_t length =
                bad ? 1 : static_cast<std::size_t>(g_utf8_skip[static_cast<unsigned char>(text[i])]);
            if (bad || (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0xFFFE || c == 0xFFFF) {
                out += kFFFD;
                ++replaced;
            } else {
                out.append(text, i, length);
            }
            i += length;
        }
        return out;
    };
    auto expectedEscape = [](const std::string& text) {
        std::string out;
        for (char c : text)
            out += c == '&'    ? "&amp;"
                   : c == '<'  ? "&lt;"
                   : c == '>'  ? "&gt;"
                   : c == '\r' ? "&#13;"
                               : std::string(1, c);
        return out;
    };
    for (const auto& piece : pieces)
        for (std::size_t before = 0; before <= 17; ++before)
            for (std::size_t after : {0, 1, 7, 9}) {
                const std::string text = std::string(before, 'a') + piece + std::string(after, 'z');
                SCOPED_TRACE(hex(text));
                std::size_t replaced = 0, expectedReplaced = 0;
                const std::string clean = expectedClean(text, expectedReplaced);
                EXPECT_EQ(hex(storableText(text, &replaced)), hex(clean));
                EXPECT_EQ(replaced, expectedReplaced);
                std::string why;
                const auto escaped = xmlEscaped(text, &why);
                if (expectedReplaced == 0) {
                    ASSERT_TRUE(escaped) << why;
                    EXPECT_EQ(*escaped, expectedEscape(text));
                } else {
                    EXPECT_FALSE(escaped);
                    EXPECT_FALSE(why.empty());
                }
            }
}

} // namespace
