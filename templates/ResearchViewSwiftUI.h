#pragma once
// The research paper form, and the modern report form which is the same form with a photo.

#include <optional>

#include "templates/TemplateForm.h"

namespace quillora {

struct ResearchViewSwiftUI {
    TextState displaydate{""};
    TextState pageHeading{"Research in Machine Learning for Medical Diagnostics"};
    TextState pageSubHeading{""};
    TextState pageInstructorName{"Sam Author"};
    TextState fontsizeBody{"fs-5"};
    TextState fonttypeBody{"fw-normal"};
    TextState textColorBody{""};
    TextState fontsizeHeading{"fs-1"};
    TextState textColorHeadline{"text-primary"};
    TextState fontsizeSubheading{"fs-2"};
    TextState textColorSubHeadline{"text-dark"};
    platform::swiftui::State<bool> showingPdfPicker1{false};

    platform::swiftui::AnyView body() const;
};

// What the modern report changes of the research paper form.
struct ReportVariant {
    std::string title, namePrompt, headingSizeShown, storageKey;
    std::function<platform::swiftui::AnyView()> wrapper;
    std::optional<PhotoStates> photo;
};
TemplateFormTable researchFormTable(const ResearchViewSwiftUI& states, const ReportVariant& variant);

} // namespace quillora
