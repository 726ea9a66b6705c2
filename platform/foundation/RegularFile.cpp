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

RegularFile::Contents RegularFile::read(const std::string& path, std::size_t maxLength) {
    Contents out;
    auto refuse = [&](std::string why) {
        out.why = std::move(why);
        return out;
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
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        int err = errno;
        out.missing = err == ENOENT;
        return refuse(out.missing ? "is missing" : openFailure(err));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &st) != 0) return refuse(openFailure(errno));
    if (!S_ISREG(st.st_mode)) return refuse(kindOf(st.st_mode));
    if (static_cast<unsigned long long>(st.st_size) > maxLength) return refuse(tooLarge(maxLength));
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    // The file may grow while it is read: read on to its end, but never past the bound. Its end
    // is looked for with a small read of its own, so that a file of the size it had is held once,
    // not in a buffer grown to twice its size.
    for (;;) {
        if (done == bytes.size()) {
            char probe[4096];
            ssize_t n = ::read(fd, probe, sizeof probe);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return refuse(openFailure(errno));
            if (n == 0) break;
            if (bytes.size() + static_cast<std::size_t>(n) > maxLength) return refuse(tooLarge(maxLength));
            const std::size_t grown =
                std::max({bytes.size() * 2, bytes.size() + static_cast<std::size_t>(n), std::size_t(4096)});
            bytes.resize(std::min(maxLength, grown));
            std::memcpy(bytes.data() + done, probe, static_cast<std::size_t>(n));
            done += static_cast<std::size_t>(n);
            continue;
        }
        ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return refuse(openFailure(errno));
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    if (done > maxLength) return refuse(tooLarge(maxLength));
    bytes.resize(done);
    out.bytes = std::move(bytes);
    return out;
}

} // namespace platform
