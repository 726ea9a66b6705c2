#pragma once
// The error value that file and property-list operations hand back to their callers.

#include <string>

namespace platform {

inline constexpr const char* NSPOSIXErrorDomain = "NSPOSIXErrorDomain";
inline constexpr const char* NSCocoaErrorDomain = "NSCocoaErrorDomain";

// Codes of NSCocoaErrorDomain that callers may test for.
inline constexpr long NSFileNoSuchFileError = 4;
inline constexpr long NSFileReadCorruptFileError = 259;
inline constexpr long NSFileWriteUnknownError = 512;

struct NSError {
    std::string domain;
    long code = 0;
    std::string localizedDescription;

    // An error of NSPOSIXErrorDomain for `err` (an errno value): "<what>: <strerror>".
    static NSError posix(int err, const std::string& what);
};

} // namespace platform
