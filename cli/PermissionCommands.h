#pragma once
// The script action on the microphone permission.

namespace quillora::cli {

class ScriptInterpreter;

// Adds: recordpermission granted|denied|undetermined [grant|deny]. The first word is the shared
// audio session's record permission as it stands; the second, the user's answer when a screen asks
// while it is undetermined (grant unless said otherwise).
void addPermissionCommands(ScriptInterpreter& interpreter);

} // namespace quillora::cli
