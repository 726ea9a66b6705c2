// The page of every template screen, short or long, as a person reads it: the wheel brings each of
// its words into sight, none left under the row of buttons floating over the foot of the screen.

#include <set>

#include "pdf/PDFTemplateViewController.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/ScrollInput.h"
#include "tests/pdf/screens/ScreenTestSupport.h"
#include "tests/support/ImageCompare.h"

namespace quillora {
namespace {

using namespace platform;

class TemplatePageScrollTest : public test::ScreenTest {
protected:
    // What the screen shows in `area` around the buttons (points of the screen, drawn a pixel a
    // point): the page's words where the page lies under them.
    int inkBeside(const CGRect& area, const std::vector<CGRect>& buttons) {
        const auto picture = home / "tmp" / "screen.png";
        EXPECT_FALSE(ScreenRenderer::writePNG(picture.string(), 1));
        std::vector<CGRect> around;
        for (const auto& b : buttons)
            around.push_back({b.minX() - 1, b.minY() - 1, b.width() + 2, b.height() + 2});
        return test::inkIn(picture, area, around);
    }
};

TEST_F(TemplatePageScrollTest, TheWheelBringsTheLastWordsOfEveryPageClearOfTheButtons) {
    // Nine dictated lines that wrap on the phone's width: a page shorter than the screen on some
    // templates, a little taller on others, ending where the buttons float on the essay and two of
    // the letters.
    std::string transcript;
    for (int i = 1; i <= 9; ++i)
        transcript += (i > 1 ? "\n" : "") + std::string("Line ") + std::to_string(i) +
                      " of the dictation runs on over the width of the screen and wraps";
    NSUserDefaults::standardUserDefaults()->setObject_forKey(transcript,
                                                             std::string(keys::saveclipBoardText));
    // What the forms hold before anything is typed into them.
    storeTemplateDictionary("SavedEssay",
                            {{"Page_Heading", "The Future of Machine Learning and Artificial Intelligence"},
                             {"Page_SubHeading", "Benefiting Humanity: AI and ML in Core Industry Sectors"},
                             {"Instructor_Name", "Sam Author"},
                             {"Font_SizeHeading", "fs-1"},
                             {"TextColor_Heading", "text-danger"},
                             {"Font_SizeSubheading", "fs-2"},
                             {"Font_SizeBody", "fs-5"}});
    const TemplateDictionary letter{{"Your_Name", "Morgan Reed Jr."},
                                    {"Your_CompanyName", "Brightside Studio Ltd"},
                                    {"Your_PhoneNo", "555013247"},
                                    {"Your_Email", "alex.morgan@example.com"},
                                    {"Your_Address", "5 Station Road, Millbrook"},
                                    {"Recipient_Name", "Jordan"},
                                    {"Recipient_Address", "Contoso Group, 90 King Street, Fairview"},
                                    {"Font_SizeYourName", "fs-1"},
                                    {"TextColor_YourName", "text-danger"},
                                    {"FontSize_Body", "fs-6"}};
    for (const char* key : {"SavedModernBoldLetter", "SavedBusinessLetter"})
        storeTemplateDictionary(key, letter);
    // Where the page's end lay under the buttons before the wheel.
    std::set<std::string> covered;
    for (const auto& row : pdfTemplates()) {
        SCOPED_TRACE(row.name);
        auto screen = makePDFTemplateScreen(row.screenClass);
        base->presentViewController_animated_completion(screen, false, nullptr);
        runUntilIdle();
        advance(row.renderDelay + 0.001);
        ScreenRenderer::layout();
        std::vector<CGRect> buttons;
        for (const auto& b : screen->webView->subviews())
            if (!b->isHidden()) buttons.push_back(b->convertRect_toView(b->bounds(), nullptr));
        ASSERT_FALSE(buttons.empty());
        const CGRect page = screen->webView->convertRect_toView(screen->webView->bounds(), nullptr);
        double band = page.maxY();
        for (const auto& b : buttons)
            band = std::min(band, b.minY());
        // From the buttons' top down to the foot of the page's view, short of the screen's rounded
        // corners.
        const CGRect below{page.minX(), band, page.width(), page.maxY() - 50 - band};
        if (inkBeside(below, buttons) > 0) covered.insert(row.name);

        // The wheel over the page, above the buttons, far more notches than the page is long.
        for (int notch = 0; notch < 30; ++notch)
            ScrollInput::scroll({page.midX(), band - 60}, 0, ScrollInput::kPointsPerNotch, true);
        EXPECT_EQ(inkBeside(below, buttons), 0) << "words still lie under the buttons";
        if (covered.contains(row.name)) {
            EXPECT_GT(screen->webView->pageOffset(), 0) << "the page did not move";
            // Its end stands right above the buttons: the last words are in sight.
            EXPECT_GT(inkBeside({page.minX(), band - 60, page.width(), 60}, buttons), 0)
                << "nothing of the page above the buttons";
        }
        if (const char* out = std::getenv("TEMPLATE_PAGES_OUT"))
            ScreenRenderer::writePNG(std::string(out) + "/" + row.name + "-scrolled.png", 2);
        base->dismissViewControllerAnimated_completion(false, nullptr);
        runUntilIdle();
    }
    // The short pages the wheel did not move before: the essay's last line, the bold letter's
    // closing, the business letter's company line.
    for (const char* name : {"essay", "modernboldletter", "businessletter"})
        EXPECT_TRUE(covered.contains(name)) << name << " ended above the buttons already";
}

} // namespace
} // namespace quillora
