#pragma once
// A read-only snapshot of one entry list file, taken when the collection is made. The file is an
// XML property-list array of strings in Documents; one collection class per list file.

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSURL.h"

namespace quillora {

class BasicEntryCollection {
public:
    virtual ~BasicEntryCollection() = default;

    // Absent when the file is missing or is not an array made only of strings.
    std::optional<std::vector<std::string>> entries;
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
