#pragma once
// What the key window's screen shows, drawn from the views' state into cairo, and the touches a
// person gives it: the front-most presentation first, then the navigation stack below.

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/UIResponder.h"
#include "platform/uikit/UIView.h"

typedef struct _cairo cairo_t;

namespace platform {

class UIBarButtonItem;
class UIViewController;

class ScreenRenderer {
public:
    // Draws the screen (its points times `scale` pixels) into `cr`, whose origin is the screen's
    // top-left corner.
    static void draw(cairo_t* cr, double scale);
    // Seconds until what the screen shows changes by itself (a spinner turning, a view animating),
    // so that a window draws it again then; none when it stays as drawn until something happens.
    static std::optional<double> nextChangeIn();
    // How often an animation's frames are drawn: the display's refresh.
    static constexpr double kAnimationFrameInterval = 1.0 / 60;
    // The screen as a PNG file; the error text when it cannot be written.
    static std::optional<std::string> writePNG(const std::string& path, double scale);

    // The view a touch at `screenPoint` (points) reaches, presentations included; none outside
    // every view that takes touches.
    static std::shared_ptr<UIView> hitTest(CGPoint screenPoint);
    // Where a navigation bar or toolbar item of the front-most screen is drawn (screen points);
    // none when it is not shown there.
    static std::optional<CGRect> barItemFrame(const UIBarButtonItem& item);
    // The top edge (screen points) of a toolbar drawn over `view`, which hides what lies below it;
    // none when no toolbar covers the view.
    static std::optional<CGFloat> toolbarTopOver(const UIView& view);
    // Where the front-most navigation bar's back button is drawn; none when no back button shows.
    static std::optional<CGRect> backButtonFrame();
    // A touch of a person: Began hit-tests and remembers the view; the later phases go to it.
    static void sendTouch(UITouchPhase phase, CGPoint screenPoint, double timestamp);

    // The layout pass before a frame or a touch: every view on screen lays out its subviews.
    static void layout();
    // Draws one view and its subviews in the coordinates of its superview.
    static void drawView(cairo_t* cr, const UIView& view);
    // The controllers on screen, from the window's root to the front-most presentation.
    static std::vector<std::shared_ptr<UIViewController>> presentationChain();
};

} // namespace platform
