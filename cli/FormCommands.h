#pragma once
// The script actions of the template forms: radio choices under their row heading, the photo
// picker, and the device's appearance the forms' symbols follow.

namespace quillora::cli {

class ScriptInterpreter;

// Adds: choose HEADING ITEM, photo FILE|cancel, appearance dark|light.
void addFormCommands(ScriptInterpreter& interpreter);

} // namespace quillora::cli
