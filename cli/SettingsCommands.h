#pragma once
// The actions of scripts on the settings screens: steppers of declarative screens, the mail
// composer, and whether the device has a mail account.

namespace quillora::cli {

class ScriptInterpreter;

// Adds: increment LABEL, decrement LABEL, mail send|save|cancel, mail account|none.
void addSettingsCommands(ScriptInterpreter& interpreter);

} // namespace quillora::cli
