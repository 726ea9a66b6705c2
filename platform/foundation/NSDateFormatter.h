#pragma once
// Dates as text, through ICU: either a pattern ("yyyy-MM-dd HH:mm") or a date and a time style.
// Locale and time zone default to the current ones when the formatter is made and can be set.

#include <string>

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSLocale.h"
#include "platform/foundation/NSTimeZone.h"

namespace platform {

enum class NSDateFormatterStyle { NoStyle, ShortStyle, MediumStyle, LongStyle, FullStyle };
using enum NSDateFormatterStyle;

class NSDateFormatter {
public:
    NSDateFormatter();

    // A pattern in ICU's (Unicode's) date-field symbols; when set it wins over the styles.
    void setDateFormat(const std::string& pattern) { dateFormat_ = pattern; }
    const std::string& dateFormat() const { return dateFormat_; }
    void setDateStyle(NSDateFormatterStyle style) { dateStyle_ = style; }
    NSDateFormatterStyle dateStyle() const { return dateStyle_; }
    void setTimeStyle(NSDateFormatterStyle style) { timeStyle_ = style; }
    NSDateFormatterStyle timeStyle() const { return timeStyle_; }
    void setLocale(const NSLocale& locale) { locale_ = locale; }
    const NSLocale& locale() const { return locale_; }
    void setTimeZone(const NSTimeZone& zone) { timeZone_ = zone; }
    const NSTimeZone& timeZone() const { return timeZone_; }

    // Empty when there is neither a pattern nor a style, or ICU rejects the pattern.
    std::string stringFromDate(const NSDate& date) const;

private:
    std::string dateFormat_;
    NSDateFormatterStyle dateStyle_ = NoStyle;
    NSDateFormatterStyle timeStyle_ = NoStyle;
    NSLocale locale_;
    NSTimeZone timeZone_;
};

} // namespace platform
