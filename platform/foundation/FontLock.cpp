#include "platform/foundation/FontLock.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace platform {

namespace {

std::mutex& fonts() {
    static std::mutex mutex;
    return mutex;
}

// How many guards the calling thread holds.
thread_local int depth = 0;

thread_local bool windowThread = false;

bool onWindowThread() {
    return windowThread;
}

// The window's thread goes first. Workers take the fonts for one line or one piece of work at a
// time, thousands of times a second: left to the mutex, one of them is nearly always there before
// the window, which then draws nothing for as long as they keep at it. While the window's thread
// waits, a worker about to take the fonts waits until it has had them, so the window waits for
// at most the one hold that was under way.
std::atomic<bool> windowWaiting{false};

// The lock's use, kept only when QUILLORA_FONT_LOCK_STATS names a file to write it to: what the
// window can draw depends on how long others hold the fonts, and a benchmark reads it there.
class Statistics {
public:
    static Statistics* enabled() {
        static Statistics* statistics = [] {
            const char* file = std::getenv("QUILLORA_FONT_LOCK_STATS");
            return file && *file ? new Statistics(file) : nullptr;
        }();
        return statistics;
    }

    using Clock = std::chrono::steady_clock;

    void acquired(Clock::duration waited) {
        ++acquisitions_;
        if (!onWindowThread()) return;
        const auto ns = nanoseconds(waited);
        if (ns > 100'000'000) ++longMainWaits_;
        raise(longestMainWait_, ns);
    }
    void released(Clock::duration held) {
        if (onWindowThread()) return;
        const auto ns = nanoseconds(held);
        workerHeld_ += ns;
        raise(longestWorkerHold_, ns);
    }

private:
    explicit Statistics(std::string file) : file_(std::move(file)) {}

    static long long nanoseconds(Clock::duration d) {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    }
    // A new longest time is written at once (they are few); the counts go with it and with a write
    // at most every tenth of a second.
    void raise(std::atomic<long long>& longest, long long ns) {
        long long seen = longest.load();
        bool longer = false;
        while (ns > seen && !(longer = longest.compare_exchange_weak(seen, ns))) {
        }
        const auto now = nanoseconds(Clock::now().time_since_epoch());
        if (!longer && now - lastWrite_.load() < 100'000'000) return;
        std::unique_lock writing(writing_, std::try_to_lock);
        if (!writing) return;
        lastWrite_ = now;
        char line[256];
        const int length = std::snprintf(
            line, sizeof line,
            "font lock: longest worker hold %.1f ms, longest main wait %.1f ms, main waits over 100 ms "
            "%lld, worker holds %.1f ms in all, acquisitions %lld\n",
            longestWorkerHold_.load() / 1e6, longestMainWait_.load() / 1e6, longMainWaits_.load(),
            workerHeld_.load() / 1e6, acquisitions_.load());
        const int fd = open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) return;
        [[maybe_unused]] const auto written = write(fd, line, static_cast<std::size_t>(length));
        close(fd);
    }

    const std::string file_;
    std::atomic<long long> acquisitions_{0}, longMainWaits_{0}, longestMainWait_{0};
    std::atomic<long long> longestWorkerHold_{0}, workerHeld_{0}, lastWrite_{0};
    std::mutex writing_;
};

thread_local Statistics::Clock::time_point heldSince;

void takeFonts() {
    if (!onWindowThread()) {
        while (windowWaiting.load(std::memory_order_acquire))
            windowWaiting.wait(true, std::memory_order_acquire);
        return fonts().lock();
    }
    if (fonts().try_lock()) return;
    windowWaiting.store(true, std::memory_order_release);
    fonts().lock();
    windowWaiting.store(false, std::memory_order_release);
    windowWaiting.notify_all();
}

void lockFonts() {
    auto* statistics = Statistics::enabled();
    if (!statistics) return takeFonts();
    const auto asked = Statistics::Clock::now();
    takeFonts();
    heldSince = Statistics::Clock::now();
    statistics->acquired(heldSince - asked);
}

void unlockFonts() {
    auto* statistics = Statistics::enabled();
    if (!statistics) return fonts().unlock();
    const auto held = Statistics::Clock::now() - heldSince;
    fonts().unlock();
    statistics->released(held);
}

} // namespace

FontLock::Guard::Guard() {
    if (depth++ == 0) lockFonts();
}

FontLock::Guard::~Guard() {
    if (--depth == 0) unlockFonts();
}

FontLock::Released::Released() : depth_(depth) {
    if (depth_ == 0) return;
    depth = 0;
    unlockFonts();
}

FontLock::Released::~Released() {
    if (depth_ == 0) return;
    lockFonts();
    depth = depth_;
}

void FontLock::windowRunsOnThisThread() {
    windowThread = true;
}

bool FontLock::isHeld() {
    return depth > 0;
}

} // namespace platform
