#include "platform/foundation/NSDateFormatter.h"

#include <memory>
#include <unicode/datefmt.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

namespace platform {

namespace {
icu::DateFormat::EStyle icuStyle(NSDateFormatterStyle style) {
    switch (style) {
    case ShortStyle:
        return icu::DateFormat::kShort;
    case MediumStyle:
        return icu::DateFormat::kMedium;
    case LongStyle:
        return icu::DateFormat::kLong;
    case FullStyle:
        return icu::DateFormat::kFull;
    case NoStyle:
        break;
    }
    return icu::DateFormat::kNone;
}

icu::Locale icuLocale(const NSLocale& locale) {
    // The C locale formats as plain, fixed English.
    return icu::Locale(locale.localeIdentifier().empty() ? "en_US_POSIX" : locale.localeIdentifier().c_str());
}
} // namespace

NSDateFormatter::NSDateFormatter()
    : locale_(NSLocale::currentLocale()), timeZone_(NSTimeZone::systemTimeZone()) {}

std::string NSDateFormatter::stringFromDate(const NSDate& date) const {
    std::unique_ptr<icu::DateFormat> format;
    UErrorCode status = U_ZERO_ERROR;
    if (!dateFormat_.empty()) {
        format = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString::fromUTF8(dateFormat_),
                                                         icuLocale(locale_), status);
    } else if (dateStyle_ != NoStyle || timeStyle_ != NoStyle) {
        format.reset(icu::DateFormat::createDateTimeInstance(icuStyle(dateStyle_), icuStyle(timeStyle_),
                                                             icuLocale(locale_)));
    }
    if (!format || U_FAILURE(status)) return "";
    format->adoptTimeZone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(timeZone_.name())));
    icu::UnicodeString text;
    format->format(date.timeIntervalSince1970() * 1000.0, text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

} // namespace platform
