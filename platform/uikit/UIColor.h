#pragma once
// Colours: components in the sRGB space with alpha, and the name of the platform colour they
// came from, so that a screen's state reads as "orange" rather than as numbers.

#include <string>

namespace platform {

struct UIColor {
    double red = 0, green = 0, blue = 0, alpha = 1;
    std::string name; // the platform colour's name ("white", "link"...) or empty for a made colour

    static UIColor colorWithRed_green_blue_alpha(double r, double g, double b, double a);
    static UIColor colorWithWhite_alpha(double white, double a);

    static UIColor whiteColor();
    static UIColor blackColor();
    static UIColor clearColor();
    static UIColor redColor();
    static UIColor greenColor();
    static UIColor blueColor();
    static UIColor orangeColor();
    static UIColor purpleColor();
    static UIColor brownColor();
    static UIColor yellowColor();
    static UIColor cyanColor();
    static UIColor magentaColor();
    static UIColor grayColor();
    static UIColor lightGrayColor();
    static UIColor darkGrayColor();
    static UIColor darkTextColor();
    static UIColor lightTextColor();
    static UIColor linkColor();
    static UIColor labelColor();
    static UIColor secondaryLabelColor();
    static UIColor systemBackgroundColor();
    static UIColor systemBlueColor();
    static UIColor systemRedColor();
    static UIColor systemGreenColor();
    static UIColor systemOrangeColor();
    static UIColor systemYellowColor();
    static UIColor systemPinkColor();
    static UIColor systemPurpleColor();
    static UIColor systemTealColor();
    static UIColor systemIndigoColor();
    static UIColor systemGrayColor();

    UIColor colorWithAlphaComponent(double a) const;
    // The name when the colour has one, otherwise "rgba(r, g, b, a)".
    std::string description() const;
    // Same components (the name does not take part).
    bool operator==(const UIColor& other) const;
};

} // namespace platform
