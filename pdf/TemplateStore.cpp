#include "pdf/TemplateStore.h"

#include "platform/foundation/Console.h"
#include "platform/foundation/NSUserDefaults.h"

namespace quillora {

using platform::NSUserDefaults;

std::string storedTranscript() {
    return NSUserDefaults::standardUserDefaults()
        ->stringForKey(std::string(keys::saveclipBoardText))
        .value_or("");
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
    return NSUserDefaults::standardUserDefaults()->stringForKey(std::string(keys::SaveImageData));
}

} // namespace quillora
