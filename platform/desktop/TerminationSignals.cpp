#include "platform/desktop/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>

namespace platform {

namespace {

std::atomic<bool> asked{false};
// Written once, at the first signal; its read end stays readable.
int ends[2] = {-1, -1};

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

void caught(int) {
    const int saved = errno;
    if (!asked.exchange(true) && ends[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(ends[1], &byte, 1);
    }
    errno = saved;
}

} // namespace

void TerminationSignals::install() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Without the pipe the flag still tells the loops that look at it between steps.
        if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) ends[0] = ends[1] = -1;
        struct sigaction action {};
        action.sa_handler = caught;
        sigemptyset(&action.sa_mask);
        // A read or wait that a signal interrupts goes on: the end is noticed through the flag
        // and the pipe, where the program is ready for it.
        action.sa_flags = SA_RESTART;
        for (int number : {SIGTERM, SIGINT, SIGHUP}) {
            struct sigaction before {};
            if (sigaction(number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
            sigaction(number, &action, nullptr);
        }
    });
}

bool TerminationSignals::requested() {
    return asked.load();
}

int TerminationSignals::fd() {
    return ends[0];
}

} // namespace platform
