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

BasicEntryCollection::BasicEntryCollection(const std::string& fileName) {
    fileURL = entryListURL(fileName);
    entries = platform::readStringArrayPlist(fileURL->path());
}

EntryCollection::EntryCollection() : BasicEntryCollection(kMainEntryList.fileName) {}
EntryCollectionNVC::EntryCollectionNVC() : BasicEntryCollection(kNotesEntryList.fileName) {}
EntryCollectionRVC::EntryCollectionRVC() : BasicEntryCollection(kRecipeEntryList.fileName) {}

} // namespace quillora
