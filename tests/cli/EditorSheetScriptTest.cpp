// The editor sheet in scripts, on every screen that opens it: what is typed there and not yet
// saved is kept when the application ends, and closing it leaves the screen as the window does.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli/Program.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/PlatformTest.h"

namespace {

class EditorSheetScriptTest : public quillora::test::PlatformTest {
protected:
    int runText(const std::string& text) {
        platform::resetSharedInstances();
        std::filesystem::remove_all(home / "Documents");
        std::filesystem::remove_all(home / "Library");
        const auto path = home / "script.txt";
        std::ofstream(path) << text;
        quillora::cli::Options options;
        options.home = home;
        options.clock = platform::RunLoop::kDefaultVirtualEpoch;
        options.script = path.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        return quillora::cli::runProgram(options, 1, argv);
    }

    // The stored transcript of the preferences; none when the file or the key is missing.
    std::optional<std::string> storedTranscript() const {
        const auto read =
            platform::readPlistFile((home / "Library" / "Preferences" / "com.quillora.app.plist").string());
        const auto* root =
            read.root ? std::get_if<platform::PlistValue::Dictionary>(&read.root->value) : nullptr;
        const auto* value = root ? root->find("saveclipBoardText") : nullptr;
        const auto* text = value ? std::get_if<std::string>(&value->value) : nullptr;
        return text ? std::optional<std::string>(*text) : std::nullopt;
    }
};

const std::string kDictated = "scripted\nmicrophone silence\ntap recordButton\nfinal Hello there.\n"
                              "tap recordButton\nwait 2\n";

} // namespace

// Ended with the editor up, each screen keeps the typed words as the editor's Save would: in its
// list's file (a detail screen in its entry's row) and in the stored transcript, once. A phrase
// being spoken meanwhile follows the edited text, once too.
TEST_F(EditorSheetScriptTest, TheEndKeepsWhatWasTypedInTheOpenEditorOnEveryScreen) {
    struct Screen {
        const char* name;
        // From the first screen to this one, its transcript (or entry) " Hello there.".
        std::string reach;
        const char* openEditor;
        const char* list;
    };
    const std::string notes = "segment segmentcontrol Notes\nwait 1\n",
                      recipe = "segment segmentcontrol Recipe\nwait 1\n",
                      entry = "tap SaveDynamicButton\nwait 1\nrow table 0\nwait 1\n";
    const Screen screens[] = {
        {"main", kDictated, "tap EditIndicatorButton", "notes.txt"},
        {"notes", notes + kDictated, "focus Clipboard", "notesNVC.txt"},
        {"recipe", recipe + kDictated, "tap EditIndicatorButton", "notesRVC.txt"},
        {"main entry", kDictated + entry, "tap textEditButtonTapped", "notes.txt"},
        {"notes entry", notes + kDictated + entry, "tap textEditButtonTapped", "notesNVC.txt"},
        {"recipe entry", recipe + kDictated + entry, "tap textEditButtonTapped", "notesRVC.txt"},
    };
    for (const auto& screen : screens)
        for (const bool speaking : {false, true}) {
            SCOPED_TRACE(std::string(screen.name) + (speaking ? ", a phrase being spoken" : ""));
            // A detail screen makes each phrase a paragraph; a dictation screen adds it after a blank.
            const bool entry = std::string(screen.name).find("entry") != std::string::npos;
            const std::string edited = " Hello there. Typed by hand.";
            const std::string expected = !speaking ? edited
                                         : entry   ? edited + "\nbeing said\n"
                                                   : edited + " being said";
            const std::string script =
                screen.reach + (speaking ? "tap recordButton\npartial being said\n" : "") +
                screen.openEditor + "\nwait 1\ntype Editor \" Typed by hand.\"\nterminate\n";
            ASSERT_EQ(runText(script), 0) << script;

            const auto rows = platform::readStringArrayPlist((home / "Documents" / screen.list).string());
            ASSERT_TRUE(rows) << "the end saved nothing";
            ASSERT_FALSE(rows->empty());
            EXPECT_EQ(rows->front(), expected) << testing::PrintToString(*rows);
            EXPECT_EQ(std::count(rows->begin(), rows->end(), expected), 1) << testing::PrintToString(*rows);
            EXPECT_EQ(std::count(rows->begin(), rows->end(), " Hello there."), 0)
                << "the text before the edit is no row of its own: " << testing::PrintToString(*rows);
            // The stored transcript is the editor's Save's: on a dictation screen with what was
            // dictated meanwhile, on a detail screen the edited entry (its row holds the rest).
            EXPECT_EQ(storedTranscript(), entry ? edited : expected);
        }
}

// On the screens with the keyboard overlay, the editor opened by touching the transcript takes the
// keyboard to its own text; saved or cancelled, the keyboard goes with it, and the record button is
// no longer covered, whether the screen is left and come back to or not.
TEST_F(EditorSheetScriptTest, ClosingTheEditorTakesTheKeyboardOverlayAwayFromTheRecordButton) {
    for (const char* screen : {"Notes", "Recipe"})
        for (const char* close : {"Save", "Cancel"})
            for (const bool away : {false, true}) {
                SCOPED_TRACE(std::string(screen) + ", " + close + (away ? ", switched away and back" : ""));
                const std::string open = std::string("segment segmentcontrol ") + screen + "\nwait 1\n";
                const std::string script = "scripted\nmicrophone silence\n" + open +
                                           "focus Clipboard\ntype Editor \"Typed.\"\npress " + close +
                                           "\nwait 1\n" +
                                           (away ? "segment segmentcontrol Dictation\nwait 1\n" + open : "") +
                                           "tap recordButton\nshow\n";
                EXPECT_EQ(runText(script), 0) << script;
                const auto lines = takeConsole();
                auto shown = [&](const std::string& name) {
                    const auto at = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
                        return l.rfind("  " + name + ": ", 0) == 0;
                    });
                    return at == lines.end() ? std::string("not shown") : *at;
                };
                EXPECT_NE(shown("recordButton").find("title=\"Stop recording\""), std::string::npos)
                    << "the tap started a run";
                const std::string text = std::string(close) == "Save" ? "Typed." : "";
                EXPECT_EQ(shown("Clipboard"),
                          "  Clipboard: UITextView text=\"" + text + "\" background=white");
                EXPECT_NE(shown("Clipboard_keyboard").find(" hidden"), std::string::npos);
            }
}
