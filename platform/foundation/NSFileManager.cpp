#include "platform/foundation/NSFileManager.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/foundation/RegularFile.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"

namespace fs = std::filesystem;

namespace platform {

namespace {
// Read rather than set-and-restore: umask() is process-wide and would race other threads.
mode_t processUmask() {
    static const mode_t mask = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("Umask:", 0) == 0)
                return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
        }
        return static_cast<mode_t>(022);
    }();
    return mask;
}
} // namespace

NSFileManager& NSFileManager::defaultManager() {
    static NSFileManager instance;
    return instance;
}

std::vector<NSURL> NSFileManager::URLsForDirectory_inDomains(NSSearchPathDirectory,
                                                             NSSearchPathDomainMask) const {
    return {NSURL::fileURLWithPath(Sandbox::documents().string(), true)};
}

NSURL NSFileManager::temporaryDirectory() const {
    return NSURL::fileURLWithPath(Sandbox::tmp().string(), true);
}

bool NSFileManager::fileExistsAtPath(const std::string& path) const {
    return fileExistsAtPath_isDirectory(path, nullptr);
}

bool NSFileManager::fileExistsAtPath_isDirectory(const std::string& path, bool* isDirectory) const {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
    if (isDirectory) *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

std::optional<std::string> NSFileManager::contentsAtPath(const std::string& path, std::size_t maxLength,
                                                         std::string* why) const {
    auto contents = RegularFile::read(path, maxLength);
    if (!contents.bytes && why) *why = contents.why;
    return std::move(contents.bytes);
}

std::optional<std::vector<std::string>> NSFileManager::contentsOfDirectoryAtPath(const std::string& path,
                                                                                 NSError* error) const {
    std::error_code ec =
        path.empty() ? std::make_error_code(std::errc::no_such_file_or_directory) : std::error_code{};
    fs::directory_iterator it;
    if (!ec) it = fs::directory_iterator(path, ec);
    std::vector<std::string> names;
    for (; !ec && it != fs::directory_iterator(); it.increment(ec))
        names.push_back(it->path().filename().string());
    if (ec) {
        if (error) *error = NSError::posix(ec.value(), "The folder “" + path + "” could not be listed");
        return std::nullopt;
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<NSError> NSFileManager::removeItemAtPath(const std::string& path) const {
    std::error_code ec;
    if (path.empty() || !fs::exists(fs::symlink_status(path, ec))) {
        return NSError::posix(ENOENT, "“" + path + "” could not be removed");
    }
    fs::remove_all(path, ec);
    if (ec) return NSError::posix(ec.value(), "“" + path + "” could not be removed");
    return std::nullopt;
}

std::optional<NSError>
NSFileManager::createDirectoryAtPath_withIntermediateDirectories(const std::string& path,
                                                                 bool intermediates) const {
    std::error_code ec;
    const std::string what = "The folder “" + path + "” could not be created";
    if (path.empty()) return NSError::posix(ENOENT, what);
    if (intermediates) {
        fs::create_directories(path, ec);
        if (!ec && !fs::is_directory(path, ec)) ec = std::make_error_code(std::errc::file_exists);
    } else if (::mkdir(path.c_str(), 0777) != 0) {
        ec = std::error_code(errno, std::generic_category());
    }
    if (ec) return NSError::posix(ec.value(), what);
    return std::nullopt;
}

std::optional<std::string> NSFileManager::resolvedWritePath(const std::string& path, NSError* error) const {
    fs::path current(path);
    // As many links as the kernel follows before it calls a chain a loop.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current.string();
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n < 0) break;
        target.resize(static_cast<std::size_t>(n));
        fs::path next(target);
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    if (error) *error = NSError::posix(ELOOP, "The file “" + path + "” could not be saved");
    return std::nullopt;
}

NSFileManager::FolderLock::~FolderLock() {
    if (!folder_.empty()) NSFileManager::defaultManager().unlockFolder(folder_);
}

NSFileManager::FolderLock NSFileManager::lockFolderOf(const std::string& path, double wait) const {
    FolderLock lock;
    auto target = resolvedWritePath(path);
    if (!target) {
        lock.failure = "it is a loop of symbolic links";
        return lock;
    }
    std::string folder = fs::path(*target).parent_path().string();
    if (folder.empty()) folder = ".";
    lockMutex_.lock();
    auto& held = heldFolders_[folder];
    if (held.count == 0) {
        held.fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int err = held.fd < 0 ? errno : 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(wait);
        while (!err && ::flock(held.fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR) continue;
            if (errno != EWOULDBLOCK) {
                err = errno;
            } else if (std::chrono::steady_clock::now() >= deadline) {
                lock.busy = true;
                err = EWOULDBLOCK;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        if (err) {
            if (held.fd >= 0) ::close(held.fd);
            heldFolders_.erase(folder);
            lockMutex_.unlock();
            lock.failure =
                lock.busy ? "another program holds its folder “" + folder + "” locked" : std::strerror(err);
            return lock;
        }
    }
    ++held.count;
    lock.folder_ = folder;
    return lock;
}

namespace {
// Waits not yet ended; one dropped with the run loop's work (a test's fresh clock) ends too.
std::atomic<std::size_t> waitsPending{0};

struct FolderWait {
    FolderWait(std::string path, double deadline, std::function<void(const NSFileManager::FolderLock&)> then)
        : path(std::move(path)), deadline(deadline), then(std::move(then)) {
        ++waitsPending;
    }
    ~FolderWait() {
        if (!ended) --waitsPending;
    }
    FolderWait(const FolderWait&) = delete;
    FolderWait& operator=(const FolderWait&) = delete;
    std::string path;
    double deadline;
    std::function<void(const NSFileManager::FolderLock&)> then;
    bool ended = false;
};

// One try per turn of the loop: the folder is held for no longer than the turn that writes.
void tryFolderLater(std::shared_ptr<FolderWait> wait) {
    RunLoop::main().schedule(NSFileManager::kFolderPollInterval, [wait] {
        // A virtual clock jumps from try to try: each try waits the interval out in real time, so
        // that the other program gets as long to let go as on the real clock.
        auto& loop = RunLoop::main();
        auto lock = NSFileManager::defaultManager().lockFolderOf(
            wait->path, loop.isVirtual() ? NSFileManager::kFolderPollInterval : 0);
        if (lock.busy && loop.now() < wait->deadline) return tryFolderLater(wait);
        wait->ended = true;
        --waitsPending;
        wait->then(lock);
    });
}
} // namespace

void NSFileManager::waitForFolderOf(const std::string& path, std::function<void(const FolderLock&)> then,
                                    double wait) const {
    tryFolderLater(std::make_shared<FolderWait>(path, RunLoop::main().now() + wait, std::move(then)));
}

void NSFileManager::writeAtomicallyOnLoop(const std::string& path, std::string bytes, WriteDone done,
                                          double folderWait) const {
    auto shared = std::make_shared<const std::string>(std::move(bytes));
    writeAtomicallyOnLoop(
        path,
        [shared](const BytesWriter& write) -> std::optional<NSError> {
            write(*shared);
            return std::nullopt;
        },
        std::move(done), folderWait);
}

void NSFileManager::writeAtomicallyOnLoop(const std::string& path, BytesProducer produce, WriteDone done,
                                          double folderWait) const {
    std::optional<NSError> error;
    bool written = false;
    {
        // Held from the look to the write, so that no other copy takes the folder in between; let
        // go before `done`, which may do anything.
        auto lock = lockFolderOf(path, 0);
        if (!lock.busy) {
            error = writeAtomically(path, produce, 0);
            written = true;
        }
    }
    if (written) return done(error);
    waitForFolderOf(
        path,
        [path, produce = std::move(produce), done = std::move(done)](const FolderLock&) {
            // A folder still held fails at once, as a write whose wait ran out.
            done(NSFileManager::defaultManager().writeAtomically(path, produce, 0));
        },
        folderWait);
}

std::size_t NSFileManager::folderWaitsPending() {
    return waitsPending;
}

void NSFileManager::unlockFolder(const std::string& folder) const {
    auto it = heldFolders_.find(folder);
    if (it != heldFolders_.end() && --it->second.count == 0) {
        ::flock(it->second.fd, LOCK_UN);
        ::close(it->second.fd);
        heldFolders_.erase(it);
    }
    lockMutex_.unlock();
}

namespace {
std::string temporaryPrefix(const fs::path& target) {
    return "." + target.filename().string() + ".tmp-";
}

// Syncs the folder holding `file`; the error, or 0. A folder we may not open, and a file system
// that cannot sync folders, leave nothing more to do.
int syncFolderOf(const fs::path& file) {
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    int err = 0;
    while (::fsync(fd) != 0 && (err = errno) == EINTR)
        err = 0;
    ::close(fd);
    return err == EINVAL ? 0 : err;
}
} // namespace

void NSFileManager::removeLeftoverTemporaryFiles(const std::string& path) const {
    auto target = resolvedWritePath(path);
    if (!target) return;
    fs::path file(*target);
    const std::string prefix = temporaryPrefix(file);
    std::error_code ec;
    fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        // mkstemp's six letters.
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0 &&
            it->is_regular_file(ec))
            ::unlink(it->path().c_str());
    }
}

std::optional<NSError> NSFileManager::writeAtomically(const std::string& path, std::string_view bytes,
                                                      double folderWait) const {
    return writeAtomically(
        path,
        [bytes](const BytesWriter& write) -> std::optional<NSError> {
            write(bytes);
            return std::nullopt;
        },
        folderWait);
}

std::optional<NSError> NSFileManager::writeAtomically(const std::string& path, const BytesProducer& produce,
                                                      double folderWait) const {
    const std::string what = "The file “" + path + "” could not be saved";
    if (path.empty() || path.back() == '/') return NSError::posix(EISDIR, what);
    NSError loop;
    auto resolved = resolvedWritePath(path, &loop);
    if (!resolved) return loop;
    FolderLock lock = lockFolderOf(*resolved, folderWait);
    if (lock.busy) return NSError{NSPOSIXErrorDomain, EWOULDBLOCK, what + ": " + lock.failure};
    if (lock.held()) removeLeftoverTemporaryFiles(*resolved);
    // The file in place decides what the new one may be: one we may not write stays as it is (a
    // rename would replace it all the same), and one we may keeps its permissions and owner.
    struct stat old {};
    const bool replacing = ::stat(resolved->c_str(), &old) == 0 && S_ISREG(old.st_mode);
    if (replacing && ::faccessat(AT_FDCWD, resolved->c_str(), W_OK, AT_EACCESS) != 0)
        return NSError::posix(errno, what);
    fs::path target(*resolved);
    std::string tmpl = (target.parent_path() / (temporaryPrefix(target) + "XXXXXX")).string();
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return NSError::posix(errno, what);
    int err = 0;
    auto write = [&](std::string_view bytes) {
        for (std::size_t done = 0; !err && done < bytes.size();) {
            ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                err = errno;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        return !err;
    };
    if (auto refused = produce(write)) {
        ::close(fd);
        ::unlink(tmpl.c_str());
        return refused;
    }
    if (!err && replacing) {
        // Owner first: a change of owner clears the set-id bits that the mode then puts back. Only
        // a privileged program may give a file away; any other keeps at least the group it can.
        struct stat made {};
        mode_t mode = old.st_mode & 07777;
        if (::fstat(fd, &made) == 0 && (made.st_uid != old.st_uid || made.st_gid != old.st_gid)) {
            if (::fchown(fd, old.st_uid, old.st_gid) != 0)
                (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
            // Ours from now on, with the permissions it had, but never set-id to an owner or group
            // other than the one it was set-id to.
            if (::fstat(fd, &made) != 0) {
                made.st_uid = static_cast<uid_t>(-1);
                made.st_gid = static_cast<gid_t>(-1);
            }
            if (made.st_uid != old.st_uid) mode &= ~S_ISUID;
            if (made.st_gid != old.st_gid) mode &= ~S_ISGID;
        }
        ::fchmod(fd, mode);
    } else if (!err) {
        // mkstemp creates the file 0600; give it the permissions an ordinary write would have.
        ::fchmod(fd, 0666 & ~processUmask());
    }
    if (!err && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && !err) err = errno;
    if (!err && ::rename(tmpl.c_str(), resolved->c_str()) != 0) err = errno;
    if (err) {
        ::unlink(tmpl.c_str());
        return NSError::posix(err, what);
    }
    // The new name lives in the folder: until the folder is on disk too, a power cut can bring
    // back the old file after the save was reported done.
    if (int failed = syncFolderOf(target)) return NSError::posix(failed, what);
    return std::nullopt;
}

std::optional<std::string> NSFileManager::moveItemAside(const std::string& path, const std::string& suffix,
                                                        NSError* error) const {
    std::error_code ec;
    std::string aside = path + suffix;
    for (int n = 2; fs::exists(fs::symlink_status(aside, ec)); ++n)
        aside = path + suffix + "-" + std::to_string(n);
    fs::rename(path, aside, ec);
    if (ec) {
        if (error) *error = NSError::posix(ec.value(), "The file “" + path + "” could not be moved aside");
        return std::nullopt;
    }
    return aside;
}

} // namespace platform
