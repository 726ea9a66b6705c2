// One program at a time on a data folder: what a second start finds, and that a refused start
// leaves the running program's files alone.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "cli/InstanceLock.h"
#include "cli/Program.h"
#include "tests/support/PlatformTest.h"

using namespace quillora::cli;

namespace {

class InstanceLockTest : public quillora::test::PlatformTest {
protected:
    // Runs the program on `home` with an empty script (or in `mode`); what it wrote on standard
    // error in `errors`.
    int run(Mode mode, std::string& errors) {
        const auto path = home / "empty.txt";
        std::ofstream(path) << "";
        Options options;
        options.home = home;
        options.mode = mode;
        if (mode == Mode::script) options.script = path.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        testing::internal::CaptureStderr();
        const int code = runProgram(options, 1, argv);
        errors = testing::internal::GetCapturedStderr();
        return code;
    }
    static std::string read(const std::filesystem::path& path) {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

TEST_F(InstanceLockTest, AHeldFolderNamesItsHolderAndRefusesAScriptWithoutTouchingTheRunningLog) {
    std::optional<InstanceLock::Holder> holder;
    std::string error;
    auto lock = InstanceLock::acquire(home, "window", holder, error);
    ASSERT_TRUE(lock) << error;
    EXPECT_FALSE(holder);

    auto second = InstanceLock::acquire(home, "script", holder, error);
    EXPECT_FALSE(second);
    ASSERT_TRUE(holder) << error;
    EXPECT_EQ(holder->pid, getpid());
    EXPECT_EQ(holder->use, "window");
    EXPECT_FALSE(holder->host.empty());

    // The running program's log stays as it is: a refused start does not begin its own.
    const auto logs = home / "Library" / "Logs";
    std::filesystem::create_directories(logs);
    std::ofstream(logs / "console.log") << "the window's lines\n";
    std::string errors;
    EXPECT_EQ(run(Mode::script, errors), 1);
    EXPECT_NE(errors.find("Quillora's window (process " + std::to_string(getpid()) +
                          ") is using the data folder " + home.string() +
                          "; the script would write the same files"),
              std::string::npos)
        << errors;
    EXPECT_EQ(read(logs / "console.log"), "the window's lines\n");
    EXPECT_FALSE(std::filesystem::exists(logs / "console.log.1"));

    // Released, the folder is free for the next program, which holds it while it runs.
    lock.reset();
    EXPECT_EQ(run(Mode::script, errors), 0) << errors;
    lock = InstanceLock::acquire(home, "script", holder, error);
    EXPECT_TRUE(lock) << "the script let the folder go when it ended";
}

TEST_F(InstanceLockTest, OnlyAWindowOnThisHostIsAskedToComeForward) {
    std::string why;
    EXPECT_FALSE(InstanceLock::bringForward({getpid(), "elsewhere.example", "window"}, why));
    EXPECT_NE(why.find("another host"), std::string::npos) << why;
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    EXPECT_FALSE(InstanceLock::bringForward({getpid(), host, "script"}, why));
    EXPECT_EQ(why, "it runs no window");

    // The window started on a folder a script holds is refused too: nothing would come forward.
    std::optional<InstanceLock::Holder> holder;
    std::string error;
    auto lock = InstanceLock::acquire(home, "script", holder, error);
    ASSERT_TRUE(lock) << error;
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    setenv("DISPLAY", ":999", 1);
    std::string errors;
    EXPECT_EQ(run(Mode::window, errors), 1);
    if (saved.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_NE(errors.find("a script (process " + std::to_string(getpid()) + ") is using the data folder"),
              std::string::npos)
        << errors;
}

} // namespace
