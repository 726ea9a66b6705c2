#include "platform/foundation/PropertyList.h"

#include <algorithm>
#include <memory>

#include <glib.h>
#include <plist/plist.h>

#include "platform/foundation/NSFileManager.h"

namespace platform {

namespace {
struct PlistFree {
    void operator()(void* node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistFree>;
} // namespace

namespace {
const char* nodeKind(plist_type type) {
    switch (type) {
    case PLIST_BOOLEAN:
        return "a Boolean";
    case PLIST_UINT:
        return "a number";
    case PLIST_REAL:
        return "a number";
    case PLIST_STRING:
        return "a string";
    case PLIST_ARRAY:
        return "an array";
    case PLIST_DICT:
        return "a dictionary";
    case PLIST_DATE:
        return "a date";
    case PLIST_DATA:
        return "data";
    default:
        return "an unknown value";
    }
}
// What an element of an XML property list holds, named for a reader.
const char* elementKind(std::string_view name) {
    if (name == "true" || name == "false") return "a Boolean";
    if (name == "integer" || name == "real") return "a number";
    if (name == "string") return "a string";
    if (name == "array") return "an array";
    if (name == "dict") return "a dictionary";
    if (name == "date") return "a date";
    if (name == "data") return "data";
    return "an unknown value";
}

// Reads an XML property list that should be an array of strings. libplist's XML reader moves the
// rest of a string for every entity it decodes, so a long entry full of "&" or "<" took minutes to
// open; GLib's markup parser decodes in one pass.
struct XmlStringArrayReader {
    StringArray out;
    std::string reason;
    int depth = 0; // 1 inside <plist>, 2 inside the root value, 3 inside an element of the array
    bool rootSeen = false;
    bool rootIsArray = false;
    bool inString = false;

    static void start(GMarkupParseContext*, const gchar* name, const gchar**, const gchar**, gpointer data,
                      GError** error) {
        auto& self = *static_cast<XmlStringArrayReader*>(data);
        const std::string_view element = name;
        ++self.depth;
        if (self.depth == 1) {
            if (element != "plist") self.refuse(error, "it is not a property list, or is cut short");
        } else if (self.depth == 2) {
            if (self.rootSeen) return self.refuse(error, "it is not a property list, or is cut short");
            self.rootSeen = true;
            self.rootIsArray = element == "array";
            if (!self.rootIsArray)
                self.refuse(error,
                            std::string("it holds ") + elementKind(element) + ", not an array of strings");
        } else if (self.depth == 3) {
            if (element != "string")
                return self.refuse(error, "its element " + std::to_string(self.out.size()) + " is " +
                                              elementKind(element) + ", not a string");
            self.out.emplace_back();
            self.inString = true;
        } else {
            self.refuse(error, "it is not a property list, or is cut short");
        }
    }
    static void end(GMarkupParseContext*, const gchar*, gpointer data, GError**) {
        auto& self = *static_cast<XmlStringArrayReader*>(data);
        if (self.depth == 3) self.inString = false;
        --self.depth;
    }
    static void text(GMarkupParseContext*, const gchar* text, gsize length, gpointer data, GError**) {
        auto& self = *static_cast<XmlStringArrayReader*>(data);
        if (self.inString) self.out.back().append(text, length);
    }
    void refuse(GError** error, std::string why) {
        reason = std::move(why);
        g_set_error_literal(error, G_MARKUP_ERROR, G_MARKUP_ERROR_INVALID_CONTENT, reason.c_str());
    }

    std::optional<StringArray> read(const std::string& bytes) {
        static const GMarkupParser parser{&start, &end, &text, nullptr, nullptr};
        GMarkupParseContext* context =
            g_markup_parse_context_new(&parser, G_MARKUP_PREFIX_ERROR_POSITION, this, nullptr);
        GError* error = nullptr;
        bool ok =
            g_markup_parse_context_parse(context, bytes.data(), static_cast<gssize>(bytes.size()), &error) &&
            g_markup_parse_context_end_parse(context, &error);
        g_markup_parse_context_free(context);
        if (error) g_error_free(error);
        if (!ok || !rootSeen) {
            if (reason.empty()) reason = "it is not a property list, or is cut short";
            return std::nullopt;
        }
        return std::move(out);
    }
};

} // namespace

std::optional<StringArray> readStringArrayPlist(const std::string& path, std::string* why) {
    auto fail = [&](std::string reason) -> std::optional<StringArray> {
        if (why) *why = std::move(reason);
        return std::nullopt;
    };
    auto bytes = NSFileManager::defaultManager().contentsAtPath(path);
    if (!bytes) return fail("it is missing or cannot be read");
    if (bytes->empty()) return fail("it is empty");
    if (bytes->size() > UINT32_MAX) return fail("it is too large");
    // Binary lists, and XML ones with control characters in their strings (which libplist writes
    // as they are and XML does not allow), are read by libplist.
    auto control = [](char c) {
        return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r';
    };
    if (bytes->compare(0, 6, "bplist") != 0 && std::none_of(bytes->begin(), bytes->end(), control)) {
        XmlStringArrayReader reader;
        auto entries = reader.read(*bytes);
        if (!entries) return fail(reader.reason);
        return entries;
    }
    plist_t raw = nullptr;
    plist_from_memory(bytes->data(), static_cast<uint32_t>(bytes->size()), &raw);
    Plist root(raw);
    if (!root) return fail("it is not a property list, or is cut short");
    if (plist_get_node_type(root.get()) != PLIST_ARRAY)
        return fail(std::string("it holds ") + nodeKind(plist_get_node_type(root.get())) +
                    ", not an array of strings");
    StringArray out;
    uint32_t count = plist_array_get_size(root.get());
    out.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        plist_t item = plist_array_get_item(root.get(), i);
        if (plist_get_node_type(item) != PLIST_STRING)
            return fail("its element " + std::to_string(i) + " is " + nodeKind(plist_get_node_type(item)) +
                        ", not a string");
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
    // Written here rather than by libplist, whose writer grows its buffer a little at a time and
    // took minutes over a long entry; the bytes are the ones libplist writes.
    std::size_t size = 256;
    for (const auto& s : array)
        size += s.size() + s.size() / 8 + 20;
    std::string bytes;
    bytes.reserve(size);
    bytes += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
             "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
             "<plist version=\"1.0\">\n";
    if (array.empty()) {
        bytes += "<array/>\n";
    } else {
        bytes += "<array>\n";
        for (const auto& s : array) {
            bytes += "\t<string>";
            for (char c : s) {
                switch (c) {
                case '&':
                    bytes += "&amp;";
                    break;
                case '<':
                    bytes += "&lt;";
                    break;
                case '>':
                    bytes += "&gt;";
                    break;
                default:
                    bytes += c;
                }
            }
            bytes += "</string>\n";
        }
        bytes += "</array>\n";
    }
    bytes += "</plist>\n";
    auto failure = NSFileManager::defaultManager().writeAtomically(path, bytes);
    if (failure && error) *error = *failure;
    return !failure;
}

} // namespace platform
