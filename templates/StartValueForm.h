#pragma once
// The least forms of the templates whose own forms are still to come: a title, cancel, and a
// Preview that stores the template's keys at their start values and shows its template screen.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/swiftui/View.h"
#include "templates/TemplateForm.h"

namespace quillora {

struct StartValueForm {
    std::string title;
    std::string storageKey;
    std::function<platform::swiftui::AnyView()> wrapper;
    std::vector<std::pair<std::string, TextState>> keys;
    platform::swiftui::State<bool> showingPdfPicker1{false};

    platform::swiftui::AnyView body() const;
};

struct NotesViewSwiftUI : StartValueForm {
    NotesViewSwiftUI();
};
struct NotesSecondViewSwiftUI : StartValueForm {
    NotesSecondViewSwiftUI();
};
struct EssayViewSwiftUI : StartValueForm {
    EssayViewSwiftUI();
};
struct ResearchViewSwiftUI : StartValueForm {
    ResearchViewSwiftUI();
};
struct ModernreportViewSwiftUI : StartValueForm {
    ModernreportViewSwiftUI();
};
struct SchoolReportViewSwiftUI : StartValueForm {
    SchoolReportViewSwiftUI();
};
struct EventPosterViewSwiftUI : StartValueForm {
    EventPosterViewSwiftUI();
};
struct RentFlyerViewSwiftUI : StartValueForm {
    RentFlyerViewSwiftUI();
};
struct SaleFlyerViewSwiftUI : StartValueForm {
    SaleFlyerViewSwiftUI();
};

} // namespace quillora
