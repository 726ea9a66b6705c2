#pragma once
// The file manager: the sandbox's well-known folders and the few file operations the screens use.
// Every file the application writes goes through writeAtomically, so a crash or a full disk never
// leaves a half-written file where a good one stood.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSURL.h"

namespace platform {

enum class NSSearchPathDirectory { NSDocumentDirectory };
enum class NSSearchPathDomainMask { NSUserDomainMask };
using enum NSSearchPathDirectory;
using enum NSSearchPathDomainMask;

class NSFileManager {
public:
    // Stateless: every path is taken from the current sandbox when asked for.
    static NSFileManager& defaultManager();

    // The sandbox's Documents folder, as a one-element list.
    std::vector<NSURL> URLsForDirectory_inDomains(NSSearchPathDirectory directory,
                                                  NSSearchPathDomainMask domain) const;
    // The sandbox's tmp folder.
    NSURL temporaryDirectory() const;

    bool fileExistsAtPath(const std::string& path) const;
    bool fileExistsAtPath_isDirectory(const std::string& path, bool* isDirectory) const;
    // The file's bytes; none when it is missing or cannot be read.
    std::optional<std::string> contentsAtPath(const std::string& path) const;
    // The names in a folder, sorted by name (the platform promises no order; we pick one so
    // results are reproducible). None, with `error` filled in, when it cannot be listed.
    std::optional<std::vector<std::string>> contentsOfDirectoryAtPath(const std::string& path,
                                                                      NSError* error = nullptr) const;

    // The following return the error, or none on success.
    // Removes a file, or a folder with everything in it.
    std::optional<NSError> removeItemAtPath(const std::string& path) const;
    std::optional<NSError> createDirectoryAtPath_withIntermediateDirectories(const std::string& path,
                                                                             bool intermediates) const;
    // Writes `bytes` to a temporary file beside `path`, flushes it to disk and renames it over
    // `path`: readers see the old content or the new, never a mix. The folder must exist.
    std::optional<NSError> writeAtomically(const std::string& path, std::string_view bytes) const;

    // Renames a file that cannot be used to `path` + `suffix` (then `-2`, `-3`... when taken), so
    // that it is kept for whoever wants to recover it and never overwritten. The new path, or none
    // with `error` set when the file could not be moved.
    std::optional<std::string> moveItemAside(const std::string& path, const std::string& suffix,
                                             NSError* error = nullptr) const;

private:
    NSFileManager() = default;
};

} // namespace platform
