// Files that a crash, a sync tool, another program or a person damaged or replaced: every reader
// refuses them at once, keeps them, and goes on; every writer writes a file another XML reader
// takes, through links, and leaves nothing of a killed write behind.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <plist/plist.h>

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/RegularFile.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/ActingAs.h"
#include "tests/support/DamagedPreferences.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/WorkMeter.h"

using namespace platform;
using quillora::test::Account;
using quillora::test::writeFile;
namespace fs = std::filesystem;

namespace {

class DamagedFileTest : public quillora::test::PlatformTest {
protected:
    std::string docs(const std::string& name) const { return (Sandbox::documents() / name).string(); }
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::string xmlList(const std::string& body, const std::string& declaration = "") {
        return declaration + "<plist version=\"1.0\"><array>" + body + "</array></plist>";
    }
};

// Runs a shell command; its standard output without the line end it closes with.
std::string shell(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        ::pclose(p);
    }
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

// `count` arrays, each holding the next: the shape that made libplist recurse off its stack.
std::string deepArrays(int count) {
    std::string out;
    out.reserve(count * 15);
    for (int i = 0; i < count; ++i)
        out += "<array>";
    for (int i = 0; i < count; ++i)
        out += "</array>";
    return out;
}
std::string deepXml(int count) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + deepArrays(count) +
           "</plist>";
}

// A binary property list of `count` arrays, each referring to the next (`fanOut` times), the last
// one empty; with `loop` the last refers back to the first.
std::string deepBinary(std::uint32_t count, int fanOut = 1, bool loop = false) {
    std::string out = "bplist00";
    std::vector<std::uint32_t> offsets;
    auto be = [&](std::uint64_t v, int n) {
        for (int i = n - 1; i >= 0; --i)
            out += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    for (std::uint32_t i = 0; i < count; ++i) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        bool last = i + 1 == count;
        int refs = last ? (loop ? 1 : 0) : fanOut;
        out += static_cast<char>(0xA0 | refs);
        for (int r = 0; r < refs; ++r)
            be(last ? 0 : i + 1, 4);
    }
    const std::uint64_t table = out.size();
    for (auto o : offsets)
        be(o, 4);
    out += std::string(6, '\0');
    out += static_cast<char>(4);
    out += static_cast<char>(4);
    be(count, 8);
    be(0, 8);
    be(table, 8);
    return out;
}

TEST_F(DamagedFileTest, APipeADeviceAFolderOrALinkLoopIsRefusedAtOnceAndKeptAside) {
    fs::create_directories(Sandbox::documents());
    struct Case {
        std::string what;
        std::function<void(const std::string&)> make;
        std::string why;
    };
    const std::vector<Case> cases{
        {"pipe", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         "is a pipe, not a file"},
        {"link to /dev/zero", [](const std::string& p) { fs::create_symlink("/dev/zero", p); },
         "is a device, not a file"},
        {"link to /dev/urandom", [](const std::string& p) { fs::create_symlink("/dev/urandom", p); },
         "is a device, not a file"},
        {"folder", [](const std::string& p) { fs::create_directories(p + "/inside"); },
         "is a folder, not a file"},
        {"link loop", [](const std::string& p) { fs::create_symlink(fs::path(p).filename(), p); },
         "is a loop of symbolic links"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = docs("notes.txt");
        fs::remove_all(path);
        c.make(path);
        // A reader that opened the pipe would wait for a writer for ever (the case's limit ends
        // it); one that read the device would have read its bytes.
        const quillora::test::WorkMeter meter;
        std::string why;
        EXPECT_EQ(NSFileManager::defaultManager().contentsAtPath(path, 1 << 20, &why), std::nullopt);
        EXPECT_EQ(why, c.why);
        auto list = readStringArrayPlistFile(path);
        EXPECT_FALSE(list.entries);
        EXPECT_FALSE(list.missing);
        EXPECT_EQ(list.why, "it " + c.why);
        EXPECT_LT(meter.bytesReadOnThisThread(), 4096u) << "refused by what it is, not by what it holds";

        // The same thing in place of the preferences: the store starts empty, the thing is kept
        // aside and the next save writes a new file.
        NSUserDefaults::resetStandardUserDefaults();
        fs::create_directories(Sandbox::preferences());
        const std::string prefs = (Sandbox::preferences() / "com.quillora.app.plist").string();
        fs::remove_all(prefs);
        for (auto& e : fs::directory_iterator(Sandbox::preferences()))
            fs::remove_all(e.path());
        c.make(prefs);
        auto defaults = NSUserDefaults::standardUserDefaults();
        EXPECT_FALSE(defaults->objectForKey("savefontSizeApp"));
        defaults->setInteger_forKey(18, "savefontSizeApp");
        EXPECT_TRUE(defaults->synchronize());
        int kept = 0;
        for (auto& e : fs::directory_iterator(Sandbox::preferences()))
            kept += e.path().filename().string().find(".corrupt-") != std::string::npos;
        EXPECT_EQ(kept, 1);
        EXPECT_EQ(NSUserDefaults::standardUserDefaults()->integerForKey("savefontSizeApp"), 18);
        NSUserDefaults::resetStandardUserDefaults();
        EXPECT_EQ(NSUserDefaults::standardUserDefaults()->integerForKey("savefontSizeApp"), 18) << "written";
    }
    // Too large for what is read: refused before its bytes are taken.
    writeFile(docs("big.txt"), std::string(5000, 'x'));
    std::string why;
    EXPECT_EQ(NSFileManager::defaultManager().contentsAtPath(docs("big.txt"), 4096, &why), std::nullopt);
    EXPECT_EQ(why, "is larger than the 4096 bytes it may hold");
    EXPECT_EQ(NSFileManager::defaultManager().contentsAtPath(docs("big.txt"), 5000)->size(), 5000u);
    EXPECT_EQ(NSFileManager::defaultManager().contentsAtPath(docs(std::string(300, 'n')), 4096, &why),
              std::nullopt);
    EXPECT_EQ(why, "has a name too long to open");
    auto missing = RegularFile::read(docs("none.txt"), 10);
    EXPECT_TRUE(missing.missing);
}

TEST_F(DamagedFileTest, PropertyListsNestedTooDeeplyAreRefusedBeforeAnyReaderRecursesIntoThem) {
    const int deep = 100000;
    struct Case {
        std::string what;
        std::string bytes;
        std::string why;
    };
    const std::vector<Case> cases{
        {"XML", deepXml(deep), "it is nested deeper than 128 levels"},
        {"binary", deepBinary(deep), "it is nested deeper than 128 levels"},
        {"binary loop", deepBinary(3, 1, true), "it is nested deeper than 128 levels"},
        {"binary fan-out", deepBinary(40, 2), "its objects refer to each other over and over"},
        {"XML as a value of a dictionary",
         "<plist version=\"1.0\"><dict><key>a</key>" + deepArrays(deep) + "</dict></plist>",
         "it is nested deeper than 128 levels"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(plistNestingProblem(c.bytes), c.why);
        // As a list: refused with a reason, no crash.
        writeFile(docs("notes.txt"), c.bytes);
        EXPECT_FALSE(readStringArrayPlist(docs("notes.txt")));
        // As the preferences: the store starts empty and the file is kept.
        NSUserDefaults::resetStandardUserDefaults();
        writeFile(Sandbox::preferences() / "com.quillora.app.plist", c.bytes);
        auto defaults = NSUserDefaults::standardUserDefaults();
        EXPECT_FALSE(defaults->objectForKey("a"));
        const auto prefs = Sandbox::preferences() / "com.quillora.app.plist";
        bool kept = false;
        for (auto& line : takeConsole()) {
            const std::string start =
                "Preferences file " + prefs.string() + " could not be read (" + c.why + "); kept aside as ";
            if (line.rfind(start, 0) == 0) kept = read(line.substr(start.size())) == c.bytes;
        }
        EXPECT_TRUE(kept) << "kept byte for byte where the console says";
        NSUserDefaults::resetStandardUserDefaults();
        for (auto& e : fs::directory_iterator(Sandbox::preferences()))
            fs::remove_all(e.path());
    }
    // Nesting the application writes is read as before.
    EXPECT_EQ(plistNestingProblem(deepXml(100)), std::nullopt);
    EXPECT_EQ(plistNestingProblem(deepBinary(100)), std::nullopt);
}

// Small binary files whose references unfold into far more than they hold, beside files of the
// same shapes read whole: the memory a read takes stays in proportion to the file's size, and
// what would take more is refused, and kept aside with the alert as the preferences.
TEST_F(DamagedFileTest, ReadingAFileTakesMemoryInProportionToItsSizeWhateverItsReferencesSay) {
    using quillora::test::selfReferencingArray;
    using quillora::test::sharedStringList;
    const std::string loop = "its objects refer to each other over and over";
    const std::string unfolds =
        "it refers to its objects so often that reading it would take more than 8 times its size";
    StringArray distinct;
    for (int i = 0; i < 1000; ++i)
        distinct.push_back(std::to_string(i) + std::string(1000, 'x'));
    fs::create_directories(Sandbox::documents());
    ASSERT_TRUE(writeStringArrayPlist(docs("distinct.txt"), distinct));
    struct Case {
        std::string what;
        std::string bytes;
        std::string why; // none when it is read whole
        std::size_t entries;
    };
    const std::vector<Case> cases{
        {"an array holding itself 100,000 times", selfReferencingArray(100000), loop, 0},
        {"an array holding itself 1,000,000 times", selfReferencingArray(1000000), loop, 0},
        {"a string of 100,000 letters referred to 1,000 times", sharedStringList(100000, 1000), unfolds, 0},
        {"a string of 1,000,000 letters referred to 1,000 times", sharedStringList(1000000, 1000), unfolds,
         0},
        {"a string of 100 letters referred to 1,000 times", sharedStringList(100, 1000), "", 1000},
        {"1,000 strings of 1,000 letters", read(docs("distinct.txt")), "", 1000},
    };
    // What the process holds besides: the allocator's own pages, a sanitizer's shadow of what it
    // hands out, the console and the store.
    constexpr std::size_t kAround = std::size_t(8) << 20;
    const fs::path prefs = Sandbox::preferences() / "com.quillora.app.plist";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::size_t bound = kReadCostFactor * c.bytes.size() + kReadCostAllowance + kAround;
        writeFile(docs("notes.txt"), c.bytes);
        ASSERT_TRUE(quillora::test::resetPeakResident());
        std::size_t before = quillora::test::resident();
        auto list = readStringArrayPlistFile(docs("notes.txt"));
        EXPECT_LT(quillora::test::peakResident() - before, bound) << "as a list";
        EXPECT_EQ(list.why, c.why);
        EXPECT_EQ(list.entries ? list.entries->size() : 0, c.entries);
        EXPECT_TRUE(list.salvaged.empty()) << "copies of one object are no entries before damage";
        list = {};

        NSUserDefaults::resetStandardUserDefaults();
        fs::remove_all(Sandbox::preferences());
        writeFile(prefs, c.bytes);
        std::string message;
        auto observer = std::make_shared<int>();
        NSNotificationCenter::defaultCenter().addObserver(
            observer, NSUserDefaultsFileDamagedNotification,
            [&](const NSNotification& n) { message = n.stringForKey("message").value_or(""); });
        ASSERT_TRUE(quillora::test::resetPeakResident());
        before = quillora::test::resident();
        auto defaults = NSUserDefaults::standardUserDefaults();
        EXPECT_LT(quillora::test::peakResident() - before, bound) << "as the preferences";
        runUntilIdle();
        // None of them is a dictionary of settings: all are kept aside, with the reason.
        EXPECT_FALSE(fs::exists(prefs));
        const std::string why = c.why.empty() ? "it is not a dictionary" : c.why;
        EXPECT_NE(message.find(" could not be read: " + why + ". Its bytes are kept in "), std::string::npos)
            << message;
        NSUserDefaults::resetStandardUserDefaults();
    }
}

TEST_F(DamagedFileTest, EveryValidXmlListIsReadExactly) {
    const std::string pin = "\xF0\x9F\x93\x8C";
    struct Case {
        std::string what;
        std::string bytes;
        StringArray entries;
    };
    auto utf16 = [](const std::string& ascii, bool little, bool bom) {
        std::string out = bom ? (little ? "\xFF\xFE" : "\xFE\xFF") : "";
        for (char c : ascii) {
            out += little ? std::string{c, '\0'} : std::string{'\0', c};
        }
        return out;
    };
    const std::string declared16 = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>";
    const std::vector<Case> cases{
        {"CDATA",
         xmlList("<string><![CDATA[Fish & chips <hot>]]></string><string>a<![CDATA[&]]>b</string>"),
         {"Fish & chips <hot>", "a&b"}},
        {"character references",
         xmlList("<string>one&#13;two&#xD;&#10;three&#x1F4CC;&#65;</string><string>&quot;&apos;</string>"),
         {"one\rtwo\r\nthree" + pin + "A", "\"'"}},
        {"raw line ends", xmlList("<string>a\r\nb\rc</string>"), {"a\nb\nc"}},
        {"byte-order mark", "\xEF\xBB\xBF" + xmlList("<string>caf\xC3\xA9</string>"), {"caf\xC3\xA9"}},
        {"UTF-16LE", utf16(declared16 + xmlList("<string>hi</string>"), true, true), {"hi"}},
        {"UTF-16BE", utf16(declared16 + xmlList("<string>hi</string>"), false, true), {"hi"}},
        {"UTF-16LE without a mark", utf16(declared16 + xmlList("<string>hi</string>"), true, false), {"hi"}},
        {"ISO-8859-1",
         xmlList("<string>caf\xE9</string>", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"),
         {"caf\xC3\xA9"}},
        {"comments, doctype, empty strings",
         "<?xml version='1.0'?><!DOCTYPE plist [<!ELEMENT plist ANY>]><!-- a > b -->"
         "<plist version='1.0'><array><!-- x --><string/><string></string><string>z</string></array></plist>",
         {"", "", "z"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto read = parseStringArrayPlist(c.bytes);
        EXPECT_EQ(read.entries, c.entries) << read.why;
    }
}

TEST_F(DamagedFileTest, ACutOrZeroFilledListGivesBackItsCompleteEntries) {
    fs::create_directories(Sandbox::documents());
    ASSERT_TRUE(writeStringArrayPlist(docs("notes.txt"), {"first", "second & more", "third"}));
    const std::string whole = read(docs("notes.txt"));
    const auto third = whole.find("third");
    struct Case {
        std::string what;
        std::string bytes;
        StringArray salvaged;
    };
    const std::vector<Case> cases{
        {"cut inside the third entry", whole.substr(0, third + 2), {"first", "second & more"}},
        {"cut inside an entity", whole.substr(0, whole.find("&amp;") + 3), {"first"}},
        {"cut after the last entry",
         whole.substr(0, whole.find("</array>")),
         {"first", "second & more", "third"}},
        {"zeros where the tail was",
         whole.substr(0, third) + std::string(4096, '\0'),
         {"first", "second & more"}},
        {"cut before any entry", whole.substr(0, whole.find("<array>") + 3), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto read = parseStringArrayPlist(c.bytes);
        EXPECT_FALSE(read.entries);
        EXPECT_EQ(read.salvaged, c.salvaged) << read.why;
    }
    // A list with an element of the wrong kind gives back its other entries, and says what it left out.
    auto mixed = parseStringArrayPlist(xmlList("<string>a</string><integer>1</integer><string>b</string>"));
    EXPECT_FALSE(mixed.entries);
    EXPECT_EQ(mixed.salvaged, (StringArray{"a", "b"}));
    EXPECT_EQ(mixed.leftOut, "element 1 (a number)");
}

TEST_F(DamagedFileTest,
       WrittenListsAreXmlThatAnotherReaderReadsBackAndWhatXmlCannotCarryIsStoredAsReplacementCharacters) {
    fs::create_directories(Sandbox::documents());
    const std::string path = docs("notes.txt");
    const StringArray entries{
        "carriage\rreturn\r\n", "a&b<c>d]]>e",         "tab\there", "caf\xC3\xA9 \xF0\x9F\x93\x8C", "",
        "  spaced  ",           "del \x7F c1 \xC2\x85"};
    ASSERT_TRUE(writeStringArrayPlist(path, entries));
    EXPECT_EQ(readStringArrayPlist(path), entries);
    // xmllint is another XML reader: the file is well-formed, and each string is what was saved.
    EXPECT_EQ(shell("xmllint --noout '" + path + "' 2>&1; echo $?"), "0");
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(shell("xmllint --xpath 'string(/plist/array/string[" + std::to_string(i + 1) + "])' '" +
                        path + "'"),
                  entries[i]);
    }
    // And libplist, another property-list reader, too.
    plist_t root = nullptr;
    const std::string bytes = read(path);
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    ASSERT_TRUE(root);
    EXPECT_EQ(plist_array_get_size(root), entries.size());
    plist_free(root);

    // What a list file cannot carry is stored as U+FFFD, as the reader cleans it and the
    // preferences store it: one for each byte that is no UTF-8 or control character, one for a
    // non-character.
    struct Stored {
        std::string entry;
        std::string reads;
        std::size_t replaced;
    };
    const std::vector<Stored> stored{
        {std::string("a\0b", 3), "a\uFFFDb", 1},
        {"bell \x07, form \x0C feed, \x1B[1m", "bell \uFFFD, form \uFFFD feed, \uFFFD[1m", 3},
        {"bad \xC3( \xFF\xFE", "bad \uFFFD( \uFFFD\uFFFD", 3},
        {"not \xEF\xBF\xBF &\xEF\xBF\xBE<", "not \uFFFD &\uFFFD<", 2},
        {"cut \xF0\x9F\x93", "cut \uFFFD\uFFFD\uFFFD", 3},
    };
    for (const auto& c : stored) {
        SCOPED_TRACE(c.reads);
        std::size_t replaced = 0;
        NSError error;
        ASSERT_TRUE(writeStringArrayPlist(path, {"fine", c.entry}, &error, &replaced))
            << error.localizedDescription;
        EXPECT_EQ(replaced, c.replaced);
        EXPECT_EQ(storableText(c.entry), c.reads) << "the reader's cleaning, the same";
        auto read = readStringArrayPlistFile(path);
        EXPECT_EQ(read.entries, (StringArray{"fine", c.reads}));
        EXPECT_EQ(read.replaced, 0u) << "nothing left to clean";
        EXPECT_EQ(shell("xmllint --noout '" + path + "' 2>&1; echo $?"), "0");
    }

    // The preferences, written by the same writer, are XML that reads back too.
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObject_forKey("line\r\nend & <more>", "saveclipBoardText");
    ASSERT_TRUE(defaults->synchronize());
    const std::string prefs = (Sandbox::preferences() / "com.quillora.app.plist").string();
    EXPECT_EQ(shell("xmllint --noout '" + prefs + "' 2>&1; echo $?"), "0");
    EXPECT_EQ(shell("xmllint --xpath 'string(/plist/dict/string[1])' '" + prefs + "'"),
              "line\r\nend & <more>");
    NSUserDefaults::resetStandardUserDefaults();
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->stringForKey("saveclipBoardText"),
              "line\r\nend & <more>");
    // What the file cannot carry is stored as U+FFFD, and the settings go on being saved.
    NSUserDefaults::standardUserDefaults()->setObject_forKey("bell \x07", "saveclipBoardText");
    EXPECT_TRUE(NSUserDefaults::standardUserDefaults()->synchronize());
    EXPECT_TRUE(consoleHas("A value set for saveclipBoardText held 1 character that cannot be saved; it is "
                           "stored as U+FFFD"));
    EXPECT_EQ(shell("xmllint --noout '" + prefs + "' 2>&1; echo $?"), "0");
    NSUserDefaults::resetStandardUserDefaults();
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->stringForKey("saveclipBoardText"), "bell \uFFFD");
}

TEST_F(DamagedFileTest, WritesGoThroughSymbolicLinksAndLeaveNoTemporaryFileOfAKilledWrite) {
    auto& fm = NSFileManager::defaultManager();
    fs::create_directories(Sandbox::documents());
    fs::create_directories(home / "synced");
    const std::string target = (home / "synced" / "notes.txt").string();
    const std::string link = docs("notes.txt");
    struct Case {
        std::string what;
        std::function<void()> make;
    };
    const std::vector<Case> cases{
        {"absolute link", [&] { fs::create_symlink(target, link); }},
        {"relative link", [&] { fs::create_symlink("../synced/notes.txt", link); }},
        {"chain of links",
         [&] {
             fs::create_symlink(target, docs("middle"));
             fs::create_symlink("middle", link);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(link);
        fs::remove(docs("middle"));
        fs::remove(target);
        c.make();
        // Dangling at first: the write creates the target.
        ASSERT_TRUE(writeStringArrayPlist(link, {"one"}));
        ASSERT_TRUE(writeStringArrayPlist(link, {"two", "one"}));
        EXPECT_TRUE(fs::is_symlink(link)) << "the link stays";
        EXPECT_EQ(readStringArrayPlist(target), (StringArray{"two", "one"}));
    }
    // A loop is refused, and left as it is.
    fs::remove(link);
    fs::create_symlink("notes.txt", link);
    NSError error;
    EXPECT_FALSE(writeStringArrayPlist(link, {"x"}, &error));
    EXPECT_NE(error.localizedDescription.find("symbolic links"), std::string::npos)
        << error.localizedDescription;
    EXPECT_TRUE(fs::is_symlink(link));

    // A write killed half-way leaves its temporary file beside the file it writes; the next write
    // of that file removes it, and nothing else: not what another program left there in the same
    // fashion (the folder behind a link is another program's too), nor what another account's
    // copy of ours left. A name as long as a name may be fares alike.
    const auto other = Account::nobody();
    for (const std::string& name : {std::string("notes.txt"), std::string(251, 'n') + ".txt"}) {
        SCOPED_TRACE(name.size());
        const fs::path synced = home / "synced";
        fs::remove_all(synced);
        fs::create_directories(synced);
        fs::remove(link);
        fs::create_symlink(synced / name, link);
        const pid_t killed = fork();
        if (killed == 0) {
            fm.writeAtomically(link, [](const NSFileManager::BytesWriter& write) -> std::optional<NSError> {
                write("half of it");
                _exit(0);
            });
            _exit(1);
        }
        int status = -1;
        ASSERT_EQ(waitpid(killed, &status, 0), killed);
        std::vector<fs::path> left;
        for (const auto& entry : fs::directory_iterator(synced))
            left.push_back(entry.path());
        ASSERT_EQ(left.size(), 1u) << "the killed write left its temporary file";
        const fs::path ours = left.front();
        std::vector<fs::path> kept;
        for (const auto& keep : {"." + name + ".tmp-AbC123", "." + name + ".tmp-AbC123.keep",
                                 std::string(".other.txt.tmp-AbC123")})
            if (keep.size() <= 255) kept.push_back(synced / keep);
        kept.push_back(ours.string().substr(0, ours.string().size() - 6) + "ZzZzZz");
        for (const auto& path : kept)
            writeFile(path, "not the killed write's");
        const bool otherAccount = other && geteuid() == 0;
        if (otherAccount) {
            ASSERT_EQ(::chown(kept.back().c_str(), other->uid, other->gid), 0);
        }
        ASSERT_EQ(fm.writeAtomically(link, "new"), std::nullopt);
        EXPECT_EQ(fm.contentsAtPath(link), std::optional<std::string>("new"));
        EXPECT_FALSE(fs::exists(ours)) << "the killed write's file stays";
        for (const auto& path : kept) {
            if (path == kept.back() && !otherAccount) continue;
            EXPECT_TRUE(fs::exists(path)) << path << " was removed";
        }
    }
}

} // namespace
