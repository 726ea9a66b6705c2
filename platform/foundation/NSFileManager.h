#pragma once
// The file manager: the sandbox's well-known folders and the few file operations the screens use.
// Every file the application writes goes through writeAtomically, so a crash or a full disk never
// leaves a half-written file where a good one stood.

#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
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
    // The file's bytes; none when it is missing, cannot be read, is not a regular file (a pipe, a
    // device, a folder) or is larger than `maxLength`. `why`, when given, then says which.
    static constexpr std::size_t kDefaultMaxLength = std::size_t(512) << 20;
    std::optional<std::string> contentsAtPath(const std::string& path,
                                              std::size_t maxLength = kDefaultMaxLength,
                                              std::string* why = nullptr) const;
    // The names in a folder, sorted by name (the platform promises no order; we pick one so
    // results are reproducible). None, with `error` filled in, when it cannot be listed.
    std::optional<std::vector<std::string>> contentsOfDirectoryAtPath(const std::string& path,
                                                                      NSError* error = nullptr) const;

    // The following return the error, or none on success.
    // Removes a file, or a folder with everything in it.
    std::optional<NSError> removeItemAtPath(const std::string& path) const;
    // Every folder it makes is its owner's alone (0700, whatever the umask); folders that are
    // there already keep their modes.
    std::optional<NSError> createDirectoryAtPath_withIntermediateDirectories(const std::string& path,
                                                                             bool intermediates) const;
    // Writes `bytes` to a temporary file beside `path`, flushes it to disk, renames it over `path`
    // and flushes the folder: readers see the old content or the new, never a mix, and a save
    // reported done survives a power cut. The folder must exist. A
    // symbolic link at `path` is written through: its target gets the new content and the link
    // stays. A file replaced keeps its permissions and, where the system lets us, its owner; one
    // we may not write is refused, not replaced; a new file is its owner's alone (0600, whatever
    // the umask). The write holds the target's folder (see
    // FolderLock), and removes what earlier writes of the same file that were killed half-way
    // left behind; it fails when another program keeps the folder locked past `folderWait` seconds.
    std::optional<NSError> writeAtomically(const std::string& path, std::string_view bytes,
                                           double folderWait = kFolderLockWait) const;
    // The same with the bytes made as they are written: `produce` hands them to `write` piece by
    // piece (a long list is then never held whole a second time) and returns an error to give the
    // write up, which leaves the file as it was and is returned as it is.
    using BytesWriter = std::function<bool(std::string_view)>;
    using BytesProducer = std::function<std::optional<NSError>(const BytesWriter& write)>;
    std::optional<NSError> writeAtomically(const std::string& path, const BytesProducer& produce,
                                           double folderWait = kFolderLockWait) const;

    // Writes `bytes` as a new file, never in place of another: under the first of `pathFor(1)`,
    // `pathFor(2)`... that nothing (not even a link) holds at the moment the finished file takes
    // it, so that two writers racing for a name never share it. All the paths lie in one folder,
    // which must exist. The file is flushed to disk and its owner's alone, as writeAtomically's.
    // The path written, or the error.
    using PathCandidate = std::function<std::string(int attempt)>;
    std::optional<std::string> writeNewFile(const PathCandidate& pathFor, std::string_view bytes,
                                            NSError* error = nullptr) const;

    // `name` as it is when it takes no more than `limit` bytes; else cut short at a character's
    // boundary and ended with a digest of the whole name (its extension kept), so that two long
    // names that start alike stay two names.
    static std::string nameWithin(const std::string& name, std::size_t limit);
    // The longest name, in bytes, that the file system holding `folder` takes.
    static std::size_t longestNameIn(const std::string& folder);

    // Where a write of `path` lands: the end of its chain of symbolic links. None, with `error`
    // set, for a loop of links.
    std::optional<std::string> resolvedWritePath(const std::string& path, NSError* error = nullptr) const;

    // How long a write waits for a folder another program holds: another copy of ours holds it for
    // the length of one write; anything longer is something else, and the person is told rather
    // than kept waiting.
    static constexpr double kFolderLockWait = 3;

    // Holds the folder of a file against the writes of other copies of the program (an advisory
    // lock of the folder, taken by every write of this file manager) for as long as it lives, so
    // that a copy can read a file, merge what it changed and write it back without another copy
    // writing in between. A thread may hold several at once; the same folder twice is fine. Another
    // program's lock is waited for `wait` seconds at most.
    class FolderLock {
    public:
        FolderLock(FolderLock&& other) noexcept
            : failure(std::move(other.failure)), busy(other.busy), folder_(std::move(other.folder_)) {
            other.folder_.clear();
        }
        FolderLock& operator=(FolderLock&&) = delete;
        ~FolderLock();
        // False when the folder could not be locked (the reason is in `failure`). A folder that
        // cannot be locked at all is written unlocked; one that another program keeps locked past
        // the wait (`busy`) is not written.
        bool held() const { return !folder_.empty(); }
        std::string failure;
        bool busy = false;

    private:
        friend class NSFileManager;
        FolderLock() = default;
        std::string folder_;
    };
    FolderLock lockFolderOf(const std::string& path, double wait = kFolderLockWait) const;

    // Waits, without blocking the main run loop, for another program to let go of the folder of
    // `path`: tries it every kFolderPollInterval seconds and calls `then` on the loop with the
    // folder held, or with `busy` set once `wait` seconds of the loop's clock have passed. Never
    // calls `then` inside this call. For the main thread, which must go on drawing and taking
    // input meanwhile; lockFolderOf(path, 0) tells first whether there is anything to wait for.
    void waitForFolderOf(const std::string& path, std::function<void(const FolderLock&)> then,
                         double wait = kFolderLockWait) const;
    static constexpr double kFolderPollInterval = 0.01;
    // writeAtomically for the main thread, which goes on drawing and taking input while another
    // program holds the folder: `done` hears the error, or none, inside this call when the folder
    // is free, else on the loop once it is let go, or once `folderWait` seconds of the loop's clock
    // have passed, with the error of a folder held past its wait.
    using WriteDone = std::function<void(const std::optional<NSError>& error)>;
    void writeAtomicallyOnLoop(const std::string& path, std::string bytes, WriteDone done,
                               double folderWait = kFolderLockWait) const;
    void writeAtomicallyOnLoop(const std::string& path, BytesProducer produce, WriteDone done,
                               double folderWait = kFolderLockWait) const;
    // writeNewFile for the main thread in the same way, the folder held while the name is taken:
    // `done` hears the path written or the error.
    using NewFileDone = std::function<void(const std::optional<std::string>& path,
                                           const std::optional<NSError>& error)>;
    void writeNewFileOnLoop(PathCandidate pathFor, std::function<std::string_view()> bytes, NewFileDone done,
                            double folderWait = kFolderLockWait) const;
    // How many such waits have not yet called `then`: work the program's end must let finish.
    static std::size_t folderWaitsPending();

    // Removes the temporary files that writes of `path` killed half-way left beside its target:
    // only those named as this program names them and owned by this account, never what another
    // program (an editor writing the same file through a link) keeps there. Only to be called
    // while holding the folder (every write does).
    void removeLeftoverTemporaryFiles(const std::string& path) const;

    // Renames a file that cannot be used to `path` + `suffix` (then `-2`, `-3`... when taken), so
    // that it is kept for whoever wants to recover it and never overwritten. The new path, or none
    // with `error` set when the file could not be moved.
    std::optional<std::string> moveItemAside(const std::string& path, const std::string& suffix,
                                             NSError* error = nullptr) const;

private:
    NSFileManager() = default;
    void unlockFolder(const std::string& folder) const;

    struct HeldFolder {
        int fd = -1;
        int count = 0;
    };
    // One thread at a time holds folders, so that a thread taking a folder it already holds does
    // not wait for itself (advisory locks are per open file, not per process).
    mutable std::recursive_mutex lockMutex_;
    mutable std::map<std::string, HeldFolder> heldFolders_;
};

} // namespace platform
