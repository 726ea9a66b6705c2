// The four letter forms opened as the gallery opens them: what an untouched Preview stores, what
// each group shows against what it holds, the choices' lines and classes, the date, the business
// letter's company rows, and what Preview and cancel leave behind.

#include "templates/LetterForm.h"
#include "pdf/PDFTemplateViewController.h"
#include "tests/templates/FormTestSupport.h"

namespace quillora {
namespace {

using namespace platform::swiftui;
using Keys = std::vector<std::pair<std::string, std::string>>;

class LetterFormTest : public test::FormTest {
protected:
    // Presses Preview and lets the sheet come up; the dictionary stored, in key order of the table.
    TemplateDictionary preview(UIHostingController& form, const std::string& key) {
        EXPECT_TRUE(form.host()->press("Preview")) << form.host()->lastError();
        runUntilIdle();
        return stored(key);
    }
    void choose(UIHostingController& form, const std::string& heading, const std::string& item) {
        EXPECT_TRUE(form.host()->pressAfter(heading, item)) << form.host()->lastError();
    }
    // The one group under a heading (the first when a heading stands for several).
    const Node& group(UIHostingController& form, const std::string& heading) {
        auto groups = groupsUnder(form.host()->tree(), heading);
        EXPECT_FALSE(groups.empty()) << heading;
        return *groups.at(0);
    }
};

std::map<std::string, std::string> asMap(const Keys& keys) {
    return {keys.begin(), keys.end()};
}

TEST_F(LetterFormTest, AnUntouchedPreviewStoresEachLettersStartValues) {
    const Keys common{{"Your_PhoneNo", "555013247"}, {"Your_Email", "alex.morgan@example.com"},
                      {"TextColor_Body", ""},        {"FontSize_Body", "fs-6"},
                      {"FontWeight_Body", ""},       {"Display_Date", ""}};
    struct Case {
        std::string key;
        std::function<AnyView()> make;
        Keys own;
    };
    const std::vector<Case> cases{
        {"SavedModernLetter",
         [] { return AnyView(ModernLetterViewSwiftUI{}); },
         {{"Your_Name", "Alex"},
          {"Your_Address", "12 Elm Street, Springfield"},
          {"Recipient_Name", "Jordan"},
          {"Recipient_Address", "Acme Supplies Ltd, 400 Market Road, Rivertown"},
          {"TextColor_YourName", ""},
          {"TextColor_RecipeintName", ""},
          {"Font_SizeYourName", "fs-5"},
          {"Font_SizeRecipientName", "fs-5"}}},
        {"SavedPersonalLetter",
         [] { return AnyView(PersonalLetterViewSwiftUI{}); },
         {{"Your_Name", "Robin Hale Jr."},
          {"Your_Address", "7 Birch Lane, Lakeside"},
          {"Recipient_Name", "Casey"},
          {"Recipient_Address", "Acme Supplies Ltd, 400 Market Road, Rivertown"},
          {"TextColor_YourName", "text-primary"},
          {"TextColor_RecipeintName", ""},
          {"Font_SizeYourName", "fs-2"},
          {"Font_SizeRecipientName", "fs-6"}}},
        {"SavedModernBoldLetter",
         [] { return AnyView(ModernBoldLetterViewSwiftUI{}); },
         {{"Your_Name", "Morgan Reed Jr."},
          {"Your_Address", "21 Oak Avenue, Hillview"},
          {"Recipient_Name", "Jordan"},
          {"Recipient_Address", "Northwind Traders, 18 Harbour Street, Bayport"},
          {"TextColor_YourName", "text-danger"},
          {"TextColor_RecipeintName", "text-dark"},
          {"Font_SizeYourName", "fs-1"},
          {"Font_SizeRecipientName", "fs-6"}}},
        {"SavedBusinessLetter",
         [] { return AnyView(BusinessLetterViewSwiftUI{}); },
         {{"Your_Name", "Morgan Reed Jr."},
          {"Your_CompanyName", "Brightside Studio Ltd"},
          {"Your_Address", "5 Station Road, Millbrook"},
          {"Recipient_Name", "Jordan"},
          {"Recipient_Address", "Contoso Group, 90 King Street, Fairview"},
          {"TextColor_YourName", "text-danger"},
          {"TextColor_RecipeintName", "text-dark"},
          {"Font_SizeYourName", "fs-1"},
          {"Font_SizeRecipientName", "fs-6"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        auto form = open(c.make());
        auto expected = asMap(common);
        for (const auto& [k, v] : c.own)
            expected[k] = v;
        const auto dictionary = preview(*form, c.key);
        EXPECT_EQ(dictionary, expected);
        EXPECT_EQ(dictionary.size(), c.key == "SavedBusinessLetter" ? 15u : 14u);
        EXPECT_EQ(takeConsole().at(0), "Preview");
        close(form);
    }
}

TEST_F(LetterFormTest, GroupsMayShowAChoiceTheirStateDoesNotHoldUntilTapped) {
    // heading, the choice shown at first, the key, the value held, the value after tapping the shown
    // choice; in the modern and in the business letter.
    struct Row {
        std::string heading, shown, key, held, tapped;
    };
    const std::vector<Row> modern{
        {"Font Size : Name", "Small", "Font_SizeYourName", "fs-5", "fs-5"},
        {"Font Color : Name", "Red", "TextColor_YourName", "", "text-danger"},
        {"Font Size : Recipient Name", "LargePlus", "Font_SizeRecipientName", "fs-5", "fs-2"},
        {"Font Color : Recepient Name", "Red", "TextColor_RecipeintName", "", "text-danger"},
        {"Font Size : Body", "Small", "FontSize_Body", "fs-6", "fs-5"},
        {"Font Type : Body ", "Normal", "FontWeight_Body", "", "fw-normal"},
        {"Font Color : Body ", "Black", "TextColor_Body", "", "text-dark"},
        {"Display Date", "No", "Display_Date", "", " "},
    };
    const std::vector<Row> business{
        {"Font Size : Company Name", "Small", "Font_SizeYourName", "fs-1", "fs-5"},
        {"Font Color : Company Name", "Red", "TextColor_YourName", "text-danger", "text-danger"},
        {"Font Size : Recipient Name", "LargePlus", "Font_SizeRecipientName", "fs-6", "fs-2"},
        {"Font Color : Recepient Name", "Red", "TextColor_RecipeintName", "text-dark", "text-danger"},
        {"Font Size : Body", "Small", "FontSize_Body", "fs-6", "fs-5"},
        {"Font Color : Body ", "Black", "TextColor_Body", "", "text-dark"},
    };
    for (bool isBusiness : {false, true}) {
        const std::string key = isBusiness ? "SavedBusinessLetter" : "SavedModernLetter";
        SCOPED_TRACE(key);
        auto form =
            open(isBusiness ? AnyView(BusinessLetterViewSwiftUI{}) : AnyView(ModernLetterViewSwiftUI{}));
        const auto& rows = isBusiness ? business : modern;
        for (const auto& r : rows)
            EXPECT_EQ(chosen(group(*form, r.heading)), (std::vector<std::string>{r.shown})) << r.heading;
        auto untouched = preview(*form, key);
        for (const auto& r : rows)
            EXPECT_EQ(untouched[r.key], r.held) << r.heading;
        for (const auto& r : rows)
            choose(*form, r.heading, r.shown);
        auto tapped = preview(*form, key);
        for (const auto& r : rows)
            EXPECT_EQ(tapped[r.key], r.tapped) << r.heading;
        close(form);
    }
}

TEST_F(LetterFormTest, EachChoicePrintsTwoLinesAndStoresItsClass) {
    auto form = open(ModernLetterViewSwiftUI{});
    takeConsole();
    choose(*form, "Font Type : Body ", "Italic");
    choose(*form, "Font Color : Body ", "Blue");
    choose(*form, "Font Color : Name", "Blue");
    choose(*form, "Font Size : Body", "XtraLarge");
    choose(*form, "Font Type : Body", "Thin"); // the trailing blank of the heading may be left out
    EXPECT_EQ(takeConsole(),
              (std::vector<std::string>{"Selected is: Italic", "Italic selected ", "Selected is: Blue",
                                        " Blue Body text selected ", "Selected is: Blue",
                                        " Blue headline selected  ", "Selected is: XtraLarge",
                                        "Xtra Large selected ", "Selected is: Thin", "Thin selected "}));
    auto d = preview(*form, "SavedModernLetter");
    EXPECT_EQ(d["FontWeight_Body"], "fst-normal");
    EXPECT_EQ(d["TextColor_Body"], "text-primary");
    EXPECT_EQ(d["TextColor_YourName"], "text-primary");
    EXPECT_EQ(d["FontSize_Body"], "fs-1");
    // Sizes, weights and colours of the body are three separate values.
    choose(*form, "Font Type : Body ", "Bold");
    EXPECT_EQ(preview(*form, "SavedModernLetter")["FontWeight_Body"], "fw-bold");
    EXPECT_EQ(stored("SavedModernLetter")["FontSize_Body"], "fs-1");
    // An ambiguous or unknown heading is refused with its reason.
    EXPECT_FALSE(form->host()->pressAfter("Font", "Small"));
    EXPECT_NE(form->host()->lastError().find("headings whose label starts with"), std::string::npos)
        << form->host()->lastError();
    EXPECT_FALSE(form->host()->pressAfter("Display Date", "Maybe"));
    EXPECT_EQ(form->host()->lastError(), "no button \"Maybe\" under \"Display Date\"");
}

TEST_F(LetterFormTest, TheDateIsTheTapsAndTheModernBoldLetterHasNone) {
    auto form = open(ModernLetterViewSwiftUI{});
    EXPECT_EQ(preview(*form, "SavedModernLetter")["Display_Date"], "");
    choose(*form, "Display Date", "Yes");
    choose(*form, "Display Date", "No");
    EXPECT_EQ(preview(*form, "SavedModernLetter")["Display_Date"], " ");
    advance(3600);
    choose(*form, "Display Date", "Yes");
    advance(24 * 3600); // Preview comes a day later
    EXPECT_EQ(preview(*form, "SavedModernLetter")["Display_Date"], "December 2, 2026");
    close(form);

    auto bold = open(ModernBoldLetterViewSwiftUI{});
    EXPECT_EQ(bold->host()->tree().findText("Display Date"), nullptr);
    EXPECT_FALSE(bold->host()->pressAfter("Display Date", "Yes"));
    EXPECT_EQ(preview(*bold, "SavedModernBoldLetter")["Display_Date"], "");
    close(bold);

    auto business = open(BusinessLetterViewSwiftUI{});
    choose(*business, "Display Date", "Yes");
    EXPECT_EQ(preview(*business, "SavedBusinessLetter")["Display_Date"], "December 3, 2026");
}

TEST_F(LetterFormTest, TheBusinessLetterStylesItsCompanyThroughTheNameKeys) {
    auto form = open(BusinessLetterViewSwiftUI{});
    const Node& tree = form->host()->tree();
    EXPECT_NE(tree.findText("Finalizing your Business Letter PDF"), nullptr);
    for (const char* text :
         {"Your  Name", "Your Company Name", "Your Company Phone No", "Your Company Email"})
        EXPECT_NE(tree.findText(text), nullptr) << text;
    EXPECT_EQ(tree.findControl("Your Address e.g 12 Elm Street, Springfield"), nullptr)
        << "no sender address field";
    ASSERT_TRUE(form->host()->edit("Your Company Name e.g", "Quill & Co"));
    choose(*form, "Font Color : Company Name", "Black");
    choose(*form, "Font Size : Company Name", "Normal");
    auto d = preview(*form, "SavedBusinessLetter");
    EXPECT_EQ(d["Your_CompanyName"], "Quill & Co");
    EXPECT_EQ(d["TextColor_YourName"], "text-dark");
    EXPECT_EQ(d["Font_SizeYourName"], "fs-4");
    EXPECT_EQ(d["Your_Address"], "5 Station Road, Millbrook");
}

TEST_F(LetterFormTest, PreviewShowsTheLettersScreenAndReplacesOnlyItsOwnDictionary) {
    storeTemplateDictionary("SavedPersonalLetter", {{"Your_Name", "Kept"}});
    auto form = open(ModernLetterViewSwiftUI{});
    ASSERT_TRUE(form->host()->edit("Your Name e.g", "First"));
    ASSERT_TRUE(form->host()->press("Preview"));
    EXPECT_EQ(form->presentedViewController(), nullptr) << "the sheet comes after the action";
    EXPECT_EQ(stored("SavedModernLetter")["Your_Name"], "First") << "stored in the action itself";
    runUntilIdle();
    auto screen = std::dynamic_pointer_cast<PDFTemplateViewController>(form->presentedViewController());
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->className(), "PDFModernLetterViewController");
    screen->dismissViewControllerAnimated_completion(false, nullptr);
    runUntilIdle();

    ASSERT_TRUE(form->host()->edit("Your Name e.g", "Second"));
    EXPECT_EQ(preview(*form, "SavedModernLetter")["Your_Name"], "Second");
    EXPECT_EQ(stored("SavedPersonalLetter"), (TemplateDictionary{{"Your_Name", "Kept"}}));
}

TEST_F(LetterFormTest, CancelWritesNothingAndAReopenedFormStartsAgain) {
    auto form = open(PersonalLetterViewSwiftUI{});
    ASSERT_TRUE(form->host()->edit("Your Name e.g", "Typed"));
    choose(*form, "Font Size : Body", "Large");
    takeConsole();
    ASSERT_TRUE(form->host()->press("cancel"));
    runUntilIdle();
    EXPECT_EQ(takeConsole(), (std::vector<std::string>{"cancel pressed "}));
    EXPECT_EQ(base->presentedViewController(), nullptr);
    EXPECT_FALSE(isStored("SavedPersonalLetter"));

    auto again = open(PersonalLetterViewSwiftUI{});
    EXPECT_EQ(again->host()->tree().findControl("Your Name e.g Alex Morgan")->getText(), "Robin Hale Jr.");
    EXPECT_EQ(chosen(group(*again, "Font Size : Body")), (std::vector<std::string>{"Small"}));
    // The personal letter has neither address field nor photo.
    EXPECT_EQ(again->host()->tree().findText("Select Logo"), nullptr);
    EXPECT_EQ(again->host()->tree().findControl("Recepient Address e.g 400 Market Road, Rivertown"), nullptr);
}

TEST_F(LetterFormTest, TheHeaderKeepsItsExactTexts) {
    auto form = open(ModernLetterViewSwiftUI{});
    const Node& tree = form->host()->tree();
    const Node* info = tree.findText("We need a little more info");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->text(), "We need a little more info \U0001F64B\u200D\u2640\uFE0F");
    EXPECT_EQ(info->modifier("animation")->text("curve"), "linear");
    const Node* title = tree.findText("Finalizing your Modern Letter PDF");
    EXPECT_EQ(title->modifier("animation")->text("curve"), "easeInOut");
    EXPECT_EQ(title->modifier("animation")->number("duration"), 5.0);
    EXPECT_NE(tree.findText("Note: Say 'next line or new Paragrah' for starting New paragraph  "), nullptr);
    EXPECT_NE(tree.findControl(" Enter  Recipient Name e.g Jordan  "), nullptr);
    EXPECT_NE(tree.findText("Font Color : Recepient Name"), nullptr);
}

} // namespace
} // namespace quillora
