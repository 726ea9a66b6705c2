// A person starts the window without HOME while another account has made itself at home where such
// a start once kept its data, /tmp/.local/share/quillora: a folder of its own, held, whose lock
// file names a window and whose socket answers that it came forward. The window opens all the
// same, on the data folder in the person's own home, and asks nothing of the impostor.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/ActingAs.h"
#include "tests/support/FakeWindow.h"
#include "tests/support/TestAccount.h"
#include "tests/support/WindowManagerMessages.h"
#include "tests/window/WindowTest.h"

namespace fs = std::filesystem;
using quillora::test::Account;
using quillora::test::FakeWindow;
using quillora::test::TestAccount;

namespace {

class DataFolderWindowTest : public WindowTest {};

// The shared place is the machine's, not the test's: one test at a time, in any build, may put
// the impostor there, and only where nothing is yet; it is removed afterwards.
class SharedTmpSquat {
public:
    static constexpr const char* kTop = "/tmp/.local";
    SharedTmpSquat() {
        turn_ = open("/tmp/quillora-tmp-squat.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (turn_ >= 0) flock(turn_, LOCK_EX);
        usable_ = turn_ >= 0 && !fs::exists(fs::symlink_status(kTop));
    }
    ~SharedTmpSquat() {
        if (usable_) fs::remove_all(kTop);
        if (turn_ >= 0) close(turn_);
    }
    bool usable() const { return usable_; }

private:
    int turn_ = -1;
    bool usable_ = false;
};

std::string hostName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

} // namespace

TEST_F(DataFolderWindowTest, WithoutHomeTheWindowOpensOnTheAccountsOwnFolderWhateverAnotherPutInTmp) {
    std::string why;
    // The person's home lies in the test's folder, which the person must pass through.
    fs::permissions(home, fs::perms(0755));
    auto person = TestAccount::create(home / "people" / "alice", why);
    if (!person) GTEST_SKIP() << why;
    const auto other = Account::nobody();
    if (!other) GTEST_SKIP() << "no 'nobody' account to stand for the other person";
    SharedTmpSquat squat;
    if (!squat.usable()) GTEST_SKIP() << "/tmp/.local is there already, and not this test's to change";

    // The other account's folder, open to all so that the person's start could go as far as asking
    // its "window" to come forward.
    const fs::path theirs = fs::path(SharedTmpSquat::kTop) / "share" / "quillora";
    fs::create_directories(theirs / "Library");
    for (const auto& folder :
         {fs::path(SharedTmpSquat::kTop), theirs.parent_path(), theirs, theirs / "Library"}) {
        ASSERT_EQ(chown(folder.c_str(), other->uid, other->gid), 0);
        fs::permissions(folder, fs::perms(0777));
    }
    const fs::path lockFile = theirs / "Library" / "quillora.lock";
    std::string line = "1 " + hostName() + " window";
    line.resize(127, ' ');
    std::ofstream(lockFile) << line << "\n";
    ASSERT_EQ(chown(lockFile.c_str(), other->uid, other->gid), 0);
    fs::permissions(lockFile, fs::perms(0666));
    const int held = open((theirs / "Library").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    FakeWindow impostor(theirs / "Library" / "quillora.sock", other->uid);
    ASSERT_EQ(lchown((theirs / "Library" / "quillora.sock").c_str(), other->uid, other->gid), 0);

    const mode_t mask = umask(022);
    auto env = x_->environment();
    // The leak checker's tracer does not survive the change of account now and then; the window's
    // leaks are checked by the tests that run it as it is.
    env["ASAN_OPTIONS"] = "detect_leaks=0";
    ChildProcess app = ChildProcess::start(
        person->command({QUILLORA_PROGRAM, "--window", "--microphone", "silence", "--console"},
                        {"HOME", "XDG_DATA_HOME", "QUILLORA_HOME"}),
        env, (home / "app.log").string());
    umask(mask);
    const std::string id = window("Quillora", false);
    ASSERT_FALSE(id.empty()) << "no window opened: " << readFile(home / "app.log");
    ASSERT_TRUE(waitForPrinted("app become active", 0)) << readFile(home / "app.log");
    EXPECT_EQ(readFile(home / "app.log").find("already open"), std::string::npos)
        << readFile(home / "app.log");

    const fs::path data = person->home / ".local" / "share" / "quillora";
    EXPECT_NE(readFile(data / "Library" / "Logs" / "console.log").find("app become active"),
              std::string::npos)
        << "the window keeps its data in the person's home";
    EXPECT_EQ(impostor.answered(), 0) << "the impostor was asked";
    EXPECT_FALSE(fs::exists(theirs / "Documents")) << "the window wrote in the other account's folder";
    // The window's own socket and lock file, and its desktop entry's folder, are the person's alone.
    for (const auto& [path, mode] : std::vector<std::pair<fs::path, mode_t>>{
             {data / "Library" / "quillora.sock", 0600},
             {data / "Library" / "quillora.lock", 0600},
             {person->home / ".local" / "share" / "applications", 0700}}) {
        struct stat st {};
        EXPECT_TRUE(quillora::test::waitUntil([&] { return lstat(path.c_str(), &st) == 0; }, kHangLimit))
            << path;
        EXPECT_EQ(st.st_uid, person->uid) << path;
        EXPECT_EQ(st.st_mode & 07777, mode) << path;
    }

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
    close(held);
    // What the window's desktop library launched for the person (a session bus) ends with it.
    x_->endServer();
}
