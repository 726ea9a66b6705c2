#include "platform/foundation/RunLoop.h"

#include <algorithm>
#include <chrono>

#include "platform/foundation/FontLock.h"

namespace platform {

namespace {
double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
// `seconds` of real time from now (none for a negative count, decades at most), as a condition
// variable waits for it.
std::chrono::steady_clock::time_point realDeadline(double seconds) {
    using namespace std::chrono;
    return steady_clock::now() +
           duration_cast<steady_clock::duration>(duration<double>(std::clamp(seconds, 0.0, 1e9)));
}
// On the virtual clock, a worker that stops answering for this long is stuck: time moves on
// without it.
constexpr double kStuckWorkerSeconds = 60;
double systemSeconds() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}
} // namespace

RunLoop::RunLoop() : realOrigin_(steadySeconds()) {}

RunLoop& RunLoop::main() {
    // Never destroyed: a decoder's worker that outlives its task still posts here while a process
    // that returns from main runs its statics' destructors.
    static auto& instance = *new RunLoop;
    return instance;
}

double RunLoop::realNow() const {
    return steadySeconds() - realOrigin_;
}

double RunLoop::now() const {
    std::lock_guard lock(mutex_);
    return virtual_ ? virtualNow_ : realNow();
}

double RunLoop::wallTime() const {
    std::lock_guard lock(mutex_);
    return virtual_ ? virtualEpoch_ + virtualNow_ : systemSeconds();
}

bool RunLoop::isVirtual() const {
    std::lock_guard lock(mutex_);
    return virtual_;
}

void RunLoop::useVirtualClock(double wallEpoch) {
    // Dropped work is destroyed outside the lock: what it holds may cancel work of its own.
    decltype(queue_) dropped;
    std::lock_guard lock(mutex_);
    virtual_ = true;
    virtualNow_ = 0;
    virtualEpoch_ = wallEpoch;
    dropped.swap(queue_);
    index_.clear();
    stopRequested_ = false;
    externalWaitsEnd_.reset();
    externalWork_ = 0;
    shownOnlyWork_ = 0;
}

void RunLoop::useRealClock() {
    decltype(queue_) dropped;
    std::lock_guard lock(mutex_);
    virtual_ = false;
    dropped.swap(queue_);
    index_.clear();
    stopRequested_ = false;
    externalWaitsEnd_.reset();
}

RunLoop::TaskId RunLoop::schedule(double delay, Task task) {
    double deadline;
    {
        std::lock_guard lock(mutex_);
        deadline = (virtual_ ? virtualNow_ : realNow()) + (delay > 0 ? delay : 0);
    }
    return scheduleAt(deadline, std::move(task));
}

RunLoop::TaskId RunLoop::scheduleAt(double deadline, Task task) {
    TaskId id;
    std::function<void()> wake;
    {
        std::lock_guard lock(mutex_);
        id = nextSeq_++;
        Key key{deadline, id};
        queue_.emplace(key, std::make_pair(id, std::move(task)));
        index_.emplace(id, key);
        wake = wakeHandler_;
    }
    wake_.notify_all();
    if (wake) wake();
    return id;
}

void RunLoop::setWakeHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    wakeHandler_ = std::move(handler);
}

void RunLoop::cancel(TaskId id) {
    Task dropped;
    std::lock_guard lock(mutex_);
    auto it = index_.find(id);
    if (it == index_.end()) return;
    auto queued = queue_.find(it->second);
    dropped = std::move(queued->second.second);
    queue_.erase(queued);
    index_.erase(it);
}

bool RunLoop::popDue(double limit, Task& out) {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return false;
    auto it = queue_.begin();
    if (it->first.deadline > limit) return false;
    if (virtual_ && it->first.deadline > virtualNow_) virtualNow_ = it->first.deadline;
    out = std::move(it->second.second);
    index_.erase(it->second.first);
    queue_.erase(it);
    return true;
}

std::size_t RunLoop::runUntilIdle() {
    std::size_t count = 0;
    Task task;
    while (popDue(now(), task)) {
        task();
        task = nullptr;
        ++count;
    }
    return count;
}

void RunLoop::advance(double seconds) {
    if (!isVirtual()) {
        const double end = now() + seconds;
        runUntil([] { return false; }, end - now());
        return;
    }
    double target;
    {
        std::lock_guard lock(mutex_);
        target = virtualNow_ + (seconds > 0 ? seconds : 0);
    }
    Task task;
    while (true) {
        // Outside work (a decoder on its thread) first: what it posts belongs to the moment it was
        // given its input, and time may not run ahead of it. Waiting here also keeps its input
        // from piling up, however long the step.
        waitForExternalWork();
        if (!popDue(target, task)) break;
        task();
        task = nullptr;
    }
    std::lock_guard lock(mutex_);
    if (virtualNow_ < target) virtualNow_ = target;
}

void RunLoop::spendTime(double seconds) {
    std::lock_guard lock(mutex_);
    if (virtual_ && seconds > 0) virtualNow_ += seconds;
}

void RunLoop::waitForExternalWork() {
    // The outside work may need the fonts this thread holds to finish.
    FontLock::Released waiting;
    std::unique_lock lock(mutex_);
    const auto realEnd = realDeadline(kStuckWorkerSeconds);
    while (externalWork_ > 0 && !externalWaitsOver())
        if (wake_.wait_until(lock, externalWaitLimit(realEnd)) == std::cv_status::timeout &&
            std::chrono::steady_clock::now() >= realEnd)
            return;
}

std::chrono::steady_clock::time_point
RunLoop::externalWaitLimit(std::chrono::steady_clock::time_point own) const {
    return externalWaitsEnd_ ? std::min(own, *externalWaitsEnd_) : own;
}

bool RunLoop::externalWaitsOver() const {
    return externalWaitsEnd_ && std::chrono::steady_clock::now() >= *externalWaitsEnd_;
}

void RunLoop::endExternalWaitsWithin(double seconds) {
    {
        std::lock_guard lock(mutex_);
        const auto end = realDeadline(seconds);
        if (!externalWaitsEnd_ || end < *externalWaitsEnd_) externalWaitsEnd_ = end;
    }
    wake_.notify_all();
}

bool RunLoop::runUntil(const std::function<bool()>& done, double timeout) {
    const double end = now() + timeout;
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = false;
    }
    while (true) {
        runUntilIdle();
        if (done()) return true;
        FontLock::Released waiting;
        std::unique_lock lock(mutex_);
        if (stopRequested_) return done();
        const double current = virtual_ ? virtualNow_ : realNow();
        if (current >= end) return false;
        if (virtual_) {
            if (externalWork_ > 0 && !externalWaitsOver()) {
                // Another thread will post: wait for it before time moves on, so that what it
                // posts lands at the moment it belongs to. However short the wait on the clock, a
                // busy machine may take long to post; only a worker silent this long is stuck.
                const auto realEnd = realDeadline(kStuckWorkerSeconds);
                if (wake_.wait_until(lock, externalWaitLimit(realEnd)) == std::cv_status::timeout &&
                    std::chrono::steady_clock::now() >= realEnd)
                    return done();
                continue;
            }
            if (!queue_.empty() && queue_.begin()->first.deadline <= end) {
                virtualNow_ = std::max(virtualNow_, queue_.begin()->first.deadline);
                continue;
            }
            virtualNow_ = end;
            lock.unlock();
            runUntilIdle();
            return done();
        } else {
            double wakeAt = end;
            if (!queue_.empty()) wakeAt = std::min(wakeAt, queue_.begin()->first.deadline);
            wake_.wait_for(lock, std::chrono::duration<double>(std::max(0.0, wakeAt - current)));
        }
    }
}

void RunLoop::run() {
    if (isVirtual()) {
        while (auto next = nextDeadline()) {
            advance(*next - now());
            runUntilIdle();
        }
        return;
    }
    runUntil([] { return false; }, 1e12);
}

void RunLoop::stop() {
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    wake_.notify_all();
}

void RunLoop::beginExternalWork(bool forTheEndToo) {
    std::lock_guard lock(mutex_);
    ++externalWork_;
    if (!forTheEndToo) ++shownOnlyWork_;
}

void RunLoop::endExternalWork(bool forTheEndToo) {
    {
        std::lock_guard lock(mutex_);
        if (externalWork_ > 0) --externalWork_;
        if (!forTheEndToo && shownOnlyWork_ > 0) --shownOnlyWork_;
    }
    wake_.notify_all();
}

bool RunLoop::settleExternalWork(double timeout) {
    return settle(timeout, false);
}

bool RunLoop::settleExternalWorkForTheEnd(double timeout) {
    return settle(timeout, true);
}

bool RunLoop::settle(double timeout, bool forTheEnd) {
    const auto realEnd = realDeadline(timeout);
    while (true) {
        runUntilIdle();
        FontLock::Released waiting;
        std::unique_lock lock(mutex_);
        if (awaitedWork(forTheEnd) <= 0) break;
        if (externalWaitsOver()) return false;
        if (wake_.wait_until(lock, externalWaitLimit(realEnd)) == std::cv_status::timeout &&
            std::chrono::steady_clock::now() >= realEnd)
            return false;
    }
    runUntilIdle();
    return true;
}

bool RunLoop::awaitExternalWork(double timeout) {
    FontLock::Released waiting;
    std::unique_lock lock(mutex_);
    return wake_.wait_until(lock, realDeadline(timeout), [&] { return externalWork_ == 0; });
}

std::size_t RunLoop::pendingCount() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

std::optional<double> RunLoop::nextDeadline() const {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return std::nullopt;
    return queue_.begin()->first.deadline;
}

} // namespace platform
