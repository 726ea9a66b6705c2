#include <fstream>
#include <string>

#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "platform/avfaudio/AVAudioSession.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/UIApplication.h"
#include "tests/support/PlatformTest.h"

using namespace quillora::cli;

namespace {
class ScriptInterpreterTest : public quillora::test::PlatformTest {
protected:
    // Runs the program on a script file in the test's home and returns its exit code.
    int runScript(const std::string& text, const std::function<void(ScriptInterpreter&)>& extend = nullptr) {
        auto path = home / "script.txt";
        std::ofstream(path) << text;
        Options options;
        options.home = home;
        options.clock = platform::RunLoop::kDefaultVirtualEpoch;
        options.script = path.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        return runProgram(options, 1, argv, extend);
    }
};
} // namespace

TEST_F(ScriptInterpreterTest, RunsTheScriptOnTheLaunchedScreenAndNamesTheFailingLine) {
    std::vector<double> clock;
    auto extend = [&](ScriptInterpreter& interpreter) {
        interpreter.addCommand("clock", "clock", [&](ScriptInterpreter&, const ScriptLine& line) {
            clock.push_back(platform::RunLoop::main().now());
            EXPECT_EQ(line.textAfter(0), "a \"b\" c");
        });
    };
    testing::internal::CaptureStderr();
    int code =
        runScript("# a comment\n\nshow\nwait 2.5\nclock \"a \\\"b\\\" c\"\ntap recrdButton\nshow\n", extend);
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 1);
    EXPECT_NE(errors.find("script.txt:6: no control named 'recrdButton' on this screen"), std::string::npos)
        << errors;
    EXPECT_EQ(clock, (std::vector<double>{2.5})) << "scripts run on the virtual clock";
    auto lines = consoleLines();
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(),
                      [](const std::string& l) { return l.rfind("  CommandsButton: UIButton", 0) == 0; }),
        1)
        << "the script stops at its first error";
}

TEST_F(ScriptInterpreterTest, RejectsMisusedCommandsAndStopsAfterTermination) {
    auto errorOf = [&](const std::string& script) {
        platform::resetSharedInstances();
        testing::internal::CaptureStderr();
        EXPECT_EQ(runScript(script), 1);
        return testing::internal::GetCapturedStderr();
    };
    EXPECT_NE(errorOf("fly away\n").find(":1: unknown command 'fly'"), std::string::npos);
    // What strtod reads as a number but no clock can move by, too.
    for (const char* seconds : {"soon", "nan", "inf", "-inf", "INFINITY", "-1"})
        EXPECT_NE(errorOf("show\nwait " + std::string(seconds) + "\n").find(":2: seconds must be a number"),
                  std::string::npos)
            << seconds;
    EXPECT_NE(
        errorOf("tap SpeechTimeLabel\n").find(":1: 'SpeechTimeLabel' is a UILabel, which cannot be tapped"),
        std::string::npos);
    EXPECT_NE(errorOf("pick SpeechTimeLabel 2\n").find(":1: 'SpeechTimeLabel' is not a picker"),
              std::string::npos);
    EXPECT_NE(errorOf("alert OK\n").find(":1: no alert is shown"), std::string::npos);
    EXPECT_NE(errorOf("back\n").find(":1: there is no screen to go back to"), std::string::npos);
    EXPECT_NE(errorOf("background\nforeground\nterminate\nshow\n").find(":4: the application has terminated"),
              std::string::npos);

    std::string error;
    EXPECT_FALSE(parseOptions({"--home"}, error));
    EXPECT_FALSE(parseOptions({"run"}, error));
    EXPECT_FALSE(parseOptions({"--fast"}, error));
    auto options = parseOptions({"--home", "/tmp/q", "--realtime", "run", "-"}, error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->home, "/tmp/q");
    EXPECT_TRUE(options->realtime);
    EXPECT_EQ(options->script, "-");
}

TEST_F(ScriptInterpreterTest, RecordPermissionSetsTheMicrophoneStateAndTheUsersAnswer) {
    using platform::AVAudioSession;
    using platform::AVAudioSessionRecordPermission;
    std::vector<AVAudioSessionRecordPermission> seen;
    auto extend = [&](ScriptInterpreter& interpreter) {
        interpreter.addCommand("probe", "probe", [&](ScriptInterpreter&, const ScriptLine&) {
            seen.push_back(AVAudioSession::sharedInstance().recordPermission());
        });
    };
    EXPECT_EQ(runScript("recordpermission denied\nprobe\nrecordpermission granted\nprobe\n"
                        "recordpermission undetermined deny\nprobe\n",
                        extend),
              0);
    EXPECT_EQ(seen, (std::vector<AVAudioSessionRecordPermission>{
                        AVAudioSessionRecordPermission::Denied, AVAudioSessionRecordPermission::Granted,
                        AVAudioSessionRecordPermission::Undetermined}));
    // The user asked afterwards says no.
    auto& session = AVAudioSession::sharedInstance();
    bool answered = true;
    session.requestRecordPermission([&](bool granted) { answered = granted; });
    platform::RunLoop::main().settleExternalWork();
    EXPECT_FALSE(answered);
    EXPECT_EQ(session.recordPermission(), AVAudioSessionRecordPermission::Denied);

    for (const char* bad : {"recordpermission\n", "recordpermission maybe\n",
                            "recordpermission denied sure\n", "recordpermission denied grant twice\n"}) {
        platform::resetSharedInstances();
        testing::internal::CaptureStderr();
        EXPECT_EQ(runScript(bad), 1) << bad;
        auto errors = testing::internal::GetCapturedStderr();
        EXPECT_NE(errors.find("recordpermission granted|denied|undetermined [grant|deny]"), std::string::npos)
            << errors;
    }
}
