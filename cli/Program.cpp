#include "cli/Program.h"

#include <fstream>
#include <iostream>

#include "app/ApplicationMain.h"
#include "cli/DictationCommands.h"
#include "cli/FormCommands.h"
#include "cli/PagerCommands.h"
#include "cli/PermissionCommands.h"
#include "cli/ScriptInterpreter.h"
#include "cli/SettingsCommands.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/UIApplication.h"

namespace quillora::cli {

std::string usage() {
    return "usage: quillora [--home DIR] [--realtime] [run SCRIPT|-]\n"
           "  --home DIR   keep the application's data in DIR (default: $QUILLORA_HOME, else\n"
           "               $XDG_DATA_HOME/quillora, else ~/.local/share/quillora)\n"
           "  --realtime   run on the real clock instead of the virtual one\n"
           "  run SCRIPT   run a script of user actions, one per line ('-' reads standard input);\n"
           "               without it the demo recording is dictated on the main screen\n";
}

std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto& arg = args[i];
        if (arg == "--home") {
            if (i + 1 >= args.size()) {
                error = "--home needs a folder";
                return std::nullopt;
            }
            options.home = args[++i];
        } else if (arg.rfind("--home=", 0) == 0) {
            options.home = arg.substr(7);
        } else if (arg == "--realtime") {
            options.realtime = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "run") {
            if (i + 1 >= args.size()) {
                error = "run needs a script (or - for standard input)";
                return std::nullopt;
            }
            options.script = args[++i];
        } else {
            error = "unknown argument '" + arg + "'";
            return std::nullopt;
        }
    }
    if (options.home && options.home->empty()) {
        error = "--home needs a folder";
        return std::nullopt;
    }
    return options;
}

int runProgram(const Options& options, int argc, char** argv,
               const std::function<void(ScriptInterpreter&)>& extend) {
    platform::Sandbox::setRoot(options.home ? *options.home : platform::Sandbox::defaultRoot());
    if (!options.realtime)
        platform::RunLoop::main().useVirtualClock();
    else
        platform::RunLoop::main().useRealClock();

    ScriptInterpreter interpreter;
    addDictationCommands(interpreter);
    addSettingsCommands(interpreter);
    addPermissionCommands(interpreter);
    addPagerCommands(interpreter);
    addFormCommands(interpreter);
    if (extend) extend(interpreter);
    platform::UIApplication::sharedApplication().setMainLoop([&]() -> int {
        interpreter.settle();
        if (!options.script) return runDemo(interpreter);
        if (*options.script == "-") return interpreter.run(std::cin, "<stdin>");
        std::ifstream file(*options.script);
        if (!file) {
            std::cerr << "quillora: cannot read the script '" << *options.script << "'" << std::endl;
            return 1;
        }
        return interpreter.run(file, *options.script);
    });
    return applicationMain(argc, argv);
}

int programMain(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::string error;
    auto options = parseOptions(args, error);
    if (!options) {
        std::cerr << "quillora: " << error << "\n" << usage();
        return 2;
    }
    if (options->help) {
        std::cout << usage();
        return 0;
    }
    return runProgram(*options, argc, argv);
}

} // namespace quillora::cli
