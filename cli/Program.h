#pragma once
// The quillora program: options, where its data lives, and how it drives the application.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillora::cli {

class ScriptInterpreter;

struct Options {
    std::optional<std::filesystem::path> home;
    bool realtime = false;
    // A script path, "-" for standard input, or none for the default run.
    std::optional<std::string> script;
    bool help = false;
};

// Parses the arguments after the program name; an error message in `error` when they are wrong.
std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error);
std::string usage();

// Sets up the sandbox and the clock, launches the application through its entry point and then
// runs the script (or the default run) as its main loop. `extend` may add commands to the
// interpreter before it runs. Returns the exit code.
int runProgram(const Options& options, int argc, char** argv,
               const std::function<void(ScriptInterpreter&)>& extend = nullptr);

// The whole program: parse, then run. What main() calls.
int programMain(int argc, char** argv);

} // namespace quillora::cli
