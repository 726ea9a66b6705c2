#include "analysis/GradientButtonStyle.h"

namespace quillora {

using namespace platform::swiftui;

AnyView makeGradientButtonBody(const ButtonStyleConfiguration& configuration, const Color& leading,
                               const Color& trailing) {
    return configuration.label.foregroundColor(Color::white())
        .padding()
        .background(LinearGradient({leading, trailing}, "leading", "trailing"))
        .clipShape(RoundedRectangle(15, CornerStyle::continuous).modifier("antialiased", {{"value", true}}))
        .scaleEffect(configuration.isPressed ? 1.3 : 1.0)
        .frame(100, 50);
}

AnyView GradientButtonStyle::makeBody(const ButtonStyleConfiguration& configuration) const {
    return makeGradientButtonBody(configuration, Color::red(), Color::orange());
}

AnyView GradientButtonStyleRed::makeBody(const ButtonStyleConfiguration& configuration) const {
    return makeGradientButtonBody(configuration, Color::yellow(), Color::orange());
}

AnyView GradientButtonStylePink::makeBody(const ButtonStyleConfiguration& configuration) const {
    return makeGradientButtonBody(configuration, Color::purple(), Color::pink());
}

AnyView GradientButtonStyleBlue::makeBody(const ButtonStyleConfiguration& configuration) const {
    return makeGradientButtonBody(configuration, Color::blue(), Color::purple());
}

} // namespace quillora
