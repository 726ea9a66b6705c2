#include "platform/foundation/NSFileManager.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

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

std::optional<std::string> NSFileManager::contentsAtPath(const std::string& path) const {
    std::error_code ec;
    if (path.empty() || fs::is_directory(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return bytes;
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

std::optional<NSError> NSFileManager::writeAtomically(const std::string& path, std::string_view bytes) const {
    const std::string what = "The file “" + path + "” could not be saved";
    if (path.empty() || path.back() == '/') return NSError::posix(EISDIR, what);
    fs::path target(path);
    std::string tmpName = ".";
    tmpName.append(target.filename().string()).append(".tmp-XXXXXX");
    std::string tmpl = (target.parent_path() / tmpName).string();
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return NSError::posix(errno, what);
    int err = 0;
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            err = errno;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    // mkstemp creates the file 0600; give it the permissions an ordinary write would have.
    if (!err) ::fchmod(fd, 0666 & ~processUmask());
    if (!err && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && !err) err = errno;
    if (!err && ::rename(tmpl.c_str(), path.c_str()) != 0) err = errno;
    if (err) {
        ::unlink(tmpl.c_str());
        return NSError::posix(err, what);
    }
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
