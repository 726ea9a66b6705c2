#include "templates/RentFlyerViewSwiftUI.h"

#include "common/TemplateKeys.h"

#include "pdf/UipdfPicker.h"

namespace quillora {

using namespace platform::swiftui;

TemplateFormTable flyerFormTable(const RentFlyerViewSwiftUI& s, bool sale) {
    const Font sub = Font::subheadline(), head = Font::headline();
    TemplateFormTable t{sale ? templatekeys::SavedSaleFlyer : templatekeys::SavedRentFlyer,
                        sale ? std::function<AnyView()>([] { return AnyView(SaleFlyerUipdfPicker{}); })
                             : std::function<AnyView()>([] { return AnyView(RentFlyerUipdfPicker{}); }),
                        s.showingPdfPicker1,
                        PhotoStates{s.imagePickerVisible, s.selectedImage},
                        {},
                        {}};
    std::vector<FormRow> details;
    if (sale) {
        details.push_back(label("SubHeading", sub, Color::purple()));
        details.push_back(field(" Enter SubHeading ", s.pageSubHeading, head));
        details.push_back(stack({label("Font Size : Subheading", sub),
                                 options(OptionKind::Size, "Small", s.fontsizeSubheading)}));
    }
    for (FormRow row :
         {field("Price ", s.price, head), label("Email", sub, Color::blue()),
          field("Enter Email :listings@example.com ", s.website, head), label("Phone No", sub, Color::blue()),
          field("Enter Phone No : +1234567890 ", s.phoneno, head)})
        details.push_back(std::move(row));
    std::vector<FormRow> body{label("Font Size : Body", sub, Color::green()),
                              options(OptionKind::Size, "Small", s.fontsizeBody),
                              label("Font Type : Body ", sub, Color::green()),
                              options(OptionKind::Weight, "Normal", s.fonttypeBody)};
    if (!sale) {
        body.push_back(label("Font Color : Body ", sub, Color::green()));
        body.push_back(options(OptionKind::BodyColor, "Black", s.textColorBody));
    }
    t.rows = {header(sale ? "Finalizing your Sale Flyer PDF" : "Finalizing your Rent Flyer PDF"), spacer(),
              stack({label("Page Heading ", head, Color::orange()),
                     field(" Enter Page heading e.g Art Exhibition", s.pageHeading, head),
                     stack({label("Font Size : Headline", sub, Color::orange()),
                            options(OptionKind::Size, "Small", s.fontsizeHeading),
                            stack(std::move(details), std::nullopt, std::nullopt, 5)})},
                    std::nullopt, std::nullopt, 5),
              stack({photo("Select an Image"), stack(std::move(body)), preview()})};
    t.keys = {{templatekeys::Page_Heading, s.pageHeading},
              {templatekeys::Page_SubHeading, s.pageSubHeading},
              {templatekeys::Font_SizeBody, s.fontsizeBody},
              {templatekeys::Font_WeightBody, s.fonttypeBody},
              {templatekeys::TextColor_Heading, s.textColorHeadline},
              {templatekeys::TextColor_SubHeading, s.textColorSubHeadline},
              {templatekeys::TextColor_Body, s.textColorBody},
              {templatekeys::Font_SizeHeading, s.fontsizeHeading},
              {templatekeys::Font_SizeSubheading, s.fontsizeSubheading},
              {templatekeys::Display_Date, s.displaydate},
              {templatekeys::Display_Time, s.displaytime},
              {templatekeys::Website, s.website},
              {templatekeys::Location, s.location},
              {templatekeys::Phone_No, s.phoneno},
              {templatekeys::Price, s.price}};
    return t;
}

AnyView RentFlyerViewSwiftUI::body() const {
    return templateForm(flyerFormTable(*this, false));
}

AnyView SaleFlyerViewSwiftUI::body() const {
    return templateForm(flyerFormTable(*this, true));
}

} // namespace quillora
