#pragma once
// The script actions of the template forms: radio choices under their row heading and the photo
// picker.

namespace quillora::cli {

class ScriptInterpreter;

// Adds: choose HEADING ITEM, photo FILE|cancel.
void addFormCommands(ScriptInterpreter& interpreter);

} // namespace quillora::cli
