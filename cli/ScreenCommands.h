#pragma once
// The script actions on tables, storyboard scenes, hosted declarative screens and presentations.

namespace quillora::cli {

class ScriptInterpreter;

// Adds: row TABLE ROW, swipe TABLE ROW ACTION, delete TABLE ROW, open IDENTIFIER, press LABEL,
// edit LABEL TEXT, dismiss.
void addScreenCommands(ScriptInterpreter& interpreter);

} // namespace quillora::cli
