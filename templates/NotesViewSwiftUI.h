#pragma once
// The two notes forms: one form under two names, storing the same dictionary, each showing its
// own notes template.

#include "templates/TemplateForm.h"

namespace quillora {

struct NotesViewSwiftUI {
    TextState pageTitle{"Meeting Minutes: Attendees - Ana,Ben,Cleo"};
    TextState fontsize{"fs-4"};
    TextState fonttype{"fw-normal"};
    TextState displaydate{""};
    TextState displaytime{""};
    platform::swiftui::State<bool> showingPdfPicker1{false};

    platform::swiftui::AnyView body() const;
};

struct NotesSecondViewSwiftUI : NotesViewSwiftUI {
    platform::swiftui::AnyView body() const;
};

} // namespace quillora
