#pragma once
// A second person on the machine for a test: an account of its own, made with useradd and removed
// with userdel when dropped, whose home folder is one the test chooses (made here, the account's,
// 0755 as Debian makes homes). Only root can make one; `create` says why it could not.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <pwd.h>

#include "tests/support/XvfbSession.h"

extern char** environ;

namespace quillora::test {

class TestAccount {
public:
    static std::optional<TestAccount> create(const std::filesystem::path& homeFolder, std::string& why) {
        if (geteuid() != 0) {
            why = "making an account needs root";
            return std::nullopt;
        }
        static std::atomic<int> made{0};
        TestAccount account;
        account.name = "qlt" + std::to_string(getpid()) + "n" + std::to_string(made++);
        account.home = homeFolder;
        int status = -1;
        waitUntil(
            [&] {
                status = runTool({"useradd", "-M", "-U", "-d", homeFolder.string(), "-s", "/usr/sbin/nologin",
                                  account.name});
                return !lockedOut(status);
            },
            kHangLimit);
        const passwd* entry = status == 0 ? getpwnam(account.name.c_str()) : nullptr;
        if (!entry) {
            why = "useradd " + account.name + " failed with status " + std::to_string(status);
            return std::nullopt;
        }
        account.uid = entry->pw_uid;
        account.gid = entry->pw_gid;
        std::filesystem::create_directories(homeFolder);
        if (::chown(homeFolder.c_str(), account.uid, account.gid) != 0 ||
            ::chmod(homeFolder.c_str(), 0755) != 0) {
            why = "cannot give " + homeFolder.string() + " to " + account.name;
            return std::nullopt;
        }
        return account;
    }

    TestAccount(TestAccount&& other) noexcept
        : name(std::move(other.name)), home(std::move(other.home)), uid(other.uid), gid(other.gid) {
        other.name.clear();
    }
    TestAccount& operator=(TestAccount&&) = delete;
    // Removed even while a helper its programs started still runs (a session bus that the
    // desktop library launched ends with its display, after the test).
    ~TestAccount() {
        if (name.empty()) return;
        waitUntil([&] { return !lockedOut(runTool({"userdel", "--force", name})); }, kHangLimit);
    }

    // `args` run as this account, with its own groups only, and without the variables named in
    // `unset` (HOME...).
    std::vector<std::string> command(const std::vector<std::string>& args,
                                     const std::vector<std::string>& unset = {}) const {
        std::vector<std::string> all{"setpriv",
                                     "--reuid=" + std::to_string(uid),
                                     "--regid=" + std::to_string(gid),
                                     "--clear-groups",
                                     "--",
                                     "env"};
        for (const auto& variable : unset) {
            all.push_back("-u");
            all.push_back(variable);
        }
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }

    std::string name;
    std::filesystem::path home;
    uid_t uid = 0;
    gid_t gid = 0;

private:
    TestAccount() = default;

    // Another test may be changing the account files at the same moment: the tools then find them
    // locked (status 1 for the password file, 10 for the group file) and are asked again.
    static bool lockedOut(int status) { return status == 1 || status == 10; }

    // Its exit status; -1 when it could not be run.
    static int runTool(const std::vector<std::string>& args) {
        std::vector<char*> argv;
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) return -1;
        int status = 0;
        if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }
};

} // namespace quillora::test
