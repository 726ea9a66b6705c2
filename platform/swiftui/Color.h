#pragma once
// Colours and fonts as the declarative views name them. A colour keeps the name it was made with,
// so a tree printed as text reads "purple" rather than four numbers.

#include <ostream>
#include <string>

namespace platform::swiftui {

struct Color {
    std::string name;
    double r = 0, g = 0, b = 0, a = 1;

    static Color red() { return {"red", 1, 0.23, 0.19}; }
    static Color orange() { return {"orange", 1, 0.58, 0}; }
    static Color yellow() { return {"yellow", 1, 0.8, 0}; }
    static Color green() { return {"green", 0.2, 0.78, 0.35}; }
    static Color blue() { return {"blue", 0, 0.48, 1}; }
    static Color purple() { return {"purple", 0.69, 0.32, 0.87}; }
    static Color pink() { return {"pink", 1, 0.18, 0.33}; }
    static Color gray() { return {"gray", 0.56, 0.56, 0.58}; }
    static Color white() { return {"white", 1, 1, 1}; }
    static Color black() { return {"black", 0, 0, 0}; }
    static Color clear() { return {"clear", 0, 0, 0, 0}; }
    // Semantic colours: what they look like follows the colour scheme.
    static Color primary() { return {"primary", 0, 0, 0}; }
    static Color systemBackground() { return {"systemBackground", 1, 1, 1}; }
    // A grey level in linear sRGB with an opacity.
    static Color white(double level, double opacity);

    Color opacity(double alpha) const;
    bool operator==(const Color& o) const {
        return name == o.name && r == o.r && g == o.g && b == o.b && a == o.a;
    }
};

struct Font {
    std::string name;
    double size = 0;
    std::string weight = "regular";

    static Font footnote() { return {"footnote", 13}; }
    static Font body() { return {"body", 17}; }
    static Font headline() { return {"headline", 17, "semibold"}; }
    static Font subheadline() { return {"subheadline", 15}; }
    static Font title() { return {"title", 28}; }
    static Font system(double size, std::string weight = "regular") {
        return {"system", size, std::move(weight)};
    }
    static Font custom(std::string name, double size) { return {std::move(name), size}; }

    Font bold() const {
        Font f = *this;
        f.weight = "bold";
        return f;
    }
    bool operator==(const Font&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Color& c);
std::ostream& operator<<(std::ostream& os, const Font& f);

} // namespace platform::swiftui
