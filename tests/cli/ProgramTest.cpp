// What the program chooses to do from its arguments and environment, where its console goes, and
// the clock its scripts start on.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "cli/ConsoleLog.h"
#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/speech/PocketsphinxEngine.h"
#include "tests/support/PlatformTest.h"

using namespace quillora::cli;

namespace {

class ProgramTest : public quillora::test::PlatformTest {
protected:
    int runScript(Options options, const std::string& text,
                  const std::function<void(ScriptInterpreter&)>& extend = nullptr) {
        auto path = home / "script.txt";
        std::ofstream(path) << text;
        options.home = home;
        options.script = path.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        return runProgram(options, 1, argv, extend);
    }
    static std::string read(const std::filesystem::path& path) {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

// Restores an environment variable when the test ends.
class ScopedEnv {
public:
    explicit ScopedEnv(const char* name) : name_(name) {
        if (const char* v = std::getenv(name)) old_ = v;
        unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

TEST_F(ProgramTest, CommandsAndOptionsChooseOneModeAndRefuseWhatCannotGoTogether) {
    std::string error;
    auto plain = parseOptions({}, error);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->mode, Mode::automatic);
    EXPECT_EQ(parseOptions({"demo"}, error)->mode, Mode::demo);
    EXPECT_EQ(parseOptions({"--window", "--home", "/tmp/q"}, error)->mode, Mode::window);
    auto script = parseOptions({"--console", "--microphone=clip.wav", "run", "a.txt"}, error);
    ASSERT_TRUE(script);
    EXPECT_EQ(script->mode, Mode::script);
    EXPECT_TRUE(script->console);
    EXPECT_EQ(script->microphone, "clip.wav");

    for (std::vector<std::string> wrong : {std::vector<std::string>{"--window", "demo"},
                                           {"--window", "run", "a.txt"},
                                           {"demo", "run", "a.txt"},
                                           {"--clock"},
                                           {"--clock", "yesterday"},
                                           {"--microphone"},
                                           {"--home="},
                                           {"--home", "/tmp/a", "--home=/tmp/b"},
                                           {"--home=/tmp/a", "demo", "--home", "/tmp/a"}}) {
        error.clear();
        EXPECT_FALSE(parseOptions(wrong, error)) << wrong.front();
        EXPECT_FALSE(error.empty());
    }

    // No display: --window fails with its reason before anything starts; nothing is written.
    ScopedEnv display("DISPLAY"), wayland("WAYLAND_DISPLAY");
    Options window;
    window.mode = Mode::window;
    window.home = home / "window";
    testing::internal::CaptureStderr();
    char name[] = "quillora";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(runProgram(window, 1, argv), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("--window needs a display"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(home / "window"));
}

// A script that only looks at screens pays for no speech model; its first tap on the record button
// loads it, and the recording starts once it has.
TEST_F(ProgramTest, AScriptLoadsTheSpeechModelOnlyWhenItRecords) {
    const bool loadedBefore = platform::PocketsphinxEngine::isLoaded();
    if (loadedBefore) std::cout << "[ note ] the model was loaded before this test" << std::endl;
    std::vector<bool> loaded;
    auto extend = [&](ScriptInterpreter& interpreter) {
        interpreter.addCommand("loaded", "loaded", [&](ScriptInterpreter&, const ScriptLine&) {
            loaded.push_back(platform::PocketsphinxEngine::isLoaded());
        });
    };
    Options options;
    options.microphone = "silence";
    ASSERT_EQ(runScript(options,
                        "show\nsegment segmentcontrol Notes\nsegment segmentcontrol Dictation\n"
                        "tap StickyDynamicButton\ndismiss\nloaded\n"
                        "tap recordButton\nloaded\nwait 1\ntap recordButton\nwait 1\n",
                        extend),
              0);
    EXPECT_EQ(loaded, (std::vector<bool>{loadedBefore, true}));
}

TEST_F(ProgramTest, IsoDatesAreReadInUtcOrTheirOffsetAndImpossibleDatesAreRefused) {
    EXPECT_EQ(parseISODate("2026-12-02"), 1796169600.0);
    EXPECT_EQ(parseISODate("2026-12-02T00:00:00Z"), 1796169600.0);
    EXPECT_EQ(parseISODate("2026-12-02T09:30"), 1796169600.0 + 9.5 * 3600);
    EXPECT_EQ(parseISODate("2026-12-02T10:30:00+01:00"), 1796169600.0 + 9.5 * 3600);
    EXPECT_EQ(parseISODate("2026-12-01T20:00:00-0400"), 1796169600.0);
    for (const char* wrong : {"2026-02-30", "2026-13-01", "2026-12-02T24:00", "02.12.2026",
                              "2026-12-02T10:30+25:00", "2026-12-02 junk", ""})
        EXPECT_FALSE(parseISODate(wrong)) << wrong;
}

TEST_F(ProgramTest, ScriptsStartAtTheRealTimeUnlessTheClockIsFixed) {
    std::vector<double> seen;
    auto extend = [&](ScriptInterpreter& interpreter) {
        interpreter.addCommand("now", "now", [&](ScriptInterpreter&, const ScriptLine&) {
            seen.push_back(platform::RunLoop::main().wallTime());
        });
    };
    using namespace std::chrono;
    auto now = [] { return duration<double>(system_clock::now().time_since_epoch()).count(); };
    const double before = now();
    ASSERT_EQ(runScript({}, "now\nwait 60\nnow\n", extend), 0);
    const double after = now();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_GE(seen[0], before);
    EXPECT_LE(seen[0], after) << "the clock starts now";
    EXPECT_DOUBLE_EQ(seen[1] - seen[0], 60) << "and stays virtual";

    seen.clear();
    platform::resetSharedInstances();
    Options fixed;
    fixed.clock = *parseISODate("2026-12-02T09:30:00Z");
    ASSERT_EQ(runScript(fixed, "now\n", extend), 0);
    EXPECT_EQ(seen, (std::vector<double>{*fixed.clock}));
}

TEST_F(ProgramTest, DiagnosticsGoToTheLogWhichKeepsThePreviousRunAndOutputToStandardOutput) {
    // The program's own sinks, not the test's capture.
    platform::console().reset();
    const auto log = ConsoleLog::pathIn(home);
    {
        std::string error;
        ConsoleLog first(home, false, error);
        ASSERT_EQ(error, "");
        platform::console().print("first run");
    }
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    {
        std::string error;
        ConsoleLog second(home, true, error);
        ASSERT_EQ(error, "");
        platform::console().print("second run");
        platform::console().printOutput("Transcript: hello");
    }
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(read(log), "second run\n");
    EXPECT_EQ(read(log.string() + ".1"), "first run\n");
    EXPECT_EQ(out, "Transcript: hello\n") << "standard output holds only what the user is told";
    EXPECT_EQ(err, "second run\n") << "--console copies the diagnostics to standard error";

    // A log that cannot be written is said, and the lines still reach standard error.
    std::filesystem::remove_all(home / "Library" / "Logs");
    quillora::test::writeFile(home / "Library" / "Logs", "a file where the folder should be");
    testing::internal::CaptureStderr();
    {
        std::string error;
        ConsoleLog blocked(home, false, error);
        EXPECT_NE(error, "");
        platform::console().print("not lost");
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "not lost\n");
    platform::console().startCapture();
}
