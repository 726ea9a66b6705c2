// Mutations of the committed seeds fed to every reader of files a person or another program can
// damage: list files, preferences, the data files, sound files given as the microphone. No input
// may crash a reader, make it hang or take unbounded memory (the sanitizers watch), or change the
// file it read. QUILLORA_FUZZ_RUNS and QUILLORA_FUZZ_SEED set the number of inputs and the seed.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/avfaudio/AVAudioInputSource.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/DamagedPreferences.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/WorkMeter.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t runs(std::size_t fallback) {
    const char* value = std::getenv("QUILLORA_FUZZ_RUNS");
    return value ? std::strtoul(value, nullptr, 10) : fallback;
}

unsigned seed() {
    const char* value = std::getenv("QUILLORA_FUZZ_SEED");
    return value ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : 23u;
}

class Mutator {
public:
    explicit Mutator(std::vector<std::string> seeds, unsigned seed)
        : seeds_(std::move(seeds)), random_(seed) {}

    std::string next() {
        std::string s = seeds_[pick(seeds_.size())];
        for (int steps = 1 + static_cast<int>(pick(6)); steps > 0; --steps)
            mutate(s);
        return s;
    }

private:
    std::size_t pick(std::size_t n) {
        return n ? std::uniform_int_distribution<std::size_t>(0, n - 1)(random_) : 0;
    }

    void mutate(std::string& s) {
        static const std::vector<std::string> tokens{
            "<array>", "</array>", "<string>", "</string>", "<dict>", "<key>", "<![CDATA[", "]]>", "&#",
            "&#x10FFFF;", "&amp", "<!--", "-->", "<?xml", "encoding=\"UTF-16\"", "encoding=\"ISO-8859-1\"",
            std::string(1, '\0'), "\xFF\xFE", "\xEF\xBB\xBF", "bplist00", "\xFF\xFF\xFF\xFF",
            "\x7F\xFF\xFF\xFF", "\xAF", "\xDF", "\x0F", "RIFF", "data", "fmt ",
            // What hid deep nesting from a check that
            // read XML unlike the parser after it.
            "<!DOCTYPE p '>", "'>", "<?>", "<? ?>", "<plist x='>", "<!DOCTYPE plist [", "]>",
            "<array><array><array><array><array><array>", "\x01", "&#1;", "\xED\xA0\x80", "\xD8\x00"};
        const std::size_t at = pick(s.size() + 1);
        switch (pick(9)) {
        case 0: // flip a bit
            if (!s.empty()) s[pick(s.size())] ^= static_cast<char>(1 << pick(8));
            break;
        case 1: // a random byte
            if (!s.empty()) s[pick(s.size())] = static_cast<char>(pick(256));
            break;
        case 2: // a token
            s.insert(at, tokens[pick(tokens.size())]);
            break;
        case 3: // cut the tail
            s.resize(at);
            break;
        case 4: { // drop a range
            std::size_t n = pick(std::min<std::size_t>(64, s.size() - std::min(at, s.size())) + 1);
            s.erase(std::min(at, s.size()), n);
            break;
        }
        case 5: { // repeat a range
            if (s.empty()) break;
            std::size_t from = pick(s.size());
            std::string piece = s.substr(from, 1 + pick(32));
            for (std::size_t times = 1 + pick(64); times > 0; --times)
                s.insert(at, piece);
            break;
        }
        case 6: { // another seed's piece
            const std::string& other = seeds_[pick(seeds_.size())];
            std::size_t from = pick(other.size());
            s.insert(at, other.substr(from, pick(other.size() - from + 1)));
            break;
        }
        case 7: // a header word: sizes, rates and counts
            if (s.size() >= 4) {
                std::size_t p = pick(std::min<std::size_t>(s.size() - 3, 64));
                std::uint32_t v =
                    pick(2) ? 0xFFFFFFFFu >> pick(32) : static_cast<std::uint32_t>(pick(100000));
                for (int i = 0; i < 4; ++i)
                    s[p + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
            }
            break;
        default: // whitespace and markup characters
            s.insert(at, std::string(1, "<>&;/\"' \r\n\t"[pick(11)]));
        }
    }

    std::vector<std::string> seeds_;
    std::mt19937 random_;
};

class ReaderFuzzTest : public quillora::test::PlatformTest {
protected:
    std::vector<std::string> seeds(const std::string& prefix) {
        std::vector<std::string> out;
        fs::path folder = fs::path(std::getenv("QUILLORA_SOURCE") ? std::getenv("QUILLORA_SOURCE") : ".") /
                          "tests" / "fuzz" / "seeds";
        std::vector<fs::path> files;
        for (auto& e : fs::directory_iterator(folder))
            if (e.path().filename().string().rfind(prefix, 0) == 0) files.push_back(e.path());
        std::sort(files.begin(), files.end());
        for (auto& f : files)
            out.push_back(readAll(f));
        EXPECT_FALSE(out.empty()) << "no seeds " << prefix << " in " << folder;
        return out;
    }

    // Runs `reader` over mutated seeds; each input is written to `file` first and must take less
    // than a few seconds of processor time (a reader gone quadratic takes minutes).
    template <class Reader>
    void fuzz(const std::string& prefix, std::size_t count, const fs::path& file, Reader reader) {
        Mutator mutator(seeds(prefix), seed());
        fs::create_directories(file.parent_path());
        for (std::size_t i = 0; i < count; ++i) {
            std::string input = mutator.next();
            std::ofstream(file, std::ios::binary | std::ios::trunc) << input;
            const quillora::test::WorkMeter meter;
            reader(input);
            ASSERT_LT(meter.processorSeconds(), 5) << prefix << " input " << i << " took too long";
            if (HasFailure()) {
                std::ofstream(fs::path(::testing::TempDir()) / ("fuzz-failure-" + prefix), std::ios::binary)
                    << input;
                FAIL() << prefix << " input " << i << " failed; kept in " << ::testing::TempDir();
            }
        }
    }
};

TEST_F(ReaderFuzzTest, ListFilesAreReadWhollyOrRefusedAndNeverChanged) {
    const fs::path file = Sandbox::documents() / "notes.txt";
    std::size_t read = 0;
    fuzz("list", runs(1500), file, [&](const std::string& input) {
        auto list = readStringArrayPlistFile(file.string());
        EXPECT_EQ(readAll(file), input) << "reading changes nothing";
        if (!list.entries) {
            EXPECT_FALSE(list.why.empty());
            return;
        }
        // What was read whole is written back as a file that reads the same (every few: each
        // write waits for the disk).
        // Whatever was read can be saved: what the writer refuses was cleaned as it was read.
        NSError error;
        if (read++ % 8 == 0) {
            EXPECT_TRUE(
                writeStringArrayPlist((Sandbox::documents() / "copy.txt").string(), *list.entries, &error))
                << error.localizedDescription;
            EXPECT_EQ(readStringArrayPlist((Sandbox::documents() / "copy.txt").string()), list.entries);
        }
    });
    EXPECT_GT(read, 0u) << "some mutations stay lists";
}

TEST_F(ReaderFuzzTest, PreferencesAreReadOrKeptAsideAndTheStoreGoesOn) {
    const fs::path file = Sandbox::preferences() / "com.quillora.app.plist";
    std::size_t count = 0;
    fuzz("prefs", runs(800), file, [&](const std::string& input) {
        NSUserDefaults::resetStandardUserDefaults();
        auto defaults = NSUserDefaults::standardUserDefaults();
        // Every typed read of a key, whatever the file held under it.
        for (const char* key :
             {"savefontSizeApp", "saveclipBoardText", "speed", "flag", "SavedEssay", "list"}) {
            (void)defaults->integerForKey(key);
            (void)defaults->doubleForKey(key);
            (void)defaults->boolForKey(key);
            (void)defaults->stringForKey(key);
            (void)defaults->arrayForKey(key);
            (void)defaults->dictionaryForKey(key);
        }
        // The file is either still there as it was, or kept aside byte for byte.
        bool kept = fs::exists(file) && readAll(file) == input;
        for (auto& e : fs::directory_iterator(Sandbox::preferences())) {
            if (e.path().filename().string().find(".corrupt-") == std::string::npos) continue;
            kept |= readAll(e.path()) == input;
            fs::remove(e.path());
        }
        EXPECT_TRUE(kept);
        // Settings never stop being saved, whatever the file held.
        if (count++ % 16 == 0) {
            defaults->setInteger_forKey(20, "savefontSizeApp");
            EXPECT_TRUE(defaults->synchronize());
            NSUserDefaults::resetStandardUserDefaults();
            EXPECT_EQ(NSUserDefaults::standardUserDefaults()->integerForKey("savefontSizeApp"), 20);
        }
        NSUserDefaults::resetStandardUserDefaults();
    });
}

TEST_F(ReaderFuzzTest, PreferencesReadAreWrittenBackAsTheyWereRead) {
    // The preferences' seeds, and the shapes that once hid deep nesting, made shallow enough for
    // mutations to reach around them.
    auto inputs = seeds("prefs");
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    const std::string deep = quillora::test::deeplyNestedDictionary(140);
    for (const auto& wrapped : {head + "<!DOCTYPE p '>\n<plist version=\"1.0\">" + deep + "</plist>\n'>\n",
                                head + "<?>\n<plist version=\"1.0\">" + deep + "</plist>\n<? ?>\n",
                                head + "<plist x='>" + deep + "'>\n</plist>\n",
                                head + "<plist version=\"1.0\">" + deep + "</plist>\n",
                                quillora::test::escapedTranscriptPreferences(300)})
        inputs.push_back(wrapped);
    Mutator mutator(inputs, seed());
    std::size_t whole = 0;
    for (std::size_t i = 0, count = runs(3000); i < count; ++i) {
        const std::string input = mutator.next();
        const quillora::test::WorkMeter meter;
        auto read = parsePlist(input);
        for (const auto* value :
             {read.root ? &*read.root : nullptr, read.salvaged ? &*read.salvaged : nullptr}) {
            if (!value) continue;
            // What was read (or recovered) is written, and reads back the same.
            std::string why;
            auto written = plistXml(*value, &why);
            ASSERT_TRUE(written) << why;
            auto again = parsePlist(*written);
            ASSERT_TRUE(again.root) << again.why;
            EXPECT_EQ(plistXml(*again.root), written) << "read back as it was written";
            EXPECT_EQ(again.replaced, 0u);
        }
        whole += read.root.has_value();
        ASSERT_LT(meter.processorSeconds(), 5);
        if (HasFailure()) {
            std::ofstream(fs::path(::testing::TempDir()) / "fuzz-failure-prefs-reader", std::ios::binary)
                << input;
            FAIL() << "input " << i << " failed; kept in " << ::testing::TempDir();
        }
    }
    EXPECT_GT(whole, 0u);
}

TEST_F(ReaderFuzzTest, DataFilesAreReadWithinTheirBound) {
    const fs::path file = Sandbox::documents() / "datafile.dat";
    fuzz("datafile", runs(300), file, [&](const std::string& input) {
        auto bytes = NSFileManager::defaultManager().contentsAtPath(file.string(), 1 << 20);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(*bytes, input);
    });
}

TEST_F(ReaderFuzzTest, SoundFilesAreHeardOrRefusedWithTheirReason) {
    const fs::path file = Sandbox::documents() / "sound.wav";
    fuzz("sound", runs(400), file, [&](const std::string&) {
        std::optional<NSError> error;
        auto input = AVAudioInputSource::file(file, &error);
        if (!input) {
            ASSERT_TRUE(error);
            EXPECT_FALSE(error->localizedDescription.empty());
            return;
        }
        ASSERT_FALSE(input->open());
        auto format = input->format();
        // A tenth of a second, as the engine's tap takes it.
        AVAudioPCMBuffer buffer(format, static_cast<std::uint32_t>(format.sampleRate() / 10) + 1);
        for (int i = 0; i < 3; ++i)
            input->read(buffer);
        input->close();
    });
}

} // namespace
