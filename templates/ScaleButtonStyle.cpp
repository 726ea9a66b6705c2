#include "templates/ScaleButtonStyle.h"

namespace quillora {

using namespace platform::swiftui;

AnyView ScaleButtonStyle::makeBody(const ButtonStyleConfiguration& configuration) const {
    return configuration.label.scaleEffect(configuration.isPressed ? 1.5 : 1.0).background(Color::clear());
}

} // namespace quillora
