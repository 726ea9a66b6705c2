// The info hub's pagers and galleries as a person sees them, the zoom caught mid-way, compared with
// the committed pictures in golden/ (QUILLORA_UPDATE_GOLDENS=1 rewrites them after a deliberate
// change).
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "tests/support/ImageCompare.h"
#include "tests/support/PlatformTest.h"

using namespace quillora::cli;

namespace {

const std::filesystem::path kGoldens = std::filesystem::path(__FILE__).parent_path() / "golden";

class InfoHubPicturesTest : public quillora::test::PlatformTest {
protected:
    // Runs the script; each `picture NAME` line snapshots the screen at scale 1 and compares it.
    int runText(const std::string& text) {
        auto path = home / "script.txt";
        std::ofstream(path) << text;
        Options options;
        options.home = home;
        options.script = path.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        return runProgram(options, 1, argv, [this](ScriptInterpreter& interpreter) {
            interpreter.addCommand(
                "picture", "picture NAME", [this](ScriptInterpreter& self, const ScriptLine& line) {
                    ScriptInterpreter::requireWords(line, 1, "picture NAME");
                    const auto actual = home / (line.words[0] + ".png");
                    self.runLine("snapshot " + actual.string() + " 1", line.number);
                    compared.push_back(line.words[0]);
                    auto result =
                        quillora::test::compareWithGolden(actual, kGoldens / (line.words[0] + ".png"));
                    if (!result.matches) mismatches.push_back(line.words[0] + ": " + result.message);
                });
        });
    }

    std::vector<std::string> compared;
    std::vector<std::string> mismatches;
};

} // namespace

TEST_F(InfoHubPicturesTest, PagersFirstAndLastPagesTheHelpGalleryAndACardZoomingIntoItsDetail) {
    ASSERT_EQ(runText("tap infoButton\n"
                      "tap tutorialButton\n"
                      "picture pager-tutorial-first\n"
                      "page previous\n"
                      "picture pager-tutorial-last\n"
                      "tap CancelButton\n"
                      "tap moreAppsButton\n"
                      "page previous\n"
                      "picture pager-promotion-last\n"
                      "tap CancelButton\n"
                      "tap cardsButton\n"
                      "picture gallery-help\n"
                      "tapview 1\n"
                      "wait 0.1\n"
                      "picture gallery-zoom-mid\n"
                      "wait 1\n"
                      "picture gallery-detail\n"
                      "tapview\n"
                      "wait 0.4\n"
                      "picture gallery-shrink-mid\n"
                      "wait 2\n"
                      "back\n"
                      "tap supportButton\n"
                      "picture settings-table\n"),
              0);
    EXPECT_EQ(compared, (std::vector<std::string>{"pager-tutorial-first", "pager-tutorial-last",
                                                  "pager-promotion-last", "gallery-help", "gallery-zoom-mid",
                                                  "gallery-detail", "gallery-shrink-mid", "settings-table"}));
    for (const auto& m : mismatches)
        ADD_FAILURE() << m;
}
