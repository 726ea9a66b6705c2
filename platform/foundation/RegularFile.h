#pragma once
// Reading a file that a crash, a sync tool, another program or a person may have replaced: only a
// regular file is read, and only up to a bound that fits what the caller reads. A pipe, a device,
// a folder or a loop of symbolic links is refused at once (a pipe would block the reader for
// ever, a device would never end), and so is a file larger than the bound, before its bytes are
// taken into memory.

#include <cstddef>
#include <optional>
#include <string>

namespace platform {

class RegularFile {
public:
    struct Contents {
        // The file's bytes; none when it is missing or refused.
        std::optional<std::string> bytes;
        // Nothing is at the path (a dangling symbolic link counts as nothing: writing through it
        // creates its target).
        bool missing = false;
        // Why the bytes are absent, as the end of "it ...": "is a pipe, not a file".
        std::string why;
    };

    static Contents read(const std::string& path, std::size_t maxLength);

    // Something is at the path, a dangling or looping symbolic link included.
    static bool somethingAt(const std::string& path);
};

} // namespace platform
