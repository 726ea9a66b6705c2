#include "templates/SwiftUiPdfView.h"

#include <functional>
#include <vector>

#include "platform/foundation/Console.h"
#include "platform/uikit/UIViewController.h"
#include "templates/EssayViewSwiftUI.h"
#include "templates/EventPosterViewSwiftUI.h"
#include "templates/LetterForm.h"
#include "templates/ModernreportViewSwiftUI.h"
#include "templates/NotesViewSwiftUI.h"
#include "templates/RentFlyerViewSwiftUI.h"
#include "templates/ScaleButtonStyle.h"
#include "templates/SchoolReportViewSwiftUI.h"
#include "templates/TemplateForm.h"

namespace quillora {

using namespace platform::swiftui;

namespace {

enum class Section { notes, reports, letters, flyers };

// One card of the gallery: where it stands, what it shows and prints, how it is styled, and the
// selector and form of its sheet.
struct Card {
    Section section;
    std::string image;
    std::string title;
    std::vector<std::string> lines;
    std::optional<double> radius; // scaled while pressed and clipped; none for a plain button
    std::function<void(const SwiftUiPdfView&)> open;
    std::function<AnyView(const SwiftUiPdfView&, AnyView)> sheet;
};

template <class E, class Form>
Card card(Section section, std::string image, std::string title, std::vector<std::string> lines,
          std::optional<double> radius, State<std::optional<E>> SwiftUiPdfView::*selector, E value) {
    return Card{section,
                std::move(image),
                std::move(title),
                std::move(lines),
                radius,
                [selector, value](const SwiftUiPdfView& g) { (g.*selector).set(value); },
                [selector](const SwiftUiPdfView& g, AnyView button) {
                    return button.sheet<E>((g.*selector).binding(), [](const E&) { return AnyView(Form{}); });
                }};
}

const std::vector<Card>& cards() {
    using S = SwiftUiPdfView;
    static const std::vector<Card> all{
        card<ActiveSheet, NotesViewSwiftUI>(Section::notes, "Note1", "Notes",
                                            {"BUtton 1", "Note taking app selected"}, 6, &S::activeSheet,
                                            ActiveSheet::first),
        card<ActiveSheet2, NotesSecondViewSwiftUI>(Section::notes, "Note2black", "Notes ",
                                                   {"Notes - II ", "BUtton 2"}, 6, &S::activeSheet2,
                                                   ActiveSheet2::third),
        card<ActiveSheet3, EssayViewSwiftUI>(Section::reports, "essay", "Essay", {"Essay Selected"}, 5,
                                             &S::activeSheet3, ActiveSheet3::fifth),
        card<ActiveSheet4, ResearchViewSwiftUI>(Section::reports, "researchpaper", "Research Paper",
                                                {"Research  Paper"}, 8, &S::activeSheet4,
                                                ActiveSheet4::seventh),
        card<ActiveSheet5, ModernreportViewSwiftUI>(Section::reports, "modernreport", "Modern Report",
                                                    {"Modern Report"}, std::nullopt, &S::activeSheet5,
                                                    ActiveSheet5::nineth),
        card<ActiveSheet6, SchoolReportViewSwiftUI>(
            Section::reports, "contemporaryreport", "Contemporary Report ",
            {"Contemporary Report-School Report"}, std::nullopt, &S::activeSheet6, ActiveSheet6::eleventh),
        card<ActiveSheet7, ModernLetterViewSwiftUI>(Section::letters, "modernletter", "Modern Letter",
                                                    {"modernletter "}, 8, &S::activeSheet7,
                                                    ActiveSheet7::thirteen),
        card<ActiveSheet8, ModernBoldLetterViewSwiftUI>(Section::letters, "bold_type_letter",
                                                        "Modern Bold Letter", {"Modern Bold Letter"}, 8,
                                                        &S::activeSheet8, ActiveSheet8::fifteen),
        card<ActiveSheet9, PersonalLetterViewSwiftUI>(Section::letters, "personalletter", "Personal Letter",
                                                      {"Personal letter"}, 8, &S::activeSheet9,
                                                      ActiveSheet9::seventeen),
        card<ActiveSheet10, BusinessLetterViewSwiftUI>(Section::letters, "businessletter", "Business Letter",
                                                       {"businessletter"}, 8, &S::activeSheet10,
                                                       ActiveSheet10::nineteen),
        card<ActiveSheet11, EventPosterViewSwiftUI>(Section::flyers, "eventposter", "Event Poster ",
                                                    {"Event poster small "}, std::nullopt, &S::activeSheet11,
                                                    ActiveSheet11::twentyone),
        card<ActiveSheet12, RentFlyerViewSwiftUI>(Section::flyers, "forrentflyer", "For Rent Flyer",
                                                  {"forrentflyer"}, std::nullopt, &S::activeSheet12,
                                                  ActiveSheet12::twentythree),
        card<ActiveSheet13, SaleFlyerViewSwiftUI>(Section::flyers, "forsaleflyer", "For Sale Flyer",
                                                  {"For Sale Flyer"}, 8, &S::activeSheet13,
                                                  ActiveSheet13::twentyfive),
    };
    return all;
}

AnyView cardButton(const SwiftUiPdfView& gallery, const Card& c, bool blackTitle) {
    const double height = c.section == Section::flyers ? 150 : 200;
    AnyView title = Text(c.title).font(Font::subheadline());
    if (blackTitle) title = title.foregroundColor(Color::black());
    AnyView label =
        VStack({Alignment::center, 10},
               {Image(c.image).resizable().frame(140, height).overlay(Rectangle().stroke(Color::black(), 1)),
                title});
    auto open = c.open;
    auto lines = c.lines;
    AnyView button = Button(label, [gallery, open, lines] {
        for (const auto& line : lines)
            platform::console().print(line);
        open(gallery);
    });
    if (c.radius)
        button = button.buttonStyle(ScaleButtonStyle{})
                     .clipShape(RoundedRectangle(*c.radius, CornerStyle::continuous));
    return c.sheet(gallery, button);
}

AnyView section(const SwiftUiPdfView& gallery, Section which, const std::string& title,
                std::optional<Color> titleColor, const Color& gradient) {
    std::vector<AnyView> row;
    const auto& all = cards();
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i].section == which) row.push_back(cardButton(gallery, all[i], i >= 4));
    AnyView heading = Text(title).font(Font::headline());
    if (titleColor) heading = heading.foregroundColor(*titleColor);
    return VStack({Alignment::leading, 1},
                  {heading,
                   ScrollView(Axis::horizontal, true,
                              HStack({Spacer(), HStack({Alignment::center, 40}, std::move(row)).padding(30),
                                      Spacer()}))})
        .padding(8)
        .background(LinearGradient({gradient, Color::white()}, "leading", "trailing"));
}

} // namespace

AnyView SwiftUiPdfView::body() const {
    auto presenter = presentingVC;
    AnyView cancel =
        pillStyle(Button(Text("cancel").font(Font::footnote()),
                         [presenter] {
                             platform::console().print("cancel pressed ");
                             auto host = presenter.lock();
                             if (host && host->presentedViewController())
                                 host->presentedViewController()->dismissViewControllerAnimated_completion(
                                     true, nullptr);
                         }),
                  Color::purple(), Color::blue());
    AnyView header =
        VStack({Alignment::center, std::nullopt},
               {cancel, Spacer(),
                Text("CHOOSE A DOCUMENT ").font(Font::headline()).foregroundColor(Color::black()), Spacer()});
    return ScrollView(
        Axis::vertical, true,
        VStack({Alignment::center, 20},
               {header, section(*this, Section::notes, "NOTES ", Color::black(), Color::blue()),
                section(*this, Section::reports, "REPORTS", std::nullopt, Color::orange()),
                section(*this, Section::letters, "LETTERS", std::nullopt, Color::gray()),
                section(*this, Section::flyers, "FLYERS AND POSTERS", std::nullopt, Color::yellow())
                    .padding(8)
                    .background(LinearGradient({Color::purple(), Color::white()}, "leading", "trailing"))}));
}

} // namespace quillora
