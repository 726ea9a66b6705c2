// The program's window on a virtual X display, used the way a person uses it: xdotool clicks where
// the renderer draws the controls and types on the keyboard; the window closes as a window manager
// closes it. Fails, with the reason, where no virtual display or window manager can start:
// `make test` installs them, so their absence is a broken set-up, not a reason to pass.
#include <cairo.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/InstanceLock.h"
#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "platform/desktop/DesktopWindow.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/messageui/MailService.h"
#include "platform/swiftui/HostingView.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/Actionability.h"
#include "platform/uikit/KeyboardInput.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/ScrollInput.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/webkit/HTMLDocument.h"
#include "platform/webkit/WKWebView.h"
#include "tests/support/DamagedPreferences.h"
#include "tests/support/ImageCompare.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/WindowManagerMessages.h"
#include "tests/support/XvfbSession.h"
#include "tests/window/ProgramHere.h"
#include "tests/window/WindowTest.h"

using namespace std::chrono_literals;
using quillora::test::ChildProcess;
using quillora::test::kHangLimit;

TEST_F(WindowTest, APersonDictatesTypesSavesAndClosesAndTheWindowShowsWhatTheRendererDraws) {
    const auto appHome = home / "app";
    ChildProcess app = launch(appHome);
    ASSERT_GT(app.pid(), 0);

    const std::string id = window("Quillora");
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    const auto [width, height] = size;
    ASSERT_GT(width, 100);
    ASSERT_GT(height, 100);

    // Idle, the window shows the first screen as the renderer draws it.
    const auto expected = home / "expected.png";
    const Controls controls = firstScreen(width, height, expected);
    ASSERT_GT(controls.recordButton.width(), 0);
    const auto comparison = waitForPicture(id, expected);
    EXPECT_TRUE(comparison.matches) << comparison.message;

    auto click = [&](const platform::CGRect& r, double dx = 0.5, double dy = 0.5) {
        this->click(id, size, r, dx, dy);
    };

    // Record the clip; once its words have ended a recognition task (the console, copied to the
    // log with --console, says the next one starts), stop.
    click(controls.recordButton);
    EXPECT_TRUE(waitForPrinted("start recodring again ", 0))
        << "the clip never ended a task: " << readFile(home / "app.log");
    clickAndSettle(id, size, controls.recordButton);

    // A touch on the transcript opens the editor sheet; the words typed there reach the
    // transcript when the editor's Save is pressed.
    ASSERT_GT(controls.editorText.width(), 0) << "the editor sheet was not laid out";
    ASSERT_GT(controls.editorSave.width(), 0);
    clickAndSettle(id, size, controls.transcript, 0.9, 0.05);
    clickAndSettle(id, size, controls.editorText, 0.5, 0.3);
    andSettle(id, [&] { ASSERT_TRUE(x_->type(" typed by hand")); });
    clickAndSettle(id, size, controls.editorSave);
    const std::size_t saved = printed("in Note function");
    click(controls.save);
    EXPECT_TRUE(waitForPrinted("in Note function", saved)) << readFile(home / "app.log");

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");

    // The first row is the transcript with the typed words after what was dictated. Recognition
    // of the clip is not asserted word for word: a loaded machine may hear it a little differently.
    const std::string list = readFile(appHome / "Documents" / "notes.txt");
    const auto row = list.find("<string>"), typed = list.find(" typed by hand</string>");
    ASSERT_NE(row, std::string::npos) << list;
    ASSERT_NE(typed, std::string::npos) << "the typed words end the saved transcript: " << list;
    std::string dictated = list.substr(row + 8, typed - row - 8);
    dictated.erase(0, dictated.find_first_not_of(' '));
    EXPECT_GE(dictated.size(), 5u) << "the dictated clip is in the list: " << list;
    const std::string preferences = [&] {
        for (const auto& entry : std::filesystem::directory_iterator(appHome / "Library" / "Preferences"))
            return readFile(entry.path());
        return std::string();
    }();
    EXPECT_NE(preferences.find(dictated + " typed by hand"), std::string::npos)
        << "the edited transcript is stored: " << preferences;
    EXPECT_TRUE(std::filesystem::exists(appHome / "Library" / "Logs" / "console.log"));
}

TEST_F(WindowTest,
       MinimisedTheApplicationGoesToTheBackgroundAndComesBackRestoredButLosingTheFocusStopsNothing) {
    std::string why;
    if (!startWindowManager(why)) FAIL() << why;
    ChildProcess app = launch(home / "app");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora", true);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    const auto expected = home / "expected.png";
    const Controls controls = firstScreen(size.first, size.second, expected);
    ASSERT_GT(controls.recordButton.width(), 0);
    const auto comparison = waitForPicture(id, expected);
    ASSERT_TRUE(comparison.matches) << comparison.message;

    // Dictating: the countdown ticks each second.
    const std::string tick = "Timer running", active = "app become active",
                      background = "App moved to background!",
                      stopped = "APP moved to background , stopped AUDIO engine";
    const std::size_t activations = printed(active);
    click(id, size, controls.recordButton);
    ASSERT_TRUE(waitForPrinted(tick, printed(tick)))
        << "no dictation started: " << readFile(home / "app.log");

    // Another window takes the focus; the dictation goes on.
    ChildProcess other = ChildProcess::start({"xlogo"}, env_, (home / "xlogo.log").string());
    const std::string otherId = window("xlogo", true);
    ASSERT_FALSE(otherId.empty()) << readFile(home / "xlogo.log");
    ASSERT_TRUE(xdotool({"windowactivate", "--sync", otherId}));
    EXPECT_EQ(xdotool({"getactivewindow"}).value_or(""), otherId + "\n");
    const std::size_t ticks = printed(tick);
    EXPECT_TRUE(waitForPrinted(tick, ticks + 1)) << "the countdown stopped with the focus";
    EXPECT_EQ(printed(background), 0u) << readFile(home / "app.log");

    // Minimised, the application goes to the background, which stops the running dictation.
    ASSERT_TRUE(xdotool({"windowminimize", "--sync", id}));
    EXPECT_TRUE(waitForPrinted(stopped, 0)) << readFile(home / "app.log");
    EXPECT_EQ(printed(background), 1u);
    EXPECT_TRUE(window("Quillora", true, 0ms).empty()) << "the minimised window is still shown";

    // Restored, it is the active application again.
    ASSERT_TRUE(xdotool({"windowactivate", "--sync", id}));
    EXPECT_TRUE(waitForPrinted(active, activations)) << readFile(home / "app.log");
    EXPECT_EQ(window("Quillora", true), id);
    EXPECT_EQ(printed(background), 1u);

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

TEST_F(WindowTest, ReturnClosesAOneButtonAlertAndEscapePressesAnActionSheetsCancel) {
    // No capture device here: a touch on the record button gives the one-button "no input
    // device" alert.
    ChildProcess app = launch(home / "app", "device");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora");
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    const auto expected = home / "expected.png";
    const Controls controls = firstScreen(size.first, size.second, expected);
    ASSERT_TRUE(waitForPicture(id, expected).matches);
    const auto at = places("place CommandsButton\n");
    ASSERT_EQ(at.count("CommandsButton"), 1u);
    drawScreens("microphone device\ntap recordButton\nwait 1\npicture alert\nalert \"OK \"\nwait 1\n"
                "picture answered\n",
                size.first, size.second);

    click(id, size, controls.recordButton);
    auto comparison = waitForPicture(id, home / "alert.png");
    ASSERT_TRUE(comparison.matches) << "no alert came: " << comparison.message;
    ASSERT_TRUE(xdotool({"key", "--clearmodifiers", "Return"}));
    comparison = waitForPicture(id, home / "answered.png");
    EXPECT_TRUE(comparison.matches) << "Return left the alert: " << comparison.message;

    // The commands' action sheet has several actions and a cancel: Escape presses the cancel.
    const std::string dismissed = "User click Dismiss button";
    clickAndSettle(id, size, at.at("CommandsButton"));
    ASSERT_TRUE(x_->key("Escape"));
    EXPECT_TRUE(waitForPrinted(dismissed, 0)) << readFile(home / "app.log");
    comparison = waitForPicture(id, home / "answered.png");
    EXPECT_TRUE(comparison.matches) << "Escape left the action sheet: " << comparison.message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

TEST_F(WindowTest, TheDesktopNamesTheWindowItKeepsHalfThePhoneAndASecondStartBringsItForward) {
    if (!quillora::test::installed("xprop")) FAIL() << "the window test needs xprop, which is not installed";
    std::string why;
    if (!startWindowManager(why)) FAIL() << why;
    const auto appHome = home / "app";
    ChildProcess app = launch(appHome);
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora", true);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");

    // The desktop names and groups it by the application's id, and shows its icon.
    const std::string properties = tool({"xprop", "-id", id, "WM_CLASS", "_NET_WM_ICON"}).value_or("");
    EXPECT_NE(properties.find("WM_CLASS(STRING) = \"com.quillora.app\", \"com.quillora.app\""),
              std::string::npos)
        << properties.substr(0, 300);
    EXPECT_NE(properties.find("Icon ("), std::string::npos) << properties.substr(0, 300);

    // A person cannot make it smaller than half the phone's screen.
    ASSERT_TRUE(xdotool({"windowsize", "--sync", id, "60", "60"}));
    ASSERT_TRUE(x_->waitUntilStill(id));
    const auto [width, height] = windowSize(id);
    EXPECT_GE(width, 195);
    EXPECT_GE(height, 422);

    // Minimised, then started again on the same folder: the running window comes forward, and
    // the second start writes nothing (its log would start the first one's afresh).
    ASSERT_TRUE(xdotool({"windowminimize", "--sync", id}));
    ASSERT_TRUE(waitForPrinted("App moved to background!", 0)) << readFile(home / "app.log");
    // What going to the background writes (the preferences) is written once the files stop changing.
    auto before = filesIn(appHome);
    int unchanged = 0;
    quillora::test::waitUntil(
        [&] {
            auto now = filesIn(appHome);
            unchanged = now == before ? unchanged + 1 : 0;
            before = std::move(now);
            return unchanged >= 8;
        },
        kHangLimit);
    const std::size_t activations = printed("app become active");
    ChildProcess second = ChildProcess::start({QUILLORA_PROGRAM, "--window", "--home", appHome.string()},
                                              env_, (home / "second.log").string());
    EXPECT_EQ(second.wait(kHangLimit), 0) << readFile(home / "second.log");
    EXPECT_EQ(readFile(home / "second.log"),
              "Quillora is already open on " + appHome.string() + ": its window is brought forward.\n");
    EXPECT_TRUE(waitForPrinted("app become active", activations)) << readFile(home / "app.log");
    EXPECT_EQ(window("Quillora", true), id) << "the window is not shown again";
    EXPECT_EQ(xdotool({"getactivewindow"}).value_or(""), id + "\n");
    EXPECT_EQ(window("Quillora", false), id) << "a second window opened";

    // A script on the folder would write the same files: it is refused, and writes nothing.
    ChildProcess script = ChildProcess::start({QUILLORA_PROGRAM, "--home", appHome.string(), "run", "-"},
                                              env_, (home / "script.log").string());
    EXPECT_EQ(script.wait(kHangLimit), 1);
    EXPECT_NE(readFile(home / "script.log").find("the script would write the same files"), std::string::npos)
        << readFile(home / "script.log");
    const auto after = filesIn(appHome);
    for (const auto& [path, content] : before) {
        ASSERT_TRUE(after.count(path)) << path << " went";
        // Only the running program's own log grows.
        if (path == "Library/Logs/console.log")
            EXPECT_EQ(after.at(path).substr(0, content.size()), content)
                << "the running program's log was replaced";
        else
            EXPECT_EQ(after.at(path), content) << path << " changed";
    }
    EXPECT_EQ(after.size(), before.size());

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

TEST_F(WindowTest, SharingAPDFOpensThePrintDialogAndSavesThroughTheFileChooser) {
    std::string why;
    if (!startWindowManager(why)) FAIL() << why;
    ChildProcess app = launch(home / "app");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora", true);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    const auto expected = home / "expected.png";
    firstScreen(size.first, size.second, expected);
    const auto comparison = waitForPicture(id, expected);
    ASSERT_TRUE(comparison.matches) << comparison.message;

    // The gallery's notes form makes a PDF, which its screen shares.
    const auto at = places("place StickyDynamicButton\n"
                           "tap StickyDynamicButton\nwait 1\nplace Notes\n"
                           "press Notes\nwait 1\nplace Preview\n"
                           "press Preview\nwait 2\nplace SharePDFButton\n"
                           "tap SharePDFButton\nwait 1\nplace Print\nplace Save to Files\n");
    ASSERT_EQ(at.size(), 6u);
    clickAndSettle(id, size, at.at("StickyDynamicButton"));
    clickAndSettle(id, size, at.at("Notes"));
    click(id, size, at.at("Preview"));
    ASSERT_TRUE(waitForPrinted("PDF location: ", 0)) << readFile(home / "app.log");
    ASSERT_TRUE(x_->waitUntilStill(id));

    // Each dialog opens over the window, is answered on the keyboard and goes.
    auto dialog = [&](const char* row, const std::string& title, const std::vector<std::string>& typed,
                      const std::string& key) {
        // The first click after a dialog has gone acts: the press whose release opened the dialog
        // leaves nothing behind that would make the next click count as a drag.
        const auto before = home / "before-share.png";
        ASSERT_TRUE(x_->capture(id, before));
        click(id, size, at.at("SharePDFButton"));
        ASSERT_TRUE(x_->waitForChange(id, before)) << "the first click after a dialog did nothing";
        click(id, size, at.at(row));
        const std::string shown = window(title, true);
        ASSERT_FALSE(shown.empty()) << "no dialog titled " << title
                                    << " opened: " << readFile(home / "app.log");
        ASSERT_TRUE(xdotool({"windowactivate", "--sync", shown}));
        if (!typed.empty()) {
            std::vector<std::string> typing{"type", "--delay", "5"};
            typing.insert(typing.end(), typed.begin(), typed.end());
            ASSERT_TRUE(x_->key("ctrl+a"));
            ASSERT_TRUE(xdotool(typing));
        }
        ASSERT_TRUE(x_->key(key));
        EXPECT_TRUE(x_->windowGone(title)) << "the dialog titled " << title << " stayed";
        ASSERT_TRUE(xdotool({"windowactivate", "--sync", id}));
        ASSERT_TRUE(x_->waitUntilStill(id));
    };
    // Escape: the activity is not completed (the save below is the only completion).
    dialog("Print", ".*_Document\\.pdf", {}, "Escape");

    // A path typed over the suggested name: the PDF is saved there, and the activity completed.
    const auto saved = home / "saved.pdf";
    dialog("Save to Files", "Save", {saved.string()}, "Return");
    EXPECT_TRUE(waitForPrinted("completed", 0)) << readFile(home / "app.log");
    EXPECT_EQ(printed("completed"), 1u) << "the cancelled print completed: " << readFile(home / "app.log");
    EXPECT_EQ(readFile(saved).rfind("%PDF", 0), 0u) << "no PDF saved at " << saved;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

namespace {

// One thing a person does at the window, which a script does the same way headless: a click (a
// touch at a point of the screen), a key with its modifiers, typed text, or a pause.
struct Act {
    enum Kind { click, key, type, pause } kind;
    std::string what;
    platform::CGPoint at;
};

Act clickAt(platform::CGPoint at) {
    return {Act::click, "", at};
}
Act key(const std::string& combo) {
    return {Act::key, combo, {}};
}
Act typing(const std::string& text) {
    return {Act::type, text, {}};
}
Act waitAMoment() {
    return {Act::pause, "", {}};
}

class WindowEditingTest : public WindowTest {
protected:
    // The acts as a script: `type` goes to the text `typedInto`.
    static std::string script(const std::vector<Act>& acts, const std::string& typedInto) {
        std::ostringstream out;
        for (const Act& act : acts) {
            switch (act.kind) {
            case Act::click:
                out << "tap " << act.at.x << " " << act.at.y << "\n";
                break;
            case Act::key:
                out << "key " << act.what << "\n";
                break;
            case Act::type:
                out << "type " << typedInto << " \"" << act.what << "\"\n";
                break;
            case Act::pause:
                out << "wait 1.5\n";
                break;
            }
        }
        return out.str();
    }

    // Runs `text` headless in `dir`, then draws the screen as the window of `size` shows it.
    void headless(const std::string& text, const std::filesystem::path& dir, std::pair<int, int> size,
                  const std::filesystem::path& picture) {
        auto extend = [&](quillora::cli::ScriptInterpreter& interpreter) {
            interpreter.addCommand(
                "frame", "frame", [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                    cairo_surface_t* surface =
                        cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.first, size.second);
                    cairo_t* cr = cairo_create(surface);
                    platform::DesktopWindow::drawFrame(cr, size.first, size.second);
                    cairo_destroy(cr);
                    cairo_surface_write_to_png(surface, picture.c_str());
                    cairo_surface_destroy(surface);
                });
        };
        // The text of a text view, or of a declarative field by its label, as it is at the end.
        interpreterText_.clear();
        auto withText = [&, extend](quillora::cli::ScriptInterpreter& interpreter) {
            extend(interpreter);
            interpreter.addCommand(
                "textof", "textof NAME",
                [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine& line) {
                    const std::string name = line.textAfter(0);
                    for (auto screen : platform::ScreenRenderer::presentationChain()) {
                        if (auto nav = std::dynamic_pointer_cast<platform::UINavigationController>(screen))
                            screen = nav->topViewController();
                        if (auto view =
                                std::dynamic_pointer_cast<platform::UITextView>(screen->outletNamed(name)))
                            interpreterText_ = view->text();
                        if (auto hosting =
                                std::dynamic_pointer_cast<platform::swiftui::UIHostingController>(screen))
                            if (auto field =
                                    hosting->host()->tree().find([&](const platform::swiftui::Node& n) {
                                        return n.setText && n.label() == name;
                                    }))
                                interpreterText_ = field->getText();
                    }
                });
        };
        EXPECT_EQ(quillora::test::runProgramHere(dir, text + "frame\n", withText), 0) << text;
    }
    std::string interpreterText_;

    // Does the acts at the window with the mouse and the keyboard.
    void act(const std::string& id, std::pair<int, int> size, const std::vector<Act>& acts) {
        for (const Act& a : acts) {
            switch (a.kind) {
            case Act::click:
                clickAndSettle(id, size, {a.at.x - 1, a.at.y - 1, 2, 2});
                break;
            case Act::key:
                // Keys reach the window in the order they are pressed: nothing to wait for.
                ASSERT_TRUE(x_->key(a.what));
                break;
            case Act::type:
                andSettle(id, [&] { ASSERT_TRUE(x_->type(a.what)); });
                break;
            case Act::pause:
                ASSERT_TRUE(x_->waitUntilStill(id));
                break;
            }
        }
    }

    // The stored preferences of a data folder.
    static std::string preferences(const std::filesystem::path& appHome) {
        for (const auto& entry : std::filesystem::directory_iterator(appHome / "Library" / "Preferences"))
            return readFile(entry.path());
        return {};
    }

    // Opens the window, finds the controls headless, does `acts` there and headless, and expects
    // the window to show what the headless screen shows. Returns the window's id and size.
    struct Opened {
        ChildProcess app;
        std::string id;
        std::pair<int, int> size;
    };
    Opened open(const std::filesystem::path& appHome) {
        Opened o;
        o.app = launch(appHome);
        o.id = window("Quillora");
        EXPECT_FALSE(o.id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
        if (!o.id.empty()) {
            o.size = windowSize(o.id);
            waitForFirstScreen(o.id);
        }
        return o;
    }
};

// A point `across` of the way over the first line of the text in `editor` (a place on the screen).
platform::CGPoint intoFirstLine(const platform::CGRect& editor, double across, double inset) {
    return {editor.minX() + editor.width() * across, editor.minY() + inset};
}

} // namespace

TEST_F(WindowEditingTest, InTheEditorSheetAClickShiftArrowsTypingUndoAndReturnEditTheMiddleOfTheTranscript) {
    const auto appHome = home / "app";
    Opened window = open(appHome);
    ASSERT_FALSE(window.id.empty());

    // The transcript's place, then the editor it opens.
    const auto first = places("place Clipboard\n");
    ASSERT_EQ(first.size(), 1u);
    const platform::CGPoint transcript{first.at("Clipboard").midX(), first.at("Clipboard").midY()};
    std::ostringstream reach;
    reach << "tap " << transcript.x << " " << transcript.y << "\nwait 1.5\nplace Editor\nplace Save\n";
    const auto sheet = places(reach.str());
    ASSERT_EQ(sheet.size(), 2u);
    const platform::CGPoint middle = intoFirstLine(sheet.at("Editor"), 0.3, 18);
    const std::string original = "The hen laid an egg and the fox ran off with it.";
    const std::vector<Act> acts = {
        clickAt(transcript), waitAMoment(),      clickAt(middle),    key("ctrl+a"),
        typing(original),    waitAMoment(),      clickAt(middle),    key("shift+Right"),
        key("shift+Right"),  key("shift+Right"), key("shift+Right"), key("shift+Right"),
        typing("WORD"),      key("ctrl+z"),      key("Right"),       key("Return")};
    const auto expected = home / "expected.png";
    headless(script(acts, "Editor") + "press Save\nwait 1\n", home / "headless", window.size, expected);
    // What the headless run stored: the five characters after the click are back, and a new line
    // follows them, in the middle of the text.
    const std::string stored = preferences(home / "headless");
    const auto newline = stored.find("\n", stored.find(original.substr(0, 3)));
    ASSERT_NE(newline, std::string::npos) << stored;

    act(window.id, window.size, acts);
    click(window.id, window.size, {sheet.at("Save").midX() - 1, sheet.at("Save").midY() - 1, 2, 2});
    const auto comparison = waitForPicture(window.id, expected);
    EXPECT_TRUE(comparison.matches) << comparison.message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(window.id)));
    EXPECT_EQ(window.app.wait(kHangLimit), 0) << readFile(home / "app.log");
    // The window stored the same edited text as the headless run: the transcript and
    // saveclipBoardText.
    const std::string edited = [&] {
        const auto at = stored.find("<key>saveclipBoardText</key>");
        const auto start = stored.find("<string>", at) + 8;
        return stored.substr(start, stored.find("</string>", start) - start);
    }();
    EXPECT_NE(edited.find("\n"), std::string::npos);
    EXPECT_EQ(edited.find("WORD"), std::string::npos) << "undone";
    EXPECT_LT(edited.find("\n"), edited.size() - 5) << "the new line is in the middle: " << edited;
    EXPECT_NE(preferences(appHome).find("<string>" + edited + "</string>"), std::string::npos)
        << preferences(appHome);
}

TEST_F(WindowEditingTest, AFormsTextFieldAndTheRecipeTextViewEditAlikeWithTheMouseAndKeys) {
    const std::string original = "Harbour walk notes for Monday";
    auto mend = [&](platform::CGPoint into) {
        return std::vector<Act>{clickAt(into),      key("ctrl+a"),      typing(original),
                                waitAMoment(),      clickAt(into),      key("shift+Right"),
                                key("shift+Right"), key("shift+Right"), key("shift+Right"),
                                key("shift+Right"), typing("WORD"),     key("ctrl+z"),
                                key("Right"),       typing("!")};
    };
    // Each screen: how it is reached (headless places first), the text's name, the acts.
    struct Screen {
        std::string name;
        std::vector<Act> acts;
        std::string typedInto;
        std::string textName;
    };
    std::vector<Screen> screens;
    {
        const auto gallery =
            places("place StickyDynamicButton\ntap StickyDynamicButton\nwait 1.5\nplace Notes\n"
                   "press Notes\nwait 1.5\nplace Enter Page Title e.g Meeting notes\n");
        ASSERT_EQ(gallery.size(), 3u);
        const auto& field = gallery.at("Enter Page Title e.g Meeting notes");
        std::vector<Act> acts{
            clickAt({gallery.at("StickyDynamicButton").midX(), gallery.at("StickyDynamicButton").midY()}),
            waitAMoment(), clickAt({gallery.at("Notes").midX(), gallery.at("Notes").midY()}), waitAMoment()};
        const auto edits = mend({field.minX() + field.width() * 0.25, field.midY()});
        acts.insert(acts.end(), edits.begin(), edits.end());
        screens.push_back({"form", acts, "\" Enter Page Title e.g Meeting notes\"",
                           "\" Enter Page Title e.g Meeting notes\""});
    }
    {
        // The segmented control's third segment, then the recipe screen's book button.
        const auto main = places("place segmentcontrol\nsegment segmentcontrol Recipe\nwait 1\n"
                                 "place RecipeBookButton\ntap RecipeBookButton\nwait 1.5\nframe Clipboard\n");
        ASSERT_EQ(main.size(), 3u);
        const auto& text = main.at("frame Clipboard");
        const platform::CGPoint recipe{main.at("segmentcontrol").midX() + 70,
                                       main.at("segmentcontrol").midY()};
        std::vector<Act> acts{
            clickAt(recipe), waitAMoment(),
            clickAt({main.at("RecipeBookButton").midX(), main.at("RecipeBookButton").midY()}), waitAMoment()};
        const auto edits = mend({text.minX() + 60, text.minY() + 18});
        acts.insert(acts.end(), edits.begin(), edits.end());
        // Return closes the recipe text's keyboard.
        acts.push_back(key("Return"));
        screens.push_back({"recipe", acts, "Clipboard", "Clipboard"});
    }
    for (const Screen& screen : screens) {
        SCOPED_TRACE(screen.name);
        Opened window = open(home / ("app-" + screen.name));
        ASSERT_FALSE(window.id.empty());
        const auto expected = home / (screen.name + ".png");
        headless(script(screen.acts, screen.typedInto) + "textof " + screen.textName + "\n",
                 home / ("headless-" + screen.name), window.size, expected);
        // The click put the caret in the middle: the five characters after it came back with the
        // undo, and the mark typed after them stands there.
        const std::string edited = interpreterText_;
        const auto mark = edited.find('!');
        EXPECT_EQ(edited.size(), original.size() + 1) << edited;
        EXPECT_GT(mark, 5u) << edited;
        EXPECT_LT(mark, original.size() - 5) << edited;
        EXPECT_EQ(edited.substr(0, mark) + edited.substr(mark + 1), original);
        act(window.id, window.size, screen.acts);
        const auto comparison = waitForPicture(window.id, expected);
        EXPECT_TRUE(comparison.matches) << comparison.message;
        ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(window.id)));
        EXPECT_EQ(window.app.wait(kHangLimit), 0) << readFile(home / "app.log");
    }
}

TEST_F(WindowTest, ASavedPDFOpensFromTheListOfPDFsWithItsPageDrawn) {
    std::string why;
    if (!startWindowManager(why)) FAIL() << why;
    // A saved PDF, in the window's data folder and in the one the places are measured in.
    std::string html = "<h1>Saved essay</h1>";
    for (int i = 0; i < 12; ++i)
        html += "<p>A paragraph of the essay that the preview must show as it was written.</p>";
    const auto pdf = home / "Essay.pdf";
    ASSERT_TRUE(platform::renderHTMLToPDF(html, {}, pdf).ok);
    for (const char* folder : {"app", "measured"}) {
        std::filesystem::create_directories(home / folder / "Documents");
        std::filesystem::copy_file(pdf, home / folder / "Documents" / "Essay.pdf");
    }
    ChildProcess app = launch(home / "app");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora", true);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);

    // The way there, measured without a window: the list, its PDFs, the first row; and the
    // picture the renderer draws of the preview at the window's size.
    std::map<std::string, platform::CGRect> at;
    const auto expected = home / "preview.png";
    auto extend = [&](quillora::cli::ScriptInterpreter& interpreter) {
        interpreter.addCommand(
            "at", "at KEY", [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine& line) {
                auto view = std::dynamic_pointer_cast<platform::UIView>(
                    quillora::cli::ScriptInterpreter::control(line.rest));
                ASSERT_TRUE(view);
                if (auto table = std::dynamic_pointer_cast<platform::UITableView>(view)) {
                    const double top = table->offsetOfRow({0, 0}) - table->contentOffsetY();
                    const double bottom = table->offsetOfRow({0, 1}) - table->contentOffsetY();
                    at[line.rest] =
                        table->convertRect_toView({0, top, table->bounds().width(), bottom - top}, nullptr);
                } else {
                    at[line.rest] = view->convertRect_toView(view->bounds(), nullptr);
                }
            });
        interpreter.addCommand(
            "frame", "frame", [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                cairo_surface_t* surface =
                    cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.first, size.second);
                cairo_t* cr = cairo_create(surface);
                platform::DesktopWindow::drawFrame(cr, size.first, size.second);
                cairo_destroy(cr);
                cairo_surface_write_to_png(surface, expected.c_str());
                cairo_surface_destroy(surface);
            });
    };
    ASSERT_EQ(quillora::test::runProgramHere(home / "measured",
                                             "at SaveDynamicButton\ntap SaveDynamicButton\nwait 1\n"
                                             "at PDFButton\ntap PDFButton\nwait 1\n"
                                             "at tableList\nrow tableList 0\nwait 2\nframe\n",
                                             extend),
              0);
    ASSERT_EQ(at.size(), 3u);

    // A person clicks the same way: the list, its PDFs, the saved one.
    ASSERT_TRUE(x_->waitUntilStill(id));
    for (const char* key : {"SaveDynamicButton", "PDFButton", "tableList"})
        clickAndSettle(id, size, at.at(key));
    // The renderer draws the page's words (dark on the white sheet), and the window shows just that.
    {
        cairo_surface_t* shown = cairo_image_surface_create_from_png(expected.c_str());
        const int stride = cairo_image_surface_get_stride(shown);
        const unsigned char* data = cairo_image_surface_get_data(shown);
        long dark = 0;
        for (int y = 0; y < cairo_image_surface_get_height(shown); ++y)
            for (int x = 0; x < cairo_image_surface_get_width(shown); ++x) {
                const unsigned char* p = data + y * stride + x * 4;
                dark += p[0] < 80 && p[1] < 80 && p[2] < 80;
            }
        cairo_surface_destroy(shown);
        EXPECT_GT(dark, 500) << "no words of the page are drawn in " << expected;
    }
    const auto comparison = waitForPicture(id, expected);
    EXPECT_TRUE(comparison.matches) << comparison.message << "\n" << readFile(home / "app.log");

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// A long recipe's PDF takes seconds: the window keeps drawing its spinner, turned a step further
// each time, until the file is written.
TEST_F(WindowTest, WhileALongRecipeIsPrintedTheWindowDrawsItsSpinnerTurning) {
    std::string recipe;
    for (int i = 1; recipe.size() < (400u << 10); ++i)
        recipe += "Step " + std::to_string(i) + ": whisk the cream until it holds its shape.\n";
    quillora::test::writeFile(home / "app" / "Documents" / "datafile_recipe.dat", recipe);
    auto [app, id, size, pressed] = pressRecipePDF();
    ASSERT_FALSE(id.empty()) << "the window did not come to the recipe's PDF: " << readFile(home / "app.log");

    // The spinner stands in the middle of the screen: its square as the window shows it.
    const auto fit =
        platform::DesktopWindow::fit(size.first, size.second, platform::UIScreen::mainScreen().bounds());
    const platform::CGRect screen = platform::UIScreen::mainScreen().bounds();
    auto spinnerSquare = [&](const std::filesystem::path& shot) {
        std::vector<unsigned char> pixels;
        cairo_surface_t* picture = cairo_image_surface_create_from_png(shot.c_str());
        if (cairo_surface_status(picture) == CAIRO_STATUS_SUCCESS) {
            const int stride = cairo_image_surface_get_stride(picture);
            const unsigned char* data = cairo_image_surface_get_data(picture);
            const int x0 = static_cast<int>(fit.x + (screen.midX() - 40) * fit.scale);
            const int y0 = static_cast<int>(fit.y + (screen.midY() - 40) * fit.scale);
            const int side = static_cast<int>(80 * fit.scale);
            for (int y = y0; y < y0 + side && y < cairo_image_surface_get_height(picture); ++y)
                pixels.insert(pixels.end(), data + y * stride + x0 * 4, data + y * stride + (x0 + side) * 4);
        }
        cairo_surface_destroy(picture);
        return pixels;
    };
    std::vector<std::vector<unsigned char>> seen;
    bool turned = false;
    for (int shot = 0; shot < 30 && !turned && printed("saved success") == 0; ++shot) {
        const auto file = home / ("spinner-" + std::to_string(shot) + ".png");
        if (!x_->capture(id, file)) continue;
        // Taken before the work ended, or it does not count.
        if (printed("saved success") > 0) break;
        seen.push_back(spinnerSquare(file));
        turned = seen.size() > 1 && seen.back() != seen.front();
    }
    EXPECT_TRUE(turned) << "the spinner stood still while the pages were made (" << seen.size()
                        << " pictures)";

    ASSERT_TRUE(waitForPrinted("saved success", 0)) << readFile(home / "app.log");
    std::filesystem::path pdf;
    for (const auto& entry : std::filesystem::directory_iterator(home / "app" / "Documents"))
        if (entry.path().extension() == ".pdf") pdf = entry.path();
    ASSERT_FALSE(pdf.empty());
    EXPECT_GT(quillora::test::pdfPageCount(pdf), 100);
    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// The last label of a long form lies below a sheet's first screenful: the wheel brings it into
// sight whole, and a click on it opens the PDF screen.
TEST_F(WindowTest, OnTheEssayFormTheWheelReachesPreviewWholeAndAClickOnItOpensThePDFScreen) {
    std::string why;
    if (!startWindowManager(why)) FAIL() << why;
    ChildProcess app = launch(home / "app");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora", true);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    const auto at = places("place StickyDynamicButton\ntap StickyDynamicButton\nwait 1\nplace Essay\n"
                           "press Essay\nwait 1\ntoend\nplace Preview\n");
    ASSERT_EQ(at.count("StickyDynamicButton") + at.count("Essay") + at.count("Preview"), 3u);
    const platform::CGRect screen = platform::UIScreen::mainScreen().bounds();
    const platform::CGRect preview = at.at("Preview");
    EXPECT_GE(preview.minY(), screen.minY());
    EXPECT_LE(preview.maxY(), screen.maxY()) << "Preview is not drawn whole at the form's end";

    waitForFirstScreen(id);
    clickAndSettle(id, size, at.at("StickyDynamicButton"));
    clickAndSettle(id, size, at.at("Essay"));
    // The wheel over the middle of the form, notch by notch, well past its end.
    const auto [x, y] = pixel(size, {screen.midX(), screen.midY()});
    andSettle(id, [&] { ASSERT_TRUE(x_->wheel(id, x, y, 80)); });
    const std::string opened = "didFinishNavigation";
    const std::size_t before = printed(opened);
    click(id, size, preview);
    EXPECT_TRUE(waitForPrinted(opened, before)) << "no PDF screen opened: " << readFile(home / "app.log");

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// The rent flyer's card lies below the gallery's first screenful: the wheel brings it up, its form's
// "Select an Image" opens the desktop's file chooser, and a file that is no picture, chosen there,
// is refused with an alert over the picker, which stays open and asks again.
TEST_F(WindowTest, AFileThatIsNoPictureChosenInThePhotoPickerShowsTheRefusalAndThePickerStaysOpen) {
    std::string why;
    if (!startWindowManager(why)) FAIL() << why;
    // Named like a picture, as a misnamed file is, so the chooser's filter shows it.
    const auto notAPicture = home / "holiday.png";
    std::ofstream(notAPicture) << "Shopping: bread, milk, apples\n";
    ChildProcess app = launch(home / "app");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora", true);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    const platform::CGRect screen = platform::UIScreen::mainScreen().bounds();
    const auto unscrolled = places("tap StickyDynamicButton\nwait 1\nplace For Rent Flyer\n");
    ASSERT_EQ(unscrolled.count("For Rent Flyer"), 1u);
    EXPECT_GE(unscrolled.at("For Rent Flyer").minY(), screen.maxY()) << "the card shows without scrolling";
    const auto at = places("place StickyDynamicButton\ntap StickyDynamicButton\nwait 1\n"
                           "toend\nplace For Rent Flyer\npress \"For Rent Flyer\"\nwait 1\n"
                           "place Select an Image\n");
    ASSERT_EQ(at.count("StickyDynamicButton") + at.count("For Rent Flyer") + at.count("Select an Image"), 3u);
    EXPECT_GE(at.at("For Rent Flyer").minY(), screen.minY());
    EXPECT_LE(at.at("For Rent Flyer").maxY(), screen.maxY());

    // What the renderer draws once the file is refused: the alert over the picker.
    const auto expected = home / "refused.png";
    auto extend = [&](quillora::cli::ScriptInterpreter& interpreter) {
        interpreter.addCommand(
            "refuse", "refuse", [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                auto picker = std::dynamic_pointer_cast<platform::UIImagePickerController>(
                    quillora::cli::ScriptInterpreter::currentScreen());
                ASSERT_TRUE(picker) << "no photo picker is shown";
                EXPECT_TRUE(picker->pickFile(notAPicture.string())) << "the file was taken";
                platform::RunLoop::main().advance(1);
                // The picture to match holds the alert, over the picker.
                const auto chain = platform::ScreenRenderer::presentationChain();
                auto alert = std::dynamic_pointer_cast<platform::UIAlertController>(chain.back());
                ASSERT_TRUE(alert) << "no alert shows the refusal";
                EXPECT_EQ(alert->title(), "Photo not taken");
                EXPECT_EQ(alert->presentingViewController(), picker);
            });
        interpreter.addCommand(
            "frame", "frame", [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                cairo_surface_t* surface =
                    cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.first, size.second);
                cairo_t* cr = cairo_create(surface);
                platform::DesktopWindow::drawFrame(cr, size.first, size.second);
                cairo_destroy(cr);
                cairo_surface_write_to_png(surface, expected.c_str());
                cairo_surface_destroy(surface);
            });
    };
    ASSERT_EQ(
        quillora::test::runProgramHere(home / "measured",
                                       "tap StickyDynamicButton\nwait 1\npress \"For Rent Flyer\"\nwait 1\n"
                                       "press \"Select an Image\"\nwait 1\nrefuse\nframe\n",
                                       extend),
        0);

    // The gallery, then the wheel over it, notch by notch, well past its end: the card comes up.
    waitForFirstScreen(id);
    clickAndSettle(id, size, at.at("StickyDynamicButton"));
    const auto [x, y] = pixel(size, {screen.midX(), screen.midY()});
    andSettle(id, [&] { ASSERT_TRUE(x_->wheel(id, x, y, 80)); });
    clickAndSettle(id, size, at.at("For Rent Flyer"));
    click(id, size, at.at("Select an Image"));

    // The chooser: the file's path typed into its location, as a person may.
    const std::string title = "Choose a photo";
    auto chooser = [&] { return window(title, true); };
    std::string shown = chooser();
    ASSERT_FALSE(shown.empty()) << "no file chooser opened: " << readFile(home / "app.log");
    ASSERT_TRUE(xdotool({"windowactivate", "--sync", shown}));
    ASSERT_TRUE(x_->key("ctrl+l"));
    ASSERT_TRUE(x_->waitUntilStill(shown));
    ASSERT_TRUE(x_->type(notAPicture.string()));
    // Its completion of the typed path settles before Return takes the path.
    ASSERT_TRUE(x_->waitUntilStill(shown));
    ASSERT_TRUE(x_->key("Return"));

    // The window shows the refusal in words over the picker; nothing was taken.
    const std::string reason = "\u201Choliday.png\u201D cannot be used";
    EXPECT_TRUE(waitForPrinted(reason, 0)) << readFile(home / "app.log");
    const auto comparison = waitForPicture(id, expected);
    EXPECT_TRUE(comparison.matches) << "the refusal is not shown: " << comparison.message;
    EXPECT_EQ(printed("LocalPath "), 0u) << "the picture was taken: " << readFile(home / "app.log");

    // Its OK (Return) closes the alert and the picker, still open, asks for another file; the
    // chooser's Cancel then closes the picker.
    ASSERT_TRUE(xdotool({"windowactivate", "--sync", id}));
    ASSERT_TRUE(x_->key("Return"));
    shown = chooser();
    ASSERT_FALSE(shown.empty()) << "the picker closed with the alert: " << readFile(home / "app.log");
    ASSERT_TRUE(xdotool({"windowactivate", "--sync", shown}));
    ASSERT_TRUE(x_->key("Escape"));
    EXPECT_TRUE(x_->windowGone(title)) << "the chooser stayed";
    EXPECT_FALSE(std::filesystem::exists(home / "app" / "tmp" / "holiday.png")) << "a copy was stored";

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// From the settings a person writes a feedback mail with the mouse and the keyboard alone: the
// subject and a line of body typed into the drawn composer, then a click on its Send. On a desktop
// where no mail program takes mailto: links the message lands in the outbox as typed, and the
// alert drawn over the composer says it was not sent, why, and where the message was kept.
TEST_F(WindowTest, AFeedbackMailWrittenWithMouseAndKeysIsKeptInTheOutboxAndTheAlertSaysItWasNotSent) {
    // A desktop of its own, without the person's mail settings.
    const auto desktop = home / "desktop";
    std::filesystem::create_directories(desktop);
    for (const char* folder : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CONFIG_DIRS"})
        env_[folder] = desktop.string();
    ASSERT_EQ(ChildProcess::start({"xdg-mime", "query", "default", "x-scheme-handler/mailto"}, env_,
                                  (home / "mailto.txt").string())
                  .wait(kHangLimit),
              0);
    ASSERT_EQ(readFile(home / "mailto.txt").find_first_not_of(" \n"), std::string::npos)
        << "a mail program takes mailto: links on this machine: " << readFile(home / "mailto.txt");
    const auto appHome = home / "app";
    ChildProcess app = launch(appHome);
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora");
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    const auto at = places("place FontDynamicButton\ntap FontDynamicButton\nwait 1\nplace Feedback\n"
                           "press Feedback\nwait 1\nplace subjectField\nplace bodyView\nplace sendButton\n");
    for (const char* key : {"FontDynamicButton", "Feedback", "subjectField", "bodyView", "sendButton"})
        ASSERT_EQ(at.count(key), 1u) << key << " was not found on the way";

    waitForFirstScreen(id);
    clickAndSettle(id, size, at.at("FontDynamicButton"));
    // In the middle of the row, on the blank between its title and its chevron.
    clickAndSettle(id, size, at.at("Feedback"));
    clickAndSettle(id, size, at.at("subjectField"));
    ASSERT_TRUE(x_->type("Window feedback"));
    clickAndSettle(id, size, at.at("bodyView"));
    andSettle(id, [&] { ASSERT_TRUE(x_->type("Typed in the window by hand.")); });
    click(id, size, at.at("sendButton"));

    // The message is written once Send is pressed.
    const auto outbox = appHome / "Documents" / "Mail" / "Outbox";
    std::map<std::string, std::string> sent;
    quillora::test::waitUntil(
        [&] {
            if (std::filesystem::is_directory(outbox)) sent = filesIn(outbox);
            return !sent.empty();
        },
        kHangLimit);
    ASSERT_EQ(sent.size(), 1u) << "no mail was written: " << readFile(home / "app.log");
    const std::string& message = sent.begin()->second;
    EXPECT_NE(sent.begin()->first.find(".eml"), std::string::npos);
    EXPECT_NE(message.find("To: support@quillora.app, feedback@quillora.app"), std::string::npos) << message;
    EXPECT_NE(message.find("\nSubject: Window feedback\n"), std::string::npos) << message;
    EXPECT_NE(message.find("\n\nTyped in the window by hand."), std::string::npos) << message;

    // What the window should show: the same composer, headless, under an alert with these words.
    const std::string kept = (outbox / sent.begin()->first).string();
    std::string shownHeadless;
    drawScreens(
        "nomail\ntap FontDynamicButton\nwait 1\npress Feedback\nwait 1\n"
        "type subjectField Window feedback\ntype bodyView Typed in the window by hand.\n"
        "mail send\nwait 1\nkeptin\npicture notsent\n",
        size.first, size.second, [&](quillora::cli::ScriptInterpreter& interpreter) {
            // No mail program takes the message, as on the window's desktop.
            interpreter.addCommand(
                "nomail", "nomail", [](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                    auto service = std::make_shared<platform::OutboxMailService>();
                    service->setHandOffEnabled([] { return true; });
                    service->setProcessRunner(
                        [](const std::vector<std::string>&, platform::OutboxMailService::Output) {
                            return std::optional(platform::OutboxMailService::ProcessResult{0, ""});
                        });
                    platform::MailService::setShared(service);
                });
            // The alert's words, with the window's message where this one's was kept.
            interpreter.addCommand(
                "keptin", "keptin", [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                    auto alert = std::dynamic_pointer_cast<platform::UIAlertController>(
                        platform::ScreenRenderer::presentationChain().back());
                    ASSERT_TRUE(alert) << "no alert is shown";
                    ASSERT_EQ(alert->title().value_or(""), "Mail Not Sent");
                    shownHeadless = alert->message().value_or("");
                    alert->setMessage("No mail program on this computer takes mailto: links. The "
                                      "message was kept in " +
                                      kept + ".");
                });
        });
    EXPECT_EQ(shownHeadless.rfind("No mail program on this computer takes mailto: links. The message was "
                                  "kept in " +
                                      (home / "drawn" / "Documents" / "Mail" / "Outbox").string() + "/",
                                  0),
              0u)
        << shownHeadless;
    // Text strokes count, and a letter of the path that differs is too many pixels.
    const auto comparison = x_->waitForPicture(id, home / "notsent.png", kHangLimit, {1, 64, 0.00002, true});
    EXPECT_TRUE(comparison.matches) << "the window does not show the alert: " << comparison.message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

namespace {

std::string point(platform::CGPoint p) {
    return std::to_string(p.x) + " " + std::to_string(p.y);
}

// Whether the pictures `a` and `b` (of one size) have the same pixels in `r` (pixels).
bool samePixels(const std::filesystem::path& a, const std::filesystem::path& b, int x0, int y0, int x1,
                int y1) {
    cairo_surface_t* pa = cairo_image_surface_create_from_png(a.c_str());
    cairo_surface_t* pb = cairo_image_surface_create_from_png(b.c_str());
    bool same =
        cairo_surface_status(pa) == CAIRO_STATUS_SUCCESS && cairo_surface_status(pb) == CAIRO_STATUS_SUCCESS;
    const int stride = same ? cairo_image_surface_get_stride(pa) : 0;
    for (int y = y0; same && y < y1; ++y)
        for (int x = x0; same && x < x1; ++x) {
            const unsigned char* p = cairo_image_surface_get_data(pa) + y * stride + x * 4;
            const unsigned char* q = cairo_image_surface_get_data(pb) + y * stride + x * 4;
            same = std::equal(p, p + 3, q);
        }
    cairo_surface_destroy(pa);
    cairo_surface_destroy(pb);
    return same;
}

} // namespace

// The saved-PDF browser is pushed over a list that hides its navigation bar: the browser shows the
// bar again, with a back button a click reaches.
TEST_F(WindowTest, ThePDFBrowserIsLeftByAClickOnItsBackButton) {
    ChildProcess app = launch(home / "app");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora");
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    const auto at = places("place SaveDynamicButton\ntap SaveDynamicButton\nwait 1\nplace PDFButton\n"
                           "tap PDFButton\nwait 1\nbackitem\n");
    ASSERT_EQ(at.count("SaveDynamicButton") + at.count("PDFButton"), 2u);
    ASSERT_EQ(at.count("back"), 1u) << "the PDF browser shows no back button";
    drawScreens("tap SaveDynamicButton\nwait 1\npicture list\ntap PDFButton\nwait 1\npicture browser\n",
                size.first, size.second);

    waitForFirstScreen(id);
    clickAndSettle(id, size, at.at("SaveDynamicButton"));
    clickAndSettle(id, size, at.at("PDFButton"));
    ASSERT_TRUE(waitForExactPicture(id, home / "browser.png").matches) << "the PDF browser is not shown";
    click(id, size, at.at("back"));
    const auto comparison = waitForExactPicture(id, home / "list.png");
    EXPECT_TRUE(comparison.matches) << "the click did not lead back to the list: " << comparison.message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

namespace {

// The list's first row (a table), a navigation bar's item (by its title), a view or a share
// sheet's row (by its title): where it is on the screen.
platform::CGRect placeOf(const std::string& name) {
    if (auto row = shareSheetRow(name)) return *row;
    auto object = quillora::cli::ScriptInterpreter::control(name);
    if (auto item = std::dynamic_pointer_cast<platform::UIBarButtonItem>(object))
        return platform::ScreenRenderer::barItemFrame(*item).value_or(platform::CGRect{});
    auto view = std::dynamic_pointer_cast<platform::UIView>(object);
    if (auto table = std::dynamic_pointer_cast<platform::UITableView>(view)) {
        const double top = table->offsetOfRow({0, 0}) - table->contentOffsetY();
        const double bottom = table->offsetOfRow({0, 1}) - table->contentOffsetY();
        return table->convertRect_toView({0, top, table->bounds().width(), bottom - top}, nullptr);
    }
    return view ? view->convertRect_toView(view->bounds(), nullptr) : platform::CGRect{};
}

// `at NAME` in a script: where that control is on the screen, kept in `at` under its name.
void addPlaceCommand(quillora::cli::ScriptInterpreter& interpreter,
                     std::map<std::string, platform::CGRect>& at) {
    interpreter.addCommand("at", "at NAME",
                           [&at](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine& line) {
                               at[line.rest] = placeOf(line.rest);
                           });
}

// `count` short paragraphs (two lines each on the detail screen, one or two in the recipe text).
std::string shortParagraphs(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        char number[16];
        std::snprintf(number, sizeof number, "P%02d", i);
        text += (i > 1 ? "\n" : "") + std::string(number) +
                " a short paragraph of the entry, with a few more words.";
    }
    return text;
}

} // namespace

// A long entry wheeled to its end in one go: the symbol buttons add their symbols there and the
// view stays on them, and the play button, standing over the transcript's foot, hides no word,
// at the end or midway.
TEST_F(WindowTest, ALongEntryWheeledToItsEndShowsTheSymbolsAddedAndThePlayButtonHidesNoWord) {
    for (const char* folder : {"app", "drawn"}) {
        std::filesystem::create_directories(home / folder / "Documents");
        ASSERT_TRUE(platform::writeStringArrayPlist((home / folder / "Documents" / "notes.txt").string(),
                                                    {shortParagraphs(64)}));
    }
    ChildProcess app = launch(home / "app");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora", false);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);

    std::map<std::string, platform::CGRect> at;
    std::vector<std::string> faults;
    auto measure = [&](quillora::cli::ScriptInterpreter& interpreter) {
        addPlaceCommand(interpreter, at);
        // What a person sees of the entry: its end (with the symbols added) in sight, and no part
        // of the text under the play button.
        interpreter.addCommand(
            "seen", "seen NAME",
            [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine& line) {
                platform::ScreenRenderer::layout();
                auto text = std::dynamic_pointer_cast<platform::UITextView>(
                    quillora::cli::ScriptInterpreter::control("textView"));
                auto button = std::dynamic_pointer_cast<platform::UIView>(
                    quillora::cli::ScriptInterpreter::control("recordButton"));
                ASSERT_TRUE(text && button);
                const double top = text->contentOffset().y, shown = text->visibleHeight();
                const platform::CGRect end = text->caretRect();
                if (line.rest != "midway" && (end.minY() < top || end.maxY() > top + shown))
                    faults.push_back(line.rest + ": the entry's end is out of sight");
                const platform::CGRect area =
                    text->convertRect_toView({0, top, text->bounds().width(), shown}, nullptr);
                const platform::CGRect play = button->convertRect_toView(button->bounds(), nullptr);
                if (play.minY() < area.maxY() && play.maxY() > area.minY() && play.minX() < area.maxX())
                    faults.push_back(line.rest + ": the play button stands over the text");
            });
    };
    const platform::CGRect screen = platform::UIScreen::mainScreen().bounds();
    const platform::CGPoint middle{screen.midX(), 100 + (screen.height() - 190) / 2};
    drawScreens("at SaveDynamicButton\ntap SaveDynamicButton\nwait 1\nat table\nrow table 0\nwait 1\n"
                "at bookmark\nat paperclip\nwheel " +
                    point(middle) +
                    " 200\nseen wheeled\npicture wheeled\ntap bookmark\nwait 1\nseen bookmark\n"
                    "picture bookmark\ntap paperclip\nwait 1\nseen paperclip\npicture paperclip\nwheel " +
                    point(middle) + " -6\nseen midway\npicture midway\n",
                size.first, size.second, measure);
    EXPECT_TRUE(faults.empty()) << faults.front();
    ASSERT_EQ(at.size(), 4u);

    waitForFirstScreen(id);
    clickAndSettle(id, size, at.at("SaveDynamicButton"));
    clickAndSettle(id, size, at.at("table"));
    const auto [x, y] = pixel(size, middle);
    ASSERT_TRUE(x_->wheel(id, x, y, 200));
    auto comparison = waitForExactPicture(id, home / "wheeled.png");
    EXPECT_TRUE(comparison.matches) << "wheeled to the end: " << comparison.message;
    for (const char* symbol : {"bookmark", "paperclip"}) {
        click(id, size, at.at(symbol));
        comparison = waitForExactPicture(id, home / (std::string(symbol) + ".png"));
        EXPECT_TRUE(comparison.matches) << symbol << ": " << comparison.message;
    }
    ASSERT_TRUE(x_->wheel(id, x, y, -6));
    comparison = waitForExactPicture(id, home / "midway.png");
    EXPECT_TRUE(comparison.matches) << "midway: " << comparison.message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// A saved transcript holding line breaks shows in its card on one line, cut off with an ellipsis:
// nothing of it reaches the card's edges, the gap between the rows or the subtitle.
TEST_F(WindowTest, ASavedTranscriptWithLineBreaksStaysInsideItsCard) {
    const std::vector<std::string> broken{"Second\nentry with\nbreaks\nin it\nfive lines", "One line"};
    const std::vector<std::string> plain{"Second", "One line"};
    for (const char* folder : {"app", "drawn"}) {
        std::filesystem::create_directories(home / folder / "Documents");
        ASSERT_TRUE(
            platform::writeStringArrayPlist((home / folder / "Documents" / "notes.txt").string(), broken));
    }
    ChildProcess app = launch(home / "app");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora", false);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);

    std::map<std::string, platform::CGRect> at;
    auto measure = [&](quillora::cli::ScriptInterpreter& interpreter) { addPlaceCommand(interpreter, at); };
    const std::string acts = "at SaveDynamicButton\ntap SaveDynamicButton\nwait 1\nat table\npicture ";
    drawScreens(acts + "broken\n", size.first, size.second, measure);
    ASSERT_TRUE(
        platform::writeStringArrayPlist((home / "drawn" / "Documents" / "notes.txt").string(), plain));
    drawScreens(acts + "plain\n", size.first, size.second, measure);
    ASSERT_EQ(at.size(), 2u);

    // The two rows are the same picture but for the title's line: the first row's title, cut off,
    // ends in an ellipsis there.
    const platform::CGRect row = at.at("table");
    platform::TextStyle title, subtitle;
    title.numberOfLines = subtitle.numberOfLines = 1;
    subtitle.font = platform::UIFont::systemFontOfSize(12);
    const double h1 = platform::TextDrawing::measure("Second", title, 300).height;
    const double h2 = platform::TextDrawing::measure("Subtitle", subtitle, 300).height;
    const double titleTop = row.minY() + std::max(2.0, row.height() / 2 - (h1 + h2 + 2) / 2);
    const auto [left, top] = pixel(size, {row.minX(), row.minY()});
    const auto [right, bottom] = pixel(size, {row.maxX(), row.maxY() + row.height()});
    const auto [x0, lineTop] = pixel(size, {row.minX(), titleTop - 1});
    const auto [x1, lineBottom] = pixel(size, {row.maxX(), titleTop + h1 + 1});
    (void)x0, (void)x1;
    EXPECT_TRUE(
        samePixels(home / "broken.png", home / "plain.png", int(left), int(top), int(right), int(lineTop)))
        << "the entry is drawn above its title's line";
    EXPECT_TRUE(samePixels(home / "broken.png", home / "plain.png", int(left), int(lineBottom), int(right),
                           int(bottom)))
        << "the entry is drawn below its title's line (over the subtitle, the card's edge or the gap)";

    waitForFirstScreen(id);
    clickAndSettle(id, size, at.at("SaveDynamicButton"));
    const auto comparison = waitForExactPicture(id, home / "broken.png");
    EXPECT_TRUE(comparison.matches) << comparison.message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// Preferences that once took gigabytes to read (an array holding itself a million times, a string
// of a million letters referred to a thousand times) and an archive's reference written in XML: the
// window opens with the alert over its first screen, Return closes it, the file is kept aside as
// it was, and the window ends as ever.
TEST_F(WindowTest, PreferencesThatWouldUnfoldIntoGigabytesAreKeptAsideWithTheAlertOverTheFirstScreen) {
    const std::pair<std::string, std::string> files[] = {
        {"its objects refer to each other over and over", quillora::test::selfReferencingArray(1000000)},
        {"it refers to its objects so often that reading it would take more than 8 times its size",
         quillora::test::sharedStringList(1000000, 1000)},
        {"it is not a dictionary", quillora::test::referenceAtTopXmlPreferences()},
    };
    for (const auto& [why, bytes] : files) {
        SCOPED_TRACE(why);
        const auto appHome = home / ("app-" + std::to_string(bytes.size()));
        const auto prefs = appHome / "Library" / "Preferences" / "com.quillora.app.plist";
        quillora::test::writeFile(prefs, bytes);
        ChildProcess app = launch(appHome);
        ASSERT_GT(app.pid(), 0);
        const std::string id = window("Quillora");
        ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
        const auto size = windowSize(id);
        const auto first = home / "first.png";
        if (!std::filesystem::exists(first)) firstScreen(size.first, size.second, first);
        ASSERT_TRUE(waitForPrinted(
            "Preferences file " + prefs.string() + " could not be read (" + why + "); kept aside as ", 0))
            << readFile(home / "app.log");
        // The alert comes over the first screen once it is up.
        const auto shown = home / "shown.png";
        ASSERT_TRUE(quillora::test::waitUntil(
            [&] { return x_->capture(id, shown) && !quillora::test::compareImages(shown, first).matches; },
            kHangLimit));
        ASSERT_TRUE(x_->waitUntilStill(id));
        ASSERT_TRUE(x_->key("Return"));
        const auto comparison = waitForPicture(id, first);
        EXPECT_TRUE(comparison.matches) << "Return left the alert: " << comparison.message;
        ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
        EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
        std::vector<std::string> aside;
        for (const auto& e : std::filesystem::directory_iterator(prefs.parent_path()))
            if (e.path().filename().string().find(".corrupt-") != std::string::npos)
                aside.push_back(readFile(e.path()));
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_TRUE(aside.front() == bytes) << "kept byte for byte";
    }
}

// A form feed pasted into the transcript from another program is saved into the list: its row
// shows U+FFFD where the form feed was, as the same steps without a window draw it, and the list
// file holds it so; nothing says "Not saved".
TEST_F(WindowTest, APastedFormFeedIsSavedIntoTheListWhereItsRowShowsWhatTheFileHolds) {
    const std::string pasted = "page\x0C"
                               "break";
    quillora::test::writeFile(home / "pasted.txt", pasted);
    // Another program holds the desktop's clipboard.
    ChildProcess clipboard = ChildProcess::start(
        {"xclip", "-selection", "clipboard", "-quiet", "-i", (home / "pasted.txt").string()}, env_,
        (home / "xclip.log").string());
    ASSERT_TRUE(clipboard.running()) << "xclip could not start";
    ChildProcess app;
    Controls controls;
    std::string id;
    std::pair<int, int> size;
    ASSERT_NO_FATAL_FAILURE(openFirstScreen(app, home / "app", controls, id, size));
    const platform::CGRect& t = controls.transcript;
    std::ostringstream steps;
    steps << "tap " << t.minX() + t.width() * 0.9 << " " << t.minY() + t.height() * 0.05 << "\nwait 1.5\n"
          << "type Editor \"" << pasted
          << "\"\npress Save\nwait 1\ntap SaveDynamicButton\nwait 1\npicture list\n";
    drawScreens(steps.str(), size.first, size.second);

    clickAndSettle(id, size, controls.transcript, 0.9, 0.05);
    click(id, size, controls.editorText, 0.3, 0.05);
    andSettle(id, [&] { ASSERT_TRUE(x_->key("ctrl+v")); });
    clickAndSettle(id, size, controls.editorSave);
    clickAndSettle(id, size, controls.save);
    const auto comparison = waitForExactPicture(id, home / "list.png");
    EXPECT_TRUE(comparison.matches) << comparison.message << "\n" << readFile(home / "app.log");
    EXPECT_EQ(printed("Not saved"), 0u) << readFile(home / "app.log");

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
    const auto rows = platform::readStringArrayPlist((home / "app" / "Documents" / "notes.txt").string());
    ASSERT_TRUE(rows);
    EXPECT_EQ(std::count(rows->begin(), rows->end(), "page\uFFFDbreak"), 1) << testing::PrintToString(*rows);
}

// Edit on the saved-PDF browser shows each row's delete control beside its card, which stays inside
// the screen: a click on the control asks with a Delete button, and a click on that deletes the
// row and its file.
TEST_F(WindowTest, TheBrowsersEditShowsDeleteControlsAndOneDeletesTheRowWithItsFile) {
    const auto pdf = home / "Essay.pdf";
    ASSERT_TRUE(platform::renderHTMLToPDF("<h1>Saved essay</h1><p>A paragraph.</p>", {}, pdf).ok);
    for (const char* folder : {"app", "drawn"}) {
        std::filesystem::create_directories(home / folder / "Documents");
        std::filesystem::copy_file(pdf, home / folder / "Documents" / "Essay.pdf");
    }
    ChildProcess app = launch(home / "app");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora", false);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);

    std::map<std::string, platform::CGRect> at;
    auto measure = [&](quillora::cli::ScriptInterpreter& interpreter) {
        addPlaceCommand(interpreter, at);
        // The first row's delete control, and then the Delete button it brings: a finger on it.
        interpreter.addCommand("touch", "touch control|Delete",
                               [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine& line) {
                                   auto table = std::dynamic_pointer_cast<platform::UITableView>(
                                       quillora::cli::ScriptInterpreter::control("tableList"));
                                   ASSERT_TRUE(table);
                                   std::optional<platform::CGRect> r;
                                   if (line.rest == "control") {
                                       r = table->editingControlRect({0, 0});
                                   } else if (auto buttons = table->swipeActionRects(); !buttons.empty()) {
                                       r = buttons.front();
                                   }
                                   ASSERT_TRUE(r) << "no " << line.rest << " is shown";
                                   const platform::CGRect shown{r->minX(),
                                                                r->minY() - table->contentOffsetY(),
                                                                r->width(), r->height()};
                                   at[line.rest] = table->convertRect_toView(shown, nullptr);
                                   platform::Actionability::tap({at[line.rest].midX(), at[line.rest].midY()});
                                   platform::RunLoop::main().advance(1);
                               });
    };
    drawScreens("at SaveDynamicButton\ntap SaveDynamicButton\nwait 1\nat PDFButton\ntap PDFButton\nwait 1\n"
                "at tableList\npicture browsing\nat Edit\ntap Edit\nwait 1\npicture editing\ntouch control\n"
                "picture asking\ntouch Delete\npicture deleted\n",
                size.first, size.second, measure);
    ASSERT_EQ(at.size(), 6u);
    EXPECT_FALSE(std::filesystem::exists(home / "drawn" / "Documents" / "Essay.pdf"));
    // The row's card makes room for the delete control and still ends where it ends otherwise,
    // inside the screen: the row's right end is drawn the same in both.
    const platform::CGRect row = at.at("tableList");
    const auto [rightX, rowTop] = pixel(size, {row.maxX() - 30, row.minY()});
    const auto [screenRight, rowBottom] = pixel(size, {row.maxX(), row.maxY()});
    EXPECT_TRUE(samePixels(home / "browsing.png", home / "editing.png", int(rightX), int(rowTop),
                           int(screenRight), int(rowBottom)))
        << "in editing mode the row's card runs past the screen's right edge";

    waitForFirstScreen(id);
    for (const char* key : {"SaveDynamicButton", "PDFButton", "Edit"})
        clickAndSettle(id, size, at.at(key));
    auto comparison = waitForExactPicture(id, home / "editing.png");
    EXPECT_TRUE(comparison.matches) << "editing: " << comparison.message;
    click(id, size, at.at("control"));
    comparison = waitForExactPicture(id, home / "asking.png");
    EXPECT_TRUE(comparison.matches) << "asking: " << comparison.message;
    click(id, size, at.at("Delete"));
    comparison = waitForExactPicture(id, home / "deleted.png");
    EXPECT_TRUE(comparison.matches) << "deleted: " << comparison.message;
    EXPECT_TRUE(quillora::test::waitUntil(
        [&] { return !std::filesystem::exists(home / "app" / "Documents" / "Essay.pdf"); }, kHangLimit))
        << "the row's file is still there";

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// Share's Print on a saved entry: the desktop's print dialog is named after the entry (its first
// line), not after the file its pages wait in.
TEST_F(WindowTest, PrintingAnEntryFromItsShareSheetNamesTheDialogAfterTheEntry) {
    std::string why;
    if (!startWindowManager(why)) FAIL() << why;
    for (const char* folder : {"app", "drawn"}) {
        std::filesystem::create_directories(home / folder / "Documents");
        ASSERT_TRUE(platform::writeStringArrayPlist((home / folder / "Documents" / "notes.txt").string(),
                                                    {"Weekend groceries\nmilk, eggs and bread"}));
    }
    ChildProcess app = launch(home / "app");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora", true);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    std::map<std::string, platform::CGRect> at;
    drawScreens("at SaveDynamicButton\ntap SaveDynamicButton\nwait 1\nat table\nrow table 0\nwait 1\n"
                "at ShareDynamicButton\ntap ShareDynamicButton\nwait 1\nat Print\n",
                size.first, size.second, [&](auto& interpreter) { addPlaceCommand(interpreter, at); });
    ASSERT_EQ(at.size(), 4u);

    waitForFirstScreen(id);
    for (const char* key : {"SaveDynamicButton", "table", "ShareDynamicButton"})
        clickAndSettle(id, size, at.at(key));
    click(id, size, at.at("Print"));
    // The program's other window that comes: the dialog, whatever it is titled.
    std::string dialog;
    quillora::test::waitUntil(
        [&] {
            std::istringstream ids(
                xdotool({"search", "--onlyvisible", "--pid", std::to_string(app.pid())}).value_or(""));
            for (std::string shown; std::getline(ids, shown);)
                if (!shown.empty() && shown != id) dialog = shown;
            return !dialog.empty();
        },
        kHangLimit);
    ASSERT_FALSE(dialog.empty()) << "no print dialog opened: " << readFile(home / "app.log");
    EXPECT_EQ(tool({"xprop", "-id", dialog, "_NET_WM_NAME"}).value_or(""),
              "_NET_WM_NAME(UTF8_STRING) = \"Weekend groceries\"\n");
    ASSERT_TRUE(xdotool({"windowactivate", "--sync", dialog}));
    ASSERT_TRUE(x_->key("Escape"));
    EXPECT_TRUE(x_->windowGone("Weekend groceries")) << "the print dialog stayed";

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// The first click into a long recipe text puts the caret under the pointer, and the text stays
// where it was while the keyboard comes.
TEST_F(WindowTest, TheFirstClickIntoALongRecipeTextPutsTheCaretUnderThePointerWhereItIs) {
    auto recipeText = openRecipeText(shortParagraphs(60));
    ASSERT_GT(recipeText.app.pid(), 0);
    ASSERT_FALSE(recipeText.id.empty())
        << "no window titled Quillora appeared: " << readFile(home / "app.log");
    ASSERT_EQ(recipeText.at.size(), 3u);
    const std::string& id = recipeText.id;
    const auto size = recipeText.size;

    // Headless, the same click: on the third paragraph's first line, found by the text's own
    // layout; the caret lands in it and the text has not moved.
    std::optional<platform::CGPoint> target;
    std::string fault;
    auto measure = [&](quillora::cli::ScriptInterpreter& interpreter) {
        interpreter.addCommand("clickthird", "clickthird",
                               [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                                   platform::ScreenRenderer::layout();
                                   auto text = std::dynamic_pointer_cast<platform::UITextView>(
                                       quillora::cli::ScriptInterpreter::control("Clipboard"));
                                   ASSERT_TRUE(text);
                                   const std::size_t third = text->text().find("P03");
                                   for (double y = 0; y < text->bounds().height() && !target; y += 2)
                                       if (text->offsetAtPoint({60, y}) >= third + 3)
                                           target = text->convertPoint_toView({60, y + 6}, nullptr);
                                   ASSERT_TRUE(target);
                                   platform::Actionability::tap(*target);
                               });
        interpreter.addCommand("hardwarekeyboard", "hardwarekeyboard",
                               [](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                                   platform::UIScreen::mainScreen().setHardwareKeyboard(true);
                               });
        interpreter.addCommand(
            "check", "check", [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                auto text = std::dynamic_pointer_cast<platform::UITextView>(
                    quillora::cli::ScriptInterpreter::control("Clipboard"));
                const std::size_t caret = text->selectedRange().location;
                if (!text->isFirstResponder())
                    fault = "the click did not focus the text";
                else if (text->contentOffset().y != 0)
                    fault = "the text scrolled to " + std::to_string(text->contentOffset().y);
                else if (caret < text->text().find("P03") || caret > text->text().find("P04"))
                    fault = "the caret is at " + std::to_string(caret) + ", not in the third paragraph";
            });
    };
    // The window has a hardware keyboard: no keyboard comes up on the screen.
    drawScreens("hardwarekeyboard\nsegment segmentcontrol Recipe\nwait 1\ntap RecipeBookButton\nwait 1.5\n"
                "clickthird\nwait 1\n"
                "check\npicture clicked\n",
                size.first, size.second, measure);
    ASSERT_TRUE(target);
    EXPECT_EQ(fault, "");

    waitForFirstScreen(id);
    const platform::CGPoint segment = recipeText.recipeSegment;
    clickAndSettle(id, size, {segment.x - 1, segment.y - 1, 2, 2});
    clickAndSettle(id, size, recipeText.at.at("RecipeBookButton"));
    click(id, size, {target->x - 1, target->y - 1, 2, 2});
    const auto comparison = waitForExactPicture(id, home / "clicked.png");
    EXPECT_TRUE(comparison.matches) << comparison.message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(recipeText.app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// Tab in a form's field goes on to the next field, Shift+Tab back, as desktop forms do.
TEST_F(WindowTest, TabAndShiftTabMoveBetweenAFormsFields) {
    ChildProcess app = launch(home / "app");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora", false);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);

    // The form's first two fields, and what they hold once typed into headless the same way.
    std::vector<platform::CGRect> fields;
    std::vector<std::string> before, held;
    auto measure = [&](quillora::cli::ScriptInterpreter& interpreter) {
        auto form = [] {
            auto screen = platform::ScreenRenderer::presentationChain().back();
            return findHostingView(screen->view());
        };
        auto fieldBoxes = [](const platform::swiftui::HostingView& hosting) {
            std::vector<const platform::swiftui::LayoutBox*> boxes;
            hosting.layout().forEach([&](const platform::swiftui::LayoutBox& box) {
                if (box.modifier < 0 && box.node && box.node->setText && box.node->kind == "TextField")
                    boxes.push_back(&box);
            });
            return boxes;
        };
        interpreter.addCommand("fields", "fields",
                               [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                                   auto hosting = form();
                                   ASSERT_TRUE(hosting);
                                   for (const auto* box : fieldBoxes(*hosting)) {
                                       fields.push_back(hosting->convertRect_toView(box->frame, nullptr));
                                       before.push_back(box->node->getText());
                                   }
                                   ASSERT_GE(fields.size(), 2u);
                                   platform::Actionability::tap({fields[0].midX(), fields[0].midY()});
                               });
        interpreter.addCommand("typed", "typed TEXT",
                               [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine& line) {
                                   ASSERT_TRUE(platform::KeyboardInput::insertText(line.rest));
                               });
        interpreter.addCommand("held", "held",
                               [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                                   auto hosting = form();
                                   for (const auto* box : fieldBoxes(*hosting))
                                       held.push_back(box->node->getText());
                               });
    };
    const auto at =
        places("place StickyDynamicButton\ntap StickyDynamicButton\nwait 1\nplace Research Paper\n");
    ASSERT_EQ(at.size(), 2u);
    drawScreens("tap StickyDynamicButton\nwait 1\npress Research Paper\nwait 1\nfields\nwait 1\ntyped Alpha\n"
                "key Tab\ntyped Beta\nkey shift+Tab\ntyped !\nheld\npicture tabbed\n",
                size.first, size.second, measure);
    ASSERT_GE(held.size(), 2u);
    EXPECT_EQ(held[0], before[0] + "Alpha!");
    EXPECT_EQ(held[1], before[1] + "Beta");

    waitForFirstScreen(id);
    clickAndSettle(id, size, at.at("StickyDynamicButton"));
    clickAndSettle(id, size, at.at("Research Paper"));
    clickAndSettle(id, size, fields[0]);
    ASSERT_TRUE(x_->type("Alpha"));
    ASSERT_TRUE(x_->key("Tab"));
    ASSERT_TRUE(x_->type("Beta"));
    ASSERT_TRUE(x_->key("shift+Tab"));
    ASSERT_TRUE(x_->type("!"));
    const auto comparison = waitForExactPicture(id, home / "tabbed.png");
    EXPECT_TRUE(comparison.matches) << comparison.message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// A long recipe text, focused: Ctrl+End shows its last paragraph whole above the keyboard (or, at
// the window, the toolbar), and so does the wheel turned down from its top.
TEST_F(WindowTest, CtrlEndAndTheWheelShowTheLastParagraphOfALongRecipeTextWhole) {
    std::string recipe;
    for (int i = 1; i <= 60; ++i)
        recipe += (i > 1 ? "\n" : "") + std::string("Paragraph ") + std::to_string(i) + " of the recipe.";
    auto recipeText = openRecipeText(recipe);
    ASSERT_GT(recipeText.app.pid(), 0);
    ASSERT_FALSE(recipeText.id.empty())
        << "no window titled Quillora appeared: " << readFile(home / "app.log");
    ASSERT_EQ(recipeText.at.size(), 3u);
    ChildProcess& app = recipeText.app;
    const std::string& id = recipeText.id;
    const auto size = recipeText.size;
    const auto& at = recipeText.at;
    const platform::CGRect text = recipeText.text;
    const platform::CGPoint into = recipeText.into, recipeSegment = recipeText.recipeSegment;

    // Headless, the same acts: where the caret and the text's end stand against what covers the
    // text's foot: the on-screen keyboard of a phone, or with a hardware keyboard (as at the
    // window, which shows no on-screen one) the navigation toolbar.
    struct Seen {
        platform::CGRect caret, text;
        double coverTop = 0, contentEnd = 0;
    };
    std::map<std::string, Seen> seen;
    auto measure = [&](quillora::cli::ScriptInterpreter& interpreter) {
        interpreter.addCommand("hardwarekeyboard", "hardwarekeyboard",
                               [](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                                   platform::UIScreen::mainScreen().setHardwareKeyboard(true);
                               });
        interpreter.addCommand(
            "measure", "measure NAME",
            [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine& line) {
                platform::ScreenRenderer::layout();
                auto view = std::dynamic_pointer_cast<platform::UITextView>(
                    quillora::cli::ScriptInterpreter::control("Clipboard"));
                ASSERT_TRUE(view && view->isFirstResponder());
                Seen s;
                s.caret = view->convertRect_toView(view->caretRect(), nullptr);
                s.text = view->convertRect_toView(view->bounds(), nullptr);
                const auto& screen = platform::UIScreen::mainScreen();
                s.coverTop = std::min({s.text.maxY(), screen.bounds().height() - screen.keyboardHeight(),
                                       platform::ScreenRenderer::toolbarTopOver(*view).value_or(1e9)});
                s.contentEnd = s.text.minY() + view->contentSize().height - view->contentOffset().y;
                seen[line.rest] = s;
            });
    };
    const std::string acts = "segment segmentcontrol Recipe\nwait 1\ntap RecipeBookButton\nwait 1.5\ntap " +
                             point(into) +
                             "\nwait 1\nkey ctrl+End\nwait 1\nmeasure end\npicture end\nkey ctrl+Home\n"
                             "wait 1\nwheel " +
                             point({text.midX(), text.minY() + 100}) + " 100\nmeasure wheel\npicture wheel\n";
    for (const std::string keyboard : {"on screen", "hardware"}) {
        SCOPED_TRACE(keyboard + " keyboard");
        seen.clear();
        drawScreens((keyboard == "hardware" ? "hardwarekeyboard\n" : "") + acts, size.first, size.second,
                    measure);
        ASSERT_EQ(seen.size(), 2u);
        const Seen& end = seen.at("end");
        EXPECT_GE(end.caret.minY(), end.text.minY());
        EXPECT_LE(end.caret.maxY(), end.coverTop)
            << "the last paragraph (with the caret) is not shown whole above what covers the text";
        const Seen& wheel = seen.at("wheel");
        EXPECT_LE(wheel.contentEnd, wheel.coverTop + 1)
            << "the wheel stops before the text's end is in sight";
        EXPECT_GT(wheel.contentEnd, wheel.text.minY() + wheel.text.height() / 2)
            << "the wheel went past the end";
    }

    waitForFirstScreen(id);
    clickAndSettle(id, size, {recipeSegment.x - 1, recipeSegment.y - 1, 2, 2});
    clickAndSettle(id, size, at.at("RecipeBookButton"));
    clickAndSettle(id, size, {into.x - 1, into.y - 1, 2, 2});
    ASSERT_TRUE(x_->key("ctrl+End"));
    auto comparison = waitForExactPicture(id, home / "end.png");
    EXPECT_TRUE(comparison.matches) << "Ctrl+End: " << comparison.message;
    ASSERT_TRUE(x_->key("ctrl+Home"));
    ASSERT_TRUE(x_->waitUntilStill(id));
    const auto [x, y] = pixel(size, {text.midX(), text.minY() + 100});
    ASSERT_TRUE(x_->wheel(id, x, y, 100));
    comparison = waitForExactPicture(id, home / "wheel.png");
    EXPECT_TRUE(comparison.matches) << "the wheel: " << comparison.message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// A drag across the How-to Cards scrolls them and opens none; a click still opens the card.
TEST_F(WindowTest, ADragAcrossTheHowToCardsScrollsThemWithoutOpeningACardAndAClickOpensOne) {
    ChildProcess app = launch(home / "app");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora");
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    const auto at =
        places("place infoButton\ntap infoButton\nwait 1\nplace cardsButton\ntap cardsButton\nwait 1\n"
               "frame listView\n");
    ASSERT_EQ(at.size(), 3u);
    const platform::CGRect strip = at.at("frame listView");
    const platform::CGPoint from{strip.midX() + 120, strip.midY()}, to{strip.midX() - 120, strip.midY() + 4};
    std::vector<std::string> screens;
    auto name = [&](quillora::cli::ScriptInterpreter& interpreter) {
        interpreter.addCommand("screenname", "screenname",
                               [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                                   screens.push_back(
                                       platform::ScreenRenderer::presentationChain().back()->className());
                               });
    };
    drawScreens("tap infoButton\nwait 1\ntap cardsButton\nwait 1\nscreenname\ndrag " + point(from) + " " +
                    point(to) + "\nwait 2\nscreenname\npicture dragged\ntap " +
                    point({strip.midX(), strip.midY()}) + "\nwait 2\nscreenname\npicture opened\n",
                size.first, size.second, name);
    ASSERT_EQ(screens.size(), 3u);
    EXPECT_EQ(screens[1], screens[0]) << "the drag opened a card";
    EXPECT_NE(screens[2], screens[0]) << "the click opened no card";

    waitForFirstScreen(id);
    clickAndSettle(id, size, at.at("infoButton"));
    clickAndSettle(id, size, at.at("cardsButton"));
    andSettle(id, [&] { ASSERT_TRUE(x_->drag(id, pixel(size, from), pixel(size, to))); });
    auto comparison = waitForExactPicture(id, home / "dragged.png");
    EXPECT_TRUE(comparison.matches) << "after the drag: " << comparison.message;
    click(id, size, {strip.midX() - 1, strip.midY() - 1, 2, 2});
    comparison = waitForExactPicture(id, home / "opened.png");
    EXPECT_TRUE(comparison.matches) << "after the click: " << comparison.message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// A selection over three lines of a paragraph paints its range only: the line above it and the
// start of its first line look as they do with no selection at all.
TEST_F(WindowTest, ASelectionOverThreeLinesPaintsOnlyItsRange) {
    std::string paragraph;
    for (int i = 0; i < 12; ++i)
        paragraph += "Whisk the cream with sugar until it holds its shape. ";
    auto recipeText = openRecipeText(paragraph);
    ASSERT_GT(recipeText.app.pid(), 0);
    ASSERT_FALSE(recipeText.id.empty())
        << "no window titled Quillora appeared: " << readFile(home / "app.log");
    ASSERT_EQ(recipeText.at.size(), 3u);
    ChildProcess& app = recipeText.app;
    const std::string& id = recipeText.id;
    const auto size = recipeText.size;
    const auto& at = recipeText.at;
    const platform::CGRect text = recipeText.text;
    const platform::CGPoint into = recipeText.into, recipeSegment = recipeText.recipeSegment;
    std::map<std::string, platform::CGRect> carets;
    auto measure = [&](quillora::cli::ScriptInterpreter& interpreter) {
        interpreter.addCommand("caret", "caret NAME",
                               [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine& line) {
                                   platform::ScreenRenderer::layout();
                                   auto view = std::dynamic_pointer_cast<platform::UITextView>(
                                       quillora::cli::ScriptInterpreter::control("Clipboard"));
                                   carets[line.rest] = view->convertRect_toView(view->caretRect(), nullptr);
                               });
    };
    const std::vector<std::string> keys{"ctrl+Home", "Down", "ctrl+Right", "ctrl+Right", "ctrl+Right"};
    std::string script = "segment segmentcontrol Recipe\nwait 1\ntap RecipeBookButton\nwait 1.5\ntap " +
                         point(into) + "\nwait 1\nkey ctrl+Home\ncaret first\n";
    for (const auto& k : keys)
        script += "key " + k + "\n";
    script +=
        "wait 1\ncaret second\npicture plain\nkey shift+Down\nkey shift+Down\nwait 1\npicture selected\n";
    drawScreens(script, size.first, size.second, measure);
    ASSERT_EQ(carets.size(), 2u);
    const platform::CGRect first = carets.at("first"), caret = carets.at("second");
    ASSERT_GE(caret.minY(), first.maxY()) << "the caret is not on the second line";

    // The pixels of the line above the selection (its glyphs' height: the selection's band of the
    // next line reaches up to them), and of its first line before the caret (the caret's own column
    // left out), are those of the picture with no selection.
    const auto fit =
        platform::DesktopWindow::fit(size.first, size.second, platform::UIScreen::mainScreen().bounds());
    auto px = [&](double v, double origin) { return static_cast<int>(std::lround(origin + v * fit.scale)); };
    EXPECT_TRUE(samePixels(home / "plain.png", home / "selected.png", px(text.minX(), fit.x),
                           px(first.minY(), fit.y), px(text.maxX(), fit.x), px(first.maxY() - 2, fit.y)))
        << "the line above the selection is painted as selected (its band " << first.minY() << " to "
        << first.maxY() << ", the caret's " << caret.minY() << " to " << caret.maxY() << ")";
    EXPECT_TRUE(samePixels(home / "plain.png", home / "selected.png", px(text.minX(), fit.x),
                           px(caret.minY(), fit.y) + 1, px(caret.minX(), fit.x) - 3,
                           px(caret.maxY(), fit.y) - 1))
        << "the start of the first selected line is painted as selected";
    EXPECT_FALSE(samePixels(home / "plain.png", home / "selected.png", px(caret.maxX(), fit.x) + 3,
                            px(caret.minY(), fit.y) + 1, px(text.maxX(), fit.x) - 10,
                            px(caret.maxY(), fit.y) - 1))
        << "the selection is not painted at all";

    waitForFirstScreen(id);
    clickAndSettle(id, size, {recipeSegment.x - 1, recipeSegment.y - 1, 2, 2});
    clickAndSettle(id, size, at.at("RecipeBookButton"));
    clickAndSettle(id, size, {into.x - 1, into.y - 1, 2, 2});
    for (const auto& k : keys)
        ASSERT_TRUE(x_->key(k));
    ASSERT_TRUE(x_->key("shift+Down"));
    ASSERT_TRUE(x_->key("shift+Down"));
    const auto comparison = waitForExactPicture(id, home / "selected.png");
    EXPECT_TRUE(comparison.matches) << comparison.message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// The commands' action sheet is taller than the screen: the wheel over it brings its last row up.
TEST_F(WindowTest, TheWheelScrollsATallActionSheetToItsLastRow) {
    ChildProcess app = launch(home / "app");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora");
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    const auto at = places("place CommandsButton\n");
    ASSERT_EQ(at.size(), 1u);
    const platform::CGRect screen = platform::UIScreen::mainScreen().bounds();
    std::optional<platform::CGRect> lastRow;
    platform::CGRect box;
    double scrolled = 0;
    auto measure = [&](quillora::cli::ScriptInterpreter& interpreter) {
        interpreter.addCommand(
            "lastrow", "lastrow", [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                platform::ScreenRenderer::layout();
                auto alert = std::dynamic_pointer_cast<platform::UIAlertController>(
                    platform::ScreenRenderer::presentationChain().back());
                ASSERT_TRUE(alert);
                auto view = std::dynamic_pointer_cast<platform::UIAlertControllerView>(alert->view());
                const auto layout = view->layout();
                ASSERT_GT(layout.overflow, 0) << "the sheet fits the screen";
                scrolled = view->scrollOffset();
                box = layout.box;
                // The last action before the cancel button, where the scrolled box draws it.
                const auto& buttons = layout.buttons;
                for (std::size_t i = buttons.size(); i-- > 0;)
                    if (!(buttons[i] == layout.cancelBox)) {
                        lastRow = buttons[i];
                        break;
                    }
            });
    };
    drawScreens("tap CommandsButton\nwait 1\nwheel " + point({screen.midX(), screen.midY()}) +
                    " 60\nlastrow\npicture sheetend\n",
                size.first, size.second, measure);
    ASSERT_TRUE(lastRow);
    EXPECT_GT(scrolled, 0) << "the wheel did not scroll the sheet";
    EXPECT_LE(lastRow->maxY(), box.maxY() + 0.5) << "the last row is not brought up into the sheet";

    waitForFirstScreen(id);
    clickAndSettle(id, size, at.at("CommandsButton"));
    const auto [x, y] = pixel(size, {screen.midX(), screen.midY()});
    ASSERT_TRUE(x_->wheel(id, x, y, 60));
    const auto comparison = waitForExactPicture(id, home / "sheetend.png");
    EXPECT_TRUE(comparison.matches) << comparison.message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// A seven-page essay on the PDF screen: its page scrolls under the wheel and under a drag.
TEST_F(WindowTest, TheWheelAndADragScrollTheEssayPageOnThePDFScreen) {
    std::string essay;
    for (int i = 1; i <= 70; ++i)
        essay += "Paragraph " + std::to_string(i) +
                 " of the essay tells how machines learn from examples and what they give back to people. ";
    // The essay's body is the stored transcript.
    for (const char* folder : {"app", "places", "drawn"})
        quillora::test::writeFile(
            home / folder / "Library" / "Preferences" / "com.quillora.app.plist",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD "
            "PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist "
            "version=\"1.0\"><dict><key>saveclipBoardText</key><string>" +
                essay + "</string></dict></plist>\n");
    ChildProcess app = launch(home / "app");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora");
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    const auto at = places("place StickyDynamicButton\ntap StickyDynamicButton\nwait 1\nplace Essay\n"
                           "press Essay\nwait 1\ntoend\nplace Preview\n");
    ASSERT_EQ(at.size(), 3u);
    const platform::CGRect screen = platform::UIScreen::mainScreen().bounds();
    const platform::CGPoint onPage{screen.midX(), 420}, dragTo{screen.midX(), 120};
    std::map<std::string, double> offsets;
    auto measure = [&](quillora::cli::ScriptInterpreter& interpreter) {
        interpreter.addCommand(
            "pageoffset", "pageoffset NAME",
            [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine& line) {
                std::function<std::shared_ptr<platform::WKWebView>(const std::shared_ptr<platform::UIView>&)>
                    find = [&](const std::shared_ptr<platform::UIView>& view)
                    -> std::shared_ptr<platform::WKWebView> {
                    if (auto web = std::dynamic_pointer_cast<platform::WKWebView>(view)) return web;
                    for (const auto& child : view->subviews())
                        if (auto web = find(child)) return web;
                    return nullptr;
                };
                auto web = find(platform::ScreenRenderer::presentationChain().back()->view());
                ASSERT_TRUE(web) << "no page is shown";
                EXPECT_TRUE(web->scrollsOwnContent()) << "the page is no taller than the screen";
                offsets[line.rest] = web->pageOffset();
            });
    };
    drawScreens("tap StickyDynamicButton\nwait 1\npress Essay\nwait 1\npress Preview\nwait 3\npicture "
                "top\npageoffset top\n"
                "wheel " +
                    point(onPage) + " 12\npicture wheel\npageoffset wheel\ndrag " + point(onPage) + " " +
                    point(dragTo) + "\npageoffset drag\npicture drag\n",
                size.first, size.second, measure);
    ASSERT_EQ(offsets.size(), 3u);
    EXPECT_EQ(offsets.at("top"), 0);
    EXPECT_NEAR(offsets.at("wheel"), 12 * platform::ScrollInput::kPointsPerNotch, 1) << "the wheel";
    EXPECT_NEAR(offsets.at("drag") - offsets.at("wheel"), onPage.y - dragTo.y, 1) << "the drag";

    waitForFirstScreen(id);
    clickAndSettle(id, size, at.at("StickyDynamicButton"));
    clickAndSettle(id, size, at.at("Essay"));
    const auto [mx, my] = pixel(size, {screen.midX(), screen.midY()});
    andSettle(id, [&] { ASSERT_TRUE(x_->wheel(id, mx, my, 80)); });
    click(id, size, at.at("Preview"));
    auto comparison = waitForExactPicture(id, home / "top.png");
    ASSERT_TRUE(comparison.matches) << "the essay's page: " << comparison.message;
    const auto [x, y] = pixel(size, onPage);
    ASSERT_TRUE(x_->wheel(id, x, y, 12));
    comparison = waitForExactPicture(id, home / "wheel.png");
    EXPECT_TRUE(comparison.matches) << "after the wheel: " << comparison.message;
    ASSERT_TRUE(x_->drag(id, pixel(size, onPage), pixel(size, dragTo)));
    comparison = waitForExactPicture(id, home / "drag.png");
    EXPECT_TRUE(comparison.matches) << "after the drag: " << comparison.message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// Ended from outside while dictating: by the desktop's signal at logout (a second one while the
// saves are made), by the window system destroying the window, or by the connection to the display
// being cut (xkill). Each ends as closing the window does: the transcript reaches the list, the
// program exits with 0 and lets the data folder go.
TEST_F(WindowTest, EndedFromOutsideTheWindowTerminatesThroughItsSavesAndExitsWithZero) {
    struct Case {
        const char* name;
        // Ended while dictating, else once the dictation has been stopped and the window is still.
        bool dictating;
        std::function<bool(ChildProcess&, const std::string&)> end;
    };
    const Case cases[] = {
        {"signal", true,
         [&](ChildProcess& app, const std::string&) {
             if (kill(app.pid(), SIGTERM) != 0) return false;
             waitForPrinted("app going to terminate", 0);
             kill(app.pid(), SIGTERM);
             return true;
         }},
        {"destroyed", false,
         [&](ChildProcess&, const std::string& id) {
             return xdotool({"windowclose", id}).has_value();
         }},
        {"disconnected", false,
         [&](ChildProcess&, const std::string& id) {
             return tool({"xkill", "-id", id}).has_value();
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
        if (!c.dictating) {
            click(id, size, controls.recordButton);
            ASSERT_TRUE(x_->waitUntilStill(id));
        }

        ASSERT_TRUE(c.end(app, id));
        if (expectEndedThroughItsSaves(app.wait(kHangLimit), appHome).empty()) return;
        std::optional<quillora::cli::InstanceLock::Holder> holder;
        std::string error;
        EXPECT_TRUE(quillora::cli::InstanceLock::acquire(appHome, "script", holder, error))
            << "the data folder is still held: " << error;
    }
}

// The window system destroys the window, or the connection to the display is cut, while the window
// is being redrawn mid-dictation: its size changes and the pointer moves over it meanwhile, so that
// GDK is setting the window's properties and drawing into it when it goes. Each try ends through
// the saves, with 0, however the end falls on the redrawing.
TEST_F(WindowTest, AWindowDestroyedWhileItRedrawsMidDictationStillEndsThroughItsSaves) {
    std::string why;
    if (!startWindowManager(why)) FAIL() << why;
    Controls controls;
    for (int attempt = 1; attempt <= 4; ++attempt) {
        SCOPED_TRACE("try " + std::to_string(attempt) + (attempt % 2 ? ", destroyed" : ", disconnected"));
        const auto appHome = home / ("try" + std::to_string(attempt));
        ChildProcess app;
        std::string id;
        std::pair<int, int> size;
        ASSERT_NO_FATAL_FAILURE(startDictating(app, appHome, controls, id, size, true));

        // Redrawn over and over until the window goes: a different number of turns each try, so
        // that the destruction falls on a different moment of the drawing.
        std::atomic<int> turns{0};
        std::atomic<bool> stop{false};
        std::thread redraws([&] {
            const std::string w = std::to_string(size.first), h = std::to_string(size.second);
            for (int i = 0; !stop; ++i, ++turns) {
                xdotool({"windowsize", id, i % 2 ? w : "300", i % 2 ? h : "700"});
                xdotool({"mousemove", "--window", id, std::to_string(100 + i % 7 * 20), "300"});
            }
        });
        const bool redrawn = quillora::test::waitUntil([&] { return turns >= 3 * attempt; }, kHangLimit);
        const bool closed = redrawn && (attempt % 2 ? xdotool({"windowclose", id}).has_value()
                                                    : tool({"xkill", "-id", id}).has_value());
        const int status = app.wait(kHangLimit);
        stop = true;
        redraws.join();
        ASSERT_TRUE(closed);
        const auto rows = expectEndedThroughItsSaves(status, appHome);
        if (rows.empty()) return;
        const std::string preferences = [&] {
            for (const auto& entry : std::filesystem::directory_iterator(appHome / "Library" / "Preferences"))
                return readFile(entry.path());
            return std::string();
        }();
        EXPECT_NE(preferences.find(rows.front()), std::string::npos)
            << "the transcript is in the preferences: " << preferences;
        if (HasFailure()) break;
    }
}

namespace {

// A place on the screen (points) as pixels of window `id` of `size`.
platform::CGRect inWindow(std::pair<int, int> size, const platform::CGRect& r) {
    const auto fit =
        platform::DesktopWindow::fit(size.first, size.second, platform::UIScreen::mainScreen().bounds());
    return {fit.x + r.minX() * fit.scale, fit.y + r.minY() * fit.scale, r.width() * fit.scale,
            r.height() * fit.scale};
}

} // namespace

// After a dictation in the window and its stop, the window shows what the renderer draws of the
// same state: the pencil and the save arrow zoomed in and the analysis button turned, however
// long nothing else happens; and no word of the transcript lies under the two buttons.
TEST_F(WindowTest, AfterADictationThePencilAndTheSaveArrowAreDrawnAndHideNoWord) {
    std::string stored;
    for (int i = 0; i < 8; ++i)
        stored += "I don't think the garden will need watering today, the rain came down all night. ";
    for (const char* folder : {"app", "drawn", "places"})
        quillora::test::writeFile(home / folder / "Documents" / "datafile.dat", stored);
    const auto at = places("place segmentcontrol\nsegment segmentcontrol Notes\nwait 1\nplace recordButton\n"
                           "frame Clipboard\nframe EditIndicatorButton\nframe SaveArrowButton\n");
    ASSERT_EQ(at.size(), 5u);
    ChildProcess app = launch(home / "app");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora");
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    drawScreens(
        "segment segmentcontrol Notes\nwait 1\npicture notes\nspeak demo.wav\ntap recordButton\nwait 8\n"
        "tap recordButton\nwait 4\npicture dictated\n",
        size.first, size.second);

    waitForFirstScreen(id);
    clickAndSettle(id, size, at.at("segmentcontrol"));
    auto comparison = waitForPicture(id, home / "notes.png");
    ASSERT_TRUE(comparison.matches) << "the notes screen, ready to record: " << comparison.message;
    click(id, size, at.at("recordButton"));
    ASSERT_TRUE(waitForPrinted("start recodring again ", 0))
        << "the clip never ended a task: " << readFile(home / "app.log");
    click(id, size, at.at("recordButton"));
    comparison = waitForPicture(id, home / "dictated.png");
    EXPECT_TRUE(comparison.matches) << "after the dictation: " << comparison.message;

    // The buttons' column down the transcript, around the buttons themselves: no text there.
    const auto shown = home / "shown.png";
    ASSERT_TRUE(x_->capture(id, shown));
    const platform::CGRect text = at.at("frame Clipboard"), pencil = at.at("frame EditIndicatorButton"),
                           arrow = at.at("frame SaveArrowButton");
    const double column = std::min(pencil.minX(), arrow.minX()) - 1;
    const auto area =
        inWindow(size, {column, text.minY() + 10, text.maxX() - 1 - column, text.height() - 20});
    std::vector<platform::CGRect> buttons;
    for (const auto& b : {pencil, arrow})
        buttons.push_back(inWindow(size, {b.minX() - 2, b.minY() - 2, b.width() + 4, b.height() + 4}));
    EXPECT_GT(quillora::test::darkIn(shown, inWindow(size, text)), 1000) << "the transcript is drawn";
    EXPECT_EQ(quillora::test::darkIn(shown, area, buttons), 0) << "words lie under the buttons";

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// Synthesised speech in the window: "red circle" said first becomes its symbol on the notes
// screen, and on the first screen, which has no such command, stays the two words as said.
TEST_F(WindowTest, ACommandSaidFirstIsMadeOnTheNotesScreenAndReadsAsSaidOnTheFirst) {
    const auto clip =
        quillora::test::sourceTree() / "tests" / "support" / "speech" / "red-circle-buy-bread.flac";
    struct Case {
        bool notes;
        const char* list;
        const char* row;
    };
    for (const Case& c :
         {Case{true, "notesNVC.txt", " 🔴 buy bread"}, Case{false, "notes.txt", " Red circle buy bread"}}) {
        SCOPED_TRACE(c.list);
        const std::string name = c.notes ? "notes" : "first";
        const auto app = home / ("app-" + name);
        const std::string toScreen = c.notes ? "segment segmentcontrol Notes\nwait 1\n" : "";
        const auto at = quillora::test::places(home / ("places-" + name),
                                               "place segmentcontrol\n" + toScreen + "place recordButton\n");
        ASSERT_EQ(at.size(), 2u);
        ChildProcess program = launch(app, clip.string());
        ASSERT_GT(program.pid(), 0);
        const std::string id = window("Quillora");
        ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
        const auto size = windowSize(id);
        std::filesystem::remove_all(home / "drawn");
        drawScreens(toScreen + "picture ready-" + name + "\nspeak " + clip.string() +
                        "\ntap recordButton\nwait 8\ntap recordButton\nwait 4\npicture dictated-" + name +
                        "\n",
                    size.first, size.second);

        waitForFirstScreen(id);
        if (c.notes) clickAndSettle(id, size, at.at("segmentcontrol"));
        auto comparison = waitForPicture(id, home / ("ready-" + name + ".png"));
        ASSERT_TRUE(comparison.matches) << "ready to record: " << comparison.message;
        const std::size_t ended = printed("start recodring again ");
        click(id, size, at.at("recordButton"));
        ASSERT_TRUE(waitForPrinted("start recodring again ", ended))
            << "the clip never ended a task: " << readFile(home / "app.log");
        click(id, size, at.at("recordButton"));
        comparison = waitForPicture(id, home / ("dictated-" + name + ".png"));
        EXPECT_TRUE(comparison.matches) << "after the dictation: " << comparison.message;

        ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
        EXPECT_EQ(program.wait(kHangLimit), 0) << readFile(home / "app.log");
        const auto rows = platform::readStringArrayPlist((app / "Documents" / c.list).string());
        ASSERT_TRUE(rows && !rows->empty()) << "nothing was saved: " << readFile(home / "app.log");
        EXPECT_EQ(rows->front(), c.row);
        std::filesystem::remove(home / "app.log");
    }
}

// A drag to the left on a list's row opens its swipe actions, delete and the row's PDF; a click
// on the PDF writes the row alone into a PDF and says so.
TEST_F(WindowTest, ARowsSwipeInTheWindowOffersItsPDFBesideDelete) {
    ChildProcess app = launch(home / "app", "silence");
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora");
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);

    std::map<std::string, platform::CGRect> at;
    std::vector<std::string> offered;
    auto measure = [&](quillora::cli::ScriptInterpreter& interpreter) {
        addPlaceCommand(interpreter, at);
        // The open swipe's actions, by their pictures' names, and where each is on the screen.
        interpreter.addCommand(
            "actions", "actions", [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                auto table = std::dynamic_pointer_cast<platform::UITableView>(
                    quillora::cli::ScriptInterpreter::control("table"));
                ASSERT_TRUE(table && table->openSwipe()) << "no swipe is open";
                const auto rects = table->swipeActionRects();
                const auto& actions = table->openSwipe()->actions();
                ASSERT_EQ(rects.size(), actions.size());
                for (std::size_t i = 0; i < actions.size(); ++i) {
                    const std::string name = actions[i]->image ? actions[i]->image->name() : "";
                    offered.push_back(name);
                    const platform::CGRect shown{rects[i].minX(), rects[i].minY() - table->contentOffsetY(),
                                                 rects[i].width(), rects[i].height()};
                    at[name] = table->convertRect_toView(shown, nullptr);
                }
            });
    };
    drawScreens("at SaveDynamicButton\ntap SaveDynamicButton\nwait 1\nat table\npicture list\n", size.first,
                size.second, measure);
    ASSERT_EQ(at.count("table"), 1u);
    const platform::CGRect row = at.at("table");
    const platform::CGPoint from{row.maxX() - 20, row.midY()}, to{row.maxX() - 170, row.midY()};
    std::filesystem::remove_all(home / "drawn");
    drawScreens("tap SaveDynamicButton\nwait 1\ndrag " + std::to_string(from.x) + " " +
                    std::to_string(from.y) + " " + std::to_string(to.x) + " " + std::to_string(to.y) +
                    "\nactions\npicture swiped\n",
                size.first, size.second, measure);
    EXPECT_EQ(offered, (std::vector<std::string>{"delete.jpg", "PDF.jpg"}));
    ASSERT_EQ(at.count("PDF.jpg"), 1u);

    waitForFirstScreen(id);
    clickAndSettle(id, size, at.at("SaveDynamicButton"));
    auto comparison = waitForPicture(id, home / "list.png");
    ASSERT_TRUE(comparison.matches) << "the list: " << comparison.message;
    const auto [x0, y0] = pixel(size, from);
    const auto [x1, y1] = pixel(size, to);
    ASSERT_TRUE(x_->drag(id, {x0, y0}, {x1, y1}));
    comparison = waitForPicture(id, home / "swiped.png");
    EXPECT_TRUE(comparison.matches) << "the row's swipe actions: " << comparison.message;
    const std::size_t saved = printed("saved success");
    click(id, size, at.at("PDF.jpg"));
    EXPECT_TRUE(waitForPrinted("saved success", saved)) << readFile(home / "app.log");
    std::vector<std::filesystem::path> pdfs;
    for (const auto& entry : std::filesystem::directory_iterator(home / "app" / "Documents"))
        if (entry.path().extension() == ".pdf") pdfs.push_back(entry.path());
    ASSERT_EQ(pdfs.size(), 1u);
    EXPECT_NE(quillora::test::pdfWords(pdfs[0]).find("Item1"), std::string::npos);

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}
