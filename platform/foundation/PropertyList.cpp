#include "platform/foundation/PropertyList.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <glib.h>
#include <plist/plist.h>

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/RegularFile.h"

namespace platform {

namespace {
struct PlistFree {
    void operator()(void* node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistFree>;

const char* const kNotAPlist = "it is not a property list, or is cut short";

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

bool xmlChar(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

void appendUtf8(std::string& out, std::uint32_t c) {
    char buf[6];
    out.append(buf, static_cast<std::size_t>(g_unichar_to_utf8(c, buf)));
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// The document as UTF-8, whatever encoding XML allowed it to be written in: a byte-order mark,
// UTF-16 with or without one, or the encoding its declaration names. None, with `why`, when it
// cannot be converted.
std::optional<std::string> utf8Document(std::string_view bytes, std::string& why) {
    auto convert = [&](std::string_view text, const char* from) -> std::optional<std::string> {
        gsize written = 0;
        GError* error = nullptr;
        gchar* out = g_convert(text.data(), static_cast<gssize>(text.size()), "UTF-8", from, nullptr,
                               &written, &error);
        if (!out) {
            if (error) g_error_free(error);
            why = std::string("it is not text in ") + from;
            return std::nullopt;
        }
        std::string result(out, written);
        g_free(out);
        return result;
    };
    if (startsWith(bytes, "\xEF\xBB\xBF")) return std::string(bytes.substr(3));
    if (startsWith(bytes, "\xFF\xFE")) return convert(bytes.substr(2), "UTF-16LE");
    if (startsWith(bytes, "\xFE\xFF")) return convert(bytes.substr(2), "UTF-16BE");
    if (startsWith(bytes, std::string_view("<\0?\0", 4))) return convert(bytes, "UTF-16LE");
    if (startsWith(bytes, std::string_view("\0<\0?", 4))) return convert(bytes, "UTF-16BE");
    if (startsWith(bytes, "<?xml")) {
        auto end = bytes.find("?>");
        auto declaration = bytes.substr(0, end);
        auto at = declaration.find("encoding");
        if (at != std::string_view::npos) {
            auto quote = declaration.find_first_of("\"'", at);
            auto close =
                quote == std::string_view::npos ? quote : declaration.find(declaration[quote], quote + 1);
            if (close != std::string_view::npos) {
                std::string name(declaration.substr(quote + 1, close - quote - 1));
                std::string lower = name;
                std::transform(lower.begin(), lower.end(), lower.begin(),
                               [](unsigned char c) { return static_cast<char>(g_ascii_tolower(c)); });
                if (lower != "utf-8" && lower != "utf8" && lower != "us-ascii" && lower != "ascii") {
                    if (lower.rfind("utf-16", 0) == 0) {
                        why = "it says it is UTF-16 but is not";
                        return std::nullopt;
                    }
                    return convert(bytes, name.c_str());
                }
            }
        }
    }
    return std::string(bytes);
}

// Walks an XML document one piece at a time, without recursion, decoding entities, character
// references and CDATA sections and normalising line ends as XML does.
class XmlScanner {
public:
    enum class Kind { start, end, text, done, error };
    struct Event {
        Kind kind = Kind::done;
        std::string_view name;
        bool selfClosing = false;
        std::string text;
    };

    explicit XmlScanner(std::string_view doc) : doc_(doc) {}

    // Whether the last error came from the document ending inside a piece.
    bool cutShort = false;

    Event next() {
        for (;;) {
            Event e;
            if (pos_ >= doc_.size()) return e;
            if (doc_[pos_] != '<') {
                auto end = std::min(doc_.find('<', pos_), doc_.size());
                e.kind = decodeText(doc_.substr(pos_, end - pos_), e.text) ? Kind::text : Kind::error;
                pos_ = end;
                return e;
            }
            auto rest = doc_.substr(pos_);
            if (startsWith(rest, "<!--")) {
                if (!skipPast("-->", 4)) return error(true);
                continue;
            }
            if (startsWith(rest, "<![CDATA[")) {
                auto end = doc_.find("]]>", pos_ + 9);
                if (end == std::string_view::npos) return error(true);
                normaliseLineEnds(doc_.substr(pos_ + 9, end - pos_ - 9), e.text);
                pos_ = end + 3;
                e.kind = Kind::text;
                return e;
            }
            if (startsWith(rest, "<?")) {
                if (!skipPast("?>", 2)) return error(true);
                continue;
            }
            if (startsWith(rest, "<!")) {
                // A declaration, its internal subset in brackets.
                int brackets = 0;
                char quote = 0;
                std::size_t i = pos_ + 2;
                for (; i < doc_.size(); ++i) {
                    char c = doc_[i];
                    if (quote) {
                        if (c == quote) quote = 0;
                    } else if (c == '"' || c == '\'') {
                        quote = c;
                    } else if (c == '[') {
                        ++brackets;
                    } else if (c == ']') {
                        --brackets;
                    } else if (c == '>' && brackets <= 0) {
                        break;
                    }
                }
                if (i >= doc_.size()) return error(true);
                pos_ = i + 1;
                continue;
            }
            bool closing = startsWith(rest, "</");
            std::size_t nameStart = pos_ + (closing ? 2 : 1);
            std::size_t i = nameStart;
            while (i < doc_.size() && !g_ascii_isspace(doc_[i]) && doc_[i] != '/' && doc_[i] != '>')
                ++i;
            if (i >= doc_.size()) return error(true);
            e.name = doc_.substr(nameStart, i - nameStart);
            if (e.name.empty()) return error(false);
            char quote = 0;
            for (; i < doc_.size(); ++i) {
                char c = doc_[i];
                if (quote) {
                    if (c == quote) quote = 0;
                } else if (c == '"' || c == '\'') {
                    if (closing) return error(false);
                    quote = c;
                } else if (c == '>') {
                    break;
                } else if (c == '<') {
                    return error(false);
                }
            }
            if (i >= doc_.size()) return error(true);
            e.kind = closing ? Kind::end : Kind::start;
            e.selfClosing = !closing && doc_[i - 1] == '/';
            pos_ = i + 1;
            return e;
        }
    }

private:
    Event error(bool atEnd) {
        cutShort = atEnd;
        pos_ = doc_.size();
        Event e;
        e.kind = Kind::error;
        return e;
    }
    bool skipPast(std::string_view end, std::size_t from) {
        auto at = doc_.find(end, pos_ + from);
        if (at == std::string_view::npos) return false;
        pos_ = at + end.size();
        return true;
    }
    static void normaliseLineEnds(std::string_view text, std::string& out) {
        out.reserve(out.size() + text.size());
        for (std::size_t i = 0; i < text.size();) {
            auto cr = std::min(text.find('\r', i), text.size());
            out.append(text.data() + i, cr - i);
            if (cr == text.size()) break;
            out += '\n';
            i = cr + 1;
            if (i < text.size() && text[i] == '\n') ++i;
        }
    }
    bool decodeText(std::string_view text, std::string& out) {
        out.reserve(text.size());
        for (std::size_t i = 0; i < text.size();) {
            auto amp = text.find('&', i);
            normaliseLineEnds(text.substr(i, std::min(amp, text.size()) - i), out);
            if (amp == std::string_view::npos) break;
            auto semi = text.find(';', amp);
            if (semi == std::string_view::npos || semi - amp > 12) return false;
            auto name = text.substr(amp + 1, semi - amp - 1);
            if (name == "amp") {
                out += '&';
            } else if (name == "lt") {
                out += '<';
            } else if (name == "gt") {
                out += '>';
            } else if (name == "quot") {
                out += '"';
            } else if (name == "apos") {
                out += '\'';
            } else if (name.size() >= 2 && name[0] == '#') {
                bool hex = name[1] == 'x';
                auto digits = name.substr(hex ? 2 : 1);
                if (digits.empty()) return false;
                std::uint32_t c = 0;
                for (char d : digits) {
                    int v = hex ? g_ascii_xdigit_value(d) : g_ascii_digit_value(d);
                    if (v < 0 || c > 0x10FFFF) return false;
                    c = c * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
                }
                if (!xmlChar(c)) return false;
                appendUtf8(out, c);
            } else {
                return false;
            }
            i = semi + 1;
        }
        return true;
    }

    std::string_view doc_;
    std::size_t pos_ = 0;
};

bool blank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return g_ascii_isspace(c); });
}

// Reads an XML property list that should be an array of strings, in one pass.
StringArrayPlistRead readXmlStringArray(std::string_view doc) {
    StringArrayPlistRead result;
    StringArray out;
    std::size_t complete = 0;
    bool rootSeen = false, plistSeen = false, rootIsArray = false, inString = false;
    std::vector<std::string_view> open;
    XmlScanner scanner(doc);
    auto fail = [&](std::string why, bool damaged) {
        result.why = std::move(why);
        if (damaged && rootIsArray) result.salvaged.assign(out.begin(), out.begin() + complete);
        return result;
    };
    for (;;) {
        auto e = scanner.next();
        switch (e.kind) {
        case XmlScanner::Kind::done:
            if (!open.empty() || !rootSeen) return fail(kNotAPlist, true);
            out.resize(complete);
            result.entries = std::move(out);
            return result;
        case XmlScanner::Kind::error:
            return fail(kNotAPlist, true);
        case XmlScanner::Kind::text:
            if (inString)
                out.back() += e.text;
            else if (!blank(e.text))
                return fail(kNotAPlist, true);
            break;
        case XmlScanner::Kind::start: {
            open.push_back(e.name);
            const std::size_t depth = open.size();
            if (depth == 1) {
                if (e.name != "plist" || plistSeen) return fail(kNotAPlist, true);
                plistSeen = true;
            } else if (depth == 2) {
                if (rootSeen) return fail(kNotAPlist, true);
                rootSeen = true;
                rootIsArray = e.name == "array";
                if (!rootIsArray)
                    return fail(std::string("it holds ") + elementKind(e.name) + ", not an array of strings",
                                false);
            } else if (depth == 3) {
                if (e.name != "string")
                    return fail("its element " + std::to_string(out.size()) + " is " + elementKind(e.name) +
                                    ", not a string",
                                false);
                out.emplace_back();
                inString = true;
            } else {
                return fail(kNotAPlist, true);
            }
            if (!e.selfClosing) break;
            [[fallthrough]];
        }
        case XmlScanner::Kind::end:
            if (open.empty() || open.back() != e.name) return fail(kNotAPlist, true);
            if (open.size() == 3) {
                inString = false;
                ++complete;
            }
            open.pop_back();
            break;
        }
    }
}

StringArrayPlistRead readBinaryStringArray(std::string_view bytes) {
    StringArrayPlistRead result;
    if (auto problem = plistNestingProblem(bytes)) {
        result.why = *problem;
        return result;
    }
    plist_t raw = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &raw);
    Plist root(raw);
    if (!root) {
        result.why = kNotAPlist;
        return result;
    }
    if (plist_get_node_type(root.get()) != PLIST_ARRAY) {
        result.why = std::string("it holds ") + nodeKind(plist_get_node_type(root.get())) +
                     ", not an array of strings";
        return result;
    }
    StringArray out;
    uint32_t count = plist_array_get_size(root.get());
    out.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        plist_t item = plist_array_get_item(root.get(), i);
        if (plist_get_node_type(item) != PLIST_STRING) {
            result.why = "its element " + std::to_string(i) + " is " + nodeKind(plist_get_node_type(item)) +
                         ", not a string";
            return result;
        }
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(item, &length);
        out.emplace_back(text ? text : "", text ? length : 0);
    }
    result.entries = std::move(out);
    return result;
}

std::uint64_t bigEndian(const unsigned char* p, std::size_t n) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

// How deep a binary property list nests, walked with a stack of our own.
std::optional<std::string> binaryNestingProblem(std::string_view bytes, int maxDepth) {
    const std::string malformed = kNotAPlist;
    if (bytes.size() < 8 + 32) return malformed;
    auto data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t tableEnd = bytes.size() - 32;
    const unsigned char* trailer = data + tableEnd;
    const std::size_t offsetSize = trailer[6], refSize = trailer[7];
    const std::uint64_t count = bigEndian(trailer + 8, 8), top = bigEndian(trailer + 16, 8),
                        table = bigEndian(trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8 || count == 0 || count > tableEnd ||
        top >= count || table > tableEnd || (tableEnd - table) / offsetSize < count)
        return malformed;
    auto offsetOf = [&](std::uint64_t object) {
        return bigEndian(data + table + object * offsetSize, offsetSize);
    };
    // Each object is reached once per reference that leads to it; a list whose references fan
    // out unfolds into far more objects than it holds, and the library would build them all.
    const std::uint64_t budget = count * 4 + 1024;
    std::uint64_t visits = 0;
    std::vector<std::pair<std::uint64_t, int>> stack{{top, 1}};
    while (!stack.empty()) {
        auto [object, depth] = stack.back();
        stack.pop_back();
        if (depth > maxDepth) return "it is nested deeper than " + std::to_string(maxDepth) + " levels";
        if (++visits > budget) return std::string("its objects refer to each other over and over");
        const std::uint64_t at = offsetOf(object);
        if (at >= tableEnd) return malformed;
        const unsigned type = data[at] >> 4;
        if (type != 0xA && type != 0xC && type != 0xD) continue;
        std::uint64_t items = data[at] & 0xF;
        std::uint64_t p = at + 1;
        if (items == 0xF) {
            if (p >= tableEnd || (data[p] >> 4) != 1 || (data[p] & 0xF) > 3) return malformed;
            const std::size_t n = std::size_t(1) << (data[p] & 0xF);
            if (p + 1 + n > tableEnd) return malformed;
            items = bigEndian(data + p + 1, n);
            p += 1 + n;
        }
        const std::uint64_t refs = type == 0xD ? items * 2 : items;
        if (refs > (tableEnd - p) / refSize) return malformed;
        for (std::uint64_t i = 0; i < refs; ++i) {
            std::uint64_t child = bigEndian(data + p + i * refSize, refSize);
            if (child >= count) return malformed;
            stack.emplace_back(child, depth + 1);
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> plistNestingProblem(std::string_view bytes, int maxDepth) {
    if (startsWith(bytes, "bplist")) return binaryNestingProblem(bytes, maxDepth);
    std::string why;
    auto doc = utf8Document(bytes, why);
    if (!doc) return why;
    XmlScanner scanner(*doc);
    int depth = 0;
    for (;;) {
        auto e = scanner.next();
        switch (e.kind) {
        case XmlScanner::Kind::done:
            return std::nullopt;
        case XmlScanner::Kind::error:
            return std::string(kNotAPlist);
        case XmlScanner::Kind::start:
            if (!e.selfClosing && ++depth > maxDepth)
                return "it is nested deeper than " + std::to_string(maxDepth) + " levels";
            break;
        case XmlScanner::Kind::end:
            --depth;
            break;
        case XmlScanner::Kind::text:
            break;
        }
    }
}

StringArrayPlistRead parseStringArrayPlist(std::string_view bytes) {
    if (bytes.empty()) {
        StringArrayPlistRead result;
        result.why = "it is empty";
        return result;
    }
    if (startsWith(bytes, "bplist")) {
        if (bytes.size() > UINT32_MAX) {
            StringArrayPlistRead result;
            result.why = "it is too large";
            return result;
        }
        return readBinaryStringArray(bytes);
    }
    StringArrayPlistRead result;
    auto doc = utf8Document(bytes, result.why);
    if (!doc) return result;
    // Bytes that are no text (the zeros a crash leaves, a torn write) end what can be read.
    const char* end = nullptr;
    if (!g_utf8_validate_len(doc->data(), doc->size(), &end)) {
        const auto good = static_cast<std::size_t>(end - doc->data());
        auto prefix = readXmlStringArray(std::string_view(*doc).substr(0, good));
        if (prefix.entries) prefix.salvaged = std::move(*prefix.entries);
        prefix.entries.reset();
        if (prefix.why.empty() || prefix.why == kNotAPlist)
            prefix.why = "it holds bytes that are not text from byte " + std::to_string(good) + " on";
        return prefix;
    }
    return readXmlStringArray(*doc);
}

StringArrayPlistRead readStringArrayPlistFile(const std::string& path) {
    auto contents = RegularFile::read(path, kMaxListFileLength);
    if (!contents.bytes) {
        StringArrayPlistRead result;
        result.missing = contents.missing;
        result.why = "it " + contents.why;
        return result;
    }
    return parseStringArrayPlist(*contents.bytes);
}

std::optional<StringArray> readStringArrayPlist(const std::string& path, std::string* why) {
    auto read = readStringArrayPlistFile(path);
    if (!read.entries && why) *why = read.why;
    return std::move(read.entries);
}

std::optional<std::string> xmlEscaped(std::string_view text, std::string* why) {
    auto refuse = [&](std::string reason) -> std::optional<std::string> {
        if (why) *why = std::move(reason);
        return std::nullopt;
    };
    const char* end = nullptr;
    if (!g_utf8_validate_len(text.data(), text.size(), &end)) {
        if (static_cast<std::size_t>(end - text.data()) < text.size() && *end == '\0')
            return refuse("it holds a NUL character");
        return refuse("it holds bytes that are not UTF-8 text");
    }
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t plain = 0; // where the run of bytes copied as they are starts
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '&' && c != '<' && c != '>' && c != 0xEF) continue;
        if (c == '\t' || c == '\n') continue;
        out.append(text.data() + plain, i - plain);
        plain = i + 1;
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '\r':
            // Kept as it is: a raw one would be read back as a line feed.
            out += "&#13;";
            break;
        case 0xEF:
            // U+FFFE and U+FFFF are no characters XML carries.
            if (i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
                (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE)
                return refuse("it holds the non-character U+FFF" +
                              std::string(1, text[i + 2] == '\xBE' ? 'E' : 'F'));
            out += static_cast<char>(c);
            break;
        default: {
            char code[8];
            std::snprintf(code, sizeof code, "U+%04X", c);
            return refuse(std::string("it holds the control character ") + code);
        }
        }
    }
    out.append(text.data() + plain, text.size() - plain);
    return out;
}

bool writeStringArrayPlist(const std::string& path, const StringArray& array, NSError* error) {
    // Written here rather than by libplist, whose writer grows its buffer a little at a time and
    // took minutes over a long entry, and writes control characters XML does not allow; the bytes
    // are the ones libplist writes for any list it writes validly.
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
        for (std::size_t i = 0; i < array.size(); ++i) {
            std::string why;
            auto text = xmlEscaped(array[i], &why);
            if (!text) {
                if (error)
                    *error = {NSCocoaErrorDomain, NSFileWriteUnknownError,
                              "Entry " + std::to_string(i + 1) + " cannot be saved: " + why};
                return false;
            }
            bytes += "\t<string>";
            bytes += *text;
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
