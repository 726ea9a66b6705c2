#include "cli/InstanceLock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

#include "platform/foundation/NSFileManager.h"

namespace quillora::cli {

namespace {

// The holder's line, blanks after it: longer than any process number, host name and use.
constexpr std::size_t kNameLength = 128;

std::string hostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "localhost";
    return name;
}

std::optional<InstanceLock::Holder> readHolder(int fd) {
    char buffer[512] = {};
    const ssize_t n = pread(fd, buffer, sizeof buffer - 1, 0);
    if (n <= 0) return std::nullopt;
    std::istringstream line(std::string(buffer, static_cast<std::size_t>(n)));
    InstanceLock::Holder holder;
    long pid = 0;
    if (!(line >> pid >> holder.host >> holder.use) || pid <= 0) return std::nullopt;
    holder.pid = static_cast<pid_t>(pid);
    return holder;
}

constexpr const char* kRaiseSocket = "quillora.sock";

// The address of the raise socket in the folder open as `folder` (at `path`): its path, or, when
// that is longer than an address holds (the data folder may lie deep), the same folder reached
// through this process's descriptor of it.
bool raiseAddress(int folder, const std::filesystem::path& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    std::string at = (path / kRaiseSocket).string();
    if (at.size() >= sizeof address.sun_path)
        at = "/proc/self/fd/" + std::to_string(folder) + "/" + kRaiseSocket;
    if (at.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, at.c_str(), at.size() + 1);
    return true;
}

int listenForRaise(int folder, const std::filesystem::path& path) {
    // The folder is held: a socket of ours found there is one a window left when it was killed.
    // Anything else of that name is not ours to remove, and the window then listens for nothing.
    struct stat st {};
    if (fstatat(folder, kRaiseSocket, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISSOCK(st.st_mode) &&
        st.st_uid == geteuid())
        unlinkat(folder, kRaiseSocket, 0);
    sockaddr_un address;
    if (!raiseAddress(folder, path, address)) return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0) {
        close(fd);
        return -1;
    }
    // Only this account may ask it, whatever the umask made of the socket.
    fchmodat(folder, kRaiseSocket, 0600, 0);
    return fd;
}

std::string ownerText(uid_t uid) {
    return "another user (uid " + std::to_string(uid) + ")";
}

// The lock file, opened without following a link and made the owner's alone; -1 with errno set,
// and `why` when it is there but not ours to write.
int openName(const std::filesystem::path& path, std::string& why) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        fchmod(fd, 0600);
        return fd;
    }
    if (errno != EEXIST) return -1;
    fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid()) return fd;
    why = S_ISREG(st.st_mode) ? "it belongs to " + ownerText(st.st_uid) : "it is not a file";
    close(fd);
    errno = EPERM;
    return -1;
}

} // namespace

std::filesystem::path InstanceLock::pathIn(const std::filesystem::path& root) {
    return root / "Library" / "quillora.lock";
}

std::optional<std::string> InstanceLock::whyNotOurs(const std::filesystem::path& root) {
    struct Item {
        std::filesystem::path path;
        // A folder may be a link to one of ours elsewhere; a file in it may not.
        bool folder;
    };
    const auto library = pathIn(root).parent_path();
    for (const Item& item : {Item{root, true}, Item{library, true}, Item{pathIn(root), false},
                             Item{library / kRaiseSocket, false}}) {
        struct stat st {};
        if (lstat(item.path.c_str(), &st) != 0) continue;
        if (S_ISLNK(st.st_mode)) {
            if (!item.folder) return item.path.string() + " is a symbolic link";
            if (stat(item.path.c_str(), &st) != 0) continue;
        }
        if (st.st_uid != geteuid()) return item.path.string() + " belongs to " + ownerText(st.st_uid);
    }
    return std::nullopt;
}

std::unique_ptr<InstanceLock> InstanceLock::acquire(const std::filesystem::path& root, const std::string& use,
                                                    std::optional<Holder>& holder, std::string& error,
                                                    std::chrono::milliseconds patience) {
    holder.reset();
    const auto path = pathIn(root);
    const auto folderPath = path.parent_path();
    platform::NSFileManager::defaultManager().createDirectoryAtPath_withIntermediateDirectories(
        folderPath.string(), true);
    // Close-on-exec: a program the application starts (a mail client, a browser) must not keep
    // the folder locked after it ends.
    const int folder = open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        error = "cannot open " + folderPath.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    // Only for the name: without it the folder is locked all the same.
    std::string notOurs;
    const int name = openName(path, notOurs);
    const int nameError = name < 0 ? errno : 0;
    auto closeBoth = [&] {
        close(folder);
        if (name >= 0) close(name);
    };
    // A holder that has just taken the lock names itself a moment later; one that is ending lets
    // it go within its own bound, which `patience` waits for.
    const auto start = std::chrono::steady_clock::now();
    const auto namingEnd = start + std::chrono::seconds(1), end = start + patience;
    while (true) {
        if (flock(folder, LOCK_EX | LOCK_NB) == 0) {
            std::unique_ptr<InstanceLock> lock(new InstanceLock(folder, name));
            // Before the name: a start that reads "window" finds the window listening.
            if (use == "window") lock->raise_ = listenForRaise(folder, folderPath);
            if (name < 0) {
                error = "cannot open " + path.string() + ": " +
                        (notOurs.empty() ? std::strerror(nameError) : notOurs);
                return lock;
            }
            // Always the same length, written over the blanks the last holder left: once the
            // file exists, naming takes no more room on the disk.
            std::string line = std::to_string(getpid()) + " " + hostName() + " " + use;
            line.resize(std::max(line.size() + 1, kNameLength - 1), ' ');
            line += "\n";
            struct stat st {};
            if (pwrite(name, line.data(), line.size(), 0) != ssize_t(line.size()) ||
                (fstat(name, &st) == 0 && st.st_size > off_t(line.size()) &&
                 ftruncate(name, off_t(line.size())) != 0)) {
                error = "cannot write " + path.string() + ": " + std::strerror(errno);
                // Emptying takes no room: no earlier holder's name is left to be taken for ours.
                [[maybe_unused]] const int emptied = ftruncate(name, 0);
            }
            return lock;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = "cannot lock " + folderPath.string() + ": " + std::strerror(errno);
            closeBoth();
            return nullptr;
        }
        if (name >= 0) holder = readHolder(name);
        const auto now = std::chrono::steady_clock::now();
        if (now >= end && (holder || now >= namingEnd)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    closeBoth();
    if (!holder) holder = Holder{0, hostName(), "unknown"};
    return nullptr;
}

InstanceLock::Raised InstanceLock::bringForward(const std::filesystem::path& root, const Holder& holder,
                                                std::string& error) {
    if (holder.use != "window") {
        error = holder.use == "unknown" ? "it could not say what it runs" : "it runs no window";
        return Raised::noWindowHere;
    }
    // The folder may be shared between hosts; a socket reaches only a window on this one.
    if (holder.host != hostName()) {
        error = "it runs on another host (" + holder.host + ")";
        return Raised::noWindowHere;
    }
    const auto folderPath = pathIn(root).parent_path();
    const int folder = open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    // Another account that could put a socket (or a link to one) here could answer in the window's
    // place, and a start would end saying it is open.
    struct stat st {};
    if (folder >= 0 && fstatat(folder, kRaiseSocket, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        (S_ISLNK(st.st_mode) || st.st_uid != geteuid())) {
        const auto socketPath = (folderPath / kRaiseSocket).string();
        error = S_ISLNK(st.st_mode) ? socketPath + " is a symbolic link"
                                    : socketPath + " belongs to " + ownerText(st.st_uid);
        close(folder);
        return Raised::noWindowHere;
    }
    sockaddr_un address;
    int fd = -1;
    bool reached = false;
    if (folder >= 0 && raiseAddress(folder, folderPath, address) &&
        (fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) >= 0)
        reached = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    bool answered = false;
    ucred peer{};
    socklen_t peerSize = sizeof peer;
    if (!reached) {
        error = std::string("it cannot be reached: ") + std::strerror(errno);
    } else if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &peerSize) == 0 && peer.uid != geteuid()) {
        error = "it answers as " + ownerText(peer.uid);
        close(fd);
        close(folder);
        return Raised::noWindowHere;
    } else {
        // A socket that takes the connection may belong to a window that is ending (or stuck): only
        // the window's answer, once it has come forward, tells that one is there to see.
        pollfd reply{fd, POLLIN, 0};
        char byte = 0;
        int polled;
        do
            polled = poll(&reply, 1, static_cast<int>(kAnswerWait.count()));
        while (polled < 0 && errno == EINTR);
        answered = polled == 1 && recv(fd, &byte, 1, 0) == 1;
        if (!answered) error = "it did not answer";
    }
    if (fd >= 0) close(fd);
    if (folder >= 0) close(folder);
    return answered ? Raised::answered : Raised::noAnswer;
}

InstanceLock::~InstanceLock() {
    if (raise_ >= 0) {
        unlinkat(folder_, kRaiseSocket, 0);
        close(raise_);
    }
    // The file stays, blanked rather than emptied: no name stays behind for a later start to read
    // while a new holder is still naming itself, and the next holder writes its name in place.
    if (name_ >= 0) {
        struct stat st {};
        if (fstat(name_, &st) == 0 && st.st_size > 0) {
            const std::string blank(static_cast<std::size_t>(std::min<off_t>(st.st_size, kNameLength)), ' ');
            [[maybe_unused]] const ssize_t written = pwrite(name_, blank.data(), blank.size(), 0);
        }
        close(name_);
    }
    close(folder_);
}

} // namespace quillora::cli
