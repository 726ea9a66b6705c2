// A file replaced by a write keeps its permissions and its owner, and one that its user may not
// write is refused rather than replaced: lists and preferences alike, as root and as an ordinary
// user. A folder that another program keeps locked fails a write after a bounded wait.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/ActingAs.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using quillora::test::Account;
using quillora::test::ActingAs;
using quillora::test::PlatformTest;
namespace fs = std::filesystem;

namespace {

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct stat statOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

class FilePermissionsTest : public PlatformTest {};

TEST_F(FilePermissionsTest, AWriteKeepsTheModeAndOwnerAndNeverReplacesAFileItMayNotWrite) {
    if (geteuid() != 0) GTEST_SKIP() << "giving files to another account needs root";
    const auto other = Account::nobody();
    if (!other) GTEST_SKIP() << "no 'nobody' account to act as";
    const Account root{0, 0};
    // The folder is the ordinary account's, as a home folder is.
    fs::create_directories(Sandbox::documents());
    fs::permissions(home, fs::perms(0755));
    ASSERT_EQ(::chown(Sandbox::documents().c_str(), other->uid, other->gid), 0);

    // Each writer writes the file once to make it, then again over it.
    struct Writer {
        std::string name;
        std::function<bool(const std::string& path, int round)> write;
    };
    const std::vector<Writer> writers{
        {"list",
         [](const std::string& path, int round) {
             return writeStringArrayPlist(path, {"entry", "round " + std::to_string(round)});
         }},
        {"preferences",
         [](const std::string& path, int round) {
             NSUserDefaults defaults(path);
             defaults.setInteger_forKey(round, "round");
             return defaults.synchronize();
         }},
    };
    struct Case {
        std::string what;
        mode_t mode;
        Account owner;
        bool asOrdinaryUser;
        // What the file is after the second write: written or left as it was, its owner and mode.
        bool written;
        Account ownerAfter;
        mode_t modeAfter;
    };
    const std::vector<Case> cases{
        {"a private file of root's", 0600, root, false, true, root, 0600},
        {"a group-readable file of the account's, written by root", 0640, *other, false, true, *other, 0640},
        {"a read-only file, written by root, who may", 0444, root, false, true, root, 0444},
        {"a set-id file of the account's, written by root", 06640, *other, false, true, *other, 06640},
        {"a private file of the account's, written by it", 0600, *other, true, true, *other, 0600},
        {"a read-only file of the account's, written by it", 0444, *other, true, false, *other, 0444},
        // The account may write it through its group, but may not give the new file to root: the
        // file becomes its own, in root's group still, with its permissions.
        {"a group-writable file of root's, written by the account",
         0664,
         {0, other->gid},
         true,
         true,
         *other,
         0664},
        // Set-user-id on a file that is now the account's would run as the account: only the
        // bit of the group it kept stays.
        {"a set-id group-writable file of root's, written by the account",
         06664,
         {0, other->gid},
         true,
         true,
         *other,
         02664},
    };
    for (const auto& writer : writers) {
        for (const auto& c : cases) {
            SCOPED_TRACE(writer.name + ": " + c.what);
            const fs::path path = Sandbox::documents() / (writer.name + ".plist");
            fs::remove(path);
            ASSERT_TRUE(writer.write(path, 1));
            ASSERT_EQ(::chown(path.c_str(), c.owner.uid, c.owner.gid), 0);
            ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
            const std::string before = bytesOf(path);
            bool wrote = false;
            {
                ActingAs acting(c.asOrdinaryUser ? other : std::nullopt);
                wrote = writer.write(path, 2);
            }
            EXPECT_EQ(wrote, c.written);
            if (c.written)
                EXPECT_NE(bytesOf(path), before);
            else
                EXPECT_EQ(bytesOf(path), before) << "the file it may not write is left as it was";
            const struct stat after = statOf(path);
            EXPECT_EQ(after.st_mode & 07777, c.modeAfter);
            EXPECT_EQ(after.st_uid, c.ownerAfter.uid);
            EXPECT_EQ(after.st_gid, c.ownerAfter.gid);
            for (const auto& entry : fs::directory_iterator(Sandbox::documents()))
                EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos)
                    << "left behind: " << entry.path();
        }
    }
    // The refusal says why.
    ASSERT_EQ(::chmod((Sandbox::documents() / "list.plist").c_str(), 0444), 0);
    ActingAs acting(other);
    const auto error = NSFileManager::defaultManager().writeAtomically(
        (Sandbox::documents() / "list.plist").string(), "new bytes");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription, "The file “" + (Sandbox::documents() / "list.plist").string() +
                                               "” could not be saved: Permission denied");
}

TEST_F(FilePermissionsTest, AFolderAnotherProgramKeepsLockedFailsTheWriteAfterABoundedWait) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setInteger_forKey(18, "fontSize");
    ASSERT_TRUE(defaults->synchronize());
    const fs::path file = defaults->filePath();
    const std::string before = bytesOf(file);

    // What `flock -x Preferences sleep 45` does: a lock of its own on the folder.
    const int other = ::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    defaults->setInteger_forKey(24, "fontSize");
    // It waits for the other program first; that it returns at all, the folder still held, is the
    // wait giving up (one that never did would run into the case's limit).
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(defaults->synchronize());
    const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(waited, NSFileManager::kFolderLockWait - 0.1);
    EXPECT_EQ(bytesOf(file), before);
    EXPECT_TRUE(consoleHas("Preferences could not be saved: The file “" + file.string() +
                           "” could not be saved: another program holds its folder “" +
                           file.parent_path().string() + "” locked"));

    // Let go, the change that waited is written.
    ::close(other);
    EXPECT_TRUE(defaults->synchronize());
    EXPECT_EQ(NSUserDefaults(file.string()).integerForKey("fontSize"), 24);
}

TEST_F(FilePermissionsTest, ASettledChangeWaitsForALockedFolderOnTheRunLoopWithoutBlockingIt) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setInteger_forKey(18, "fontSize");
    ASSERT_TRUE(defaults->synchronize());
    const fs::path file = defaults->filePath();
    std::vector<std::string> failures;
    auto observer = std::make_shared<int>();
    NSNotificationCenter::defaultCenter().addObserver(
        observer, NSUserDefaultsSaveFailedNotification,
        [&](const NSNotification& n) { failures.push_back(n.stringForKey("message").value_or("")); });
    struct Case {
        std::string what;
        // When the other program lets go, in seconds of the loop after the change; none: never.
        std::optional<double> letGoAfter;
    };
    const std::vector<Case> cases{
        {"let go within the wait", 0.5},
        {"kept past the wait", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        failures.clear();
        const int other = ::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
        defaults->setInteger_forKey(30, "fontSize");
        runUntilIdle();
        // The loop goes on while the folder is held: the write waits on it, neither done nor given
        // up, where one that blocked the loop would have ended one way or the other by now.
        EXPECT_EQ(NSFileManager::folderWaitsPending(), 1u) << "the write waits on the loop";
        EXPECT_EQ(NSUserDefaults(file.string()).integerForKey("fontSize"), 18);
        EXPECT_TRUE(failures.empty());
        // A change made while the write waits goes with it.
        defaults->setObject_forKey("while waiting", "note");
        advance(c.letGoAfter.value_or(NSFileManager::kFolderLockWait - 0.1));
        if (c.letGoAfter) ::close(other);
        advance(0.5);
        EXPECT_EQ(NSUserDefaults(file.string()).integerForKey("fontSize"), c.letGoAfter ? 30 : 18);
        EXPECT_EQ(NSUserDefaults(file.string()).stringForKey("note"),
                  c.letGoAfter ? std::optional<std::string>("while waiting") : std::nullopt);
        EXPECT_EQ(failures, c.letGoAfter
                                ? std::vector<std::string>{}
                                : std::vector<std::string>{"The file “" + file.string() +
                                                           "” could not be saved: another program "
                                                           "holds its folder “" +
                                                           file.parent_path().string() + "” locked"});
        if (!c.letGoAfter) ::close(other);
        EXPECT_TRUE(defaults->synchronize());
        EXPECT_EQ(NSUserDefaults(file.string()).integerForKey("fontSize"), 30);
        defaults->setInteger_forKey(18, "fontSize");
        defaults->removeObjectForKey("note");
        ASSERT_TRUE(defaults->synchronize());
    }
}

} // namespace

namespace {

// What a write makes is no other account's to read, whatever the umask: a new file is 0600, each
// folder made on the way 0700; a folder that was there keeps its mode.
TEST_F(FilePermissionsTest, WhatIsMadeIsPrivateWhateverTheUmaskAndWhatWasThereKeepsItsMode) {
    auto& files = NSFileManager::defaultManager();
    const fs::path there = home / "there";
    fs::create_directories(there);
    fs::permissions(there, fs::perms(0755));
    for (const mode_t mask : {mode_t(022), mode_t(0), mode_t(0277)}) {
        SCOPED_TRACE(mask);
        fs::remove_all(there / "made");
        const fs::path made = there / "made" / "deeper";
        const mode_t saved = ::umask(mask);
        const auto folderError = files.createDirectoryAtPath_withIntermediateDirectories(made.string(), true);
        const auto fileError = files.writeAtomically((made / "notes.txt").string(), "words");
        ::umask(saved);
        ASSERT_FALSE(folderError) << folderError->localizedDescription;
        ASSERT_FALSE(fileError) << fileError->localizedDescription;
        EXPECT_EQ(statOf(there).st_mode & 07777, 0755u);
        EXPECT_EQ(statOf(there / "made").st_mode & 07777, 0700u);
        EXPECT_EQ(statOf(made).st_mode & 07777, 0700u);
        EXPECT_EQ(statOf(made / "notes.txt").st_mode & 07777, 0600u);
    }
}

} // namespace
