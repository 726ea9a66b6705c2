#include "templates/ModernreportViewSwiftUI.h"

#include "common/TemplateKeys.h"

#include "pdf/UipdfPicker.h"

namespace quillora {

using namespace platform::swiftui;

AnyView ModernreportViewSwiftUI::body() const {
    return templateForm(researchFormTable(*this, {"Finalizing your Modern Report PDF", "Enter Name e.g Sam A",
                                                  "Small", templatekeys::SavedModernReport,
                                                  [] { return AnyView(ModernreportUipdfPicker{}); },
                                                  PhotoStates{imagePickerVisible, selectedImage}}));
}

} // namespace quillora
