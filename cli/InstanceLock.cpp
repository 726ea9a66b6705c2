#include "cli/InstanceLock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

#include "platform/desktop/DesktopWindow.h"

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

} // namespace

std::filesystem::path InstanceLock::pathIn(const std::filesystem::path& root) {
    return root / "Library" / "quillora.lock";
}

std::unique_ptr<InstanceLock> InstanceLock::acquire(const std::filesystem::path& root, const std::string& use,
                                                    std::optional<Holder>& holder, std::string& error) {
    holder.reset();
    const auto path = pathIn(root);
    const auto folderPath = path.parent_path();
    std::error_code ec;
    std::filesystem::create_directories(folderPath, ec);
    // Close-on-exec: a program the application starts (a mail client, a browser) must not keep
    // the folder locked after it ends.
    const int folder = open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        error = "cannot open " + folderPath.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    // Only for the name: without it the folder is locked all the same.
    const int name = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    const int nameError = name < 0 ? errno : 0;
    auto closeBoth = [&] {
        close(folder);
        if (name >= 0) close(name);
    };
    // A holder that has just taken the lock names itself a moment later.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (flock(folder, LOCK_EX | LOCK_NB) == 0) {
            std::unique_ptr<InstanceLock> lock(new InstanceLock(folder, name));
            if (name < 0) {
                error = "cannot open " + path.string() + ": " + std::strerror(nameError);
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
        if (name >= 0 && (holder = readHolder(name))) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    closeBoth();
    if (!holder) holder = Holder{0, hostName(), "unknown"};
    return nullptr;
}

bool InstanceLock::bringForward(const Holder& holder, std::string& error) {
    if (holder.use != "window") {
        error = holder.use == "unknown" ? "it could not say what it runs" : "it runs no window";
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
