#pragma once
// Where the template screens meet the rest of the application: the transcript, the forms'
// template dictionaries and the picked photo, all in the standard user-defaults store.

#include <memory>
#include <optional>
#include <string>

#include "common/StoredKeys.h"
#include "pdf/PDFTemplate.h"

namespace quillora {

// The transcript; empty when none was ever stored.
std::string storedTranscript();
// The same as the store holds it, shared rather than copied (a long one is read on the main thread).
std::shared_ptr<const std::string> sharedStoredTranscript();
// Puts "..." under the transcript key when nothing is stored there, so that a template always has
// a body. Dictation screens call it as they load; it prints which case it met.
void storeDefaultTranscriptIfMissing();

// A form's dictionary as the template screens read it: empty when absent or not a dictionary.
TemplateDictionary storedTemplateDictionary(const std::string& key);
// Replaces the whole dictionary under `key` (a row's dictionaryKey), as a form's Preview does
// before it shows its template screen.
void storeTemplateDictionary(const std::string& key, const TemplateDictionary& dictionary);

// The path of the picked photo, when one was picked.
std::optional<std::string> storedPhotoPath();
// Keeps `path` as the picked photo's. A path the store cannot carry as it is (a data folder whose
// name is not UTF-8) is kept relative to the data folder, which storedPhotoPath resolves.
void storePhotoPath(const std::string& path);

} // namespace quillora
