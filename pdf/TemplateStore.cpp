#include "pdf/TemplateStore.h"

#include <filesystem>

#include "platform/foundation/Console.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"

namespace quillora {

using platform::NSUserDefaults;

std::string storedTranscript() {
    return NSUserDefaults::standardUserDefaults()
        ->stringForKey(std::string(keys::saveclipBoardText))
        .value_or("");
}

std::shared_ptr<const std::string> sharedStoredTranscript() {
    auto stored =
        NSUserDefaults::standardUserDefaults()->sharedStringForKey(std::string(keys::saveclipBoardText));
    return stored ? stored : std::make_shared<const std::string>();
}

void storeDefaultTranscriptIfMissing() {
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (defaults->objectForKey(std::string(keys::saveclipBoardText))) {
        platform::console().print("clipboard text alreadt there");
        return;
    }
    platform::console().print("default value of clipboard setting");
    defaults->setObject_forKey("...", std::string(keys::saveclipBoardText));
}

TemplateDictionary storedTemplateDictionary(const std::string& key) {
    return NSUserDefaults::standardUserDefaults()->dictionaryForKey(key).value_or(TemplateDictionary{});
}

void storeTemplateDictionary(const std::string& key, const TemplateDictionary& dictionary) {
    NSUserDefaults::standardUserDefaults()->setObject_forKey(dictionary, key);
}

std::optional<std::string> storedPhotoPath() {
    auto path = NSUserDefaults::standardUserDefaults()->stringForKey(std::string(keys::SaveImageData));
    if (path && !path->empty() && std::filesystem::path(*path).is_relative())
        return (platform::Sandbox::root() / *path).string();
    return path;
}

void storePhotoPath(const std::string& path) {
    std::string stored = path;
    // Absolute where it can be, as earlier versions read it.
    if (platform::storableText(path) != path) {
        std::error_code ec;
        const auto root = std::filesystem::absolute(platform::Sandbox::root(), ec).lexically_normal();
        const auto relative = std::filesystem::path(path).lexically_normal().lexically_relative(root);
        if (!relative.empty() && *relative.begin() != "..") stored = relative.string();
    }
    NSUserDefaults::standardUserDefaults()->setObject_forKey(stored, std::string(keys::SaveImageData));
}

} // namespace quillora
