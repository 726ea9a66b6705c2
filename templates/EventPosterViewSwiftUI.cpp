#include "templates/EventPosterViewSwiftUI.h"

#include "pdf/UipdfPicker.h"

namespace quillora {

using namespace platform::swiftui;

AnyView EventPosterViewSwiftUI::body() const {
    const Font sub = Font::subheadline(), head = Font::headline();
    TemplateFormTable t{"SavedEventPoster",
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
    t.keys = {{"Page_Heading", pageHeading},
              {"Page_SubHeading", pageSubHeading},
              {"Font_SizeBody", fontsizeBody},
              {"Font_WeightBody", fonttypeBody},
              {"TextColor_Heading", textColorHeadline},
              {"TextColor_SubHeading", textColorSubHeadline},
              {"TextColor_Body", textColorBody},
              {"Font_SizeHeading", fontsizeHeading},
              {"Font_SizeSubheading", fontsizeSubheading},
              {"Display_Date", displaydate},
              {"Display_Time", displaytime},
              {"Website", website},
              {"Location", location},
              {"Phone_No", phoneno}};
    return templateForm(t);
}

} // namespace quillora
