#pragma once
// The rent and sale flyer forms: a heading, a price and contact texts, a photo and the body's
// styles; the sale flyer adds a subheading and has no colour choice.

#include <optional>

#include "templates/TemplateForm.h"

namespace quillora {

struct RentFlyerViewSwiftUI {
    TextState displaydate{"21st Oct 2021"};
    TextState pageHeading{"Flat for Rent "};
    TextState pageSubHeading{" "};
    TextState price{"$1200/Month"};
    TextState fontsizeBody{""};
    TextState fonttypeBody{""};
    TextState textColorBody{""};
    TextState fontsizeHeading{"fs-1"};
    TextState textColorHeadline{"text-primary"};
    TextState fontsizeSubheading{"fs-2"};
    TextState textColorSubHeadline{"text-primary"};
    platform::swiftui::State<bool> imagePickerVisible{false};
    platform::swiftui::State<std::optional<platform::swiftui::Image>> selectedImage{
        platform::swiftui::Image::system("photo")};
    TextState displaytime{"4PM - 5PM"};
    TextState location{"California"};
    TextState website{"listings@example.com"};
    TextState phoneno{"+123456789"};
    platform::swiftui::State<bool> showingPdfPicker1{false};

    platform::swiftui::AnyView body() const;
};

struct SaleFlyerViewSwiftUI : RentFlyerViewSwiftUI {
    SaleFlyerViewSwiftUI() {
        pageHeading = TextState("SAFA FOR SALE ");
        pageSubHeading = TextState("5 Seater Sofa ");
        price = TextState("$1000");
        fontsizeSubheading = TextState("fs-1");
    }
    platform::swiftui::AnyView body() const;
};

// The flyers' table; `sale` adds the subheading rows and leaves out the body colour.
TemplateFormTable flyerFormTable(const RentFlyerViewSwiftUI& states, bool sale);

} // namespace quillora
