#pragma once
// The script actions that look at the screen and touch it where a person would.

namespace quillora::cli {

class ScriptInterpreter;

// Adds: snapshot FILE [SCALE] (the screen as a PNG, scale 2 by default; prints the file), and
// tap X Y (a touch at a point of the screen, in points) beside tap NAME.
void addPictureCommands(ScriptInterpreter& interpreter);

} // namespace quillora::cli
