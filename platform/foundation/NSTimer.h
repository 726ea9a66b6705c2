#pragma once
// Timers on the main run loop. The run loop keeps a scheduled timer alive until it is invalidated
// (or, for a one-shot timer, until it has fired), as the screens expect of the platform.

#include <functional>
#include <memory>

#include "platform/foundation/RunLoop.h"

namespace platform {

class NSTimer : public std::enable_shared_from_this<NSTimer> {
public:
    using Block = std::function<void(NSTimer&)>;

    // Schedules a timer on the main run loop; a repeating timer fires every `interval` seconds
    // measured from its previous deadline, so it does not drift.
    static std::shared_ptr<NSTimer> scheduledTimerWithTimeInterval(double interval, bool repeats,
                                                                   Block block);

    // Stops the timer for good; safe from inside its own block.
    void invalidate();
    bool isValid() const { return valid_; }
    bool repeats() const { return repeats_; }
    double timeInterval() const { return interval_; }
    // Runs the block now, outside its schedule; a one-shot timer is then invalidated.
    void fire();

    NSTimer(double interval, bool repeats, Block block);
    ~NSTimer();

private:
    void scheduleNext(double deadline);
    void onDeadline(double deadline);

    double interval_;
    bool repeats_;
    Block block_;
    bool valid_ = true;
    RunLoop::TaskId pending_ = 0;
};

} // namespace platform
