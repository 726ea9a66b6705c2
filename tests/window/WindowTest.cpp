// The program's window on a virtual X display, used the way a person uses it: xdotool clicks where
// the renderer draws the controls and types on the keyboard; the window closes as a window manager
// closes it. Skipped, with the reason, where no virtual display can start.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cairo.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "platform/desktop/DesktopWindow.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/swiftui/HostingView.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/webkit/HTMLDocument.h"
#include "tests/support/ImageCompare.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"
#include "tests/window/WindowManagerMessages.h"

extern char** environ;

using namespace std::chrono_literals;

namespace {

// A child process with extra environment variables; its output goes to `log` (or is kept).
struct Child {
    pid_t pid = -1;

    Child() = default;
    Child(Child&& other) noexcept : pid(other.pid) { other.pid = -1; }
    Child& operator=(Child&& other) noexcept {
        if (this != &other) {
            stop();
            pid = other.pid;
            other.pid = -1;
        }
        return *this;
    }

    static Child start(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                       const std::string& log) {
        std::map<std::string, std::string> all;
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            auto eq = entry.find('=');
            if (eq != std::string::npos) all[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
        for (const auto& [k, v] : env)
            all[k] = v;
        std::vector<std::string> envStrings;
        for (const auto& [k, v] : all)
            envStrings.push_back(k + "=" + v);
        std::vector<char*> argv, envp;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (const auto& e : envStrings)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        Child child;
        if (posix_spawnp(&child.pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            child.pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return child;
    }
    // The exit code, or -1 when it did not end in time (it is then killed).
    int wait(std::chrono::milliseconds timeout) {
        if (pid <= 0) return -1;
        const auto end = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (std::chrono::steady_clock::now() < end) {
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        stop();
        return -1;
    }
    void stop() {
        if (pid <= 0) return;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    ~Child() { stop(); }
};

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs a tool to its end and returns what it printed; none when it failed.
std::optional<std::string> tool(const std::vector<std::string>& args,
                                const std::map<std::string, std::string>& env,
                                const std::filesystem::path& dir) {
    const auto log = (dir / "tool.out").string();
    Child child = Child::start(args, env, log);
    if (child.pid <= 0 || child.wait(10s) != 0) return std::nullopt;
    return readFile(log);
}

bool on(const std::string& program) {
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    std::stringstream dirs(path);
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    return false;
}

// A control's place on the screen (points) as the renderer lays it out.
struct Controls {
    platform::CGRect recordButton, transcript, save;
    // The editor sheet that a touch on the transcript opens: its text and its Save button.
    platform::CGRect editorText, editorSave;
};

class WindowTest : public quillora::test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        for (const char* program : {"Xvfb", "xdotool", "import"})
            if (!on(program))
                GTEST_SKIP() << "the window test needs " << program << ", which is not installed";
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        // The server picks a free display and writes its number to the pipe once it accepts clients.
        Child server = Child::start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                     "800x900x24", "-nolisten", "tcp", "-noreset"},
                                    {}, (home / "xvfb.log").string());
        close(fds[1]);
        std::string number;
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < end && number.find('\n') == std::string::npos) {
            char buffer[16];
            ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n > 0)
                number.append(buffer, static_cast<std::size_t>(n));
            else
                std::this_thread::sleep_for(20ms);
        }
        close(fds[0]);
        if (server.pid <= 0 || number.find('\n') == std::string::npos) {
            server.stop();
            GTEST_SKIP() << "no virtual display could start (Xvfb: " << readFile(home / "xvfb.log") << ")";
        }
        xvfb_ = std::move(server);
        display_ = ":" + number.substr(0, number.find('\n'));
        // The cairo renderer draws, so GL is kept off: otherwise GDK loads Mesa's driver to probe it
        // and unloads it at exit, and the leak checker then reports the driver's allocations from
        // a library it can no longer name.
        env_ = {{"DISPLAY", display_},       {"GDK_BACKEND", "x11"}, {"GSK_RENDERER", "cairo"},
                {"GDK_DEBUG", "gl-disable"}, {"NO_AT_BRIDGE", "1"},  {"LANG", "C.UTF-8"},
                {"LC_ALL", "C.UTF-8"},       {"GTK_A11Y", "none"}};
        unsetenv("WAYLAND_DISPLAY");
    }
    void TearDown() override {
        windowManager_.stop();
        xvfb_.stop();
        PlatformTest::TearDown();
    }

    // Starts a window manager on the display and waits until it manages the screen; false, with
    // the reason in `why`, when none can.
    bool startWindowManager(std::string& why) {
        if (!on("openbox")) {
            why = "minimising needs a window manager, and openbox is not installed";
            return false;
        }
        const auto config = home / "wm";
        std::filesystem::create_directories(config);
        auto env = env_;
        env["HOME"] = config.string();
        env["XDG_CONFIG_HOME"] = env["XDG_CACHE_HOME"] = env["XDG_DATA_HOME"] = config.string();
        windowManager_ = Child::start({"openbox", "--sm-disable"}, env, (home / "wm.log").string());
        for (int i = 0; i < 100 && windowManager_.pid > 0; ++i) {
            if (quillora::test::windowManagerRunning(display_)) return true;
            std::this_thread::sleep_for(50ms);
        }
        windowManager_.stop();
        why = "the window manager did not start: " + readFile(home / "wm.log");
        return false;
    }

    std::optional<std::string> xdotool(std::vector<std::string> args) {
        args.insert(args.begin(), "xdotool");
        return tool(args, env_, home);
    }

    // The program in a window, listening to the demo clip, its console copied to app.log.
    Child launch(const std::filesystem::path& appHome,
                 const std::string& microphone = (quillora::test::sourceBundle() / "demo.wav").string()) {
        return Child::start({QUILLORA_PROGRAM, "--window", "--home", appHome.string(), "--microphone",
                             microphone, "--console"},
                            env_, (home / "app.log").string());
    }

    // The first window titled `title` (a mapped one when `visible`), waiting up to `tries` tenths
    // of a second for it; none when there is none.
    std::string window(const std::string& title, bool visible = false, int tries = 100) {
        std::vector<std::string> args{"search"};
        if (visible) args.push_back("--onlyvisible");
        args.insert(args.end(), {"--name", "^" + title + "$"});
        for (int i = 0; i < tries; ++i) {
            if (auto found = xdotool(args); found && !found->empty())
                return found->substr(0, found->find('\n'));
            std::this_thread::sleep_for(100ms);
        }
        return {};
    }

    // The window's size, once it has one: a window is created 1 x 1 and sized a moment later.
    std::pair<int, int> windowSize(const std::string& id) {
        int width = 0, height = 0;
        for (int i = 0; i < 50 && width <= 1; ++i) {
            if (i > 0) std::this_thread::sleep_for(100ms);
            std::stringstream lines(xdotool({"getwindowgeometry", "--shell", id}).value_or(""));
            for (std::string line; std::getline(lines, line);) {
                if (line.rfind("WIDTH=", 0) == 0) width = std::stoi(line.substr(6));
                if (line.rfind("HEIGHT=", 0) == 0) height = std::stoi(line.substr(7));
            }
        }
        return {width, height};
    }

    // Waits for window `id` to show the picture `expected`: the authorization answer and the first
    // frame come within moments of the window (longer on a loaded machine).
    quillora::test::ImageComparison waitForPicture(const std::string& id,
                                                   const std::filesystem::path& expected) {
        const auto shot = home / "window.png";
        quillora::test::ImageComparison comparison;
        for (int attempt = 0; attempt < 10 && !comparison.matches; ++attempt) {
            std::this_thread::sleep_for(attempt == 0 ? 1000ms : 500ms);
            if (tool({"import", "-window", id, shot.string()}, env_, home))
                comparison = quillora::test::compareImages(shot, expected);
            else
                comparison.message = "the window could not be captured";
        }
        return comparison;
    }

    // A click on the middle of `r` (or the point `dx`, `dy` across it), a place on the screen,
    // in window `id` of `size` (width, height).
    void click(const std::string& id, std::pair<int, int> size, const platform::CGRect& r, double dx = 0.5,
               double dy = 0.5) {
        const auto fit =
            platform::DesktopWindow::fit(size.first, size.second, platform::UIScreen::mainScreen().bounds());
        const long x = std::lround(fit.x + (r.minX() + r.width() * dx) * fit.scale);
        const long y = std::lround(fit.y + (r.minY() + r.height() * dy) * fit.scale);
        ASSERT_TRUE(
            xdotool({"mousemove", "--window", id, std::to_string(x), std::to_string(y), "click", "1"}));
    }

    // How often the program's console has printed `line` so far.
    std::size_t printed(const std::string& line) {
        const std::string log = readFile(home / "app.log");
        std::size_t count = 0;
        for (auto at = log.find(line); at != std::string::npos; at = log.find(line, at + line.size()))
            ++count;
        return count;
    }

    // Waits up to `timeout` for the console to have printed `line` more than `before` times.
    bool waitForPrinted(const std::string& line, std::size_t before, std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (printed(line) <= before) {
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(50ms);
        }
        return true;
    }

    static std::shared_ptr<platform::swiftui::HostingView>
    findHostingView(const std::shared_ptr<platform::UIView>& view) {
        if (!view) return nullptr;
        if (auto hosting = std::dynamic_pointer_cast<platform::swiftui::HostingView>(view)) return hosting;
        for (const auto& child : view->subviews())
            if (auto found = findHostingView(child)) return found;
        return nullptr;
    }

    // The program's first screen, launched here without a window: where its controls are, and its
    // picture in a `width` x `height` frame as the window draws it.
    Controls firstScreen(int width, int height, const std::filesystem::path& picture) {
        Controls controls;
        auto extend = [&](quillora::cli::ScriptInterpreter& interpreter) {
            interpreter.addCommand(
                "measure", "measure",
                [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                    auto rect = [](const char* name) {
                        auto view = std::dynamic_pointer_cast<platform::UIView>(
                            quillora::cli::ScriptInterpreter::control(name));
                        return view->convertRect_toView(view->bounds(), nullptr);
                    };
                    controls = {rect("recordButton"), rect("Clipboard"), rect("SaveDynamicButton"), {}, {}};
                    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
                    cairo_t* cr = cairo_create(surface);
                    platform::DesktopWindow::drawFrame(cr, width, height);
                    cairo_destroy(cr);
                    cairo_surface_write_to_png(surface, picture.c_str());
                    cairo_surface_destroy(surface);

                    // The editor the transcript opens, as it lays out over the screen.
                    const auto& t = controls.transcript;
                    const platform::CGPoint point{t.minX() + t.width() * 0.9, t.minY() + t.height() * 0.05};
                    platform::ScreenRenderer::sendTouch(platform::UITouchPhase::Began, point, 0);
                    platform::ScreenRenderer::sendTouch(platform::UITouchPhase::Ended, point, 0.05);
                    platform::RunLoop::main().advance(1);
                    auto chain = platform::ScreenRenderer::presentationChain();
                    if (chain.size() < 2) return;
                    auto hosting = findHostingView(chain.back()->view());
                    if (!hosting) return;
                    const auto& layout = hosting->layout();
                    if (auto box = layout.controlBox("Save"))
                        controls.editorSave = hosting->convertRect_toView(box->frame, nullptr);
                    layout.forEach([&](const platform::swiftui::LayoutBox& box) {
                        if (box.isView("TextEditor"))
                            controls.editorText = hosting->convertRect_toView(box.frame, nullptr);
                    });
                });
        };
        const auto script = home / "measure.txt";
        std::ofstream(script) << "measure\n";
        quillora::cli::Options options;
        options.home = home / "headless";
        options.clock = platform::RunLoop::kDefaultVirtualEpoch;
        options.script = script.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        EXPECT_EQ(quillora::cli::runProgram(options, 1, argv, extend), 0);
        platform::resetSharedInstances();
        return controls;
    }

    // Where the controls are that a person reaches by the way `script` leads the program, launched
    // here without a window: each `place KEY` line gives the place on the screen of the current
    // screen's control named KEY, else of its declarative control labelled KEY, else of the share
    // sheet's row titled KEY. Places not found are left out.
    std::map<std::string, platform::CGRect> places(const std::string& script) {
        std::map<std::string, platform::CGRect> found;
        auto extend = [&](quillora::cli::ScriptInterpreter& interpreter) {
            interpreter.addCommand(
                "place", "place KEY",
                [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine& line) {
                    const std::string key = line.rest;
                    try {
                        if (auto view = std::dynamic_pointer_cast<platform::UIView>(
                                quillora::cli::ScriptInterpreter::control(key))) {
                            // Where a click reaches it: a view drawn over it may cover its middle.
                            const auto r = view->convertRect_toView(view->bounds(), nullptr);
                            for (double dy : {0.5, 0.75, 0.25, 0.9, 0.1}) {
                                const platform::CGPoint p{r.midX(), r.minY() + r.height() * dy};
                                auto hit = platform::ScreenRenderer::hitTest(p);
                                if (hit && hit->isDescendantOfView(view.get())) {
                                    found[key] = {p.x - 1, p.y - 1, 2, 2};
                                    break;
                                }
                            }
                            return;
                        }
                    } catch (const quillora::cli::ScriptError&) {
                    }
                    auto screen = platform::ScreenRenderer::presentationChain().back();
                    if (auto sheet = std::dynamic_pointer_cast<platform::UIActivityViewControllerView>(
                            screen->view())) {
                        const auto offered =
                            std::dynamic_pointer_cast<platform::UIActivityViewController>(screen)
                                ->offeredActivities();
                        const auto rows = sheet->rowRects();
                        for (std::size_t i = 0; i < offered.size() && i < rows.size(); ++i)
                            if (offered[i].second == key)
                                found[key] = sheet->convertRect_toView(rows[i], nullptr);
                        return;
                    }
                    // A label may start with a blank, which the line's words lose.
                    if (auto hosting = findHostingView(screen->view()))
                        for (const std::string& label : {key, " " + key})
                            if (auto box = hosting->layout().controlBox(label); box && !found.count(key))
                                found[key] = hosting->convertRect_toView(box->frame, nullptr);
                });
            // Scrolls the shown declarative screen to its end, as the wheel does in the window.
            interpreter.addCommand("toend", "toend",
                                   [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                                       auto screen = platform::ScreenRenderer::presentationChain().back();
                                       auto hosting = findHostingView(screen->view());
                                       ASSERT_TRUE(hosting) << "no declarative screen is shown";
                                       const auto b = hosting->bounds();
                                       hosting->scrollBy({b.midX(), b.midY()}, {0, 1e6});
                                       platform::RunLoop::main().runUntilIdle();
                                   });
            // The whole frame of a named view, as "frame KEY".
            interpreter.addCommand(
                "frame", "frame KEY",
                [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine& line) {
                    auto view = std::dynamic_pointer_cast<platform::UIView>(
                        quillora::cli::ScriptInterpreter::control(line.rest));
                    found["frame " + line.rest] = view->convertRect_toView(view->bounds(), nullptr);
                });
        };
        const auto path = home / "places.txt";
        std::ofstream(path) << script;
        quillora::cli::Options options;
        options.home = home / "places";
        options.clock = platform::RunLoop::kDefaultVirtualEpoch;
        options.script = path.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        EXPECT_EQ(quillora::cli::runProgram(options, 1, argv, extend), 0);
        platform::resetSharedInstances();
        return found;
    }

    // The pictures of the screens a person sees along `script`, run here without a window: each
    // `picture NAME` line draws the screen as a `width` x `height` window shows it into NAME.png.
    void drawScreens(const std::string& script, int width, int height) {
        auto extend = [&](quillora::cli::ScriptInterpreter& interpreter) {
            interpreter.addCommand(
                "picture", "picture NAME",
                [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine& line) {
                    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
                    cairo_t* cr = cairo_create(surface);
                    platform::DesktopWindow::drawFrame(cr, width, height);
                    cairo_destroy(cr);
                    cairo_surface_write_to_png(surface, (home / (line.rest + ".png")).c_str());
                    cairo_surface_destroy(surface);
                });
        };
        const auto path = home / "drawn.txt";
        std::ofstream(path) << script;
        quillora::cli::Options options;
        options.home = home / "drawn";
        options.clock = platform::RunLoop::kDefaultVirtualEpoch;
        options.script = path.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        EXPECT_EQ(quillora::cli::runProgram(options, 1, argv, extend), 0);
        platform::resetSharedInstances();
    }

    // Every file under `folder` with its content.
    static std::map<std::string, std::string> filesIn(const std::filesystem::path& folder) {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
            if (entry.is_regular_file())
                files[std::filesystem::relative(entry.path(), folder).string()] = readFile(entry.path());
        return files;
    }

    Child xvfb_;
    Child windowManager_;
    std::string display_;
    std::map<std::string, std::string> env_;
};

} // namespace

TEST_F(WindowTest, APersonDictatesTypesSavesAndClosesAndTheWindowShowsWhatTheRendererDraws) {
    const auto appHome = home / "app";
    Child app = launch(appHome);
    ASSERT_GT(app.pid, 0);

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
    EXPECT_TRUE(waitForPrinted("start recodring again ", 0, 30s))
        << "the clip never ended a task: " << readFile(home / "app.log");
    click(controls.recordButton);
    std::this_thread::sleep_for(2500ms);

    // A touch on the transcript opens the editor sheet; the words typed there reach the
    // transcript when the editor's Save is pressed.
    ASSERT_GT(controls.editorText.width(), 0) << "the editor sheet was not laid out";
    ASSERT_GT(controls.editorSave.width(), 0);
    click(controls.transcript, 0.9, 0.05);
    std::this_thread::sleep_for(1200ms);
    click(controls.editorText, 0.5, 0.3);
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(xdotool({"type", "--delay", "5", " typed by hand"}));
    std::this_thread::sleep_for(500ms);
    click(controls.editorSave);
    std::this_thread::sleep_for(800ms);
    click(controls.save);
    std::this_thread::sleep_for(800ms);

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(20s), 0) << readFile(home / "app.log");

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
    if (!startWindowManager(why)) GTEST_SKIP() << why;
    Child app = launch(home / "app");
    ASSERT_GT(app.pid, 0);
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
    ASSERT_TRUE(waitForPrinted(tick, printed(tick), 5s))
        << "no dictation started: " << readFile(home / "app.log");

    // Another window takes the focus; the dictation goes on.
    Child other = Child::start({"xlogo"}, env_, (home / "xlogo.log").string());
    const std::string otherId = window("xlogo", true);
    ASSERT_FALSE(otherId.empty()) << readFile(home / "xlogo.log");
    ASSERT_TRUE(xdotool({"windowactivate", "--sync", otherId}));
    EXPECT_EQ(xdotool({"getactivewindow"}).value_or(""), otherId + "\n");
    const std::size_t ticks = printed(tick);
    EXPECT_TRUE(waitForPrinted(tick, ticks + 1, 4s)) << "the countdown stopped with the focus";
    EXPECT_EQ(printed(background), 0u) << readFile(home / "app.log");

    // Minimised, the application goes to the background, which stops the running dictation.
    ASSERT_TRUE(xdotool({"windowminimize", "--sync", id}));
    EXPECT_TRUE(waitForPrinted(stopped, 0, 5s)) << readFile(home / "app.log");
    EXPECT_EQ(printed(background), 1u);
    EXPECT_TRUE(window("Quillora", true, 1).empty()) << "the minimised window is still shown";

    // Restored, it is the active application again.
    ASSERT_TRUE(xdotool({"windowactivate", "--sync", id}));
    EXPECT_TRUE(waitForPrinted(active, activations, 5s)) << readFile(home / "app.log");
    EXPECT_EQ(window("Quillora", true, 1), id);
    EXPECT_EQ(printed(background), 1u);

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(20s), 0) << readFile(home / "app.log");
}

TEST_F(WindowTest, ReturnClosesAOneButtonAlertAndEscapePressesAnActionSheetsCancel) {
    // No capture device here: a touch on the record button gives the one-button "no input
    // device" alert.
    Child app = launch(home / "app", "device");
    ASSERT_GT(app.pid, 0);
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
    click(id, size, at.at("CommandsButton"));
    std::this_thread::sleep_for(1000ms);
    ASSERT_TRUE(xdotool({"key", "--clearmodifiers", "Escape"}));
    EXPECT_TRUE(waitForPrinted(dismissed, 0, 5s)) << readFile(home / "app.log");
    comparison = waitForPicture(id, home / "answered.png");
    EXPECT_TRUE(comparison.matches) << "Escape left the action sheet: " << comparison.message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(20s), 0) << readFile(home / "app.log");
}

TEST_F(WindowTest, TheDesktopNamesTheWindowItKeepsHalfThePhoneAndASecondStartBringsItForward) {
    if (!on("xprop")) GTEST_SKIP() << "the window test needs xprop, which is not installed";
    std::string why;
    if (!startWindowManager(why)) GTEST_SKIP() << why;
    const auto appHome = home / "app";
    Child app = launch(appHome);
    ASSERT_GT(app.pid, 0);
    const std::string id = window("Quillora", true);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");

    // The desktop names and groups it by the application's id, and shows its icon.
    const std::string properties =
        tool({"xprop", "-id", id, "WM_CLASS", "_NET_WM_ICON"}, env_, home).value_or("");
    EXPECT_NE(properties.find("WM_CLASS(STRING) = \"com.quillora.app\", \"com.quillora.app\""),
              std::string::npos)
        << properties.substr(0, 300);
    EXPECT_NE(properties.find("Icon ("), std::string::npos) << properties.substr(0, 300);

    // A person cannot make it smaller than half the phone's screen.
    ASSERT_TRUE(xdotool({"windowsize", "--sync", id, "60", "60"}));
    std::this_thread::sleep_for(500ms);
    const auto [width, height] = windowSize(id);
    EXPECT_GE(width, 195);
    EXPECT_GE(height, 422);

    // Minimised, then started again on the same folder: the running window comes forward, and
    // the second start writes nothing (its log would start the first one's afresh).
    ASSERT_TRUE(xdotool({"windowminimize", "--sync", id}));
    ASSERT_TRUE(waitForPrinted("App moved to background!", 0, 5s)) << readFile(home / "app.log");
    std::this_thread::sleep_for(500ms);
    const auto before = filesIn(appHome);
    const std::size_t activations = printed("app become active");
    Child second = Child::start({QUILLORA_PROGRAM, "--window", "--home", appHome.string()}, env_,
                                (home / "second.log").string());
    EXPECT_EQ(second.wait(20s), 0) << readFile(home / "second.log");
    EXPECT_EQ(readFile(home / "second.log"),
              "Quillora is already open on " + appHome.string() + ": its window is brought forward.\n");
    EXPECT_TRUE(waitForPrinted("app become active", activations, 5s)) << readFile(home / "app.log");
    EXPECT_EQ(window("Quillora", true, 20), id) << "the window is not shown again";
    EXPECT_EQ(xdotool({"getactivewindow"}).value_or(""), id + "\n");
    EXPECT_EQ(window("Quillora", false, 1), id) << "a second window opened";

    // A script on the folder would write the same files: it is refused, and writes nothing.
    Child script = Child::start({QUILLORA_PROGRAM, "--home", appHome.string(), "run", "-"}, env_,
                                (home / "script.log").string());
    EXPECT_EQ(script.wait(20s), 1);
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
    EXPECT_EQ(app.wait(20s), 0) << readFile(home / "app.log");
}

TEST_F(WindowTest, SharingAPDFOpensThePrintDialogAndSavesThroughTheFileChooser) {
    std::string why;
    if (!startWindowManager(why)) GTEST_SKIP() << why;
    Child app = launch(home / "app");
    ASSERT_GT(app.pid, 0);
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
    auto press = [&](const char* key, std::chrono::milliseconds settle = 1000ms) {
        click(id, size, at.at(key));
        std::this_thread::sleep_for(settle);
    };
    press("StickyDynamicButton");
    tool({"import", "-window", id, "/tmp/w2after-sticky.png"}, env_, home);
    press("Notes");
    tool({"import", "-window", id, "/tmp/w2after-notes.png"}, env_, home);
    press("Preview", 0ms);
    ASSERT_TRUE(waitForPrinted("PDF location: ", 0, 10s)) << readFile(home / "app.log");

    // Each dialog opens over the window, is answered on the keyboard and goes.
    auto dialog = [&](const char* row, const std::string& title, const std::vector<std::string>& typed,
                      const std::string& key) {
        press("SharePDFButton");
        press(row, 0ms);
        const std::string shown = window(title, true, 100);
        ASSERT_FALSE(shown.empty()) << "no dialog titled " << title
                                    << " opened: " << readFile(home / "app.log");
        ASSERT_TRUE(xdotool({"windowactivate", "--sync", shown}));
        if (!typed.empty()) {
            std::vector<std::string> typing{"type", "--delay", "5"};
            typing.insert(typing.end(), typed.begin(), typed.end());
            ASSERT_TRUE(xdotool({"key", "--clearmodifiers", "ctrl+a"}));
            ASSERT_TRUE(xdotool(typing));
        }
        ASSERT_TRUE(xdotool({"key", "--clearmodifiers", key}));
        bool gone = false;
        for (int i = 0; i < 50 && !gone; ++i) {
            std::this_thread::sleep_for(100ms);
            gone = window(title, true, 1).empty();
        }
        EXPECT_TRUE(gone) << "the dialog titled " << title << " stayed";
    };
    // Escape: nothing printed, the activity not completed.
    dialog("Print", ".*_Document\\.pdf", {}, "Escape");
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(printed("completed"), 0u) << readFile(home / "app.log");

    // A path typed over the suggested name: the PDF is saved there, and the activity completed.
    const auto saved = home / "saved.pdf";
    dialog("Save to Files", "Save", {saved.string()}, "Return");
    EXPECT_TRUE(waitForPrinted("completed", 0, 5s)) << readFile(home / "app.log");
    EXPECT_EQ(readFile(saved).rfind("%PDF", 0), 0u) << "no PDF saved at " << saved;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(20s), 0) << readFile(home / "app.log");
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
        const auto path = home / "acts.txt";
        std::ofstream(path) << text << "frame\n";
        quillora::cli::Options options;
        options.home = dir;
        options.clock = platform::RunLoop::kDefaultVirtualEpoch;
        options.script = path.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        EXPECT_EQ(quillora::cli::runProgram(options, 1, argv, withText), 0) << text;
        platform::resetSharedInstances();
    }
    std::string interpreterText_;

    // Does the acts at the window with the mouse and the keyboard.
    void act(const std::string& id, std::pair<int, int> size, const std::vector<Act>& acts) {
        for (const Act& a : acts) {
            switch (a.kind) {
            case Act::click:
                click(id, size, {a.at.x - 1, a.at.y - 1, 2, 2});
                std::this_thread::sleep_for(400ms);
                break;
            case Act::key:
                ASSERT_TRUE(xdotool({"key", "--clearmodifiers", a.what}));
                std::this_thread::sleep_for(100ms);
                break;
            case Act::type:
                ASSERT_TRUE(xdotool({"type", "--delay", "5", a.what}));
                std::this_thread::sleep_for(200ms);
                break;
            case Act::pause:
                std::this_thread::sleep_for(1500ms);
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
        Child app;
        std::string id;
        std::pair<int, int> size;
    };
    Opened open(const std::filesystem::path& appHome) {
        Opened o;
        o.app = launch(appHome);
        o.id = window("Quillora");
        EXPECT_FALSE(o.id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
        if (!o.id.empty()) o.size = windowSize(o.id);
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
    std::this_thread::sleep_for(1500ms);
    const auto comparison = waitForPicture(window.id, expected);
    EXPECT_TRUE(comparison.matches) << comparison.message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(window.id)));
    EXPECT_EQ(window.app.wait(20s), 0) << readFile(home / "app.log");
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
        EXPECT_EQ(window.app.wait(20s), 0) << readFile(home / "app.log");
    }
}

TEST_F(WindowTest, ASavedPDFOpensFromTheListOfPDFsWithItsPageDrawn) {
    std::string why;
    if (!startWindowManager(why)) GTEST_SKIP() << why;
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
    Child app = launch(home / "app");
    ASSERT_GT(app.pid, 0);
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
    const auto script = home / "to-preview.txt";
    std::ofstream(script) << "at SaveDynamicButton\ntap SaveDynamicButton\nwait 1\n"
                             "at PDFButton\ntap PDFButton\nwait 1\n"
                             "at tableList\nrow tableList 0\nwait 2\nframe\n";
    quillora::cli::Options options;
    options.home = home / "measured";
    options.clock = platform::RunLoop::kDefaultVirtualEpoch;
    options.script = script.string();
    char name[] = "quillora";
    char* argv[] = {name, nullptr};
    ASSERT_EQ(quillora::cli::runProgram(options, 1, argv, extend), 0);
    platform::resetSharedInstances();
    ASSERT_EQ(at.size(), 3u);

    // A person clicks the same way: the list, its PDFs, the saved one.
    for (const char* key : {"SaveDynamicButton", "PDFButton", "tableList"}) {
        std::this_thread::sleep_for(1500ms);
        click(id, size, at.at(key));
    }
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
    EXPECT_EQ(app.wait(20s), 0) << readFile(home / "app.log");
}

// A long recipe's PDF takes seconds: the window keeps drawing its spinner, turned a step further
// each time, until the file is written.
TEST_F(WindowTest, WhileALongRecipeIsPrintedTheWindowDrawsItsSpinnerTurning) {
    std::string recipe;
    for (int i = 1; recipe.size() < (400u << 10); ++i)
        recipe += "Step " + std::to_string(i) + ": whisk the cream until it holds its shape.\n";
    quillora::test::writeFile(home / "app" / "Documents" / "datafile_recipe.dat", recipe);
    // The way there, measured without a window: the recipe segment, the book button, PDF.
    const auto at = places("place segmentcontrol\nsegment segmentcontrol Recipe\nwait 1\n"
                           "place RecipeBookButton\ntap RecipeBookButton\nwait 1.5\nplace savepdf\n");
    ASSERT_EQ(at.size(), 3u);
    Child app = launch(home / "app");
    ASSERT_GT(app.pid, 0);
    const std::string id = window("Quillora", true);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    std::this_thread::sleep_for(1500ms);
    const auto& segments = at.at("segmentcontrol");
    click(id, size, {segments.midX() + 70 - 1, segments.midY() - 1, 2, 2});
    std::this_thread::sleep_for(1500ms);
    click(id, size, at.at("RecipeBookButton"));
    std::this_thread::sleep_for(2000ms);
    click(id, size, at.at("savepdf"));

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
        if (!tool({"import", "-window", id, file.string()}, env_, home)) continue;
        // Taken before the work ended, or it does not count.
        if (printed("saved success") > 0) break;
        seen.push_back(spinnerSquare(file));
        turned = seen.size() > 1 && seen.back() != seen.front();
    }
    EXPECT_TRUE(turned) << "the spinner stood still while the pages were made (" << seen.size()
                        << " pictures)";

    ASSERT_TRUE(waitForPrinted("saved success", 0, 120s)) << readFile(home / "app.log");
    std::filesystem::path pdf;
    for (const auto& entry : std::filesystem::directory_iterator(home / "app" / "Documents"))
        if (entry.path().extension() == ".pdf") pdf = entry.path();
    ASSERT_FALSE(pdf.empty());
    EXPECT_GT(quillora::test::pdfPageCount(pdf), 100);
    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(20s), 0) << readFile(home / "app.log");
}

// The last label of a long form lies below a sheet's first screenful: the wheel brings it into
// sight whole, and a click on it opens the PDF screen.
TEST_F(WindowTest, OnTheEssayFormTheWheelReachesPreviewWholeAndAClickOnItOpensThePDFScreen) {
    std::string why;
    if (!startWindowManager(why)) GTEST_SKIP() << why;
    Child app = launch(home / "app");
    ASSERT_GT(app.pid, 0);
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

    click(id, size, at.at("StickyDynamicButton"));
    std::this_thread::sleep_for(1500ms);
    click(id, size, at.at("Essay"));
    std::this_thread::sleep_for(1500ms);
    // The wheel over the middle of the form, notch by notch, well past its end.
    const auto fit = platform::DesktopWindow::fit(size.first, size.second, screen);
    const long x = std::lround(fit.x + screen.midX() * fit.scale),
               y = std::lround(fit.y + screen.midY() * fit.scale);
    ASSERT_TRUE(xdotool({"mousemove", "--window", id, std::to_string(x), std::to_string(y)}));
    ASSERT_TRUE(xdotool({"click", "--repeat", "80", "--delay", "15", "5"}));
    std::this_thread::sleep_for(1500ms);
    const std::string opened = "didFinishNavigation";
    const std::size_t before = printed(opened);
    click(id, size, preview);
    EXPECT_TRUE(waitForPrinted(opened, before, 15s))
        << "no PDF screen opened: " << readFile(home / "app.log");

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(20s), 0) << readFile(home / "app.log");
}

// The rent flyer's card lies below the gallery's first screenful: the wheel brings it up, its form's
// "Select an Image" opens the desktop's file chooser, and a file that is no picture, chosen there,
// is refused with an alert over the picker, which stays open and asks again.
TEST_F(WindowTest, AFileThatIsNoPictureChosenInThePhotoPickerShowsTheRefusalAndThePickerStaysOpen) {
    std::string why;
    if (!startWindowManager(why)) GTEST_SKIP() << why;
    // Named like a picture, as a misnamed file is, so the chooser's filter shows it.
    const auto notAPicture = home / "holiday.png";
    std::ofstream(notAPicture) << "Shopping: bread, milk, apples\n";
    Child app = launch(home / "app");
    ASSERT_GT(app.pid, 0);
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
    const auto script = home / "to-refusal.txt";
    std::ofstream(script) << "tap StickyDynamicButton\nwait 1\npress \"For Rent Flyer\"\nwait 1\n"
                             "press \"Select an Image\"\nwait 1\nrefuse\nframe\n";
    quillora::cli::Options options;
    options.home = home / "measured";
    options.clock = platform::RunLoop::kDefaultVirtualEpoch;
    options.script = script.string();
    char name[] = "quillora";
    char* argv[] = {name, nullptr};
    ASSERT_EQ(quillora::cli::runProgram(options, 1, argv, extend), 0);
    platform::resetSharedInstances();

    // The gallery, then the wheel over it, notch by notch, well past its end: the card comes up.
    click(id, size, at.at("StickyDynamicButton"));
    std::this_thread::sleep_for(1500ms);
    const auto fit = platform::DesktopWindow::fit(size.first, size.second, screen);
    const long x = std::lround(fit.x + screen.midX() * fit.scale),
               y = std::lround(fit.y + screen.midY() * fit.scale);
    ASSERT_TRUE(xdotool({"mousemove", "--window", id, std::to_string(x), std::to_string(y)}));
    ASSERT_TRUE(xdotool({"click", "--repeat", "80", "--delay", "15", "5"}));
    std::this_thread::sleep_for(1500ms);
    click(id, size, at.at("For Rent Flyer"));
    std::this_thread::sleep_for(1500ms);
    click(id, size, at.at("Select an Image"));

    // The chooser: the file's path typed into its location, as a person may.
    const std::string title = "Choose a photo";
    auto chooser = [&] { return window(title, true, 100); };
    std::string shown = chooser();
    ASSERT_FALSE(shown.empty()) << "no file chooser opened: " << readFile(home / "app.log");
    ASSERT_TRUE(xdotool({"windowactivate", "--sync", shown}));
    ASSERT_TRUE(xdotool({"key", "--clearmodifiers", "ctrl+l"}));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(xdotool({"type", "--delay", "5", notAPicture.string()}));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(xdotool({"key", "--clearmodifiers", "Return"}));

    // The window shows the refusal in words over the picker; nothing was taken.
    const std::string reason = "\u201Choliday.png\u201D cannot be used";
    EXPECT_TRUE(waitForPrinted(reason, 0, 10s)) << readFile(home / "app.log");
    const auto comparison = waitForPicture(id, expected);
    EXPECT_TRUE(comparison.matches) << "the refusal is not shown: " << comparison.message;
    EXPECT_EQ(printed("LocalPath "), 0u) << "the picture was taken: " << readFile(home / "app.log");

    // Its OK (Return) closes the alert and the picker, still open, asks for another file; the
    // chooser's Cancel then closes the picker.
    ASSERT_TRUE(xdotool({"windowactivate", "--sync", id}));
    ASSERT_TRUE(xdotool({"key", "--clearmodifiers", "Return"}));
    shown = chooser();
    ASSERT_FALSE(shown.empty()) << "the picker closed with the alert: " << readFile(home / "app.log");
    ASSERT_TRUE(xdotool({"windowactivate", "--sync", shown}));
    ASSERT_TRUE(xdotool({"key", "--clearmodifiers", "Escape"}));
    bool gone = false;
    for (int i = 0; i < 50 && !gone; ++i) {
        std::this_thread::sleep_for(100ms);
        gone = window(title, true, 1).empty();
    }
    EXPECT_TRUE(gone) << "the chooser stayed";
    EXPECT_FALSE(std::filesystem::exists(home / "app" / "tmp" / "holiday.png")) << "a copy was stored";

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(20s), 0) << readFile(home / "app.log");
}

// From the settings a person writes a feedback mail with the mouse and the keyboard alone: the
// subject and a line of body typed into the drawn composer, then a click on its Send.
TEST_F(WindowTest, AFeedbackMailWrittenWithMouseAndKeysLandsInTheOutboxAsTyped) {
    const auto appHome = home / "app";
    Child app = launch(appHome);
    ASSERT_GT(app.pid, 0);
    const std::string id = window("Quillora");
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    const auto at = places("place FontDynamicButton\ntap FontDynamicButton\nwait 1\nplace Feedback\n"
                           "press Feedback\nwait 1\nplace subjectField\nplace bodyView\nplace sendButton\n");
    for (const char* key : {"FontDynamicButton", "Feedback", "subjectField", "bodyView", "sendButton"})
        ASSERT_EQ(at.count(key), 1u) << key << " was not found on the way";

    std::this_thread::sleep_for(1500ms);
    click(id, size, at.at("FontDynamicButton"));
    std::this_thread::sleep_for(1500ms);
    // In the middle of the row, on the blank between its title and its chevron.
    click(id, size, at.at("Feedback"));
    std::this_thread::sleep_for(1500ms);
    click(id, size, at.at("subjectField"));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(xdotool({"type", "--delay", "5", "Window feedback"}));
    std::this_thread::sleep_for(300ms);
    click(id, size, at.at("bodyView"));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(xdotool({"type", "--delay", "5", "Typed in the window by hand."}));
    std::this_thread::sleep_for(500ms);
    click(id, size, at.at("sendButton"));

    // The message is written once Send is pressed.
    const auto outbox = appHome / "Documents" / "Mail" / "Outbox";
    std::map<std::string, std::string> sent;
    for (int i = 0; i < 100 && sent.empty(); ++i) {
        std::this_thread::sleep_for(100ms);
        if (std::filesystem::is_directory(outbox)) sent = filesIn(outbox);
    }
    ASSERT_EQ(sent.size(), 1u) << "no mail was sent: " << readFile(home / "app.log");
    const std::string& message = sent.begin()->second;
    EXPECT_NE(sent.begin()->first.find(".eml"), std::string::npos);
    EXPECT_NE(message.find("To: support@quillora.app, feedback@quillora.app"), std::string::npos) << message;
    EXPECT_NE(message.find("\nSubject: Window feedback\n"), std::string::npos) << message;
    EXPECT_NE(message.find("\n\nTyped in the window by hand."), std::string::npos) << message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(20s), 0) << readFile(home / "app.log");
}
