#include "templates/EssayViewSwiftUI.h"

#include "common/TemplateKeys.h"

#include "pdf/UipdfPicker.h"

namespace quillora {

using namespace platform::swiftui;

AnyView EssayViewSwiftUI::body() const {
    const Font sub = Font::subheadline(), head = Font::headline();
    TemplateFormTable t{templatekeys::SavedEssay,
                        [] { return AnyView(EssayUipdfPicker{}); },
                        showingPdfPicker1,
                        std::nullopt,
                        {},
                        {}};
    t.rows = {
        header("Finalizing your Essay PDF"),
        spacer(),
        stack({spacer(), label(""), label("Name", sub, Color::blue()),
               field(" Enter Name e.g Sam A", pageInstructorName, head),
               label("Headline", head, Color::orange()),
               field(" Enter Essay Heading e.g Future of Artificial Intelligence", pageHeading, head),
               stack({label("Font Size : Headline", sub),
                      options(OptionKind::Size, "LargePlus", fontsizeHeading),
                      options(OptionKind::HeadlineColor, "Red", textColorHeadline)}),
               label("SubHeading", sub, Color::purple()), field(" Enter SubHeading ", pageSubHeading, head),
               stack({label("Font Size : Subheading", sub),
                      options(OptionKind::Size, "LargePlus", fontsizeSubheading),
                      options(OptionKind::HeadlineColor, "Black", textColorSubHeadline)},
                     head, 40)}),
        spacer(),
        spacer(),
        stack({label("Font Size : Body", sub), options(OptionKind::Size, "Small", fontsizeBody),
               label("Font Type : Body ", sub), options(OptionKind::Weight, "Normal", fonttypeBody),
               label("Font Color : Body ", sub), options(OptionKind::BodyColor, "Black", textColorBody),
               preview()})};
    t.keys = {{templatekeys::Instructor_Name, pageInstructorName},
              {templatekeys::Page_Heading, pageHeading},
              {templatekeys::Page_SubHeading, pageSubHeading},
              {templatekeys::Font_SizeBody, fontsizeBody},
              {templatekeys::Font_WeightBody, fonttypeBody},
              {templatekeys::TextColor_Heading, textColorHeadline},
              {templatekeys::TextColor_SubHeading, textColorSubHeadline},
              {templatekeys::TextColor_Body, textColorBody},
              {templatekeys::Font_SizeHeading, fontsizeHeading},
              {templatekeys::Font_SizeSubheading, fontsizeSubheading}};
    return templateForm(t);
}

} // namespace quillora
