#pragma once
// Files touched from the calling thread as an ordinary account would touch them. The kernel checks
// access with the file-system ids, which belong to the calling thread alone, and a root thread that
// takes an ordinary account's ids loses its power to override permissions with them: a test run
// as root sees what a person's program would see, and the other threads stay root.

#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/types.h>

#include <optional>

namespace quillora::test {

struct Account {
    uid_t uid = 0;
    gid_t gid = 0;

    // The unprivileged account every Linux system has; none when it is missing.
    static std::optional<Account> nobody() {
        const passwd* entry = getpwnam("nobody");
        if (!entry) return std::nullopt;
        return Account{entry->pw_uid, entry->pw_gid};
    }
};

class ActingAs {
public:
    // Does nothing for no account.
    explicit ActingAs(std::optional<Account> account) : account_(account) {
        if (!account_) return;
        setfsgid(account_->gid);
        setfsuid(account_->uid);
    }
    ~ActingAs() {
        if (!account_) return;
        setfsuid(0);
        setfsgid(0);
    }
    ActingAs(const ActingAs&) = delete;
    ActingAs& operator=(const ActingAs&) = delete;

private:
    std::optional<Account> account_;
};

} // namespace quillora::test
