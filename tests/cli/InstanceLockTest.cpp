// One program at a time on a data folder: what a second start finds, that a refused start leaves
// the running program's files alone, and that a full disk changes neither.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/InstanceLock.h"
#include "cli/Program.h"
#include "tests/support/PlatformTest.h"

using namespace quillora::cli;

extern char** environ;

namespace {

class InstanceLockTest : public quillora::test::PlatformTest {
protected:
    // Runs the program on `folder` (else `home`) with an empty script (or in `mode`); what it wrote
    // on standard error in `errors`.
    int run(Mode mode, std::string& errors, const std::filesystem::path& folder = {}) {
        const auto& data = folder.empty() ? home : folder;
        const auto path = data / "empty.txt";
        std::ofstream(path) << "";
        Options options;
        options.home = data;
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
    EXPECT_EQ(InstanceLock::bringForward(home, {getpid(), "elsewhere.example", "window"}, why),
              InstanceLock::Raised::noWindowHere);
    EXPECT_NE(why.find("another host"), std::string::npos) << why;
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    EXPECT_EQ(InstanceLock::bringForward(home, {getpid(), host, "script"}, why),
              InstanceLock::Raised::noWindowHere);
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

// The window is asked through the socket it listens on in the data folder, which only the
// program holding the folder makes; the process number in the lock file may be stale or torn,
// and a signal sent to it would end whatever program now has that number.
TEST_F(InstanceLockTest, AWindowIsAskedThroughItsSocketAndNoProcessNamedInTheLockFileIsSignalled) {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    // Deeper than a socket's address holds, as a data folder may be.
    const auto deep = home / std::string(120, 'd');
    std::optional<InstanceLock::Holder> holder;
    std::string error;
    {
        auto window = InstanceLock::acquire(deep, "window", holder, error);
        ASSERT_TRUE(window) << error;
        ASSERT_GE(window->raiseRequests(), 0);
        ASSERT_FALSE(InstanceLock::acquire(deep, "window", holder, error));
        ASSERT_TRUE(holder);
        // The window hears the request and answers it once it has come forward.
        std::thread answering([listener = window->raiseRequests()] {
            pollfd asked{listener, POLLIN, 0};
            ASSERT_EQ(poll(&asked, 1, 20000), 1) << "the window hears the request";
            const int fd = accept(listener, nullptr, nullptr);
            ASSERT_GE(fd, 0);
            EXPECT_EQ(send(fd, "1", 1, MSG_NOSIGNAL), 1);
            close(fd);
        });
        std::string why;
        EXPECT_EQ(InstanceLock::bringForward(deep, *holder, why), InstanceLock::Raised::answered) << why;
        answering.join();
    }
    EXPECT_FALSE(std::filesystem::exists(deep / "Library" / "quillora.sock"))
        << "the socket goes with the window";

    // Another program, whose number the lock file names as the window's: the folder's holder has
    // no window listening (a script), or left its socket behind when it was killed.
    pid_t other = 0;
    char sleep[] = "sleep", minute[] = "60";
    char* args[] = {sleep, minute, nullptr};
    ASSERT_EQ(posix_spawnp(&other, "sleep", nullptr, nullptr, args, environ), 0);
    auto ended = [&] { return waitpid(other, nullptr, WNOHANG) == other; };
    const std::string named = std::to_string(other) + " " + host + " window\n";
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    setenv("DISPLAY", ":999", 1);
    for (const bool leftSocket : {false, true}) {
        SCOPED_TRACE(leftSocket ? "a socket left behind" : "no socket");
        auto lock = InstanceLock::acquire(home, "script", holder, error);
        ASSERT_TRUE(lock) << error;
        std::ofstream(InstanceLock::pathIn(home)) << named;
        const auto socketPath = home / "Library" / "quillora.sock";
        if (leftSocket) {
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strcpy(address.sun_path, socketPath.c_str());
            ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            close(fd);
        }
        std::string errors;
        EXPECT_EQ(run(Mode::window, errors), 1);
        EXPECT_NE(errors.find("(process " + std::to_string(other) + ") is using the data folder " +
                              home.string() +
                              ", and its window cannot be brought forward: it cannot be reached: " +
                              (leftSocket ? "Connection refused" : "No such file or directory")),
                  std::string::npos)
            << errors;
        EXPECT_FALSE(ended()) << "the program named in the lock file was ended";
        std::filesystem::remove(socketPath);
    }
    if (saved.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", saved.c_str(), 1);
    kill(other, SIGKILL);
    waitpid(other, nullptr, 0);
}

// A window that takes the connection but gives no answer is ending (a logout) or stuck: a second
// start does not say it is open. It takes the folder once its holder lets go, and opens its own
// window, which here finds no display.
TEST_F(InstanceLockTest, AWindowThatDoesNotAnswerIsNotOpenAndItsFolderIsTakenOnceLetGo) {
    std::optional<InstanceLock::Holder> holder;
    std::string error;
    auto ending = InstanceLock::acquire(home, "window", holder, error);
    ASSERT_TRUE(ending) << error;
    ASSERT_FALSE(InstanceLock::acquire(home, "window", holder, error));
    ASSERT_TRUE(holder);
    std::string why;
    EXPECT_EQ(InstanceLock::bringForward(home, *holder, why), InstanceLock::Raised::noAnswer);
    EXPECT_EQ(why, "it did not answer");

    // The holder hears the next start ask, ends without answering, and lets the folder go.
    const int listener = ending->raiseRequests();
    std::thread lettingGo([&] {
        pollfd asked{listener, POLLIN, 0};
        // The request above is still waiting, unanswered; the start's comes after it.
        for (int heard = 0; heard < 2 && poll(&asked, 1, 20000) == 1;)
            if (const int fd = accept(listener, nullptr, nullptr); fd >= 0 && ++heard) close(fd);
        ending.reset();
    });
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    setenv("DISPLAY", ":999", 1);
    std::string errors;
    const int code = run(Mode::window, errors);
    lettingGo.join();
    if (saved.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(code, 1);
    EXPECT_NE(errors.find("quillora: cannot open the display ':999'"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("cannot be brought forward"), std::string::npos) << errors;
    EXPECT_TRUE(std::filesystem::exists(home / "Library" / "Logs" / "console.log")) << "the start ran";
}

// A small file system of its own, filled to the last byte, for as long as it lives.
class FullDisk {
public:
    explicit FullDisk(const std::filesystem::path& at) : at_(at) {
        std::filesystem::create_directories(at);
        mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, "size=256k") == 0;
        if (!mounted_) why_ = std::string("cannot mount a small file system: ") + std::strerror(errno);
    }
    ~FullDisk() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    const std::string& why() const { return why_; }
    // Writes until no byte more fits.
    void fill() {
        const int fd = ::open((at_ / "filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        const std::string block(4096, 'x');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        EXPECT_EQ(errno, ENOSPC);
        while (::write(fd, block.data(), 1) > 0) {
        }
        ::close(fd);
    }

private:
    std::filesystem::path at_;
    bool mounted_ = false;
    std::string why_;
};

TEST_F(InstanceLockTest, OnAFullDiskTheFolderIsStillLockedAndASecondProgramRefused) {
    FullDisk disk(home / "disk");
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    // A folder used before the disk filled (its lock file was named in once), and one whose lock
    // file was never written (a fresh one, or one the program before this version emptied).
    const auto used = home / "disk" / "used", fresh = home / "disk" / "fresh";
    std::optional<InstanceLock::Holder> holder;
    std::string error;
    ASSERT_TRUE(InstanceLock::acquire(used, "window", holder, error)) << error;
    std::filesystem::create_directories(fresh / "Library");
    std::ofstream(InstanceLock::pathIn(fresh));
    disk.fill();

    for (const auto& folder : {used, fresh}) {
        SCOPED_TRACE(folder.filename().string());
        error.clear();
        auto lock = InstanceLock::acquire(folder, "window", holder, error);
        ASSERT_TRUE(lock) << "a full disk does not cost the lock: " << error;
        if (folder == used)
            EXPECT_EQ(error, "") << "the name is written where the last one stood";
        else
            EXPECT_EQ(error,
                      "cannot write " + InstanceLock::pathIn(folder).string() + ": No space left on device");

        auto second = InstanceLock::acquire(folder, "script", holder, error);
        EXPECT_FALSE(second);
        ASSERT_TRUE(holder);
        EXPECT_EQ(holder->pid, folder == used ? getpid() : 0);
        EXPECT_EQ(holder->use, folder == used ? "window" : "unknown");

        std::string errors;
        EXPECT_EQ(run(Mode::script, errors, folder), 1) << errors;
        const std::string who = folder == used
                                    ? "Quillora's window (process " + std::to_string(getpid()) + ")"
                                    : std::string("another program");
        EXPECT_NE(errors.find("quillora: " + who + " is using the data folder " + folder.string() +
                              "; the script would write the same files."),
                  std::string::npos)
            << errors;
    }
}

} // namespace
