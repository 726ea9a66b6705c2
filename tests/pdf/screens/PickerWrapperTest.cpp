// Every template screen reached the way the application reaches it, through a form's sheet (its
// wrapper) or a storyboard scene, left to render, and its PDF read back.

#include <functional>

#include "pdf/PDFScenes.h"
#include "pdf/UipdfPicker.h"
#include "platform/swiftui/State.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/UIStoryboard.h"
#include "tests/pdf/screens/ScreenTestSupport.h"

namespace quillora {
namespace {

using namespace platform;
using namespace platform::swiftui;

// A stand-in form: Preview stores the dictionary and raises the sheet flag in one action.
struct Form {
    std::string dictionaryKey;
    TemplateDictionary values;
    std::function<AnyView()> picker;
    State<bool> showingPdfPicker1{false};

    AnyView body() const {
        auto self = *this;
        return Button("Preview",
                      [self] {
                          self.showingPdfPicker1.set(true);
                          storeTemplateDictionary(self.dictionaryKey, self.values);
                      })
            .sheet(showingPdfPicker1.binding(), picker);
    }
};

const std::vector<std::pair<std::string, std::function<AnyView()>>>& wrappers() {
    static const std::vector<std::pair<std::string, std::function<AnyView()>>> all{
        {"NotesUipdfPicker", [] { return AnyView(NotesUipdfPicker{}); }},
        {"NotesSecondUipdfPicker", [] { return AnyView(NotesSecondUipdfPicker{}); }},
        {"EssayUipdfPicker", [] { return AnyView(EssayUipdfPicker{}); }},
        {"ResearchUipdfPicker", [] { return AnyView(ResearchUipdfPicker{}); }},
        {"ModernreportUipdfPicker", [] { return AnyView(ModernreportUipdfPicker{}); }},
        {"SchoolReportUipdfPicker", [] { return AnyView(SchoolReportUipdfPicker{}); }},
        {"ModernLetterUipdfPicker", [] { return AnyView(ModernLetterUipdfPicker{}); }},
        {"PersonalLetterUipdfPicker", [] { return AnyView(PersonalLetterUipdfPicker{}); }},
        {"ModernBoldLetterUipdfPicker", [] { return AnyView(ModernBoldLetterUipdfPicker{}); }},
        {"BusinessLetterUipdfPicker", [] { return AnyView(BusinessLetterUipdfPicker{}); }},
        {"EventPosterUipdfPicker", [] { return AnyView(EventPosterUipdfPicker{}); }},
        {"RentFlyerUipdfPicker", [] { return AnyView(RentFlyerUipdfPicker{}); }},
        {"SaleFlyerUipdfPicker", [] { return AnyView(SaleFlyerUipdfPicker{}); }},
    };
    return all;
}

// Each text key names itself, so the PDF shows where every value went.
TemplateDictionary valuesFor(const PDFTemplate& row, const std::string& tag) {
    TemplateDictionary d;
    for (const auto& m : row.marks)
        if (m.source == FillSource::Value) d[m.key] = "";
    for (auto& [key, value] : d) {
        if (key.find("Size") != std::string::npos)
            value = "fs-4";
        else if (key.find("Weight") != std::string::npos)
            value = "fw-normal";
        else if (key.starts_with("TextColor"))
            value = "text-dark";
        else if (key == "Page_Heading" || key == "Page_Title" || key == "Your_Name")
            value = tag;
    }
    return d;
}

class PickerWrapperTest : public test::ScreenTest {
protected:
    // Waits for the screen's render, exactly its delay after the page loaded.
    void expectRenderAfterDelay(PDFTemplateViewController& screen) {
        const double delay = screen.templateRow().renderDelay;
        runUntilIdle();
        ASSERT_TRUE(consoleHas("didFinishNavigation"));
        advance(delay - 0.01);
        EXPECT_FALSE(screen.PreviewButton->isEnabled());
        advance(0.02);
        EXPECT_TRUE(screen.PreviewButton->isEnabled());
        ASSERT_TRUE(screen.pdfFile);
        EXPECT_EQ(*screen.pdfFile, tmpFile(screen.templateRow().pdfFileName()).string());
    }
    void expectPrinted(const PDFTemplateViewController& screen, const std::string& tag) {
        const std::string words = test::pdfWords(*screen.pdfFile);
        EXPECT_NE(test::pdfInfo(*screen.pdfFile).find("595.2 x 841.8"), std::string::npos);
        EXPECT_NE(words.find("Opening line of the dictation"), std::string::npos) << words;
        std::string upper = tag;
        for (auto& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_TRUE(words.find(tag) != std::string::npos || words.find(upper) != std::string::npos) << words;
    }
};

TEST_F(PickerWrapperTest, EachWrapperPresentsAFreshScreenThatRendersItsTemplate) {
    for (const auto& [wrapper, make] : wrappers()) {
        SCOPED_TRACE(wrapper);
        const PDFTemplate* row = nullptr;
        for (const auto& r : pdfTemplates())
            if (r.pickerWrapper == wrapper) row = &r;
        ASSERT_NE(row, nullptr);

        Form form{row->dictionaryKey, valuesFor(*row, "Heading " + row->name), make};
        auto hosting = std::make_shared<UIHostingController>(form);
        base->presentViewController_animated_completion(hosting, false, nullptr);
        ASSERT_TRUE(hosting->host()->press("Preview"));
        EXPECT_EQ(hosting->presentedViewController(), nullptr) << "after the action, not inside it";
        takeConsole();
        runUntilIdle();
        auto screen =
            std::dynamic_pointer_cast<PDFTemplateViewController>(hosting->presentedViewController());
        ASSERT_NE(screen, nullptr);
        EXPECT_EQ(screen->className(), row->screenClass);
        expectRenderAfterDelay(*screen);
        expectPrinted(*screen, "Heading " + row->name);

        // Once the screen is closed, the next Preview makes a new one.
        ASSERT_TRUE(screen->CancelButton->tap());
        runUntilIdle();
        EXPECT_EQ(hosting->presentedViewController(), nullptr);
        ASSERT_TRUE(hosting->host()->press("Preview"));
        runUntilIdle();
        auto again = std::dynamic_pointer_cast<PDFTemplateViewController>(hosting->presentedViewController());
        ASSERT_NE(again, nullptr);
        EXPECT_NE(again, screen);
        EXPECT_FALSE(again->PreviewButton->isEnabled());
        again->dismissViewControllerAnimated_completion(false, nullptr);
        hosting->dismissViewControllerAnimated_completion(false, nullptr);
        runUntilIdle();
    }
}

TEST_F(PickerWrapperTest, StoryboardScenesRenderTheirTemplates) {
    auto storyboard = std::make_shared<UIStoryboard>("Main");
    registerPDFScenes(*storyboard);
    storeTemplateDictionary(
        "SavedDictNote1",
        {{"Page_Title", "Harbour View"}, {"Font_Size", "fs-4"}, {"Font_Weight", "fw-normal"}});
    for (const std::string scene : {"PDFRealEstateViewController", "PDFProjectProposalViewController",
                                    "PDFPhotoPosterViewController"}) {
        SCOPED_TRACE(scene);
        auto screen = std::dynamic_pointer_cast<PDFTemplateViewController>(
            storyboard->instantiateViewControllerWithIdentifier(scene));
        ASSERT_NE(screen, nullptr);
        EXPECT_EQ(screen->className(), scene);
        takeConsole();
        base->presentViewController_animated_completion(screen, false, nullptr);
        expectRenderAfterDelay(*screen);
        expectPrinted(*screen, "Harbour View");
        screen->dismissViewControllerAnimated_completion(false, nullptr);
        runUntilIdle();
    }
}

TEST_F(PickerWrapperTest, ScreensSharingAFileLeaveTheLastRender) {
    storeTemplateDictionary("SavedModernBoldLetter",
                            valuesFor(*pdfTemplateNamed("modernboldletter"), "Bold Sender"));
    storeTemplateDictionary("SavedBusinessLetter",
                            valuesFor(*pdfTemplateNamed("businessletter"), "Business Sender"));
    auto bold = makePDFTemplateScreen("PDFModernBoldLetterViewController");
    base->presentViewController_animated_completion(bold, false, nullptr);
    runUntilIdle();
    // Cancelled before its render fell due: the render still writes the file.
    bold->Cancel();
    advance(0.6);
    ASSERT_TRUE(bold->pdfFile);
    auto business = makePDFTemplateScreen("businessletter");
    base->presentViewController_animated_completion(business, false, nullptr);
    runUntilIdle();
    advance(0.6);
    ASSERT_EQ(business->pdfFile, bold->pdfFile);
    const std::string words = test::pdfWords(*business->pdfFile);
    EXPECT_NE(words.find("Business Sender"), std::string::npos) << words;
    EXPECT_EQ(words.find("Bold Sender"), std::string::npos);
    EXPECT_EQ(makePDFTemplateScreen("nothing"), nullptr);
}

} // namespace
} // namespace quillora
