#include "platform/foundation/NSUserDefaults.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <glib.h>
#include <limits>
#include <plist/plist.h>

#include "platform/foundation/Console.h"
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
        std::atexit([] {
            std::shared_ptr<NSUserDefaults> current;
            {
                std::lock_guard lock(shared().mutex);
                current = shared().instance;
            }
            if (current) current->synchronize();
        });
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

std::optional<std::string> stringOf(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    return std::string(text ? text : "", text ? length : 0);
}

// GCC 12 at -O2 warns that the variant's string "may be used uninitialized" when the optional
// is destroyed along the paths that never built it: a known false positive of its inliner.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
std::optional<PropertyValue> valueOf(plist_t node) {
    if (!node) return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        return PropertyValue(static_cast<NSInteger>(v));
    }
    case PLIST_REAL: {
        double v = 0;
        plist_get_real_val(node, &v);
        return PropertyValue(v);
    }
    case PLIST_BOOLEAN: {
        uint8_t v = 0;
        plist_get_bool_val(node, &v);
        return PropertyValue(v != 0);
    }
    case PLIST_STRING:
        return PropertyValue(*stringOf(node));
    case PLIST_ARRAY: {
        StringArray out;
        for (uint32_t i = 0, n = plist_array_get_size(node); i < n; ++i) {
            auto item = stringOf(plist_array_get_item(node, i));
            if (!item) return std::nullopt;
            out.push_back(std::move(*item));
        }
        std::optional<PropertyValue> result;
        result.emplace(std::in_place_type<StringArray>, std::move(out));
        return result;
    }
    case PLIST_DICT: {
        StringDictionary out;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        bool allStrings = true;
        while (it) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, it, &key, &item);
            if (!key) break;
            if (auto value = stringOf(item)) {
                out[key] = std::move(*value);
            } else {
                allStrings = false;
            }
            std::free(key);
        }
        std::free(it);
        std::optional<PropertyValue> result;
        if (allStrings) result.emplace(std::in_place_type<StringDictionary>, std::move(out));
        return result;
    }
    default:
        // Dates, data and nested containers: kept in the file untouched, but not handed out.
        return std::nullopt;
    }
}
#pragma GCC diagnostic pop

plist_t nodeOf(const PropertyValue& value) {
    return std::visit(
        [](const auto& v) -> plist_t {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, NSInteger>) {
                return plist_new_uint(static_cast<uint64_t>(v));
            } else if constexpr (std::is_same_v<T, double>) {
                return plist_new_real(v);
            } else if constexpr (std::is_same_v<T, bool>) {
                return plist_new_bool(v ? 1 : 0);
            } else if constexpr (std::is_same_v<T, std::string>) {
                return plist_new_string(v.c_str());
            } else if constexpr (std::is_same_v<T, StringArray>) {
                plist_t array = plist_new_array();
                for (const auto& s : v)
                    plist_array_append_item(array, plist_new_string(s.c_str()));
                return array;
            } else {
                plist_t dict = plist_new_dict();
                for (const auto& [k, s] : v)
                    plist_dict_set_item(dict, k.c_str(), plist_new_string(s.c_str()));
                return dict;
            }
        },
        value);
}

} // namespace

std::shared_ptr<NSUserDefaults> NSUserDefaults::standardUserDefaults() {
    auto& s = shared();
    std::lock_guard lock(s.mutex);
    if (!s.instance) {
        auto path = Sandbox::preferences() / (std::string(kDomainName) + ".plist");
        s.instance = std::make_shared<NSUserDefaults>(path.string());
    }
    return s.instance;
}

void NSUserDefaults::resetStandardUserDefaults() {
    std::shared_ptr<NSUserDefaults> dropped;
    auto& s = shared();
    std::lock_guard lock(s.mutex);
    dropped.swap(s.instance);
}

NSUserDefaults::NSUserDefaults(std::string path) : path_(std::move(path)) {
    load();
}

NSUserDefaults::~NSUserDefaults() {
    plist_free(root_);
}

void NSUserDefaults::load() {
    root_ = plist_new_dict();
    auto& files = NSFileManager::defaultManager();
    {
        auto lock = files.lockFolderOf(path_, 0);
        if (lock.held()) files.removeLeftoverTemporaryFiles(path_);
    }
    // The transcript is kept here too, so the bound is a list file's.
    auto contents = RegularFile::read(path_, kMaxListFileLength);
    if (contents.missing) return;
    std::string why = "it " + contents.why;
    if (contents.bytes) {
        const std::string& bytes = *contents.bytes;
        auto problem = bytes.empty() ? std::optional<std::string>("it is empty") : plistNestingProblem(bytes);
        if (problem) {
            why = *problem;
        } else {
            plist_t parsed = nullptr;
            plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &parsed);
            if (parsed && plist_get_node_type(parsed) == PLIST_DICT) {
                plist_free(root_);
                root_ = parsed;
                return;
            }
            why = parsed ? "it is not a dictionary" : "it is not a property list, or is cut short";
            plist_free(parsed);
        }
    }
    // Unreadable: keep the file for whoever wants to recover it, and start empty.
    auto stamp = std::to_string(static_cast<long long>(std::floor(RunLoop::main().wallTime())));
    NSError error;
    auto aside = files.moveItemAside(path_, ".corrupt-" + stamp, &error);
    if (!aside) {
        persistenceBlocked_ = true;
        console().print("Preferences file " + path_ + " could not be read (" + why + ") nor moved aside (" +
                        error.localizedDescription + "); changes will not be saved");
    } else {
        console().print("Preferences file " + path_ + " could not be read (" + why + "); kept aside as " +
                        *aside);
    }
}

std::optional<PropertyValue> NSUserDefaults::objectForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return valueOf(plist_dict_get_item(root_, key.c_str()));
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
    auto value = objectForKey(key);
    if (!value) return std::nullopt;
    if (auto* s = std::get_if<std::string>(&*value)) return *s;
    if (auto* i = std::get_if<NSInteger>(&*value)) return std::to_string(*i);
    if (auto* d = std::get_if<double>(&*value)) return decimalText(*d);
    if (auto* b = std::get_if<bool>(&*value)) return std::string(*b ? "1" : "0");
    return std::nullopt;
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
    {
        std::lock_guard lock(mutex_);
        plist_dict_set_item(root_, key.c_str(), nodeOf(value));
    }
    changed();
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
    setObject_forKey(PropertyValue(value), key);
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
    {
        std::lock_guard lock(mutex_);
        if (!plist_dict_get_item(root_, key.c_str())) return;
        plist_dict_remove_item(root_, key.c_str());
    }
    changed();
}

void NSUserDefaults::changed() {
    std::lock_guard lock(mutex_);
    dirty_ = true;
    if (writeScheduled_) return;
    writeScheduled_ = true;
    std::weak_ptr<NSUserDefaults> weak = weak_from_this();
    RunLoop::main().schedule(0, [weak] {
        auto self = weak.lock();
        if (!self) return;
        {
            std::lock_guard lock(self->mutex_);
            self->writeScheduled_ = false;
            if (self->dirty_) self->writeLocked();
        }
        self->reportFailure();
    });
}

bool NSUserDefaults::synchronize() {
    bool written;
    {
        std::lock_guard lock(mutex_);
        written = !dirty_ || writeLocked();
    }
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

bool NSUserDefaults::writeLocked() {
    if (persistenceBlocked_) return false;
    const std::string file = "The file \u201C" + path_ + "\u201D could not be saved: ";
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root_, &xml, &length);
    if (!xml) {
        console().print("Preferences could not be encoded; not saved");
        if (!failing_) untold_ = file + "its values could not be encoded";
        failing_ = true;
        return false;
    }
    std::string written(xml, length);
    plist_to_xml_free(xml);
    // libplist writes carriage returns and control characters as they are; XML reads the first
    // back as line feeds and allows none of the others.
    std::string bytes;
    bytes.reserve(written.size());
    for (char c : written) {
        if (c == '\r') {
            bytes += "&#13;";
        } else if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') {
            console().print("Preferences could not be saved: a value holds a control character");
            if (!failing_) untold_ = file + "a value holds a control character";
            failing_ = true;
            return false;
        } else {
            bytes += c;
        }
    }
    if (!g_utf8_validate_len(bytes.data(), bytes.size(), nullptr)) {
        console().print("Preferences could not be saved: a value holds bytes that are not UTF-8 text");
        if (!failing_) untold_ = file + "a value holds bytes that are not UTF-8 text";
        failing_ = true;
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
    if (auto error = NSFileManager::defaultManager().writeAtomically(path_, bytes)) {
        console().print("Preferences could not be saved: " + error->localizedDescription);
        if (!failing_) untold_ = error->localizedDescription;
        failing_ = true;
        return false;
    }
    dirty_ = false;
    failing_ = false;
    return true;
}

} // namespace platform
