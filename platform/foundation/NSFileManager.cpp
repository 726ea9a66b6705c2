#include "platform/foundation/NSFileManager.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/foundation/FontLock.h"
#include "platform/foundation/RegularFile.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"

namespace fs = std::filesystem;

namespace platform {

namespace {
// Makes one folder, its owner's alone: the errno of the failure, or 0.
int makePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0) return errno;
    // A umask that takes the owner's own bits away would leave a folder the program cannot use.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && (st.st_mode & 07777) != 0700) ::chmod(path.c_str(), 0700);
    return 0;
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
    const std::string what = "The folder “" + path + "” could not be created";
    if (path.empty()) return NSError::posix(ENOENT, what);
    if (!intermediates) {
        if (int err = makePrivateFolder(path)) return NSError::posix(err, what);
        return std::nullopt;
    }
    fs::path made;
    for (const auto& part : fs::path(path)) {
        if (part.empty()) continue;
        made /= part;
        struct stat st {};
        if (::stat(made.c_str(), &st) != 0) {
            int err = errno == ENOENT ? makePrivateFolder(made) : errno;
            // Made meanwhile by another program: there all the same.
            if (err == EEXIST && ::stat(made.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) err = 0;
            if (err) return NSError::posix(err, what);
        } else if (!S_ISDIR(st.st_mode)) {
            return NSError::posix(made == fs::path(path) ? EEXIST : ENOTDIR, what);
        }
    }
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
    // Another thread's write may hold the manager for as long as it writes.
    FontLock::lockLettingFontsGo(lockMutex_);
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
                FontLock::Released waiting;
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

void NSFileManager::writeNewFileOnLoop(PathCandidate pathFor, std::function<std::string_view()> bytes,
                                       NewFileDone done, double folderWait) const {
    auto write = [pathFor, bytes](const FolderLock& lock) {
        std::pair<std::optional<std::string>, std::optional<NSError>> outcome;
        if (lock.busy) {
            outcome.second = NSError{NSPOSIXErrorDomain, EWOULDBLOCK,
                                     "The file “" + pathFor(1) + "” could not be saved: " + lock.failure};
            return outcome;
        }
        NSError error;
        outcome.first = NSFileManager::defaultManager().writeNewFile(pathFor, bytes(), &error);
        if (!outcome.first) outcome.second = error;
        return outcome;
    };
    std::optional<std::pair<std::optional<std::string>, std::optional<NSError>>> outcome;
    {
        // As writeAtomicallyOnLoop: held from the look to the write, let go before `done`.
        auto lock = lockFolderOf(pathFor(1), 0);
        if (!lock.busy) outcome = write(lock);
    }
    if (outcome) return done(outcome->first, outcome->second);
    waitForFolderOf(
        pathFor(1),
        [write, done = std::move(done)](const FolderLock& lock) {
            auto [path, error] = write(lock);
            done(path, error);
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

std::size_t NSFileManager::longestNameIn(const std::string& folder) {
    const long longest = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return longest > 0 ? static_cast<std::size_t>(longest) : NAME_MAX;
}

std::string NSFileManager::nameWithin(const std::string& name, std::size_t limit) {
    if (name.size() <= limit) return name;
    std::uint64_t digest = 14695981039346656037ull; // FNV-1a
    for (const unsigned char c : name) {
        digest ^= c;
        digest *= 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(digest));
    std::string tail = std::string("~") + hex;
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && name.size() - dot <= 16) tail += name.substr(dot);
    if (tail.size() >= limit) return std::string(hex).substr(0, limit);
    std::size_t keep = limit - tail.size();
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    return name.substr(0, keep) + tail;
}

namespace {
// A write's temporary file is named after the file it becomes and says whose it is, so that what a
// killed write left can be told from what other programs keep beside the same file:
// ".notes.txt.quillora-tmp-" and mkstemp's six letters. A long name is shortened to leave room.
constexpr std::string_view kTemporaryMark = ".quillora-tmp-";
constexpr std::size_t kTemporaryLetters = 6;

std::string temporaryPrefix(const fs::path& target) {
    const std::size_t longest = NSFileManager::longestNameIn(target.parent_path().string());
    const std::size_t taken = 1 + kTemporaryMark.size() + kTemporaryLetters;
    return "." +
           NSFileManager::nameWithin(target.filename().string(), longest > taken ? longest - taken : 1) +
           std::string(kTemporaryMark);
}

// A file being written beside the one it will become, under its temporary name; removed when
// dropped unless it was put in place.
class TemporaryFile {
public:
    explicit TemporaryFile(const fs::path& target)
        : path_((target.parent_path() / (temporaryPrefix(target) + std::string(kTemporaryLetters, 'X')))
                    .string()) {
        fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
        if (fd_ < 0) {
            error_ = errno;
            path_.clear();
        }
    }
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!placed_ && !path_.empty()) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // The errno of the first failure, or 0.
    int error() const { return error_; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    bool write(std::string_view bytes) {
        for (std::size_t done = 0; !error_ && done < bytes.size();) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error_ = errno;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        return !error_;
    }
    // Flushes the bytes to disk and closes the file: the error, or 0.
    int finish() {
        if (!error_ && ::fsync(fd_) != 0) error_ = errno;
        if (::close(fd_) != 0 && !error_) error_ = errno;
        fd_ = -1;
        return error_;
    }
    // It has taken its final name.
    void placed() { placed_ = true; }

private:
    std::string path_;
    int fd_ = -1;
    int error_ = 0;
    bool placed_ = false;
};

// Renames `from` to `to` unless something (a link too) is at `to`: 0 when done, EEXIST when taken.
int placeWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
    // A file system that cannot rename so: a second name, which is refused when taken, then the
    // temporary one let go.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
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
        const std::string name = it->path().filename().string();
        if (name.size() != prefix.size() + kTemporaryLetters || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        // Another account's copy of the program may be writing its own file of that name.
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
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
    TemporaryFile temporary(target);
    if (temporary.error()) return NSError::posix(temporary.error(), what);
    if (auto refused = produce([&](std::string_view bytes) { return temporary.write(bytes); }))
        return refused;
    const int fd = temporary.fd();
    if (!temporary.error() && replacing) {
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
    } else if (!temporary.error()) {
        // A new file is nobody else's to read, whatever the umask made of mkstemp's 0600.
        ::fchmod(fd, 0600);
    }
    int err = temporary.finish();
    if (!err && ::rename(temporary.path().c_str(), resolved->c_str()) != 0) err = errno;
    if (err) return NSError::posix(err, what);
    temporary.placed();
    // The new name lives in the folder: until the folder is on disk too, a power cut can bring
    // back the old file after the save was reported done.
    if (int failed = syncFolderOf(target)) return NSError::posix(failed, what);
    return std::nullopt;
}

std::optional<std::string> NSFileManager::writeNewFile(const PathCandidate& pathFor, std::string_view bytes,
                                                       NSError* error) const {
    const std::string first = pathFor(1);
    auto failed = [&](int err) -> std::optional<std::string> {
        if (error) *error = NSError::posix(err, "The file “" + first + "” could not be saved");
        return std::nullopt;
    };
    if (first.empty() || first.back() == '/') return failed(EISDIR);
    TemporaryFile temporary{fs::path(first)};
    if (temporary.error()) return failed(temporary.error());
    temporary.write(bytes);
    if (!temporary.error()) ::fchmod(temporary.fd(), 0600);
    if (int err = temporary.finish()) return failed(err);
    // More files of one name than anyone makes: something else is wrong with the folder.
    constexpr int kMostAttempts = 1000;
    for (int attempt = 1; attempt <= kMostAttempts; ++attempt) {
        const std::string candidate = attempt == 1 ? first : pathFor(attempt);
        const int err = placeWithoutReplacing(temporary.path(), candidate);
        if (err == EEXIST) continue;
        if (err) return failed(err);
        temporary.placed();
        if (int unsynced = syncFolderOf(candidate)) return failed(unsynced);
        return candidate;
    }
    return failed(EEXIST);
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
