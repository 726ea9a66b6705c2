// The info hub's script: every pager, gallery and detail screen reached from the main screen.
#include <filesystem>
#include <fstream>

#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "platform/uikit/UIApplication.h"
#include "settings/AppCatalogue.h"
#include "tests/support/PlatformTest.h"

using namespace quillora::cli;

namespace {

const std::filesystem::path kScripts = std::filesystem::path(__FILE__).parent_path() / "scripts";

class InfoHubScriptTest : public quillora::test::PlatformTest {
protected:
    int run(const std::filesystem::path& script) {
        Options options;
        options.home = home;
        options.script = script.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        return runProgram(options, 1, argv, nullptr);
    }
    int runText(const std::string& text) {
        auto path = home / "script.txt";
        std::ofstream(path) << text;
        return run(path);
    }
    // The index of the first console line holding `part`, after line `from`; -1 when none.
    long find(const std::string& part, long from = -1) const {
        auto lines = consoleLines();
        for (long i = from + 1; i < static_cast<long>(lines.size()); ++i)
            if (lines[static_cast<std::size_t>(i)].find(part) != std::string::npos) return i;
        return -1;
    }
};

} // namespace

TEST_F(InfoHubScriptTest, EveryScreenOfTheHubIsReachedAndLeftAgain) {
    ASSERT_EQ(run(kScripts / "info-pagers-galleries.txt"), 0);
    long at = find("presented InfoViewController \"Info\"");
    ASSERT_GE(at, 0);
    at = find("presented PageViewControllerA", at);
    ASSERT_GE(at, 0);
    EXPECT_GE(find("page ViewControllerA1 background=yellow", at), 0);
    // previous, next, next, given up: the second page and its dot.
    at = find("pageControl: UIPageControl page 2 of 14", at);
    EXPECT_GE(at, 0);
    at = find("Page View Controller got cancelled ", at);
    ASSERT_GE(at, 0);
    at = find("page ViewControllerB7 background=blue", at);
    EXPECT_GE(at, 0) << "back twice from the second page wraps round to the last";
    at = find("listView: UIScrollView content=2536.84x0 offset=400,0", at);
    EXPECT_GE(at, 0);
    at = find("presented HerbDetailsViewController1", at);
    EXPECT_GE(at, 0);
    EXPECT_GE(find("titleView: UILabel text=\"SAVE YOUR WORK\"", at), 0);
    at = find("presented AppViewController \"App Gallery\"", at);
    EXPECT_GE(at, 0) << "the gallery turned to landscape";
    at = find("presented secondinfoViewController \"About\"", at);
    EXPECT_GE(at, 0);
    EXPECT_EQ(find("presented", at), -1) << "Cancel closed the hub";

    const auto& opened = platform::UIApplication::sharedApplication().openedURLs();
    ASSERT_EQ(opened.size(), 4u);
    EXPECT_EQ(opened[0], std::string(quillora::settings::tutorialVideoPage));
    EXPECT_EQ(opened[1], std::string(quillora::settings::catalogueApps[6].storeLink))
        << "B8, the second page";
    EXPECT_EQ(opened[3], std::string(quillora::settings::catalogueBundle.storeLink))
        << "the first promotion card";
}

// Each program run launches the application once: one refused line per test.
TEST_F(InfoHubScriptTest, PagingRefusesOnAScreenThatIsNoPager) {
    EXPECT_EQ(runText("page next\n"), 1);
}

TEST_F(InfoHubScriptTest, ATapOnATagNoViewHasIsRefused) {
    EXPECT_EQ(runText("tap infoButton\ntap cardsButton\ntapview 3\ntapview\nwait 1\ntapview 99\n"), 1);
    EXPECT_EQ(platform::UIApplication::sharedApplication().openedURLs().size(), 0u);
}

TEST_F(InfoHubScriptTest, TurningAnUprightScreenUprightIsRefused) {
    EXPECT_EQ(runText("rotate landscape\nrotate portrait\nrotate portrait\n"), 1);
}
