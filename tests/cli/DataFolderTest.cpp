// The data folder is the account's own and no other account's to read or to slip things into:
// without HOME it is found from the password database, what the program makes in it is private
// whatever the umask, and a folder, lock file or socket that another account owns, or a link where
// a file belongs, is refused before anything is written.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <memory>

#include "cli/InstanceLock.h"
#include "cli/Program.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/ActingAs.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeWindow.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/TestAccount.h"
#include "tests/support/XvfbSession.h"

using namespace quillora::cli;
using quillora::test::Account;
using quillora::test::ActingAs;
using quillora::test::ChildProcess;
using quillora::test::FakeWindow;
using quillora::test::kHangLimit;
using quillora::test::TestAccount;
namespace fs = std::filesystem;

namespace {

std::string hostName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

class DataFolderTest : public quillora::test::PlatformTest {
protected:
    // The program started here on `folder` in `mode` with an empty script; what it said on standard
    // output and error.
    int run(Mode mode, const fs::path& folder, std::string& said) {
        const auto script = home / "empty.txt";
        std::ofstream(script) << "";
        Options options;
        options.home = folder;
        options.mode = mode;
        if (mode == Mode::script) options.script = script.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        const char* display = std::getenv("DISPLAY");
        const std::string saved = display ? display : "";
        // A display that is not there: a window start gets as far as it would without one.
        if (mode == Mode::window) setenv("DISPLAY", ":999", 1);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int code = runProgram(options, 1, argv);
        said = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
        if (saved.empty())
            unsetenv("DISPLAY");
        else
            setenv("DISPLAY", saved.c_str(), 1);
        return code;
    }
    static std::string read(const fs::path& path) { return quillora::test::fileContent(path); }
};

TEST_F(DataFolderTest, AFolderLockFileOrSocketOfAnotherAccountOrALinkForAFileIsRefusedUntouched) {
    if (geteuid() != 0) GTEST_SKIP() << "giving files to another account needs root";
    const auto other = Account::nobody();
    if (!other) GTEST_SKIP() << "no 'nobody' account to stand for the other person";
    const std::string uid = std::to_string(other->uid);
    // What the other account would have put there: a window of "process 1" holding the folder
    // and answering on its socket, the lock file naming it.
    struct Scene {
        fs::path data;
        std::unique_ptr<FakeWindow> window;
        int held = -1;
    };
    auto holdFolder = [](Scene& s) {
        fs::create_directories(s.data / "Library");
        s.held = open((s.data / "Library").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_EQ(flock(s.held, LOCK_EX | LOCK_NB), 0);
        std::string line = "1 " + hostName() + " window";
        line.resize(127, ' ');
        std::ofstream(InstanceLock::pathIn(s.data)) << line << "\n";
    };
    const fs::path precious = home / "precious.txt";
    struct Case {
        std::string what;
        Mode mode;
        std::function<void(Scene&)> make;
        // What the refusal says; empty when the start goes ahead.
        std::string refusal;
        // Refused before anything is made in the folder: it is not this account's to write in.
        bool untouched = true;
    };
    const std::vector<Case> cases{
        {"the folder is another account's", Mode::script,
         [&](Scene& s) {
             fs::create_directories(s.data);
             ASSERT_EQ(chown(s.data.c_str(), other->uid, other->gid), 0);
         },
         "belongs to another user (uid " + uid + ")"},
        {"the folder is a link to another account's", Mode::script,
         [&](Scene& s) {
             fs::create_directories(home / "theirs");
             ASSERT_EQ(chown((home / "theirs").c_str(), other->uid, other->gid), 0);
             fs::create_symlink(home / "theirs", s.data);
         },
         "belongs to another user (uid " + uid + ")"},
        {"the lock file is a link to a file elsewhere", Mode::script,
         [&](Scene& s) {
             fs::create_directories(s.data / "Library");
             fs::create_symlink(precious, InstanceLock::pathIn(s.data));
         },
         "is a symbolic link"},
        {"the lock file is another account's", Mode::script,
         [&](Scene& s) {
             fs::create_directories(s.data / "Library");
             std::ofstream(InstanceLock::pathIn(s.data)) << "";
             ASSERT_EQ(chown(InstanceLock::pathIn(s.data).c_str(), other->uid, other->gid), 0);
         },
         "belongs to another user (uid " + uid + ")"},
        {"the socket is another account's", Mode::window,
         [&](Scene& s) {
             holdFolder(s);
             s.window = std::make_unique<FakeWindow>(s.data / "Library" / "quillora.sock", other->uid);
             ASSERT_EQ(lchown((s.data / "Library" / "quillora.sock").c_str(), other->uid, other->gid), 0);
         },
         "belongs to another user (uid " + uid + ")"},
        {"the socket is a link to another account's window", Mode::window,
         [&](Scene& s) {
             holdFolder(s);
             s.window = std::make_unique<FakeWindow>(home / "elsewhere.sock", other->uid);
             fs::create_symlink(home / "elsewhere.sock", s.data / "Library" / "quillora.sock");
         },
         "is a symbolic link"},
        // The socket is this account's, but what listens on it is another's.
        {"the window answering is another account's", Mode::window,
         [&](Scene& s) {
             holdFolder(s);
             s.window = std::make_unique<FakeWindow>(s.data / "Library" / "quillora.sock", other->uid);
         },
         "its window cannot be brought forward: it answers as another user (uid " + uid + ")", false},
        {"the folder is a link to a folder of this account's", Mode::script,
         [&](Scene& s) {
             fs::create_directories(home / "mine");
             fs::create_symlink(home / "mine", s.data);
         },
         ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(precious, std::ios::trunc) << std::string(1400, 'p');
        Scene scene;
        scene.data = home / ("case" + std::to_string(++n));
        ASSERT_NO_FATAL_FAILURE(c.make(scene));
        std::vector<std::string> before;
        for (const auto& entry : fs::recursive_directory_iterator(scene.data))
            before.push_back(entry.path().string());
        std::string said;
        const int code = run(c.mode, scene.data, said);
        EXPECT_EQ(said.find("already open"), std::string::npos) << said;
        if (c.refusal.empty()) {
            EXPECT_EQ(code, 0) << said;
        } else {
            EXPECT_EQ(code, 1) << said;
            EXPECT_NE(said.find(c.refusal), std::string::npos) << said;
            std::vector<std::string> after;
            for (const auto& entry : fs::recursive_directory_iterator(scene.data))
                after.push_back(entry.path().string());
            if (c.untouched) {
                EXPECT_EQ(after, before) << "the refused start made something in the folder";
            }
        }
        EXPECT_EQ(read(precious), std::string(1400, 'p')) << "the file behind the link was written";
        if (scene.held >= 0) close(scene.held);
        // The next case launches the application afresh.
        platform::resetSharedInstances();
    }
}

// Run as a person of its own under a umask of 022, as on Debian, the program dictates, saves, mails
// and exports: without HOME its data is in the home the password database gives, and nothing it
// made there can be read by another account.
TEST_F(DataFolderTest, WithoutHomeTheDataIsInTheAccountsOwnHomeAndNoOtherAccountCanReadIt) {
    std::string why;
    // The people's homes lie in the test's folder, which they must be able to pass through.
    fs::permissions(home, fs::perms(0755));
    auto person = TestAccount::create(home / "people" / "alice", why);
    if (!person) GTEST_SKIP() << why;
    const auto other = Account::nobody();
    if (!other) GTEST_SKIP() << "no 'nobody' account to stand for the other person";
    const fs::path script = person->home / "script.txt";
    std::ofstream(script)
        << "scripted\nmicrophone silence\ntap recordButton\nfinal Words nobody else may read.\n"
           "tap recordButton\nwait 2\ntap SaveDynamicButton\nback\ntap FontDynamicButton\n"
           "press Feedback\nmail send\npress \" 🅧 Cancel \"\nopen RecipeBookMarkViewC\n"
           "type Clipboard \"Flour, water and salt.\"\ntap savepdf\nalert \"OK \"\n";
    // Where the data went without HOME before: found there afterwards, it is the program's doing.
    struct SharedTmp {
        const bool there = fs::exists(fs::symlink_status("/tmp/.local"));
        ~SharedTmp() {
            if (there || !fs::exists(fs::symlink_status("/tmp/.local"))) return;
            ADD_FAILURE() << "the program made its data folder in /tmp";
            fs::remove_all("/tmp/.local");
        }
    } sharedTmp;
    struct Case {
        std::string what;
        std::vector<std::string> unset;
        // A folder of the home that is there before the program runs, and stays as it was.
        bool localThere;
    };
    const std::vector<Case> cases{
        {"HOME unset", {"HOME", "XDG_DATA_HOME", "QUILLORA_HOME"}, false},
        {"HOME set, ~/.local already there", {"XDG_DATA_HOME", "QUILLORA_HOME"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(person->home / ".local");
        if (c.localThere) {
            fs::create_directory(person->home / ".local");
            fs::permissions(person->home / ".local", fs::perms(0755));
            ASSERT_EQ(chown((person->home / ".local").c_str(), person->uid, person->gid), 0);
        }
        const mode_t mask = umask(022);
        // The leak checker's tracer does not survive the change of account now and then; the
        // program's leaks are checked by the tests that run it as it is.
        ChildProcess app =
            ChildProcess::start(person->command({QUILLORA_PROGRAM, "run", script.string()}, c.unset),
                                {{"HOME", person->home.string()}, {"ASAN_OPTIONS", "detect_leaks=0"}},
                                (home / "app.log").string());
        umask(mask);
        EXPECT_EQ(app.wait(kHangLimit), 0) << read(home / "app.log");

        const fs::path data = person->home / ".local" / "share" / "quillora";
        EXPECT_NE(read(data / "Documents" / "notes.txt").find("Words nobody else may read."),
                  std::string::npos)
            << "the transcript is in the account's own data folder: " << read(home / "app.log");
        if (!fs::is_directory(person->home / ".local")) {
            ADD_FAILURE() << "nothing in the account's home";
            continue;
        }
        std::map<std::string, int> kinds;
        for (const auto& entry : fs::recursive_directory_iterator(person->home / ".local")) {
            struct stat st {};
            ASSERT_EQ(lstat(entry.path().c_str(), &st), 0);
            const std::string name = entry.path().filename().string();
            ++kinds[S_ISDIR(st.st_mode) ? "folder" : entry.path().extension().string()];
            EXPECT_EQ(st.st_uid, person->uid) << entry.path();
            if (entry.path() == person->home / ".local" && c.localThere)
                EXPECT_EQ(st.st_mode & 07777, 0755u) << "a folder that was there keeps its mode";
            else
                EXPECT_EQ(st.st_mode & 07777, S_ISDIR(st.st_mode) ? 0700u : 0600u) << entry.path();
            if (!S_ISREG(st.st_mode)) continue;
            ActingAs acting(other);
            const int fd = open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
            EXPECT_LT(fd, 0) << "another account reads " << entry.path();
            if (fd >= 0) close(fd);
        }
        // The list, the mail in the Outbox, the export and the log were among them.
        for (const char* kind : {".txt", ".eml", ".pdf", ".log", ".plist"})
            EXPECT_GE(kinds[kind], 1) << kind;
        struct stat st {};
        ASSERT_EQ(stat(person->home.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0755u) << "the home is left as it was";
    }
}

} // namespace
