#pragma once
// Time zones by IANA name ("Europe/Madrid", "UTC"); the default follows $TZ, else the host's zone.

#include <optional>
#include <string>

namespace platform {

class NSTimeZone {
public:
    // None when ICU does not know the name.
    static std::optional<NSTimeZone> timeZoneWithName(const std::string& name);
    static NSTimeZone timeZoneForSecondsFromGMT(int seconds);
    // $TZ when it names a known zone, else the host's configured zone.
    static NSTimeZone systemTimeZone();

    const std::string& name() const { return name_; }
    // The offset from GMT at the given moment (seconds since 1970), daylight saving included.
    int secondsFromGMTForTimeInterval(double secondsSince1970) const;

    bool operator==(const NSTimeZone& other) const { return name_ == other.name_; }

private:
    explicit NSTimeZone(std::string name) : name_(std::move(name)) {}
    std::string name_;
};

} // namespace platform
