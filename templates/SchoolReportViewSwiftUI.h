#pragma once
// The contemporary (school) report form: subheading and heading with their styles, a photo and the
// body's styles; no name and no date.

#include <optional>

#include "templates/TemplateForm.h"

namespace quillora {

struct SchoolReportViewSwiftUI {
    TextState displaydate{""};
    TextState pageHeading{"Research in Machine Learning for Medical Diagnostics"};
    TextState pageSubHeading{"Future of AI"};
    TextState pageInstructorName{"Sam Author"};
    TextState fontsizeBody{"fs-5"};
    TextState fonttypeBody{"fw-normal"};
    TextState textColorBody{""};
    TextState fontsizeHeading{"fs-1"};
    TextState textColorHeadline{"text-primary"};
    TextState fontsizeSubheading{"fs-2"};
    TextState textColorSubHeadline{"text-danger"};
    platform::swiftui::State<bool> imagePickerVisible{false};
    platform::swiftui::State<std::optional<platform::swiftui::Image>> selectedImage{
        platform::swiftui::Image::system("photo")};
    platform::swiftui::State<bool> showingPdfPicker1{false};

    platform::swiftui::AnyView body() const;
};

} // namespace quillora
