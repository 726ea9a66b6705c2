#include "platform/uikit/ScreenRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <cairo.h>

#include "platform/foundation/Sandbox.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

namespace platform {

namespace {
// The view the current touch began in; reset with the other shared instances.
std::weak_ptr<UIView>& touchedView() {
    static std::weak_ptr<UIView> view;
    static const bool registered = [] {
        registerSharedInstanceReset([] { touchedView().reset(); });
        return true;
    }();
    (void)registered;
    return view;
}

void setSource(cairo_t* cr, const UIColor& color) {
    cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
}

void roundedRectangle(cairo_t* cr, const CGRect& r, CGFloat radius) {
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

cairo_matrix_t matrixOf(const CGAffineTransform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    return m;
}
} // namespace

void ScreenRenderer::drawView(cairo_t* cr, const UIView& view) {
    if (view.isHidden() || view.alpha() <= 0) return;
    cairo_save(cr);
    const cairo_matrix_t m = matrixOf(view.transformToSuperview());
    cairo_transform(cr, &m);
    const bool faded = view.alpha() < 1;
    if (faded) cairo_push_group(cr);

    const CGRect bounds = view.bounds();
    const CALayer& layer = view.layer();
    if (view.backgroundColor() && view.backgroundColor()->alpha > 0) {
        roundedRectangle(cr, bounds, layer.cornerRadius);
        setSource(cr, *view.backgroundColor());
        cairo_fill(cr);
    }
    if (layer.masksToBounds) {
        roundedRectangle(cr, bounds, layer.cornerRadius);
        cairo_clip(cr);
    }
    cairo_save(cr);
    view.draw(cr);
    cairo_restore(cr);
    for (const auto& child : view.subviews())
        drawView(cr, *child);
    if (layer.borderWidth > 0) {
        const CGFloat inset = layer.borderWidth / 2;
        roundedRectangle(cr,
                         {bounds.minX() + inset, bounds.minY() + inset, bounds.width() - 2 * inset,
                          bounds.height() - 2 * inset},
                         std::max<CGFloat>(0, layer.cornerRadius - inset));
        setSource(cr, layer.borderColor.value_or(UIColor::blackColor()));
        cairo_set_line_width(cr, layer.borderWidth);
        cairo_stroke(cr);
    }

    if (faded) {
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, view.alpha());
    }
    cairo_restore(cr);
}

std::vector<std::shared_ptr<UIViewController>> ScreenRenderer::presentationChain() {
    std::vector<std::shared_ptr<UIViewController>> chain;
    auto window = UIApplication::sharedApplication().keyWindow();
    if (!window) return chain;
    for (auto controller = window->rootViewController(); controller;
         controller = controller->presentedViewController())
        chain.push_back(controller);
    return chain;
}

void ScreenRenderer::draw(cairo_t* cr, double scale) {
    const CGRect screen = UIScreen::mainScreen().bounds();
    cairo_save(cr);
    cairo_scale(cr, scale, scale);
    cairo_rectangle(cr, 0, 0, screen.width(), screen.height());
    cairo_clip(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    if (auto window = UIApplication::sharedApplication().keyWindow()) {
        drawView(cr, *window);
        auto chain = presentationChain();
        for (std::size_t i = 1; i < chain.size(); ++i)
            drawView(cr, *chain[i]->view());
    }
    cairo_restore(cr);
}

std::optional<std::string> ScreenRenderer::writePNG(const std::string& path, double scale) {
    if (!(scale > 0) || scale > 16) return "the scale must be above 0 and at most 16";
    const CGRect screen = UIScreen::mainScreen().bounds();
    const int width = static_cast<int>(std::lround(screen.width() * scale));
    const int height = static_cast<int>(std::lround(screen.height() * scale));
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    draw(cr, scale);
    cairo_destroy(cr);
    // Written beside the target and renamed, so that a failed write leaves the old picture.
    const std::string temporary = path + ".part";
    const cairo_status_t status = cairo_surface_write_to_png(surface, temporary.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        std::remove(temporary.c_str());
        return std::string("cannot write ") + path + ": " + cairo_status_to_string(status);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return "cannot write " + path;
    }
    return std::nullopt;
}

std::shared_ptr<UIView> ScreenRenderer::hitTest(CGPoint screenPoint) {
    auto window = UIApplication::sharedApplication().keyWindow();
    if (!window) return nullptr;
    auto chain = presentationChain();
    // A presentation takes every touch on the screen: what lies under it cannot be reached.
    if (chain.size() > 1) {
        auto view = chain.back()->view();
        return view->hitTest(view->convertPoint_fromView(screenPoint, nullptr));
    }
    return window->hitTest(window->convertPoint_fromView(screenPoint, nullptr));
}

void ScreenRenderer::sendTouch(UITouchPhase phase, CGPoint screenPoint, double timestamp) {
    std::shared_ptr<UIView> view;
    if (phase == UITouchPhase::Began) {
        view = hitTest(screenPoint);
        touchedView() = view;
    } else {
        view = touchedView().lock();
    }
    if (!view) return;
    UITouch touch{screenPoint, view, timestamp, phase};
    switch (phase) {
    case UITouchPhase::Began:
        view->touchesBegan(touch);
        break;
    case UITouchPhase::Moved:
        view->touchesMoved(touch);
        break;
    case UITouchPhase::Ended:
        touchedView().reset();
        view->touchesEnded(touch);
        break;
    case UITouchPhase::Cancelled:
        touchedView().reset();
        view->touchesCancelled(touch);
        break;
    }
}

} // namespace platform
