// A library the program opens on first use that turns out missing or broken where it runs (here a
// library of the same name with nothing in it, first on LD_LIBRARY_PATH): the feature that needs
// it says it is not available, and the run goes on to end through its saves, keeping what was
// dictated before. The window, which cannot go on without its toolkit, ends through its saves too,
// naming the library.
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/foundation/PropertyList.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/SilentWav.h"
#include "tests/support/XvfbSession.h"

using namespace std::chrono_literals;
using quillora::test::ChildProcess;
using quillora::test::fileContent;

namespace {

class MissingLibraryTest : public quillora::test::PlatformTest {};

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
    quillora::test::writeSilentWav(fastMicrophone, 44100);
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

// The record button greyed for want of a library names it, on every dictation screen; a microphone
// whose audio needs no missing library still records, each screen appending what it heard.
TEST_F(MissingLibraryTest, AGreyedRecordButtonNamesTheMissingLibraryAndAMicrophoneThatNeedsNoneStillRecords) {
    const auto fast = home / "44100.wav";
    quillora::test::writeSilentWav(fast, 44100);
    // Spoken at 16 kHz, recognition's own rate.
    const auto spoken =
        quillora::test::sourceTree() / "tests" / "support" / "speech" / "red-circle-buy-bread.flac";
    const char* const screens[] = {"Dictation", "Notes", "Recipe"};
    struct Case {
        const char* soname;
        bool nativeRateRecords;
    };
    const Case cases[] = {
        {"libpocketsphinx.so.3", false},
        {"libsphinxbase.so.3", false},
        {"libsamplerate.so.0", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.soname);
        // A screen whose recognition is gone says so again as it appears.
        const std::string arrive = "show\n" + std::string(c.nativeRateRecords ? "" : "key Return\nwait 1\n");
        // The first screen records from the 44.1 kHz microphone and fails; every screen is shown
        // with it, then with the 16 kHz one, recording the phrase there when its button is given.
        std::string script = "scripted xx-XX\nmicrophone " + fast.string() +
                             "\ntap recordButton\nwait 2\nshow\nkey Return\nwait 1\n";
        for (const char* screen : {"Notes", "Recipe"})
            script += std::string("segment segmentcontrol ") + screen + "\nwait 1\n" + arrive;
        for (const char* screen : screens) {
            script += std::string("segment segmentcontrol ") + screen + "\nwait 1\nmicrophone " +
                      spoken.string() + "\n" + arrive;
            if (c.nativeRateRecords) script += "tap recordButton\nwait 4\ntap recordButton\nwait 3\nshow\n";
        }
        script += "terminate\n";
        const auto appHome = home / c.soname, log = home / (std::string(c.soname) + ".log");
        const auto file = home / (std::string(c.soname) + ".txt");
        std::ofstream(file) << script;
        ChildProcess program = ChildProcess::start(
            {QUILLORA_PROGRAM, "--home", appHome.string(), "run", file.string()},
            {{"LD_LIBRARY_PATH", std::string(QUILLORA_STUB_LIBRARIES) + "/" + c.soname}}, log.string());
        EXPECT_EQ(program.wait(300s), 0) << fileContent(log);
        const std::string output = fileContent(log);
        EXPECT_NE(output.find("alert title=\"Speech recognition cannot be used: "), std::string::npos)
            << output;

        // Each screen's record button and what its transcript holds, in the order shown.
        std::vector<std::string> buttons, transcripts;
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with("  recordButton: ")) buttons.push_back(line);
            if (line.starts_with("  Clipboard: ")) transcripts.push_back(line);
        }
        const std::string greyed = "title=\"No " + std::string(c.soname) + "\"";
        const std::size_t shows = c.nativeRateRecords ? 9 : 6;
        ASSERT_EQ(buttons.size(), shows) << output;
        ASSERT_EQ(transcripts.size(), shows) << output;
        for (std::size_t i = 0; i < shows; ++i) {
            SCOPED_TRACE(buttons[i]);
            // The 44.1 kHz microphone's three screens, then each screen with the 16 kHz one (and,
            // where it records, after its recording).
            const bool greyedHere = i < 3 || !c.nativeRateRecords;
            EXPECT_EQ(buttons[i].find(greyed) != std::string::npos, greyedHere);
            EXPECT_EQ(buttons[i].ends_with(" disabled"), greyedHere);
            const bool recordedHere = c.nativeRateRecords && i >= 3 && (i - 3) % 2 == 1;
            EXPECT_EQ(transcripts[i].find(" buy ") != std::string::npos, recordedHere) << transcripts[i];
        }
    }
}
