#include "platform/foundation/NSUserDefaults.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <glib.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/Console.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FontLock.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/RegularFile.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"

namespace platform {

namespace {

struct Shared {
    std::mutex mutex;
    std::shared_ptr<NSUserDefaults> instance;
};

Shared& shared() {
    static Shared s;
    static bool hooked = [] {
        registerSharedInstanceReset([] { NSUserDefaults::resetStandardUserDefaults(); });
        // Registered after `s` exists, so it runs before `s` is destroyed.
        std::atexit([] { NSUserDefaults::synchronizeStandardUserDefaults(); });
        return true;
    }();
    (void)hooked;
    return s;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// The leading integer of a string, as the platform reads one: blanks, a sign, digits; saturating.
NSInteger leadingInteger(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    NSInteger value = 0;
    constexpr NSInteger max = std::numeric_limits<NSInteger>::max();
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        int digit = s[i] - '0';
        if (value > (max - digit) / 10) return negative ? std::numeric_limits<NSInteger>::min() : max;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

// The leading decimal number of a string ("2.5kg" -> 2.5, "abc" -> 0), independent of the C locale.
double leadingDouble(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i >= s.size() || !((s[i] >= '0' && s[i] <= '9') || s[i] == '.')) return 0;
    double value = 0;
    auto result = std::from_chars(s.data() + i, s.data() + s.size(), value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        value = std::strtod(s.c_str() + i, nullptr); // huge or tiny: saturates the same way
    } else if (result.ec != std::errc()) {
        value = 0;
    }
    return negative ? -value : value;
}

NSInteger truncated(double d) {
    if (std::isnan(d)) return 0;
    if (d >= 9223372036854775807.0) return std::numeric_limits<NSInteger>::max();
    if (d <= -9223372036854775808.0) return std::numeric_limits<NSInteger>::min();
    return static_cast<NSInteger>(d);
}

std::string decimalText(double d) {
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, result.ptr);
}

// GCC 12 at -O2 warns that the variant's string "may be used uninitialized" when the optional
// is destroyed along the paths that never built it: a known false positive of its inliner.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
std::optional<PropertyValue> valueOf(const PlistValue* node) {
    if (!node) return std::nullopt;
    return std::visit(
        [](const auto& v) -> std::optional<PropertyValue> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, NSInteger> ||
                          std::is_same_v<T, double> || std::is_same_v<T, bool>) {
                return PropertyValue(v);
            } else if constexpr (std::is_same_v<T, PlistValue::Array>) {
                StringArray out;
                out.reserve(v.size());
                for (const auto& item : v) {
                    auto* s = std::get_if<std::string>(&item.value);
                    if (!s) return std::nullopt;
                    out.push_back(*s);
                }
                std::optional<PropertyValue> result;
                result.emplace(std::in_place_type<StringArray>, std::move(out));
                return result;
            } else if constexpr (std::is_same_v<T, PlistValue::Dictionary>) {
                StringDictionary out;
                for (std::size_t i = 0; i < v.keys.size(); ++i) {
                    auto* s = std::get_if<std::string>(&v.values[i].value);
                    if (!s) return std::nullopt;
                    out[v.keys[i]] = *s;
                }
                std::optional<PropertyValue> result;
                result.emplace(std::in_place_type<StringDictionary>, std::move(out));
                return result;
            } else {
                // Dates and data: kept in the file untouched, but not handed out.
                return std::nullopt;
            }
        },
        node->value);
}
#pragma GCC diagnostic pop

// `value` as the store keeps it: what a property list cannot carry reads U+FFFD, so that every
// value set can be saved.
PlistValue nodeOf(const PropertyValue& value, std::size_t& replaced) {
    return std::visit(
        [&](const auto& v) -> PlistValue {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return PlistValue{storableText(v, &replaced)};
            } else if constexpr (std::is_same_v<T, StringArray>) {
                PlistValue::Array array;
                array.reserve(v.size());
                for (const auto& s : v)
                    array.push_back(PlistValue{storableText(s, &replaced)});
                return PlistValue{std::move(array)};
            } else if constexpr (std::is_same_v<T, StringDictionary>) {
                PlistValue::Dictionary dict;
                for (const auto& [k, s] : v) {
                    dict.keys.push_back(storableText(k, &replaced));
                    dict.values.push_back(PlistValue{storableText(s, &replaced)});
                }
                return PlistValue{std::move(dict)};
            } else {
                return PlistValue{v};
            }
        },
        value);
}

// The file at `path` as the side file names it: its inode, length and time of change, which a
// whole-file write (a new file renamed into place) never keeps; "none" when there is none.
std::string fileIdentity(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return "none";
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) +
           ":" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

// How the side file keeps what changed in one dictionary of the file's own format: a key set is
// written under "+" and its name, a key removed under "-" and its name, and the file it was written
// beside under "file", which no key of the store can be written as.
constexpr std::string_view kSetMark = "+";
constexpr std::string_view kRemovedMark = "-";
constexpr std::string_view kBesideKey = "file";

// About the bytes `value` takes in the file.
std::size_t lengthOf(const PlistValue& value) {
    return std::visit(
        [](const auto& v) -> std::size_t {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return v.size();
            } else if constexpr (std::is_same_v<T, PlistValue::Data>) {
                return v.bytes.size() * 4 / 3;
            } else if constexpr (std::is_same_v<T, PlistValue::Date>) {
                return v.text.size();
            } else if constexpr (std::is_same_v<T, PlistValue::Array>) {
                std::size_t length = 0;
                for (const auto& item : v)
                    length += lengthOf(item) + 20;
                return length;
            } else if constexpr (std::is_same_v<T, PlistValue::Dictionary>) {
                std::size_t length = 0;
                for (std::size_t i = 0; i < v.keys.size(); ++i)
                    length += v.keys[i].size() + lengthOf(v.values[i]) + 30;
                return length;
            } else {
                return 24;
            }
        },
        value.value);
}

} // namespace

std::shared_ptr<NSUserDefaults> NSUserDefaults::standardUserDefaults() {
    auto& s = shared();
    std::lock_guard lock(s.mutex);
    if (!s.instance) {
        auto path = Sandbox::preferences() / (std::string(kDomainName) + ".plist");
        s.instance = std::make_shared<NSUserDefaults>(path.string());
        // What was recovered from a damaged file is saved once the run loop turns.
        std::lock_guard settle(s.instance->mutex_);
        if (s.instance->dirty_) s.instance->scheduleWrite();
    }
    return s.instance;
}

bool NSUserDefaults::synchronizeStandardUserDefaults() {
    std::shared_ptr<NSUserDefaults> current;
    {
        std::lock_guard lock(shared().mutex);
        current = shared().instance;
    }
    return !current || current->synchronizeAtEnd();
}

void NSUserDefaults::beginEndOfStandardUserDefaults() {
    std::shared_ptr<NSUserDefaults> current;
    {
        std::lock_guard lock(shared().mutex);
        current = shared().instance;
    }
    if (current) current->beginEnd();
}

void NSUserDefaults::beginEnd() {
    std::lock_guard lock(mutex_);
    ending_ = true;
}

bool NSUserDefaults::synchronizeAtEnd() {
    beginEnd();
    return synchronize();
}

void NSUserDefaults::setPieceWrittenHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    pieceWritten_ = std::move(hook);
}

void NSUserDefaults::resetStandardUserDefaults() {
    std::shared_ptr<NSUserDefaults> dropped;
    {
        auto& s = shared();
        std::lock_guard lock(s.mutex);
        dropped.swap(s.instance);
    }
    // A restart finds what the settled writes wrote.
    if (dropped) dropped->awaitSettledWrites();
}

void NSUserDefaults::awaitSettledWrites() {
    FontLock::Released waiting;
    std::unique_lock lock(mutex_);
    settledWritesDone_.wait(lock, [&] { return settledWrites_ == 0; });
}

NSUserDefaults::NSUserDefaults(std::string path) : path_(std::move(path)) {
    load();
}

NSUserDefaults::~NSUserDefaults() = default;

void NSUserDefaults::load() {
    auto& files = NSFileManager::defaultManager();
    {
        auto lock = files.lockFolderOf(path_, 0);
        if (lock.held()) {
            files.removeLeftoverTemporaryFiles(path_);
            files.removeLeftoverTemporaryFiles(changesPath());
        }
    }
    // The side file belongs to the file as it is now, before a damaged one is moved aside.
    const std::string file = fileIdentity(path_);
    loadFile();
    if (persistenceBlocked_) return;
    if (fileIdentity(path_) != file) {
        // Kept aside as damaged: what was recovered from it is on disk nowhere else.
        ++generation_;
        for (auto& entry : entries_)
            entry.changed = generation_;
        fileGeneration_ = 0;
    }
    foldChanges(file);
}

void NSUserDefaults::foldChanges(const std::string& file) {
    auto& files = NSFileManager::defaultManager();
    const std::string path = changesPath();
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return;
    PlistRead read = readPlistFile(path, kMaxListFileLength);
    auto* dict = read.root ? std::get_if<PlistValue::Dictionary>(&read.root->value) : nullptr;
    const PlistValue* beside = dict ? dict->find(kBesideKey) : nullptr;
    const std::string* besideFile = beside ? std::get_if<std::string>(&beside->value) : nullptr;
    if (read.outOfMemory) return;
    if (!besideFile) {
        // What the last end changed is lost, and said so; its bytes are kept.
        const std::string why = read.root ? "it is not a list of changes" : read.why;
        auto stamp = std::to_string(static_cast<long long>(std::floor(RunLoop::main().wallTime())));
        NSError error;
        auto aside = files.moveItemAside(path, ".corrupt-" + stamp, &error);
        console().print("Preferences changes " + path + " could not be read (" + why + "); " +
                        (aside ? "kept aside as " + *aside : "left as they are"));
        std::string message = "The settings changed when the program last ended, in \u201C" + path +
                              "\u201D, could not be read: " + why + ".";
        message += aside ? " Its bytes are kept in \u201C" + *aside + "\u201D."
                         : " It could not be moved aside (" + error.localizedDescription + ").";
        RunLoop::main().schedule(0, [path, keptAt = aside.value_or(""), message] {
            NSNotificationCenter::defaultCenter().postNotificationName(
                NSUserDefaultsFileDamagedNotification, nullptr,
                {{"path", path}, {"aside", keptAt}, {"message", message}});
        });
        return;
    }
    if (*besideFile != file) {
        // Written beside a file that a whole-file write has replaced since, with these changes.
        auto lock = files.lockFolderOf(path_, 0);
        if (lock.held()) ::unlink(path.c_str());
        return;
    }
    // Changed since the file was written, and kept so until a whole-file write holds them.
    ++generation_;
    for (std::size_t i = 0; i < dict->keys.size(); ++i) {
        std::string_view name = dict->keys[i];
        const bool set = name.substr(0, kSetMark.size()) == kSetMark;
        if (!set && name.substr(0, kRemovedMark.size()) != kRemovedMark) continue;
        std::string key(name.substr(1));
        auto at =
            std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.key == key; });
        if (set) {
            auto value = std::make_shared<const PlistValue>(std::move(dict->values[i]));
            if (at == entries_.end()) {
                entries_.push_back({key, std::move(value), generation_});
            } else {
                at->value = std::move(value);
                at->changed = generation_;
            }
        } else {
            if (at != entries_.end()) entries_.erase(at);
            removed_.emplace_back(std::move(key), generation_);
        }
    }
    // The file it was written beside was damaged and is kept aside: the changes go into the
    // file written in its place.
    if (fileIdentity(path_) != file) dirty_ = true;
}

void NSUserDefaults::loadFile() {
    auto& files = NSFileManager::defaultManager();
    // The transcript is kept here too, so the bound is a list file's.
    PlistRead read = readPlistFile(path_, kMaxListFileLength);
    if (read.missing) return;
    if (read.outOfMemory) {
        // The file is sound as far as anyone knows: left as it is for a start with more memory,
        // and not written over by a store that could not read it.
        persistenceBlocked_ = true;
        console().print("Preferences file " + path_ + " could not be read (" + read.why +
                        "); it is left as it is and changes will not be saved");
        const std::string message = "The settings file \u201C" + path_ +
                                    "\u201D could not be read: " + read.why +
                                    ". It is left as it is, and settings will not be saved.";
        RunLoop::main().schedule(0, [path = path_, message] {
            NSNotificationCenter::defaultCenter().postNotificationName(
                NSUserDefaultsFileDamagedNotification, nullptr,
                {{"path", path}, {"aside", ""}, {"message", message}});
        });
        return;
    }
    auto adopt = [this](PlistValue::Dictionary& dict) {
        entries_.clear();
        entries_.reserve(dict.keys.size());
        for (std::size_t i = 0; i < dict.keys.size(); ++i)
            entries_.push_back(
                {std::move(dict.keys[i]), std::make_shared<const PlistValue>(std::move(dict.values[i]))});
    };
    std::string why = read.why;
    bool recovered = false;
    if (read.root) {
        auto* dict = read.referenceAtTop ? nullptr : std::get_if<PlistValue::Dictionary>(&read.root->value);
        if (dict) {
            adopt(*dict);
            if (read.replaced == 0 && read.repeatedKeys == 0) return;
            // Repaired as it was read: the file is kept as it is.
            if (read.replaced) why = replacedCharactersReason(read.replaced);
            if (read.repeatedKeys)
                why +=
                    (why.empty() ? "" : ", and ") + repeatedKeysReason(read.repeatedKeys, read.repeatedKey);
            recovered = true;
        } else {
            why = "it is not a dictionary";
        }
    } else if (read.salvaged) {
        if (auto* dict = std::get_if<PlistValue::Dictionary>(&read.salvaged->value)) {
            recovered = !dict->keys.empty();
            adopt(*dict);
        }
    }
    // Kept for whoever wants to recover it, and never overwritten; the store starts on what
    // could be read.
    auto stamp = std::to_string(static_cast<long long>(std::floor(RunLoop::main().wallTime())));
    NSError error;
    auto aside = files.moveItemAside(path_, ".corrupt-" + stamp, &error);
    std::string message = "The settings file \u201C" + path_ + "\u201D could not be read: " + why + ".";
    if (!aside) {
        persistenceBlocked_ = true;
        console().print("Preferences file " + path_ + " could not be read (" + why + ") nor moved aside (" +
                        error.localizedDescription + "); changes will not be saved");
        message += " It could not be moved aside either (" + error.localizedDescription +
                   "), so it is left as it is and settings will not be saved.";
    } else {
        console().print("Preferences file " + path_ + " could not be read (" + why + "); kept aside as " +
                        *aside);
        message += " Its bytes are kept in \u201C" + *aside + "\u201D.";
        if (recovered) {
            if (!read.root)
                message += " The settings before the damage were recovered.";
            else if (!read.repeatedKeys)
                message += " The settings are kept, with those characters replaced.";
            else
                message += std::string(" The settings are kept, with ") +
                           (read.replaced ? "those characters replaced and " : "") +
                           "the last value given to each key.";
            // Saved again, so that a start without any change keeps what was recovered.
            dirty_ = true;
        }
    }
    const std::string path = path_;
    const std::string keptAt = aside.value_or("");
    RunLoop::main().schedule(0, [path, keptAt, message] {
        NSNotificationCenter::defaultCenter().postNotificationName(
            NSUserDefaultsFileDamagedNotification, nullptr,
            {{"path", path}, {"aside", keptAt}, {"message", message}});
    });
}

const NSUserDefaults::Entry* NSUserDefaults::find(const std::string& key) const {
    for (const auto& entry : entries_)
        if (entry.key == key) return &entry;
    return nullptr;
}

std::optional<PropertyValue> NSUserDefaults::objectForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = find(key);
    return valueOf(entry ? entry->value.get() : nullptr);
}

NSInteger NSUserDefaults::integerForKey(const std::string& key) const {
    auto value = objectForKey(key);
    if (!value) return 0;
    if (auto* i = std::get_if<NSInteger>(&*value)) return *i;
    if (auto* d = std::get_if<double>(&*value)) return truncated(*d);
    if (auto* b = std::get_if<bool>(&*value)) return *b ? 1 : 0;
    if (auto* s = std::get_if<std::string>(&*value)) return leadingInteger(*s);
    return 0;
}

double NSUserDefaults::doubleForKey(const std::string& key) const {
    auto value = objectForKey(key);
    if (!value) return 0;
    if (auto* i = std::get_if<NSInteger>(&*value)) return static_cast<double>(*i);
    if (auto* d = std::get_if<double>(&*value)) return *d;
    if (auto* b = std::get_if<bool>(&*value)) return *b ? 1 : 0;
    if (auto* s = std::get_if<std::string>(&*value)) return leadingDouble(*s);
    return 0;
}

float NSUserDefaults::floatForKey(const std::string& key) const {
    return static_cast<float>(doubleForKey(key));
}

bool NSUserDefaults::boolForKey(const std::string& key) const {
    auto value = objectForKey(key);
    if (!value) return false;
    if (auto* b = std::get_if<bool>(&*value)) return *b;
    if (auto* i = std::get_if<NSInteger>(&*value)) return *i != 0;
    if (auto* d = std::get_if<double>(&*value)) return *d != 0;
    if (auto* s = std::get_if<std::string>(&*value)) {
        std::size_t i = 0;
        while (i < s->size() && isSpace((*s)[i]))
            ++i;
        if (i < s->size() && ((*s)[i] == '+' || (*s)[i] == '-')) ++i;
        while (i < s->size() && (*s)[i] == '0')
            ++i;
        if (i >= s->size()) return false;
        char c = (*s)[i];
        return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
    }
    return false;
}

std::optional<std::string> NSUserDefaults::stringForKey(const std::string& key) const {
    {
        // A long text is copied once, straight out of the store.
        std::lock_guard lock(mutex_);
        const Entry* entry = find(key);
        if (!entry) return std::nullopt;
        if (auto* s = std::get_if<std::string>(&entry->value->value)) return *s;
    }
    auto value = objectForKey(key);
    if (!value) return std::nullopt;
    if (auto* s = std::get_if<std::string>(&*value)) return *s;
    if (auto* i = std::get_if<NSInteger>(&*value)) return std::to_string(*i);
    if (auto* d = std::get_if<double>(&*value)) return decimalText(*d);
    if (auto* b = std::get_if<bool>(&*value)) return std::string(*b ? "1" : "0");
    return std::nullopt;
}

std::shared_ptr<const std::string> NSUserDefaults::sharedStringForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = find(key);
    auto* s = entry ? std::get_if<std::string>(&entry->value->value) : nullptr;
    if (!s) return nullptr;
    return std::shared_ptr<const std::string>(entry->value, s);
}

std::optional<StringArray> NSUserDefaults::arrayForKey(const std::string& key) const {
    auto value = objectForKey(key);
    if (auto* a = value ? std::get_if<StringArray>(&*value) : nullptr) return *a;
    return std::nullopt;
}

std::optional<StringDictionary> NSUserDefaults::dictionaryForKey(const std::string& key) const {
    auto value = objectForKey(key);
    if (auto* d = value ? std::get_if<StringDictionary>(&*value) : nullptr) return *d;
    return std::nullopt;
}

void NSUserDefaults::setObject_forKey(const PropertyValue& value, const std::string& key) {
    std::size_t replaced = 0;
    PlistValue node = nodeOf(value, replaced);
    setNode(std::move(node), replaced, key);
}

void NSUserDefaults::setNode(PlistValue node, std::size_t replaced, const std::string& key) {
    const std::string storedKey = storableText(key, &replaced);
    if (replaced)
        console().print("A value set for " + storedKey + " held " + std::to_string(replaced) +
                        (replaced == 1 ? " character that cannot be saved; it is stored as U+FFFD"
                                       : " characters that cannot be saved; they are stored as U+FFFD"));
    {
        auto value = std::make_shared<const PlistValue>(std::move(node));
        std::lock_guard lock(mutex_);
        if (auto* existing = const_cast<Entry*>(find(storedKey))) {
            existing->value = std::move(value);
            existing->changed = generation_ + 1;
        } else {
            entries_.push_back({storedKey, std::move(value), generation_ + 1});
        }
        changedLocked();
    }
}

void NSUserDefaults::setInteger_forKey(NSInteger value, const std::string& key) {
    setObject_forKey(PropertyValue(value), key);
}
void NSUserDefaults::setDouble_forKey(double value, const std::string& key) {
    setObject_forKey(PropertyValue(value), key);
}
void NSUserDefaults::setBool_forKey(bool value, const std::string& key) {
    setObject_forKey(PropertyValue(value), key);
}
void NSUserDefaults::setObject_forKey(const std::string& value, const std::string& key) {
    // Straight into the store's own copy: a long transcript is copied once.
    std::size_t replaced = 0;
    PlistValue node{storableText(value, &replaced)};
    setNode(std::move(node), replaced, key);
}
void NSUserDefaults::setObject_forKey(const char* value, const std::string& key) {
    setObject_forKey(PropertyValue(std::string(value ? value : "")), key);
}
void NSUserDefaults::setObject_forKey(const StringArray& value, const std::string& key) {
    setObject_forKey(PropertyValue(value), key);
}
void NSUserDefaults::setObject_forKey(const StringDictionary& value, const std::string& key) {
    setObject_forKey(PropertyValue(value), key);
}

void NSUserDefaults::removeObjectForKey(const std::string& key) {
    // Under the name it was set as.
    const std::string storedKey = storableText(key);
    {
        std::lock_guard lock(mutex_);
        auto at = std::find_if(entries_.begin(), entries_.end(),
                               [&](const Entry& entry) { return entry.key == storedKey; });
        if (at == entries_.end()) return;
        entries_.erase(at);
        removed_.emplace_back(storedKey, generation_ + 1);
        changedLocked();
    }
}

void NSUserDefaults::changedLocked() {
    dirty_ = true;
    ++generation_;
    scheduleWrite();
}

void NSUserDefaults::scheduleWrite() {
    if (writeScheduled_) return;
    writeScheduled_ = true;
    std::weak_ptr<NSUserDefaults> weak = weak_from_this();
    RunLoop::main().schedule(0, [weak] {
        if (auto self = weak.lock()) self->settledWrite();
    });
}

void NSUserDefaults::settledWrite() {
    auto& files = NSFileManager::defaultManager();
    {
        auto folder = files.lockFolderOf(path_, 0);
        if (!folder.busy) return finishSettledWrite();
    }
    // Another program holds the folder: waited for on the loop, which goes on drawing the window
    // and taking its input meanwhile. Changes made while it waits are written with these.
    std::weak_ptr<NSUserDefaults> weak = weak_from_this();
    files.waitForFolderOf(path_, [weak](const NSFileManager::FolderLock&) {
        if (auto self = weak.lock()) self->finishSettledWrite();
    });
}

void NSUserDefaults::finishSettledWrite() {
    {
        std::lock_guard lock(mutex_);
        writeScheduled_ = false;
        ++settledWrites_;
    }
    // Made on a worker: a long transcript is written at the disk's pace while the window goes on
    // drawing and a termination is heard. The main loop counts it as outside work, so that a
    // virtual clock waits for it and the termination's settling lets it end.
    RunLoop::main().beginExternalWork();
    DispatchQueue::global(DispatchQoS::Background).async([self = shared_from_this()] {
        // The folder is held by now, or the wait is over: a folder still held fails at once.
        self->write(0, true);
        {
            std::lock_guard lock(self->mutex_);
            --self->settledWrites_;
        }
        self->settledWritesDone_.notify_all();
        std::weak_ptr<NSUserDefaults> weak = self;
        RunLoop::main().schedule(0, [weak] {
            if (auto store = weak.lock()) store->reportFailure();
        });
        RunLoop::main().endExternalWork();
    });
}

bool NSUserDefaults::synchronize() {
    const bool written = write(NSFileManager::kFolderLockWait);
    reportFailure();
    return written;
}

void NSUserDefaults::reportFailure() {
    std::optional<std::string> message;
    {
        std::lock_guard lock(mutex_);
        message.swap(untold_);
    }
    if (message)
        NSNotificationCenter::defaultCenter().postNotificationName(
            NSUserDefaultsSaveFailedNotification, nullptr, {{"path", path_}, {"message", *message}});
}

bool NSUserDefaults::write(double folderWait, bool settled) {
    // One write at a time, each of a later state than the one before; the store itself stays
    // free to read and change while the file is written.
    FontLock::lockLettingFontsGo(writeMutex_);
    std::lock_guard writing(writeMutex_, std::adopt_lock);
    // What the store holds now: the values are shared, not copied, and changes made meanwhile
    // replace them in the store without touching these.
    std::vector<Entry> snapshot;
    std::vector<std::string> removed;
    std::uint64_t generation = 0;
    bool changesOnly = false;
    std::function<void()> pieceWritten;
    // The whole file, unless the program ends and that would take longer than what changed.
    auto take = [&] {
        std::lock_guard lock(mutex_);
        if (!dirty_) return false;
        snapshot = entries_;
        generation = generation_;
        pieceWritten = pieceWritten_;
        changesOnly = false;
        if (ending_) {
            std::size_t length = 0;
            for (const auto& entry : entries_)
                length += entry.key.size() + lengthOf(*entry.value);
            changesOnly = length > kChangesAsideAbove;
        }
        removed.clear();
        if (changesOnly)
            for (const auto& [key, at] : removed_)
                if (at > fileGeneration_) removed.push_back(key);
        return true;
    };
    {
        std::lock_guard lock(mutex_);
        if (!dirty_) return true;
        if (persistenceBlocked_) return false;
    }
    if (!take()) return true;
    NSFileManager::defaultManager().createDirectoryAtPath_withIntermediateDirectories(
        std::filesystem::path(path_).parent_path().string(), true);
    std::string why;
    std::optional<NSError> error;
    if (changesOnly) {
        error = writeChanges(snapshot, removed, why, folderWait);
    } else {
        PlistEntries entries;
        entries.reserve(snapshot.size());
        for (const auto& entry : snapshot)
            entries.emplace_back(entry.key, entry.value.get());
        // Given up, at its next piece, for the end (which writes what changed instead): the file
        // stays as it was. A newer change waits for it instead: were each write given up for the
        // next, a dictation changing the store every few seconds would never see one finish.
        bool givenUp = false;
        error = NSFileManager::defaultManager().writeAtomically(
            path_,
            [&](const NSFileManager::BytesWriter& write) -> std::optional<NSError> {
                auto piece = [&](std::string_view bytes) {
                    if (settled) {
                        std::lock_guard lock(mutex_);
                        if (ending_) {
                            givenUp = true;
                            return false;
                        }
                    }
                    if (!write(bytes)) return false;
                    if (pieceWritten) pieceWritten();
                    return true;
                };
                if (writePlistDictionary(entries, piece, &why)) return std::nullopt;
                if (givenUp) return NSError{NSCocoaErrorDomain, NSFileWriteUnknownError, "given up"};
                if (why.empty()) return std::nullopt;
                return NSError{NSCocoaErrorDomain, NSFileWriteUnknownError, why};
            },
            folderWait);
        if (givenUp) {
            // The end's write, made here on the worker, with the folder still free.
            if (!take()) return true;
            if (changesOnly) {
                error = writeChanges(snapshot, removed, why, folderWait);
            } else {
                // A small store: written whole, as it always was.
                entries.clear();
                for (const auto& entry : snapshot)
                    entries.emplace_back(entry.key, entry.value.get());
                error = NSFileManager::defaultManager().writeAtomically(
                    path_,
                    [&](const NSFileManager::BytesWriter& write) -> std::optional<NSError> {
                        if (writePlistDictionary(entries, write, &why) || why.empty()) return std::nullopt;
                        return NSError{NSCocoaErrorDomain, NSFileWriteUnknownError, why};
                    },
                    folderWait);
            }
        }
        if (!error && !changesOnly) {
            // The file holds every change the side file held: it goes, after the file is in place.
            // Should it outlast a crash here, it names a file that is no longer there.
            ::unlink(changesPath().c_str());
        }
    }
    std::lock_guard lock(mutex_);
    if (error && !why.empty()) {
        // Every value was made storable as it was set or read; a refusal here is a fault of ours.
        console().print("Preferences could not be saved: " + why);
        if (!failing_) untold_ = "The file \u201C" + path_ + "\u201D could not be saved: " + why;
        failing_ = true;
        return false;
    }
    if (error) {
        console().print("Preferences could not be saved: " + error->localizedDescription);
        if (!failing_) untold_ = error->localizedDescription;
        failing_ = true;
        return false;
    }
    if (!changesOnly) {
        fileGeneration_ = generation;
        std::erase_if(removed_, [&](const auto& r) { return r.second <= generation; });
    }
    if (generation_ == generation) dirty_ = false;
    failing_ = false;
    return true;
}

std::optional<NSError> NSUserDefaults::writeChanges(const std::vector<Entry>& snapshot,
                                                    const std::vector<std::string>& removed, std::string& why,
                                                    double folderWait) {
    std::vector<std::string> names;
    std::vector<const PlistValue*> values;
    const PlistValue beside{fileIdentity(path_)};
    const PlistValue gone{true};
    names.emplace_back(kBesideKey);
    values.push_back(&beside);
    std::uint64_t since = 0;
    {
        std::lock_guard lock(mutex_);
        since = fileGeneration_;
    }
    for (const auto& entry : snapshot) {
        if (entry.changed <= since) continue;
        names.push_back(std::string(kSetMark) + entry.key);
        values.push_back(entry.value.get());
    }
    for (const auto& key : removed) {
        // Set again since, and written as set.
        if (std::any_of(snapshot.begin(), snapshot.end(), [&](const Entry& e) { return e.key == key; }))
            continue;
        names.push_back(std::string(kRemovedMark) + key);
        values.push_back(&gone);
    }
    PlistEntries entries;
    entries.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        entries.emplace_back(names[i], values[i]);
    return NSFileManager::defaultManager().writeAtomically(
        changesPath(),
        [&](const NSFileManager::BytesWriter& write) -> std::optional<NSError> {
            if (writePlistDictionary(entries, write, &why) || why.empty()) return std::nullopt;
            return NSError{NSCocoaErrorDomain, NSFileWriteUnknownError, why};
        },
        folderWait);
}

} // namespace platform
