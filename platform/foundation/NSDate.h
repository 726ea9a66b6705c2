#pragma once
// A moment in time. "Now" is read from the main run loop's wall clock, so a virtual clock drives
// every date the application takes.

#include <compare>

namespace platform {

class NSDate {
public:
    // Now, by the main run loop's clock.
    NSDate();
    static NSDate date() { return NSDate(); }
    static NSDate dateWithTimeIntervalSince1970(double seconds);

    double timeIntervalSince1970() const { return seconds_; }
    double timeIntervalSinceDate(const NSDate& other) const { return seconds_ - other.seconds_; }
    double timeIntervalSinceNow() const { return seconds_ - NSDate().seconds_; }
    NSDate dateByAddingTimeInterval(double seconds) const;

    auto operator<=>(const NSDate&) const = default;

private:
    struct Raw {};
    NSDate(Raw, double seconds) : seconds_(seconds) {}
    double seconds_;
};

} // namespace platform
