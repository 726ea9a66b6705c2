#include "platform/uikit/UIFont.h"

#include <sstream>

namespace platform {

std::optional<UIFont> UIFont::fontWithName_size(const std::string& name, double size) {
    if (name.empty()) return std::nullopt;
    return UIFont{name, size};
}

UIFont UIFont::systemFontOfSize(double size) {
    return {".SFUI-Regular", size};
}
UIFont UIFont::boldSystemFontOfSize(double size) {
    return {".SFUI-Semibold", size};
}

std::string UIFont::description() const {
    std::ostringstream os;
    os << fontName << " " << pointSize;
    return os.str();
}

} // namespace platform
