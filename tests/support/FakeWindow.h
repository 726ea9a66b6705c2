#pragma once
// What another account's impostor would run in a data folder it can write in: a process answering
// "come forward" on a socket, as a window does on its raise socket, the listening socket made as
// that account. It counts the requests it answered. Ended when dropped.

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace quillora::test {

// Binds the socket at `path` (open to every account), then listens and answers as the account
// `as`.
class FakeWindow {
public:
    FakeWindow(const std::filesystem::path& path, uid_t as) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        int heard[2], ready[2];
        if (fd < 0 || path.string().size() >= sizeof address.sun_path ||
            bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            chmod(path.c_str(), 0777) != 0 || pipe2(heard, O_CLOEXEC) != 0 || pipe2(ready, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "no socket at " << path << ": " << std::strerror(errno);
            if (fd >= 0) close(fd);
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            // Only system calls here: the test's other threads are not in this process.
            if (setuid(as) != 0 || listen(fd, 8) != 0) _exit(1);
            (void)!write(ready[1], "1", 1);
            for (;;) {
                const int asked = accept(fd, nullptr, nullptr);
                if (asked < 0) continue;
                (void)!send(asked, "1", 1, MSG_NOSIGNAL);
                close(asked);
                (void)!write(heard[1], "1", 1);
            }
        }
        close(fd);
        close(heard[1]);
        close(ready[1]);
        // Listening once it says so (or gone, when it could not).
        char byte = 0;
        if (read(ready[0], &byte, 1) != 1) ADD_FAILURE() << "the impostor could not listen at " << path;
        close(ready[0]);
        heard_ = heard[0];
        fcntl(heard_, F_SETFL, O_NONBLOCK);
    }
    ~FakeWindow() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (heard_ >= 0) close(heard_);
    }
    int answered() {
        char bytes[64];
        for (ssize_t n; (n = read(heard_, bytes, sizeof bytes)) > 0;)
            answered_ += static_cast<int>(n);
        return answered_;
    }

private:
    pid_t pid_ = -1;
    int heard_ = -1;
    int answered_ = 0;
};

} // namespace quillora::test
