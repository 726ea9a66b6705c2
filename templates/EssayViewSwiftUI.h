#pragma once
// The essay form: author, heading and subheading with their styles, and the body's styles.

#include "templates/TemplateForm.h"

namespace quillora {

struct EssayViewSwiftUI {
    TextState pageHeading{"The Future of Machine Learning and Artificial Intelligence"};
    TextState pageSubHeading{"Benefiting Humanity: AI and ML in Core Industry Sectors"};
    TextState pageInstructorName{"Sam Author"};
    TextState fontsizeBody{"fs-5"};
    TextState fonttypeBody{"fw-normal"};
    TextState textColorBody{""};
    TextState fontsizeHeading{"fs-1"};
    TextState textColorHeadline{"text-danger"};
    TextState fontsizeSubheading{"fs-2"};
    TextState textColorSubHeadline{"text-dark"};
    platform::swiftui::State<bool> showingPdfPicker1{false};

    platform::swiftui::AnyView body() const;
};

} // namespace quillora
