// The buttons that float over a transcript (the dictation screens' pencil and save arrow, the
// detail screens' record button) hide none of its words, whether the text is at its top or
// scrolled to its end: read from what is drawn, the controls taken away.
#include <cairo.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UITextView.h"
#include "tests/support/ImageCompare.h"
#include "tests/support/PlatformTest.h"

using namespace quillora::cli;
using namespace platform;

namespace {

constexpr double kScale = 2;

// A place on the screen (points) as pixels of its picture.
CGRect inPicture(const CGRect& r) {
    return {r.minX() * kScale, r.minY() * kScale, r.width() * kScale, r.height() * kScale};
}

class TranscriptClearOfButtonsTest : public quillora::test::PlatformTest {
protected:
    // `clear TEXT CONTROL...`: where each control stands over the text view, the screen drawn
    // without the controls shows no text, with the text at its top and at its end; what does is
    // kept in `covered`.
    void addClearCheck(ScriptInterpreter& interpreter) {
        interpreter.addCommand(
            "clear", "clear TEXT CONTROL...", [this](ScriptInterpreter&, const ScriptLine& line) {
                auto text =
                    std::dynamic_pointer_cast<UITextView>(ScriptInterpreter::control(line.words.at(0)));
                ASSERT_TRUE(text);
                std::vector<std::pair<std::string, std::shared_ptr<UIView>>> floating;
                for (std::size_t i = 1; i < line.words.size(); ++i) {
                    auto view = std::dynamic_pointer_cast<UIView>(ScriptInterpreter::control(line.words[i]));
                    ASSERT_TRUE(view && !view->isHidden()) << line.words[i] << " is not shown";
                    floating.emplace_back(line.words[i], view);
                }
                for (const bool atEnd : {false, true}) {
                    if (atEnd) text->scrollRangeToVisible({text->textModel().length(), 0});
                    ScreenRenderer::layout();
                    // Inside the text view's border and its rounded corners.
                    CGRect inside = text->convertRect_toView(text->bounds(), nullptr);
                    const CGFloat edge = std::max<CGFloat>(3, text->layer().cornerRadius);
                    inside = {inside.minX() + edge, inside.minY() + edge, inside.width() - 2 * edge,
                              inside.height() - 2 * edge};
                    for (auto& [name, view] : floating)
                        view->setHidden(true);
                    const auto picture = home / "drawn.png";
                    cairo_surface_t* surface =
                        cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(390 * kScale), int(844 * kScale));
                    cairo_t* cr = cairo_create(surface);
                    ScreenRenderer::draw(cr, kScale);
                    cairo_destroy(cr);
                    ASSERT_EQ(cairo_surface_write_to_png(surface, picture.c_str()), CAIRO_STATUS_SUCCESS);
                    cairo_surface_destroy(surface);
                    for (auto& [name, view] : floating)
                        view->setHidden(false);
                    EXPECT_GT(quillora::test::darkIn(picture, inPicture(inside)), 1000)
                        << "the transcript is drawn";
                    for (auto& [name, view] : floating) {
                        const CGRect over =
                            intersection(view->convertRect_toView(view->bounds(), nullptr), inside);
                        if (const int dark =
                                over.width() > 0 ? quillora::test::darkIn(picture, inPicture(over)) : 0)
                            covered.push_back(line.words[0] + " under " + name +
                                              (atEnd ? " at the end: " : " at the top: ") +
                                              std::to_string(dark) + " pixels");
                    }
                }
            });
    }

    int run(const std::string& text) {
        const auto folder = home / ("run" + std::to_string(++runs_));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "script.txt") << text;
        Options options;
        options.home = folder;
        options.clock = RunLoop::kDefaultVirtualEpoch;
        options.script = (folder / "script.txt").string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        return runProgram(options, 1, argv,
                          [this](ScriptInterpreter& interpreter) { addClearCheck(interpreter); });
    }

    std::vector<std::string> covered;

private:
    int runs_ = 0;
};

} // namespace

TEST_F(TranscriptClearOfButtonsTest,
       NoWordOfADictatedTranscriptLiesUnderAButtonOnAnyDictationOrDetailScreen) {
    // Long enough to reach the buttons and to scroll, with words of every length at the lines' ends.
    std::string said;
    for (int i = 0; i < 12; ++i)
        said += "I don't think the garden will need watering today, because the rain came down all night. ";
    for (const char* screen : {"", "segment segmentcontrol Notes", "segment segmentcontrol Recipe"}) {
        SCOPED_TRACE(screen);
        resetSharedInstances();
        EXPECT_EQ(run(std::string(screen) + "\nscripted\nmicrophone silence\ntap recordButton\nfinal " +
                      said +
                      "\ntap recordButton\nwait 3\nclear Clipboard EditIndicatorButton SaveArrowButton\n"
                      "tap SaveDynamicButton\nrow table 0\nwait 2\nclear textView recordButton\n"),
                  0);
    }
    EXPECT_TRUE(covered.empty()) << testing::PrintToString(covered);
}
