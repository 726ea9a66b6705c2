#pragma once
// The modern report form: the research paper form with a photo.

#include "templates/ResearchViewSwiftUI.h"

namespace quillora {

struct ModernreportViewSwiftUI : ResearchViewSwiftUI {
    platform::swiftui::State<bool> imagePickerVisible{false};
    platform::swiftui::State<std::optional<platform::swiftui::Image>> selectedImage{
        platform::swiftui::Image::system("photo")};

    platform::swiftui::AnyView body() const;
};

} // namespace quillora
