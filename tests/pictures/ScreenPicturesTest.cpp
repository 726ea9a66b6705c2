// The screens as a person sees them, drawn through the program's own snapshot and compared with
// the committed pictures in golden/ (QUILLORA_UPDATE_GOLDENS=1 rewrites them after a deliberate
// change; a mismatch leaves NAME.actual.png and NAME.diff.png beside the golden one).
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "dictation/ViewController.h"
#include "pdf/PDFTemplateViewController.h"
#include "platform/uikit/UITableView.h"
#include "tests/support/ImageCompare.h"
#include "tests/support/PlatformTest.h"

using namespace quillora::cli;
using namespace platform;

namespace {

// The source tree's pictures. CTest names the tree; the path of this file as the compiler saw it
// may be relative to the build folder, so it serves only from there.
std::filesystem::path goldens() {
    if (const char* source = std::getenv("QUILLORA_SOURCE"); source && *source)
        return std::filesystem::path(source) / "tests/pictures/golden";
    const auto bundle = quillora::test::sourceBundle();
    if (bundle.is_absolute()) return bundle.parent_path() / "tests/pictures/golden";
    return std::filesystem::path(__FILE__).parent_path() / "golden";
}

class ScreenPicturesTest : public quillora::test::PlatformTest {
protected:
    // Runs the script; each `picture NAME` line snapshots the screen at scale 2 and compares it.
    int runText(const std::string& text) {
        auto path = home / "script.txt";
        std::ofstream(path) << text;
        Options options;
        options.home = home;
        options.script = path.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        return runProgram(options, 1, argv, [this](ScriptInterpreter& interpreter) { extend(interpreter); });
    }

    void extend(ScriptInterpreter& interpreter) {
        interpreter.addCommand(
            "picture", "picture NAME", [this](ScriptInterpreter& self, const ScriptLine& line) {
                ScriptInterpreter::requireWords(line, 1, "picture NAME");
                // Never a golden folder of its own making: the pictures belong in the source tree.
                if (!std::filesystem::is_directory(goldens()))
                    throw ScriptError("no golden pictures at " + goldens().string() +
                                      " (set QUILLORA_SOURCE)");
                const auto actual = home / (line.words[0] + ".png");
                self.runLine("snapshot " + actual.string(), line.number);
                compared.push_back(line.words[0]);
                auto result = quillora::test::compareWithGolden(actual, goldens() / (line.words[0] + ".png"));
                if (!result.matches) mismatches.push_back(line.words[0] + ": " + result.message);
            });
        // The menus of the storyboard's toolbar, which this screen keeps hidden.
        interpreter.addCommand("menu", "menu font|colour", [](ScriptInterpreter&, const ScriptLine& line) {
            auto screen =
                std::dynamic_pointer_cast<quillora::ViewController>(ScriptInterpreter::currentScreen());
            if (!screen) throw ScriptError("not the main screen");
            if (line.rest == "font")
                screen->Font_change();
            else
                screen->Color();
        });
        // A swipe that stops with the row's actions showing.
        interpreter.addCommand("reveal", "reveal TABLE ROW", [](ScriptInterpreter&, const ScriptLine& line) {
            ScriptInterpreter::requireWords(line, 2, "reveal TABLE ROW");
            auto table = std::dynamic_pointer_cast<UITableView>(ScriptInterpreter::control(line.words[0]));
            if (!table ||
                !table->userSwipeRow({0, ScriptInterpreter::parseInteger(line.words[1], "the row")}))
                throw ScriptError("no swipe");
        });
        // The exported PDFs are named after the clock; the picture should not depend on the date.
        interpreter.addCommand("rename-pdfs", "rename-pdfs", [this](ScriptInterpreter&, const ScriptLine&) {
            int n = 0;
            for (const auto& entry : std::filesystem::directory_iterator(home / "Documents"))
                if (entry.path().extension() == ".pdf")
                    std::filesystem::rename(entry.path(),
                                            home / "Documents" / ("Export " + std::to_string(++n) + ".pdf"));
        });
        interpreter.addCommand("template", "template NAME", [](ScriptInterpreter&, const ScriptLine& line) {
            auto screen = quillora::makePDFTemplateScreen(line.rest);
            if (!screen) throw ScriptError("no template " + line.rest);
            ScriptInterpreter::currentScreen()->presentViewController_animated_completion(screen, true,
                                                                                          nullptr);
        });
    }

    void expectPictures(const std::vector<std::string>& names) {
        EXPECT_EQ(compared, names);
        for (const auto& m : mismatches)
            ADD_FAILURE() << m;
    }

    std::vector<std::string> compared;
    std::vector<std::string> mismatches;
};

const char* kDictate = "scripted\nmicrophone silence\n";

TEST_F(ScreenPicturesTest, MainScreenIdleDictatingAndWithItsAlertAndMenus) {
    ASSERT_EQ(runText(std::string(kDictate) + "picture main-idle\n"
                                              "tap recordButton\n"
                                              "partial Pushpin the meeting starts at noon\n"
                                              "wait 3\n"
                                              "picture main-dictating\n"
                                              "final Pushpin the meeting starts at noon.\n"
                                              "tap recordButton\n"
                                              "wait 2\n"
                                              "menu font\n"
                                              "picture main-font-sheet\n"
                                              "alert \"Font size 38\"\n"
                                              "picture main-font-38\n"
                                              "offline\n"
                                              "tap recordButton\n"
                                              "picture main-offline-alert\n"
                                              "alert \"OK \"\n"),
              0);
    expectPictures({"main-idle", "main-dictating", "main-font-sheet", "main-font-38", "main-offline-alert"});
}

TEST_F(ScreenPicturesTest, MainScreenInEachBackgroundColour) {
    std::string script = kDictate;
    std::vector<std::string> names;
    for (const char* colour : {"White", "Blue", "Light Grey", "Orange", "Purple", "Brown", "Red"}) {
        std::string name = std::string("main-background-") + colour;
        for (auto& c : name)
            c = c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        script += std::string("menu colour\nalert \"") + colour + "\"\npicture " + name + "\n";
        names.push_back(name);
    }
    ASSERT_EQ(runText(script), 0);
    expectPictures(names);
}

TEST_F(ScreenPicturesTest, ListWithARevealedSwipeThePDFBrowserAndATemplateScreen) {
    ASSERT_EQ(runText(std::string(kDictate) + "tap recordButton\n"
                                              "final First saved dictation.\n"
                                              "tap recordButton\n"
                                              "wait 2\n"
                                              "tap SaveDynamicButton\n"
                                              "back\n"
                                              "tap recordButton\n"
                                              "final A second entry about the garden.\n"
                                              "tap recordButton\n"
                                              "wait 2\n"
                                              "tap SaveDynamicButton\n"
                                              "reveal table 0\n"
                                              "picture list-swipe\n"
                                              "open RecipeBookMarkViewC\n"
                                              "type Clipboard \"Flour, water and salt.\"\n"
                                              "tap savepdf\n"
                                              "alert \"OK \"\n"
                                              "back\n"
                                              "rename-pdfs\n"
                                              "open WebView\n"
                                              "picture pdf-browser\n"
                                              "row tableList 0\n"
                                              "wait 1\n"
                                              "picture quicklook\n"
                                              "tap doneButton\n"
                                              "wait 1\n"
                                              "picture pdf-browser\n"),
              0);
    expectPictures({"list-swipe", "pdf-browser", "quicklook", "pdf-browser"});
}

TEST_F(ScreenPicturesTest, ADetailScreenIdleWithItsPickerAndWhileDictating) {
    ASSERT_EQ(runText(std::string(kDictate) + "segment segmentcontrol Recipe\n"
                                              "tap SaveDynamicButton\n"
                                              "row table 0\n"
                                              "tap pushpin\n"
                                              "tap language_select\n"
                                              "picture detail-idle\n"
                                              "tap language_select\n"
                                              "tap recordButton\n"
                                              "final Two eggs and a cup of flour.\n"
                                              "partial Then\n"
                                              "picture detail-dictating\n"),
              0);
    expectPictures({"detail-idle", "detail-dictating"});
}

TEST_F(ScreenPicturesTest, TemplatePDFScreen) {
    ASSERT_EQ(runText(std::string(kDictate) + "tap recordButton\n"
                                              "final Dear reader, the essay begins here.\n"
                                              "tap recordButton\n"
                                              "wait 2\n"
                                              "template essay\n"
                                              "wait 1\n"
                                              "picture template-essay\n"),
              0);
    expectPictures({"template-essay"});
}

TEST_F(ScreenPicturesTest, APosterWithAPhotoAndALongHeadingFitsThePhoneWideScreen) {
    ASSERT_EQ(
        runText("tap StickyDynamicButton\n"
                "wait 1\n"
                "press \"Event Poster \"\n"
                "wait 1\n"
                "edit \" Enter Page heading e.g Art Exhibition\" Hippopotomonstrosesquippedaliophobia Night\n"
                "press \"Select an Image\"\n"
                "wait 1\n"
                "photo Download.jpg\n"
                "wait 1\n"
                "press Preview\n"
                "wait 2\n"
                "picture template-eventposter\n"),
        0);
    expectPictures({"template-eventposter"});
}

TEST_F(ScreenPicturesTest, TheRecipeTextViewsParagraphsAndTheRecipeScreenListeningInThai) {
    std::filesystem::create_directories(home / "Documents");
    std::ofstream(home / "Documents/datafile_recipe.dat")
        << "Bread for two loaves: 1 kg flour, 700 g water, 20 g salt and a spoon of yeast.\n"
           "Knead for ten minutes, then leave the dough under a cloth until it has doubled, about "
           "an hour in a warm kitchen.\n"
           "Bake at 230 °C for 35 minutes. 🍞";
    ASSERT_EQ(runText(std::string(kDictate) + "open RecipeBookMarkViewC\n"
                                              "picture recipe-text-paragraphs\n"
                                              "back\n"
                                              "segment segmentcontrol Recipe\n"
                                              "language 19\n"
                                              "tap recordButton\n"
                                              "picture recipe-listening-thai\n"),
              0);
    expectPictures({"recipe-text-paragraphs", "recipe-listening-thai"});
}

TEST_F(ScreenPicturesTest, TheFeedbackComposerAsItOpensAndFilledIn) {
    ASSERT_EQ(runText("tap FontDynamicButton\n"
                      "press Feedback\n"
                      "wait 1\n"
                      "picture composer-empty\n"
                      "focus ccField\n"
                      "type ccField ada@example.net\n"
                      "type subjectField The export button\n"
                      "focus bodyView\n"
                      "type bodyView Exporting a recipe to PDF works well.\\nCould it also keep the photos?\n"
                      "picture composer-filled\n"),
              0);
    expectPictures({"composer-empty", "composer-filled"});
}

} // namespace
