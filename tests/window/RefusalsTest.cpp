// What the window tells a person when it does not do what was asked, and what a greyed control does
// with a click: each run here is compared, picture for picture, with the same steps run without a
// window in this process.
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cli/ScriptInterpreter.h"
#include "platform/foundation/LazyLibrary.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/RunLoop.h"
#include "platform/swiftui/HostingView.h"
#include "platform/uikit/Actionability.h"
#include "platform/uikit/DesktopServices.h"
#include "platform/uikit/ScrollInput.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIView.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SilentWav.h"
#include "tests/support/WindowManagerMessages.h"
#include "tests/support/XvfbSession.h"
#include "tests/window/ProgramHere.h"
#include "tests/window/WindowSessionTest.h"

using namespace std::chrono_literals;
using quillora::cli::ScriptInterpreter;
using quillora::cli::ScriptLine;
using quillora::test::ChildProcess;

namespace {

// The window's desktop as it is in these tests: no program takes web links.
class DesktopWithoutBrowser : public platform::DesktopServices {
public:
    void copyToClipboard(const std::string&) override {}
    void clipboardText(TextCallback) override {}
    void chooseFileToOpen(const std::string&, const std::vector<platform::FileFilter>&,
                          PathCallback) override {}
    void chooseFileToSave(const std::string&, const std::string&, PathCallback) override {}
    bool printPDF(const std::filesystem::path&, const std::string&, PrintCallback,
                  std::string* error) override {
        if (error) *error = "no printing here";
        return false;
    }
    bool openURL(const std::string& url, std::string* error) override {
        if (error) *error = "no program on this computer opens " + url.substr(0, url.find(':')) + ": links";
        return false;
    }
};

class RefusalsTest : public quillora::test::WindowSessionTest {
protected:
    void SetUp() override {
        WindowSessionTest::SetUp();
        env_ = x_->environment();
    }

    std::string log() const { return quillora::test::fileContent(home / "app.log"); }

    // The program in a window on `appHome`, with no microphone unless `microphone` names a file;
    // the window's id and size.
    ChildProcess launch(const std::filesystem::path& appHome, std::string& id, std::pair<int, int>& size,
                        const std::string& microphone = "silence") {
        ChildProcess app = ChildProcess::start({QUILLORA_PROGRAM, "--window", "--home", appHome.string(),
                                                "--microphone", microphone, "--console"},
                                               env_, (home / "app.log").string());
        id = x_->findWindow("Quillora", true, 30s);
        if (!id.empty()) size = x_->windowSize(id);
        return app;
    }

    // `script` run here without a window on `data`, as far as the window's person goes: each
    // `at KEY` line keeps the middle of the control named KEY (an outlet, a table's first row, a
    // row of the shown share sheet, a declarative control by its label), `touch KEY` touches the
    // place kept, each `picture NAME` draws the screen as the window of `size` shows it into
    // NAME.png; `more` adds commands of the test's own.
    std::map<std::string, platform::CGPoint>
    headless(const std::filesystem::path& data, const std::string& script, std::pair<int, int> size,
             const std::function<void(ScriptInterpreter&)>& more = {}) {
        std::map<std::string, platform::CGPoint> at;
        auto extend = [&](ScriptInterpreter& interpreter) {
            if (more) more(interpreter);
            interpreter.addCommand("at", "at KEY", [&](ScriptInterpreter&, const ScriptLine& line) {
                const std::string key = line.textAfter(0);
                auto screen = ScriptInterpreter::currentScreen();
                auto middle = [](const platform::CGRect& r) { return platform::CGPoint{r.midX(), r.midY()}; };
                if (auto table = std::dynamic_pointer_cast<platform::UITableView>(screen->outletNamed(key))) {
                    // Its first row.
                    const double top = table->offsetOfRow({0, 0}) - table->contentOffsetY();
                    const double bottom = table->offsetOfRow({0, 1}) - table->contentOffsetY();
                    at[key] =
                        table->convertPoint_toView({table->bounds().midX(), (top + bottom) / 2}, nullptr);
                } else if (auto view =
                               std::dynamic_pointer_cast<platform::UIView>(screen->outletNamed(key))) {
                    at[key] = middle(view->convertRect_toView(view->bounds(), nullptr));
                } else if (auto row = quillora::test::shareSheetRow(key)) {
                    at[key] = middle(*row);
                } else if (auto hosting = quillora::test::findHostingView(screen->view())) {
                    if (auto box = hosting->layout().controlBox(key))
                        at[key] = middle(hosting->convertRect_toView(box->frame, nullptr));
                }
                if (!at.count(key)) ADD_FAILURE() << "no place for " << key;
            });
            interpreter.addCommand("touch", "touch KEY", [&](ScriptInterpreter&, const ScriptLine& line) {
                platform::Actionability::tap(at.at(line.textAfter(0)));
            });
            interpreter.addCommand(
                "picture", "picture NAME", [&](ScriptInterpreter&, const ScriptLine& line) {
                    EXPECT_TRUE(quillora::test::writeWindowPicture(home / (line.rest + ".png"), size));
                });
        };
        EXPECT_EQ(quillora::test::runProgramHere(data, script, extend), 0);
        return at;
    }

    // A click on a point of the screen (points) in window `id` of `size`.
    void click(const std::string& id, std::pair<int, int> size, platform::CGPoint p) {
        const auto at = inWindow(size, {p.x, p.y, 0, 0});
        ASSERT_TRUE(x_->click(id, std::lround(at.minX()), std::lround(at.minY())));
    }

    // Waits for window `id` to show NAME.png, letters included.
    void expectShown(const std::string& id, const std::string& name) {
        const auto comparison = x_->waitForPicture(id, home / (name + ".png"), 20s, {1, 64, 0.0005, true});
        EXPECT_TRUE(comparison.matches) << name << " is not shown: " << comparison.message << "\n" << log();
    }

    void close(const std::string& id, ChildProcess& app) {
        ASSERT_TRUE(quillora::test::sendCloseRequest(x_->display(), std::stoul(id)));
        EXPECT_EQ(app.wait(20s), 0) << log();
    }

    std::map<std::string, std::string> env_;
};

} // namespace

// Share's Print with an empty transcript, and the settings' links on a desktop where no program
// opens web links: each time an alert over the screen says why, and Return closes it.
TEST_F(RefusalsTest, WhatIsNotDoneIsToldInAnAlertOverTheScreenItWasAskedFrom) {
    const auto desktop = home / "desktop";
    std::filesystem::create_directories(desktop);
    for (const char* folder : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CONFIG_DIRS"})
        env_[folder] = desktop.string();
    const auto query = x_->run({"env", "XDG_CONFIG_HOME=" + desktop.string(),
                                "XDG_DATA_HOME=" + desktop.string(), "XDG_CONFIG_DIRS=" + desktop.string(),
                                "xdg-mime", "query", "default", "x-scheme-handler/https"});
    ASSERT_TRUE(query && query->find_first_not_of(" \n") == std::string::npos)
        << "a program takes https: links on this machine: " << query.value_or("(no answer)");

    std::string id;
    std::pair<int, int> size;
    ChildProcess app = launch(home / "app", id, size);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << log();

    struct Refusal {
        std::string name;
        // What is clicked, in order, to be refused.
        std::vector<std::string> clicks;
        std::string reached; // the script lines that reach the refusal without a window
        std::string message;
    };
    const std::vector<Refusal> refusals{
        {"print",
         {"ShareDynamicButton", "Print"},
         "at ShareDynamicButton\ntap ShareDynamicButton\nwait 1\nat Print\ntouch Print\nwait 1\n",
         "Cannot Print: Nothing was printed: the shared text is empty."},
        {"website",
         {"FontDynamicButton", "Website"},
         "at FontDynamicButton\ntap FontDynamicButton\nwait 1\nat Website\npress Website\nwait 1\n",
         "Cannot Open Link: \u201Chttps://quillora.app/\u201D was not opened: no program on this computer "
         "opens "
         "https: links."},
        {"commands",
         {"Voice Recognition Commands"},
         "at Voice Recognition Commands\npress Voice Recognition Commands\nwait 1\n",
         "Cannot Open Link: \u201Chttps://quillora.app/help/voice-commands\u201D was not opened: no program "
         "on "
         "this computer opens https: links."},
    };
    std::string script = "nobrowser\npicture first\n";
    for (const auto& r : refusals)
        script += r.reached + "said " + r.name + "\npicture " + r.name +
                  "\nalert OK\nwait 1\npicture after-" + r.name + "\n";
    std::map<std::string, std::string> said;
    const auto at = headless(home / "headless", script, size, [&](ScriptInterpreter& interpreter) {
        interpreter.addCommand("nobrowser", "nobrowser", [](ScriptInterpreter&, const ScriptLine&) {
            platform::DesktopServices::install(std::make_shared<DesktopWithoutBrowser>());
        });
        interpreter.addCommand("said", "said NAME", [&](ScriptInterpreter&, const ScriptLine& line) {
            auto alert =
                std::dynamic_pointer_cast<platform::UIAlertController>(ScriptInterpreter::currentScreen());
            said[line.rest] = alert ? alert->title().value_or("") + ": " + alert->message().value_or("") : "";
        });
    });

    expectShown(id, "first");
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(said[r.name], r.message);
        for (const auto& key : r.clicks) {
            ASSERT_TRUE(at.count(key)) << key;
            const auto before = home / "before.png";
            ASSERT_TRUE(x_->capture(id, before));
            click(id, size, at.at(key));
            EXPECT_TRUE(x_->waitForChange(id, before)) << "a click on " << key << " changed nothing";
        }
        expectShown(id, r.name);
        ASSERT_TRUE(x_->key("Return"));
        expectShown(id, "after-" + r.name);
    }
    close(id, app);
}

// On an entry's screen in a language not recognised here the record button is greyed: its reason
// shows beside it, and a click on it stays there (the entry's editor behind it does not open).
TEST_F(RefusalsTest, AGreyedRecordButtonShowsWhyAndKeepsTheClicksThatLandOnIt) {
    for (const char* folder : {"app", "headless"}) {
        std::filesystem::create_directories(home / folder / "Documents");
        ASSERT_TRUE(platform::writeStringArrayPlist((home / folder / "Documents" / "notes.txt").string(),
                                                    {"Weekend groceries: milk, eggs and bread"}));
    }
    // A French region: recognised nowhere here.
    env_["LC_ALL"] = "fr_FR.UTF-8";
    std::string id;
    std::pair<int, int> size;
    ChildProcess app = launch(home / "app", id, size);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << log();

    const char* const previous = std::getenv("LC_ALL");
    const std::string kept = previous ? previous : "";
    setenv("LC_ALL", "fr_FR.UTF-8", 1);
    const auto at =
        headless(home / "headless",
                 "picture first\nat SaveDynamicButton\ntap SaveDynamicButton\nwait 1\nat table\n"
                 "picture list\nrow table 0\nwait 1\nat recordButton\nat BackDynamicButton\nshow\n"
                 "picture entry\n",
                 size);
    if (previous)
        setenv("LC_ALL", kept.c_str(), 1);
    else
        unsetenv("LC_ALL");
    EXPECT_TRUE(consoleHas("  recordButton: UIButton title=\"Connect to the internet\" "
                           "image=\"French_Play_Button.png\" disabled"));
    for (const char* key : {"SaveDynamicButton", "table", "recordButton", "BackDynamicButton"})
        ASSERT_TRUE(at.count(key)) << key;

    expectShown(id, "first");
    click(id, size, at.at("SaveDynamicButton"));
    expectShown(id, "list");
    click(id, size, at.at("table"));
    expectShown(id, "entry");
    // The greyed button, then Back: the list comes back only if the first click opened nothing
    // over the entry.
    click(id, size, at.at("recordButton"));
    click(id, size, at.at("BackDynamicButton"));
    expectShown(id, "list");
    close(id, app);
}

// Without the resampler a 44.1 kHz microphone cannot be heard: after the alert that says so, the
// greyed record button names the library.
TEST_F(RefusalsTest, AGreyedRecordButtonNamesTheLibraryTheMicrophoneLacks) {
    const auto fast = home / "44100.wav";
    quillora::test::writeSilentWav(fast, 44100);
    env_["LD_LIBRARY_PATH"] = std::string(QUILLORA_STUB_LIBRARIES) + "/libsamplerate.so.0";
    std::string id;
    std::pair<int, int> size;
    ChildProcess app = launch(home / "app", id, size, fast.string());
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << log();

    const auto at = headless(
        home / "headless",
        "noresampler\nmicrophone " + fast.string() +
            "\npicture first\nat recordButton\ntap recordButton\nwait 2\nkey Return\n"
            "wait 1\nshow\npicture greyed\n",
        size, [](ScriptInterpreter& interpreter) {
            interpreter.addCommand("noresampler", "noresampler", [](ScriptInterpreter&, const ScriptLine&) {
                platform::LazyLibrary::refuseForTesting("libsamplerate.so.0", "no resampler here");
            });
        });
    EXPECT_TRUE(
        consoleHas("  recordButton: UIButton title=\"No libsamplerate.so.0\" image=\"Play.png\" disabled"));
    ASSERT_TRUE(at.count("recordButton"));

    // Enabled once the speech model has loaded.
    expectShown(id, "first");
    click(id, size, at.at("recordButton"));
    EXPECT_TRUE(quillora::test::waitUntil(
        [&] { return log().find("The microphone cannot be heard") != std::string::npos; }, 30000ms))
        << log();
    ASSERT_TRUE(x_->waitUntilStill(id));
    ASSERT_TRUE(x_->key("Return"));
    expectShown(id, "greyed");
    close(id, app);
}

// Shift with the wheel over a row of the template gallery's cards moves the row sideways.
TEST_F(RefusalsTest, ShiftWithTheWheelScrollsACardRowSideways) {
    std::string id;
    std::pair<int, int> size;
    ChildProcess app = launch(home / "app", id, size);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << log();
    constexpr int notches = 3;
    platform::CGPoint row;
    const auto at = headless(
        home / "headless",
        "picture first\nat StickyDynamicButton\ntap StickyDynamicButton\nwait 1\ncard\n"
        "picture gallery\nsideways\npicture sideways\n",
        size, [&](ScriptInterpreter& interpreter) {
            // The middle of the essay's card, then its row moved as the window's notches move it.
            interpreter.addCommand("card", "card", [&](ScriptInterpreter&, const ScriptLine&) {
                auto view = quillora::test::findHostingView(ScriptInterpreter::currentScreen()->view());
                ASSERT_TRUE(view);
                auto box = view->layout().controlBox("Essay");
                ASSERT_TRUE(box);
                const auto r = view->convertRect_toView(box->frame, nullptr);
                row = {r.midX(), r.midY()};
            });
            interpreter.addCommand("sideways", "sideways", [&](ScriptInterpreter&, const ScriptLine&) {
                auto view = quillora::test::findHostingView(ScriptInterpreter::currentScreen()->view());
                for (int i = 0; i < notches; ++i)
                    view->scrollBy(view->convertPoint_fromView(row, nullptr),
                                   {platform::ScrollInput::kPointsPerNotch, 0});
                platform::RunLoop::main().advance(0.5);
            });
        });
    ASSERT_TRUE(at.count("StickyDynamicButton"));
    ASSERT_NE(quillora::test::fileContent(home / "gallery.png"),
              quillora::test::fileContent(home / "sideways.png"))
        << "the row has nothing more to show sideways";

    expectShown(id, "first");
    click(id, size, at.at("StickyDynamicButton"));
    expectShown(id, "gallery");
    const auto over = inWindow(size, {row.x, row.y, 0, 0});
    ASSERT_TRUE(x_->wheel(id, std::lround(over.minX()), std::lround(over.minY()), 0));
    ASSERT_TRUE(x_->xdotool({"keydown", "shift"}));
    ASSERT_TRUE(x_->wheel(id, std::lround(over.minX()), std::lround(over.minY()), notches));
    ASSERT_TRUE(x_->xdotool({"keyup", "shift"}));
    expectShown(id, "sideways");
    close(id, app);
}
