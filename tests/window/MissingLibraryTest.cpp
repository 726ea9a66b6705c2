// A library the program opens on first use that turns out missing or broken where it runs (here a
// library of the same name with nothing in it, first on LD_LIBRARY_PATH): the feature that needs
// it says it is not available, and the run goes on to end through its saves, keeping what was
// dictated before. The window, which cannot go on without its toolkit, ends through its saves too,
// naming the library.
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "platform/foundation/PropertyList.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/XvfbSession.h"

using namespace std::chrono_literals;
using quillora::test::ChildProcess;
using quillora::test::fileContent;

namespace {

class MissingLibraryTest : public quillora::test::PlatformTest {
protected:
    // A second of silence, mono, 16-bit, at `rate`.
    static void writeSilence(const std::filesystem::path& path, std::uint32_t rate) {
        const std::uint32_t bytes = rate * 2;
        std::ofstream out(path, std::ios::binary);
        auto word = [&](std::uint32_t value, int size) {
            for (int i = 0; i < size; ++i)
                out.put(static_cast<char>((value >> (8 * i)) & 0xff));
        };
        out << "RIFF";
        word(36 + bytes, 4);
        out << "WAVEfmt ";
        word(16, 4);
        word(1, 2);
        word(1, 2);
        word(rate, 4);
        word(rate * 2, 4);
        word(2, 2);
        word(16, 2);
        out << "data";
        word(bytes, 4);
        out << std::string(bytes, '\0');
    }
};

} // namespace

TEST_F(MissingLibraryTest, AFeatureWhoseLibraryIsMissingSaysSoAndTheRunEndsThroughItsSaves) {
    // Dictated into the notes screen first, whose list the end saves.
    const std::string dictated =
        "scripted\nmicrophone silence\nsegment segmentcontrol Notes\ntap recordButton\n"
        "final Hello there.\ntap recordButton\nwait 2\n";
    // Back on the main screen, whose English is no longer scripted: its record button records
    // with the speech engine.
    const std::string recordOnTheMainScreen =
        dictated + "scripted xx-XX\nsegment segmentcontrol Dictation\nwait 1\n";
    const auto fastMicrophone = home / "44100.wav";
    writeSilence(fastMicrophone, 44100);
    struct Case {
        const char* soname;
        std::vector<std::string> options;
        std::string script;
        int status;
        // What the person is shown (the program's output).
        std::string shown;
    };
    const Case cases[] = {
        {"libgmime-3.0.so.0",
         {},
         dictated +
             "tap FontDynamicButton\nwait 1\npress Feedback\nwait 2\nshow\nkey Return\nwait 1\nterminate\n",
         0,
         "alert title=\"Mail Not Available\" message=\"Mail cannot be written: "},
        {"libgstreamer-1.0.so.0",
         {},
         dictated + "tap FontDynamicButton\nwait 1\nshow\nterminate\n",
         0,
         "VideoPlayer(title: Video, status: failed, error: GStreamer cannot be used: "},
        {"librsvg-2.so.2",
         {},
         dictated + "tap FontDynamicButton\nwait 1\nsnapshot " + (home / "settings.png").string() +
             "\nterminate\n",
         0,
         "settings.png"},
        {"libpocketsphinx.so.3",
         {},
         recordOnTheMainScreen + "tap recordButton\nwait 2\nshow\nkey Return\nterminate\n",
         0,
         "alert title=\"Speech recognition cannot be used: "},
        {"libsamplerate.so.0",
         {},
         recordOnTheMainScreen + "microphone " + fastMicrophone.string() +
             "\ntap recordButton\nwait 2\nshow\nkey Return\nterminate\n",
         0,
         "alert title=\"Speech recognition cannot be used: "},
        {"libgtk-4.so.1", {"--window"}, "", 1, "quillora: the window cannot be opened without its toolkit: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.soname);
        const auto appHome = home / c.soname, log = home / (std::string(c.soname) + ".log");
        const auto script = home / (std::string(c.soname) + ".txt");
        std::ofstream(script) << c.script;
        std::vector<std::string> args = {QUILLORA_PROGRAM, "--home", appHome.string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        if (!c.script.empty()) args.insert(args.end(), {"run", script.string()});
        // A display named for the window, which never gets as far as opening it.
        ChildProcess program = ChildProcess::start(
            args,
            {{"LD_LIBRARY_PATH", std::string(QUILLORA_STUB_LIBRARIES) + "/" + c.soname}, {"DISPLAY", ":99"}},
            log.string());
        EXPECT_EQ(program.wait(300s), c.status) << fileContent(log);

        const std::string output = fileContent(log);
        const auto shown = output.find(c.shown);
        EXPECT_NE(shown, std::string::npos) << output;
        if (shown != std::string::npos && c.shown.back() == ' ') {
            EXPECT_NE(output.find(c.soname, shown), std::string::npos) << "the library is named: " << output;
        }
        const auto console = appHome / "Library" / "Logs" / "console.log";
        const std::string said = fileContent(console);
        const auto line = said.find("Library not available: ");
        EXPECT_NE(line, std::string::npos) << said;
        EXPECT_NE(said.find(c.soname, line == std::string::npos ? said.size() : line), std::string::npos)
            << said;
        EXPECT_EQ(quillora::test::occurrences(console, "app going to terminate"), 1u) << fileContent(console);
        if (c.script.empty()) continue;
        const auto rows = platform::readStringArrayPlist((appHome / "Documents" / "notesNVC.txt").string());
        ASSERT_TRUE(rows && !rows->empty()) << "the dictated text was not saved: " << fileContent(console);
        EXPECT_EQ(rows->front(), " Hello there.");
        EXPECT_EQ(std::count(rows->begin(), rows->end(), " Hello there."), 1);
    }
}
