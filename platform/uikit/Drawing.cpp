#include "platform/uikit/Drawing.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include <cairo.h>

namespace platform {

bool Drawing::isWholePixelDevice(cairo_t* cr) {
    cairo_surface_t* target = cairo_get_group_target(cr);
    double sx = 1, sy = 1, ox = 0, oy = 0;
    cairo_surface_get_device_scale(target, &sx, &sy);
    cairo_surface_get_device_offset(target, &ox, &oy);
    return sx == 1 && sy == 1 && ox == std::floor(ox) && oy == std::floor(oy);
}

bool Drawing::isVisible(cairo_t* cr, const CGRect& rect) {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    return rect.minX() < x2 && rect.maxX() > x1 && rect.minY() < y2 && rect.maxY() > y1;
}

void Drawing::setColor(cairo_t* cr, const UIColor& color, double alpha) {
    cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha * alpha);
}

void Drawing::roundedRectangle(cairo_t* cr, const CGRect& r, CGFloat radius) {
    radius = std::min({radius, r.width() / 2, r.height() / 2});
    if (radius <= 0) {
        cairo_rectangle(cr, r.minX(), r.minY(), r.width(), r.height());
        return;
    }
    cairo_new_sub_path(cr);
    cairo_arc(cr, r.maxX() - radius, r.minY() + radius, radius, -M_PI / 2, 0);
    cairo_arc(cr, r.maxX() - radius, r.maxY() - radius, radius, 0, M_PI / 2);
    cairo_arc(cr, r.minX() + radius, r.maxY() - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cr, r.minX() + radius, r.minY() + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void Drawing::fillRoundedRectangle(cairo_t* cr, const CGRect& rect, CGFloat radius, const UIColor& color) {
    roundedRectangle(cr, rect, radius);
    setColor(cr, color);
    cairo_fill(cr);
}

CGRect Drawing::imageRect(CGSize size, const CGRect& b, UIViewContentMode mode) {
    if (size.width <= 0 || size.height <= 0) return b;
    switch (mode) {
    case UIViewContentMode::ScaleToFill:
    case UIViewContentMode::Redraw:
        return b;
    case UIViewContentMode::ScaleAspectFit:
    case UIViewContentMode::ScaleAspectFill: {
        const CGFloat sx = b.width() / size.width, sy = b.height() / size.height;
        const CGFloat s = mode == UIViewContentMode::ScaleAspectFit ? std::min(sx, sy) : std::max(sx, sy);
        const CGFloat w = size.width * s, h = size.height * s;
        return {b.midX() - w / 2, b.midY() - h / 2, w, h};
    }
    case UIViewContentMode::Center:
        return {b.midX() - size.width / 2, b.midY() - size.height / 2, size.width, size.height};
    case UIViewContentMode::Top:
        return {b.midX() - size.width / 2, b.minY(), size.width, size.height};
    case UIViewContentMode::Bottom:
        return {b.midX() - size.width / 2, b.maxY() - size.height, size.width, size.height};
    case UIViewContentMode::Left:
        return {b.minX(), b.midY() - size.height / 2, size.width, size.height};
    case UIViewContentMode::Right:
        return {b.maxX() - size.width, b.midY() - size.height / 2, size.width, size.height};
    }
    return b;
}

void Drawing::drawImage(cairo_t* cr, const UIImage& image, const CGRect& rect, double alpha) {
    if (rect.width() <= 0 || rect.height() <= 0 || !isVisible(cr, rect)) return; // nor decoded
    cairo_surface_t* surface = image.surface();
    if (!surface) return;
    const int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    if (w <= 0 || h <= 0) return;
    cairo_save(cr);
    cairo_translate(cr, rect.minX(), rect.minY());
    cairo_scale(cr, rect.width() / w, rect.height() / h);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_clip(cr);
    // An image that stands still is resampled once and then copied pixel for pixel: scaling it
    // afresh every frame is most of what a screen with a large picture costs.
    cairo_matrix_t toDevice;
    cairo_get_matrix(cr, &toDevice);
    std::optional<UIImage::DevicePixels> resampled;
    if (isWholePixelDevice(cr)) resampled = image.resampled(toDevice);
    if (resampled) {
        cairo_identity_matrix(cr);
        cairo_set_source_surface(cr, resampled->surface, resampled->x, resampled->y);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    } else {
        cairo_set_source_surface(cr, surface, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    }
    cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
}

void Drawing::drawImage(cairo_t* cr, const UIImage& image, const CGRect& bounds, UIViewContentMode mode,
                        double alpha) {
    cairo_save(cr);
    cairo_rectangle(cr, bounds.minX(), bounds.minY(), bounds.width(), bounds.height());
    cairo_clip(cr);
    drawImage(cr, image, imageRect(image.size(), bounds, mode), alpha);
    cairo_restore(cr);
}

CGFloat Drawing::hairline(cairo_t* cr) {
    double x = 1, y = 0;
    cairo_user_to_device_distance(cr, &x, &y);
    const double scale = std::hypot(x, y);
    return scale > 0 ? std::max(1.0 / scale, 1.0 / 3) : 1;
}

UIColor Drawing::separatorColor() {
    return UIColor::colorWithRed_green_blue_alpha(0.78, 0.78, 0.8, 1);
}

UIColor Drawing::chromeBackgroundColor() {
    return UIColor::colorWithRed_green_blue_alpha(0.95, 0.95, 0.97, 1);
}

} // namespace platform
