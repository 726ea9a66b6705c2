#pragma once
// The script actions of a keyboard: keys pressed on the focused text, and typing at the caret.

namespace quillora::cli {

class ScriptInterpreter;

// Adds: key COMBO (a key as X names it, with ctrl/shift/alt: Left, ctrl+Left, shift+End, ctrl+a,
// Return, BackSpace...), pressed on the focused text through the same path as the window's keys;
// and extends type NAME TEXT to search bars and to the fields and editors of declarative screens
// (by label), typing at the caret over the selection.
void addKeyCommands(ScriptInterpreter& interpreter);

} // namespace quillora::cli
