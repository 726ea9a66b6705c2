#pragma once
// Locales: the user's current one comes from the environment (LC_ALL, then LC_MESSAGES, then
// LANG), as the host's own programs read it; tests inject their own.

#include <optional>
#include <string>

namespace platform {

class NSLocale {
public:
    // "es_MX", "en-US", "zh_Hans_CN", "de_DE.UTF-8@euro": encoding and modifier are dropped;
    // "C", "POSIX" and "" make a locale with no language and no region.
    explicit NSLocale(const std::string& identifier = "");
    static NSLocale localeWithLocaleIdentifier(const std::string& identifier) { return NSLocale(identifier); }

    // The injected locale when there is one, else the environment's.
    static NSLocale currentLocale();
    // Replaces the current locale until reset (none: back to the environment).
    static void setCurrentLocaleForTesting(std::optional<NSLocale> locale);

    // "es_MX"; empty for the C locale.
    const std::string& localeIdentifier() const { return identifier_; }
    // "es"
    const std::optional<std::string>& languageCode() const { return language_; }
    // "MX"
    const std::optional<std::string>& regionCode() const { return region_; }

    bool operator==(const NSLocale& other) const { return identifier_ == other.identifier_; }

private:
    std::string identifier_;
    std::optional<std::string> language_;
    std::optional<std::string> region_;
};

} // namespace platform
