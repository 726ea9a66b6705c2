#pragma once
// The platform's named symbols ("chevron.right", "envelope.fill"...), drawn in the current cairo
// source colour. One table says where each comes from: an icon of the desktop's symbolic icon
// theme (Adwaita), drawn through librsvg, or a drawing of ours where no icon fits. A name the
// table does not hold draws nothing and is reported, never replaced by a stand-in shape.

#include <string>
#include <vector>

#include "platform/foundation/Geometry.h"

typedef struct _cairo cairo_t;

namespace platform {

class SystemSymbol {
public:
    // The weights a symbol can be drawn at, as a font's ("regular", "semibold", "bold"...).
    static double strokeFactor(const std::string& weight);

    // Every name the table holds.
    static std::vector<std::string> names();
    // Whether `name` draws, and does not fall back: its icon file exists, or we draw it.
    static bool isAvailable(const std::string& name);
    // The icon file a name is drawn from; empty for one drawn by us (or unknown).
    static std::string iconFile(const std::string& name);

    // Draws the symbol centred in `rect`, as large as its smaller side, in the context's current
    // source, heavier for a bolder `weight`. False (nothing drawn) when the name is not known, or
    // its icon cannot be read (librsvg missing among them).
    static bool draw(cairo_t* cr, const std::string& name, const CGRect& rect,
                     const std::string& weight = "regular");
};

} // namespace platform
