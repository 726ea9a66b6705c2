#include "platform/foundation/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "is a folder, not a file";
    if (S_ISFIFO(mode)) return "is a pipe, not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a file";
    if (S_ISSOCK(mode)) return "is a socket, not a file";
    return "is not a regular file";
}

std::string openFailure(int err) {
    switch (err) {
    case ELOOP:
        return "is a loop of symbolic links";
    case ENAMETOOLONG:
        return "has a name too long to open";
    case EACCES:
    case EPERM:
        return "may not be read (" + std::string(std::strerror(err)) + ")";
    default:
        return "cannot be read (" + std::string(std::strerror(err)) + ")";
    }
}

std::string tooLarge(std::size_t maxLength) {
    return "is larger than the " + std::to_string(maxLength) + " bytes it may hold";
}
} // namespace

bool RegularFile::somethingAt(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

namespace {
std::string stampOf(const struct stat& st) {
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) +
           ":" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + ":" +
           std::to_string(st.st_ctim.tv_sec) + "." + std::to_string(st.st_ctim.tv_nsec);
}

// Reads the whole of `fd` from its start into `bytes` (grown through `grow(size, kept)`, which
// keeps the first `kept` bytes), on to its end, never past `maxLength`; the size read, or none
// with `why`.
template <typename Grow>
std::optional<std::size_t> readWhole(int fd, std::size_t expected, std::size_t maxLength, char*& bytes,
                                     std::size_t& capacity, Grow grow, std::string& why) {
    grow(expected, 0);
    std::size_t done = 0;
    // The file may grow while it is read: read on to its end, but never past the bound. Its end
    // is looked for with a small read of its own, so that a file of the size it had is held once,
    // not in a buffer grown to twice its size.
    for (;;) {
        if (done == capacity) {
            char probe[4096];
            ssize_t n = ::pread(fd, probe, sizeof probe, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                why = openFailure(errno);
                return std::nullopt;
            }
            if (n == 0) break;
            if (capacity + static_cast<std::size_t>(n) > maxLength) {
                why = tooLarge(maxLength);
                return std::nullopt;
            }
            const std::size_t grown =
                std::max({capacity * 2, capacity + static_cast<std::size_t>(n), std::size_t(4096)});
            grow(std::min(maxLength, grown), done);
            std::memcpy(bytes + done, probe, static_cast<std::size_t>(n));
            done += static_cast<std::size_t>(n);
            continue;
        }
        ssize_t n = ::pread(fd, bytes + done, capacity - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = openFailure(errno);
            return std::nullopt;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}
} // namespace

std::string RegularFile::stampAt(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return "";
    return stampOf(st);
}

RegularFile::Opened::Opened(Opened&& other) noexcept
    : missing(other.missing), why(std::move(other.why)), stamp(std::move(other.stamp)), fd_(other.fd_),
      maxLength_(other.maxLength_) {
    other.fd_ = -1;
}

RegularFile::Opened& RegularFile::Opened::operator=(Opened&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        missing = other.missing;
        why = std::move(other.why);
        stamp = std::move(other.stamp);
        fd_ = other.fd_;
        maxLength_ = other.maxLength_;
        other.fd_ = -1;
    }
    return *this;
}

RegularFile::Opened::~Opened() {
    if (fd_ >= 0) ::close(fd_);
}

RegularFile::Opened RegularFile::open(const std::string& path, std::size_t maxLength) {
    Opened out;
    out.maxLength_ = maxLength;
    auto refuse = [&](std::string why) {
        if (out.fd_ >= 0) ::close(out.fd_);
        out.fd_ = -1;
        out.why = std::move(why);
        return std::move(out);
    };
    if (path.empty()) {
        out.missing = true;
        return refuse("has no name");
    }
    // Looked at before it is opened: opening a device or a pipe can itself block or have effects.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        int err = errno;
        out.missing = err == ENOENT;
        return refuse(out.missing ? "is missing" : openFailure(err));
    }
    if (!S_ISREG(st.st_mode)) return refuse(kindOf(st.st_mode));
    if (static_cast<unsigned long long>(st.st_size) > maxLength) return refuse(tooLarge(maxLength));
    // O_NONBLOCK: should the file have been swapped for a pipe since, opening it does not wait.
    out.fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (out.fd_ < 0) {
        int err = errno;
        out.missing = err == ENOENT;
        return refuse(out.missing ? "is missing" : openFailure(err));
    }
    if (::fstat(out.fd_, &st) != 0) return refuse(openFailure(errno));
    if (!S_ISREG(st.st_mode)) return refuse(kindOf(st.st_mode));
    if (static_cast<unsigned long long>(st.st_size) > maxLength) return refuse(tooLarge(maxLength));
    out.stamp = stampOf(st);
    return out;
}

std::optional<RegularFile::Buffer> RegularFile::Opened::readAll(std::string* why) const {
    std::string failure = "is not open";
    if (fd_ < 0) {
        if (why) *why = this->why.empty() ? failure : this->why;
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        if (why) *why = openFailure(errno);
        return std::nullopt;
    }
    Buffer buffer;
    char* bytes = nullptr;
    std::size_t capacity = 0;
    auto grow = [&](std::size_t size, std::size_t kept) {
        auto larger = std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(size, 1));
        if (kept) std::memcpy(larger.get(), buffer.data.get(), kept);
        buffer.data = std::move(larger);
        bytes = buffer.data.get();
        capacity = size;
    };
    auto size = readWhole(fd_, std::min(static_cast<std::size_t>(st.st_size), maxLength_), maxLength_, bytes,
                          capacity, grow, failure);
    if (!size) {
        if (why) *why = failure;
        return std::nullopt;
    }
    buffer.size = *size;
    return buffer;
}

RegularFile::Contents RegularFile::read(const std::string& path, std::size_t maxLength) {
    Contents out;
    auto file = open(path, maxLength);
    if (!file.isOpen()) {
        out.missing = file.missing;
        out.why = std::move(file.why);
        return out;
    }
    struct stat st {};
    if (::fstat(file.fd_, &st) != 0) {
        out.why = openFailure(errno);
        return out;
    }
    std::string bytes;
    char* data = nullptr;
    std::size_t capacity = 0;
    auto grow = [&](std::size_t size, std::size_t) {
        bytes.resize(size);
        data = bytes.data();
        capacity = size;
    };
    auto size =
        readWhole(file.fd_, static_cast<std::size_t>(st.st_size), maxLength, data, capacity, grow, out.why);
    if (!size) return out;
    bytes.resize(*size);
    out.bytes = std::move(bytes);
    return out;
}

} // namespace platform
