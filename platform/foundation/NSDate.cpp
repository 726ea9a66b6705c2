#include "platform/foundation/NSDate.h"

#include "platform/foundation/RunLoop.h"

namespace platform {

NSDate::NSDate() : seconds_(RunLoop::main().wallTime()) {}

NSDate NSDate::dateWithTimeIntervalSince1970(double seconds) {
    return NSDate(Raw{}, seconds);
}

NSDate NSDate::dateByAddingTimeInterval(double seconds) const {
    return NSDate(Raw{}, seconds_ + seconds);
}

} // namespace platform
