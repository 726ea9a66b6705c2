// The program ended from outside where the end is hard to reach: a worker of its background queue
// that never answers, and a logout, where the display server ends a moment after the signal. Either
// way it ends through its saves within the termination's own time, exits with 0 and lets its data
// folder go, so that the next start opens a window instead of finding one "already open".
#include <cairo.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "cli/InstanceLock.h"
#include "cli/ScriptInterpreter.h"
#include "platform/desktop/DesktopWindow.h"
#include "platform/foundation/PropertyList.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIView.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/XvfbSession.h"
#include "tests/window/ProgramHere.h"

using namespace std::chrono_literals;
using quillora::test::ChildProcess;
using quillora::test::fileContent;
using quillora::test::occurrences;
using quillora::test::XvfbSession;

namespace {

class EndingTest : public quillora::test::PlatformTest {
protected:
    // A display of its own for one start of the window: a logout ends it.
    std::unique_ptr<XvfbSession> display(const std::string& name) {
        auto x = std::make_unique<XvfbSession>(home / name);
        if (!x->unavailable().empty()) ADD_FAILURE() << x->unavailable();
        return x;
    }

    // `program` in a window on `x`, on `appHome`, listening to the demo clip; its console in `log`.
    ChildProcess launch(const char* program, XvfbSession& x, const std::filesystem::path& appHome,
                        const std::filesystem::path& log, std::map<std::string, std::string> env = {}) {
        env.insert(x.environment().begin(), x.environment().end());
        return ChildProcess::start({program, "--window", "--home", appHome.string(), "--microphone",
                                    (quillora::test::sourceBundle() / "demo.wav").string(), "--console"},
                                   env, log.string());
    }

    // The window's id once its first screen is drawn with the record button enabled (the speech
    // model has loaded); empty when it did not come.
    std::string firstScreen(XvfbSession& x, const std::filesystem::path& log) {
        const std::string id = x.findWindow("Quillora", false, 60s);
        if (id.empty()) return id;
        const auto size = x.windowSize(id);
        const auto expected = home / "first.png";
        recordButton_ = measureFirstScreen(size.first, size.second, expected);
        const auto comparison = x.waitForPicture(id, expected, 60s);
        EXPECT_TRUE(comparison.matches) << comparison.message << "\n" << fileContent(log);
        return comparison.matches ? id : std::string();
    }

    // A click on the record button, then the clip heard until one task of it has ended.
    bool dictate(XvfbSession& x, const std::string& id, const std::filesystem::path& log) {
        const auto size = x.windowSize(id);
        const auto fit =
            platform::DesktopWindow::fit(size.first, size.second, platform::UIScreen::mainScreen().bounds());
        if (!x.click(id, std::lround(fit.x + recordButton_.midX() * fit.scale),
                     std::lround(fit.y + recordButton_.midY() * fit.scale)))
            return false;
        return quillora::test::waitUntil([&] { return occurrences(log, "start recodring again ") > 0; }, 60s);
    }

    // Ended through its saves: status 0, the end announced once, the data folder let go, and what
    // was dictated once in the main screen's list.
    void expectEndedThroughItsSaves(int status, const std::filesystem::path& appHome,
                                    const std::filesystem::path& log, bool dictated) {
        EXPECT_EQ(status, 0) << fileContent(log);
        const auto console = appHome / "Library" / "Logs" / "console.log";
        EXPECT_EQ(occurrences(console, "app going to terminate"), 1u) << fileContent(log);
        if (dictated) {
            const auto rows = platform::readStringArrayPlist((appHome / "Documents" / "notes.txt").string());
            ASSERT_TRUE(rows && !rows->empty()) << "nothing was saved: " << fileContent(log);
            EXPECT_GE(rows->front().size(), 5u) << "the dictated clip is in the list";
            EXPECT_EQ(std::count(rows->begin(), rows->end(), rows->front()), 1);
        }
        std::optional<quillora::cli::InstanceLock::Holder> holder;
        std::string error;
        EXPECT_TRUE(quillora::cli::InstanceLock::acquire(appHome, "script", holder, error))
            << "the data folder is still held: " << error;
    }

private:
    // The first screen, run here without a window: where its record button is, and its picture in
    // a `width` x `height` frame as the window draws it.
    platform::CGRect measureFirstScreen(int width, int height, const std::filesystem::path& picture) {
        platform::CGRect button;
        auto extend = [&](quillora::cli::ScriptInterpreter& interpreter) {
            interpreter.addCommand("measure", "measure",
                                   [&](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                                       auto view = std::dynamic_pointer_cast<platform::UIView>(
                                           quillora::cli::ScriptInterpreter::control("recordButton"));
                                       button = view->convertRect_toView(view->bounds(), nullptr);
                                       cairo_surface_t* surface =
                                           cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
                                       cairo_t* cr = cairo_create(surface);
                                       platform::DesktopWindow::drawFrame(cr, width, height);
                                       cairo_destroy(cr);
                                       cairo_surface_write_to_png(surface, picture.c_str());
                                       cairo_surface_destroy(surface);
                                   });
        };
        EXPECT_EQ(quillora::test::runProgramHere(home / "headless", "measure\n", extend), 0);
        return button;
    }

    platform::CGRect recordButton_;
};

} // namespace

// A worker stuck in its block (an export hung on its input) while the main loop waits for it: a
// signal still ends the program through its saves, in the time the termination gives its workers,
// and the process ends without waiting for the worker. In a script waiting on the real clock, and
// in the window while it dictates.
TEST_F(EndingTest, ASignalEndsTheProgramThroughItsSavesWhileAWorkerIsStuck) {
    // The script dictates into the notes screen, which saves its list at the end, and goes on
    // dictating through a wait on its virtual clock, whose every second (the run's timer) first
    // waits for the worker.
    {
        SCOPED_TRACE("script");
        const auto appHome = home / "script";
        const auto log = home / "script.log", script = home / "script.txt";
        std::filesystem::create_directories(appHome);
        std::ofstream(script)
            << "scripted\nmicrophone silence\nsegment segmentcontrol Notes\ntap recordButton\n"
               "final Hello there.\nwait 2\nstuck\nwait 600\n";
        ChildProcess program = ChildProcess::start(
            {QUILLORA_STUCK_WORKER_PROGRAM, "--home", appHome.string(), "run", script.string()}, {},
            log.string());
        ASSERT_TRUE(quillora::test::waitUntil(
            [&] {
                return occurrences(appHome / "Library" / "Logs" / "console.log", "A worker is stuck") > 0;
            },
            180s))
            << fileContent(log);
        ASSERT_EQ(kill(program.pid(), SIGTERM), 0);
        // However long the machine takes: a program that waits for its worker never ends.
        const int status = program.wait(180s);
        expectEndedThroughItsSaves(status, appHome, log, false);
        auto rows = platform::readStringArrayPlist((appHome / "Documents" / "notesNVC.txt").string());
        ASSERT_TRUE(rows && !rows->empty()) << "the termination saved nothing: " << fileContent(log);
        EXPECT_EQ(rows->front(), " Hello there.");
    }
    {
        SCOPED_TRACE("window");
        auto x = display("stuck-display");
        ASSERT_TRUE(x->unavailable().empty());
        const auto appHome = home / "window", log = home / "window.log";
        ChildProcess app =
            launch(QUILLORA_STUCK_WORKER_PROGRAM, *x, appHome, log, {{"QUILLORA_STUCK_WORKER", "1"}});
        const std::string id = firstScreen(*x, log);
        ASSERT_FALSE(id.empty()) << fileContent(log);
        ASSERT_TRUE(dictate(*x, id, log)) << "the clip never ended a task: " << fileContent(log);
        ASSERT_EQ(kill(app.pid(), SIGTERM), 0);
        expectEndedThroughItsSaves(app.wait(180s), appHome, log, true);
    }
}

// A logout: the desktop's signal, then the display server ending a moment later, while the
// application makes its saves or when it has made them. The program ends through its saves with 0
// whenever the server goes, and the next start on its folder opens a window.
TEST_F(EndingTest, AtALogoutTheWindowEndsThroughItsSavesAndTheNextStartOpensAWindow) {
    struct Case {
        // Between the signal and the server's end.
        std::chrono::milliseconds serverEndsAfter;
        bool dictating;
    };
    const Case cases[] = {{0ms, true},  {200ms, true},  {1000ms, true},
                          {0ms, false}, {200ms, false}, {1000ms, false}};
    int run = 0;
    for (const auto& c : cases) {
        const std::string name = "logout" + std::to_string(++run);
        SCOPED_TRACE(name + ": the server ends " + std::to_string(c.serverEndsAfter.count()) +
                     " ms after the signal" + (c.dictating ? ", while dictating" : ", idle"));
        const auto appHome = home / name, log = home / (name + ".log");
        {
            auto x = display(name + "-display");
            ASSERT_TRUE(x->unavailable().empty());
            ChildProcess app = launch(QUILLORA_PROGRAM, *x, appHome, log);
            const std::string id = firstScreen(*x, log);
            ASSERT_FALSE(id.empty()) << fileContent(log);
            if (c.dictating) {
                ASSERT_TRUE(dictate(*x, id, log)) << "the clip never ended a task: " << fileContent(log);
            }
            ASSERT_EQ(kill(app.pid(), SIGTERM), 0);
            // The logout's own timing, not a wait for anything.
            std::this_thread::sleep_for(c.serverEndsAfter);
            x->endServer();
            expectEndedThroughItsSaves(app.wait(180s), appHome, log, c.dictating);
        }
        // The next start, on a display of its own: a window, not "already open".
        auto x = display(name + "-next");
        ASSERT_TRUE(x->unavailable().empty());
        const auto nextLog = home / (name + "-next.log");
        ChildProcess next = launch(QUILLORA_PROGRAM, *x, appHome, nextLog);
        EXPECT_FALSE(x->findWindow("Quillora", false, 60s).empty()) << fileContent(nextLog);
        EXPECT_EQ(fileContent(nextLog).find("already open"), std::string::npos) << fileContent(nextLog);
        ASSERT_EQ(kill(next.pid(), SIGTERM), 0);
        EXPECT_EQ(next.wait(180s), 0) << fileContent(nextLog);
        if (HasFailure()) break;
    }
}
