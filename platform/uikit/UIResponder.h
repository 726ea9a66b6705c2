#pragma once
// Responders: the one object that holds the keyboard focus at a time.

#include <memory>

#include "platform/foundation/Geometry.h"
#include "platform/uikit/NSObject.h"

namespace platform {

class UIView;

enum class UITouchPhase { Began, Moved, Ended, Cancelled };

// One finger on the screen: where it is in window (screen) coordinates and the view it began in.
struct UITouch {
    // How far a finger may wander and still tap.
    static constexpr double kTapSlop = 10;

    CGPoint locationInWindow;
    std::weak_ptr<UIView> view;
    double timestamp = 0;
    UITouchPhase phase = UITouchPhase::Began;
    // The finger has moved more than kTapSlop from where it went down: it drags, and lifting it
    // taps nothing.
    bool movedPastSlop = false;

    // The location in `view`'s bounds coordinates (nullptr: the window's).
    CGPoint locationInView(const UIView* view) const;
};

class UIResponder : public NSObject {
public:
    virtual bool canBecomeFirstResponder() const { return false; }
    // Takes the focus from the current first responder (which must let it go).
    virtual bool becomeFirstResponder();
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;

    // The responder that holds the focus, if any.
    static std::shared_ptr<UIResponder> currentFirstResponder();
    // True while the focus passes from one responder to another (the keyboard stays up).
    static bool isFocusMoving();

    // The responder chain: a view's controller (when it is a controller's view) or its superview;
    // a controller's view's superview. Touches not handled pass along it.
    virtual std::shared_ptr<UIResponder> nextResponder() const { return nullptr; }
    virtual void touchesBegan(const UITouch& touch);
    virtual void touchesMoved(const UITouch& touch);
    virtual void touchesEnded(const UITouch& touch);
    virtual void touchesCancelled(const UITouch& touch);

protected:
    // Hooks for subclasses around a change of focus (begin/end editing, the keyboard).
    virtual bool shouldBecomeFirstResponder() { return true; }
    virtual void didBecomeFirstResponder() {}
    virtual bool shouldResignFirstResponder() { return true; }
    virtual void didResignFirstResponder() {}
    // The focus was given up for a responder that then refused it: nobody holds it now.
    virtual void focusLeftForNobody() {}
};

} // namespace platform
