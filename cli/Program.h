#pragma once
// The quillora program: options, where its data lives, and how it drives the application.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillora::cli {

class ScriptInterpreter;

enum class Mode {
    // A window when a display is there, else the demo.
    automatic,
    demo,
    window,
    script,
};

struct Options {
    std::optional<std::filesystem::path> home;
    bool realtime = false;
    Mode mode = Mode::automatic;
    // A script path, or "-" for standard input (Mode::script).
    std::optional<std::string> script;
    // Where the virtual clock starts (seconds since 1970); none: the real current time.
    std::optional<double> clock;
    // Console lines also on standard error.
    bool console = false;
    // "silence", "device" or an audio file; none: the program's choice for the mode.
    std::optional<std::string> microphone;
    bool help = false;
};

// Parses the arguments after the program name; an error message in `error` when they are wrong.
std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error);
std::string usage();

// "2026-12-02", "2026-12-02T09:30", "2026-12-02T09:30:15" in UTC, or with "Z" or an offset such as
// "+01:00": seconds since 1970; none when it is not such a date.
std::optional<double> parseISODate(const std::string& text);

// Sets up the sandbox, the console log and the clock, launches the application through its entry
// point and then runs the script, the demo or the window as its main loop. `extend` may add
// commands to the interpreter before it runs. Returns the exit code.
int runProgram(const Options& options, int argc, char** argv,
               const std::function<void(ScriptInterpreter&)>& extend = nullptr);

// The whole program: parse, then run. What main() calls (a test's program may extend it as above).
// A run ends the process itself (ProcessEnd) with its exit code; only a refused command line or
// --help returns one.
int programMain(int argc, char** argv, const std::function<void(ScriptInterpreter&)>& extend = nullptr);

} // namespace quillora::cli
