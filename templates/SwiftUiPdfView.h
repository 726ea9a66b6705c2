#pragma once
// The document template gallery: the dictation screens present it to pick a template to pour the
// transcript into. It opens as "CHOOSE A DOCUMENT" with no document chosen and no sheet up.

#include <memory>
#include <optional>
#include <string>
#include <tuple>

#include "platform/swiftui/View.h"

namespace platform {
class UIViewController;
}

namespace quillora {

struct SwiftUiPdfView {
    SwiftUiPdfView() = default;

    platform::swiftui::State<bool> showDetails{true};
    platform::swiftui::State<std::string> documentSelected{""};
    platform::swiftui::State<bool> showingPdfPicker{false};
    platform::swiftui::State<bool> showingNotesView{false};
    // Which form a sheet shows; none while no sheet is up.
    platform::swiftui::State<std::optional<int>> activeSheet;
    // The screen that presented the gallery; set by the presenter.
    std::weak_ptr<platform::UIViewController> presentingVC;

    auto states() {
        return std::tie(showDetails, documentSelected, showingPdfPicker, showingNotesView, activeSheet);
    }
    platform::swiftui::AnyView body() const;
};

} // namespace quillora
