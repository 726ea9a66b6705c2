#include "platform/foundation/PropertyList.h"

#include <memory>
#include <plist/plist.h>

#include "platform/foundation/NSFileManager.h"

namespace platform {

namespace {
struct PlistFree {
    void operator()(void* node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistFree>;
} // namespace

std::optional<StringArray> readStringArrayPlist(const std::string& path) {
    auto bytes = NSFileManager::defaultManager().contentsAtPath(path);
    if (!bytes || bytes->empty() || bytes->size() > UINT32_MAX) return std::nullopt;
    plist_t raw = nullptr;
    plist_from_memory(bytes->data(), static_cast<uint32_t>(bytes->size()), &raw);
    Plist root(raw);
    if (!root || plist_get_node_type(root.get()) != PLIST_ARRAY) return std::nullopt;
    StringArray out;
    uint32_t count = plist_array_get_size(root.get());
    out.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        plist_t item = plist_array_get_item(root.get(), i);
        if (plist_get_node_type(item) != PLIST_STRING) return std::nullopt;
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(item, &length);
        out.emplace_back(text ? text : "", text ? length : 0);
    }
    return out;
}

bool writeStringArrayPlist(const std::string& path, const StringArray& array, NSError* error) {
    // A property-list string ends at its first NUL; writing one would silently cut the entry short.
    for (const auto& s : array) {
        if (s.find('\0') != std::string::npos) {
            if (error)
                *error = {NSCocoaErrorDomain, NSFileWriteUnknownError, "A string holds a NUL character"};
            return false;
        }
    }
    Plist root(plist_new_array());
    for (const auto& s : array)
        plist_array_append_item(root.get(), plist_new_string(s.c_str()));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    if (!xml) {
        if (error) *error = {NSCocoaErrorDomain, NSFileWriteUnknownError, "The list could not be encoded"};
        return false;
    }
    std::string bytes(xml, length);
    plist_to_xml_free(xml);
    auto failure = NSFileManager::defaultManager().writeAtomically(path, bytes);
    if (failure && error) *error = *failure;
    return !failure;
}

} // namespace platform
