#include "platform/uikit/UILabel.h"

namespace platform {

const char* describe(NSTextAlignment alignment) {
    switch (alignment) {
    case NSTextAlignment::Left:
        return "left";
    case NSTextAlignment::Center:
        return "center";
    case NSTextAlignment::Right:
        return "right";
    case NSTextAlignment::Justified:
        return "justified";
    case NSTextAlignment::Natural:
        return "natural";
    }
    return "?";
}

std::string UILabel::stateDescription() const {
    std::string out = "text=" + quote(text_);
    if (auto base = UIView::stateDescription(); !base.empty()) out += " " + base;
    return out;
}

} // namespace platform
