#include "platform/uikit/UIColor.h"

#include <cmath>
#include <sstream>

namespace platform {

namespace {
UIColor named(const char* name, double r, double g, double b, double a = 1.0) {
    return UIColor{r, g, b, a, name};
}
UIColor grey(const char* name, double w, double a = 1.0) {
    return UIColor{w, w, w, a, name};
}
} // namespace

UIColor UIColor::colorWithRed_green_blue_alpha(double r, double g, double b, double a) {
    return {r, g, b, a, ""};
}
UIColor UIColor::colorWithWhite_alpha(double white, double a) {
    return {white, white, white, a, ""};
}

UIColor UIColor::whiteColor() {
    return grey("white", 1.0);
}
UIColor UIColor::blackColor() {
    return grey("black", 0.0);
}
UIColor UIColor::clearColor() {
    return grey("clear", 0.0, 0.0);
}
UIColor UIColor::redColor() {
    return named("red", 1, 0, 0);
}
UIColor UIColor::greenColor() {
    return named("green", 0, 1, 0);
}
UIColor UIColor::blueColor() {
    return named("blue", 0, 0, 1);
}
UIColor UIColor::orangeColor() {
    return named("orange", 1, 0.5, 0);
}
UIColor UIColor::purpleColor() {
    return named("purple", 0.5, 0, 0.5);
}
UIColor UIColor::brownColor() {
    return named("brown", 0.6, 0.4, 0.2);
}
UIColor UIColor::yellowColor() {
    return named("yellow", 1, 1, 0);
}
UIColor UIColor::cyanColor() {
    return named("cyan", 0, 1, 1);
}
UIColor UIColor::magentaColor() {
    return named("magenta", 1, 0, 1);
}
UIColor UIColor::grayColor() {
    return grey("gray", 0.5);
}
UIColor UIColor::lightGrayColor() {
    return grey("lightGray", 2.0 / 3.0);
}
UIColor UIColor::darkGrayColor() {
    return grey("darkGray", 1.0 / 3.0);
}
UIColor UIColor::darkTextColor() {
    return grey("darkText", 0.0);
}
UIColor UIColor::lightTextColor() {
    return grey("lightText", 1.0, 0.6);
}
UIColor UIColor::linkColor() {
    return named("link", 0, 122.0 / 255, 1);
}
UIColor UIColor::labelColor() {
    return grey("label", 0.0);
}
UIColor UIColor::secondaryLabelColor() {
    return named("secondaryLabel", 60.0 / 255, 60.0 / 255, 67.0 / 255, 0.6);
}
UIColor UIColor::systemBackgroundColor() {
    return grey("systemBackground", 1.0);
}
UIColor UIColor::systemBlueColor() {
    return named("systemBlue", 0, 122.0 / 255, 1);
}
UIColor UIColor::systemRedColor() {
    return named("systemRed", 1, 59.0 / 255, 48.0 / 255);
}
UIColor UIColor::systemGreenColor() {
    return named("systemGreen", 52.0 / 255, 199.0 / 255, 89.0 / 255);
}
UIColor UIColor::systemOrangeColor() {
    return named("systemOrange", 1, 149.0 / 255, 0);
}
UIColor UIColor::systemYellowColor() {
    return named("systemYellow", 1, 204.0 / 255, 0);
}
UIColor UIColor::systemPinkColor() {
    return named("systemPink", 1, 45.0 / 255, 85.0 / 255);
}
UIColor UIColor::systemPurpleColor() {
    return named("systemPurple", 175.0 / 255, 82.0 / 255, 222.0 / 255);
}
UIColor UIColor::systemTealColor() {
    return named("systemTeal", 48.0 / 255, 176.0 / 255, 199.0 / 255);
}
UIColor UIColor::systemIndigoColor() {
    return named("systemIndigo", 88.0 / 255, 86.0 / 255, 214.0 / 255);
}
UIColor UIColor::systemGrayColor() {
    return named("systemGray", 142.0 / 255, 142.0 / 255, 147.0 / 255);
}

UIColor UIColor::colorWithAlphaComponent(double a) const {
    return {red, green, blue, a, ""};
}

std::string UIColor::description() const {
    if (!name.empty()) return name;
    std::ostringstream os;
    os << "rgba(" << red << ", " << green << ", " << blue << ", " << alpha << ")";
    return os.str();
}

bool UIColor::operator==(const UIColor& o) const {
    auto same = [](double x, double y) { return std::fabs(x - y) < 1e-9; };
    return same(red, o.red) && same(green, o.green) && same(blue, o.blue) && same(alpha, o.alpha);
}

} // namespace platform
