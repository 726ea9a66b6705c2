#pragma once
// One program at a time on a data folder: two copies writing the same lists, preferences and logs
// would overwrite each other's changes. The running program holds a lock on the Library folder
// (released by the system when it ends, however it ends; taking it writes nothing, so a full disk
// cannot cost it) and names itself in Library/quillora.lock, so that a second start can tell what
// holds the folder. A window also listens on Library/quillora.sock: a second start brings it
// forward through that socket, which only the program holding the folder makes, and never through
// the process number it read (which may be stale or torn, and name another program).

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace quillora::cli {

class InstanceLock {
public:
    // What holds a data folder: its process, the host it runs on, and what it runs ("window",
    // "script" or "demo").
    struct Holder {
        pid_t pid = 0;
        std::string host;
        std::string use;
    };

    // Takes the data folder `root` for a run of kind `use`. None when another program holds it
    // (it is then in `holder`; "unknown" when it could not name itself) or when the lock cannot be
    // taken at all (the reason is then in `error` and `holder` stays empty). Held but not named
    // (the disk is full), the lock is given all the same, with the reason in `error`. For a
    // "window" the raise socket listens before the name is written. A folder held by another
    // program is waited for as long as `patience`, for a holder that is ending.
    static std::unique_ptr<InstanceLock> acquire(const std::filesystem::path& root, const std::string& use,
                                                 std::optional<Holder>& holder, std::string& error,
                                                 std::chrono::milliseconds patience = {});

    // How long a window is given to answer that it has come forward.
    static constexpr std::chrono::milliseconds kAnswerWait{3000};
    enum class Raised {
        answered,
        // The holder runs no window on this host.
        noWindowHere,
        // Its window does not listen or does not answer: it is ending (or stuck).
        noAnswer,
    };
    // Asks the window holding `root` to come forward, through its raise socket, and waits for its
    // answer; when none comes, the reason is in `error`. A socket that is a link, or that another
    // account made or listens on, is not asked (noWindowHere).
    static Raised bringForward(const std::filesystem::path& root, const Holder& holder, std::string& error);

    // A window's listening socket (non-blocking): each connection to it asks the window to come
    // forward, and a byte sent back on it answers that the window has. -1 when the run is no
    // window's or the socket could not be made.
    int raiseRequests() const { return raise_; }

    static std::filesystem::path pathIn(const std::filesystem::path& root);

    // Why the data folder `root` is not this account's to use, before anything is made in it: the
    // folder or its Library belongs to another account, or the lock file or the raise socket does
    // or is a symbolic link (which another account could aim at a file of ours, or at a window of
    // its own). None when nothing says so; what is missing is made by this program.
    static std::optional<std::string> whyNotOurs(const std::filesystem::path& root);

    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

private:
    InstanceLock(int folder, int name) : folder_(folder), name_(name) {}
    int folder_ = -1;
    int name_ = -1;
    int raise_ = -1;
};

} // namespace quillora::cli
