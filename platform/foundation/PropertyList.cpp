#include "platform/foundation/PropertyList.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <unordered_map>
#include <utility>

#include <glib.h>
#include <sys/mman.h>
#include <unistd.h>

#include "platform/foundation/Console.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/RegularFile.h"

namespace platform {

namespace {

const char* const kNotAPlist = "it is not a property list, or is cut short";
const char* const kReplacement = "\xEF\xBF\xBD"; // U+FFFD
const char* const kNoMemoryToRead = "there is not enough memory to read it";
const char* const kNoMemoryToSave = "there is not enough memory to save it";

std::string nestedTooDeeply(int maxDepth) {
    return "it is nested deeper than " + std::to_string(maxDepth) + " levels";
}

std::string tooCostly() {
    return "it refers to its objects so often that reading it would take more than " +
           std::to_string(kReadCostFactor) + " times its size";
}

// What a read of a file may still build. Each value is charged as it is built, before its text
// is copied, so a file that would take more is refused having built little of it.
class ReadBudget {
public:
    explicit ReadBudget(std::size_t fileSize)
        : left_(std::uint64_t(fileSize) * kReadCostFactor + kReadCostAllowance) {}

    // False, and spent for good, when fewer than `bytes` are left.
    bool take(std::uint64_t bytes) {
        if (spent_ || bytes > left_) {
            spent_ = true;
            return false;
        }
        left_ -= bytes;
        return true;
    }
    bool spent() const { return spent_; }

private:
    std::uint64_t left_;
    bool spent_ = false;
};

// A value of its own, and the text it holds.
constexpr std::size_t kValueCost = sizeof(PlistValue);

const char* valueKind(const PlistValue& v) {
    switch (v.value.index()) {
    case 0:
        return "a string";
    case 1:
    case 2:
        return "a number";
    case 3:
        return "a Boolean";
    case 4:
        return "a date";
    case 5:
        return "data";
    case 6:
        return "an array";
    default:
        return "a dictionary";
    }
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

// UTF-16 text as UTF-8. A lone surrogate, or a last byte without its pair, reads U+FFFD and
// is counted in `replaced`.
std::string fromUtf16(std::string_view bytes, bool little, std::size_t& replaced) {
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](std::size_t i) -> std::uint32_t {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return little ? (a | (b << 8)) : ((a << 8) | b);
    };
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        std::uint32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
            const std::uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF) {
            out += kReplacement;
            ++replaced;
            continue;
        }
        appendUtf8(out, c);
    }
    if (i < bytes.size()) {
        out += kReplacement;
        ++replaced;
    }
    return out;
}

// The document as UTF-8, whatever encoding XML allowed it to be written in: a byte-order mark,
// UTF-16 with or without one, or the encoding its declaration names. `converted` holds it when
// it had to be converted; the view is into `bytes` otherwise. None, with `why`, when it cannot be
// converted.
std::optional<std::string_view> utf8Document(std::string_view bytes, std::string& converted, std::string& why,
                                             std::size_t& replaced) {
    auto utf16 = [&](std::string_view text, bool little) -> std::optional<std::string_view> {
        converted = fromUtf16(text, little, replaced);
        return converted;
    };
    if (startsWith(bytes, "\xEF\xBB\xBF")) return bytes.substr(3);
    if (startsWith(bytes, "\xFF\xFE")) return utf16(bytes.substr(2), true);
    if (startsWith(bytes, "\xFE\xFF")) return utf16(bytes.substr(2), false);
    if (startsWith(bytes, std::string_view("<\0?\0", 4))) return utf16(bytes, true);
    if (startsWith(bytes, std::string_view("\0<\0?", 4))) return utf16(bytes, false);
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
                    gsize written = 0;
                    GError* error = nullptr;
                    gchar* out = g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8",
                                           name.c_str(), nullptr, &written, &error);
                    if (!out) {
                        if (error) g_error_free(error);
                        why = "it is not text in " + name;
                        return std::nullopt;
                    }
                    converted.assign(out, written);
                    g_free(out);
                    return converted;
                }
            }
        }
    }
    return bytes;
}

// The length of the UTF-8 sequence that starts at `p` (at most `left` bytes), as GLib validates
// it: no NUL, no overlong form, no surrogate, nothing above U+10FFFF. 0 when there is none.
std::size_t utf8SequenceLength(const unsigned char* p, std::size_t left) {
    const unsigned char c = p[0];
    if (c < 0x80) return c != 0;
    auto continuation = [&](std::size_t k, unsigned char low = 0x80, unsigned char high = 0xBF) {
        return k < left && p[k] >= low && p[k] <= high;
    };
    if (c >= 0xC2 && c <= 0xDF) return continuation(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const bool second = c == 0xE0   ? continuation(1, 0xA0)
                            : c == 0xED ? continuation(1, 0x80, 0x9F)
                                        : continuation(1);
        return second && continuation(2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const bool second = c == 0xF0   ? continuation(1, 0x90)
                            : c == 0xF4 ? continuation(1, 0x80, 0x8F)
                                        : continuation(1);
        return second && continuation(2) && continuation(3) ? 4 : 0;
    }
    return 0;
}

// Whether the eight bytes at `p` are all printable ASCII (0x20 to 0x7F): most of a dictated text,
// stepped over a word at a time.
bool printableAsciiWord(const unsigned char* p, std::uint64_t& word) {
    constexpr std::uint64_t ones = 0x0101010101010101, high = 0x8080808080808080;
    std::memcpy(&word, p, sizeof word);
    // A byte below 0x20 borrows into its high bit; one at 0x80 or above has it already.
    return ((word | ((word - ones * 0x20) & ~word)) & high) == 0;
}

// Whether one of the bytes of `word` (all below 0x80) is `c`.
bool holdsByte(std::uint64_t word, unsigned char c) {
    constexpr std::uint64_t ones = 0x0101010101010101, high = 0x8080808080808080;
    const std::uint64_t x = word ^ (ones * c);
    return ((x - ones) & ~x & high) != 0;
}

bool nonCharacterAt(const unsigned char* p, std::size_t left) {
    // U+FFFE and U+FFFF are no characters.
    return left >= 3 && p[0] == 0xEF && p[1] == 0xBF && (p[2] & 0xFE) == 0xBE;
}

// Where `text` first holds what a property list cannot carry; npos when nowhere. One pass checks
// the UTF-8 and the characters together.
std::size_t firstUnstorable(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < n;) {
        if (n - i >= 8 && printableAsciiWord(p + i, word)) {
            i += 8;
            continue;
        }
        const unsigned char c = p[i];
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return i;
            ++i;
            continue;
        }
        const std::size_t length = utf8SequenceLength(p + i, n - i);
        if (length == 0 || nonCharacterAt(p + i, n - i)) return i;
        i += length;
    }
    return std::string_view::npos;
}

// `text` cleaned into `out` when it holds anything to clean (returning the view of `out`),
// else `text` itself.
std::string_view cleaned(std::string_view text, std::string& out, std::size_t& replaced) {
    std::size_t at = firstUnstorable(text);
    if (at == std::string_view::npos) return text;
    out.clear();
    out.reserve(text.size() + 16);
    std::size_t i = 0;
    while (at != std::string_view::npos) {
        out.append(text.data() + i, at);
        i += at;
        const auto c = static_cast<unsigned char>(text[i]);
        // A control character, a non-character (three bytes), or one byte of what is no UTF-8.
        i += c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
                     (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE
                 ? 3
                 : 1;
        out += kReplacement;
        ++replaced;
        at = firstUnstorable(text.substr(i));
    }
    out.append(text.data() + i, text.size() - i);
    return out;
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

    // `releaseRead`: the document's memory is the scanner's to give back to the system as it is
    // read, so that a long list is not held twice, as its file and as its entries, at the end
    // of its read. What it gave back reads as zeros; a piece handed out stays readable until
    // the next is asked for.
    explicit XmlScanner(std::string_view doc, bool releaseRead = false)
        : doc_(doc), releaseRead_(releaseRead) {}

    // Whether the last error came from the document ending inside a piece.
    bool cutShort = false;
    // Character references to what XML cannot carry, read as U+FFFD.
    std::size_t replaced = 0;

    Event next() {
        if (releaseRead_) releaseReadPages();
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
    void releaseReadPages() {
        static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        const auto base = reinterpret_cast<std::uintptr_t>(doc_.data());
        const std::uintptr_t from = (base + released_ + page - 1) / page * page;
        const std::uintptr_t to = (base + pos_) / page * page;
        // A few megabytes at a time: a call per piece would cost more than the memory.
        if (to < from + (std::uintptr_t(4) << 20)) return;
        if (::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED) == 0) released_ = to - base;
    }

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
                if (xmlChar(c)) {
                    appendUtf8(out, c);
                } else {
                    // What XML cannot carry (a NUL, a control character) is no text to keep.
                    out += kReplacement;
                    ++replaced;
                }
            } else {
                return false;
            }
            i = semi + 1;
        }
        return true;
    }

    std::string_view doc_;
    std::size_t pos_ = 0;
    bool releaseRead_ = false;
    std::size_t released_ = 0;
};

bool blankText(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return g_ascii_isspace(c); });
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && g_ascii_isspace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && g_ascii_isspace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool isContainer(const PlistValue& v) {
    return std::holds_alternative<PlistValue::Array>(v.value) ||
           std::holds_alternative<PlistValue::Dictionary>(v.value);
}

// A key given twice keeps its first place and its last value, as a store of settings would.
// `count` counts the keys so given, `firstKey` names the first of them.
void dropRepeatedKeys(PlistValue::Dictionary& d, std::size_t& count, std::string& firstKey) {
    if (d.keys.size() < 2) return;
    std::unordered_map<std::string_view, std::size_t> first;
    first.reserve(d.keys.size());
    std::vector<bool> repeatedAt(d.keys.size());
    bool repeated = false;
    for (std::size_t i = 0; i < d.keys.size(); ++i) {
        auto [it, inserted] = first.emplace(d.keys[i], i);
        if (!inserted) {
            repeated = true;
            if (!repeatedAt[it->second]) {
                repeatedAt[it->second] = true;
                if (count++ == 0) firstKey = d.keys[i];
            }
            d.values[it->second] = std::move(d.values[i]);
        }
    }
    if (!repeated) return;
    std::vector<bool> kept(d.keys.size());
    for (std::size_t i = 0; i < d.keys.size(); ++i)
        kept[i] = first.at(d.keys[i]) == i;
    std::vector<std::string> keys;
    std::vector<PlistValue> values;
    for (std::size_t i = 0; i < d.keys.size(); ++i) {
        if (!kept[i]) continue;
        values.push_back(std::move(d.values[i]));
        keys.push_back(std::move(d.keys[i]));
    }
    d.keys = std::move(keys);
    d.values = std::move(values);
}

std::optional<NSInteger> integerText(std::string_view text) {
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::uint64_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    // Above the largest signed value, as libplist keeps it: the same 64 bits.
    return negative ? static_cast<NSInteger>(0 - v) : static_cast<NSInteger>(v);
}

std::optional<double> realText(std::string_view text) {
    text = trimmed(text);
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(g_ascii_tolower(c)); });
    if (lower == "+infinity" || lower == "infinity" || lower == "+inf" || lower == "inf")
        return std::numeric_limits<double>::infinity();
    if (lower == "-infinity" || lower == "-inf") return -std::numeric_limits<double>::infinity();
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || end != text.data() + text.size()) return std::nullopt;
    if (ec == std::errc::result_out_of_range) return std::strtod(std::string(text).c_str(), nullptr);
    if (ec != std::errc()) return std::nullopt;
    return v;
}

std::optional<std::string> base64Text(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (char c : text) {
        if (g_ascii_isspace(c)) continue;
        if (!g_ascii_isalnum(c) && c != '+' && c != '/' && c != '=') return std::nullopt;
        compact += c;
    }
    std::string out((compact.size() / 4 + 1) * 3, '\0');
    gint state = 0;
    guint save = 0;
    const gsize n = g_base64_decode_step(compact.data(), compact.size(),
                                         reinterpret_cast<guchar*>(out.data()), &state, &save);
    out.resize(n);
    return out;
}

// The elements a property list is made of.
enum class Element { plist, key, string, integer, real, yes, no, date, data, array, dict, unknown };

Element elementNamed(std::string_view name) {
    static const std::pair<std::string_view, Element> names[] = {
        {"plist", Element::plist},     {"key", Element::key},   {"string", Element::string},
        {"integer", Element::integer}, {"real", Element::real}, {"true", Element::yes},
        {"false", Element::no},        {"date", Element::date}, {"data", Element::data},
        {"array", Element::array},     {"dict", Element::dict}};
    for (auto& [n, e] : names)
        if (n == name) return e;
    return Element::unknown;
}

// Reads an XML property list in one pass, with a stack of its own: no depth of the document
// reaches the program's stack.
PlistRead readXmlPlist(XmlScanner& scanner, ReadBudget& budget) {
    struct Frame {
        Element element;
        PlistValue value;               // an array or a dictionary being filled
        std::string text;               // a leaf's text
        std::optional<std::string> key; // a dictionary's key waiting for its value
    };
    PlistRead result;
    std::vector<Frame> open;
    std::optional<PlistValue> root;
    bool plistSeen = false;
    auto fail = [&](std::string why) {
        result.why = std::move(why);
        if (root && isContainer(*root)) {
            result.salvaged = std::move(root);
        } else if (open.size() >= 2 && isContainer(open[1].value)) {
            if (auto* d = std::get_if<PlistValue::Dictionary>(&open[1].value.value))
                dropRepeatedKeys(*d, result.repeatedKeys, result.repeatedKey);
            result.salvaged = std::move(open[1].value);
        }
        return std::move(result);
    };
    for (;;) {
        auto e = scanner.next();
        switch (e.kind) {
        case XmlScanner::Kind::done:
            if (!open.empty() || !root) return fail(kNotAPlist);
            result.root = std::move(root);
            return result;
        case XmlScanner::Kind::error:
            return fail(kNotAPlist);
        case XmlScanner::Kind::text:
            if (!open.empty() && !isContainer(open.back().value) && open.back().element != Element::plist) {
                // A string's text usually comes in one piece: taken, not copied.
                auto& text = open.back().text;
                if (text.empty())
                    text = std::move(e.text);
                else
                    text += e.text;
            } else if (!blankText(e.text))
                return fail(kNotAPlist);
            break;
        case XmlScanner::Kind::start: {
            const Element element = elementNamed(e.name);
            if (open.empty()) {
                if (element != Element::plist || plistSeen) return fail(kNotAPlist);
                plistSeen = true;
            } else {
                const Frame& parent = open.back();
                if (element == Element::plist || element == Element::unknown) return fail(kNotAPlist);
                switch (parent.element) {
                case Element::plist:
                    if (root || element == Element::key) return fail(kNotAPlist);
                    break;
                case Element::array:
                    if (element == Element::key) return fail(kNotAPlist);
                    break;
                case Element::dict:
                    if ((element == Element::key) == parent.key.has_value()) return fail(kNotAPlist);
                    break;
                default: // nothing nests in a string, a number or any other leaf
                    return fail(kNotAPlist);
                }
                if (static_cast<int>(open.size()) >= kMaxPlistDepth)
                    return fail(nestedTooDeeply(kMaxPlistDepth));
            }
            Frame frame{element, {}, {}, {}};
            if (element == Element::array) frame.value.value = PlistValue::Array{};
            if (element == Element::dict) frame.value.value = PlistValue::Dictionary{};
            open.push_back(std::move(frame));
            if (!e.selfClosing) break;
            [[fallthrough]];
        }
        case XmlScanner::Kind::end: {
            // Names map one to one onto the elements a frame is opened for.
            if (open.empty() || open.back().element != elementNamed(e.name)) return fail(kNotAPlist);
            Frame frame = std::move(open.back());
            open.pop_back();
            if (frame.element == Element::plist) break;
            // An XML file refers to nothing: what it builds stays within its bound. Charged all
            // the same, so that no file escapes the bound.
            auto refuse = [&] {
                PlistRead refused;
                refused.why = tooCostly();
                return refused;
            };
            if (frame.element == Element::key) {
                if (!budget.take(sizeof(std::string) + frame.text.size())) return refuse();
                open.back().key = std::move(frame.text);
                break;
            }
            if (!budget.take(kValueCost + frame.text.size())) return refuse();
            PlistValue value;
            switch (frame.element) {
            case Element::string:
                value.value = std::move(frame.text);
                break;
            case Element::integer:
                if (auto v = integerText(frame.text))
                    value.value = *v;
                else
                    return fail(kNotAPlist);
                break;
            case Element::real:
                if (auto v = realText(frame.text))
                    value.value = *v;
                else
                    return fail(kNotAPlist);
                break;
            case Element::yes:
            case Element::no:
                if (!blankText(frame.text)) return fail(kNotAPlist);
                value.value = frame.element == Element::yes;
                break;
            case Element::date:
                value.value = PlistValue::Date{std::string(trimmed(frame.text))};
                break;
            case Element::data:
                if (auto v = base64Text(frame.text))
                    value.value = PlistValue::Data{std::move(*v)};
                else
                    return fail(kNotAPlist);
                break;
            default:
                if (auto* d = std::get_if<PlistValue::Dictionary>(&frame.value.value))
                    dropRepeatedKeys(*d, result.repeatedKeys, result.repeatedKey);
                value = std::move(frame.value);
            }
            Frame& parent = open.back();
            if (parent.element == Element::plist) {
                root = std::move(value);
            } else if (auto* a = std::get_if<PlistValue::Array>(&parent.value.value)) {
                a->push_back(std::move(value));
            } else {
                auto& d = std::get<PlistValue::Dictionary>(parent.value.value);
                d.keys.push_back(std::move(*parent.key));
                d.values.push_back(std::move(value));
                parent.key.reset();
            }
            break;
        }
        }
    }
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
    // Both bounds are checked as a reference is taken, before it waits on the stack: an array
    // that holds itself K times would otherwise stack K references at each level it is entered.
    const std::uint64_t budget = count * 4 + 1024;
    std::uint64_t visits = 1;
    std::vector<std::pair<std::uint64_t, int>> stack{{top, 1}};
    while (!stack.empty()) {
        auto [object, depth] = stack.back();
        stack.pop_back();
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
        if (refs > 0 && depth >= maxDepth) return nestedTooDeeply(maxDepth);
        for (std::uint64_t i = 0; i < refs; ++i) {
            std::uint64_t child = bigEndian(data + p + i * refSize, refSize);
            if (child >= count) return malformed;
            if (++visits > budget) return std::string("its objects refer to each other over and over");
            stack.emplace_back(child, depth + 1);
        }
    }
    return std::nullopt;
}

// Reads a binary property list whose nesting binaryNestingProblem has found bounded, so that
// following its references recursion stays as shallow as that bound. An object is built once per
// reference to it, each time charged to the file's budget.
class BinaryPlistReader {
public:
    explicit BinaryPlistReader(std::string_view bytes)
        : data_(reinterpret_cast<const unsigned char*>(bytes.data())), tableEnd_(bytes.size() - 32),
          budget_(bytes.size()) {
        const unsigned char* trailer = data_ + tableEnd_;
        offsetSize_ = trailer[6];
        refSize_ = trailer[7];
        count_ = bigEndian(trailer + 8, 8);
        top_ = bigEndian(trailer + 16, 8);
        table_ = bigEndian(trailer + 24, 8);
    }

    PlistRead read() {
        PlistRead result;
        PlistValue root;
        if (object(top_, 1, root)) {
            result.root = std::move(root);
        } else if (budget_.spent()) {
            // What was built is copies of what the file holds, not what stands before damage.
            result.why = tooCostly();
            return result;
        } else {
            result.why = kNotAPlist;
            if (isContainer(root)) result.salvaged = std::move(root);
        }
        result.replaced = replaced_;
        result.repeatedKeys = repeatedKeys_;
        result.repeatedKey = std::move(repeatedKey_);
        return result;
    }

private:
    // The number of items (or bytes) of an object, from its marker's low bits or the integer
    // after it; `p` moves past what was read.
    bool count(unsigned info, std::uint64_t& p, std::uint64_t& n) const {
        if (info != 0xF) {
            n = info;
            return true;
        }
        if (p >= tableEnd_ || (data_[p] >> 4) != 1 || (data_[p] & 0xF) > 3) return false;
        const std::size_t size = std::size_t(1) << (data_[p] & 0xF);
        if (p + 1 + size > tableEnd_) return false;
        n = bigEndian(data_ + p + 1, size);
        p += 1 + size;
        return true;
    }

    bool fits(std::uint64_t p, std::uint64_t n) const { return p <= tableEnd_ && n <= tableEnd_ - p; }

    // The text of `raw`, cleaned; none when it would take more than is left.
    std::optional<std::string> text(std::string_view raw) {
        if (!budget_.take(raw.size())) return std::nullopt;
        std::string out;
        auto view = cleaned(raw, out, replaced_);
        // What cleaning added (U+FFFD takes three bytes where it stands for one).
        if (view.size() > raw.size() && !budget_.take(view.size() - raw.size())) return std::nullopt;
        return view.data() == out.data() ? std::move(out) : std::string(view);
    }

    bool object(std::uint64_t ref, int depth, PlistValue& out) {
        if (ref >= count_ || depth > kMaxPlistDepth || !budget_.take(kValueCost)) return false;
        const std::uint64_t at = bigEndian(data_ + table_ + ref * offsetSize_, offsetSize_);
        if (at >= tableEnd_) return false;
        const unsigned type = data_[at] >> 4, info = data_[at] & 0xF;
        std::uint64_t p = at + 1;
        switch (type) {
        case 0x0:
            if (info != 0x8 && info != 0x9) return false;
            out.value = info == 0x9;
            return true;
        case 0x1: {
            if (info > 4 || !fits(p, std::uint64_t(1) << info)) return false;
            const std::size_t n = std::size_t(1) << info;
            // Sixteen bytes hold a value of 64 bits in their lower half.
            out.value =
                static_cast<NSInteger>(n == 16 ? bigEndian(data_ + p + 8, 8) : bigEndian(data_ + p, n));
            return true;
        }
        case 0x2:
        case 0x3: {
            if ((info != 2 && info != 3) || (type == 0x3 && info != 3) || !fits(p, std::uint64_t(1) << info))
                return false;
            double v;
            if (info == 2) {
                const auto bits = static_cast<std::uint32_t>(bigEndian(data_ + p, 4));
                float f;
                std::memcpy(&f, &bits, 4);
                v = f;
            } else {
                const std::uint64_t bits = bigEndian(data_ + p, 8);
                std::memcpy(&v, &bits, 8);
            }
            if (type == 0x2) {
                out.value = v;
                return true;
            }
            // Seconds since 2001-01-01, the reference date of property lists.
            if (!std::isfinite(v) || std::abs(v) > 1e11) return false;
            GDateTime* when = g_date_time_new_from_unix_utc(978307200 + static_cast<gint64>(std::floor(v)));
            if (!when) return false;
            gchar* formatted = g_date_time_format(when, "%Y-%m-%dT%H:%M:%SZ");
            g_date_time_unref(when);
            if (!formatted) return false;
            out.value = PlistValue::Date{formatted};
            g_free(formatted);
            return true;
        }
        case 0x4:
        case 0x5:
        case 0x6: {
            std::uint64_t n = 0;
            if (!count(info, p, n)) return false;
            const std::uint64_t bytes = type == 0x6 ? n * 2 : n;
            if (n > tableEnd_ || !fits(p, bytes)) return false;
            std::string_view raw(reinterpret_cast<const char*>(data_ + p), bytes);
            if (type == 0x4) {
                if (!budget_.take(raw.size())) return false;
                out.value = PlistValue::Data{std::string(raw)};
                return true;
            }
            // The copy UTF-16 is converted into is charged too.
            if (type == 0x6 && !budget_.take(raw.size())) return false;
            auto decoded = type == 0x5 ? text(raw) : text(fromUtf16(raw, false, replaced_));
            if (!decoded) return false;
            out.value = std::move(*decoded);
            return true;
        }
        case 0x8: {
            // A reference of an archive, written as libplist writes one.
            if (!fits(p, info + 1)) return false;
            PlistValue::Dictionary d;
            d.keys.push_back("CF$UID");
            d.values.push_back(PlistValue{static_cast<NSInteger>(bigEndian(data_ + p, info + 1))});
            out.value = std::move(d);
            return true;
        }
        case 0xA:
        case 0xC:
        case 0xD: {
            std::uint64_t n = 0;
            if (!count(info, p, n)) return false;
            const std::uint64_t refs = type == 0xD ? n * 2 : n;
            if (n > tableEnd_ || refs > (tableEnd_ - std::min(p, tableEnd_)) / refSize_) return false;
            auto refAt = [&](std::uint64_t i) { return bigEndian(data_ + p + i * refSize_, refSize_); };
            if (type != 0xD) {
                out.value = PlistValue::Array{};
                auto& a = std::get<PlistValue::Array>(out.value);
                for (std::uint64_t i = 0; i < n; ++i) {
                    PlistValue item;
                    if (!object(refAt(i), depth + 1, item)) return false;
                    a.push_back(std::move(item));
                }
                return true;
            }
            out.value = PlistValue::Dictionary{};
            auto& d = std::get<PlistValue::Dictionary>(out.value);
            for (std::uint64_t i = 0; i < n; ++i) {
                PlistValue key, item;
                if (!object(refAt(i), depth + 1, key) || !std::holds_alternative<std::string>(key.value) ||
                    !object(refAt(n + i), depth + 1, item)) {
                    dropRepeatedKeys(d, repeatedKeys_, repeatedKey_);
                    return false;
                }
                d.keys.push_back(std::move(std::get<std::string>(key.value)));
                d.values.push_back(std::move(item));
            }
            dropRepeatedKeys(d, repeatedKeys_, repeatedKey_);
            return true;
        }
        default:
            return false;
        }
    }

    const unsigned char* data_;
    std::size_t tableEnd_;
    ReadBudget budget_;
    std::size_t offsetSize_ = 1, refSize_ = 1;
    std::uint64_t count_ = 0, top_ = 0, table_ = 0;
    std::size_t replaced_ = 0;
    std::size_t repeatedKeys_ = 0;
    std::string repeatedKey_;
};

PlistRead readBinaryPlist(std::string_view bytes) {
    if (auto problem = binaryNestingProblem(bytes, kMaxPlistDepth)) {
        PlistRead result;
        result.why = *problem;
        return result;
    }
    return BinaryPlistReader(bytes).read();
}

// Why `text` cannot be the content of an XML element: the first fault in the order a reader
// meets them, bytes that are not UTF-8 before any character.
std::string unwritableReason(std::string_view text) {
    const char* end = nullptr;
    if (!g_utf8_validate_len(text.data(), text.size(), &end)) {
        if (static_cast<std::size_t>(end - text.data()) < text.size() && *end == '\0')
            return "it holds a NUL character";
        return "it holds bytes that are not UTF-8 text";
    }
    const auto at = firstUnstorable(text);
    if (at == std::string_view::npos) fatalError("no fault in a text refused for XML");
    const auto c = static_cast<unsigned char>(text[at]);
    if (c == 0xEF)
        return "it holds the non-character U+FFF" + std::string(1, text[at + 2] == '\xBE' ? 'E' : 'F');
    char code[8];
    std::snprintf(code, sizeof code, "U+%04X", c);
    return std::string("it holds the control character ") + code;
}

// Appends `text` escaped as the content of an XML element, checking it in the same pass; false,
// with `why` set and `out` as it was, when it holds what XML 1.0 cannot carry. Given `replaced`,
// what it cannot carry is written as U+FFFD instead, as `cleaned` replaces it, and counted.
bool appendXmlEscaped(std::string& out, std::string_view text, std::string* why,
                      std::size_t* replaced = nullptr) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size(), mark = out.size();
    std::size_t plain = 0; // where the run of bytes copied as they are starts
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < n;) {
        if (n - i >= 8 && printableAsciiWord(p + i, word) && !holdsByte(word, '&') && !holdsByte(word, '<') &&
            !holdsByte(word, '>')) {
            i += 8;
            continue;
        }
        const unsigned char c = p[i];
        // One byte of what is no UTF-8 or a control character, or a non-character's three.
        auto replace = [&](std::size_t length) {
            out.append(text.data() + plain, i - plain);
            out += kReplacement;
            ++*replaced;
            plain = i += length;
        };
        if (c >= 0x80) {
            const std::size_t length = utf8SequenceLength(p + i, n - i);
            const bool nonCharacter = length != 0 && nonCharacterAt(p + i, n - i);
            if ((length == 0 || nonCharacter) && replaced) {
                replace(nonCharacter ? 3 : 1);
                continue;
            }
            if (length == 0 || nonCharacter) {
                out.resize(mark);
                if (why) *why = unwritableReason(text);
                return false;
            }
            i += length;
            continue;
        }
        if ((c >= 0x20 && c != '&' && c != '<' && c != '>') || c == '\t' || c == '\n') {
            ++i;
            continue;
        }
        const char* escape = c == '&'   ? "&amp;"
                             : c == '<' ? "&lt;"
                             : c == '>' ? "&gt;"
                             // Kept as it is: a raw one would be read back as a line feed.
                             : c == '\r' ? "&#13;"
                                         : nullptr;
        if (!escape && replaced) {
            replace(1);
            continue;
        }
        if (!escape) {
            out.resize(mark);
            if (why) *why = unwritableReason(text);
            return false;
        }
        out.append(text.data() + plain, i - plain);
        out += escape;
        plain = ++i;
    }
    out.append(text.data() + plain, n - plain);
    return true;
}

// Writes XML property lists in the bytes libplist writes.
class XmlPlistWriter {
public:
    explicit XmlPlistWriter(std::size_t reserve) {
        bytes.reserve(reserve + 256);
        bytes += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                 "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                 "<plist version=\"1.0\">\n";
    }

    // A text element; false, with `why`, when the text cannot be carried. Given `replaced`, what
    // cannot be carried is written as U+FFFD and counted there.
    bool text(const char* element, std::string_view text, int depth, std::string& why,
              std::size_t* replaced = nullptr) {
        const auto mark = bytes.size();
        indent(depth);
        bytes += '<';
        bytes += element;
        bytes += '>';
        if (!appendXmlEscaped(bytes, text, &why, replaced)) {
            bytes.resize(mark);
            return false;
        }
        bytes += "</";
        bytes += element;
        bytes += ">\n";
        return true;
    }
    void line(std::string_view markup, int depth) {
        indent(depth);
        bytes += markup;
        bytes += '\n';
    }

    bool value(const PlistValue& v, int depth, std::string& why) {
        return std::visit(
            [&](const auto& x) -> bool {
                using T = std::decay_t<decltype(x)>;
                if constexpr (std::is_same_v<T, std::string>) {
                    return text("string", x, depth, why);
                } else if constexpr (std::is_same_v<T, NSInteger>) {
                    line("<integer>" + std::to_string(x) + "</integer>", depth);
                } else if constexpr (std::is_same_v<T, double>) {
                    line("<real>" + realString(x) + "</real>", depth);
                } else if constexpr (std::is_same_v<T, bool>) {
                    line(x ? "<true/>" : "<false/>", depth);
                } else if constexpr (std::is_same_v<T, PlistValue::Date>) {
                    return text("date", x.text, depth, why);
                } else if constexpr (std::is_same_v<T, PlistValue::Data>) {
                    data(x.bytes, depth);
                } else if constexpr (std::is_same_v<T, PlistValue::Array>) {
                    if (x.empty()) {
                        line("<array/>", depth);
                        return true;
                    }
                    line("<array>", depth);
                    for (const auto& item : x)
                        if (!value(item, depth + 1, why)) return false;
                    line("</array>", depth);
                } else {
                    if (x.keys.empty()) {
                        line("<dict/>", depth);
                        return true;
                    }
                    line("<dict>", depth);
                    for (std::size_t i = 0; i < x.keys.size(); ++i) {
                        if (!text("key", x.keys[i], depth + 1, why) || !value(x.values[i], depth + 1, why)) {
                            if (depth == 0) why = "the value of \u201C" + x.keys[i] + "\u201D " + why;
                            return false;
                        }
                    }
                    line("</dict>", depth);
                }
                return true;
            },
            v.value);
    }

    std::string finish() {
        bytes += "</plist>\n";
        return std::move(bytes);
    }

    std::string bytes;

private:
    void indent(int depth) { bytes.append(static_cast<std::size_t>(depth), '\t'); }

    static std::string realString(double d) {
        if (std::isnan(d)) return "nan";
        if (std::isinf(d)) return d > 0 ? "+infinity" : "-infinity";
        if (d == 0) return "0.0";
        char buf[64];
        auto result = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 17);
        return std::string(buf, result.ptr);
    }

    void data(const std::string& raw, int depth) {
        line("<data>", depth);
        gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>(raw.data()), raw.size());
        const std::string_view all(encoded);
        const int lineDepth = std::min(depth, 8);
        const std::size_t width = static_cast<std::size_t>(76 - 8 * lineDepth);
        for (std::size_t at = 0; at < all.size(); at += width)
            line(all.substr(at, width), lineDepth);
        g_free(encoded);
        line("</data>", depth);
    }
};

} // namespace

const PlistValue* PlistValue::Dictionary::find(std::string_view key) const {
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == key) return &values[i];
    return nullptr;
}

PlistValue* PlistValue::Dictionary::find(std::string_view key) {
    return const_cast<PlistValue*>(std::as_const(*this).find(key));
}

std::string storableText(std::string_view text, std::size_t* replaced) {
    std::string out;
    std::size_t count = 0;
    auto view = cleaned(text, out, count);
    if (replaced) *replaced += count;
    return count ? std::move(out) : std::string(view);
}

std::size_t makeStorable(std::string& text) {
    std::string out;
    std::size_t count = 0;
    cleaned(text, out, count);
    if (count) text = std::move(out);
    return count;
}

std::string replacedCharactersReason(std::size_t replaced) {
    return "it holds " + std::to_string(replaced) + (replaced == 1 ? " character" : " characters") +
           " that cannot be saved (a control character, a NUL, or bytes that are not UTF-8 text); " +
           (replaced == 1 ? "it now reads" : "they now read") + " \u201C\uFFFD\u201D";
}

std::string repeatedKeysReason(std::size_t count, const std::string& first) {
    if (count == 1) return "it gives the key \u201C" + first + "\u201D more than one value; the last is kept";
    return "it gives " + std::to_string(count) + " keys more than one value (\u201C" + first + "\u201D and " +
           std::to_string(count - 1) + " more); the last value of each is kept";
}

std::optional<std::string> plistNestingProblem(std::string_view bytes, int maxDepth) {
    if (startsWith(bytes, "bplist")) return binaryNestingProblem(bytes, maxDepth);
    std::string why, converted;
    std::size_t replaced = 0;
    auto doc = utf8Document(bytes, converted, why, replaced);
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
            if (!e.selfClosing && ++depth > maxDepth) return nestedTooDeeply(maxDepth);
            break;
        case XmlScanner::Kind::end:
            --depth;
            break;
        case XmlScanner::Kind::text:
            break;
        }
    }
}

namespace {
// The dictionary an archive's reference reads as, {"CF$UID": n}, in XML as in a binary list.
bool archiveReference(const PlistValue& v) {
    auto* d = std::get_if<PlistValue::Dictionary>(&v.value);
    return d && d->keys.size() == 1 && d->keys[0] == "CF$UID" &&
           std::holds_alternative<NSInteger>(d->values[0].value);
}

// A read that ran out of memory: the file is not the cause.
template <class Read> Read outOfMemory() {
    Read result;
    result.why = kNoMemoryToRead;
    result.outOfMemory = true;
    return result;
}

// `releaseRead`: see XmlScanner.
PlistRead parseWholePlist(std::string_view bytes, bool releaseRead) {
    PlistRead result;
    if (bytes.empty()) {
        result.why = "it is empty";
        return result;
    }
    if (startsWith(bytes, "bplist")) {
        if (bytes.size() < 8 + 32) {
            result.why = kNotAPlist;
            return result;
        }
        result = readBinaryPlist(bytes);
        result.referenceAtTop = result.root && archiveReference(*result.root);
        return result;
    }
    std::string converted, clean;
    std::size_t replaced = 0;
    auto doc = utf8Document(bytes, converted, result.why, replaced);
    if (!doc) return result;
    const std::string_view text = cleaned(*doc, clean, replaced);
    // Only the file's own bytes are given back, not a cleaned or converted copy.
    XmlScanner scanner(text, releaseRead && text.data() >= bytes.data() &&
                                 text.data() < bytes.data() + bytes.size());
    ReadBudget budget(bytes.size());
    result = readXmlPlist(scanner, budget);
    result.replaced = replaced + scanner.replaced;
    result.referenceAtTop = result.root && archiveReference(*result.root);
    // Bytes that are no text (the zeros a crash leaves, a torn write) most likely broke it. A
    // document read as it was, nothing cleaned, is text throughout.
    const char* end = nullptr;
    if (!result.root && result.why == kNotAPlist && text.data() != doc->data() &&
        !g_utf8_validate_len(doc->data(), doc->size(), &end))
        result.why =
            "it holds bytes that are not text from byte " + std::to_string(end - doc->data()) + " on";
    return result;
}

PlistRead parsePlist(std::string_view bytes, bool releaseRead) {
    try {
        return parseWholePlist(bytes, releaseRead);
    } catch (const std::bad_alloc&) {
        return outOfMemory<PlistRead>();
    }
}
} // namespace

PlistRead parsePlist(std::string_view bytes) {
    return parsePlist(bytes, false);
}

PlistRead readPlistFile(const std::string& path, std::size_t maxLength) {
    try {
        auto contents = RegularFile::read(path, maxLength);
        if (!contents.bytes) {
            PlistRead result;
            result.missing = contents.missing;
            result.why = "it " + contents.why;
            return result;
        }
        return parsePlist(*contents.bytes);
    } catch (const std::bad_alloc&) {
        return outOfMemory<PlistRead>();
    }
}

std::optional<std::string> plistXml(const PlistValue& root, std::string* why) {
    try {
        XmlPlistWriter writer(0);
        std::string reason;
        if (!writer.value(root, 0, reason)) {
            if (why) *why = std::move(reason);
            return std::nullopt;
        }
        return writer.finish();
    } catch (const std::bad_alloc&) {
        if (why) *why = kNoMemoryToSave;
        return std::nullopt;
    }
}

namespace {
constexpr std::size_t kWrittenPiece = std::size_t(1) << 20;

// The end of `text` at most `limit` bytes from `at`, before a character rather than inside one.
std::size_t pieceEnd(std::string_view text, std::size_t at, std::size_t limit) {
    std::size_t end = std::min(text.size(), at + limit);
    for (int back = 0; back < 3 && end < text.size() && end > at + 1 &&
                       (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80;
         ++back)
        --end;
    return end;
}

bool writeDictionaryPieces(const PlistEntries& entries, const std::function<bool(std::string_view)>& write,
                           std::string& why) {
    XmlPlistWriter writer(kWrittenPiece);
    auto pass = [&](bool last) {
        if (!last && writer.bytes.size() < kWrittenPiece) return true;
        const bool written = write(writer.bytes);
        writer.bytes.clear();
        return written;
    };
    if (entries.empty())
        writer.line("<dict/>", 0);
    else
        writer.line("<dict>", 0);
    for (const auto& [key, value] : entries) {
        bool carried = writer.text("key", key, 1, why);
        if (carried) {
            if (auto* text = std::get_if<std::string>(&value->value)) {
                writer.bytes += "\t<string>";
                for (std::size_t at = 0; carried && at < text->size();) {
                    const std::size_t end = pieceEnd(*text, at, kWrittenPiece);
                    carried =
                        appendXmlEscaped(writer.bytes, std::string_view(*text).substr(at, end - at), &why);
                    at = end;
                    if (carried && !pass(false)) return false;
                }
                writer.bytes += "</string>\n";
            } else {
                carried = writer.value(*value, 1, why);
            }
        }
        if (!carried) {
            why = "the value of \u201C" + std::string(key) + "\u201D " + why;
            return false;
        }
        if (!pass(false)) return false;
    }
    if (!entries.empty()) writer.line("</dict>", 0);
    writer.bytes += "</plist>\n";
    return pass(true);
}
} // namespace

bool writePlistDictionary(const PlistEntries& entries, const std::function<bool(std::string_view)>& write,
                          std::string* why) {
    std::string reason;
    try {
        if (writeDictionaryPieces(entries, write, reason)) return true;
    } catch (const std::bad_alloc&) {
        reason = kNoMemoryToSave;
    }
    if (why) *why = std::move(reason);
    return false;
}

namespace {
StringArrayPlistRead parseWholeStringArrayPlist(std::string_view bytes, bool releaseRead) {
    PlistRead read = parsePlist(bytes, releaseRead);
    if (read.outOfMemory) return outOfMemory<StringArrayPlistRead>();
    StringArrayPlistRead result;
    result.why = std::move(read.why);
    result.replaced = read.replaced;
    // The strings of an array, and what else it holds in `result.leftOut`; none when it is no
    // array.
    auto strings = [&](PlistValue& list) -> std::optional<StringArray> {
        auto* array = std::get_if<PlistValue::Array>(&list.value);
        if (!array) {
            result.why = std::string("it holds ") + valueKind(list) + ", not an array of strings";
            return std::nullopt;
        }
        StringArray out;
        out.reserve(array->size());
        constexpr std::size_t kNamed = 3;
        std::vector<std::string> named;
        std::size_t others = 0;
        for (std::size_t i = 0; i < array->size(); ++i) {
            if (auto* s = std::get_if<std::string>(&(*array)[i].value)) {
                out.push_back(std::move(*s));
                continue;
            }
            if (named.empty() && read.root)
                result.why =
                    "its element " + std::to_string(i) + " is " + valueKind((*array)[i]) + ", not a string";
            if (named.size() < kNamed)
                named.push_back(std::to_string(i) + " (" + valueKind((*array)[i]) + ")");
            else
                ++others;
        }
        if (named.empty()) return out;
        std::string& text = result.leftOut;
        text = named.size() == 1 ? "element " : "elements ";
        for (std::size_t i = 0; i < named.size(); ++i)
            text += (i == 0 ? "" : i + 1 < named.size() || others ? ", " : " and ") + named[i];
        if (others) text += " and " + std::to_string(others) + " more";
        return out;
    };
    if (read.root) {
        auto entries = strings(*read.root);
        if (entries && result.leftOut.empty())
            result.entries = std::move(entries);
        else if (entries)
            result.salvaged = std::move(*entries);
    } else if (read.salvaged) {
        result.brokenOff = true;
        if (auto entries = strings(*read.salvaged)) result.salvaged = std::move(*entries);
    }
    return result;
}

StringArrayPlistRead parseStringArrayPlist(std::string_view bytes, bool releaseRead) {
    try {
        return parseWholeStringArrayPlist(bytes, releaseRead);
    } catch (const std::bad_alloc&) {
        return outOfMemory<StringArrayPlistRead>();
    }
}

} // namespace

StringArrayPlistRead parseStringArrayPlist(std::string_view bytes) {
    return parseStringArrayPlist(bytes, false);
}

StringArrayPlistRead readStringArrayPlistFile(const RegularFile::Opened& file) {
    StringArrayPlistRead result;
    result.missing = file.missing;
    std::string why;
    std::optional<RegularFile::Buffer> bytes;
    try {
        bytes = file.readAll(&why);
    } catch (const std::bad_alloc&) {
        return outOfMemory<StringArrayPlistRead>();
    }
    if (!bytes) {
        result.why = "it " + why;
        return result;
    }
    // The bytes are ours alone and gone once read.
    return parseStringArrayPlist(bytes->view(), true);
}

StringArrayPlistRead readStringArrayPlistFile(const std::string& path) {
    return readStringArrayPlistFile(RegularFile::open(path, kMaxListFileLength));
}

std::optional<StringArray> readStringArrayPlist(const std::string& path, std::string* why) {
    auto read = readStringArrayPlistFile(path);
    if (!read.entries && why) *why = read.why;
    return std::move(read.entries);
}

std::optional<std::string> xmlEscaped(std::string_view text, std::string* why) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    if (!appendXmlEscaped(out, text, why)) return std::nullopt;
    return out;
}

namespace {
// `array` as a list file, handed to `write` a piece at a time: a list of long dictations is
// neither copied into a tree of values nor held whole a second time to be saved, and a long
// entry goes out in slices. None once written (a failed write's own error follows); `tooLarge`
// when the file would be larger than `maxLength`, found before the piece that passes it is
// written. What cannot be carried is written as U+FFFD and counted in `replaced`.
std::optional<NSError> writeListPieces(const StringArray& array, const NSFileManager::BytesWriter& write,
                                       std::size_t maxLength, const NSError& tooLarge,
                                       std::size_t& replaced) {
    constexpr std::size_t kPiece = std::size_t(1) << 20;
    enum class Passed { gathering, written, tooLarge, failed };
    std::size_t written = 0;
    XmlPlistWriter writer(kPiece);
    auto pass = [&](bool last) {
        if (!last && writer.bytes.size() < kPiece) return Passed::gathering;
        if (writer.bytes.size() > maxLength - written) return Passed::tooLarge;
        written += writer.bytes.size();
        const bool done = write(writer.bytes);
        writer.bytes.clear();
        return done ? Passed::written : Passed::failed;
    };
    Passed passed = Passed::gathering;
    if (array.empty()) {
        writer.line("<array/>", 0);
    } else {
        writer.line("<array>", 0);
        for (const auto& entry : array) {
            writer.bytes += "\t<string>";
            for (std::size_t at = 0; at < entry.size() && passed <= Passed::written;) {
                // Cut before a character, not inside one.
                std::size_t end = std::min(entry.size(), at + kPiece);
                for (int back = 0; back < 3 && end < entry.size() && end > at + 1 &&
                                   (static_cast<unsigned char>(entry[end]) & 0xC0) == 0x80;
                     ++back)
                    --end;
                appendXmlEscaped(writer.bytes, std::string_view(entry).substr(at, end - at), nullptr,
                                 &replaced);
                at = end;
                passed = pass(false);
            }
            writer.bytes += "</string>\n";
            if (passed <= Passed::written) passed = pass(false);
            if (passed > Passed::written) break;
        }
        if (passed <= Passed::written) writer.line("</array>", 0);
    }
    if (passed <= Passed::written) {
        writer.bytes += "</plist>\n";
        passed = pass(true);
    }
    if (passed == Passed::tooLarge) return tooLarge;
    return std::nullopt;
}
} // namespace

bool writeStringArrayPlist(const std::string& path, const StringArray& array, NSError* error,
                           std::size_t* replaced, std::size_t maxLength) {
    const NSError tooLarge{NSCocoaErrorDomain, NSFileWriteUnknownError,
                           "it would be larger than the " + std::to_string(maxLength) +
                               " bytes a list file may hold"};
    // Each entry takes at least its own bytes: a list already past the bound is refused before
    // anything is written.
    std::size_t least = 0;
    for (const auto& entry : array)
        least += entry.size();
    if (least > maxLength) {
        if (error) *error = tooLarge;
        return false;
    }
    std::size_t count = 0;
    auto failure = NSFileManager::defaultManager().writeAtomically(
        path, [&](const NSFileManager::BytesWriter& write) -> std::optional<NSError> {
            // Caught here, so that the temporary file goes with the refusal.
            try {
                return writeListPieces(array, write, maxLength, tooLarge, count);
            } catch (const std::bad_alloc&) {
                return NSError{NSCocoaErrorDomain, NSFileWriteUnknownError, kNoMemoryToSave};
            }
        });
    if (failure && error) *error = *failure;
    if (!failure && replaced) *replaced += count;
    return !failure;
}

} // namespace platform
