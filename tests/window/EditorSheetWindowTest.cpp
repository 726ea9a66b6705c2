// The editor sheet in the window, used with the mouse and the keys: words typed there and not yet
// saved when the program is ended are in the list and the preferences after it has gone, and on
// the screens with the keyboard overlay, closing the editor leaves the screen a script finds.
#include <signal.h>

#include <sstream>

#include "tests/support/WindowManagerMessages.h"
#include "tests/window/WindowTest.h"

namespace {

class EditorSheetWindowTest : public WindowTest {
protected:
    // The stored preferences of a data folder.
    static std::string preferences(const std::filesystem::path& appHome) {
        return readFile(appHome / "Library" / "Preferences" / "com.quillora.app.plist");
    }
};

std::string centre(const platform::CGRect& r) {
    std::ostringstream out;
    out << r.midX() << " " << r.midY();
    return out.str();
}

} // namespace

// Dictated, then edited in the sheet a click on the transcript opens, and ended while the sheet is
// up: by the desktop's signal or by the window system destroying the window.
TEST_F(EditorSheetWindowTest, WordsTypedInTheOpenEditorAreSavedWhenTheProgramIsEnded) {
    struct Case {
        const char* name;
        std::function<bool(ChildProcess&, const std::string&)> end;
    };
    const Case cases[] = {
        {"signal", [](ChildProcess& app, const std::string&) { return kill(app.pid(), SIGTERM) == 0; }},
        {"destroyed",
         [&](ChildProcess&, const std::string& id) {
             return xdotool({"windowclose", id}).has_value();
         }},
    };
    Controls controls;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto appHome = home / c.name;
        ChildProcess app;
        std::string id;
        std::pair<int, int> size;
        ASSERT_NO_FATAL_FAILURE(startDictating(app, appHome, controls, id, size));
        clickAndSettle(id, size, controls.recordButton);
        ASSERT_GT(controls.editorText.width(), 0) << "the editor sheet was not laid out";
        clickAndSettle(id, size, controls.transcript, 0.9, 0.05);
        clickAndSettle(id, size, controls.editorText, 0.5, 0.3);
        andSettle(id, [&] { ASSERT_TRUE(x_->type(" typed by hand")); });

        ASSERT_TRUE(c.end(app, id));
        const auto rows = expectEndedThroughItsSaves(app.wait(60s), appHome);
        if (rows.empty()) return;
        const std::string& row = rows.front();
        const auto typed = row.find(" typed by hand");
        ASSERT_NE(typed, std::string::npos) << "the typed words are in the list: " << row;
        EXPECT_EQ(row.find(" typed by hand", typed + 1), std::string::npos) << row;
        EXPECT_GE(typed, 5u) << "after the dictated clip: " << row;
        EXPECT_NE(preferences(appHome).find("<string>" + row + "</string>"), std::string::npos)
            << "the edited transcript is stored: " << preferences(appHome);
    }
}

// The route of the scripts on the notes and recipe screens: a click on the transcript opens the
// editor (and the keyboard overlay), typing goes into the editor, Save or Cancel closes it. The
// window then shows what the script's screen shows, the overlay gone, and a click on the record
// button starts a run.
TEST_F(EditorSheetWindowTest, AfterTheEditorTheWindowShowsTheScriptsScreenAndTheRecordButtonTakesTheClick) {
    const auto found = places("frame segmentcontrol\nsegment segmentcontrol Notes\nwait 1\nplace Clipboard\n"
                              "place recordButton\nfocus Clipboard\nwait 1\nplace Editor\nplace Save\n"
                              "place Cancel\n");
    ASSERT_EQ(found.size(), 6u) << "places found: " << found.size();
    const auto& bar = found.at("frame segmentcontrol");
    const auto segment = [&](int index) {
        return platform::CGRect{bar.minX() + bar.width() * index / 3, bar.minY(), bar.width() / 3,
                                bar.height()};
    };
    // The recipe screen lays out its transcript, record button and editor as the notes screen does.
    struct Route {
        const char* picture;
        int segment;
        const char* close;
    };
    const Route routes[] = {{"notes-saved", 1, "Save"}, {"recipe-cancelled", 2, "Cancel"}};
    std::string script = "scripted\nmicrophone silence\n";
    for (const auto& r : routes)
        script += std::string("tap ") + centre(segment(r.segment)) + "\nwait 1\ntap " +
                  centre(found.at("Clipboard")) + "\ntype Editor \"Typed.\"\npress " + r.close +
                  "\nwait 1\npicture " + r.picture + "\ntap recordButton\nwait 1\ntap recordButton\nwait 3\n";

    ChildProcess app = launch(home / "app", "silence");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora");
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    drawScreens(script, size.first, size.second);
    waitForFirstScreen(id);
    for (const auto& r : routes) {
        SCOPED_TRACE(r.picture);
        clickAndSettle(id, size, segment(r.segment));
        clickAndSettle(id, size, found.at("Clipboard"));
        clickAndSettle(id, size, found.at("Editor"), 0.5, 0.3);
        andSettle(id, [&] { ASSERT_TRUE(x_->type("Typed.")); });
        click(id, size, found.at(r.close));
        const auto comparison = waitForPicture(id, home / (std::string(r.picture) + ".png"));
        EXPECT_TRUE(comparison.matches) << comparison.message;

        const std::size_t ticks = printed("Timer running");
        click(id, size, found.at("recordButton"));
        EXPECT_TRUE(waitForPrinted("Timer running", ticks, 10s)) << "the click started no run";
        clickAndSettle(id, size, found.at("recordButton"));
        ASSERT_TRUE(x_->waitUntilStill(id));
    }
    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(20s), 0) << readFile(home / "app.log");
}
