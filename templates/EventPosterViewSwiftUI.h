#pragma once
// The event poster form: heading with its styles, the event's details as typed texts, a photo and
// the body's styles.

#include <optional>

#include "templates/TemplateForm.h"

namespace quillora {

struct EventPosterViewSwiftUI {
    TextState displaydate{"21st Oct 2021"};
    TextState pageHeading{"Art Exhibition "};
    TextState pageSubHeading{"Art Event "};
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
    TextState website{"www.art-exhibition.example.com"};
    TextState phoneno{"+123456789"};
    platform::swiftui::State<bool> showingPdfPicker1{false};

    platform::swiftui::AnyView body() const;
};

} // namespace quillora
