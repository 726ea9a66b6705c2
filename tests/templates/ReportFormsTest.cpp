// The nine non-letter forms: each untouched dictionary, key for key; every key its template reads;
// the groups that show a choice their state does not hold; date and time; and their fixed texts.

#include "pdf/PDFTemplateViewController.h"
#include "templates/EssayViewSwiftUI.h"
#include "templates/EventPosterViewSwiftUI.h"
#include "templates/ModernreportViewSwiftUI.h"
#include "templates/NotesViewSwiftUI.h"
#include "templates/RentFlyerViewSwiftUI.h"
#include "templates/SchoolReportViewSwiftUI.h"
#include "tests/templates/FormTestSupport.h"

namespace quillora {
namespace {

using namespace platform::swiftui;

struct FormCase {
    std::string name, key, screen;
    std::function<AnyView()> make;
    TemplateDictionary untouched;
};

TemplateDictionary report(std::string subHeading, std::string subColor) {
    return {{"Instructor_Name", "Sam Author"},
            {"Page_Heading", "Research in Machine Learning for Medical Diagnostics"},
            {"Page_SubHeading", std::move(subHeading)},
            {"Font_SizeBody", "fs-5"},
            {"Font_WeightBody", "fw-normal"},
            {"TextColor_Heading", "text-primary"},
            {"TextColor_SubHeading", std::move(subColor)},
            {"TextColor_Body", ""},
            {"Font_SizeHeading", "fs-1"},
            {"Font_SizeSubheading", "fs-2"},
            {"Display_Date", ""}};
}

TemplateDictionary poster(std::string heading, std::string sub, std::string subSize, std::string website) {
    return {{"Page_Heading", std::move(heading)},
            {"Page_SubHeading", std::move(sub)},
            {"Font_SizeBody", ""},
            {"Font_WeightBody", ""},
            {"TextColor_Heading", "text-primary"},
            {"TextColor_SubHeading", "text-primary"},
            {"TextColor_Body", ""},
            {"Font_SizeHeading", "fs-1"},
            {"Font_SizeSubheading", std::move(subSize)},
            {"Display_Date", "21st Oct 2021"},
            {"Display_Time", "4PM - 5PM"},
            {"Website", std::move(website)},
            {"Location", "California"},
            {"Phone_No", "+123456789"}};
}

const std::vector<FormCase>& cases() {
    static const std::vector<FormCase> all = [] {
        std::vector<FormCase> c{
            {"notes",
             "SavedDictNote1",
             "PDFNotesViewController",
             [] { return AnyView(NotesViewSwiftUI{}); },
             {{"Page_Title", "Meeting Minutes: Attendees - Ana,Ben,Cleo"},
              {"Font_Size", "fs-4"},
              {"Font_Weight", "fw-normal"},
              {"Display_Date", ""},
              {"Display_Time", ""}}},
            {"notes 2",
             "SavedDictNote1",
             "PDFNotesSecondViewController",
             [] { return AnyView(NotesSecondViewSwiftUI{}); },
             {}},
            {"essay",
             "SavedEssay",
             "PDFEssayViewController",
             [] { return AnyView(EssayViewSwiftUI{}); },
             {{"Instructor_Name", "Sam Author"},
              {"Page_Heading", "The Future of Machine Learning and Artificial Intelligence"},
              {"Page_SubHeading", "Benefiting Humanity: AI and ML in Core Industry Sectors"},
              {"Font_SizeBody", "fs-5"},
              {"Font_WeightBody", "fw-normal"},
              {"TextColor_Heading", "text-danger"},
              {"TextColor_SubHeading", "text-dark"},
              {"TextColor_Body", ""},
              {"Font_SizeHeading", "fs-1"},
              {"Font_SizeSubheading", "fs-2"}}},
            {"research", "SavedResearch", "PDFResearchViewController",
             [] { return AnyView(ResearchViewSwiftUI{}); }, report("", "text-dark")},
            {"modern report", "SavedModernReport", "PDFModernreportViewController",
             [] { return AnyView(ModernreportViewSwiftUI{}); }, report("", "text-dark")},
            {"school report", "SavedSchoolReport", "PDFSchoolReportViewController",
             [] { return AnyView(SchoolReportViewSwiftUI{}); }, report("Future of AI", "text-danger")},
            {"event poster", "SavedEventPoster", "PDFEventPosterViewController",
             [] { return AnyView(EventPosterViewSwiftUI{}); },
             poster("Art Exhibition ", "Art Event ", "fs-2", "www.art-exhibition.example.com")},
            {"rent flyer", "SavedRentFlyer", "PDFRentFlyerViewController",
             [] { return AnyView(RentFlyerViewSwiftUI{}); },
             poster("Flat for Rent ", " ", "fs-2", "listings@example.com")},
            {"sale flyer", "SavedSaleFlyer", "PDFSaleFlyerViewController",
             [] { return AnyView(SaleFlyerViewSwiftUI{}); },
             poster("SAFA FOR SALE ", "5 Seater Sofa ", "fs-1", "listings@example.com")},
        };
        c[1].untouched = c[0].untouched;
        c[7].untouched["Price"] = "$1200/Month";
        c[8].untouched["Price"] = "$1000";
        return c;
    }();
    return all;
}

class ReportFormsTest : public test::FormTest {
protected:
    TemplateDictionary preview(UIHostingController& form, const std::string& key) {
        EXPECT_TRUE(form.host()->press("Preview")) << form.host()->lastError();
        runUntilIdle();
        return stored(key);
    }
};

TEST_F(ReportFormsTest, AnUntouchedPreviewStoresTheStartValuesAndEveryKeyTheTemplateReads) {
    for (const auto& c : cases()) {
        SCOPED_TRACE(c.name);
        auto form = open(c.make());
        const auto d = preview(*form, c.key);
        EXPECT_EQ(d, c.untouched);
        const PDFTemplate* row = pdfTemplateNamed(c.screen);
        ASSERT_NE(row, nullptr);
        for (const auto& m : row->marks)
            if (m.source == FillSource::Value) {
                EXPECT_TRUE(d.count(m.key)) << m.key;
            }
        auto screen = std::dynamic_pointer_cast<PDFTemplateViewController>(form->presentedViewController());
        ASSERT_NE(screen, nullptr);
        EXPECT_EQ(screen->className(), c.screen);
        close(form);
    }
}

TEST_F(ReportFormsTest, GroupsShowingAnotherChoiceStoreItsClassOnlyOnceTapped) {
    struct Row {
        std::string form, heading, shown, key, held, tapped;
        std::function<AnyView()> make;
        std::string storage;
    };
    auto essay = [] { return AnyView(EssayViewSwiftUI{}); };
    auto modern = [] { return AnyView(ModernreportViewSwiftUI{}); };
    auto rent = [] { return AnyView(RentFlyerViewSwiftUI{}); };
    auto poster = [] { return AnyView(EventPosterViewSwiftUI{}); };
    const std::vector<Row> rows{
        {"essay", "Font Size : Headline", "LargePlus", "Font_SizeHeading", "fs-1", "fs-2", essay,
         "SavedEssay"},
        {"essay", "Font Color : Body ", "Black", "TextColor_Body", "", "text-dark", essay, "SavedEssay"},
        {"modern report", "Font Size : Headline", "Small", "Font_SizeHeading", "fs-1", "fs-5", modern,
         "SavedModernReport"},
        {"modern report", "Font Color : Headline", "Red", "TextColor_Heading", "text-primary", "text-danger",
         modern, "SavedModernReport"},
        {"rent flyer", "Font Type : Body ", "Normal", "Font_WeightBody", "", "fw-normal", rent,
         "SavedRentFlyer"},
        {"event poster", "Font Size : Body", "Small", "Font_SizeBody", "", "fs-5", poster,
         "SavedEventPoster"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.form + " / " + r.heading);
        auto form = open(r.make());
        auto groups = groupsUnder(form->host()->tree(), r.heading);
        ASSERT_FALSE(groups.empty());
        EXPECT_EQ(chosen(*groups[0]), (std::vector<std::string>{r.shown}));
        EXPECT_EQ(preview(*form, r.storage)[r.key], r.held);
        form->presentedViewController()->dismissViewControllerAnimated_completion(false, nullptr);
        runUntilIdle();
        ASSERT_TRUE(form->host()->pressAfter(r.heading, r.shown)) << form->host()->lastError();
        EXPECT_EQ(preview(*form, r.storage)[r.key], r.tapped);
        close(form);
    }
}

TEST_F(ReportFormsTest, NotesDateAndTimeAndTheSecondNotesFormOverwritesTheFirst) {
    auto form = open(NotesViewSwiftUI{});
    advance(12 * 3600 + 34 * 60 + 56);
    ASSERT_TRUE(form->host()->pressAfter("Display Date", "Yes"));
    ASSERT_TRUE(form->host()->pressAfter("Display Time", "Yes"));
    ASSERT_TRUE(form->host()->pressAfter("Font Type", "Thin"));
    auto d = preview(*form, "SavedDictNote1");
    EXPECT_EQ(d["Display_Date"], "December 2, 2026");
    EXPECT_EQ(d["Display_Time"], "12:34:56\u202fPM");
    EXPECT_EQ(d["Font_Weight"], "fst-normal");
    close(form);
    auto second = open(NotesSecondViewSwiftUI{});
    ASSERT_TRUE(second->host()->pressAfter("Display Time", "No"));
    ASSERT_TRUE(second->host()->edit(" Enter Page Title", ""));
    d = preview(*second, "SavedDictNote1");
    EXPECT_EQ(d["Display_Time"], " ");
    EXPECT_EQ(d["Display_Date"], "");
    EXPECT_EQ(d["Page_Title"], "");
}

TEST_F(ReportFormsTest, TypedTextsAndFixedTextsGoInAsTheyStand) {
    auto form = open(EventPosterViewSwiftUI{});
    const Node& tree = form->host()->tree();
    EXPECT_NE(tree.findText("Finalizing your Event Poster PDF"), nullptr);
    EXPECT_EQ(tree.findText("Font Color : Body "), tree.findText("Font Color : Body"))
        << "trailing blank kept";
    ASSERT_TRUE(form->host()->edit(" Enter Page heading", "<b>Tom & \"Jerry\"</b> #DATE#"));
    ASSERT_TRUE(form->host()->edit("Enter TIME", "6PM"));
    const auto d = preview(*form, "SavedEventPoster");
    EXPECT_EQ(d.at("Page_Heading"), "<b>Tom & \"Jerry\"</b> #DATE#");
    EXPECT_EQ(d.at("Display_Time"), "6PM");
    close(form);

    auto sale = open(SaleFlyerViewSwiftUI{});
    EXPECT_EQ(sale->host()->tree().findText("Font Color : Body "), nullptr)
        << "the sale flyer has no colour choice";
    ASSERT_TRUE(sale->host()->pressAfter("Font Size : Subheading", "Large"));
    EXPECT_EQ(preview(*sale, "SavedSaleFlyer").at("Font_SizeSubheading"), "fs-3");
}

} // namespace
} // namespace quillora
