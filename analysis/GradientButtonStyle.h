#pragma once
// The looks of the editor's and the analysis screen's buttons: a white label on a two-colour
// gradient, rounded, in a 100 by 50 point slot, drawn larger while pressed.

#include "platform/swiftui/View.h"

namespace quillora {

// Shared by the four styles. The scale comes before the frame, so a pressed button grows about
// its centre without taking more room from its neighbours.
platform::swiftui::AnyView
makeGradientButtonBody(const platform::swiftui::ButtonStyleConfiguration& configuration,
                       const platform::swiftui::Color& leading, const platform::swiftui::Color& trailing);

// Red to orange.
struct GradientButtonStyle : platform::swiftui::ButtonStyle {
    platform::swiftui::AnyView
    makeBody(const platform::swiftui::ButtonStyleConfiguration& configuration) const override;
};

// Yellow to orange.
struct GradientButtonStyleRed : platform::swiftui::ButtonStyle {
    platform::swiftui::AnyView
    makeBody(const platform::swiftui::ButtonStyleConfiguration& configuration) const override;
};

// Purple to pink.
struct GradientButtonStylePink : platform::swiftui::ButtonStyle {
    platform::swiftui::AnyView
    makeBody(const platform::swiftui::ButtonStyleConfiguration& configuration) const override;
};

// Blue to purple.
struct GradientButtonStyleBlue : platform::swiftui::ButtonStyle {
    platform::swiftui::AnyView
    makeBody(const platform::swiftui::ButtonStyleConfiguration& configuration) const override;
};

} // namespace quillora
