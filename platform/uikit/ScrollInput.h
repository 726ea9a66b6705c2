#pragma once
// Scrolling as the platform's scroll views do it, for the views that scroll their content (text
// views, tables, picker wheels): a finger that moves past a few points over such a view becomes a
// pan that scrolls it (the touch given to the view underneath is cancelled), a horizontal pan to
// the left on a table row reveals its swipe actions, and a mouse wheel or touchpad scrolls what is
// under the pointer and turns picker wheels. Touches elsewhere (and a drag on the text being typed
// into, which selects) pass straight to the screen.

#include <memory>

#include "platform/foundation/Geometry.h"
#include "platform/uikit/UIResponder.h"

namespace platform {

class UIView;

class ScrollInput {
public:
    // One wheel notch, in points of content.
    static constexpr double kPointsPerNotch = 40;
    // How far a finger moves before its touch becomes a pan.
    static constexpr double kPanSlop = UITouch::kTapSlop;
    // How far left a finger pans on a row before its swipe actions open.
    static constexpr double kSwipeDistance = 30;

    // A touch of a person; what ScreenRenderer::sendTouch takes, with panning in front of it.
    static void touch(UITouchPhase phase, CGPoint screenPoint, double timestamp);
    // The wheel or touchpad at `screenPoint`: (dx, dy) points of content, along the larger of the
    // two; `notches` when they came from a wheel's notches (a picker turns one row a notch). False
    // when nothing scrolls.
    static bool scroll(CGPoint screenPoint, double dx, double dy, bool notches);

    // The view under `screenPoint`, or one of its superviews, that scrolls; none when there is none.
    static std::shared_ptr<UIView> scrollingViewAt(CGPoint screenPoint);
    // Moves a scrolling view's content by `dy` points (down the content for dy > 0), within its
    // content. False when it did not move.
    static bool scrollBy(UIView& view, double dy);
};

} // namespace platform
