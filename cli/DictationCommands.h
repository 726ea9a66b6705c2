#pragma once
// The speech and audio actions of scripts, and the bundled demo.

#include <filesystem>
#include <string>

namespace quillora::cli {

class ScriptInterpreter;

// Adds: language ROW, scripted [LOCALE...], partial TEXT, final TEXT, fail TEXT, speak FILE,
// microphone silence|device|FILE, offline, online.
void addDictationCommands(ScriptInterpreter& interpreter);

// Dictates the bundle's demo recording on the main screen with real recognition, saves the
// transcript into the list, pours it into the essay template's PDF and prints the transcript and
// the two files written. Returns the exit code.
int runDemo(ScriptInterpreter& interpreter);

} // namespace quillora::cli
