#include "cli/TerminationWatch.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform/desktop/TerminationSignals.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/UIApplication.h"

namespace quillora::cli {

using platform::TerminationSignals;

namespace {

// Waits until one of `fds` (those not -1) is readable; its index, or -1 on an error.
int awaitReadable(std::initializer_list<int> fds) {
    pollfd polled[2];
    nfds_t count = 0;
    int indexOf[2] = {-1, -1};
    int index = 0;
    for (int fd : fds) {
        if (fd >= 0 && count < 2) {
            indexOf[count] = index;
            polled[count++] = pollfd{fd, POLLIN, 0};
        }
        ++index;
    }
    while (true) {
        const int n = poll(polled, count, -1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return -1;
        for (nfds_t i = 0; i < count; ++i)
            if (polled[i].revents) return indexOf[i];
    }
}

} // namespace

TerminationWatch::TerminationWatch() {
    const int signalled = TerminationSignals::fd();
    if (signalled < 0 || pipe2(quit_, O_CLOEXEC) != 0) return;
    thread_ = std::thread([signalled, quit = quit_[0]] {
        if (awaitReadable({signalled, quit}) != 0) return;
        // On the main thread, inside whatever wait it is in: that wait ends. A wait for a worker
        // ends too, within the time the termination gives its workers, so that a worker that never
        // answers cannot hold up the end.
        auto& loop = platform::RunLoop::main();
        loop.endExternalWaitsWithin(platform::UIApplication::kTerminationWait);
        loop.schedule(0, [&loop] { loop.stop(); });
    });
}

TerminationWatch::~TerminationWatch() {
    if (thread_.joinable()) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(quit_[1], &byte, 1);
        thread_.join();
    }
    for (int fd : quit_)
        if (fd >= 0) close(fd);
}

TerminationWatch::InputBuffer::int_type TerminationWatch::InputBuffer::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    // A person typing a script, or a pipe left open: the end does not wait for the next line.
    if (TerminationSignals::requested() || awaitReadable({STDIN_FILENO, TerminationSignals::fd()}) != 0 ||
        TerminationSignals::requested())
        return traits_type::eof();
    ssize_t got;
    do
        got = read(STDIN_FILENO, buffer_, sizeof buffer_);
    while (got < 0 && errno == EINTR);
    if (got <= 0) return traits_type::eof();
    setg(buffer_, buffer_, buffer_ + got);
    return traits_type::to_int_type(*gptr());
}

} // namespace quillora::cli
