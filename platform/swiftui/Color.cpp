#include "platform/swiftui/Color.h"

#include <sstream>

namespace platform::swiftui {

Color Color::white(double level, double opacity) {
    std::ostringstream name;
    name << "white(" << level << ", opacity: " << opacity << ")";
    return {name.str(), level, level, level, opacity};
}

Color Color::opacity(double alpha) const {
    std::ostringstream n;
    n << name << ".opacity(" << alpha << ")";
    return {n.str(), r, g, b, a * alpha};
}

std::ostream& operator<<(std::ostream& os, const Color& c) {
    return os << c.name;
}

std::ostream& operator<<(std::ostream& os, const Font& f) {
    os << f.name;
    if (f.name == "system" || (f.name != "footnote" && f.name != "body" && f.name != "headline" &&
                               f.name != "subheadline" && f.name != "title"))
        os << " " << f.size;
    if (f.weight != "regular" && f.weight != "semibold") os << " " << f.weight;
    return os;
}

} // namespace platform::swiftui
