// The option-to-style tables: every option's line and class, the fallbacks, and the date and time
// taken at the tap under the virtual clock (2026-12-02 00:00:00 UTC at the start).

#include "templates/StyleOptions.h"
#include "tests/templates/FormTestSupport.h"

namespace quillora {
namespace {

struct Expected {
    OptionKind kind;
    std::string item, line, value;
};

class StyleOptionsTest : public test::FormTest {};

TEST_F(StyleOptionsTest, EveryOptionPrintsItsLineAndStoresItsClass) {
    const std::vector<Expected> table{
        {OptionKind::Size, "XtraSmall", "Xtra Small selected ", "fs-6"},
        {OptionKind::Size, "Small", " Small selected ", "fs-5"},
        {OptionKind::Size, "Normal", "Normal selected ", "fs-4"},
        {OptionKind::Size, "Large", "Large selected ", "fs-3"},
        {OptionKind::Size, "LargePlus", "LargePlus  selected ", "fs-2"},
        {OptionKind::Size, "XtraLarge", "Xtra Large selected ", "fs-1"},
        {OptionKind::Size, "Huge", "default:  Small selected ", "fs-5"},
        {OptionKind::Weight, "Bold", "Bold selected ", "fw-bold"},
        {OptionKind::Weight, "Bolder", " Bolder selected ", "fw-bolder"},
        {OptionKind::Weight, "Normal", "Normal selected ", "fw-normal"},
        {OptionKind::Weight, "Light", "Light selected ", "fw-light"},
        {OptionKind::Weight, "Lighter", "Lighter  selected ", "fw-lighter"},
        {OptionKind::Weight, "Italic", "Italic selected ", "fst-italic"},
        {OptionKind::Weight, "Thin", "Thin selected ", "fst-normal"},
        {OptionKind::Weight, "Heavy", "default:  Normal selected ", "fw-normal"},
        {OptionKind::HeadlineColor, "Red", "Red headline selected ", "text-danger"},
        {OptionKind::HeadlineColor, "Blue", " Blue headline selected  ", "text-primary"},
        {OptionKind::HeadlineColor, "Grey", " Grey headline selected  ", "text-secondary"},
        {OptionKind::HeadlineColor, "Black", " Black headline selected  ", "text-dark"},
        {OptionKind::HeadlineColor, "LightBlue", " LightBlue headline selected  ", "text-info"},
        {OptionKind::HeadlineColor, "Yellow", " Yellow headline selected  ", "text-warning"},
        {OptionKind::HeadlineColor, "Pink", "default:  Red  selected ", "text-danger"},
        {OptionKind::BodyColor, "Red", "Red Body text selected ", "text-danger"},
        {OptionKind::BodyColor, "Blue", " Blue Body text selected ", "text-primary"},
        {OptionKind::BodyColor, "Grey", " Grey Body text selected ", "text-secondary"},
        {OptionKind::BodyColor, "Black", " Black Body text selected ", "text-dark"},
        {OptionKind::BodyColor, "LightBlue", " LightBlue Body text selected ", "text-info"},
        {OptionKind::BodyColor, "Yellow", " Yellow Body text selected  ", "text-warning"},
        {OptionKind::BodyColor, "Pink", " Black Body text selected  ", "text-dark"},
        {OptionKind::Date, "No", "date not selected ", " "},
        {OptionKind::Time, "No", "Time not selected ", " "},
    };
    for (const auto& e : table) {
        SCOPED_TRACE(e.item);
        const OptionChoice choice = chooseOption(e.kind, e.item);
        EXPECT_EQ(choice.line, e.line);
        EXPECT_EQ(choice.value, e.value);
    }
    EXPECT_EQ(optionItems(OptionKind::Size),
              (std::vector<std::string>{"XtraSmall", "Small", "Normal", "Large", "LargePlus", "XtraLarge"}));
    EXPECT_EQ(optionItems(OptionKind::Weight),
              (std::vector<std::string>{"Bold", "Bolder", "Normal", "Light", "Lighter", "Italic", "Thin"}));
    EXPECT_EQ(optionItems(OptionKind::BodyColor), optionItems(OptionKind::HeadlineColor));
    EXPECT_EQ(optionItems(OptionKind::Date), (std::vector<std::string>{"No", "Yes"}));
}

TEST_F(StyleOptionsTest, DateAndTimeAreThoseOfTheTap) {
    advance(12 * 3600 + 34 * 60 + 56);
    EXPECT_EQ(chooseOption(OptionKind::Date, "Yes").value, "December 2, 2026");
    EXPECT_EQ(chooseOption(OptionKind::Date, "Yes").line, " date selected  ");
    EXPECT_EQ(chooseOption(OptionKind::Time, "Yes").value, "12:34:56\u202fPM");
    EXPECT_EQ(chooseOption(OptionKind::Time, "Yes").line, " Time selected  ");
    const OptionChoice other = chooseOption(OptionKind::Date, "Maybe");
    EXPECT_EQ(other.line, "default:  date selected ");
    EXPECT_EQ(other.value, "December 2, 2026");
    EXPECT_EQ(chooseOption(OptionKind::Time, "Maybe").line, "default:  date selected ");
}

} // namespace
} // namespace quillora
