// The program without a window, ended from outside as a desktop or a terminal ends it: it ends
// through the application's termination, so what that saves is saved, exits with 0 and lets its
// data folder go.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>

#include "cli/InstanceLock.h"
#include "platform/foundation/PropertyList.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/XvfbSession.h"

using namespace std::chrono_literals;
using quillora::test::ChildProcess;

namespace {

class EndFromOutsideTest : public quillora::test::PlatformTest {};

} // namespace

TEST_F(EndFromOutsideTest, ASignalEndsAScriptThroughTheTerminationSavesAndExitsWithZero) {
    const std::string dictated = "scripted\nmicrophone silence\nsegment segmentcontrol Notes\n"
                                 "tap recordButton\nfinal Hello there.\ntap recordButton\nwait 2\nshow\n";
    struct Case {
        int signal;
        // A script typed on standard input (the program waits for its next line), else one waiting
        // on the real clock.
        bool typed;
    };
    const Case cases[] = {{SIGTERM, true}, {SIGINT, false}, {SIGHUP, true}};
    struct Run {
        std::filesystem::path data, log;
        ChildProcess program;
        int input = -1;
    };
    std::vector<Run> runs;
    // All at once: each takes seconds to start on a loaded machine.
    for (const auto& c : cases) {
        Run run;
        const std::string name = std::string(sigabbrev_np(c.signal)) + (c.typed ? "-typed" : "-realtime");
        run.data = home / name;
        run.log = home / (name + ".log");
        std::filesystem::create_directories(run.data);
        if (c.typed) {
            const auto fifo = home / (name + ".fifo");
            ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
            run.program = ChildProcess::start({"sh", "-c", "exec \"$0\" --home \"$1\" run - < \"$2\"",
                                               QUILLORA_PROGRAM, run.data.string(), fifo.string()},
                                              {}, run.log.string());
            // Left open: the program waits for the next line when the signal comes.
            run.input = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
            ASSERT_GE(run.input, 0);
            ASSERT_EQ(write(run.input, dictated.data(), dictated.size()), ssize_t(dictated.size()));
        } else {
            const auto script = home / (name + ".txt");
            std::ofstream(script) << dictated << "wait 600\n";
            run.program = ChildProcess::start(
                {QUILLORA_PROGRAM, "--home", run.data.string(), "--realtime", "run", script.string()}, {},
                run.log.string());
        }
        ASSERT_TRUE(run.program.running());
        runs.push_back(std::move(run));
    }
    for (std::size_t i = 0; i < runs.size(); ++i) {
        auto& run = runs[i];
        SCOPED_TRACE(run.data.filename().string());
        ASSERT_TRUE(quillora::test::waitUntil(
            [&] {
                return quillora::test::occurrences(run.log, "Clipboard: UITextView text=\" Hello there.\"") >
                       0;
            },
            quillora::test::kHangLimit))
            << quillora::test::fileContent(run.log);
        const pid_t pid = run.program.pid();
        ASSERT_EQ(kill(pid, cases[i].signal), 0);
        // A second one while the saves are made changes nothing.
        const auto console = run.data / "Library" / "Logs" / "console.log";
        quillora::test::waitUntil(
            [&] {
                return quillora::test::occurrences(console, "app going to terminate") > 0 ||
                       run.program.ended();
            },
            30s);
        kill(pid, cases[i].signal);
        EXPECT_EQ(run.program.wait(quillora::test::kHangLimit), 0) << quillora::test::fileContent(run.log);
        if (run.input >= 0) close(run.input);

        EXPECT_GT(quillora::test::occurrences(console, "app going to terminate"), 0u);
        auto rows = platform::readStringArrayPlist((run.data / "Documents" / "notesNVC.txt").string());
        ASSERT_TRUE(rows) << "the termination saved nothing";
        ASSERT_FALSE(rows->empty());
        EXPECT_EQ(rows->front(), " Hello there.");
        EXPECT_EQ(std::count(rows->begin(), rows->end(), " Hello there."), 1);
        std::optional<quillora::cli::InstanceLock::Holder> holder;
        std::string error;
        EXPECT_TRUE(quillora::cli::InstanceLock::acquire(run.data, "script", holder, error))
            << "the data folder is still held: " << error;
    }
}
