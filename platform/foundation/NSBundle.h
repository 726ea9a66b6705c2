#pragma once
// The application bundle: resources/ copied next to the program, or $QUILLORA_BUNDLE.

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace platform {

class NSBundle {
public:
    static NSBundle& mainBundle();

    const std::filesystem::path& bundlePath() const { return path_; }
    // Points the main bundle at another folder (tests, --bundle); drops cached strings.
    void setBundlePath(const std::filesystem::path& path);

    // The file `name`.`ext` (ext may be empty, or already part of name) when the bundle has it.
    std::optional<std::filesystem::path> pathForResource(const std::string& name,
                                                         const std::string& ext) const;
    // An image by name, with or without its ".png" ending (other endings must be given).
    std::optional<std::filesystem::path> pathForImageNamed(const std::string& name) const;
    // The translation of `key` in Localizable.strings (or `table`.strings); the key itself when
    // there is none (or `value` when given and not empty).
    std::string localizedStringForKey(const std::string& key, const std::string& value = "",
                                      const std::string& table = "") const;

    // The bundle the program uses: $QUILLORA_BUNDLE, else resources/ beside the executable,
    // else the source tree's resources/.
    static std::filesystem::path defaultPath();

private:
    NSBundle();
    const std::map<std::string, std::string>& table(const std::string& name) const;

    std::filesystem::path path_;
    mutable std::map<std::string, std::map<std::string, std::string>> tables_;
};

// NSLocalizedString(key, comment): the main bundle's translation of key.
std::string NSLocalizedString(const std::string& key, const std::string& comment = "");

} // namespace platform
