#pragma once
// The standard user-defaults store: small settings kept across launches in an XML property list
// (Library/Preferences/com.quillora.app.plist). Changes are written atomically once they have
// settled (one write per turn of the main run loop; a folder another program holds is waited for
// on the loop, never by blocking it), on synchronize() and at exit. A settled write is made on a
// worker, from a snapshot that shares the values with the store (a long transcript is neither
// copied nor serialised on the main thread) and is streamed to the file; synchronize() writes
// only what that left unwritten. The file is read and written by the property-list reader and
// writer the lists use. A file that cannot be
// read whole, or that holds what cannot be saved again, is kept aside, never overwritten, and the
// store starts on what could be recovered from it.
//
// The end of the program writes what changed, not the whole store: a settled write of the whole
// file still under way is given up at its next piece (the file stays as it was), and a store
// larger than kChangesAsideAbove writes only the keys changed since its file was last written,
// into a side file beside it (the file's path + ".changes", written atomically in the same
// format). The side file names the file it was written beside; a start reads the file, then folds
// in a side file written beside that very file, and the next whole-file write removes it once
// its own file is in place. A side file found beside another file (a crash between that write and
// the removal) is out of date and is dropped.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/PropertyList.h"

namespace platform {

// Posted when the preferences could not be saved, once until a save works again (every change
// would fail the same way): user info "path" (the file) and "message" (which file and why, as
// a sentence). Posted on the main run loop, after the store is unlocked.
inline constexpr const char* NSUserDefaultsSaveFailedNotification = "NSUserDefaultsSaveFailedNotification";

// Posted when the preferences file was damaged and has been kept aside: user info "path" (the
// file), "aside" (where its bytes are now; empty when they could not be moved) and "message"
// (what happened and what was recovered, as sentences). Posted on the main run loop.
inline constexpr const char* NSUserDefaultsFileDamagedNotification = "NSUserDefaultsFileDamagedNotification";

class NSUserDefaults : public std::enable_shared_from_this<NSUserDefaults> {
public:
    static constexpr const char* kDomainName = "com.quillora.app";

    // The shared store, loaded on first use from the current sandbox.
    static std::shared_ptr<NSUserDefaults> standardUserDefaults();
    // Writes the shared store's pending changes, when it has been loaded (the program's end).
    static bool synchronizeStandardUserDefaults();
    // Drops the shared store without writing (a fresh one is loaded on next use). Tests use it to
    // simulate a restart after synchronize() or a settled write.
    static void resetStandardUserDefaults();

    // Reads. Absent keys stay absent: there are no registered defaults.
    std::optional<PropertyValue> objectForKey(const std::string& key) const;
    // A number, a Boolean (0/1) or the leading integer of a string; 0 otherwise. Doubles truncate.
    NSInteger integerForKey(const std::string& key) const;
    float floatForKey(const std::string& key) const;
    // A number, a Boolean (0/1) or the leading number of a string; 0 otherwise.
    double doubleForKey(const std::string& key) const;
    // A Boolean, a non-zero number, or a string starting with Y, y, T, t or a digit 1-9.
    bool boolForKey(const std::string& key) const;
    // A string, or the decimal text of a number; none for arrays, dictionaries and absent keys.
    std::optional<std::string> stringForKey(const std::string& key) const;
    // A string value as the store holds it, shared and never copied: a long transcript read on the
    // main thread costs nothing, and a later change replaces it without touching this one. None
    // when the key holds no string.
    std::shared_ptr<const std::string> sharedStringForKey(const std::string& key) const;
    std::optional<StringArray> arrayForKey(const std::string& key) const;
    std::optional<StringDictionary> dictionaryForKey(const std::string& key) const;

    // Writes. What a property list cannot carry (a NUL, control characters other than tab, line
    // feed and carriage return, bytes that are not UTF-8) is stored as U+FFFD, so that every value
    // set can be saved.
    void setInteger_forKey(NSInteger value, const std::string& key);
    void setDouble_forKey(double value, const std::string& key);
    void setBool_forKey(bool value, const std::string& key);
    void setObject_forKey(const std::string& value, const std::string& key);
    void setObject_forKey(const char* value, const std::string& key);
    void setObject_forKey(const StringArray& value, const std::string& key);
    void setObject_forKey(const StringDictionary& value, const std::string& key);
    void setObject_forKey(const PropertyValue& value, const std::string& key);
    void removeObjectForKey(const std::string& key);

    // Writes pending changes now. False when the file could not be written (or is held back
    // because an unreadable one could not be kept aside).
    bool synchronize();

    // The store above which the end writes only the changes, beside the file.
    static constexpr std::size_t kChangesAsideAbove = std::size_t(1) << 20;
    // The program is ending: a settled write of the whole file under way is given up at its next
    // piece, and from now on a write of a store larger than kChangesAsideAbove writes only what
    // changed since the file was last written, into the side file.
    void beginEnd();
    // The end's write: beginEnd(), then what is not yet on disk.
    bool synchronizeAtEnd();
    // The same for the shared store, when it has been loaded (the termination's start).
    static void beginEndOfStandardUserDefaults();

    const std::string& filePath() const { return path_; }
    // Where the end writes the changes of a large store.
    std::string changesPath() const { return path_ + ".changes"; }

    // Test hook: called on the writing thread after each piece of a whole-file write is written.
    void setPieceWrittenHook(std::function<void()> hook);

    explicit NSUserDefaults(std::string path);
    ~NSUserDefaults();
    NSUserDefaults(const NSUserDefaults&) = delete;
    NSUserDefaults& operator=(const NSUserDefaults&) = delete;

private:
    void load();
    void loadFile();
    // Called with `mutex_` held.
    void changedLocked();
    void scheduleWrite();
    // The write of settled changes, on the main run loop; it never blocks the loop.
    void settledWrite();
    void finishSettledWrite();
    // A value of the store, shared with the snapshots being written: a change replaces it.
    struct Entry {
        std::string key;
        std::shared_ptr<const PlistValue> value;
        // The change that set it: later than `fileGeneration_` when the file does not hold it.
        std::uint64_t changed = 0;
    };
    // Folds in the side file written beside the file that was at the path as the store loaded
    // (`file`, as fileIdentity tells it); drops one written beside another.
    void foldChanges(const std::string& file);
    // Writes the keys changed since the file was written into the side file. Called with
    // `writeMutex_` held.
    std::optional<NSError> writeChanges(const std::vector<Entry>& snapshot,
                                        const std::vector<std::string>& removed, std::string& why,
                                        double folderWait);
    // Called with `mutex_` held.
    const Entry* find(const std::string& key) const;
    // Sets `key` to `node`, which holds `replaced` characters that could not be stored as given.
    void setNode(PlistValue node, std::size_t replaced, const std::string& key);
    // Writes the store when it has changes, waiting `folderWait` seconds at most for a folder
    // another program holds; a settled write is given up for a newer change or the end. False
    // when it could not be written, or was given up.
    bool write(double folderWait, bool settled = false);
    // Waits until no settled write is still to be made on the worker.
    void awaitSettledWrites();
    // Posts the failure of the last write, when it is one to tell.
    void reportFailure();

    mutable std::mutex mutex_;
    std::mutex writeMutex_;
    std::string path_;
    std::vector<Entry> entries_;
    bool dirty_ = false;
    // Settled writes handed to the worker and not yet made.
    int settledWrites_ = 0;
    std::condition_variable settledWritesDone_;
    // Counts the changes, so that a write knows whether it wrote the last of them.
    std::uint64_t generation_ = 0;
    // The change the file holds the store as of; the keys removed since it was written.
    std::uint64_t fileGeneration_ = 0;
    std::vector<std::pair<std::string, std::uint64_t>> removed_;
    bool ending_ = false;
    std::function<void()> pieceWritten_;
    bool writeScheduled_ = false;
    bool persistenceBlocked_ = false;
    // The last write failed; and the failure not yet told.
    bool failing_ = false;
    std::optional<std::string> untold_;
};

using UserDefaults = NSUserDefaults;

} // namespace platform
