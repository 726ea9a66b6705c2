#pragma once
// A read-only snapshot of one entry list file, taken when the collection is made. The file is an
// XML property-list array of strings in Documents; one collection class per list file.

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSURL.h"
#include "platform/foundation/RegularFile.h"

namespace quillora {

// The entries of a list file as it stood when the snapshot was taken, read when first looked at:
// the file is held open until then, and a Save renames a new file into place rather than writing
// into it, so a list screen that is never searched does not hold its list twice. Reads as an
// optional array of strings.
class EntrySnapshot {
public:
    explicit EntrySnapshot(const std::string& path);

    explicit operator bool() const { return get().has_value(); }
    const std::vector<std::string>& operator*() const { return *get(); }
    const std::vector<std::string>* operator->() const { return &*get(); }

private:
    const std::optional<std::vector<std::string>>& get() const;

    mutable platform::RegularFile::Opened file_;
    mutable std::optional<std::optional<std::vector<std::string>>> entries_;
};

class BasicEntryCollection {
public:
    virtual ~BasicEntryCollection() = default;

    // Absent when the file is missing or is not an array made only of strings.
    EntrySnapshot entries;
    std::optional<platform::NSURL> fileURL;

protected:
    explicit BasicEntryCollection(const std::string& fileName);
};

// The main dictation screen's list, notes.txt.
class EntryCollection : public BasicEntryCollection {
public:
    EntryCollection();
};

// The notes dictation screen's list, notesNVC.txt.
class EntryCollectionNVC : public BasicEntryCollection {
public:
    EntryCollectionNVC();
};

// The recipe dictation screen's list, notesRVC.txt.
class EntryCollectionRVC : public BasicEntryCollection {
public:
    EntryCollectionRVC();
};

// The list file's location in Documents; a sandbox without Documents is a state that cannot occur.
platform::NSURL entryListURL(const std::string& fileName);

} // namespace quillora
