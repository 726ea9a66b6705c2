#pragma once
// The script actions of pagers, galleries and the device: swipes, taps on views, scrolling and
// turning the screen.

namespace quillora::cli {

class ScriptInterpreter;

// Adds: page next|previous|abandon, tapview [TAG], scroll NAME X, rotate landscape|portrait.
void addPagerCommands(ScriptInterpreter& interpreter);

} // namespace quillora::cli
