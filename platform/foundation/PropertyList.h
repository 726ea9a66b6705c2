#pragma once
// Property lists: the one reader and the one writer of every property-list file the application
// keeps (the preferences with the template dictionaries, the entry lists). The reader takes XML
// in any encoding XML allows and binary lists, walks them without recursion, refuses nesting it
// could not write back, and gives back what stands before any damage. It cleans what a file
// cannot carry (control characters, NULs, bytes that are not UTF-8 text, lone surrogates) to
// U+FFFD and counts it, so that whatever was read can be saved again; the writer stores such
// characters as U+FFFD too.
//
// What a read builds is in proportion to the file, whatever its references say: the values of a
// file (each object of a binary list counted as often as it is referred to) may take at most
// kReadCostFactor times its size plus kReadCostAllowance, and a file whose values would take more
// is refused as damaged before they are built. The reader also holds the file's bytes and, for a
// file in another encoding than UTF-8 or holding what must be cleaned, a copy of its text.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/foundation/RegularFile.h"

namespace platform {

using NSInteger = std::int64_t;
using StringArray = std::vector<std::string>;
using StringDictionary = std::map<std::string, std::string>;

// The values the user-defaults store keeps: an integer, a floating-point number, a Boolean, a
// string, an array of strings or a dictionary of strings.
using PropertyValue = std::variant<NSInteger, double, bool, std::string, StringArray, StringDictionary>;

// The largest list file read: a list of long dictations, far from what fills a phone's memory.
inline constexpr std::size_t kMaxListFileLength = std::size_t(256) << 20;
// What the values read from a file may take: this many times the file's size, plus the allowance
// (which keeps a small binary file of shared objects readable).
inline constexpr std::size_t kReadCostFactor = 8;
inline constexpr std::size_t kReadCostAllowance = std::size_t(1) << 20;
// Deeper property lists are refused as they are read: a value nested deeper could not be written
// back by a writer that recurses, and what the application stores is at most three levels deep.
inline constexpr int kMaxPlistDepth = 128;

// Any value a property-list file holds, dictionaries keeping the order of their keys.
struct PlistValue {
    // A date, as its text in an XML list ("2020-01-01T00:00:00Z").
    struct Date {
        std::string text;
        bool operator==(const Date&) const = default;
    };
    // Data, as its bytes.
    struct Data {
        std::string bytes;
        bool operator==(const Data&) const = default;
    };
    using Array = std::vector<PlistValue>;
    struct Dictionary {
        std::vector<std::string> keys;
        std::vector<PlistValue> values; // one per key
        // The value under `key`, if any.
        const PlistValue* find(std::string_view key) const;
        PlistValue* find(std::string_view key);
        bool operator==(const Dictionary&) const = default;
    };
    std::variant<std::string, NSInteger, double, bool, Date, Data, Array, Dictionary> value;

    bool operator==(const PlistValue&) const = default;
};

// What reading a property list found.
struct PlistRead {
    // The whole value; none when anything kept it from being read whole.
    std::optional<PlistValue> root;
    // Nothing is at the path.
    bool missing = false;
    // Why `root` is none, as the end of a sentence about the file ("it is empty").
    std::string why;
    // For a damaged array or dictionary: its complete values before the place where it breaks off.
    std::optional<PlistValue> salvaged;
    // Characters of `root` (or `salvaged`) that could not be stored and now read U+FFFD.
    std::size_t replaced = 0;
    // Keys that a dictionary of `root` (or `salvaged`) gave more than one value, of which only
    // the last is kept: how many, and the first of them.
    std::size_t repeatedKeys = 0;
    std::string repeatedKey;
    // The top object is an archive's reference: a binary list's UID, or the dictionary
    // {"CF$UID": n} that libplist writes for one in XML (as which a UID reads). The file holds no
    // dictionary of settings.
    bool referenceAtTop = false;
    // Memory ran out while it was read: `root` is none, and the file is no more damaged than
    // before (a start with more memory may read it).
    bool outOfMemory = false;
};

PlistRead parsePlist(std::string_view bytes);
// The property list at `path`, read only when it is a regular file of at most `maxLength` bytes.
PlistRead readPlistFile(const std::string& path, std::size_t maxLength = kMaxListFileLength);

// `root` as an XML property list, in the bytes other property-list writers (libplist) write.
// None, with `why` set, when a string or key holds what the file cannot carry (see xmlEscaped)
// or memory runs out.
std::optional<std::string> plistXml(const PlistValue& root, std::string* why = nullptr);

// A dictionary of these keys and values as an XML property list, the bytes plistXml makes of it,
// handed to `write` in pieces of about a megabyte: a long string is never held whole a second
// time. True once written; false when `write` refused a piece, or (with `why` set) when a string
// holds what the file cannot carry or memory runs out.
using PlistEntries = std::vector<std::pair<std::string_view, const PlistValue*>>;
bool writePlistDictionary(const PlistEntries& entries, const std::function<bool(std::string_view)>& write,
                          std::string* why);

// `text` with what a property list cannot carry (a NUL, control characters other than tab,
// line feed and carriage return, U+FFFE and U+FFFF, bytes that are not UTF-8) replaced by
// U+FFFD; `replaced`, when given, counts the replacements.
std::string storableText(std::string_view text, std::size_t* replaced = nullptr);

// The same in place: `text` keeps its bytes (and is not copied) when it holds nothing to replace.
// The number of replacements.
std::size_t makeStorable(std::string& text);

// The end of a sentence about a file that held `replaced` such characters: "it holds 2
// characters that cannot be saved (...); they now read “�”".
std::string replacedCharactersReason(std::size_t replaced);

// The end of a sentence about a file whose dictionaries gave `count` keys more than one value,
// `first` the first of them: "it gives the key “fontSize” more than one value; the last is kept".
std::string repeatedKeysReason(std::size_t count, const std::string& first);

// What reading a list file found.
struct StringArrayPlistRead {
    // The whole list; none when anything kept it from being read whole.
    std::optional<StringArray> entries;
    // Nothing is at the path.
    bool missing = false;
    // Why `entries` is none, as the end of a sentence about the file ("it is empty").
    std::string why;
    // The complete entries before the place where a damaged or cut-short list breaks off, or
    // the entries of a list whose other elements are not strings.
    StringArray salvaged;
    // The list breaks off: `salvaged` holds what stood before the damage.
    bool brokenOff = false;
    // The elements of the list that are not strings, as the end of a sentence: "element 1 (a
    // number)", "elements 0 (a number), 2 (a dictionary), 3 (an array) and 2 more".
    std::string leftOut;
    // Characters of `entries` (or `salvaged`) that could not be stored and now read U+FFFD.
    std::size_t replaced = 0;
    // Memory ran out while it was read (see PlistRead::outOfMemory).
    bool outOfMemory = false;
};

StringArrayPlistRead readStringArrayPlistFile(const std::string& path);
// The same of a file held open (opened with the bound kMaxListFileLength): what it held when it
// was opened, though a Save may have renamed another file into its place since.
StringArrayPlistRead readStringArrayPlistFile(const RegularFile::Opened& file);
// The same over bytes already read.
StringArrayPlistRead parseStringArrayPlist(std::string_view bytes);

// The array of strings in the property list at `path`. None when the file is missing or
// unreadable, is not a property list, its root is not an array, or any element is not a string:
// a list that was only partly understood is not handed back as if it were whole. `why`, when
// given, then says which of these it was.
std::optional<StringArray> readStringArrayPlist(const std::string& path, std::string* why = nullptr);

// Writes `array` as an XML property list, atomically. What a string holds that the file cannot
// carry (a NUL or another control character, bytes that are not UTF-8, U+FFFE and U+FFFF) is
// written as U+FFFD, as storableText makes it, and counted in `replaced` when given. False (with
// `error` filled in, the file as it was) when it cannot be written, when memory runs out, and
// when it would be larger than `maxLength`: a list is never written that its reader refuses.
bool writeStringArrayPlist(const std::string& path, const StringArray& array, NSError* error = nullptr,
                           std::size_t* replaced = nullptr, std::size_t maxLength = kMaxListFileLength);

// `text` as the content of an XML element: "&", "<", ">" and carriage returns escaped. None, with
// `why` set, when it holds what XML 1.0 cannot carry.
std::optional<std::string> xmlEscaped(std::string_view text, std::string* why = nullptr);

// Why the property list in `bytes` (XML or binary) may not be handed to a reader that recurses:
// nested deeper than `maxDepth`, or a binary list whose objects refer to each other in a loop or
// would unfold into far more objects than it holds. None when it may.
std::optional<std::string> plistNestingProblem(std::string_view bytes, int maxDepth = kMaxPlistDepth);

} // namespace platform
