#pragma once
// The main run loop: one queue of timed work, run on the main thread, ordered by deadline and,
// for equal deadlines, by arrival. Its clock is real for the application and virtual for tests
// and scripts, which move time forward themselves so that nothing ever sleeps.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace platform {

class RunLoop {
public:
    using Task = std::function<void()>;
    using TaskId = std::uint64_t;

    // The shared main run loop; it starts on the real clock.
    static RunLoop& main();

    // Monotonic seconds on the loop's clock (0 when a virtual clock starts).
    double now() const;
    // Seconds since 1970 as the wall clock reads at now(); the virtual clock starts at a fixed epoch.
    double wallTime() const;
    bool isVirtual() const;

    // Switches to a virtual clock at 0 (wall time `wallEpoch`) and drops all pending work.
    void useVirtualClock(double wallEpoch = kDefaultVirtualEpoch);
    // Switches to the real clock and drops all pending work.
    void useRealClock();

    // Queues `task` to run `delay` seconds from now (never before the current call returns).
    // Safe to call from any thread.
    TaskId schedule(double delay, Task task);
    TaskId scheduleAt(double deadline, Task task);
    // Drops a queued task; does nothing when it already ran. Safe from any thread.
    void cancel(TaskId id);

    // Runs every task that is due now, including those queued while doing so. Returns the count.
    std::size_t runUntilIdle();
    // Virtual clock: moves time forward by `seconds`, running each task at its deadline in order;
    // before each task it waits (in real time) for outside work, as runUntil does, so the result
    // does not depend on how a wait is split. Real clock: runs the loop for that long.
    void advance(double seconds);
    // Runs the loop until `done` holds or `timeout` seconds of loop time have passed. On the virtual
    // clock time jumps from deadline to deadline; work posted from other threads is waited for.
    bool runUntil(const std::function<bool()>& done, double timeout);
    // The main thread is busy for `seconds` outside the loop (a model loading): on the virtual clock
    // time moves on without running anything, and what fell due meanwhile runs late, at the next
    // turn, as on the real clock, where this does nothing (the work itself takes the time).
    void spendTime(double seconds);
    // Runs until stop() (real clock); on the virtual clock runs until no work is left.
    void run();
    void stop();

    // Work running on another thread that will post back to this loop (an authorization answer, a
    // decoder finishing). While any is outstanding, a virtual-clock runUntil waits for it in real
    // time instead of jumping the clock past it.
    // Work whose result is only shown (a page filled for the screen) is `forTheEndToo = false`:
    // the program's end does not wait for it, since nothing it gives is saved.
    void beginExternalWork(bool forTheEndToo = true);
    void endExternalWork(bool forTheEndToo = true);
    // Runs what is due now and waits (in real time, at most `timeout` seconds, without moving a
    // virtual clock) until no outside work is outstanding, running what it posts. False on time-out.
    bool settleExternalWork(double timeout = 30);
    // The same for the program's end: it waits only for the work the end needs.
    bool settleExternalWorkForTheEnd(double timeout);
    // Waits (in real time, at most `timeout` seconds) until no outside work is outstanding,
    // running nothing: what it posts stays queued. For a test's end, so that no worker goes on
    // beside what the next test resets. False on time-out.
    bool awaitExternalWork(double timeout);
    // The program is asked to end: from `seconds` from now on no wait holds the loop for outside
    // work (a virtual clock moves on without it), so that a worker that never answers cannot hold
    // up the end. Until then the waits are as they were, so that what the end still needs from a
    // worker (a recognizer's last phrase) arrives. Safe from any thread; a new clock lifts it.
    void endExternalWaitsWithin(double seconds);

    // Called (from whichever thread queued it) after work is queued, so that a loop that drives
    // this one (GLib's, with a window) wakes up for it. An empty handler removes it.
    void setWakeHandler(std::function<void()> handler);

    std::size_t pendingCount() const;
    std::optional<double> nextDeadline() const;

    static constexpr double kDefaultVirtualEpoch = 1796169600.0; // 2026-12-02 00:00:00 UTC

private:
    RunLoop();
    struct Key {
        double deadline;
        std::uint64_t seq;
        bool operator<(const Key& o) const {
            return deadline != o.deadline ? deadline < o.deadline : seq < o.seq;
        }
    };
    bool popDue(double limit, Task& out);
    void waitForExternalWork();
    bool settle(double timeout, bool forTheEnd);
    // With the mutex held: what a settle for the end, or any other, still waits for.
    int awaitedWork(bool forTheEnd) const { return externalWork_ - (forTheEnd ? shownOnlyWork_ : 0); }
    // With the mutex held: the end of a wait for outside work that would end at `own` by itself.
    std::chrono::steady_clock::time_point externalWaitLimit(std::chrono::steady_clock::time_point own) const;
    bool externalWaitsOver() const;
    double realNow() const;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::map<Key, std::pair<TaskId, Task>> queue_;
    std::unordered_map<TaskId, Key> index_;
    std::uint64_t nextSeq_ = 1;
    bool virtual_ = false;
    double virtualNow_ = 0;
    double virtualEpoch_ = kDefaultVirtualEpoch;
    double realOrigin_ = 0;
    bool stopRequested_ = false;
    int externalWork_ = 0;
    // Of externalWork_, what the end does not wait for.
    int shownOnlyWork_ = 0;
    std::optional<std::chrono::steady_clock::time_point> externalWaitsEnd_;
    std::function<void()> wakeHandler_;
};

} // namespace platform
