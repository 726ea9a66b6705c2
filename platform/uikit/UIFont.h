#pragma once
// Fonts as a typeface name and a point size; nothing is rasterised.

#include <optional>
#include <string>

namespace platform {

struct UIFont {
    std::string fontName;
    double pointSize = 17;

    // Any size is accepted; an empty name gives none, as an unknown font does on the platform.
    static std::optional<UIFont> fontWithName_size(const std::string& name, double size);
    static UIFont systemFontOfSize(double size);
    static UIFont boldSystemFontOfSize(double size);
    // The same typeface at another size.
    UIFont fontWithSize(double size) const { return {fontName, size}; }

    std::string description() const;
    bool operator==(const UIFont&) const = default;
};

} // namespace platform
