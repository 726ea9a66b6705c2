#pragma once
// Small pieces every view's drawing uses: rounded rectangles, colours, images placed by a content
// mode, and the light and dark greys of the platform's chrome.

#include <memory>

#include "platform/foundation/Geometry.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIView.h"

typedef struct _cairo cairo_t;

namespace platform {

class Drawing {
public:
    static void setColor(cairo_t* cr, const UIColor& color, double alpha = 1);
    static void roundedRectangle(cairo_t* cr, const CGRect& rect, CGFloat radius);
    static void fillRoundedRectangle(cairo_t* cr, const CGRect& rect, CGFloat radius, const UIColor& color);

    // Where an image of `size` points goes in `bounds` under the content mode.
    static CGRect imageRect(CGSize size, const CGRect& bounds, UIViewContentMode mode);
    // Draws the image into `rect` (stretched to it); nothing when it cannot be decoded.
    static void drawImage(cairo_t* cr, const UIImage& image, const CGRect& rect, double alpha = 1);
    // The image placed by the content mode and clipped to `bounds`.
    static void drawImage(cairo_t* cr, const UIImage& image, const CGRect& bounds, UIViewContentMode mode,
                          double alpha = 1);

    // Whether any of `rect` (user coordinates) lies inside the clip: what lies wholly outside need
    // not be drawn.
    static bool isVisible(cairo_t* cr, const CGRect& rect);

    // Whether the context's device units are its target's pixels, whole pixels apart: its target
    // is not scaled and is moved by whole pixels (as a group is).
    static bool isWholePixelDevice(cairo_t* cr);

    // A line of one device pixel's hairline width at the scale of the context, at least 1/3 point.
    static CGFloat hairline(cairo_t* cr);

    // The platform's separator and grouped-background greys.
    static UIColor separatorColor();
    static UIColor chromeBackgroundColor();
};

} // namespace platform
