#include "platform/foundation/NSTimeZone.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unicode/timezone.h>

namespace platform {

namespace {
bool known(const std::string& name) {
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(name)));
    return zone && *zone != icu::TimeZone::getUnknown();
}
} // namespace

std::optional<NSTimeZone> NSTimeZone::timeZoneWithName(const std::string& name) {
    if (name.empty() || !known(name)) return std::nullopt;
    return NSTimeZone(name);
}

NSTimeZone NSTimeZone::timeZoneForSecondsFromGMT(int seconds) {
    if (seconds == 0) return NSTimeZone("GMT");
    int minutes = std::abs(seconds) / 60;
    char buf[16];
    std::snprintf(buf, sizeof buf, "GMT%c%02d:%02d", seconds < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return NSTimeZone(buf);
}

NSTimeZone NSTimeZone::systemTimeZone() {
    if (const char* tz = std::getenv("TZ"); tz && *tz) {
        std::string name = tz[0] == ':' ? tz + 1 : tz;
        if (known(name)) return NSTimeZone(name);
    }
    std::unique_ptr<icu::TimeZone> host(icu::TimeZone::detectHostTimeZone());
    icu::UnicodeString id;
    std::string name;
    if (host) host->getID(id).toUTF8String(name);
    if (name.empty() || !known(name)) name = "UTC";
    return NSTimeZone(name);
}

int NSTimeZone::secondsFromGMTForTimeInterval(double secondsSince1970) const {
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(name_)));
    int32_t raw = 0, dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    zone->getOffset(secondsSince1970 * 1000.0, false, raw, dst, status);
    if (U_FAILURE(status)) return 0;
    return (raw + dst) / 1000;
}

} // namespace platform
