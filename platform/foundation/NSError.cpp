#include "platform/foundation/NSError.h"

#include <cerrno>
#include <cstring>

namespace platform {

NSError NSError::posix(int err, const std::string& what) {
    if (err == ENOENT) return {NSCocoaErrorDomain, NSFileNoSuchFileError, what + ": " + std::strerror(err)};
    return {NSPOSIXErrorDomain, err, what + ": " + std::strerror(err)};
}

} // namespace platform
