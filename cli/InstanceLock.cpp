#include "cli/InstanceLock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

#include "platform/desktop/DesktopWindow.h"

namespace quillora::cli {

namespace {

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

} // namespace

std::filesystem::path InstanceLock::pathIn(const std::filesystem::path& root) {
    return root / "Library" / "quillora.lock";
}

std::unique_ptr<InstanceLock> InstanceLock::acquire(const std::filesystem::path& root, const std::string& use,
                                                    std::optional<Holder>& holder, std::string& error) {
    holder.reset();
    const auto path = pathIn(root);
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    // Close-on-exec: a program the application starts (a mail client, a browser) must not keep
    // the folder locked after it ends.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot open " + path.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    // A holder that has just taken the lock names itself a moment later.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            const std::string line = std::to_string(getpid()) + " " + hostName() + " " + use + "\n";
            if (ftruncate(fd, 0) != 0 || pwrite(fd, line.data(), line.size(), 0) != ssize_t(line.size())) {
                error = "cannot write " + path.string() + ": " + std::strerror(errno);
                close(fd);
                return nullptr;
            }
            return std::unique_ptr<InstanceLock>(new InstanceLock(fd));
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = "cannot lock " + path.string() + ": " + std::strerror(errno);
            close(fd);
            return nullptr;
        }
        if ((holder = readHolder(fd))) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    close(fd);
    if (!holder) holder = Holder{0, hostName(), "unknown"};
    return nullptr;
}

bool InstanceLock::bringForward(const Holder& holder, std::string& error) {
    if (holder.use != "window") {
        error = "it runs no window";
        return false;
    }
    // A process number names a process only on its own host (the folder may be shared).
    if (holder.pid <= 0 || holder.host != hostName()) {
        error = "it runs on another host (" + holder.host + ")";
        return false;
    }
    if (kill(holder.pid, platform::DesktopWindow::kRaiseSignal) != 0) {
        error = std::string("it cannot be reached: ") + std::strerror(errno);
        return false;
    }
    return true;
}

InstanceLock::~InstanceLock() {
    // The file stays: removing it could let a third start lock a new file while a second still
    // waits on the old one.
    if (fd_ < 0) return;
    // No name stays behind for a later start to read while a new holder is still naming itself.
    [[maybe_unused]] const int cleared = ftruncate(fd_, 0);
    close(fd_);
}

} // namespace quillora::cli
