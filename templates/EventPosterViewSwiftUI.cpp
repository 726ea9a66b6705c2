#include "templates/EventPosterViewSwiftUI.h"

#include "common/TemplateKeys.h"

#include "pdf/UipdfPicker.h"

namespace quillora {

using namespace platform::swiftui;

AnyView EventPosterViewSwiftUI::body() const {
    const Font sub = Font::subheadline(), head = Font::headline();
    TemplateFormTable t{templatekeys::SavedEventPoster,
                        [] { return AnyView(EventPosterUipdfPicker{}); },
                        showingPdfPicker1,
                        PhotoStates{imagePickerVisible, selectedImage},
                        {},
                        {}};
    t.rows = {
        header("Finalizing your Event Poster PDF"), spacer(),
        stack({label("Page Heading ", head, Color::orange()),
               field(" Enter Page heading e.g Art Exhibition", pageHeading, head),
               stack({label("Font Size : Headline", sub, Color::orange()),
                      options(OptionKind::Size, "Small", fontsizeHeading),
                      label("Font Color : Headline", sub, Color::orange()),
                      options(OptionKind::HeadlineColor, "Red", textColorHeadline),
                      stack({label("Sub Heading", sub, Color::blue()),
                             field("Enter SubHeading", pageSubHeading, head),
                             label("TIME", sub, Color::blue()), field("Enter TIME: 4PM ", displaytime, head),
                             field("Enter Date e.g. 21st July 2021 ", displaydate, head),
                             label("Website", sub, Color::blue()),
                             field("Enter Website :www.art-exhibition.example.com ", website, head),
                             label("Phone No", sub, Color::blue()),
                             field("Enter Phone No : +1234567890 ", phoneno, head)},
                            std::nullopt, std::nullopt, 5)})},
              std::nullopt, std::nullopt, 5),
        stack({photo("Select an Image"),
               stack({label("Font Size : Body", sub, Color::green()),
                      options(OptionKind::Size, "Small", fontsizeBody),
                      label("Font Type : Body ", sub, Color::green()),
                      options(OptionKind::Weight, "Normal", fonttypeBody),
                      label("Font Color : Body ", sub, Color::green()),
                      options(OptionKind::BodyColor, "Black", textColorBody)}),
               preview()})};
    t.keys = {{templatekeys::Page_Heading, pageHeading},
              {templatekeys::Page_SubHeading, pageSubHeading},
              {templatekeys::Font_SizeBody, fontsizeBody},
              {templatekeys::Font_WeightBody, fonttypeBody},
              {templatekeys::TextColor_Heading, textColorHeadline},
              {templatekeys::TextColor_SubHeading, textColorSubHeadline},
              {templatekeys::TextColor_Body, textColorBody},
              {templatekeys::Font_SizeHeading, fontsizeHeading},
              {templatekeys::Font_SizeSubheading, fontsizeSubheading},
              {templatekeys::Display_Date, displaydate},
              {templatekeys::Display_Time, displaytime},
              {templatekeys::Website, website},
              {templatekeys::Location, location},
              {templatekeys::Phone_No, phoneno}};
    return templateForm(t);
}

} // namespace quillora
