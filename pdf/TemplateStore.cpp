#include "pdf/TemplateStore.h"

#include "platform/foundation/Console.h"
#include "platform/foundation/NSUserDefaults.h"

namespace quillora {

using platform::NSUserDefaults;

std::string storedTranscript() {
    return NSUserDefaults::standardUserDefaults()->stringForKey(kTranscriptKey).value_or("");
}

void storeDefaultTranscriptIfMissing() {
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (defaults->objectForKey(kTranscriptKey)) {
        platform::console().print("clipboard text alreadt there");
        return;
    }
    platform::console().print("default value of clipboard setting");
    defaults->setObject_forKey("...", kTranscriptKey);
}

TemplateDictionary storedTemplateDictionary(const std::string& key) {
    return NSUserDefaults::standardUserDefaults()->dictionaryForKey(key).value_or(TemplateDictionary{});
}

void storeTemplateDictionary(const std::string& key, const TemplateDictionary& dictionary) {
    NSUserDefaults::standardUserDefaults()->setObject_forKey(dictionary, key);
}

std::optional<std::string> storedPhotoPath() {
    return NSUserDefaults::standardUserDefaults()->stringForKey(kPhotoPathKey);
}

} // namespace quillora
