#include "platform/foundation/NSTimer.h"

#include <algorithm>

namespace platform {

NSTimer::NSTimer(double interval, bool repeats, Block block)
    : interval_(std::max(interval, 0.0001)), repeats_(repeats), block_(std::move(block)) {}

NSTimer::~NSTimer() {
    if (pending_) RunLoop::main().cancel(pending_);
}

std::shared_ptr<NSTimer> NSTimer::scheduledTimerWithTimeInterval(double interval, bool repeats, Block block) {
    auto timer = std::make_shared<NSTimer>(interval, repeats, std::move(block));
    timer->scheduleNext(RunLoop::main().now() + timer->interval_);
    return timer;
}

void NSTimer::scheduleNext(double deadline) {
    // The queued task holds the timer strongly: the run loop owns a scheduled timer.
    auto self = shared_from_this();
    pending_ = RunLoop::main().scheduleAt(deadline, [self, deadline] { self->onDeadline(deadline); });
}

void NSTimer::onDeadline(double deadline) {
    pending_ = 0;
    if (!valid_) return;
    auto keepAlive = shared_from_this();
    if (block_) block_(*this);
    if (!valid_) return;
    if (!repeats_) {
        invalidate();
        return;
    }
    // A late run (real clock) skips the deadlines it missed instead of firing in a burst.
    double next = deadline + interval_;
    const double now = RunLoop::main().now();
    while (next <= now - interval_)
        next += interval_;
    scheduleNext(next);
}

void NSTimer::invalidate() {
    valid_ = false;
    if (pending_) {
        RunLoop::main().cancel(pending_);
        pending_ = 0;
    }
    block_ = nullptr;
}

void NSTimer::fire() {
    if (!valid_) return;
    auto keepAlive = shared_from_this();
    if (block_) block_(*this);
    if (!repeats_) invalidate();
}

} // namespace platform
