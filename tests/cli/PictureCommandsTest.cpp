// snapshot FILE [SCALE] and tap X Y, through the program as a script runs them.
#include <fstream>
#include <string>
#include <vector>

#include <cairo.h>

#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "tests/support/PlatformTest.h"

using namespace quillora::cli;

namespace {
class PictureCommandsTest : public quillora::test::PlatformTest {
protected:
    // One launch per test, as the platform allows one application per process. `refused REASON |
    // LINE` runs LINE and expects it to fail with REASON in its message.
    int runScript(const std::string& text) {
        auto path = home / "script.txt";
        std::ofstream(path) << text;
        Options options;
        options.home = home;
        options.script = path.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        return runProgram(options, 1, argv, [this](ScriptInterpreter& interpreter) {
            interpreter.addCommand(
                "refused", "refused REASON | LINE", [this](ScriptInterpreter& self, const ScriptLine& line) {
                    auto bar = line.rest.find(" | ");
                    const std::string reason = line.rest.substr(0, bar), command = line.rest.substr(bar + 3);
                    try {
                        self.runLine(command, line.number);
                        unrefused.push_back(command + ": ran");
                    } catch (const ScriptError& error) {
                        if (std::string(error.what()).find(reason) == std::string::npos)
                            unrefused.push_back(command + ": " + error.what());
                    }
                });
        });
    }
    std::vector<std::string> unrefused;
    static std::pair<int, int> pngSize(const std::filesystem::path& path) {
        cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
        std::pair<int, int> size{cairo_image_surface_get_width(s), cairo_image_surface_get_height(s)};
        cairo_surface_destroy(s);
        return size;
    }
};

TEST_F(PictureCommandsTest, SnapshotWritesThePictureAtItsScaleAndPrintsTheFile) {
    // A path with blanks comes in quotes.
    const auto two = home / "two.png", one = home / "one.png", blanks = home / "a screen shot.png",
               quotedOne = home / "one and a half.png";
    testing::internal::CaptureStdout();
    ASSERT_EQ(runScript("snapshot " + two.string() + "\nsnapshot " + one.string() + " 1\nsnapshot \"" +
                        blanks.string() + "\"\nsnapshot \"" + quotedOne.string() + "\" 1.5\n"),
              0);
    const std::string out = testing::internal::GetCapturedStdout();
    for (const auto& written : {two, one, blanks, quotedOne})
        EXPECT_NE(out.find(written.string() + "\n"), std::string::npos) << written;
    EXPECT_EQ(pngSize(two), (std::pair<int, int>{780, 1688}));
    EXPECT_EQ(pngSize(one), (std::pair<int, int>{390, 844}));
    EXPECT_EQ(pngSize(blanks), (std::pair<int, int>{780, 1688}));
    EXPECT_EQ(pngSize(quotedOne), (std::pair<int, int>{585, 1266}));
}

TEST_F(PictureCommandsTest, SnapshotAndTapRefuseWhatTheyCannotDo) {
    const auto x = (home / "x.png").string();
    ASSERT_EQ(runScript("refused the scale must be a number above 0 | snapshot " + x +
                        " 0\n"
                        "refused the scale must be a number above 0 | snapshot " +
                        x +
                        " big\n"
                        "refused cannot write | snapshot " +
                        (home / "missing" / "x.png").string() +
                        "\n"
                        "refused usage: snapshot FILE | snapshot\n"
                        "refused the file's quote is not closed | snapshot \"" +
                        x +
                        "\n"
                        "refused outside the screen | tap 400 10\n"
                        "refused outside the screen | tap -1 10\n"
                        "refused no control named '12' | tap 12\n"),
              0);
    EXPECT_TRUE(unrefused.empty()) << unrefused.front();
    // A failed write leaves nothing behind.
    EXPECT_FALSE(std::filesystem::exists(home / "x.png"));
    EXPECT_FALSE(std::filesystem::exists(home / "missing"));
}

TEST_F(PictureCommandsTest, TapAtAPointTouchesWhatIsDrawnThereAndNothingElse) {
    // The record button spans the width at y 87 to 137, below the top row (the screen loads before
    // its window is key and takes the phone's inset); a touch on it starts a run, which shows as its
    // pause picture.
    testing::internal::CaptureStdout();
    ASSERT_EQ(
        runScript("scripted\nmicrophone silence\ntap 200 380\nshow\ntap 195 110\nshow\ntap recordButton\n"),
        0);
    testing::internal::GetCapturedStdout();
    const auto lines = consoleLines();
    std::vector<std::string> record;
    for (const auto& l : lines)
        if (l.find("recordButton: UIButton") != std::string::npos) record.push_back(l);
    ASSERT_EQ(record.size(), 2u);
    EXPECT_NE(record[0].find("Play.png"), std::string::npos) << "a touch on empty space does nothing";
    EXPECT_NE(record[1].find("Pause.png"), std::string::npos);
}

} // namespace
