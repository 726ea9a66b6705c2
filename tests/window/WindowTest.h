#pragma once
// The fixture of the window tests: a virtual X display, the program in a window on it, and the
// places and pictures of its screens found by running the same steps without a window.
#include <cairo.h>
#include <chrono>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/ScriptInterpreter.h"
#include "platform/desktop/DesktopWindow.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/RunLoop.h"
#include "platform/swiftui/HostingView.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/ScrollInput.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ImageCompare.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/XvfbSession.h"
#include "tests/window/ProgramHere.h"

namespace {

using namespace std::chrono_literals;
using quillora::test::ChildProcess;
using quillora::test::kHangLimit;

inline std::string readFile(const std::filesystem::path& path) {
    return quillora::test::fileContent(path);
}

// A control's place on the screen (points) as the renderer lays it out.
struct Controls {
    platform::CGRect recordButton, transcript, save;
    // The editor sheet that a touch on the transcript opens: its text and its Save button.
    platform::CGRect editorText, editorSave;
};

using quillora::test::findHostingView;
using quillora::test::shareSheetRow;

class WindowTest : public quillora::test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        x_ = std::make_unique<quillora::test::XvfbSession>(home / "display");
        if (!x_->unavailable().empty()) FAIL() << x_->unavailable();
        display_ = x_->display();
        env_ = x_->environment();
    }
    void TearDown() override {
        x_.reset();
        PlatformTest::TearDown();
    }

    bool startWindowManager(std::string& why) { return x_->startWindowManager(why); }

    std::optional<std::string> xdotool(std::vector<std::string> args) { return x_->xdotool(std::move(args)); }
    std::optional<std::string> tool(const std::vector<std::string>& args) { return x_->run(args); }

    // The program in a window, listening to the demo clip, its console copied to app.log.
    ChildProcess
    launch(const std::filesystem::path& appHome,
           const std::string& microphone = (quillora::test::sourceBundle() / "demo.wav").string()) {
        return ChildProcess::start(
            {program_, "--window", "--home", appHome.string(), "--microphone", microphone, "--console"}, env_,
            (home / "app.log").string());
    }

    // The first window titled `title` (a mapped one when `visible`), once there is one; none when
    // there is none within `timeout` (0: as things stand).
    std::string window(const std::string& title, bool visible = false,
                       std::chrono::milliseconds timeout = kHangLimit) {
        return x_->findWindow(title, visible, timeout);
    }

    std::pair<int, int> windowSize(const std::string& id) { return x_->windowSize(id); }

    // Waits for window `id` to show the picture `expected`.
    quillora::test::ImageComparison waitForPicture(const std::string& id,
                                                   const std::filesystem::path& expected) {
        return x_->waitForPicture(id, expected);
    }
    // The same, text strokes included (a pixel of leeway for hinting): the default tolerance lets a
    // page of text lines scrolled by whole lines pass for the page unscrolled.
    quillora::test::ImageComparison waitForExactPicture(const std::string& id,
                                                        const std::filesystem::path& expected) {
        return x_->waitForPicture(id, expected, kHangLimit, {1, 64, 0.01, true});
    }

    // Window pixels of a point of the screen (points), in window `id` of `size`.
    static std::pair<long, long> pixel(std::pair<int, int> size, platform::CGPoint p) {
        const auto fit =
            platform::DesktopWindow::fit(size.first, size.second, platform::UIScreen::mainScreen().bounds());
        return {std::lround(fit.x + p.x * fit.scale), std::lround(fit.y + p.y * fit.scale)};
    }

    // A click on the middle of `r` (or the point `dx`, `dy` across it), a place on the screen,
    // in window `id` of `size` (width, height).
    void click(const std::string& id, std::pair<int, int> size, const platform::CGRect& r, double dx = 0.5,
               double dy = 0.5) {
        const auto [x, y] = pixel(size, {r.minX() + r.width() * dx, r.minY() + r.height() * dy});
        ASSERT_TRUE(x_->click(id, x, y));
    }

    // A click that changes what the window shows (a screen opens, a sheet comes): it returns once
    // the window shows the change and has stopped moving.
    void clickAndSettle(const std::string& id, std::pair<int, int> size, const platform::CGRect& r,
                        double dx = 0.5, double dy = 0.5) {
        const auto before = home / "before-click.png";
        ASSERT_TRUE(x_->capture(id, before));
        click(id, size, r, dx, dy);
        EXPECT_TRUE(x_->waitForChange(id, before)) << "the click changed nothing on the screen";
    }

    // Something done at the window (keys, typing) that changes what it shows: returns once it is shown.
    template <class Act> void andSettle(const std::string& id, Act act) {
        const auto before = home / "before-act.png";
        ASSERT_TRUE(x_->capture(id, before));
        act();
        EXPECT_TRUE(x_->waitForChange(id, before)) << "nothing changed on the screen";
    }

    // How often the program's console has printed `line` so far.
    std::size_t printed(const std::string& line) {
        return quillora::test::occurrences(home / "app.log", line);
    }

    // Waits for the window's first screen: the application has become active and the window has
    // stopped changing.
    void waitForFirstScreen(const std::string& id) {
        ASSERT_TRUE(waitForPrinted("app become active", 0)) << readFile(home / "app.log");
        ASSERT_TRUE(x_->waitUntilStill(id));
    }

    // Waits for the console to have printed `line` more than `before` times.
    bool waitForPrinted(const std::string& line, std::size_t before,
                        std::chrono::milliseconds timeout = kHangLimit) {
        return quillora::test::waitUntil([&] { return printed(line) > before; }, timeout);
    }

    // A copy of the program on `appHome`, its window drawn with the record button enabled (the
    // speech model has loaded): the window's id and size. The first screen's controls are measured
    // once, into `controls`. Its microphone hears `microphone`, the demo clip unless said.
    void
    openFirstScreen(ChildProcess& app, const std::filesystem::path& appHome, Controls& controls,
                    std::string& id, std::pair<int, int>& size, bool visible = false,
                    const std::string& microphone = (quillora::test::sourceBundle() / "demo.wav").string()) {
        app = launch(appHome, microphone);
        ASSERT_GT(app.pid(), 0);
        id = window("Quillora", visible);
        ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
        size = windowSize(id);
        if (controls.recordButton.width() <= 0)
            controls = firstScreen(size.first, size.second, home / "first.png");
        const auto comparison = waitForPicture(id, home / "first.png");
        ASSERT_TRUE(comparison.matches) << comparison.message << "\n" << readFile(home / "app.log");
    }

    // The same, then dictating the clip until one task has ended.
    void startDictating(ChildProcess& app, const std::filesystem::path& appHome, Controls& controls,
                        std::string& id, std::pair<int, int>& size, bool visible = false) {
        ASSERT_NO_FATAL_FAILURE(openFirstScreen(app, appHome, controls, id, size, visible));
        // Drawn enabled, the record button takes the click.
        click(id, size, controls.recordButton);
        ASSERT_TRUE(waitForPrinted("start recodring again ", 0))
            << "the clip never ended a task: " << readFile(home / "app.log");
    }

    // Ended through its saves: status 0, the end announced once, and the dictated clip first and once
    // in the notes list, whose rows are returned.
    std::vector<std::string> expectEndedThroughItsSaves(int status, const std::filesystem::path& appHome) {
        EXPECT_EQ(status, 0) << readFile(home / "app.log");
        EXPECT_EQ(printed("app going to terminate"), 1u) << readFile(home / "app.log");
        const auto rows = platform::readStringArrayPlist((appHome / "Documents" / "notes.txt").string());
        EXPECT_TRUE(rows && !rows->empty()) << "nothing was saved: " << readFile(home / "app.log");
        if (!rows || rows->empty()) return {};
        EXPECT_GE(rows->front().size(), 5u) << "the dictated clip is in the list";
        EXPECT_EQ(std::count(rows->begin(), rows->end(), rows->front()), 1);
        return *rows;
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
        EXPECT_EQ(quillora::test::runProgramHere(home / "headless", "measure\n", extend), 0);
        return controls;
    }

    // Where the controls are that a person reaches by the way `script` leads the program, launched
    // here without a window: each `place KEY` line gives the place on the screen of the current
    // screen's control named KEY, else of its declarative control labelled KEY, else of the share
    // sheet's row titled KEY. Places not found are left out.
    std::map<std::string, platform::CGRect> places(const std::string& script) {
        return quillora::test::places(home / "places", script);
    }

    // The pictures of the screens a person sees along `script`, run here without a window: each
    // `picture NAME` line draws the screen as a `width` x `height` window shows it into NAME.png.
    // Also: `wheel X Y NOTCHES` turns the wheel over a point as the window does, `drag X0 Y0 X1 Y1`
    // drags a finger (the mouse) between two points, and `more` adds commands of the test's own.
    void drawScreens(const std::string& script, int width, int height,
                     const std::function<void(quillora::cli::ScriptInterpreter&)>& more = {}) {
        auto extend = [&](quillora::cli::ScriptInterpreter& interpreter) {
            if (more) more(interpreter);
            interpreter.addCommand(
                "wheel", "wheel X Y NOTCHES",
                [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine& line) {
                    std::istringstream in(line.rest);
                    double x = 0, y = 0;
                    int notches = 0;
                    in >> x >> y >> notches;
                    for (int i = 0; i < std::abs(notches); ++i) {
                        platform::ScreenRenderer::layout();
                        platform::ScrollInput::scroll(
                            {x, y}, 0, (notches > 0 ? 1 : -1) * platform::ScrollInput::kPointsPerNotch, true);
                    }
                    platform::RunLoop::main().advance(0.5);
                });
            interpreter.addCommand(
                "drag", "drag X0 Y0 X1 Y1",
                [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine& line) {
                    std::istringstream in(line.rest);
                    platform::CGPoint from, to;
                    in >> from.x >> from.y >> to.x >> to.y;
                    double t = 100;
                    platform::ScrollInput::touch(platform::UITouchPhase::Began, from, t);
                    for (int i = 1; i <= 12; ++i)
                        platform::ScrollInput::touch(
                            platform::UITouchPhase::Moved,
                            {from.x + (to.x - from.x) * i / 12, from.y + (to.y - from.y) * i / 12},
                            t += 0.02);
                    platform::ScrollInput::touch(platform::UITouchPhase::Ended, to, t += 0.02);
                    platform::RunLoop::main().advance(1);
                });
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
        EXPECT_EQ(quillora::test::runProgramHere(home / "drawn", script, extend), 0);
    }

    // Every file under `folder` with its content.
    static std::map<std::string, std::string> filesIn(const std::filesystem::path& folder) {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
            if (entry.is_regular_file())
                files[std::filesystem::relative(entry.path(), folder).string()] = readFile(entry.path());
        return files;
    }

    // What launch() starts: the program as it is built for a person, unless a test starts another.
    std::string program_ = QUILLORA_PROGRAM;
    std::unique_ptr<quillora::test::XvfbSession> x_;
    std::string display_;
    std::map<std::string, std::string> env_;
    // The window opened on the recipe text view holding `text` (the scripts that place controls
    // and draw the screen start from the same file), with the places its tests touch.
    struct RecipeTextWindow {
        ChildProcess app;
        std::string id;
        std::pair<int, int> size;
        std::map<std::string, platform::CGRect> at;
        // The text's frame, a point inside its first line, and the Recipe segment of the switch.
        platform::CGRect text;
        platform::CGPoint into, recipeSegment;
    };
    // The window launched on the recipe text in the app's folder, and PDF pressed on its text view
    // through what a person taps (placed first without a window). `id` is empty where the window
    // did not come; `pressed` is when PDF was clicked (steady clock).
    struct PressedRecipePDF {
        ChildProcess app;
        std::string id;
        std::pair<int, int> size;
        std::chrono::steady_clock::time_point pressed;
    };
    PressedRecipePDF pressRecipePDF() {
        const auto at = places("place segmentcontrol\nsegment segmentcontrol Recipe\nwait 1\n"
                               "place RecipeBookButton\ntap RecipeBookButton\nwait 1.5\nplace savepdf\n");
        PressedRecipePDF opened;
        if (at.size() != 3) return opened;
        opened.app = launch(home / "app");
        if (opened.app.pid() <= 0) return opened;
        opened.id = window("Quillora", true);
        if (opened.id.empty()) return opened;
        opened.size = windowSize(opened.id);
        waitForFirstScreen(opened.id);
        const auto& segments = at.at("segmentcontrol");
        clickAndSettle(opened.id, opened.size, {segments.midX() + 70 - 1, segments.midY() - 1, 2, 2});
        clickAndSettle(opened.id, opened.size, at.at("RecipeBookButton"));
        opened.pressed = std::chrono::steady_clock::now();
        click(opened.id, opened.size, at.at("savepdf"));
        return opened;
    }
    RecipeTextWindow openRecipeText(const std::string& text) {
        for (const char* folder : {"app", "places", "drawn"})
            quillora::test::writeFile(home / folder / "Documents" / "datafile_recipe.dat", text);
        RecipeTextWindow opened;
        opened.app = launch(home / "app");
        if (opened.app.pid() <= 0) return opened;
        opened.id = window("Quillora");
        if (opened.id.empty()) return opened;
        opened.size = windowSize(opened.id);
        opened.at =
            places("place segmentcontrol\nsegment segmentcontrol Recipe\nwait 1\nplace RecipeBookButton\n"
                   "tap RecipeBookButton\nwait 1.5\nframe Clipboard\n");
        if (opened.at.size() != 3) return opened;
        opened.text = opened.at.at("frame Clipboard");
        opened.into = {opened.text.minX() + 60, opened.text.minY() + 18};
        opened.recipeSegment = {opened.at.at("segmentcontrol").midX() + 70,
                                opened.at.at("segmentcontrol").midY()};
        return opened;
    }
};

} // namespace
