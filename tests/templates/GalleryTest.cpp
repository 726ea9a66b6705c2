// The gallery hosted as the dictation screen hosts it: its thirteen cards, their lines and forms,
// the pressed look, the sheets that open again after closing, and cancel.

#include <set>

#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIScreen.h"
#include "templates/SwiftUiPdfView.h"
#include "tests/templates/FormTestSupport.h"

namespace quillora {
namespace {

using namespace platform;
using namespace platform::swiftui;

struct CardCase {
    std::string title, image;
    std::vector<std::string> lines;
    std::string form;
    double radius; // 0: a plain button
    double height;
};

const std::vector<CardCase>& cardCases() {
    static const std::vector<CardCase> all{
        {"Notes", "Note1", {"BUtton 1", "Note taking app selected"}, "NotesViewSwiftUI", 6, 200},
        {"Notes ", "Note2black", {"Notes - II ", "BUtton 2"}, "NotesSecondViewSwiftUI", 6, 200},
        {"Essay", "essay", {"Essay Selected"}, "EssayViewSwiftUI", 5, 200},
        {"Research Paper", "researchpaper", {"Research  Paper"}, "ResearchViewSwiftUI", 8, 200},
        {"Modern Report", "modernreport", {"Modern Report"}, "ModernreportViewSwiftUI", 0, 200},
        {"Contemporary Report ",
         "contemporaryreport",
         {"Contemporary Report-School Report"},
         "SchoolReportViewSwiftUI",
         0,
         200},
        {"Modern Letter", "modernletter", {"modernletter "}, "ModernLetterViewSwiftUI", 8, 200},
        {"Modern Bold Letter",
         "bold_type_letter",
         {"Modern Bold Letter"},
         "ModernBoldLetterViewSwiftUI",
         8,
         200},
        {"Personal Letter", "personalletter", {"Personal letter"}, "PersonalLetterViewSwiftUI", 8, 200},
        {"Business Letter", "businessletter", {"businessletter"}, "BusinessLetterViewSwiftUI", 8, 200},
        {"Event Poster ", "eventposter", {"Event poster small "}, "EventPosterViewSwiftUI", 0, 150},
        {"For Rent Flyer", "forrentflyer", {"forrentflyer"}, "RentFlyerViewSwiftUI", 0, 150},
        {"For Sale Flyer", "forsaleflyer", {"For Sale Flyer"}, "SaleFlyerViewSwiftUI", 8, 150},
    };
    return all;
}

class GalleryTest : public test::FormTest {
protected:
    std::shared_ptr<UIHostingController> presentGallery() {
        SwiftUiPdfView gallery;
        gallery.presentingVC = base;
        return open(gallery);
    }
    // The card button whose label holds the title (cards "Notes" and "Notes " differ by a blank).
    static const Node* cardNamed(const Node& tree, const std::string& title) {
        return tree.find([&](const Node& n) {
            if (n.kind != "Button") return false;
            const Node* t = n.findKind("Text");
            return t && t->text() == title && n.findKind("Image");
        });
    }
    static const Node* scaled(const Node& card) {
        return card.find([](const Node& n) { return n.modifier("scaleEffect") != nullptr; });
    }
};

TEST_F(GalleryTest, EachCardShowsItsPictureAndTitleAndOpensItsFormAgainAfterClosing) {
    auto gallery = presentGallery();
    const Node& tree = gallery->host()->tree();
    ASSERT_NE(tree.findText("CHOOSE A DOCUMENT "), nullptr);
    for (const char* heading : {"NOTES ", "REPORTS", "LETTERS", "FLYERS AND POSTERS"})
        EXPECT_NE(tree.find([&](const Node& n) { return n.kind == "Text" && n.text() == heading; }), nullptr)
            << heading;
    EXPECT_EQ(tree.findAll([](const Node& n) { return n.kind == "Button" && n.findKind("Image"); }).size(),
              13u);

    for (const auto& c : cardCases()) {
        SCOPED_TRACE(c.title);
        const Node* card = cardNamed(gallery->host()->tree(), c.title);
        ASSERT_NE(card, nullptr);
        const Node* image = card->findKind("Image");
        EXPECT_EQ(image->textProp("name"), c.image);
        EXPECT_EQ(image->modifier("frame")->number("height"), c.height);
        EXPECT_NE(UIImage::imageNamed(c.image), nullptr) << "the bundle has the picture";
        EXPECT_EQ(UIImage::imageNamed(c.image)->size(), (CGSize{280, c.height * 2}));

        takeConsole();
        ASSERT_TRUE(gallery->host()->press(*card));
        runUntilIdle();
        EXPECT_EQ(takeConsole(), c.lines);
        auto form = std::dynamic_pointer_cast<UIHostingController>(gallery->presentedViewController());
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->host()->tree().kind, c.form);
        // The form closes itself; the same card opens a new one.
        ASSERT_TRUE(form->host()->press("cancel"));
        runUntilIdle();
        EXPECT_EQ(gallery->presentedViewController(), nullptr);
        ASSERT_TRUE(gallery->host()->press(*cardNamed(gallery->host()->tree(), c.title)));
        runUntilIdle();
        auto again = std::dynamic_pointer_cast<UIHostingController>(gallery->presentedViewController());
        ASSERT_NE(again, nullptr);
        EXPECT_NE(again, form);
        again->dismissViewControllerAnimated_completion(false, nullptr); // a swipe
        runUntilIdle();
        EXPECT_EQ(gallery->presentedViewController(), nullptr);
    }
}

TEST_F(GalleryTest, ScaledCardsGrowWhilePressedAndPlainOnesNeitherGrowNorClip) {
    auto gallery = presentGallery();
    for (const auto& c : cardCases()) {
        SCOPED_TRACE(c.title);
        const Node* card = cardNamed(gallery->host()->tree(), c.title);
        ASSERT_NE(card, nullptr);
        if (c.radius == 0) {
            EXPECT_EQ(scaled(*card), nullptr);
            EXPECT_EQ(card->modifier("clipShape"), nullptr);
            continue;
        }
        const Modifier* clip = card->modifier("clipShape");
        ASSERT_NE(clip, nullptr);
        EXPECT_EQ(clip->content[0]->number("cornerRadius"), c.radius);
        EXPECT_EQ(clip->content[0]->textProp("style"), "continuous");
        EXPECT_EQ(scaled(*card)->modifier("scaleEffect")->number("x"), 1.0);
    }
    // Held down, the label of a scaled card is 1.5 times its size; the Preview of a form likewise.
    ASSERT_TRUE(gallery->host()->pressDown("Modern Letter"));
    EXPECT_EQ(
        scaled(*cardNamed(gallery->host()->tree(), "Modern Letter"))->modifier("scaleEffect")->number("x"),
        1.5);
    ASSERT_TRUE(gallery->host()->pressUp("Modern Letter"));
    runUntilIdle();
    auto form = std::dynamic_pointer_cast<UIHostingController>(gallery->presentedViewController());
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(form->host()->pressDown("Preview"));
    const Node* preview = form->host()->tree().find([](const Node& n) { return n.modifier("scaleEffect"); });
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->modifier("scaleEffect")->number("x"), 1.5);
}

TEST_F(GalleryTest, CancelClosesTheGalleryFromItsHostAndDoesNothingMoreWithoutOne) {
    auto gallery = presentGallery();
    takeConsole();
    ASSERT_TRUE(gallery->host()->press("cancel"));
    runUntilIdle();
    EXPECT_EQ(takeConsole(), (std::vector<std::string>{"cancel pressed "}));
    EXPECT_EQ(base->presentedViewController(), nullptr);

    // No presenting screen, or nothing presented from it: only the line.
    auto orphan = open(SwiftUiPdfView{});
    ASSERT_TRUE(orphan->host()->press("cancel"));
    runUntilIdle();
    EXPECT_EQ(takeConsole(), (std::vector<std::string>{"cancel pressed "}));
    EXPECT_EQ(base->presentedViewController(), orphan);
    base->dismissViewControllerAnimated_completion(false, nullptr);
    runUntilIdle();
    SwiftUiPdfView idle;
    idle.presentingVC = base;
    auto host = ViewHost::make(idle);
    ASSERT_TRUE(host->press("cancel"));
    EXPECT_EQ(takeConsole(), (std::vector<std::string>{"cancel pressed "}));
}

TEST_F(GalleryTest, FormsOpenedAfterTheAppearanceTurnedDarkInvertTheirSymbolsOnly) {
    auto gallery = presentGallery();
    auto invertedKinds = [](const Node& tree) {
        std::set<std::string> kinds;
        for (const auto* n : tree.findAll([](const Node& n) { return n.modifier("colorInvert") != nullptr; }))
            kinds.insert(n->kind + ":" + n->textProp("systemName").value_or(""));
        return kinds;
    };
    ASSERT_TRUE(gallery->host()->press("Modern Letter"));
    runUntilIdle();
    auto light = std::dynamic_pointer_cast<UIHostingController>(gallery->presentedViewController());
    ASSERT_NE(light, nullptr);
    EXPECT_TRUE(invertedKinds(light->host()->tree()).empty());
    ASSERT_TRUE(light->host()->press("cancel"));
    runUntilIdle();

    UIScreen::mainScreen().setUserInterfaceStyle(UIUserInterfaceStyle::Dark);
    ASSERT_TRUE(gallery->host()->press("Essay"));
    runUntilIdle();
    auto dark = std::dynamic_pointer_cast<UIHostingController>(gallery->presentedViewController());
    ASSERT_NE(dark, nullptr);
    EXPECT_EQ(dark->host()->colorScheme(), ColorScheme::dark);
    EXPECT_EQ(invertedKinds(dark->host()->tree()),
              (std::set<std::string>{"Image:circle", "Image:largecircle.fill.circle"}));
    // Chosen options stay chosen when the appearance turns back.
    ASSERT_TRUE(dark->host()->pressAfter("Font Size : Body", "Large"));
    UIScreen::mainScreen().setUserInterfaceStyle(UIUserInterfaceStyle::Light);
    dark->followDeviceAppearance();
    EXPECT_TRUE(invertedKinds(dark->host()->tree()).empty());
    EXPECT_EQ(chosen(*groupsUnder(dark->host()->tree(), "Font Size : Body")[0]),
              (std::vector<std::string>{"Large"}));
}

TEST_F(GalleryTest, TheOtherCardsFormsStoreEveryKeyTheirTemplateReads) {
    // Cards 1-6 and 11-13: an untouched Preview stores every key the template reads.
    const std::vector<std::pair<std::string, std::string>> cases{
        {"Notes", "SavedDictNote1"},
        {"Essay", "SavedEssay"},
        {"Research Paper", "SavedResearch"},
        {"Modern Report", "SavedModernReport"},
        {"Contemporary Report ", "SavedSchoolReport"},
        {"Event Poster ", "SavedEventPoster"},
        {"For Rent Flyer", "SavedRentFlyer"},
        {"For Sale Flyer", "SavedSaleFlyer"}};
    auto gallery = presentGallery();
    for (const auto& [title, key] : cases) {
        SCOPED_TRACE(title);
        ASSERT_TRUE(gallery->host()->press(*cardNamed(gallery->host()->tree(), title)));
        runUntilIdle();
        auto form = std::dynamic_pointer_cast<UIHostingController>(gallery->presentedViewController());
        ASSERT_NE(form, nullptr);
        ASSERT_TRUE(form->host()->press("Preview"));
        runUntilIdle();
        const auto d = stored(key);
        const PDFTemplate* row = nullptr;
        for (const auto& r : pdfTemplates())
            if (r.dictionaryKey == key && !r.pickerWrapper.empty()) row = &r;
        ASSERT_NE(row, nullptr);
        for (const auto& m : row->marks)
            if (m.source == FillSource::Value) {
                EXPECT_TRUE(d.count(m.key)) << m.key;
            }
        EXPECT_NE(form->presentedViewController(), nullptr) << "the template screen is shown";
        close(form);
        presentGallery().swap(gallery);
    }
    EXPECT_EQ(stored("SavedEssay").at("Font_SizeHeading"), "fs-1");
    EXPECT_EQ(stored("SavedRentFlyer").at("Page_SubHeading"), " ");
    EXPECT_EQ(stored("SavedRentFlyer").at("Price"), "$1200/Month");
    EXPECT_EQ(stored("SavedSaleFlyer").at("Page_Heading"), "SAFA FOR SALE ");
    EXPECT_EQ(stored("SavedSaleFlyer").at("Font_SizeSubheading"), "fs-1");
    EXPECT_EQ(stored("SavedDictNote1").at("Font_Size"), "fs-4");
    EXPECT_EQ(stored("SavedSchoolReport").at("TextColor_SubHeading"), "text-danger");
}

} // namespace
} // namespace quillora
