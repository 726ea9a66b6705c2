#include "entries/EntryCollection.h"

#include "entries/EntryListVariant.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/PropertyList.h"

namespace quillora {

platform::NSURL entryListURL(const std::string& fileName) {
    auto folders = platform::NSFileManager::defaultManager().URLsForDirectory_inDomains(
        platform::NSDocumentDirectory, platform::NSUserDomainMask);
    if (folders.empty()) platform::fatalError("no Documents folder");
    return folders.front().URLByAppendingPathComponent(fileName);
}

EntrySnapshot::EntrySnapshot(const std::string& path)
    : file_(platform::RegularFile::open(path, platform::kMaxListFileLength)) {}

const std::optional<std::vector<std::string>>& EntrySnapshot::get() const {
    if (!entries_) {
        entries_.emplace(std::move(platform::readStringArrayPlistFile(file_).entries));
        file_ = {};
    }
    return *entries_;
}

BasicEntryCollection::BasicEntryCollection(const std::string& fileName)
    : entries(entryListURL(fileName).path()) {
    fileURL = entryListURL(fileName);
}

EntryCollection::EntryCollection() : BasicEntryCollection(kMainEntryList.fileName) {}
EntryCollectionNVC::EntryCollectionNVC() : BasicEntryCollection(kNotesEntryList.fileName) {}
EntryCollectionRVC::EntryCollectionRVC() : BasicEntryCollection(kRecipeEntryList.fileName) {}

} // namespace quillora
