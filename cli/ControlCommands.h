#pragma once
// Script verbs for controls beyond taps and typing: segmented controls, touching a text view,
// and the speech-recognition permission the user gives or refuses.

namespace quillora::cli {

class ScriptInterpreter;

void addControlCommands(ScriptInterpreter& interpreter);

} // namespace quillora::cli
