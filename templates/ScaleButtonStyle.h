#pragma once
// The look of the gallery's cards and of every form's Preview button: the label grows to one and a
// half times its size while the button is held down.

#include "platform/swiftui/View.h"

namespace quillora {

struct ScaleButtonStyle : platform::swiftui::ButtonStyle {
    platform::swiftui::AnyView
    makeBody(const platform::swiftui::ButtonStyleConfiguration& configuration) const override;
};

} // namespace quillora
