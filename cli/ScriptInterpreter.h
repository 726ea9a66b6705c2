#pragma once
// Runs scripts of user actions against the running application, one action per line. Commands
// live in a table, so that other parts of the program add their own (speech, recognition...).

#include <functional>
#include <istream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace platform {
class NSObject;
class UIViewController;
} // namespace platform

namespace quillora::cli {

// A failed command; the interpreter adds the script's name and line.
class ScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One parsed line: the command word, the words after it, and the raw text after it.
struct ScriptLine {
    std::string command;
    std::vector<std::string> words;
    std::string rest;
    int number = 0;

    // The text after the first `skip` words, with surrounding quotes removed and \n turned into
    // line breaks.
    std::string textAfter(std::size_t skip) const;
    // The first argument, which may be quoted to hold blanks, and the text after it as textAfter
    // gives it. `what` names the argument when its quote is not closed.
    std::pair<std::string, std::string> firstAndRest(const std::string& what) const;
};

class ScriptInterpreter {
public:
    using Handler = std::function<void(ScriptInterpreter&, const ScriptLine&)>;

    // An interpreter with the built-in commands (tap, type, pick, alert, wait, background,
    // foreground, terminate, show, back) and the screen commands (row, swipe, delete, open, press,
    // edit, dismiss).
    ScriptInterpreter();

    // Adds or replaces a command. `usage` is shown in error messages about its arguments.
    void addCommand(const std::string& name, const std::string& usage, Handler handler);
    bool hasCommand(const std::string& name) const { return commands_.count(name) > 0; }
    // The handler of a command, to wrap it; empty when there is none.
    Handler commandHandler(const std::string& name) const {
        auto it = commands_.find(name);
        return it == commands_.end() ? Handler() : it->second.handler;
    }

    // Runs the script; on the first failing line prints "NAME:LINE: reason" on standard error and
    // returns 1. Returns 0 when every line ran. Throws
    // ProgramEnding once the program is asked to end from outside.
    int run(std::istream& script, const std::string& scriptName);
    // Runs one line (already numbered); throws ScriptError when it fails, ProgramEnding instead of
    // running it once the program is asked to end.
    void runLine(const std::string& text, int number);

    // Lets queued work that is due run, as the device would between two touches.
    void settle();

    // Helpers for commands.
    static std::shared_ptr<platform::UIViewController> currentScreen();
    // The control named `name` on the current screen, or its navigation bar item of that title;
    // throws when there is none.
    static std::shared_ptr<platform::NSObject> control(const std::string& name);
    static void requireWords(const ScriptLine& line, std::size_t count, const std::string& usage);
    // `word` as a whole number; throws naming `what` when it is not one.
    static long parseInteger(const std::string& word, const std::string& what);

private:
    // Throws why `name` cannot be touched when it is a control of a screen behind the front one.
    static void coveredControl(const std::string& name);

    struct Command {
        std::string usage;
        Handler handler;
    };
    void addBuiltInCommands();
    std::map<std::string, Command> commands_;
};

} // namespace quillora::cli
