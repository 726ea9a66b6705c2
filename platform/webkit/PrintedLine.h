#pragma once
// A line of text as it goes onto paper. Glyphs of a colour font (emoji) are bitmaps that cairo
// would put into a PDF at one pixel a point, and as pictures without their characters: on a PDF
// they are drawn at print resolution instead, with their characters kept as text under them, so
// that a reader finds and copies them. Any other target draws the line as pango does.

#include <pango/pangocairo.h>

namespace platform {

class PrintedLine {
public:
    // The pixel density colour glyphs are drawn at on a PDF, in pixels per inch of paper.
    static constexpr double kPixelsPerInch = 300;

    // Draws `line` with its baseline's left end at the current point.
    static void show(cairo_t* cr, PangoLayoutLine* line);
};

} // namespace platform
