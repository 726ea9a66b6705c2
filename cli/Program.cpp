#include "cli/Program.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>

#include <unistd.h>

#include "app/ApplicationMain.h"
#include "cli/ConsoleLog.h"
#include "cli/ControlCommands.h"
#include "cli/DictationCommands.h"
#include "cli/FormCommands.h"
#include "cli/InstanceLock.h"
#include "cli/PagerCommands.h"
#include "cli/PermissionCommands.h"
#include "cli/ScriptInterpreter.h"
#include "cli/SettingsCommands.h"
#include "cli/TerminationWatch.h"
#include "entries/ListPrintProcess.h"
#include "platform/avfaudio/AVAudioInputSource.h"
#include "platform/desktop/DesktopWindow.h"
#include "platform/desktop/ProcessEnd.h"
#include "platform/desktop/TerminationSignals.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/speech/SFSpeechRecognizer.h"
#include "platform/uikit/UIApplication.h"

namespace quillora::cli {

std::string usage() {
    return "usage: quillora [OPTIONS] [demo | run SCRIPT|-]\n"
           "  (nothing)        open the application in a window when there is a display\n"
           "                   (WAYLAND_DISPLAY or DISPLAY), else run the demo\n"
           "  demo             dictate the demo recording, save it in the list and write a PDF\n"
           "  run SCRIPT       run a script of user actions, one per line ('-' reads standard input)\n"
           "  --window         insist on the window; fail when there is no display\n"
           "  --home DIR       keep the application's data in DIR (default: $QUILLORA_HOME, else\n"
           "                   $XDG_DATA_HOME/quillora, else ~/.local/share/quillora)\n"
           "  --console        also write the console lines to standard error (they always go to\n"
           "                   Library/Logs/console.log in the data folder)\n"
           "  --clock DATE     start the scripts' and the demo's virtual clock at DATE (ISO 8601,\n"
           "                   UTC unless it says otherwise, e.g. 2026-12-02T09:30:00Z); default now\n"
           "  --realtime       run scripts and the demo on the real clock instead of the virtual one\n"
           "  --microphone M   'device' (the ALSA capture device), 'silence' or an audio file;\n"
           "                   the window listens to the device, scripts to silence\n";
}

std::optional<double> parseISODate(const std::string& text) {
    static const std::regex pattern(
        R"((\d{4})-(\d{2})-(\d{2})(?:[T ](\d{2}):(\d{2})(?::(\d{2})(?:\.\d+)?)?)?(Z|[+-]\d{2}:?\d{2})?)");
    std::smatch m;
    if (!std::regex_match(text, m, pattern)) return std::nullopt;
    auto number = [&](int i) { return m[i].matched ? std::stoi(m[i].str()) : 0; };
    std::tm tm{};
    tm.tm_year = number(1) - 1900;
    tm.tm_mon = number(2) - 1;
    tm.tm_mday = number(3);
    tm.tm_hour = number(4);
    tm.tm_min = number(5);
    tm.tm_sec = number(6);
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 ||
        tm.tm_min > 59 || tm.tm_sec > 60)
        return std::nullopt;
    const int day = tm.tm_mday, month = tm.tm_mon;
    std::time_t seconds = timegm(&tm);
    // timegm rolls 31 April over into May: such a date does not exist.
    if (tm.tm_mday != day || tm.tm_mon != month) return std::nullopt;
    double result = static_cast<double>(seconds);
    if (m[7].matched && m[7].str() != "Z") {
        std::string offset = m[7].str();
        offset.erase(std::remove(offset.begin(), offset.end(), ':'), offset.end());
        const int hours = std::stoi(offset.substr(1, 2)), minutes = std::stoi(offset.substr(3, 2));
        if (hours > 23 || minutes > 59) return std::nullopt;
        const double shift = hours * 3600.0 + minutes * 60.0;
        result -= offset[0] == '+' ? shift : -shift;
    }
    return result;
}

std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error) {
    Options options;
    auto valueOf = [&](std::size_t& i, const std::string& name,
                       const char* what) -> std::optional<std::string> {
        const auto& arg = args[i];
        if (arg.rfind(name + "=", 0) == 0) return arg.substr(name.size() + 1);
        if (i + 1 >= args.size()) {
            error = name + " needs " + what;
            return std::nullopt;
        }
        return args[++i];
    };
    auto is = [&](const std::string& arg, const std::string& name) {
        return arg == name || arg.rfind(name + "=", 0) == 0;
    };
    bool window = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto& arg = args[i];
        if (is(arg, "--home")) {
            // Two data folders: whichever won, the other's data would be left unseen.
            if (options.home) {
                error = "--home is given twice: the application keeps its data in one folder";
                return std::nullopt;
            }
            auto value = valueOf(i, "--home", "a folder");
            if (!value) return std::nullopt;
            if (value->empty()) {
                error = "--home needs a folder";
                return std::nullopt;
            }
            options.home = *value;
        } else if (is(arg, "--clock")) {
            auto value = valueOf(i, "--clock", "a date (e.g. 2026-12-02T09:30:00Z)");
            if (!value) return std::nullopt;
            options.clock = parseISODate(*value);
            if (!options.clock) {
                error = "--clock needs an ISO 8601 date such as 2026-12-02 or 2026-12-02T09:30:00Z, not '" +
                        *value + "'";
                return std::nullopt;
            }
        } else if (is(arg, "--microphone")) {
            auto value = valueOf(i, "--microphone", "device, silence or an audio file");
            if (!value) return std::nullopt;
            if (value->empty()) {
                error = "--microphone needs device, silence or an audio file";
                return std::nullopt;
            }
            options.microphone = *value;
        } else if (arg == "--realtime") {
            options.realtime = true;
        } else if (arg == "--console") {
            options.console = true;
        } else if (arg == "--window") {
            window = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "run" || arg == "demo") {
            if (options.mode != Mode::automatic) {
                error = "'" + arg + "' cannot follow another command";
                return std::nullopt;
            }
            if (arg == "demo") {
                options.mode = Mode::demo;
                continue;
            }
            if (i + 1 >= args.size()) {
                error = "run needs a script (or - for standard input)";
                return std::nullopt;
            }
            options.mode = Mode::script;
            options.script = args[++i];
        } else {
            error = "unknown argument '" + arg + "'";
            return std::nullopt;
        }
    }
    if (window) {
        if (options.mode != Mode::automatic) {
            error = "--window opens the application for a person; it cannot run the demo or a script";
            return std::nullopt;
        }
        options.mode = Mode::window;
    }
    return options;
}

namespace {

// A script is typed or written by a person; anything larger is not one.
constexpr std::size_t kMaxScriptLength = std::size_t(64) << 20;

// Mode::automatic settled: the window where there is a display, else the demo (saying so).
Mode chooseMode(const Options& options) {
    if (options.mode != Mode::automatic) return options.mode;
    if (options.script) return Mode::script;
    if (platform::DesktopWindow::displayAvailable()) return Mode::window;
    platform::console().printOutput(
        "No display (neither WAYLAND_DISPLAY nor DISPLAY is set): running the demo.");
    return Mode::demo;
}

bool chooseMicrophone(const std::optional<std::string>& choice, std::string& error) {
    using platform::AVAudioInputSource;
    if (!choice || *choice == "device") {
        if (choice) AVAudioInputSource::setCurrent(AVAudioInputSource::captureDevice());
        return true;
    }
    if (*choice == "silence") {
        AVAudioInputSource::setCurrent(AVAudioInputSource::silence());
        return true;
    }
    std::optional<platform::NSError> failure;
    auto input = AVAudioInputSource::file(*choice, &failure);
    if (!input) {
        error = "cannot use '" + *choice + "' as the microphone: " +
                (failure ? failure->localizedDescription : std::string("unreadable"));
        return false;
    }
    AVAudioInputSource::setCurrent(input);
    return true;
}

// What a program ending on a folder still takes before it lets go: its termination's wait for its
// workers and for a folder another program keeps locked, and more for a loaded machine.
constexpr std::chrono::milliseconds kHolderEndingWait{15000};

// The folder is ours; `error` says why no other program can learn so (the disk is full).
std::optional<int> lockedWithoutName(const std::string& error) {
    // Held all the same: a second program is refused, only without learning what holds it.
    if (!error.empty()) std::cerr << "quillora: the data folder is locked, but " << error << std::endl;
    return std::nullopt;
}

// Takes the data folder for this run. When another program holds it, a start for the window brings
// that program's window forward and ends with 0, or, when no window answers, takes the folder once
// that program has let it go; anything else ends with 1, saying why: two programs on one folder
// would write the same files. Returns the exit code when the run must not go on.
std::optional<int> takeDataFolder(Mode mode, std::unique_ptr<InstanceLock>& lock) {
    const auto root = platform::Sandbox::root();
    const char* use = mode == Mode::window ? "window" : mode == Mode::demo ? "demo" : "script";
    std::optional<InstanceLock::Holder> holder;
    std::string error;
    lock = InstanceLock::acquire(root, use, holder, error);
    if (lock) return lockedWithoutName(error);
    if (!holder) {
        // A folder that cannot be locked cannot be written either: the run goes on and reports
        // what it cannot save.
        std::cerr << "quillora: the data folder is not locked against a second program: " << error
                  << std::endl;
        return std::nullopt;
    }
    const std::string who = holder->use == "window"   ? "Quillora's window"
                            : holder->use == "script" ? "a script"
                            : holder->use == "demo"   ? "the demo"
                                                      : "another program";
    const std::string process = holder->pid > 0 ? " (process " + std::to_string(holder->pid) + ")" : "";
    if (mode == Mode::window) {
        std::string why;
        const auto raised = InstanceLock::bringForward(root, *holder, why);
        if (raised == InstanceLock::Raised::answered) {
            std::cout << "Quillora is already open on " << root.string() << ": its window is brought forward."
                      << std::endl;
            return 0;
        }
        // Its window did not answer: its program is ending (a logout). The folder is taken once it
        // lets go, and the window opens here instead.
        if (raised == InstanceLock::Raised::noAnswer) {
            std::optional<InstanceLock::Holder> still;
            lock = InstanceLock::acquire(root, use, still, error, kHolderEndingWait);
            if (lock) return lockedWithoutName(error);
        }
        std::cerr << "quillora: " << who << process << " is using the data folder " << root.string()
                  << ", and its window cannot be brought forward: " << why << std::endl;
        return 1;
    }
    std::cerr << "quillora: " << who << process << " is using the data folder " << root.string() << "; the "
              << use << " would write the same files. Close it first, or use another folder (--home DIR)."
              << std::endl;
    return 1;
}

int runHeadless(Mode mode, const Options& options, ScriptInterpreter& interpreter, TerminationWatch& watch) {
    interpreter.settle();
    if (mode == Mode::demo) return runDemo(interpreter);
    if (*options.script == "-") return interpreter.run(watch.standardInput(), "<stdin>");
    std::string why;
    auto text =
        platform::NSFileManager::defaultManager().contentsAtPath(*options.script, kMaxScriptLength, &why);
    if (!text) {
        std::cerr << "quillora: cannot read the script '" << *options.script << "': it " << why << std::endl;
        return 1;
    }
    std::istringstream file(*text);
    return interpreter.run(file, *options.script);
}

} // namespace

int runProgram(const Options& options, int argc, char** argv,
               const std::function<void(ScriptInterpreter&)>& extend) {
    const Mode mode = chooseMode(options);
    if (mode == Mode::window && !platform::DesktopWindow::displayAvailable()) {
        std::cerr << "quillora: --window needs a display, and neither WAYLAND_DISPLAY nor DISPLAY is set"
                  << std::endl;
        return 1;
    }
    const auto root = options.home ? options.home : platform::Sandbox::defaultRoot();
    if (!root) {
        std::cerr << "quillora: there is no folder to keep the data in: HOME is not set, and the password "
                     "database gives this account no home folder. Give one with --home DIR."
                  << std::endl;
        return 1;
    }
    // Checked before anything is made there: another account's folder would let it read what is
    // dictated, change the lists, or answer for a window of its own.
    if (auto why = InstanceLock::whyNotOurs(*root)) {
        std::cerr << "quillora: the data folder " << root->string() << " is not used: " << *why
                  << ". Use a folder of your own (--home DIR)." << std::endl;
        return 1;
    }
    platform::Sandbox::setRoot(*root);
    // Before the log is started afresh: that is the running program's log too.
    std::unique_ptr<InstanceLock> lock;
    if (auto code = takeDataFolder(mode, lock)) return *code;
    std::string logError;
    ConsoleLog log(platform::Sandbox::root(), options.console, logError);
    if (!logError.empty()) std::cerr << "quillora: " << logError << std::endl;

    auto& loop = platform::RunLoop::main();
    if (mode == Mode::window || options.realtime) {
        loop.useRealClock();
    } else {
        // Files the scripts write are named after today unless the clock is fixed.
        using namespace std::chrono;
        loop.useVirtualClock(options.clock
                                 ? *options.clock
                                 : duration<double>(system_clock::now().time_since_epoch()).count());
    }
    std::string microphoneError;
    if (!chooseMicrophone(options.microphone, microphoneError)) {
        std::cerr << "quillora: " << microphoneError << std::endl;
        return 2;
    }
    if (mode == Mode::window && !options.microphone)
        platform::AVAudioInputSource::setCurrent(platform::AVAudioInputSource::captureDevice());
    // A person in the window gets a record button that is ready when enabled, the model loaded
    // once the window shows; scripts and the demo load it when they first record.
    using platform::SFSpeechRecognizer;
    if (mode == Mode::window) SFSpeechRecognizer::setModelLoading(SFSpeechRecognizer::ModelLoading::held);

    ScriptInterpreter interpreter;
    addDictationCommands(interpreter);
    addControlCommands(interpreter);
    addSettingsCommands(interpreter);
    addPermissionCommands(interpreter);
    addPagerCommands(interpreter);
    addFormCommands(interpreter);
    if (extend) extend(interpreter);
    platform::UIApplication::sharedApplication().setMainLoop([&]() -> int {
        if (mode == Mode::window) {
            std::string error;
            int code = platform::DesktopWindow::run("Quillora", lock ? lock->raiseRequests() : -1, error, [] {
                SFSpeechRecognizer::setModelLoading(SFSpeechRecognizer::ModelLoading::ahead);
            });
            if (code != 0) {
                std::cerr << "quillora: " << error << std::endl;
                // Launched all the same: it ends as quitting ends it.
                platform::UIApplication::sharedApplication().terminateAndSettle();
            }
            return code;
        }
        TerminationWatch watch;
        int code = 0;
        try {
            code = runHeadless(mode, options, interpreter, watch);
        } catch (const ProgramEnding&) {
        }
        if (!platform::TerminationSignals::requested()) {
            // A failed line ends the run as quitting would, so that what was dictated before it
            // (a phrase still being spoken too) is saved; the failure is still the exit status.
            if (code != 0) platform::UIApplication::sharedApplication().terminateAndSettle();
            return code;
        }
        // Ended from outside: as quitting ends it, whatever line the script had reached.
        platform::UIApplication::sharedApplication().terminateAndSettle();
        return 0;
    });
    return applicationMain(argc, argv);
}

int programMain(int argc, char** argv, const std::function<void(ScriptInterpreter&)>& extend) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    // Started again by itself to draw a long text's PDF: nothing of the application runs.
    if (!args.empty() && args.front() == ListPrintProcess::kArgument)
        _exit(ListPrintProcess::serve({args.begin() + 1, args.end()}));
    ListPrintProcess::useProgram("/proc/self/exe");
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
    platform::TerminationSignals::install();
    platform::ProcessEnd::exit(runProgram(*options, argc, argv, extend));
}

} // namespace quillora::cli
