#include "platform/foundation/NSLocale.h"

#include <cctype>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/foundation/Sandbox.h"

namespace platform {

namespace {
struct Injected {
    std::mutex mutex;
    std::optional<NSLocale> locale;
};

Injected& injected() {
    static Injected s;
    static bool hooked = [] {
        registerSharedInstanceReset([] { NSLocale::setCurrentLocaleForTesting(std::nullopt); });
        return true;
    }();
    (void)hooked;
    return s;
}

bool allLetters(const std::string& s) {
    for (unsigned char c : s) {
        if (!std::isalpha(c)) return false;
    }
    return !s.empty();
}

bool allDigits(const std::string& s) {
    for (unsigned char c : s) {
        if (!std::isdigit(c)) return false;
    }
    return !s.empty();
}
} // namespace

NSLocale::NSLocale(const std::string& identifier) {
    std::string id = identifier.substr(0, identifier.find_first_of(".@"));
    if (id.empty() || id == "C" || id == "POSIX") return;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= id.size()) {
        std::size_t end = id.find_first_of("_-", start);
        parts.push_back(id.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (!allLetters(parts[0])) return;
    std::string language;
    for (char c : parts[0])
        language += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    language_ = language;
    identifier_ = language;
    std::size_t next = 1;
    if (next < parts.size() && parts[next].size() == 4 && allLetters(parts[next])) {
        std::string script = parts[next++];
        for (auto& c : script)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        script[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(script[0])));
        identifier_ += "_" + script;
    }
    if (next < parts.size() && ((parts[next].size() == 2 && allLetters(parts[next])) ||
                                (parts[next].size() == 3 && allDigits(parts[next])))) {
        std::string region = parts[next];
        for (auto& c : region)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        region_ = region;
        identifier_ += "_" + region;
    }
}

NSLocale NSLocale::currentLocale() {
    {
        auto& s = injected();
        std::lock_guard lock(s.mutex);
        if (s.locale) return *s.locale;
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = std::getenv(name); value && *value) return NSLocale(value);
    }
    return NSLocale();
}

void NSLocale::setCurrentLocaleForTesting(std::optional<NSLocale> locale) {
    auto& s = injected();
    std::lock_guard lock(s.mutex);
    s.locale = std::move(locale);
}

} // namespace platform
