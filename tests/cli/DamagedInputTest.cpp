// Names and files a person can hand the program that are no sound file or no script: each is
// refused with its reason, on its line, and the program neither aborts nor waits.
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "cli/Program.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/DamagedPreferences.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/WorkMeter.h"

using namespace quillora::cli;
namespace fs = std::filesystem;

namespace {

class DamagedInputTest : public quillora::test::PlatformTest {
protected:
    int run(const fs::path& script) {
        // Each run is a fresh start of the program.
        platform::resetSharedInstances();
        Options options;
        options.home = home;
        options.script = script.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        return runProgram(options, 1, argv);
    }
};

TEST_F(DamagedInputTest, SoundNamesThatCannotBeOpenedFailTheirLineWithTheReason) {
    fs::create_symlink("loop.wav", home / "loop.wav");
    // 16 kHz mono, but a header that claims 2^31-1 samples a second.
    std::string wav = "RIFF";
    auto le = [&](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            wav += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    le(36 + 3200, 4);
    wav += "WAVEfmt ";
    le(16, 4);
    le(1, 2);
    le(1, 2);
    le(0x7FFFFFFF, 4);
    le(0xFFFFFFFE, 4);
    le(2, 2);
    le(16, 2);
    wav += "data";
    le(3200, 4);
    wav += std::string(3200, '\0');
    std::ofstream(home / "fast.wav", std::ios::binary) << wav;
    ASSERT_EQ(::mkfifo((home / "pipe.wav").c_str(), 0600), 0);
    struct Case {
        std::string line, reason;
    };
    const std::vector<Case> cases{
        {"speak " + std::string(300, 'a') + ".wav", "File name too long"},
        {"microphone " + (home / "loop.wav").string(), "Too many levels of symbolic links"},
        {"speak " + (home / "fast.wav").string(),
         "its sample rate of 2147483647 Hz is outside 1000-768000 Hz"},
        {"microphone " + (home / "pipe.wav").string(), "it is not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::ofstream(home / "script.txt") << c.line << "\n";
        testing::internal::CaptureStderr();
        EXPECT_NE(run(home / "script.txt"), 0);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("cannot play"), std::string::npos) << err;
        EXPECT_NE(err.find(c.reason), std::string::npos) << err;
    }
}

TEST_F(DamagedInputTest, AScriptThatIsNoFileIsRefusedAtOnceWithItsReason) {
    fs::create_directories(home / "folder");
    ASSERT_EQ(::mkfifo((home / "pipe").c_str(), 0600), 0);
    struct Case {
        fs::path script;
        std::string reason;
    };
    for (const auto& c :
         {Case{home / "folder", "it is a folder, not a file"},
          Case{home / "pipe", "it is a pipe, not a file"}, Case{home / "missing", "it is missing"}}) {
        SCOPED_TRACE(c.script);
        testing::internal::CaptureStderr();
        EXPECT_EQ(run(c.script), 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "quillora: cannot read the script '" + c.script.string() + "': " + c.reason + "\n");
    }
}

TEST_F(DamagedInputTest, AStoredPhotoThatIsAPipeIsLeftOutAndNothingWaits) {
    // A pipe where the stored photo should be: the forms and their PDFs go on without it.
    ASSERT_EQ(::mkfifo((home / "photo.jpg").c_str(), 0600), 0);
    fs::create_directories(home / "Library" / "Preferences");
    std::ofstream(home / "Library" / "Preferences" / "com.quillora.app.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
           "\t<key>SaveImageData</key>\n\t<string>"
        << (home / "photo.jpg").string() << "</string>\n</dict>\n</plist>\n";
    std::ofstream(home / "script.txt")
        << "tap StickyDynamicButton\npress Modern Report\npress Preview\nwait 1\n"
           "tap PreviewButton\ntap CancelButton\ntap CancelButton\n";
    Options options;
    options.home = home;
    options.script = (home / "script.txt").string();
    char name[] = "quillora";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(runProgram(options, 1, argv), 0);
    const auto tmp = home / "tmp";
    bool printed = false;
    for (const auto& entry : fs::directory_iterator(tmp))
        printed |= entry.path().extension() == ".pdf" && fs::file_size(entry.path()) > 0;
    EXPECT_TRUE(printed) << "the report is printed without its photo";
    EXPECT_TRUE(fs::is_fifo(home / "photo.jpg"));
}

TEST_F(DamagedInputTest, PreferencesThatCrashedOrStalledEveryStartAreKeptAsideOrReadAtOnce) {
    const fs::path prefs = home / "Library" / "Preferences" / "com.quillora.app.plist";
    std::ofstream(home / "script.txt") << "show\n";
    auto start = [&]() {
        takeConsole();
        const quillora::test::WorkMeter meter;
        EXPECT_EQ(run(home / "script.txt"), 0);
        const double took = meter.processorSeconds();
        std::string shown;
        for (const auto& line : takeConsole())
            shown += line + "\n";
        return std::make_pair(took, shown);
    };
    // A start on no preferences at all: what the file may add to its processor time is measured
    // against it. The largest input adds about a second under the sanitizers (the release program
    // starts on each in under 0.2 s) and a reader that stalled a minute; processor time does not
    // grow with the machine's load as a clock does, and the bound leaves room for what shared
    // caches take from it.
    const double plain = start().first;
    for (const auto& input : quillora::test::damagedPreferences()) {
        SCOPED_TRACE(input.name);
        fs::remove_all(prefs.parent_path());
        fs::create_directories(prefs.parent_path());
        std::ofstream(prefs, std::ios::binary) << input.bytes;
        const auto [took, shown] = start();
        EXPECT_LT(took, plain + 15);
        std::vector<fs::path> aside;
        for (const auto& e : fs::directory_iterator(prefs.parent_path()))
            if (e.path().filename().string().find(".corrupt-") != std::string::npos)
                aside.push_back(e.path());
        if (!input.damaged) {
            EXPECT_TRUE(aside.empty());
            EXPECT_EQ(shown.find("Settings damaged"), std::string::npos);
            continue;
        }
        ASSERT_EQ(aside.size(), 1u);
        std::ifstream in(aside.front(), std::ios::binary);
        EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == input.bytes)
            << "kept byte for byte";
        EXPECT_NE(shown.find("presented UIAlertController alert title=\"Settings damaged\""),
                  std::string::npos)
            << shown;
        EXPECT_NE(shown.find("Its bytes are kept in \u201C" + aside.front().string() + "\u201D"),
                  std::string::npos);
        // The settings the start wrote are a file that reads again.
        EXPECT_EQ(run(home / "script.txt"), 0);
        EXPECT_EQ(std::distance(fs::directory_iterator(prefs.parent_path()), fs::directory_iterator()), 2);
    }
}

} // namespace
